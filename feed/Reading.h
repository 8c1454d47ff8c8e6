#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "feed/LinkHealth.h"

// One state of the readings as the window shows it, the same for every taker: the live view's
// pages, the MQTT broker and the recording. Taken from the window after each reading and at
// each change of what it shows, so that they never disagree.
namespace feed {

struct Reading {
    int axes = 3;                  // 1 to 3: X, XY or XYZ
    std::array<QString, 3> texts;  // as the window's figures show them, "Ref" included
    // The workshop's marks: the axis's letter as shown ("ØX" for a diameter), whether the figures
    // are a distance to go and within the near-zero tolerance, and what a screen reader is told.
    std::array<QString, 3> labels;
    std::array<bool, 3> toGo{};
    std::array<bool, 3> near{};
    std::array<QString, 3> spoken;
    QString point;  // the chosen point as the window names it; empty when none
    // The value the figures show, in the axis's unit (mm, or degrees for an angular axis); none
    // while the figures show no number ("Ref", "-----").
    std::array<std::optional<double>, 3> values;
    std::array<bool, 3> angular{};
    QString mode;               // the caption of the checked mode button
    bool relative = false;      // the figures are relative to the operator's offsets
    bool live = false;          // a current reading of the box
    QString why;                // why not live; empty when live
    std::uint64_t reading = 0;  // counts the readings shown: a new one is a new number
    std::int64_t wireUs = 0;    // when the reading's last byte came (steady clock, µs; 0: unknown)
    std::int64_t timeMs = 0;    // wall clock (ms since 1970) when this state was taken
    LinkHealth::Counts health;  // the line's health at that moment
    bool ended = false;  // the last word: the program ends or the live view stops serving here
};

// Whether `a` and `b` show the same to someone reading them: figures, mode, live or not. The
// reading's number, its time and the health's rates are not what is shown.
bool sameShown(const Reading& a, const Reading& b);

// How long a live reading stays current without a new one; after it the figures are the last
// reading, whatever the window still says.
constexpr std::int64_t staleAfterMs = 1000;

// Turns a state that the window calls live into not current when no new reading has come for
// staleAfterMs: a taker on another thread tells its readers the truth of the last second.
class Freshness {
public:
    // `nowMs` on a steady clock of the taker's.
    Reading judge(Reading state, std::int64_t nowMs);

private:
    std::uint64_t lastReading_ = 0;
    std::int64_t lastNewMs_ = 0;
    bool seen_ = false;
};

}  // namespace feed
