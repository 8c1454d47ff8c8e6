#include "web/ViewState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace web {

QByteArray viewEvent(const ViewState& state, std::int64_t sentMs, std::int64_t ageUs) {
    QJsonArray rows;
    static const char* const letters[] = {"X", "Y", "Z"};
    const int axes = std::clamp(state.axes, 1, 3);
    for (int i = 0; i < axes; ++i) {
        const auto at = static_cast<std::size_t>(i);
        QJsonObject row{{QStringLiteral("axis"), QLatin1String(letters[i])},
                        {QStringLiteral("text"), state.texts[at]}};
        if (!state.labels[at].isEmpty()) row.insert(QStringLiteral("label"), state.labels[at]);
        if (state.toGo[at]) row.insert(QStringLiteral("toGo"), true);
        if (state.near[at]) row.insert(QStringLiteral("near"), true);
        if (!state.spoken[at].isEmpty()) row.insert(QStringLiteral("spoken"), state.spoken[at]);
        rows.append(row);
    }
    const QJsonObject object{
        {QStringLiteral("axes"), axes},
        {QStringLiteral("rows"), rows},
        {QStringLiteral("mode"), state.mode},
        {QStringLiteral("live"), state.live},
        {QStringLiteral("why"), state.live ? QString() : state.why},
        {QStringLiteral("point"), state.point},
        {QStringLiteral("reading"), static_cast<double>(state.reading)},
        {QStringLiteral("ageUs"), static_cast<double>(ageUs)},
        {QStringLiteral("sentMs"), static_cast<double>(sentMs)},
        {QStringLiteral("ended"), state.ended},
    };
    return QByteArrayLiteral("data: ") + QJsonDocument(object).toJson(QJsonDocument::Compact) +
           QByteArrayLiteral("\n\n");
}

}  // namespace web
