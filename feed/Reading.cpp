#include "feed/Reading.h"

namespace feed {

bool sameShown(const Reading& a, const Reading& b) {
    const auto& ha = a.health;
    const auto& hb = b.health;
    // A new fault on the line is news to whoever watches the link, as a moved axis is.
    for (std::size_t e = LinkHealth::invalid; e < LinkHealth::eventCount; ++e)
        if (ha.sinceStart[e] != hb.sinceStart[e]) return false;
    return a.axes == b.axes && a.texts == b.texts && a.values == b.values && a.mode == b.mode &&
           a.relative == b.relative && a.live == b.live && a.why == b.why &&
           a.labels == b.labels && a.toGo == b.toGo && a.near == b.near && a.point == b.point;
}

Reading Freshness::judge(Reading state, std::int64_t nowMs) {
    if (!seen_ || state.reading != lastReading_) {
        seen_ = true;
        lastReading_ = state.reading;
        lastNewMs_ = nowMs;
    } else if (state.live && nowMs - lastNewMs_ > staleAfterMs) {
        state.live = false;
        state.why = QStringLiteral("Brak nowych odczytów z urządzenia");
    }
    return state;
}

}  // namespace feed
