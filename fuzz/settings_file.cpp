// The settings file params.kv3. Text mode (first byte even): the rest of the input is the file,
// read without harm; what was read is written and read back the same. Value mode (first byte odd):
// the port name's fourth character, the mode byte, and three offsets (doubles, 8 bytes each), as
// the program writes them: they read back as themselves, to the 15 digits of the general form.

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz/Check.h"
#include "readout/SettingsFile.h"

namespace {

// The general form keeps 15 significant digits; below the normal range the double has fewer.
bool sameToFifteenDigits(double written, double read) {
    return std::fabs(read - written) <= 1e-14 * std::fabs(written) + 2 * DBL_TRUE_MIN;
}

std::string portName(const readout::Settings& s) {
    return s.port ? "COM" + std::to_string(*s.port) : std::string();
}

// Writes s and reads it back: same port and mode, offsets to 15 digits; a second write is the same
// text as the first.
void checkRoundTrip(const std::string& name, const readout::Settings& s) {
    const std::string text = readout::settingsText(name, s.offsets, s.absolute);
    const readout::Settings back = readout::parseSettings(text);
    FUZZ_CHECK(back.port == s.port, "port of '%s'", name.c_str());
    FUZZ_CHECK(back.absolute == s.absolute, "mode");
    for (std::size_t i = 0; i < 3; ++i) {
        FUZZ_CHECK(sameToFifteenDigits(s.offsets[i], back.offsets[i]), "offset %.17g read as %.17g",
                   s.offsets[i], back.offsets[i]);
        if (std::fabs(s.offsets[i]) >= DBL_MIN) {
            FUZZ_CHECK(
                back.offsets[i] ==
                    readout::parseSettings(readout::settingsText(name, back.offsets, back.absolute))
                        .offsets[i],
                "offset %.17g not stable", s.offsets[i]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    if (input.take<std::uint8_t>() % 2 == 0) {
        const std::string content = input.rest();
        const readout::Settings s = readout::parseSettings(content);
        FUZZ_CHECK(!s.port || (*s.port >= 1 && *s.port <= 4), "port %d", *s.port);
        for (double offset : s.offsets) FUZZ_CHECK(std::isfinite(offset), "offset %g", offset);
        checkRoundTrip(portName(s), s);
        return 0;
    }
    readout::Settings s;
    // A printable character: a port name is never cut into lines.
    const auto port = static_cast<char>('!' + input.take<std::uint8_t>() % ('~' - '!' + 1));
    s.port = port >= '1' && port <= '4' ? std::optional<int>(port - '0') : std::nullopt;
    s.absolute = input.take<std::uint8_t>() % 2 == 1;
    for (double& offset : s.offsets) {
        offset = input.take<double>();
        // Infinities and NaN are no offsets: the entry refuses them before they can be stored.
        if (!std::isfinite(offset)) offset = 0;
    }
    checkRoundTrip(std::string("COM") + port, s);
    return 0;
}
