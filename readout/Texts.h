#pragma once

#include <QString>

// The readout window's messages, exactly as the operator sees them.
namespace texts {

inline QString openFailed() {
    return QStringLiteral("Błąd przy nawiązaniu połączenia.");
}
// The box answers, but its readiness byte names no kind this program can read.
inline QString unknownDevice() {
    return QStringLiteral("Nieznany typ urządzenia.");
}
inline QString waitForDevice() {
    return QStringLiteral("Urządzenie niedostępne.\n\rChcesz przerwać czekanie?");
}
inline QString testPassed() {
    return QStringLiteral("Test przeprowadzony pomyślnie.");
}
inline QString badParameter() {
    return QStringLiteral("Błędna wartość parametru.");
}
// "Urządzenie niedostępne " + the link error's text + "."
QString deviceUnavailable(int errorCode);
inline QString referenceInterrupted() {
    return QStringLiteral("Przerwa w transmisji referencji.");
}
inline QString badOffset() {
    return QStringLiteral("Zła wartość przesunięcia.");
}
inline QString minutesTwoDigits() {
    return QStringLiteral("Wartość minut musi być dwucyfrowa.");
}
inline QString secondsTwoDigits() {
    return QStringLiteral("Wartość sekund musi być dwucyfrowa.");
}
inline QString degreesExceeded() {
    return QStringLiteral("Przekroczona wartość stopni.");
}
inline QString minutesExceeded() {
    return QStringLiteral("Przekroczona wartość minut.");
}
inline QString secondsExceeded() {
    return QStringLiteral("Przekroczona wartość sekund.");
}
inline QString notAnInteger(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

}  // namespace texts
