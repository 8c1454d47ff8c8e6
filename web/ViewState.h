#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

// What the window shows, as the live view sends it to a browser: the rows of the axes present
// with their texts, the display mode, and whether the figures are a current reading; when not,
// why, in words the operator reads on the page.
namespace web {

struct ViewState {
    int axes = 3;                  // 1 to 3: X, XY or XYZ
    std::array<QString, 3> texts;  // as the window's figures show them, "Ref" included
    // The workshop's marks: the axis's letter as shown ("ØX" for a diameter), whether the figures
    // are a distance to go and within the near-zero tolerance, and what a screen reader is told.
    std::array<QString, 3> labels;
    std::array<bool, 3> toGo{};
    std::array<bool, 3> near{};
    std::array<QString, 3> spoken;
    QString point;  // the chosen point as the window names it; empty when none
    QString mode;                  // the caption of the checked mode button
    bool live = false;             // a current reading of the box
    QString why;                   // why not live; empty when live
    std::uint64_t reading = 0;     // counts the readings shown: a new one is a new number
    std::int64_t wireUs = 0;  // when the reading's last byte came (steady clock, µs; 0: unknown)
};

// One server-sent event carrying `state`: "data: {...}\n\n". `sentMs` is the wall clock of the
// sending and `ageUs` how long before it the reading's last byte came (0: unknown), so that a
// page can tell how old its figures are.
QByteArray viewEvent(const ViewState& state, std::int64_t sentMs, std::int64_t ageUs);

}  // namespace web
