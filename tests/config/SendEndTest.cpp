// Every send of the two configuration dialogs ends, in success or in the failure message, within
// the service's reply time-out of its last progress, and nothing of a failed send goes on.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <algorithm>

#include "config/coordUnit.h"
#include "config/paramsUnit.h"
#include "serial/VaComm.h"
#include "tests/config/SendFixture.h"

namespace {

using configtest::notSentMessage;

// What goes wrong during a send.
enum class Fault {
    SilentBox,
    // Code 11: the service stops with its time-out off.
    RefusedAcknowledgement,
    // Code 1: the main window's handler would close the port under the send.
    FramingError,
    // Code 12.
    ParameterByteNotWritten,
    PortClosedUnderTheSend,
    // The closing 0xF1 never leaves the port.
    NoTransmitEmpty,
    // The box answers the first write after the time-out, while the message is still open.
    LateAcknowledgement,
};
constexpr Fault allFaults[] = {
    Fault::SilentBox,
    Fault::RefusedAcknowledgement,
    Fault::FramingError,
    Fault::ParameterByteNotWritten,
    Fault::PortClosedUnderTheSend,
    Fault::NoTransmitEmpty,
    Fault::LateAcknowledgement,
};

class SendEnd : public configtest::SendFixture {
protected:
    TparamsForm params{service, prompts, clock};
    TcoordForm coord{service, prompts, clock};

    struct Dialog {
        const char* name;
        ConfigDialog* form;
        std::uint8_t firstWrite;  // command byte of the send's first write
    };
    const Dialog dialogs[2] = {{"Parametry", &params, 0xEB}, {"Koordynaty", &coord, 0xEA}};

    // The main window's filling, every entry valid.
    void fill(const Dialog& d) {
        if (d.form == &params) {
            params.LoadResolutionLists(service.DeviceKind());
            for (Axis axis : {Axis::X, Axis::Y, Axis::Z}) {
                params.SetAxisResolution(axis, 4);
                params.impulseEdit(axis)->setText("1000");
                params.calibrationEdit(axis)->setText("1.0");
            }
        } else {
            coord.SetCorrectionFlags(0x70);
            coord.setGridRowCounts(3);
            for (Axis axis : {Axis::X, Axis::Y, Axis::Z})
                coord.LoadCorrectionTable(axis, 2, TCorrectionTable{}, 3, 0.001L);
        }
        d.form->show();
    }
    std::int64_t lastTrafficUs() const {
        return wire->traffic().empty() ? 0 : wire->traffic().back().timeUs;
    }

    // A box of kind 2 that misbehaves so; returns from when the fault acts beside the box (0:
    // the box's own doing).
    std::int64_t arrange(Fault fault, const Dialog& d) {
        sim::Faults faults;
        if (fault == Fault::SilentBox) faults.silent.first = 2;
        if (fault == Fault::RefusedAcknowledgement) faults.badAckByte = 2;
        if (fault == Fault::LateAcknowledgement) {
            faults.late.first = 2;
            faults.lateByUs = 5500000;
        }
        attachBox(2, faults);
        fill(d);
        switch (fault) {
            case Fault::FramingError:
                wire->injectLineError(d.firstWrite, 1, serial::ErrorBits::Frame);
                service.OnLinkError = [this](std::int32_t) {
                    prompts.log << "main window's link error";
                    service.Close();
                };
                return 0;
            case Fault::ParameterByteNotWritten:
                clock.callAfterUs(4000, [this] { device->failWrites(true); });
                return clock.nowUs() + 4000;
            case Fault::PortClosedUnderTheSend:
                clock.callAfterUs(10000, [this] { service.Close(); });
                return clock.nowUs() + 10000;
            case Fault::NoTransmitEmpty:
                device->setAutoTxEmpty(nullptr, 0);
                return 0;
            default:
                return 0;
        }
    }
};

TEST_F(SendEnd, AnyFailureEndsTheSendAndNothingOfItGoesOn) {
    for (const Dialog& d : dialogs) {
        for (Fault fault : allFaults) {
            SCOPED_TRACE(testing::Message() << d.name << ": fault " << static_cast<int>(fault));
            const std::int64_t faultAt = arrange(fault, d);
            // The operator reads the message for three seconds; the line goes on meanwhile.
            std::int64_t toldAt = -1, progressAt = -1;
            std::size_t bytesWhenTold = 0;
            prompts.whileMessageOpen = [&](const QString&) {
                if (toldAt < 0) {
                    toldAt = clock.nowUs();
                    progressAt = std::max(lastTrafficUs(), faultAt);
                    bytesWhenTold = sent().size();
                }
                clock.advance(3000);
            };
            prompts.clear();
            d.form->saveButton->click();
            clock.advance(20000);

            EXPECT_EQ(prompts.log, QStringList{"message: " + notSentMessage}) << wire->transcript();
            ASSERT_GE(toldAt, 0);
            EXPECT_LE(toldAt - progressAt, 5000000) << wire->transcript();
            EXPECT_EQ(sent().size(), bytesWhenTold) << wire->transcript();
            EXPECT_FALSE(d.form->sending());
            EXPECT_TRUE(buttonsEnabled(d.form->saveButton, d.form->exitButton));
            EXPECT_FALSE(service.Comm().Active());
            EXPECT_EQ(service.OnAcknowledge, nullptr);
            EXPECT_EQ(service.OnTimeout, nullptr);
            EXPECT_EQ(service.OnLinkError, nullptr);
            EXPECT_EQ(service.Comm().OnTxEmpty, nullptr);
            d.form->close();
            EXPECT_FALSE(d.form->isVisible());

            prompts.whileMessageOpen = nullptr;
            device->failWrites(false);
        }
    }
}

TEST_F(SendEnd, ASlowLastByteIsWaitedForAndTheSendSucceeds) {
    for (const Dialog& d : dialogs) {
        SCOPED_TRACE(d.name);
        attachBox(3);
        device->setAutoTxEmpty(&clock, 4000000);
        fill(d);
        prompts.clear();
        d.form->saveButton->click();
        clock.advance(20000);
        EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage}) << wire->transcript();
        EXPECT_EQ(sent().back(), 0xF1);
        EXPECT_TRUE(buttonsEnabled(d.form->saveButton, d.form->exitButton));
        d.form->close();
    }
}

TEST_F(SendEnd, ReturnSendsOnlyFromZapiszItself) {
    struct Case {
        const char* where;
        bool sends;
    };
    const Case cases[] = {{"entry", false}, {"Zapisz", true}};
    for (const Dialog& d : dialogs) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << d.name << ": " << c.where);
            attachBox(2);
            fill(d);
            QApplication::setActiveWindow(d.form);
            QWidget* target = d.form->saveButton;
            if (!c.sends) {
                if (d.form == &coord) {
                    coord.correctionXSGrid->setCurrentCell(1, 1);
                    target = coord.correctionXSGrid;
                } else {
                    target = params.calibXEdit;
                }
            }
            target->setFocus();
            prompts.clear();
            QTest::keyClick(target, Qt::Key_Return);
            clock.advance(20000);
            EXPECT_EQ(!sent().empty(), c.sends);
            EXPECT_EQ(prompts.messages.isEmpty(), !c.sends);
            EXPECT_FALSE(d.form->sending());
            d.form->close();
        }
    }
}

// Opened to look, a dialog writes nothing: the focus starts on its first entry, where Return
// presses no button, and a button the operator moved to answers Return, Enter and Space.
TEST_F(SendEnd, OpenedToLookItWritesNothingUntilZapiszIsChosen) {
    for (const Dialog& d : dialogs) {
        QWidget* first =
            d.form == &coord ? static_cast<QWidget*>(coord.correctionXSGrid) : params.impulseXEdit;
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
            SCOPED_TRACE(testing::Message() << d.name << ": key " << key);
            attachBox(2);
            // Each case opens the dialog again, with the focus left on "Zapisz" by the last one.
            fill(d);
            QApplication::setActiveWindow(d.form);
            EXPECT_EQ(d.form->focusWidget(), first);
            prompts.clear();
            QTest::keyClick(d.form->focusWidget(), Qt::Key_Return);
            clock.advance(20000);
            EXPECT_TRUE(sent().empty()) << wire->transcript();
            EXPECT_TRUE(prompts.messages.isEmpty());
            EXPECT_TRUE(d.form->isVisible());

            for (int i = 0; i < 60 && d.form->focusWidget() != d.form->saveButton; ++i)
                QTest::keyClick(d.form->focusWidget(), Qt::Key_Tab);
            ASSERT_EQ(d.form->focusWidget(), d.form->saveButton);
            QTest::keyClick(d.form->saveButton, key);
            clock.advance(20000);
            ASSERT_FALSE(sent().empty());
            EXPECT_EQ(sent().back(), 0xF1) << wire->transcript();
            EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
            d.form->close();
        }
    }
}

}  // namespace
