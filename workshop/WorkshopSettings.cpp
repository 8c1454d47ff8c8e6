#include "workshop/WorkshopSettings.h"

#include <cmath>

#include "platform/TextLines.h"
#include "readout/Formats.h"

namespace workshop {

WorkshopSettings parseWorkshopSettings(std::string_view text) {
    WorkshopSettings settings;
    while (!text.empty()) {
        const std::string_view line = platform::takeLine(text);
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = readout::trimmed(line.substr(0, equals));
        const std::string_view value = readout::trimmed(line.substr(equals + 1));
        if (key == "units" && (value == "mm" || value == "inch"))
            settings.display.length = value == "mm" ? LengthUnit::mm : LengthUnit::inch;
        else if (key == "angles" && (value == "dms" || value == "decimal"))
            settings.display.angle = value == "dms" ? AngleFormat::dms : AngleFormat::decimal;
        else if (key == "diameter")
            for (std::size_t i = 0; i < 3; ++i)
                settings.diameter[i] = value.find("XYZ"[i]) != std::string_view::npos;
        else if (key == "topview" && (value == "0" || value == "1"))
            settings.topView = value == "1";
        else if (key == "point") {
            const auto point = readout::parseDecimal(value);
            if (point && *point >= 0 && *point <= 999 && *point == std::floor(*point))
                settings.point = static_cast<int>(*point);
        } else if (key == "tolerance")
            if (const auto tolerance = readout::parseDecimal(value);
                tolerance && std::isfinite(*tolerance) && *tolerance >= 0)
                settings.tolerance = *tolerance;
    }
    return settings;
}

std::string workshopSettingsText(const WorkshopSettings& settings) {
    std::string diameter;
    for (std::size_t i = 0; i < 3; ++i)
        if (settings.diameter[i]) diameter += "XYZ"[i];
    return std::string("units=") +
           (settings.display.length == LengthUnit::mm ? "mm" : "inch") + "\r\nangles=" +
           (settings.display.angle == AngleFormat::dms ? "dms" : "decimal") +
           "\r\ndiameter=" + diameter + "\r\ntolerance=" +
           readout::formatGeneral(settings.tolerance) + "\r\npoint=" +
           std::to_string(settings.point) + "\r\ntopview=" + (settings.topView ? "1" : "0") +
           "\r\n";
}

}  // namespace workshop
