#pragma once

#include <QString>

// The state of the link in the operator's words: the status line under the readout, and what a
// screen reader reads of it. The window fills a LinkStatus; the text comes from here alone.
namespace readout {

// Why the offsets were last set to zero by the program, not by the operator.
enum class OffsetsZeroed {
    no,
    programStart,
    linkLost,
    portChanged,
    configurationChanged,
    configurationWritten
};

struct LinkStatus {
    enum class State {
        starting,       // a link start is reading the box's configuration
        current,        // the figures are a reading of a moment ago
        stale,          // no reading for a while; nothing is retrying by itself
        silent,         // the box stopped answering on a working port; retrying
        lost,           // the port went away or will not open; reopening it
        unknownDevice,  // the box answers with no kind this program knows
        dialog,         // a configuration dialog holds the port
        otherDevice,    // the port's name now leads to another device than the one lost
    };
    State state = State::starting;
    QString port;     // "COM1"
    int seconds = 0;  // without a reading, in the states that count it
    QString device;   // otherDevice: the device the name leads to now
    OffsetsZeroed zeroed = OffsetsZeroed::no;
};

// Two lines: the state; then what F5 does while the readings are not current, or else why the
// offsets were zeroed (empty when there is nothing to say).
QString statusText(const LinkStatus& status);

}  // namespace readout
