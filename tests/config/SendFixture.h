#pragma once

#include <gtest/gtest.h>

#include <QPushButton>
#include <memory>
#include <vector>

#include "tests/config/FormFixture.h"
#include "tests/support/simwire/SimWire.h"

namespace configtest {

// A dialog's surroundings with the simulated box on the line, the port reporting its transmit
// queue empty shortly after each write, as the real line does.
class SendFixture : public FormFixture {
protected:
    std::unique_ptr<simwire::SimWire> wire;

    // A box of this kind (0 to 4) on the line; the service learns the kind from it, and the line's
    // records start empty. The port is left closed, as the main window leaves it for a dialog.
    void attachBox(int kind, const sim::Faults& faults = {}) {
        sim::SimConfig config;
        // A box of no known kind: one of kind 2 whose readiness byte names none.
        config.settings.kind = kind == 0 ? 2 : kind;
        if (kind == 0) config.settings.readiness = 0x00;
        config.faults = faults;
        wire = std::make_unique<simwire::SimWire>(clock, device, config);
        device->setAutoTxEmpty(&clock, 2000);
        service.Open();
        service.CheckReady();
        clock.advance(10);
        service.Close();
        ASSERT_EQ(service.DeviceKind(), kind);
        wire->clearRecords();
    }

    std::vector<std::uint8_t> sent() const { return wire->hostBytes(); }

    static bool buttonsEnabled(const QPushButton* save, const QPushButton* exit) {
        EXPECT_EQ(save->isEnabled(), exit->isEnabled());
        return save->isEnabled();
    }
};

using Bytes = std::vector<std::uint8_t>;

inline const QString sentMessage =
    QStringLiteral("Parametry zostały wysłane.\r\nZa 3 sekundy można kontynuować pomiar.");
inline const QString notSentMessage = QStringLiteral("Parametry nie zostały wysłane.");
inline const QString openFailedMessage = QStringLiteral("Błąd przy nawiązaniu połączenia.");

}  // namespace configtest
