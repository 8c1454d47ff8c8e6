// The live view's server on loopback, talked to over real sockets the way a browser or an
// attacker would.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

#include "web/LiveView.h"
#include "web/ServeChoice.h"
#include "web/ViewServer.h"

namespace {

const std::string token = "0123456789abcdef0123456789abcdef";

class ViewServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        web::ServeLimits limits;
        limits.pages = 2;
        limits.connections = 6;
        limits.idleMs = 600;
        limits.staleMs = 400;
        limits.tickMs = 100;
        ASSERT_EQ(server.start(QHostAddress::LocalHost, 0, token, {"127.0.0.1"}, limits),
                  QString());
        host = "127.0.0.1:" + QByteArray::number(server.port());
    }

    std::unique_ptr<QTcpSocket> connectTo() {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server.port());
        EXPECT_TRUE(socket->waitForConnected(2000));
        return socket;
    }

    QByteArray get(const QByteArray& path, const QByteArray& method = "GET") {
        return method + " " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
    }

    // What came on `socket` until `done` holds of it or two seconds pass.
    static QByteArray readUntil(QTcpSocket& socket,
                                const std::function<bool(const QByteArray&)>& done) {
        QByteArray got;
        (void)QTest::qWaitFor(
            [&] {
                got += socket.readAll();
                return done(got) || socket.state() == QAbstractSocket::UnconnectedState;
            },
            2000);
        return got + socket.readAll();
    }

    static bool hasHead(const QByteArray& got) { return got.contains("\r\n\r\n"); }

    web::ViewState reading(std::uint64_t n, const QString& x) {
        web::ViewState state;
        state.axes = 1;
        state.texts[0] = x;
        state.mode = QStringLiteral("absolutne");
        state.live = true;
        state.reading = n;
        return state;
    }

    web::ViewServer server;
    QByteArray host;
    const QByteArray base = QByteArray("/") + token.c_str() + "/";
};

TEST_F(ViewServerTest, RefusalsSayTheirStatusAndNothingElse) {
    struct Case {
        QByteArray request;
        const char* status;
    };
    const Case cases[] = {
        {get(base), "HTTP/1.1 200 "},
        {get("/"), "HTTP/1.1 403 "},
        {get(base + "nothing"), "HTTP/1.1 404 "},
        {get(base, "DELETE"), "HTTP/1.1 405 "},
        {"GET " + base + " HTTP/1.1\r\nHost: evil.example\r\n\r\n", "HTTP/1.1 403 "},
        {"GET " + base + " HTTP/1.1\r\nHost: " + host + "\r\nX: " + QByteArray(9000, 'a') +
             "\r\n\r\n",
         "HTTP/1.1 431 "},
        {"GET " + base + "events HTTP/1.1\r\nHost: " + host +
             "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n",
         "HTTP/1.1 400 "},
    };
    for (const Case& c : cases) {
        auto socket = connectTo();
        socket->write(c.request);
        const QByteArray got = readUntil(*socket, hasHead);
        EXPECT_TRUE(got.startsWith(c.status))
            << c.request.left(60).constData() << " -> " << got.left(40).constData();
        if (!got.startsWith("HTTP/1.1 200 ")) {
            EXPECT_TRUE(got.endsWith("\r\n\r\n")) << "a body in a refusal";
            EXPECT_FALSE(got.contains("<html")) << "a body in a refusal";
        }
        EXPECT_TRUE(got.contains("X-Content-Type-Options: nosniff"));
        EXPECT_TRUE(got.contains("Cache-Control: no-store"));
    }
}

TEST_F(ViewServerTest, PagesGetTheNewestStateAndStaleFiguresAreSaidToBe) {
    auto page = connectTo();
    page->write(get(base + "events"));
    server.publish(reading(1, QStringLiteral("1.000")));
    server.publish(reading(2, QStringLiteral("2.000")));
    QByteArray got = readUntil(*page, [](const QByteArray& g) { return g.contains("2.000"); });
    EXPECT_TRUE(got.startsWith("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream"));
    EXPECT_TRUE(got.contains(R"("live":true)"));
    // No new reading for longer than the stale time: the page is told, whatever the window says.
    got = readUntil(*page, [](const QByteArray& g) { return g.contains(R"("live":false)"); });
    EXPECT_TRUE(
        QString::fromUtf8(got).contains(QStringLiteral("Brak nowych odczytów z urządzenia")))
        << got.constData();
    server.publish(reading(3, QStringLiteral("3.000")));
    got = readUntil(*page, [](const QByteArray& g) { return g.contains("3.000"); });
    EXPECT_TRUE(got.contains(R"("live":true)"));
}

TEST_F(ViewServerTest, OnePageTooManyIsRefusedAndTheOthersGoOn) {
    std::vector<std::unique_ptr<QTcpSocket>> pages;
    for (int i = 0; i < 3; ++i) {
        pages.push_back(connectTo());
        pages.back()->write(get(base + "events"));
        readUntil(*pages.back(), hasHead);
    }
    const QByteArray third = readUntil(*pages[2], hasHead);
    server.publish(reading(7, QStringLiteral("7.000")));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(readUntil(*pages[static_cast<std::size_t>(i)], [](const QByteArray& g) {
                        return g.contains("7.000");
                    }).contains("7.000"));
    EXPECT_EQ(pages[2]->state(), QAbstractSocket::UnconnectedState);
    // A page closed makes room for another.
    pages[0]->abort();
    auto again = connectTo();
    again->write(get(base + "events"));
    EXPECT_TRUE(readUntil(*again, hasHead).startsWith("HTTP/1.1 200 "));
}

TEST_F(ViewServerTest, SlowAndSilentConnectionsAreClosed) {
    // One byte at a time, never a whole head.
    auto slow = connectTo();
    slow->write("G");
    auto silent = connectTo();
    // Asks again and again and reads none of the answers.
    auto greedy = connectTo();
    greedy->setReadBufferSize(1);
    QByteArray requests;
    for (int i = 0; i < 40; ++i) requests += get(base + "view.js");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            slow->write("E");
            if (greedy->state() == QAbstractSocket::ConnectedState) greedy->write(requests);
            QTest::qWait(50);
            return slow->state() == QAbstractSocket::UnconnectedState &&
                   silent->state() == QAbstractSocket::UnconnectedState &&
                   greedy->state() == QAbstractSocket::UnconnectedState;
        },
        3000));
}

TEST_F(ViewServerTest, APageThatReadsNothingIsDroppedNotQueuedFor) {
    auto asleep = connectTo();
    asleep->setReadBufferSize(1);
    asleep->write(get(base + "events"));
    auto awake = connectTo();
    awake->write(get(base + "events"));
    // Far more than the sleeping page's line holds, for longer than the idle time.
    const QString big(20000, QChar('8'));
    for (std::uint64_t n = 1; n <= 100; ++n) {
        server.publish(reading(n, big + QString::number(n)));
        awake->readAll();
        QTest::qWait(10);
    }
    server.publish(reading(1000, QStringLiteral("last")));
    EXPECT_TRUE(
        readUntil(*awake, [](const QByteArray& g) { return g.contains("last"); }).contains("last"));
    // Woken, it finds itself let go rather than the states it missed.
    asleep->setReadBufferSize(0);
    QByteArray missed;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            missed += asleep->readAll();
            return asleep->state() == QAbstractSocket::UnconnectedState;
        },
        3000));
    EXPECT_LT(missed.size(), 400'000);
    EXPECT_FALSE(missed.contains("last"));
}

TEST_F(ViewServerTest, AFloodOfConnectionsIsTurnedAwayAndThePageStillServed) {
    std::vector<std::unique_ptr<QTcpSocket>> flood;
    for (int i = 0; i < 40; ++i) {
        flood.push_back(std::make_unique<QTcpSocket>());
        flood.back()->connectToHost(QHostAddress::LocalHost, server.port());
    }
    QTest::qWait(200);
    int refused = 0;
    for (auto& s : flood) refused += readUntil(*s, hasHead).startsWith("HTTP/1.1 503 ") ? 1 : 0;
    EXPECT_GE(refused, 30);
    flood.clear();
    QTest::qWait(100);
    auto page = connectTo();
    page->write(get(base));
    EXPECT_TRUE(readUntil(*page, hasHead).startsWith("HTTP/1.1 200 "));
}

TEST(LiveView, AChoiceThatCannotServeLeavesTheViewAsItServed) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    web::LiveView view;
    web::ServeChoice choice;
    choice.on = true;
    choice.address = "127.0.0.1";
    choice.port = 0;
    ASSERT_EQ(view.apply(choice), QString());
    const QString url = view.url();
    // The kernel's pick is kept, so that the address opened today opens tomorrow.
    EXPECT_NE(view.choice().port, 0);
    choice.port = taken.serverPort();
    EXPECT_EQ(view.apply(choice), QStringLiteral("port jest już zajęty przez inny program"));
    EXPECT_TRUE(view.serving());
    EXPECT_EQ(view.url(), url);
    EXPECT_NE(view.choice().port, taken.serverPort());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
