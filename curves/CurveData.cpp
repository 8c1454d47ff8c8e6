#include "curves/CurveData.h"

#include <algorithm>
#include <cmath>

namespace curves {

void CurveData::forget(double now) {
    for (auto& axis : points_)
        while (!axis.empty() && axis.front().t < now - keptSeconds) axis.pop_front();
    while (!events_.empty() && events_.front().t < now - keptSeconds) events_.pop_front();
}

void CurveData::add(int axis, double t, double value) {
    points_[static_cast<std::size_t>(axis)].push_back({t, value});
    forget(t);
}

void CurveData::mark(double t, Mark mark, int axis) {
    events_.push_back({t, mark, axis});
    forget(t);
}

std::vector<Point> CurveData::points(int axis, double from, std::size_t buckets) const {
    const auto& all = points_[static_cast<std::size_t>(axis)];
    auto first = std::lower_bound(all.begin(), all.end(), from,
                                  [](const Point& p, double t) { return p.t < t; });
    std::vector<Point> out;
    const auto count = static_cast<std::size_t>(all.end() - first);
    if (count <= 2 * buckets || buckets == 0) {
        out.assign(first, all.end());
        return out;
    }
    const double span = all.back().t - from;
    const double width = span / static_cast<double>(buckets);
    for (auto it = first; it != all.end();) {
        const double end = from + width * (std::floor((it->t - from) / width) + 1);
        auto low = it, high = it;
        for (; it != all.end() && it->t < end; ++it) {
            if (it->value < low->value) low = it;
            if (it->value > high->value) high = it;
        }
        if (low->t <= high->t) {
            out.push_back(*low);
            if (high != low) out.push_back(*high);
        } else {
            out.push_back(*high);
            out.push_back(*low);
        }
    }
    return out;
}

std::vector<Event> CurveData::events(double from) const {
    std::vector<Event> out;
    for (const Event& e : events_)
        if (e.t >= from) out.push_back(e);
    return out;
}

std::optional<double> CurveData::valueAt(int axis, double t) const {
    const auto& all = points_[static_cast<std::size_t>(axis)];
    auto after = std::upper_bound(all.begin(), all.end(), t,
                                  [](double time, const Point& p) { return time < p.t; });
    if (after == all.begin()) return all.empty() ? std::nullopt : std::optional(all.front().value);
    return std::prev(after)->value;
}

}  // namespace curves
