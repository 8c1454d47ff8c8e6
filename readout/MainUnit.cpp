// The readout window's creation, first showing and end, the port menu, exit and the information
// menu, and the two ways the window lets go of the link.
#include "readout/MainUnit.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <optional>
#include <string>

#include "app/AboutUnit.h"
#include "app/breakUnit.h"
#include "app/helpUnit.h"
#include "config/RestoreDialog.h"
#include "config/coordUnit.h"
#include "config/paramsUnit.h"
#include "link/RSLib.h"
#include "readout/SettingsFile.h"
#include "readout/Texts.h"
#include "web/LiveView.h"

QString texts::deviceUnavailable(int errorCode) {
    return QCoreApplication::translate("texts", "Urządzenie niedostępne %1.")
        .arg(QString::fromStdString(ErrorText(errorCode)));
}

TmainForm::TmainForm(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
                     QWidget* parent)
    : QMainWindow(parent),
      testTimer(100, clock),
      TimeOutTripleTimer(1200, clock),
      continueTimer(100, clock),
      refTimer(3000, clock),
      configTimer(3000, clock),
      coordTimer(3000, clock),
      restoreTimer(3000, clock),
      freshnessTimer(1200, clock),
      recoverTimer(1000, clock),
      statusTimer(1000, clock),
      service_(service),
      prompts_(prompts),
      clock_(clock) {
    setWindowTitle(QStringLiteral("KVT 3"));
    buildControls();
    buildMenus();
    bindTimers();
    FormCreate();
    restoreForm_ = new RestoreDialog(service_, prompts_, clock, this);
    initFeed();
}

TmainForm::~TmainForm() {
    FormDestroy();
    // The service outlives the window: nothing of it may call back into a window that is gone.
    service_.OnPositions = nullptr;
    service_.OnLineError = nullptr;
    service_.OnCalibration = nullptr;
    service_.OnResolution = nullptr;
    service_.OnDimensionTypes = nullptr;
    service_.OnLineCounts = nullptr;
    service_.OnCorrections = nullptr;
    service_.OnTimeout = nullptr;
    service_.OnLateReply = nullptr;
    service_.OnLinkError = nullptr;
    service_.OnRawByte = nullptr;
    service_.OnAcknowledge = nullptr;
    service_.OnPortGone = nullptr;
}

void TmainForm::attachWindows(TbreakForm& breakForm, TlogoForm& logoForm, ThelpForm& helpForm,
                              TparamsForm& paramsForm, TcoordForm& coordForm) {
    breakForm_ = &breakForm;
    logoForm_ = &logoForm;
    helpForm_ = &helpForm;
    paramsForm_ = &paramsForm;
    coordForm_ = &coordForm;
}

void TmainForm::bindTimers() {
    const auto bind = [this](platform::Timer& timer, void (TmainForm::*handler)()) {
        timer.OnTimer = [this, handler] { guarded([&] { (this->*handler)(); }); };
    };
    bind(testTimer, &TmainForm::testTimerTimer);
    bind(TimeOutTripleTimer, &TmainForm::TimeOutTripleTimerTimer);
    bind(continueTimer, &TmainForm::continueOnTimer);
    bind(refTimer, &TmainForm::refTimerTimer);
    bind(configTimer, &TmainForm::configTimerTimer);
    bind(coordTimer, &TmainForm::coordTimerTimer);
    bind(restoreTimer, &TmainForm::restoreTimerTimer);
    bind(recoverTimer, &TmainForm::recoverTimerTimer);
    freshnessTimer.OnTimer = [this] {
        freshnessTimer.SetEnabled(false);
        setReadoutsLive(false);
        // The last reading came as long ago as the timer waited.
        if (lastReadingUs_ >= 0) lastReadingUs_ -= freshnessTimer.Interval() * std::int64_t{1000};
        updateStatusLine();
    };
    statusTimer.OnTimer = [this] { updateStatusLine(); };
}

void TmainForm::FormCreate() {
    // Numbers are written and read with '.', whatever the user's locale says.
    QLocale::setDefault(QLocale::c());
    workDir = QDir::currentPath();
    service_.SetPortName("COM1");
    // Whatever phase the link is in, a port that goes away is the window's to recover (a
    // configuration dialog open meets it in its own writes).
    service_.OnPortGone = [this] { guarded([&] { portGone(); }); };
    service_.Comm().OnOpen = [this] { openedNode_ = serial::deviceNode(service_.GetPortName()); };
    // Nothing has been read from a box yet.
    setReadoutsLive(false);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TmainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    guarded([&] { FormShow(); });
}

void TmainForm::FormShow() {
    readSettings();
    startLiveView();
    // The run's port and mode are kept also when the program is ended without the window
    // closing (the display went away). Only plain values are read then: a string, the offsets
    // and a button's flag, all of a window that exit() leaves in place.
    owedSettings_.owe(QFile::encodeName(settingsPath()).toStdString(),
                      [this] { return settingsText(); });
    priority_.raise();
    service_.AxisCount = 3;
    shownAxes = 3;
    testTimer.SetEnabled(true);
    if (workshop_.topView) openTopView();
}

void TmainForm::closeEvent(QCloseEvent* event) {
    guarded([&] { FormDestroy(); });
    event->accept();
}

void TmainForm::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // Nothing may start the link again once the window has gone.
    for (platform::Timer* timer :
         {&testTimer, &TimeOutTripleTimer, &continueTimer, &refTimer, &configTimer, &coordTimer,
          &restoreTimer, &recoverTimer, &statusTimer})
        timer->SetEnabled(false);
    closeLink();
    if (liveView_) liveView_->programEnding();
    owedSettings_.settle();
    writeSettings();
    priority_.restore();
}

void TmainForm::stopCycleTimers() {
    // A repeat or watchdog still due from the cycle would reopen the port and send a position
    // request into the middle of what comes next.
    TimeOutTripleTimer.SetEnabled(false);
    continueTimer.SetEnabled(false);
    refTimer.SetEnabled(false);
    setReadoutsLive(false);
}

void TmainForm::quiesceLink() {
    stopCycleTimers();
    try {
        if (service_.Comm().Active()) service_.Close();
    } catch (const std::exception&) {
    }
    configMMI->setEnabled(false);
    try {
        service_.Purge();
    } catch (const std::exception&) {
    }
}

void TmainForm::closeLink() {
    setReadoutsLive(false);
    if (!portOpen) return;
    try {
        service_.Close();
        portOpen = false;
    } catch (const std::exception&) {
    }
}

void TmainForm::checkPortItem(int port) {
    COM[static_cast<std::size_t>(port - 1)]->setChecked(true);
}

void TmainForm::COMClick(int port) {
    quiesceLink();
    const std::string name = "COM" + std::to_string(port);
    // Another port may have another box behind it, or this box counting from elsewhere.
    if (name != service_.GetPortName()) portChangedSinceRead_ = true;
    // What was being recovered was the other port's link; this one starts afresh.
    if (outage_.active) {
        linkLostSinceRead_ = true;
        endOutage();
    }
    service_.SetPortName(name);
    checkPortItem(port);
    testTimer.SetEnabled(true);
}

void TmainForm::exitActionExecute() {
    close();
    priority_.restore();
}

void TmainForm::authorActionExecute() {
    if (logoForm_) prompts_.execModal(*logoForm_);
}

void TmainForm::prodActionExecute() {
    if (helpForm_ && helpForm_->loadHelp(workDir)) prompts_.execModal(*helpForm_);
}

void TmainForm::message(const QString& text) {
    prompts_.showMessage(text);
}

bool TmainForm::waitDialogShowing() const {
    return breakForm_ && breakForm_->isVisible();
}

void TmainForm::setWaitText() {
    if (breakForm_) breakForm_->txtLabel->setText(texts::waitForDevice());
}

void TmainForm::closeWaitDialog() {
    if (waitDialogShowing()) breakForm_->done(TbreakForm::ResultNo);
}

int TmainForm::showWaitDialog() {
    if (!breakForm_) return TbreakForm::ResultYes;
    breakForm_->yesBtn->setText(QStringLiteral("OK"));
    return prompts_.execModal(*breakForm_);
}

void TmainForm::setShownAxes(int count) {
    shownAxes = count;
    notifyView();
    for (Axis axis : {Axis::Y, Axis::Z}) {
        const bool visible = count > axisIndex(axis);
        for (QWidget* w :
             {static_cast<QWidget*>(clrButton(axis)), static_cast<QWidget*>(setButton(axis)),
              static_cast<QWidget*>(halfButton(axis)),
              clrButton(axis)->parentWidget(), static_cast<QWidget*>(panel(axis)),
              static_cast<QWidget*>(axisLetter(axis)), static_cast<QWidget*>(refButton(axis))})
            w->setVisible(visible);
    }
}

QString TmainForm::settingsPath() const {
    return QDir(workDir).filePath(QStringLiteral("params.kv3"));
}

void TmainForm::readSettings() {
    readWorkshopFiles();
    const std::optional<std::string> content =
        readout::readSettingsFile(QFile::encodeName(settingsPath()).toStdString());
    if (!content) return;
    const readout::Settings settings = readout::parseSettings(*content);
    if (settings.port) {
        service_.SetPortName("COM" + std::to_string(*settings.port));
        checkPortItem(*settings.port);
    }
    offsets = settings.offsets;
    serveChoice_ = settings.serve;
    sixthLine_ = settings.sixthLine;
    // Checking a radio button runs its handler: relative mode enables the offset buttons.
    (settings.absolute ? absRButton : relRButton)->setChecked(true);
}

void TmainForm::writeSettings() {
    // A failure is silent; the file then keeps what it held.
    writeWorkshopSettings();
    readout::writeSettingsFile(QFile::encodeName(settingsPath()).toStdString(), settingsText());
}

std::string TmainForm::settingsText() const {
    const std::optional<std::string> sixth = sixthLineToKeep();
    return readout::settingsText(service_.GetPortName(), offsets, absRButton->isChecked(),
                                 sixth ? &*sixth : nullptr);
}
