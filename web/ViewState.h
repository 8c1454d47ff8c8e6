#pragma once

#include <QByteArray>
#include <cstdint>

#include "feed/Reading.h"

// What the window shows, as the live view sends it to a browser: the rows of the axes present
// with their texts, the display mode, and whether the figures are a current reading; when not,
// why, in words the operator reads on the page.
namespace web {

// The feed's state of the readings: the view shows what everyone else is given.
using ViewState = feed::Reading;

// One server-sent event carrying `state`: "data: {...}\n\n". `sentMs` is the wall clock of the
// sending and `ageUs` how long before it the reading's last byte came (0: unknown), so that a
// page can tell how old its figures are.
QByteArray viewEvent(const ViewState& state, std::int64_t sentMs, std::int64_t ageUs);

}  // namespace web
