#pragma once

#include <QObject>

#include "app/SignalWatch.h"

class QWidget;

// Closes a window the normal way when the process gets SIGINT, SIGTERM or SIGHUP, so that its
// closing logic runs (the settings file is written) and the program ends as if the operator had
// closed it. The closing happens on the main thread (SignalWatch), after any modal dialog or
// message box open at that moment has been closed: a dialog that is writing to the box stops the
// writes there and says on standard error what the box may now hold (RestoreDialog).
class SignalClose : public QObject {
    Q_OBJECT
public:
    explicit SignalClose(QWidget& window);

private:
    void signalled();

    QWidget& window_;
    SignalWatch watch_;
};
