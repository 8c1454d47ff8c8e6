#pragma once

// Raises the process's scheduling priority while the readout runs, so the byte-by-byte cycle is
// not starved by other programs, and puts it back at the end. Linux lets an unprivileged process
// only lower its priority: the raise then silently does nothing.
class PriorityBoost {
public:
    ~PriorityBoost() { restore(); }
    void raise();
    void restore();
    bool raised() const { return raised_; }

private:
    bool raised_ = false;
    int previousNice_ = 0;
};
