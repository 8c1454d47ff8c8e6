#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a call on the main thread for as long as it lives: the
// handler only writes the signal's number into a pipe, and Qt's event loop reads it and calls
// `onSignal`. A SIGHUP ignored from the start (nohup) stays ignored. One lives at a time; the
// default dispositions come back when it goes.
class SignalWatch : public QObject {
    Q_OBJECT
public:
    explicit SignalWatch(std::function<void(int signalNumber)> onSignal);
    ~SignalWatch() override;
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

private:
    void signalled();

    std::function<void(int)> onSignal_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};
