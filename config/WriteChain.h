#pragma once

#include <functional>

#include "platform/Timer.h"

class TRS232Service;

// A chain of writes to the box, each step started by the box's acknowledgement of the one before,
// ended by the end of the configuration once its last byte has left the port. The two
// configuration dialogs and the restore of a configuration file write through it, so they fail
// alike: a box that does not answer in time, refuses a write or sends what cannot be read, a line
// or port failure, or a last byte that never leaves all end the chain, and nothing of it goes on.
class WriteChain {
public:
    WriteChain(TRS232Service& service, platform::Clock& clock);
    ~WriteChain();
    WriteChain(const WriteChain&) = delete;
    WriteChain& operator=(const WriteChain&) = delete;

    // The last write was acknowledged and its bytes have left the port; the port is closed.
    std::function<void()> onSent;
    // The chain stopped part way (see above); the port is closed. Told once, after the steps
    // were unbound, so a late acknowledgement cannot carry the chain on behind the message.
    std::function<void()> onFailed;

    // Binds the service's acknowledgement to the first step and its time-out and link errors to
    // the failure, then closes, purges and reopens the port. False, with nothing bound, when it
    // cannot be opened; the caller then makes the first write.
    bool start(std::function<void()> firstStep);
    // Binds the next step to the box's acknowledgement.
    void then(std::function<void()> step);
    // The last write was acknowledged: close the configuration and wait for the byte to leave.
    void finish();
    // Nothing more will be sent (a box of an unknown kind): the port is let go quietly, neither
    // success nor failure is told.
    void abandon();
    // The chain cannot go on; see onFailed. Nothing happens when none is running.
    void fail();
    // From the first write until the box acknowledged the last one or stopped answering.
    bool running() const { return running_; }
    // The port is neither closed nor reopened: the caller holds it over several exchanges, so
    // that no other program comes between them, and lets it go itself. start() purges it.
    bool holdPort = false;

private:
    void sent();
    void closeLinkQuietly();
    // The service's events and the port's transmit-empty no longer reach this chain.
    void unbindSteps();
    // The chain made progress: the watchdog counts afresh.
    void restartWatchdog();
    void watchdogTimer();

    TRS232Service& service_;
    // Ends a chain that stopped making progress where the service's own time-out cannot see it:
    // the last byte that never left the port, a port closed under the chain, an exchange the
    // service gave up with its time-out off. As long as the service's time-out runs, the chain is
    // left to it.
    platform::Timer watchdog_;
    bool running_ = false;
};
