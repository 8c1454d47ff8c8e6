// The configuration file. The input is the file: it is read without harm; a refusal says why;
// what is read is written, and that text reads back as the same configuration and writes back
// byte for byte.

#include <cstdint>
#include <string>

#include "config/ConfigFile.h"
#include "fuzz/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const boxconfig::ReadResult read = boxconfig::parseConfig(text);
    if (!read.config) {
        FUZZ_CHECK(!read.error.empty(), "a refusal without a message");
        return 0;
    }
    FUZZ_CHECK(read.error.empty(), "a message with a configuration: %s", read.error.c_str());
    const std::string written = boxconfig::configText(*read.config);
    const boxconfig::ReadResult again = boxconfig::parseConfig(written);
    FUZZ_CHECK(again.config, "what was written is refused: %s", again.error.c_str());
    FUZZ_CHECK(*again.config == *read.config, "what was written reads as another configuration");
    FUZZ_CHECK(boxconfig::configText(*again.config) == written, "written twice, two texts");
    return 0;
}
