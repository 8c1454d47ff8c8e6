#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/SignalClose.h"
#include "platform/ExceptionDisplay.h"
#include "platform/QtPrompts.h"

namespace {

TEST(MessageLines, EachLineBreakPairShowsAsOneBreak) {
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"Parametry zostały wysłane.\r\nZa 3 sekundy", "Parametry zostały wysłane.\nZa 3 sekundy"},
        {"Urządzenie niedostępne.\n\rChcesz", "Urządzenie niedostępne.\nChcesz"},
        {"a\r\n\r\nb", "a\n\nb"},
        {"a\n\nb", "a\n\nb"},
        {"a\r\rb", "a\n\nb"},
        {"a\rb\nc", "a\nb\nc"},
        {"bez końca linii", "bez końca linii"},
        {"\r\n", "\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::displayLines(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown))
            << c.text;
    }
}

class Throwing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("Błąd w obsłudze zdarzenia");
        return QObject::event(e);
    }
};

TEST(Application, EscapedExceptionGoesToTheDisplayAndTheLoopGoesOn) {
    std::vector<std::string> shown;
    platform::setExceptionDisplay([&shown](const std::string& m) { shown.push_back(m); });
    Throwing receiver;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    platform::setExceptionDisplay(nullptr);
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Błąd w obsłudze zdarzenia", "Błąd w obsłudze zdarzenia"}));
}

// A window that counts how often its closing logic ran.
class Window : public QMainWindow {
public:
    int closings = 0;
    bool modalOpenAtClose = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closings;
        modalOpenAtClose = QApplication::activeModalWidget() != nullptr;
        QMainWindow::closeEvent(event);
    }
};

TEST(SignalClose, TerminationClosesOpenDialogsThenTheWindowOnce) {
    struct Case {
        int signal;
        bool withDialog;
    };
    // A closed terminal or an ended session (SIGHUP) ends the program as SIGTERM does.
    for (const Case& c : {Case{SIGTERM, false}, Case{SIGINT, true}, Case{SIGTERM, true},
                          Case{SIGHUP, false}, Case{SIGHUP, true}}) {
        SCOPED_TRACE(c.signal);
        Window window;
        window.show();
        SignalClose closer(window);
        QDialog dialog(&window);
        int dialogResult = -1;
        bool quit = false;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, &window, [&quit] { quit = true; });
        QTimer::singleShot(0, [&] { std::raise(c.signal); });
        if (c.withDialog) {
            QTimer::singleShot(0, [&] { dialogResult = dialog.exec(); });
        }
        // A safety net: the test ends even if nothing reacts to the signal.
        QTimer safety;
        safety.callOnTimeout([] { QCoreApplication::exit(99); });
        safety.start(2000);
        const int status = QCoreApplication::exec();
        EXPECT_EQ(status, 0);
        EXPECT_EQ(window.closings, 1);
        EXPECT_FALSE(window.modalOpenAtClose);
        EXPECT_FALSE(window.isVisible());
        if (c.withDialog) {
            EXPECT_EQ(dialogResult, QDialog::Rejected);
        }
        EXPECT_TRUE(quit);
    }
}

TEST(SignalClose, HangUpsIgnoredFromTheStartStayIgnored) {
    ::signal(SIGHUP, SIG_IGN);
    {
        Window window;
        window.show();
        SignalClose closer(window);
        std::raise(SIGHUP);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(window.closings, 0);
        EXPECT_TRUE(window.isVisible());
    }
    EXPECT_EQ(::signal(SIGHUP, SIG_DFL), SIG_IGN);
}

}  // namespace
