#include "sim/Motion.h"

#include <cmath>
#include <numbers>

#include "sim/Text.h"

namespace sim {

namespace {

double scriptCountAt(const Motion& m, double t) {
    const auto& p = m.points;
    if (p.empty()) return 0;
    const double first = p.front().first, last = p.back().first;
    if (m.loop && last > first && t > last) t = first + std::fmod(t - first, last - first);
    if (t <= first) return p.front().second;
    for (std::size_t i = 1; i < p.size(); ++i) {
        if (t > p[i].first) continue;
        const double span = p[i].first - p[i - 1].first;
        // Two points at the same time make a step.
        if (span <= 0) return p[i].second;
        return p[i - 1].second + (t - p[i - 1].first) / span * (p[i].second - p[i - 1].second);
    }
    return p.back().second;
}

}  // namespace

double Motion::countAt(double t) const {
    switch (kind) {
        case Kind::Still:
            return start;
        case Kind::Ramp:
            return start + rate * t;
        case Kind::Sine:
            if (periodS <= 0) return start;
            return start + amplitude * std::sin(2 * std::numbers::pi * t / periodS);
        case Kind::Script:
            return scriptCountAt(*this, t);
    }
    return 0;
}

namespace {

// Numbers after the motion's name: at least `required`, at most `required + optional`.
bool numbers(const std::vector<std::string_view>& parts, std::size_t required, std::size_t optional,
             std::vector<double>& out) {
    if (parts.size() < 1 + required || parts.size() > 1 + required + optional) return false;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        double v = 0;
        if (!text::parseDouble(parts[i], v) || !std::isfinite(v)) return false;
        out.push_back(v);
    }
    return true;
}

bool parseScript(std::string_view body, Motion& m) {
    for (std::string_view item : text::split(body, ',')) {
        if (item == "loop" && !m.points.empty()) {
            m.loop = true;
            continue;
        }
        if (m.loop) return false;  // "loop" comes last
        const auto pair = text::split(item, '=');
        double t = 0, count = 0;
        if (pair.size() != 2 || !text::parseDouble(pair[0], t) ||
            !text::parseDouble(pair[1], count) || !std::isfinite(t) || !std::isfinite(count))
            return false;
        if (!m.points.empty() && t < m.points.back().first) return false;
        m.points.emplace_back(t, count);
    }
    return !m.points.empty();
}

}  // namespace

bool parseMotion(const std::string& textIn, Motion& result) {
    const std::string_view s = textIn;
    const std::size_t colon = s.find(':');
    const std::string_view name = s.substr(0, colon);
    Motion m;
    if (name == "script") {
        m.kind = Motion::Kind::Script;
        if (colon == std::string_view::npos || !parseScript(s.substr(colon + 1), m)) return false;
        result = m;
        return true;
    }
    const auto parts = text::split(s, ':');
    std::vector<double> v;
    if (name == "still" && numbers(parts, 1, 0, v)) {
        m.start = v[0];
    } else if (name == "ramp" && numbers(parts, 1, 1, v)) {
        m.kind = Motion::Kind::Ramp;
        m.rate = v[0];
        m.start = v.size() > 1 ? v[1] : 0;
    } else if (name == "sine" && numbers(parts, 2, 1, v) && v[1] > 0) {
        m.kind = Motion::Kind::Sine;
        m.amplitude = v[0];
        m.periodS = v[1];
        m.start = v.size() > 2 ? v[2] : 0;
    } else {
        return false;
    }
    result = m;
    return true;
}

std::string describeMotion(const Motion& m) {
    using text::formatDouble;
    switch (m.kind) {
        case Motion::Kind::Still:
            return "still:" + formatDouble(m.start);
        case Motion::Kind::Ramp:
            return "ramp:" + formatDouble(m.rate) + ":" + formatDouble(m.start);
        case Motion::Kind::Sine:
            return "sine:" + formatDouble(m.amplitude) + ":" + formatDouble(m.periodS) + ":" +
                   formatDouble(m.start);
        case Motion::Kind::Script: {
            std::string s = "script:";
            for (std::size_t i = 0; i < m.points.size(); ++i) {
                if (i) s += ',';
                s += formatDouble(m.points[i].first) + "=" + formatDouble(m.points[i].second);
            }
            if (m.loop) s += ",loop";
            return s;
        }
    }
    return "still:0";
}

}  // namespace sim
