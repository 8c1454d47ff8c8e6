#pragma once

#include <QApplication>

// The program's application object. An exception that escapes an event handler goes to the
// application-wide exception display (a message box with its message) instead of ending the
// program; the program then carries on with the next event.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
