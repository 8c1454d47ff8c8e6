// The simulator's command line. Input: a double (8 bytes), a long double's mantissa and exponent
// (8 and 2 bytes), then the arguments, one a line. The number texts read back as the same number;
// any arguments are read without harm or refused with a message; accepted settings make a box
// whose state file reads back the same; each axis's motion reads back from its own description.

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/Check.h"
#include "sim/Options.h"
#include "sim/StateFile.h"
#include "sim/Text.h"

namespace {

bool sameMotion(const sim::Motion& a, const sim::Motion& b) {
    return a.kind == b.kind && a.start == b.start && a.rate == b.rate &&
           a.amplitude == b.amplitude && a.periodS == b.periodS && a.points == b.points &&
           a.loop == b.loop;
}

void checkNumberTexts(fuzz::Input& in) {
    const auto d = in.take<double>();
    double dBack = 0;
    if (std::isfinite(d)) {
        FUZZ_CHECK(sim::text::parseDouble(sim::text::formatDouble(d), dBack) && dBack == d &&
                       std::signbit(dBack) == std::signbit(d),
                   "%.17g", d);
    }
    const auto mantissa = in.take<std::int64_t>();
    const long double l = std::ldexp(static_cast<long double>(mantissa), in.take<std::int16_t>());
    if (!std::isfinite(l)) return;
    long double lBack = 0;
    // The library reads no long double below the normal range (it reports it out of range).
    if (l != 0 && std::fabs(l) < LDBL_MIN) return;
    FUZZ_CHECK(sim::text::parseLongDouble(sim::text::formatLongDouble(l), lBack) && lBack == l,
               "%.25Lg", l);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    checkNumberTexts(input);

    // One argument a line.
    std::vector<std::string> args;
    const std::string all = input.rest();
    for (std::size_t at = 0; at <= all.size();) {
        const std::size_t end = std::min(all.find('\n', at), all.size());
        args.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    sim::ProgramOptions options;
    options.config = sim::demoConfig();
    std::string error;
    if (!sim::parseOptions(args, options, error)) {
        FUZZ_CHECK(!error.empty(), "refused without a message");
        return 0;
    }
    for (const sim::Motion& motion : options.config.motion) {
        sim::Motion back;
        FUZZ_CHECK(sim::parseMotion(sim::describeMotion(motion), back) && sameMotion(back, motion),
                   "motion '%s'", sim::describeMotion(motion).c_str());
    }
    // The state file is read by its own target; here the settings start from the defaults.
    sim::BoxSettings settings = options.config.settings;
    if (!sim::finalSettings(options, settings, error)) return 0;
    const std::string text = sim::settingsToText(settings);
    sim::BoxSettings back;
    FUZZ_CHECK(sim::settingsFromText(text, back, error), "own text refused: %s", error.c_str());
    FUZZ_CHECK(sim::settingsToText(back) == text, "state text changed:\n%s", text.c_str());
    return 0;
}
