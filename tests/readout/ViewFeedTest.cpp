// What the window gives the feed of readings and the live view, the view's line of the settings
// file, and the link's health.
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "readout/HealthWindow.h"
#include "serial/VaComm.h"
#include "tests/readout/Harness.h"
#include "web/LiveView.h"

namespace readouttest {
namespace {

const QByteArray fiveLines = "2\r\n0\r\n0\r\n0\r\n1\r\n";

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(ReadoutTest, TheLiveViewShowsWhatTheWindowShowsAndKeepsItsLine) {
    const QString path = workDir.path() + "/params.kv3";
    const QByteArray line = "1 127.0.0.1 0 0123456789abcdef0123456789abcdef\r\n";
    writeFile(path, fiveLines + line);
    web::LiveView view;
    form->attachLiveView(view, [] {});
    startCycle(box);
    ASSERT_TRUE(view.serving()) << view.failure().toStdString();
    EXPECT_TRUE(view.url().startsWith("http://127.0.0.1:"));
    EXPECT_TRUE(view.url().endsWith("/0123456789abcdef0123456789abcdef/"));

    replyPositions(1000, -2000, 3000);
    web::ViewState state = form->viewState();
    const std::uint64_t first = state.reading;
    EXPECT_TRUE(state.live);
    EXPECT_EQ(state.mode, "absolutne");
    EXPECT_EQ(state.axes, form->shownAxes);
    for (Axis axis : {Axis::X, Axis::Y, Axis::Z})
        EXPECT_EQ(state.texts[static_cast<std::size_t>(axisIndex(axis))],
                  form->readout(axis)->text());
    replyPositions(1001, -2000, 3000);
    EXPECT_EQ(form->viewState().reading, first + 1);

    // Another window of the program over the readout: the page must not call its figures live.
    QDialog other(form.get());
    other.setModal(true);
    QTimer::singleShot(0, &other, [&] {
        state = form->viewState();
        other.reject();
    });
    other.exec();
    EXPECT_FALSE(state.live);
    EXPECT_EQ(state.why, QStringLiteral("W programie otwarto okno – odczyty wstrzymane"));

    // Kept with the port the kernel picked for port 0.
    const QByteArray kept = "1 127.0.0.1 " + QByteArray::number(view.listeningPort()) +
                            " 0123456789abcdef0123456789abcdef\r\n";
    form->exitAction->trigger();
    EXPECT_FALSE(form->viewState().live);
    EXPECT_EQ(contentOf(path), fiveLines + kept);
}

TEST_F(ReadoutTest, AFileTheLiveViewNeverServedFromKeepsItsFiveLines) {
    const QString path = workDir.path() + "/params.kv3";
    writeFile(path, fiveLines);
    web::LiveView view;
    form->attachLiveView(view, [] {});
    startCycle(box);
    EXPECT_FALSE(view.serving());
    form->exitAction->trigger();
    EXPECT_EQ(contentOf(path), fiveLines);
}

TEST_F(ReadoutTest, TheLinkHealthCountsWhatTheLineDidAndItsWindowShowsIt) {
    startCycle(box);
    replyPositions(1, 2, 3);
    replyPositions(2, 2, 3);
    // A reply whose first byte came with a parity error: the error and the refused reply.
    std::vector<std::uint8_t> reply(4 * std::size_t(service.AxisCount), 0);
    device->receive(reply[0], serial::ErrorBits::Parity);
    device->receive(std::vector<std::uint8_t>(reply.begin() + 1, reply.end()));
    // Then silence: the request is asked again twice, and the link is lost.
    clock.advance(10000);
    form->healthMMI->trigger();
    auto* window = static_cast<readout::HealthWindow*>(form->healthWindow());
    ASSERT_TRUE(window && window->isVisible());
    // Rows: rate, readings, invalid, retries, parity, framing, overrun, losses.
    const char* const expected[] = {nullptr, "2", "1", "2", "1", "0", "0", "1"};
    for (int row = 1; row < readout::HealthWindow::rows; ++row)
        for (int column = 0; column < 2; ++column)
            EXPECT_EQ(window->cells[std::size_t(row)][std::size_t(column)]->text(), expected[row])
                << row << ", " << column;
    EXPECT_EQ(form->viewState().health.sinceStart[feed::LinkHealth::invalid], 1u);
    // A minute later the minute's column is empty again; the start's keeps them.
    clock.advance(61000);
    window->refresh();
    EXPECT_EQ(window->cells[2][0]->text(), "1");
    EXPECT_EQ(window->cells[2][1]->text(), "0");
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ReadoutTest, TheStatusLineSaysWhenTheBrokerIsNotReached) {
    // Outlives the test's body: the window asks again as it closes.
    auto problem = std::make_shared<QString>();
    form->attachBroker([] {}, [problem] { return *problem; });
    EXPECT_TRUE(form->brokerMMI->isVisible());
    startCycle(box);
    replyPositions(1, 2, 3);
    const QString current = form->statusLabel->text();
    *problem = QStringLiteral("MQTT: brak połączenia z brokerem");
    form->updateStatusLine();
    EXPECT_EQ(form->statusLabel->text(), current + QStringLiteral(" – ") + *problem);
    problem->clear();
    form->updateStatusLine();
    EXPECT_EQ(form->statusLabel->text(), current);
}

}  // namespace
}  // namespace readouttest
