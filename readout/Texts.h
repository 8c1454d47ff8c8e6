#pragma once

#include <QCoreApplication>
#include <QString>
#include <exception>
#include <string>

#include "config/ConfigRead.h"

// The readout window's messages, exactly as the operator sees them: the Polish source texts, or
// their translation when the program runs under an English locale.
namespace texts {

inline QString openFailed() {
    return QCoreApplication::translate("texts", "Błąd przy nawiązaniu połączenia.");
}
// The port's opening failed with `failure`: the text above, and after it, when another program
// holds the port, that it does.
inline QString openFailed(const std::exception& failure, const std::string& port) {
    return openFailed() + configtexts::portInUse(failure, port);
}
// The box answers, but its readiness byte names no kind this program can read.
inline QString unknownDevice() {
    return QCoreApplication::translate("texts", "Nieznany typ urządzenia.");
}
inline QString waitForDevice() {
    return QCoreApplication::translate("texts",
                                       "Urządzenie niedostępne.\n\rChcesz przerwać czekanie?");
}
inline QString testPassed() {
    return QCoreApplication::translate("texts", "Test przeprowadzony pomyślnie.");
}
inline QString badParameter() {
    return QCoreApplication::translate("texts", "Błędna wartość parametru.");
}
// "Urządzenie niedostępne " + the link error's text + "."
QString deviceUnavailable(int errorCode);
inline QString referenceInterrupted() {
    return QCoreApplication::translate("texts", "Przerwa w transmisji referencji.");
}
inline QString badOffset() {
    return QCoreApplication::translate("texts", "Zła wartość przesunięcia.");
}
inline QString minutesTwoDigits() {
    return QCoreApplication::translate("texts", "Wartość minut musi być dwucyfrowa.");
}
inline QString secondsTwoDigits() {
    return QCoreApplication::translate("texts", "Wartość sekund musi być dwucyfrowa.");
}
inline QString degreesExceeded() {
    return QCoreApplication::translate("texts", "Przekroczona wartość stopni.");
}
inline QString minutesExceeded() {
    return QCoreApplication::translate("texts", "Przekroczona wartość minut.");
}
inline QString secondsExceeded() {
    return QCoreApplication::translate("texts", "Przekroczona wartość sekund.");
}
// "clr" or "set" while the figures are grey: the position they would take is an old one.
inline QString staleReading() {
    return QCoreApplication::translate(
        "texts",
        "Odczyt nie jest aktualny (cyfry szare), więc przesunięcia nie można teraz ustawić. "
        "Poczekaj na bieżący odczyt (cyfry zielone).");
}
inline QString staleReference() {
    return QCoreApplication::translate(
        "texts",
        "Odczyt nie jest aktualny (cyfry szare), więc szukania znacznika referencyjnego nie można "
        "teraz rozpocząć. Poczekaj na bieżący odczyt (cyfry zielone).");
}
inline QString notAnInteger(const QString& text) {
    return QCoreApplication::translate("texts", "'%1' is not a valid integer value").arg(text);
}

}  // namespace texts
