#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>

#include "config/Axis.h"
#include "config/ConfigFile.h"
#include "feed/Feed.h"
#include "feed/LinkHealth.h"
#include "platform/Prompts.h"
#include "platform/Timer.h"
#include "readout/Figures.h"
#include "readout/LinkStatus.h"
#include "readout/Priority.h"
#include "readout/SettingsFile.h"
#include "serial/PortNames.h"
#include "web/ServeChoice.h"
#include "web/ViewState.h"
#include "workshop/Points.h"
#include "workshop/Units.h"
#include "workshop/WorkshopSettings.h"

class QAction;
class QDialog;
class QActionGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class TRS232Service;
class TbreakForm;
class TlogoForm;
class ThelpForm;
class TparamsForm;
class RestoreDialog;
class TcoordForm;
struct TCorrectionTable;

namespace platform {
class Clock;
}
namespace web {
class LiveView;
}
namespace workshop {
class TopView;
}

// The readout window: starts the link and reads the box's configuration, then reads the three
// position counters over and over and shows them; offsets and relative mode, reference marks,
// the link test, waiting for a silent box, and the opening of the two configuration dialogs.
//
// Everything is a reaction to a timer, a menu command, a button or an event of the link service,
// all on the main thread. The window never blocks waiting for the box.
class TmainForm : public QMainWindow {
    Q_OBJECT
public:
    // Runs the creation logic: creation values, '.' as the decimal separator, the working
    // directory, the port name COM1.
    TmainForm(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
              QWidget* parent = nullptr);
    ~TmainForm() override;

    // The wait dialog, the about and help windows and the two configuration dialogs; called
    // right after they are created, before the window is shown.
    void attachWindows(TbreakForm& breakForm, TlogoForm& logoForm, ThelpForm& helpForm,
                       TparamsForm& paramsForm, TcoordForm& coordForm);
    // The live view for browsers: told of every change of what the window shows, started as the
    // settings file (or `serveAtStart`, from the command line) says when the window is shown.
    // `openDialog` opens its dialog from the menu.
    void attachLiveView(web::LiveView& view, std::function<void()> openDialog);
    std::optional<web::ServeAddress> serveAtStart;
    // The readings to an MQTT broker: its dialog from the menu, and what the status line says
    // while the broker is not reached (empty: nothing).
    void attachBroker(std::function<void()> openDialog, std::function<QString()> problem);
    // The recording: the menu item starts or stops it (`toggle`), and shows whether it runs.
    void attachRecording(std::function<void()> toggle);
    // The live curves' window, opened from the menu.
    void attachCurves(std::function<void()> open);
    void showRecording(bool on, const QString& path);
    // Shows the link's health in its small window (made at the first showing).
    void showHealthWindow();
    QWidget* healthWindow() const { return healthWindow_; }
    // What the live view shows of the window now.
    web::ViewState viewState() const;
    // The one feed of readings: the live view, the MQTT broker and the recording take it.
    feed::Feed& readingsFeed() { return feed_; }
    // The line's health since the program started.
    feed::LinkHealth::Counts linkHealth() const;

    // ---- controls ----
    QFrame* xPanel;
    QFrame* yPanel;
    QFrame* zPanel;
    readout::Figures* xxLabel;
    readout::Figures* yyLabel;
    readout::Figures* zzLabel;
    QLabel* xLabel;
    QLabel* yLabel;
    QLabel* zLabel;
    QPushButton* xSButton;
    QPushButton* ySButton;
    QPushButton* zSButton;
    QRadioButton* absRButton;
    QRadioButton* relRButton;
    QFrame* relPanel;
    QPushButton* clrXButton;
    QPushButton* clrYButton;
    QPushButton* clrZButton;
    QPushButton* setXButton;
    QPushButton* setYButton;
    QPushButton* setZButton;
    QLabel* deltaLabel;
    QLineEdit* deltaEdit;
    // ---- workshop functions (workshop/): units, diameter, half, points ----
    QPushButton* halfXButton;
    QPushButton* halfYButton;
    QPushButton* halfZButton;
    QPushButton* unitButton;  // mm / in, the program's linear unit
    QLabel* pointLabel;       // the chosen point, or that there is none
    QPushButton* previousPointButton;
    QPushButton* nextPointButton;
    QPushButton* pointsButton;
    QMenu* workshopMMI;
    QAction* mmAction;
    QAction* inchAction;
    QAction* dmsAction;
    QAction* decimalDegreesAction;
    std::array<QAction*, 3> diameterActions{};
    std::array<QAction*, 3> halfActions{};
    QAction* pointsAction;
    QAction* previousPointAction;
    QAction* nextPointAction;
    QAction* noPointAction;
    QAction* topViewAction;
    // The state of the link in words, under the controls.
    QLabel* statusLabel = nullptr;
    QMenu* configMMI;
    QMenu* fileMMI;
    QMenu* infoMMI;
    QAction* testAction;
    QActionGroup* comGroup;
    std::array<QAction*, 4> COM;  // COM1 .. COM4
    QAction* paramsMMI;
    QAction* coordMMI;
    QAction* viewMMI;
    QAction* brokerMMI;
    QAction* healthMMI;
    QAction* curvesMMI;
    QAction* saveConfigMMI;
    QAction* restoreConfigMMI;
    QAction* recordMMI;
    QAction* exitAction;
    QAction* prodAction;
    QAction* authorAction;

    platform::Timer testTimer;
    platform::Timer TimeOutTripleTimer;
    platform::Timer continueTimer;
    platform::Timer refTimer;
    platform::Timer configTimer;
    platform::Timer coordTimer;
    platform::Timer restoreTimer;
    // Runs out when no reading has been shown for as long as the cycle's watchdog waits: the
    // figures then turn grey, whatever exchange the link is in.
    platform::Timer freshnessTimer;
    // Reopens a lost link: the port first, then the box, backing off to about once a second.
    platform::Timer recoverTimer;
    // Counts the seconds without a reading in the status line.
    platform::Timer statusTimer;

    // Controls of one axis, for code that treats the three alike.
    QFrame* panel(Axis axis) const;
    readout::Figures* readout(Axis axis) const;
    QLabel* axisLetter(Axis axis) const;
    QPushButton* refButton(Axis axis) const;
    QPushButton* clrButton(Axis axis) const;
    QPushButton* setButton(Axis axis) const;
    QPushButton* halfButton(Axis axis) const;

    // ---- window state, per axis indexed by axisIndex ----
    std::array<double, 3> positions{};
    std::array<double, 3> offsets{};
    std::array<int, 3> resolutionCodes{1, 1, 1};
    std::array<double, 3> resolutionSteps{1.0, 1.0, 1.0};
    std::array<int, 3> decimals{6, 6, 6};
    std::array<double, 3> calibrations{0.0005, 0.0005, 0.0005};
    std::array<std::int32_t, 3> lineCounts{1, 1, 1};
    std::uint8_t dimensionTypes = 0;  // bit 0 X, bit 1 Y, bit 2 Z: set = angular
    int shownAxes = 1;
    QString workDir;
    bool portOpen = false;
    bool announceSuccess = false;
    int retriesLeft = 2;
    std::uint8_t pendingRefByte = 0;
    bool testRequested = true;
    bool dialogRequested = false;

    bool angular(Axis axis) const { return (dimensionTypes >> axisIndex(axis)) & 1u; }

    // ---- creation, showing, end ----
    void FormShow();
    void FormDestroy();
    void COMClick(int port);  // 1 to 4
    void exitActionExecute();
    void authorActionExecute();
    void prodActionExecute();

    // ---- the cycle ----
    void quiesceLink();
    void closeLink();
    void startPolling();
    void positionsReceived(std::int32_t countX, std::int32_t countY, std::int32_t countZ,
                           bool valid = true);
    double positionFromCount(Axis axis, std::int32_t count) const;
    double stepForCode(int code) const;
    int decimalsForCode(int code) const;
    // Every readout in the current mode: relative or absolute, and "Ref" while searching.
    void showReadings();
    // Whether the figures show a current reading (green) or the last one before the readings
    // stopped (grey).
    void setReadoutsLive(bool live);
    bool readoutsLive() const { return readoutsLive_; }

    // ---- link start and configuration read ----
    void startLink(bool announce);
    // The link start of a recovery: failures it meets are the lost link's, told by the status
    // line rather than a message each time, and the menu stays available meanwhile.
    void startLinkQuietly();
    void readyReceived(bool accepted);
    void calibrationReceived(long double x, long double y, long double z);
    void resolutionReceived(std::uint8_t codeX, std::uint8_t codeY, std::uint8_t codeZ);
    void dimensionTypesReceived(std::uint8_t bits);
    void lineCountsReceived(std::int32_t x, std::int32_t y, std::int32_t z);
    void correctionsReceived(std::uint8_t count, std::uint32_t flags,
                             const TCorrectionTable& tableX, const TCorrectionTable& tableY,
                             const TCorrectionTable& tableZ);
    void finishConfiguration();
    // A configuration value that cannot be used: the read stops, the menu is available again.
    void configurationRefused();
    bool configurationRead() const { return configurationRead_; }

    // ---- link test, waiting, errors, configuration dialogs ----
    void testMMIClick();
    void testTimerTimer();
    void TimeOutTripleTimerTimer();
    void continueOnTimer();
    void startupTimedOut();
    void lateReplyReceived();
    void startupErrorReported(std::int32_t code);
    void pollErrorReported(std::int32_t code);
    void paramsMMIClick();
    void coordMMIClick();
    void configTimerTimer();
    void coordTimerTimer();
    void openParamsDialog();
    void openCoordDialog();
    bool waitDialogShowing() const;

    // ---- a lost link and its recovery ----
    // The port went away under the link (hang-up, I/O error, unplugged adapter).
    void portGone();
    void recoverTimerTimer();
    bool linkLost() const { return outage_.active; }
    // What the status line says now.
    readout::LinkStatus linkStatus() const;
    void updateStatusLine();
    // How much higher the window is for its status line.
    int statusLineExtra() const;

    // ---- offsets, relative mode, reference marks ----
    void absRButtonClick();
    void relRButtonClick();
    void clrButtonClick(Axis axis);
    void applyOffsetEntry(Axis axis);
    void SButtonClick(Axis axis);
    void refButtonChanged(Axis axis, std::uint8_t selector);
    void refTimerTimer();
    void sendReference();
    // The readout of one axis as a number, relative or absolute.
    void showAxisValue(Axis axis, bool relative);
    void setOffsetButtonsEnabled(bool enabled);
    // The operator has set the offsets anew: the note that they were zeroed goes.
    void forgetOffsetsZeroed();

    // ---- workshop functions ----
    // How the operator sees an axis now: its kind, places and diameter choice.
    workshop::AxisView axisView(Axis axis) const;
    workshop::Shown shown() const;
    const workshop::WorkshopSettings& workshopSettings() const { return workshop_; }
    void setLengthUnit(workshop::LengthUnit unit);
    void setAngleFormat(workshop::AngleFormat format);
    void setDiameter(Axis axis, bool diameter);
    void setNearZeroTolerance(double tolerance);
    // Halves the relative reading: the centre between the edge cleared and the one touched reads 0.
    void halfButtonClick(Axis axis);
    const workshop::Points& points() const { return points_; }
    // The new list, kept in the points file at once; the chosen point stays chosen when it is
    // still there.
    void setPoints(workshop::Points points);
    // -1: none; the figures then show the readings of the mode.
    int chosenPoint() const { return chosenPoint_; }
    void choosePoint(int index);
    void stepPoint(int delta);
    void openPointsDialog();
    // The X-Y plane from above, beside the window; it stops nothing.
    void openTopView();
    workshop::TopView* topView() const { return topView_; }
    bool nearZeroShown(Axis axis) const { return nearZero_[static_cast<std::size_t>(axisIndex(axis))]; }
    QString pointsPath() const;
    QString workshopSettingsPath() const;
    // Why the points file was not read at start; empty when it was, or there is none.
    QString pointsFileProblem() const { return pointsFileProblem_; }

    // ---- the box's configuration in a file ----
    void saveConfigMMIClick();
    // What the last link start read, in the box's own units.
    const boxconfig::BoxConfig& configurationOfBox() const { return boxRead_; }
    // Where the backup goes; a file dialog unless replaced (tests).
    std::function<QString()> askConfigPath_;
    // A configuration file to the box: refused with the reason when it cannot go to this box,
    // otherwise its comparison with what the box holds is shown, opened as the configuration
    // dialogs are, between two position requests.
    void restoreConfigMMIClick();
    void restoreTimerTimer();
    // Between two position requests, the box read anew: the backup saved, or the restore's
    // comparison shown.
    void openRestoreDialog();
    // Which file to restore; a file dialog unless replaced (tests).
    std::function<QString()> askRestorePath_;
    RestoreDialog* restoreDialog() const { return restoreForm_; }

    // ---- settings file ----
    QString settingsPath() const;
    void readSettings();
    void writeSettings();
    // The file's text for the port, offsets and mode of now.
    std::string settingsText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void buildControls();
    void buildWorkshopMenu();
    QWidget* buildPointControls(QWidget* parent);
    void readWorkshopFiles();
    void writeWorkshopSettings();
    bool writePointsFile();
    void updateWorkshopControls();
    void setNearZero(Axis axis, bool near);
    void showSpokenState(Axis axis);
    void updateTopView();
    void buildMenus();
    void bindTimers();
    // Runs a handler and shows an exception that escapes it, as the program's exception display.
    template <class F>
    void guarded(F&& handler);
    void message(const QString& text);

    // The cycle step's display of one reply, and what follows it.
    void showCounts(const std::array<std::int32_t, 3>& counts);
    void continueCycle();
    // The read, the reference command and the cycle's own handlers on the service.
    void registerConfigurationHandlers();
    // Gives the link up after a failure: the port closed, the menu available for a new start.
    void abandonLink();
    // Stops the cycle's watchdog, its repeat and the reference watchdog.
    void stopCycleTimers();

    // The link is lost: the box may have restarted meanwhile, so the offsets no longer hold at
    // the next whole read. Starts the recovery. portBroke: the port itself failed, so only a new
    // link start can bring the readings back.
    void beginOutage(bool portBroke);
    // Readings came back.
    void endOutage();
    void scheduleRecovery();
    bool portLeadsToTheDeviceLost();
    // The wait dialog for a lost link, once per outage; the recovery goes on whatever the answer.
    void showOutageDialog();
    // A failure the operator is told of by a message box: at most one such box at a time, and
    // once per outage of the link unless the operator's own action met it.
    void tellLinkFailure(const QString& text, bool operatorAsked = false);
    // Decides at the end of a whole read whether the offsets still hold, and zeroes them (and
    // says why) when they may not.
    void settleOffsets();
    void beginLink(bool announce, bool quiet);
    void tellConfigurationProblem(const QString& text);
    // Refused while the figures are not a current reading: the position would be a stale one.
    // `refusal`: the reason told; the offsets' own when empty.
    bool currentReadingOrRefuse(const QString& refusal = {});

    void setWaitText();
    void closeWaitDialog();
    // Shows the wait dialog with its button captioned "OK"; returns its result (6 or 7).
    int showWaitDialog();
    void setShownAxes(int count);
    void checkPortItem(int port);

    // What the parameters dialog shows of the last configuration read.
    void fillCalibrationEdits();
    void fillOrientation();
    void fillImpulseEdits();
    void fillResolutions();
    // The steps shared by the two configuration dialogs around their showing.
    void requestDialog(platform::Timer& requestTimer, void (TmainForm::*open)());
    void requestTimedOut(platform::Timer& requestTimer, QDialog* dialog, void (TmainForm::*open)());
    // One of the dialogs that close the link while they are shown is open.
    bool configDialogShown() const;
    void prepareDialog(platform::Timer& requestTimer);
    void resumeAfterDialog();

    TRS232Service& service_;
    platform::Prompts& prompts_;
    TbreakForm* breakForm_ = nullptr;
    TlogoForm* logoForm_ = nullptr;
    ThelpForm* helpForm_ = nullptr;
    TparamsForm* paramsForm_ = nullptr;
    TcoordForm* coordForm_ = nullptr;
    platform::Clock& clock_;
    PriorityBoost priority_;
    bool shown_ = false;
    bool readoutsLive_ = true;
    // The last link start read the box's whole configuration: the dialogs show what the box
    // holds, and only then may they write it back.
    bool configurationRead_ = false;
    // The last link start found a box whose readiness byte names no kind this program knows.
    bool unknownDevice_ = false;
    bool calibrationRefused_ = false;
    // A lost link, from its first sign until readings come again.
    struct Outage {
        bool active = false;
        // The port failed (went away, would not open): the recovery reopens it and starts the
        // link anew. Otherwise the box fell silent on a working port: the recovery repeats the
        // position request, so a reply the box still owes can close the outage.
        bool portBroke = false;
        // The cycle's requests unanswered until the wait dialog, rather than a link start.
        bool inCycle = false;
        // Position requests sent by the recovery; a reply after one is no longer the box's
        // answer to a request from before the outage.
        int probes = 0;
        int attempts = 0;
        bool dialogShown = false;
        bool told = false;
        std::int64_t sinceUs = 0;
        // When it began on the wall clock, against which device nodes are dated.
        std::int64_t sinceWallNs = 0;
        // The port's name leads to a device other than the one lost, which is not opened.
        std::string otherDevice;
    } outage_;
    // The device node the port was last opened on: a recovery reopens that device, or one made
    // since it was lost, never one that was there all along under another name (another box).
    std::optional<serial::DeviceNode> openedNode_;
    // Since the last whole read of the box's configuration: the link was lost, or another port
    // chosen. Either way the box behind the figures may not count as it did.
    bool linkLostSinceRead_ = false;
    bool portChangedSinceRead_ = false;
    // The service's count of configuration writes at the last whole read: a write since, even
    // of the values the box held, ends the offsets (the box ends its configuration and starts
    // measuring anew).
    std::uint32_t configurationWritesAtRead_ = 0;
    // No whole read yet in this run: the first one starts from zero offsets.
    bool firstRead_ = true;
    // The last link start runs as a recovery (startLinkQuietly).
    bool quietStart_ = false;
    // A link start is under way (from startLink to finishConfiguration or a failure).
    bool linkStarting_ = false;
    // A configuration dialog holds the port.
    bool pausedForDialog_ = false;
    // Why the offsets were last zeroed, for the status line, until the operator sets one again.
    readout::OffsetsZeroed offsetsZeroed_ = readout::OffsetsZeroed::no;
    // When the last reading was shown (clock µs), for "no readings for N s".
    std::int64_t lastReadingUs_ = -1;
    int messagesShowing_ = 0;
    int statusLineExtra_ = 0;
    bool destroyed_ = false;
    QString askConfigPath();
    QString configFileFilter() const;
    QString configurationNotReadText() const;
    void keepCalibrationRead(const long double (&values)[3]);
    void keepCorrectionsRead(std::uint8_t count, std::uint32_t flags,
                             const TCorrectionTable* const (&tables)[3]);
    // The last whole read of the box's configuration, and the read under way.
    boxconfig::BoxConfig boxRead_;
    boxconfig::BoxConfig boxReading_;
    // The calibrations of both as the box reported them, before they were cut to millionths.
    std::array<long double, 3> calibrationRead_{};
    std::array<long double, 3> calibrationReading_{};
    RestoreDialog* restoreForm_ = nullptr;
    boxconfig::BoxConfig restoreFile_;
    QString restorePath_;
    // The backup asked for waits for the box to be read anew, in place of a restore.
    bool saveRequested_ = false;
    QString savePath_;
    void runConfigFileTask();
    void saveBoxRead();
    // Tells the live view (if any) that what the window shows has changed.
    void notifyView();
    void startLiveView();
    std::optional<std::string> sixthLineToKeep() const;
    // Binds the feed to what the window shows, and the health counts to the link's events.
    void initFeed();
    void countHealth(feed::LinkHealth::Event event);
    feed::Feed feed_;
    feed::LinkHealth health_;
    web::LiveView* liveView_ = nullptr;
    std::function<void()> openViewDialog_;
    std::function<void()> openBrokerDialog_;
    std::function<QString()> brokerProblem_;
    std::function<void()> toggleRecording_;
    std::function<void()> openCurves_;
    QWidget* healthWindow_ = nullptr;
    // The live view's line of the settings file, as read, and what it says.
    std::optional<std::string> sixthLine_;
    std::optional<web::ServeChoice> serveChoice_;
    // Readings shown, and when the last one's last byte came off the line.
    std::uint64_t readingsShown_ = 0;
    std::int64_t readingWireUs_ = 0;
    workshop::WorkshopSettings workshop_;
    // The workshop's settings file existed, or the operator changed a choice: it is written at
    // the end; otherwise it is never made.
    bool workshopFileKept_ = false;
    workshop::Points points_;
    int chosenPoint_ = -1;
    std::array<bool, 3> nearZero_{};
    QString pointsFileProblem_;
    QDialog* topViewWindow_ = nullptr;
    workshop::TopView* topView_ = nullptr;
    // Owed from the reading of the settings until the window writes them itself.
    readout::OwedSettingsWrite owedSettings_;
};

template <class F>
void TmainForm::guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        prompts_.showException(QString::fromStdString(e.what()));
    }
}
