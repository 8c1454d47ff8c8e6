// The link test and the opening of the two configuration dialogs. A dialog closes the link while
// it is shown, so it opens between two position requests, or after 3000 ms when no reply comes.
#include <QAction>
#include <QMenu>

#include "config/RestoreDialog.h"
#include "config/coordUnit.h"
#include "config/paramsUnit.h"
#include "link/RSLib.h"
#include "readout/MainUnit.h"
#include "readout/Texts.h"

void TmainForm::testMMIClick() {
    // The item lies in the "Konfiguracja" menu; while that menu is disabled (a link start or a
    // reference search is under way) its shortcut does nothing either.
    if (!configMMI->isEnabled()) return;
    testRequested = true;
    testTimer.SetEnabled(true);
}

void TmainForm::testTimerTimer() {
    testTimer.SetEnabled(false);
    testRequested = false;
    startLink(false);
}

void TmainForm::requestDialog(platform::Timer& requestTimer, void (TmainForm::*open)()) {
    // The dialogs show and write back what the last link start read from the box; without a
    // whole read they would offer the window's defaults, or another box's values, as this box's
    // settings, and a save would write them over what it holds.
    if (!configurationRead_) {
        message(unknownDevice_ ? texts::unknownDevice() : texts::openFailed());
        return;
    }
    if (dialogRequested) {
        (this->*open)();
        return;
    }
    dialogRequested = true;
    requestTimer.SetEnabled(true);
}

void TmainForm::paramsMMIClick() {
    requestDialog(configTimer, &TmainForm::openParamsDialog);
}
void TmainForm::coordMMIClick() {
    requestDialog(coordTimer, &TmainForm::openCoordDialog);
}

// A dialog opened over another one would close the port under that dialog's writes to the box;
// a request that falls due while another dialog is shown is dropped.
bool TmainForm::configDialogShown() const {
    for (const QDialog* d :
         {static_cast<const QDialog*>(paramsForm_), static_cast<const QDialog*>(coordForm_),
          static_cast<const QDialog*>(restoreForm_)})
        if (d && d->isVisible()) return true;
    return false;
}

void TmainForm::requestTimedOut(platform::Timer& requestTimer, QDialog* dialog,
                                void (TmainForm::*open)()) {
    requestTimer.SetEnabled(false);
    if (!dialog || configDialogShown()) return;
    (this->*open)();
}

void TmainForm::configTimerTimer() {
    requestTimedOut(configTimer, paramsForm_, &TmainForm::openParamsDialog);
}

void TmainForm::coordTimerTimer() {
    requestTimedOut(coordTimer, coordForm_, &TmainForm::openCoordDialog);
}

void TmainForm::restoreTimerTimer() {
    requestTimedOut(restoreTimer, restoreForm_, &TmainForm::openRestoreDialog);
}

void TmainForm::prepareDialog(platform::Timer& requestTimer) {
    requestTimer.SetEnabled(false);
    // The link starts again when this dialog closes, not while it is shown.
    testTimer.SetEnabled(false);
    continueTimer.SetEnabled(false);
    TimeOutTripleTimer.SetEnabled(false);
    // The recovery of a lost link waits too: the dialog holds the port until it closes.
    recoverTimer.SetEnabled(false);
    pausedForDialog_ = true;
    setReadoutsLive(false);
    updateStatusLine();
    if (service_.Comm().Active()) service_.Close();
    service_.Purge();
}

void TmainForm::resumeAfterDialog() {
    dialogRequested = false;
    pausedForDialog_ = false;
    // The dialog may have bound the port's transmit-empty notification for its last byte.
    service_.Comm().OnTxEmpty = nullptr;
    service_.Purge();
    // 100 ms later the link starts anew and reads back what the dialog wrote.
    testTimer.SetEnabled(true);
    updateStatusLine();
}

void TmainForm::openParamsDialog() {
    prepareDialog(configTimer);
    if (!paramsForm_) return;
    fillCalibrationEdits();
    fillResolutions();
    fillImpulseEdits();
    fillOrientation();
    prompts_.execModal(*paramsForm_);
    resumeAfterDialog();
}

void TmainForm::openCoordDialog() {
    prepareDialog(coordTimer);
    if (!coordForm_) return;
    prompts_.execModal(*coordForm_);
    resumeAfterDialog();
}

void TmainForm::openRestoreDialog() {
    prepareDialog(restoreTimer);
    if (!restoreForm_) return;
    runConfigFileTask();
    resumeAfterDialog();
}
