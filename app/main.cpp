// The program: the link service first, then the windows in their fixed order, the message loop,
// and the release in reverse: windows, then the service (which closes the port if still open).
#include <memory>

#include "app/AboutUnit.h"
#include "app/Application.h"
#include "app/SignalClose.h"
#include "app/breakUnit.h"
#include "app/helpUnit.h"
#include "config/coordUnit.h"
#include "config/paramsUnit.h"
#include "link/RSLib.h"
#include "platform/ExceptionDisplay.h"
#include "platform/HandOverQt.h"
#include "platform/QtClock.h"
#include "platform/QtPrompts.h"
#include "readout/MainUnit.h"

int main(int argc, char** argv) {
    // The timers and the hand-over from the port's event thread run on Qt's loop, so the
    // application object comes before the service. No command-line argument is read.
    TApplication app(argc, argv);
    platform::QtClock clock;
    platform::setDefaultClock(&clock);
    platform::HandOverQt handOver;
    platform::setDefaultHandOver(&handOver);
    platform::QtPrompts prompts;
    platform::setExceptionDisplay([&prompts](const std::string& message) {
        prompts.showException(QString::fromStdString(message));
    });

    int status = 0;
    {
        auto service = std::make_unique<TRS232Service>(clock);
        SetRS232Service(service.get());
        service->AxisCount = 3;
        {
            TmainForm mainForm(*service, prompts, clock);
            TbreakForm breakForm(&mainForm);
            TlogoForm logoForm(&mainForm);
            ThelpForm helpForm(&mainForm);
            TparamsForm paramsForm(*service, prompts, clock, &mainForm);
            TcoordForm coordForm(*service, prompts, clock, &mainForm);
            mainForm.attachWindows(breakForm, logoForm, helpForm, paramsForm, coordForm);

            SignalClose closeOnSignal(mainForm);
            mainForm.show();
            status = app.exec();
        }
        SetRS232Service(nullptr);
    }
    platform::setExceptionDisplay(nullptr);
    platform::setDefaultHandOver(nullptr);
    platform::setDefaultClock(nullptr);
    return status;
}
