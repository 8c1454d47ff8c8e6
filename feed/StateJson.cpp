#include "feed/StateJson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace feed {

namespace {

QJsonObject countsObject(const std::array<std::uint64_t, LinkHealth::eventCount>& counts) {
    auto n = [&](LinkHealth::Event e) { return static_cast<double>(counts[e]); };
    return {{QStringLiteral("readings"), n(LinkHealth::readings)},
            {QStringLiteral("invalidReplies"), n(LinkHealth::invalid)},
            {QStringLiteral("retries"), n(LinkHealth::retries)},
            {QStringLiteral("parityErrors"), n(LinkHealth::parity)},
            {QStringLiteral("framingErrors"), n(LinkHealth::framing)},
            {QStringLiteral("overruns"), n(LinkHealth::overrun)},
            {QStringLiteral("linkLosses"), n(LinkHealth::losses)}};
}

// A rate with two decimals: more says nothing and only makes every message differ.
double rounded(double rate) {
    return static_cast<double>(static_cast<std::int64_t>(rate * 100.0 + 0.5)) / 100.0;
}

}  // namespace

QByteArray stateJson(const Reading& state) {
    QJsonArray axes;
    static const char* const letters[] = {"X", "Y", "Z"};
    const int count = std::clamp(state.axes, 1, 3);
    for (int i = 0; i < count; ++i) {
        const auto a = static_cast<std::size_t>(i);
        axes.append(QJsonObject{
            {QStringLiteral("axis"), QLatin1String(letters[i])},
            {QStringLiteral("value"),
             state.values[a] ? QJsonValue(*state.values[a]) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("text"), state.texts[a]},
            {QStringLiteral("unit"),
             state.angular[a] ? QStringLiteral("deg") : QStringLiteral("mm")},
        });
    }
    const LinkHealth::Counts& h = state.health;
    QJsonObject link = {
        {QStringLiteral("sinceStart"), countsObject(h.sinceStart)},
        {QStringLiteral("lastMinute"), countsObject(h.lastMinute)},
        {QStringLiteral("readingsPerSecond"), rounded(h.ratePerSecond)},
        {QStringLiteral("readingsPerSecondLastMinute"), rounded(h.rateLastMinute)},
        {QStringLiteral("runningSeconds"), static_cast<double>(h.runningMs / 1000)},
    };
    const QJsonObject object{
        {QStringLiteral("current"), state.live},
        {QStringLiteral("why"), state.live ? QString() : state.why},
        {QStringLiteral("axes"), axes},
        {QStringLiteral("mode"),
         state.relative ? QStringLiteral("relative") : QStringLiteral("absolute")},
        {QStringLiteral("modeText"), state.mode},
        {QStringLiteral("reading"), static_cast<double>(state.reading)},
        {QStringLiteral("time"),
         QDateTime::fromMSecsSinceEpoch(state.timeMs, Qt::UTC).toString(Qt::ISODateWithMs)},
        {QStringLiteral("timeMs"), static_cast<double>(state.timeMs)},
        {QStringLiteral("link"), link},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace feed
