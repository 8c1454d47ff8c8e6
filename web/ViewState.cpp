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
    for (int i = 0; i < axes; ++i)
        rows.append(
            QJsonObject{{QStringLiteral("axis"), QLatin1String(letters[i])},
                        {QStringLiteral("text"), state.texts[static_cast<std::size_t>(i)]}});
    const QJsonObject object{
        {QStringLiteral("axes"), axes},
        {QStringLiteral("rows"), rows},
        {QStringLiteral("mode"), state.mode},
        {QStringLiteral("live"), state.live},
        {QStringLiteral("why"), state.live ? QString() : state.why},
        {QStringLiteral("reading"), static_cast<double>(state.reading)},
        {QStringLiteral("ageUs"), static_cast<double>(ageUs)},
        {QStringLiteral("sentMs"), static_cast<double>(sentMs)},
        {QStringLiteral("ended"), state.ended},
    };
    return QByteArrayLiteral("data: ") + QJsonDocument(object).toJson(QJsonDocument::Compact) +
           QByteArrayLiteral("\n\n");
}

}  // namespace web
