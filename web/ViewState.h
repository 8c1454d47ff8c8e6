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
    QString mode;                  // the caption of the checked mode button
    bool live = false;             // a current reading of the box
    QString why;                   // why not live; empty when live
    std::uint64_t reading = 0;     // counts the readings shown: a new one is a new number
    std::int64_t wireUs = 0;  // when the reading's last byte came (steady clock, µs; 0: unknown)
    bool ended = false;       // the last word: the program ends or the view stops serving here
};

// One server-sent event carrying `state`: "data: {...}\n\n". `sentMs` is the wall clock of the
// sending and `ageUs` how long before it the reading's last byte came (0: unknown), so that a
// page can tell how old its figures are.
QByteArray viewEvent(const ViewState& state, std::int64_t sentMs, std::int64_t ageUs);

}  // namespace web
