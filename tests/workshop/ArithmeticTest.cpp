#include <gtest/gtest.h>

#include <cmath>

#include "workshop/Patterns.h"
#include "workshop/Points.h"
#include "workshop/Units.h"
#include "workshop/WorkshopSettings.h"

namespace workshop {
namespace {

constexpr Display mm{LengthUnit::mm, AngleFormat::dms};
constexpr Display inch{LengthUnit::inch, AngleFormat::decimal};
constexpr AxisView linear3{false, 3, false};
constexpr AxisView diameter3{false, 3, true};
constexpr AxisView rotary{true, 4, false};

TEST(WorkshopUnits, Texts) {
    const struct {
        double value;
        AxisView axis;
        Display display;
        bool distance;
        const char* text;
    } cases[] = {
        {12.3456, linear3, mm, false, "12.346"},
        {25.4, linear3, inch, false, "1.0000"},
        {0.001, linear3, inch, false, "0.0000"},  // 0.0000394 in
        {0.003, linear3, inch, false, "0.0001"},
        {-12.7, linear3, inch, true, "-0.5000"},
        {10.0, diameter3, mm, false, "20.000"},
        {10.0, diameter3, inch, false, "0.7874"},
        {-0.5, rotary, mm, false, "359'30'00"},
        {-0.5, rotary, mm, true, "-0'30'00"},
        {350.0, rotary, mm, true, "-10'00'00"},
        {190.0, rotary, inch, true, "-170.0000"},
        {-0.5, rotary, inch, false, "359.5000"},
        {359.99999, rotary, inch, false, "0.0000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.distance ? distanceText(c.value, c.axis, c.display)
                             : readingText(c.value, c.axis, c.display),
                  c.text)
            << c.value;
}

TEST(WorkshopUnits, TypedValues) {
    const struct {
        const char* text;
        AxisView axis;
        Display display;
        std::optional<double> box;
    } cases[] = {
        {"1.5", linear3, mm, 1.5},   {"1,5", linear3, mm, 1.5},     {"1", linear3, inch, 25.4},
        {"40", diameter3, mm, 20.0}, {"10'30'00", rotary, mm, 10.5}, {"10.25", rotary, inch, 10.25},
        {"x", linear3, mm, {}},      {"10'5'00", rotary, mm, {}},    {"", linear3, mm, {}},
        {"1e400", linear3, mm, {}},
    };
    for (const auto& c : cases) {
        const auto box = typedValue(c.text, c.axis, c.display);
        ASSERT_EQ(box.has_value(), c.box.has_value()) << c.text;
        if (box) {
            EXPECT_NEAR(*box, *c.box, 1e-12) << c.text;
        }
    }
}

TEST(WorkshopUnits, HalfDistanceAndNearZero) {
    // Edge at 10 cleared, other edge at 30: the centre, 20, reads 0.
    const double offset = halvingOffset(30.0, 10.0);
    EXPECT_DOUBLE_EQ(30.0 - offset, 10.0);
    EXPECT_DOUBLE_EQ(20.0 - offset, 0.0);
    EXPECT_DOUBLE_EQ(distanceToGo(12.0, 20.0, false), -8.0);
    EXPECT_DOUBLE_EQ(distanceToGo(350.0, 10.0, true), -20.0);
    EXPECT_DOUBLE_EQ(distanceToGo(10.0, 190.0, true), 180.0);
    EXPECT_TRUE(nearZero(0.009, 0.01, linear3, mm));
    EXPECT_FALSE(nearZero(0.02, 0.01, linear3, mm));
    // Shown as 0.000 it is near zero whatever the tolerance; 0.0005 rounds away from 0.000.
    EXPECT_TRUE(nearZero(-0.0004, 0, linear3, mm));
    EXPECT_FALSE(nearZero(0.0006, 0, linear3, mm));
}

TEST(WorkshopUnits, SwitchingUnitsNeverMovesAReading) {
    // The reading stays in millimetres; every text is made from it afresh.
    const double position = 0.001 * 12345;
    for (int i = 0; i < 1000; ++i) {
        const std::string shownInch = readingText(position, linear3, inch);
        ASSERT_EQ(shownInch, "0.4860");
        ASSERT_EQ(readingText(position, linear3, mm), "12.345");
    }
    // A point typed in inches and written to the own file reads back within a nanometre.
    Shown inches;
    inches.display = inch;
    Point point{"A", {*typedValue("1.2345", linear3, inch), {}, {}}};
    const auto back = parsePoints(pointsText({point}, boxUnits(inches.axes)), boxUnits(inches.axes));
    ASSERT_TRUE(back.points) << back.error;
    EXPECT_EQ(readingText(*(*back.points)[0].at[0], linear3, inch), "1.2345");
}

TEST(WorkshopPatterns, BoltCircleAndGrid) {
    const Generated six = boltCircle({10, 20, 100, 6, 0, false}, "H");
    ASSERT_EQ(six.points.size(), 6u);
    const double expected[6][2] = {{60, 20}, {35, 63.30127}, {-15, 63.30127},
                                    {-40, 20}, {-15, -23.30127}, {35, -23.30127}};
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(six.points[k].name, "H " + std::to_string(k + 1));
        EXPECT_NEAR(*six.points[k].at[0], expected[k][0], 1e-5);
        EXPECT_NEAR(*six.points[k].at[1], expected[k][1], 1e-5);
        EXPECT_FALSE(six.points[k].at[2]);
    }
    const Generated cw = boltCircle({0, 0, 10, 4, 90, true}, "H");
    EXPECT_EQ(*cw.points[1].at[0], 5.0);  // 90° then 0°: exactly, no 1e-16 left
    EXPECT_EQ(*cw.points[1].at[1], 0.0);
    const Generated rotated = grid({0, 0, 10, 5, 3, 2, 90}, "G");
    ASSERT_EQ(rotated.points.size(), 6u);
    EXPECT_EQ(*rotated.points[2].at[0], 0.0);  // third in the row: along +Y
    EXPECT_EQ(*rotated.points[2].at[1], 20.0);
    EXPECT_EQ(*rotated.points[5].at[0], -5.0);  // second row: to the left of the row
    EXPECT_EQ(*rotated.points[5].at[1], 20.0);

    const struct {
        Generated made;
        const char* why;
    } refused[] = {
        {boltCircle({0, 0, 100, 0, 0, false}, "H"), "co najmniej 1"},
        {boltCircle({0, 0, 0, 6, 0, false}, "H"), "większa od zera"},
        {boltCircle({0, 0, -5, 6, 0, false}, "H"), "większa od zera"},
        {boltCircle({0, 0, NAN, 6, 0, false}, "H"), "liczbami"},
        {grid({0, 0, 10, 10, 0, 1, 0}, "G"), "co najmniej 1"},
        {grid({0, 0, 0, 10, 3, 1, 0}, "G"), "zero"},
        {grid({0, 0, 1, 1, 100, 100, 0}, "G"), "najwyżej 999"},
    };
    for (const auto& r : refused) {
        EXPECT_TRUE(r.made.points.empty()) << r.why;
        EXPECT_NE(r.made.error.find(r.why), std::string::npos) << r.made.error;
    }
}

TEST(WorkshopPoints, Files) {
    Shown shownMm;  // mm, X Y Z linear
    Shown shownInch = shownMm;
    shownInch.display.length = LengthUnit::inch;
    Shown rotaryZ = shownMm;
    rotaryZ.axes[2].angular = true;
    Shown lathe = shownMm;
    lathe.axes[0].diameter = true;
    const struct {
        const char* text;
        const Shown& shown;
        const char* result;  // points as "name:x,y,z" or the reason's piece
    } cases[] = {
        {"name;X [mm];Y [mm];Z [mm]\r\nA;1.5;2;\r\nB;-3;;4\r\n", shownMm, "A:1.5,2,- B:-3,-,4"},
        {"\xEF\xBB\xBFnazwa,X [in]\n\"H, 1\",1\n", shownInch, "H, 1:25.4,-,-"},
        {"n;Y [mm];X [mm]\n;\"1,5\";2\n", shownMm, "P1:2,1.5,-"},
        {"n;X [mm \xC3\x98]\nA;40\n", lathe, "A:20,-,-"},
        {"n;Z [\xC2\xB0]\nA;90.5\n", rotaryZ, "A:-,-,90.5"},
        {"n;X [in]\nA;1\n", shownMm, "w calach, a program pokazuje wartości w milimetrach"},
        {"n;A [mm]\nA;1\n", shownMm, "nieznana oś"},
        {"n;X\nA;1\n", shownMm, "nie podaje jednostki"},
        {"n;X [mm];X [mm]\n", shownMm, "dwa razy"},
        {"n;Z [mm]\nA;1\n", rotaryZ, "liniowa, a w urządzeniu kątowa"},
        {"n;X [mm]\nA;abc\n", shownMm, "wiersz 2: niepoprawna wartość"},
        {"n;X [mm]\nA;1;2\n", shownMm, "więcej wartości"},
        {"A;1\n", shownMm, "nieznana oś"},
        {"", shownMm, "pusty"},
    };
    for (const auto& c : cases) {
        const PointsRead read = parsePoints(c.text, c.shown);
        std::string got;
        if (read.points) {
            for (const Point& p : *read.points) {
                got += (got.empty() ? "" : " ") + p.name + ":";
                for (std::size_t i = 0; i < 3; ++i) {
                    char value[32] = "-";
                    if (p.at[i]) std::snprintf(value, sizeof value, "%g", *p.at[i]);
                    got += std::string(i ? "," : "") + value;
                }
            }
            EXPECT_EQ(got, c.result) << c.text;
        } else {
            EXPECT_NE(read.error.find(c.result), std::string::npos) << read.error;
        }
    }
    // What is written reads back the same, names with separators and quotes included.
    Points points(2);
    points[0] = {"a;\"b\"", {1.25, std::nullopt, -3.0}};
    points[1] = {"C", {std::nullopt, 7.0, std::nullopt}};
    const auto back = parsePoints(pointsText(points, lathe), lathe);
    ASSERT_TRUE(back.points);
    EXPECT_EQ((*back.points)[0].name, "a;\"b\"");
    EXPECT_DOUBLE_EQ(*(*back.points)[0].at[0], 1.25);
    EXPECT_FALSE((*back.points)[1].at[0]);
}

TEST(WorkshopSettingsFile, ReadsWhatItWritesAndIgnoresTheRest) {
    WorkshopSettings settings;
    settings.display = {LengthUnit::inch, AngleFormat::decimal};
    settings.diameter = {true, false, true};
    settings.tolerance = 0.0254;
    settings.point = 6;
    settings.topView = true;
    EXPECT_EQ(parseWorkshopSettings(workshopSettingsText(settings)), settings);
    EXPECT_EQ(parseWorkshopSettings("units=feet\ntolerance=-1\nnoise\n"), WorkshopSettings{});
}

}  // namespace
}  // namespace workshop
