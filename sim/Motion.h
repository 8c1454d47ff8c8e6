#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sim {

// How an axis's counter moves over time, in counts, t in seconds since the box started.
struct Motion {
    enum class Kind { Still, Ramp, Sine, Script };
    Kind kind = Kind::Still;
    double start = 0;      // still: the count; ramp: the count at t = 0; sine: the centre
    double rate = 0;       // ramp: counts per second
    double amplitude = 0;  // sine: counts either side of the centre
    double periodS = 10;   // sine: seconds per cycle
    // Script: (t, count) points with rising t; linear between points, the last count held after
    // the last point, or the script started over when loop is set.
    std::vector<std::pair<double, double>> points;
    bool loop = false;

    double countAt(double t) const;
};

// Reads a motion from text: "still:C", "ramp:RATE[:START]", "sine:AMPLITUDE:PERIOD[:CENTRE]",
// "script:T=C,T=C,...[,loop]". Returns false (and leaves m unchanged) when the text is not one.
bool parseMotion(const std::string& text, Motion& m);
// The text parseMotion reads back as the same motion.
std::string describeMotion(const Motion& m);

}  // namespace sim
