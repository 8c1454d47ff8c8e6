#pragma once

#include <QObject>
#include <functional>

#include "feed/Reading.h"

// The one feed of readings: the window says when what it shows has changed, the feed takes the
// state once the window has finished with the change and hands that same state, in the same
// order, to everyone who takes it. Nobody connected: nothing is taken at all.
namespace feed {

class Feed : public QObject {
    Q_OBJECT
public:
    explicit Feed(QObject* parent = nullptr) : QObject(parent) {}

    // What the window shows now.
    void setSource(std::function<Reading()> source) { source_ = std::move(source); }
    Reading current() const { return source_ ? source_() : Reading{}; }

    // What the window shows has changed (a reading, the mode, live or not). A reading changes
    // the figures one by one: the state is taken after the window is done, never half of one
    // reading and half of the last.
    void changed();
    // A reading has been shown, the figures whole: its state goes out at once, so that every
    // reading reaches the takers once, however busy the loop (the recording counts on it).
    void readingShown();

signals:
    void reading(const feed::Reading& state);

private:
    std::function<Reading()> source_;
    bool due_ = false;
};

}  // namespace feed
