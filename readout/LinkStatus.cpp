// The status line's texts. Short enough for one line each in the normal window.
#include "readout/LinkStatus.h"

#include <QCoreApplication>

namespace readout {

namespace {

QString stateLine(const LinkStatus& s) {
    using State = LinkStatus::State;
    switch (s.state) {
        case State::starting:
            return QCoreApplication::translate("LinkStatus", "%1: łączenie z urządzeniem…")
                .arg(s.port);
        case State::current:
            return QCoreApplication::translate("LinkStatus", "%1: odczyty aktualne.").arg(s.port);
        case State::stale:
            return QCoreApplication::translate("LinkStatus", "%1: brak odczytów od %n s.", nullptr,
                                               s.seconds)
                .arg(s.port);
        case State::silent:
            return QCoreApplication::translate(
                       "LinkStatus", "%1: urządzenie nie odpowiada od %n s, ponawiam co 1 s.",
                       nullptr, s.seconds)
                .arg(s.port);
        case State::lost:
            return QCoreApplication::translate("LinkStatus",
                                               "%1: połączenie przerwane od %n s, ponawiam co 1 s.",
                                               nullptr, s.seconds)
                .arg(s.port);
        case State::unknownDevice:
            return QCoreApplication::translate("LinkStatus", "%1: nieznany typ urządzenia.")
                .arg(s.port);
        case State::dialog:
            return QCoreApplication::translate("LinkStatus",
                                               "Odczyty wstrzymane na czas okna konfiguracji.");
        case State::otherDevice:
            return QCoreApplication::translate(
                       "LinkStatus", "%1 prowadzi teraz do innego urządzenia (%2): nie otwieram go.")
                .arg(s.port, s.device);
    }
    return {};
}

QString zeroedLine(OffsetsZeroed why) {
    switch (why) {
        case OffsetsZeroed::no:
            return {};
        case OffsetsZeroed::programStart:
            return QCoreApplication::translate("LinkStatus",
                                               "Przesunięcia wyzerowane przy starcie programu.");
        case OffsetsZeroed::linkLost:
            return QCoreApplication::translate(
                "LinkStatus", "Przesunięcia wyzerowane: połączenie było przerwane.");
        case OffsetsZeroed::portChanged:
            return QCoreApplication::translate("LinkStatus",
                                               "Przesunięcia wyzerowane: wybrano inny port.");
        case OffsetsZeroed::configurationChanged:
            return QCoreApplication::translate(
                "LinkStatus", "Przesunięcia wyzerowane: zmieniła się konfiguracja urządzenia.");
        case OffsetsZeroed::configurationWritten:
            return QCoreApplication::translate(
                "LinkStatus", "Przesunięcia wyzerowane: zapisano konfigurację do urządzenia.");
    }
    return {};
}

}  // namespace

QString statusText(const LinkStatus& s) {
    using State = LinkStatus::State;
    QString second;
    if (s.state == State::silent || s.state == State::lost)
        second = QCoreApplication::translate("LinkStatus",
                                             "F5: spróbuj od razu. Cyfry szare to ostatni odczyt.");
    else if (s.state == State::otherDevice)
        second = QCoreApplication::translate(
            "LinkStatus", "F5: połącz z nim. Cyfry szare to ostatni odczyt z poprzedniego.");
    else if (s.state == State::stale || s.state == State::unknownDevice)
        second = QCoreApplication::translate(
            "LinkStatus", "F5: uruchom łącze od nowa. Cyfry szare to ostatni odczyt.");
    else
        second = zeroedLine(s.zeroed);
    return second.isEmpty() ? stateLine(s) : stateLine(s) + QLatin1Char('\n') + second;
}

}  // namespace readout
