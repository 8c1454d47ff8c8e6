// What the window gives the live view, and the view's line of the settings file.
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QTimer>

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

}  // namespace
}  // namespace readouttest
