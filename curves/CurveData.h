#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// What the curves window plots, free of the drawing: per axis its values over time, and the
// moments of invalid replies, link losses and reference searches. Keeps the longest span the
// window offers, and gives a span thinned to what a plot of some hundred pixels can show.
namespace curves {

struct Point {
    double t;  // seconds on the window's own clock
    double value;
};

enum class Mark { invalid, loss, reference };

struct Event {
    double t;
    Mark mark;
    int axis;  // for a reference search; -1 for the link's events
};

class CurveData {
public:
    static constexpr double keptSeconds = 600;

    void add(int axis, double t, double value);
    void mark(double t, Mark mark, int axis = -1);

    // The axis's points from `from` on, at most about `buckets` * 2 of them: each bucket of time
    // keeps its lowest and highest value, in the order they came, so a spike is never lost.
    std::vector<Point> points(int axis, double from, std::size_t buckets) const;
    std::vector<Event> events(double from) const;
    // The last value of the axis at or before `t` (for placing a mark on its curve).
    std::optional<double> valueAt(int axis, double t) const;

private:
    void forget(double now);

    std::array<std::deque<Point>, 3> points_;
    std::deque<Event> events_;
};

}  // namespace curves
