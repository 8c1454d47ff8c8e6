#pragma once

// The program's windows on the real serial port, in real time, for tests against kvt3-sim: the
// time, hand-over and link service as main() sets them, and Qt's event loop run for a while.
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

#include "app/AboutUnit.h"
#include "app/breakUnit.h"
#include "app/helpUnit.h"
#include "config/coordUnit.h"
#include "config/paramsUnit.h"
#include "link/RSLib.h"
#include "platform/HandOverQt.h"
#include "platform/QtClock.h"
#include "readout/MainUnit.h"
#include "tests/support/prompts/FakePrompts.h"

namespace e2e {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// Runs Qt's event loop (timers, the port's hand-over) for the given time.
inline void spinFor(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(time.count()), &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs Qt's event loop until the condition holds or the deadline passes; true when it held.
inline bool spinUntil(const std::function<bool()>& condition, SteadyClock::time_point deadline) {
    while (!condition()) {
        if (SteadyClock::now() >= deadline) return false;
        spinFor(20ms);
    }
    return true;
}

inline bool spinUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    return spinUntil(condition, SteadyClock::now() + timeout);
}

inline QStringList readouts(const TmainForm& form) {
    return {form.readout(Axis::X)->text(), form.readout(Axis::Y)->text(),
            form.readout(Axis::Z)->text()};
}

// The process's working directory for the scope: the window finds the port's link there.
class CurrentDir {
public:
    explicit CurrentDir(const std::string& path) : previous_(QDir::currentPath()) {
        QDir::setCurrent(QString::fromStdString(path));
    }
    ~CurrentDir() { QDir::setCurrent(previous_); }
    CurrentDir(const CurrentDir&) = delete;
    CurrentDir& operator=(const CurrentDir&) = delete;

private:
    QString previous_;
};

// The program's time, hand-over and link service on the real serial port, as main() sets them,
// for the scope.
struct Program {
    Program() {
        platform::setDefaultClock(&clock);
        platform::setDefaultHandOver(&handOver);
        SetRS232Service(&service);
        service.AxisCount = 3;
    }
    ~Program() {
        SetRS232Service(nullptr);
        platform::setDefaultHandOver(nullptr);
        platform::setDefaultClock(nullptr);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    platform::QtClock clock;
    platform::HandOverQt handOver;
    TRS232Service service{clock};
};

// The program's windows, created and attached as main() does.
struct Windows {
    Windows(Program& program, testsupport::FakePrompts& prompts)
        : form(program.service, prompts, program.clock),
          breakForm(&form),
          logoForm(&form),
          helpForm(&form),
          paramsForm(program.service, prompts, program.clock, &form),
          coordForm(program.service, prompts, program.clock, &form) {
        form.attachWindows(breakForm, logoForm, helpForm, paramsForm, coordForm);
    }

    TmainForm form;
    TbreakForm breakForm;
    TlogoForm logoForm;
    ThelpForm helpForm;
    TparamsForm paramsForm;
    TcoordForm coordForm;
};

}  // namespace e2e
