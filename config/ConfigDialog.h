#pragma once

#include <QDialog>
#include <functional>

#include "config/WriteChain.h"
#include "platform/Timer.h"

class QPushButton;
class TRS232Service;

namespace platform {
class Prompts;
}

// What the two configuration dialogs share: the fixed-size window, "Zapisz" and "Zamknij" at the
// bottom right, the three-second pause after a send, leaving only through "Zamknij" (Escape
// presses it) or the close box, both with the cancel result, and sending only from "Zapisz"
// itself.
class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int CancelResult = 2;

    ConfigDialog(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
                 QWidget* parent);
    ~ConfigDialog() override;

    QPushButton* saveButton;
    QPushButton* exitButton;
    platform::Timer canExitTimer;

    // Runs each time the dialog is shown.
    virtual void FormShow();
    // Where the focus starts each time the dialog is shown.
    virtual QWidget* firstEntry() const = 0;
    void exitButtonClick();
    void canExitTimerTimer();
    void reject() override;

    // From the first write until the box acknowledged the last one or stopped answering.
    bool sending() const { return chain_.running(); }

protected:
    void setButtonsEnabled(bool enabled);
    // What the operator is told once the box has taken the last write.
    virtual QString sentMessage() const;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Starts the dialog's chain of writes; false, with the operator told and the buttons back,
    // when the port cannot be opened. The caller then makes the first write.
    bool startSend(std::function<void()> firstStep);

    TRS232Service& service_;
    platform::Prompts& prompts_;
    WriteChain chain_;
};
