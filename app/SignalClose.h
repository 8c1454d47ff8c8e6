#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;
class QWidget;

// Closes a window the normal way when the process gets SIGINT, SIGTERM or SIGHUP, so that its
// closing logic runs (the settings file is written) and the program ends as if the operator had
// closed it. The signal handler only writes a byte into a pipe; the closing happens on the main
// thread, after any modal dialog or message box open at that moment has been closed.
class SignalClose : public QObject {
    Q_OBJECT
public:
    explicit SignalClose(QWidget& window);
    ~SignalClose() override;
    SignalClose(const SignalClose&) = delete;
    SignalClose& operator=(const SignalClose&) = delete;

private:
    void signalled();

    QWidget& window_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};
