// The program: the command line first (a mistake ends it before any window), the working
// directory and the port choices, then the link service, the windows in their fixed order, the
// message loop, and the release in reverse: windows, then the service (which closes the port if
// still open).
#include <unistd.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/AboutUnit.h"
#include "app/Application.h"
#include "app/ConfigCommands.h"
#include "app/FullScreen.h"
#include "app/Options.h"
#include "app/PortHints.h"
#include "app/SignalClose.h"
#include "app/StartFailure.h"
#include "app/breakUnit.h"
#include "app/helpUnit.h"
#include "config/coordUnit.h"
#include "config/paramsUnit.h"
#include "curves/CurvesWindow.h"
#include "i18n/Language.h"
#include "link/RSLib.h"
#include "link/RequestNames.h"
#include "mqtt/BrokerDialog.h"
#include "mqtt/ReadingsOut.h"
#include "platform/ExceptionDisplay.h"
#include "platform/HandOverQt.h"
#include "platform/LoopProbe.h"
#include "platform/QtClock.h"
#include "platform/QtPrompts.h"
#include "readout/MainUnit.h"
#include "recording/Recorder.h"
#include "serial/LineTrace.h"
#include "serial/PortNames.h"
#include "web/LiveView.h"
#include "web/ViewDialog.h"

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// Paths on the command line mean what they meant where the program was started.
std::string fromStart(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    return std::filesystem::absolute(path).lexically_normal().string();
}

// Makes the working directory (with its parents) and moves into it: the window, the settings
// file and the COMn links all go by the current directory. Returns why not, or "".
std::string enterWorkingDirectory(const std::string& directory) {
    if (directory.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (!ec && ::chdir(directory.c_str()) == 0) return {};
    const std::string reason = ec ? ec.message() : std::strerror(errno);
    return "kvt3: cannot work in " + directory + ": " + reason;
}

// Ends a start that cannot go on with status 1. A start from the menu has no terminal to read
// the reason on: it is shown in a message box as well.
int cannotStart(int argc, char** argv, bool desktop, const std::string& message) {
    std::cerr << message << "\n";
    if (desktop) {
        TApplication app(argc, argv);
        showStartFailure(message);
    }
    return 1;
}

// --save-config and --restore-config: the link service on Qt's loop, without a window or a
// display.
int runConfigCommand(int argc, char** argv, const ProgramOptions& options,
                     const std::string& configFile,
                     const std::shared_ptr<serial::LineTrace>& trace) {
    QCoreApplication app(argc, argv);
    // The box's and the file's messages in the operator's language, as the window has them.
    const i18n::Translation translation(i18n::systemLanguage());
    platform::QtClock clock;
    platform::setDefaultClock(&clock);
    platform::HandOverQt handOver;
    platform::setDefaultHandOver(&handOver);
    int status = 0;
    {
        std::shared_ptr<serial::CommDevice> device;
        if (trace)
            device = std::make_shared<serial::TracingDevice>(serial::makeDefaultDevice(), trace);
        TRS232Service service(clock, device);
        service.SetPortName(settingsPortName());
        status = options.saveConfig ? saveConfigCommand(service, configFile, std::cout, std::cerr)
                                    : restoreConfigCommand(service, clock, configFile, options.yes,
                                                           std::cin, std::cout, std::cerr);
    }
    platform::setDefaultHandOver(nullptr);
    platform::setDefaultClock(nullptr);
    return status;
}

// The broker as the choice file says, or as the command line names it (kept for the next
// start). A broker that cannot be used, the command line's or the kept one, is said on standard
// error and on the status line; the readout starts all the same.
// `caFile` and `loginFile` are the options' paths made absolute where the program started.
void startReadingsOut(mqtt::ReadingsOut& out, const ProgramOptions& options,
                      const std::string& caFile, const std::string& loginFile) {
    mqtt::BrokerChoice choice = mqtt::ReadingsOut::loadChoice();
    if (options.mqtt) {
        choice.on = true;
        choice.address = *options.mqtt;
        if (options.mqttCa) choice.caFile = caFile;
        if (options.mqttLogin) choice.loginFile = loginFile;
    }
    const QString why = out.apply(choice);
    // A kept choice refused is said too (and on the status line): nothing publishes.
    if (!why.isEmpty())
        std::cerr << "kvt3: " << (options.mqtt ? "--mqtt" : "mqtt.kv3") << ": " << why.toStdString()
                  << "\n";
    if (why.isEmpty() && options.mqtt) mqtt::ReadingsOut::saveChoice(choice);
}

// The recording from the menu (a file dialog, or the end of the recording under way) and from
// the command line. A recording that stops by itself says why in a message that waits for the
// operator without stopping anything else.
void attachRecorder(recording::Recorder& recorder, TmainForm& window, const std::string& file) {
    QObject::connect(&window.readingsFeed(), &feed::Feed::reading, &recorder,
                     &recording::Recorder::take);
    QObject::connect(&recorder, &recording::Recorder::failed, &window, [&](const QString& why) {
        window.showRecording(false, {});
        auto* box = new QMessageBox(QMessageBox::Warning,
                                    QCoreApplication::translate("TmainForm", "Nagrywanie odczytów"),
                                    why, QMessageBox::Ok, &window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    });
    const auto start = [&](const QString& path) {
        const QString why = recorder.start(path);
        window.showRecording(why.isEmpty(), path);
        return why;
    };
    window.attachRecording([&recorder, &window, start] {
        if (recorder.recording()) {
            recorder.stop();
            window.showRecording(false, {});
            return;
        }
        window.showRecording(false, {});
        const QString path = QFileDialog::getSaveFileName(
            &window, QCoreApplication::translate("TmainForm", "Nagrywanie odczytów"),
            QStringLiteral("odczyty.csv"),
            QCoreApplication::translate("TmainForm", "Pliki CSV (*.csv)"));
        if (path.isEmpty()) return;
        if (const QString why = start(path); !why.isEmpty())
            QMessageBox::warning(
                &window, QCoreApplication::translate("TmainForm", "Nagrywanie odczytów"),
                QCoreApplication::translate("TmainForm", "Nie można nagrywać do %1: %2")
                    .arg(path, why));
    });
    if (file.empty()) return;
    if (const QString why = start(QString::fromStdString(file)); !why.isEmpty())
        std::cerr << "kvt3: --record: cannot record to " << file << ": " << why.toStdString()
                  << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << parsed.error;
        return 2;
    }
    const ProgramOptions& options = parsed.options;
    if (options.help) {
        std::cout << usageText();
        return 0;
    }
    if (options.version) {
        std::cout << versionText();
        return 0;
    }

    // A trace written to a pipe whose reader has gone (kvt3 --trace /dev/stdout | head) must not
    // end the program unsaved: the write fails and the trace stops, the line goes on.
    std::signal(SIGPIPE, SIG_IGN);

    for (const auto& [number, device] : options.ports)
        serial::setPortOverride(number, fromStart(device));
    // The trace file is emptied only once the start-up checks have passed.
    const std::string traceFile = options.traceFile ? fromStart(*options.traceFile) : "";
    const std::string mqttCa = options.mqttCa ? fromStart(*options.mqttCa) : "";
    const std::string mqttLogin = options.mqttLogin ? fromStart(*options.mqttLogin) : "";
    const std::string recordFile = options.recordFile ? fromStart(*options.recordFile) : "";
    const std::string probeFile = options.loopProbeFile ? fromStart(*options.loopProbeFile) : "";
    const std::string configFile = options.saveConfig      ? fromStart(*options.saveConfig)
                                   : options.restoreConfig ? fromStart(*options.restoreConfig)
                                                           : "";
    const std::string notEntered = enterWorkingDirectory(
        workingDirectory(options, environment("XDG_DATA_HOME"), environment("HOME")));
    if (!notEntered.empty()) return cannotStart(argc, argv, options.desktop, notEntered);
    std::shared_ptr<serial::LineTrace> trace;
    if (options.traceFile) {
        try {
            trace = std::make_shared<serial::LineTrace>(traceFile);
        } catch (const std::system_error& e) {
            return cannotStart(argc, argv, options.desktop,
                               std::string("kvt3: cannot write the trace ") + e.what());
        }
    }

    if (options.saveConfig || options.restoreConfig) {
        const int status = runConfigCommand(argc, argv, options, configFile, trace);
        if (status > configInterrupted) {
            std::signal(status - configInterrupted, SIG_DFL);
            std::raise(status - configInterrupted);
        }
        return status;
    }

    // The timers and the hand-over from the port's event thread run on Qt's loop, so the
    // application object comes before the service.
    TApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("kvt3"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kvt3")));
    // Before any window: every text is translated as it is made.
    const i18n::Language language = i18n::systemLanguage();
    const i18n::Translation translation(language);
    platform::QtClock clock;
    platform::setDefaultClock(&clock);
    platform::HandOverQt handOver;
    platform::setDefaultHandOver(&handOver);
    std::unique_ptr<platform::LoopProbe> probe;
    if (options.loopProbeFile) probe = std::make_unique<platform::LoopProbe>(probeFile, handOver);
    platform::QtPrompts prompts;
    platform::setExceptionDisplay([&prompts](const std::string& message) {
        prompts.showException(QString::fromStdString(message));
    });

    int status = 0;
    {
        // Without a trace the port talks to its device directly: nothing more per byte.
        std::shared_ptr<serial::CommDevice> device;
        if (trace)
            device = std::make_shared<serial::TracingDevice>(serial::makeDefaultDevice(), trace);
        auto service = std::make_unique<TRS232Service>(clock, device);
        if (trace) {
            service->OnRequest = [t = trace.get()](std::uint8_t command) {
                t->request(command, requestName(command));
            };
        }
        SetRS232Service(service.get());
        service->AxisCount = 3;
        {
            // Outlives the window, which tells it last that the program ends.
            web::LiveView liveView;
            TmainForm mainForm(*service, prompts, clock);
            TbreakForm breakForm(&mainForm);
            TlogoForm logoForm(&mainForm);
            ThelpForm helpForm(&mainForm);
            helpForm.setFileName(i18n::helpFileName(language));
            TparamsForm paramsForm(*service, prompts, clock, &mainForm);
            TcoordForm coordForm(*service, prompts, clock, &mainForm);
            mainForm.attachWindows(breakForm, logoForm, helpForm, paramsForm, coordForm);
            // Installed: <prefix>/bin/kvt3 and <prefix>/share/kvt3/pomoc.txt with help_en.txt
            // beside it; in the build tree the help files lie beside the program.
            const QDir programDir(QCoreApplication::applicationDirPath());
            const QString installedHelp = programDir.filePath(QStringLiteral("../share/kvt3"));
            helpForm.setInstalledDirectory(
                QFileInfo::exists(installedHelp + QStringLiteral("/pomoc.txt"))
                    ? installedHelp
                    : programDir.path());
            showPortDevices(*mainForm.configMMI, mainForm.COM);
            FullScreenReadout fullScreen(mainForm);
            mainForm.serveAtStart = options.serve;
            web::ViewDialog viewDialog(liveView, &mainForm);
            mainForm.attachLiveView(liveView, [&] { prompts.execModal(viewDialog); });
            mqtt::ReadingsOut readingsOut(mainForm.readingsFeed());
            mqtt::BrokerDialog brokerDialog(readingsOut, &mainForm);
            // The window outlives the broker's side and may ask it for its state as it closes.
            mainForm.attachBroker([&] { prompts.execModal(brokerDialog); },
                                  [out = QPointer<mqtt::ReadingsOut>(&readingsOut)] {
                                      return out ? out->problemText() : QString();
                                  });
            QObject::connect(&readingsOut, &mqtt::ReadingsOut::statusChanged, &mainForm,
                             [&] { mainForm.updateStatusLine(); });
            startReadingsOut(readingsOut, options, mqttCa, mqttLogin);
            curves::CurvesWindow curvesWindow(mainForm.readingsFeed(), &mainForm);
            mainForm.attachCurves([&] {
                curvesWindow.show();
                curvesWindow.raise();
            });
            if (options.curves) curvesWindow.show();
            recording::Recorder recorder;
            attachRecorder(recorder, mainForm, recordFile);

            SignalClose closeOnSignal(mainForm);
            mainForm.show();
            if (options.serve) {
                // The address to open, for whoever started us: a script, a test, the operator.
                if (liveView.serving())
                    std::cout << liveView.url().toStdString() << std::endl;
                else
                    std::cerr << "kvt3: --serve: " << liveView.failure().toStdString() << "\n";
            }
            status = app.exec();
        }
        SetRS232Service(nullptr);
    }
    platform::setExceptionDisplay(nullptr);
    platform::setDefaultHandOver(nullptr);
    platform::setDefaultClock(nullptr);
    return status;
}
