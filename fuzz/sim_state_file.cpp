// The simulated box's state file. Any text is read without harm or refused with a message naming
// a line; what was read is written, read back and written again as the same text.

#include <cstdint>
#include <string>

#include "fuzz/Check.h"
#include "sim/StateFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    sim::BoxSettings settings;
    const std::string before = sim::settingsToText(settings);
    std::string error;
    if (!sim::settingsFromText(text, settings, error)) {
        FUZZ_CHECK(error.starts_with("line "), "message '%s'", error.c_str());
        FUZZ_CHECK(sim::settingsToText(settings) == before, "settings changed by a refused text");
        return 0;
    }
    const std::string written = sim::settingsToText(settings);
    sim::BoxSettings back;
    FUZZ_CHECK(sim::settingsFromText(written, back, error), "own text refused: %s", error.c_str());
    FUZZ_CHECK(sim::settingsToText(back) == written, "text changed on the way:\n%s",
               written.c_str());
    return 0;
}
