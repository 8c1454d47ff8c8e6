#include "workshop/Patterns.h"

#include <cmath>
#include <numbers>

#include "platform/Translate.h"

namespace workshop {

namespace {

// Sines and cosines of whole angles come out a few 1e-17 off (cos 90° is 6e-17): positions are
// kept to a nanometre, far below any axis's step, so that 0 is 0 in a file.
double cleaned(double value) {
    const double rounded = std::round(value * 1e6) / 1e6;
    return rounded == 0 ? 0.0 : rounded;
}

Point pointAt(std::string_view name, int number, double x, double y) {
    Point point;
    point.name = std::string(name) + " " + std::to_string(number);
    point.at[0] = cleaned(x);
    point.at[1] = cleaned(y);
    return point;
}

bool allFinite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

Generated refused(const std::string& why) {
    return {{}, why};
}

}  // namespace

Generated boltCircle(const BoltCircle& c, std::string_view name) {
    if (!allFinite({c.centreX, c.centreY, c.diameter, c.startDegrees}))
        return refused(platform::translate("Patterns", "Wartości okręgu muszą być liczbami."));
    if (c.count < 1) return refused(platform::translate("Patterns", "Liczba otworów musi wynosić co najmniej 1."));
    if (c.count > maxPoints)
        return refused(platform::format(platform::translate("Patterns", "Liczba otworów może wynosić najwyżej %1."),
                                        {std::to_string(maxPoints)}));
    if (!(c.diameter > 0)) return refused(platform::translate("Patterns", "Średnica okręgu musi być większa od zera."));
    Generated made;
    const double radius = c.diameter / 2;
    const double sense = c.clockwise ? -1.0 : 1.0;
    for (int k = 0; k < c.count; ++k) {
        const double degrees = c.startDegrees + sense * 360.0 * k / c.count;
        const double radians = degrees * std::numbers::pi / 180.0;
        made.points.push_back(pointAt(name, k + 1, c.centreX + radius * std::cos(radians),
                                      c.centreY + radius * std::sin(radians)));
    }
    return made;
}

Generated grid(const Grid& g, std::string_view name) {
    if (!allFinite({g.startX, g.startY, g.stepX, g.stepY, g.angleDegrees}))
        return refused(platform::translate("Patterns", "Wartości szyku muszą być liczbami."));
    if (g.countX < 1 || g.countY < 1)
        return refused(platform::translate("Patterns", "Liczba otworów w rzędzie i liczba rzędów muszą wynosić co najmniej 1."));
    if (static_cast<long long>(g.countX) * g.countY > maxPoints)
        return refused(platform::format(platform::translate("Patterns", "Szyk może mieć najwyżej %1 punktów."),
                                        {std::to_string(maxPoints)}));
    if ((g.countX > 1 && g.stepX == 0) || (g.countY > 1 && g.stepY == 0))
        return refused(platform::translate("Patterns", "Przy więcej niż jednym otworze odstęp nie może wynosić zero: otwory "
                          "leżałyby jeden na drugim."));
    Generated made;
    const double radians = g.angleDegrees * std::numbers::pi / 180.0;
    const double cosA = std::cos(radians), sinA = std::sin(radians);
    int number = 0;
    for (int row = 0; row < g.countY; ++row)
        for (int col = 0; col < g.countX; ++col) {
            const double along = col * g.stepX, across = row * g.stepY;
            made.points.push_back(pointAt(name, ++number, g.startX + along * cosA - across * sinA,
                                          g.startY + along * sinA + across * cosA));
        }
    return made;
}

}  // namespace workshop
