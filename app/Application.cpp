#include "app/Application.h"

#include <exception>

#include "platform/ExceptionDisplay.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The name the desktop shows for the program; message boxes carry it as their title.
    setApplicationName(QStringLiteral("KVT2"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        platform::showException(e.what());
    } catch (...) {
        platform::showException(translate("TApplication", "Nieznany wyjątek.").toStdString());
    }
    return false;
}
