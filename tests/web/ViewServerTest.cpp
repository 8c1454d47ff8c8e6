// The live view's server on loopback, talked to over real sockets the way a browser or an
// attacker would.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
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
        limits.strangers = 4;
        limits.perAddress = 2;
        limits.firstLineMs = 300;
        limits.unreadBytes = 48 * 1024;
        limits.idleMs = 600;
        limits.staleMs = 400;
        limits.tickMs = 100;
        ASSERT_EQ(server.start(QHostAddress::LocalHost, 0, token, {"127.0.0.1"}, limits),
                  QString());
        host = "127.0.0.1:" + QByteArray::number(server.port());
    }

    // From `from`, another address of the loopback network where asked.
    std::unique_ptr<QTcpSocket> connectTo(const QHostAddress& from = {}) {
        auto socket = std::make_unique<QTcpSocket>();
        if (!from.isNull()) {
            EXPECT_TRUE(socket->bind(from));
        }
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
    std::uint64_t published = 0;
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
        {"GET " + base + " HTTP/1.1\r\nHost: " + host + "\r\n" +
             QByteArray("X: 1\r\n").repeated(101) + "\r\n",
         "HTTP/1.1 431 "},
        {"GET " + base + " HTTP/1.1\r\nHost: " + host + "\r\nContent-Length: 3\r\n\r\nGET",
         "HTTP/1.1 400 "},
    };
    // Nothing is logged for a refusal: a flood of them must not fill a disk.
    static int logged = 0;
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString&) { ++logged; });
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
    qInstallMessageHandler(before);
    EXPECT_EQ(logged, 0);
}

TEST_F(ViewServerTest, AConnectionEndsWithTheAnswerWhenItsClientSaysSo) {
    struct Case {
        QByteArray request;
        bool ends;
    };
    const Case cases[] = {
        {get(base), false},
        {"GET " + base + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n", true},
        {"GET " + base + " HTTP/1.0\r\nHost: " + host + "\r\n\r\n", true},
        {"GET " + base + " HTTP/1.0\r\nHost: " + host + "\r\nConnection: keep-alive\r\n\r\n", true},
    };
    for (const Case& c : cases) {
        auto socket = connectTo();
        // Two requests at once: the second is answered only on a connection kept open.
        socket->write(c.request + get(base + "view.css"));
        const QByteArray got =
            readUntil(*socket, [](const QByteArray& g) { return g.contains("text/css"); });
        EXPECT_TRUE(got.startsWith("HTTP/1.1 200 ")) << c.request.constData();
        EXPECT_EQ(got.contains("text/css"), !c.ends) << c.request.constData();
        EXPECT_EQ(socket->state() == QAbstractSocket::UnconnectedState, c.ends)
            << c.request.constData();
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
    QByteArray third;
    for (int i = 0; i < 3; ++i) {
        pages.push_back(connectTo());
        pages.back()->write(get(base + "events"));
        third = readUntil(*pages.back(), [](const QByteArray& g) { return g.contains("\n\n"); });
    }
    // A browser shown the refusal tries again by itself.
    EXPECT_TRUE(third.startsWith("HTTP/1.1 503 ")) << third.constData();
    EXPECT_TRUE(third.contains("<meta http-equiv=\"refresh\" content=\"2\">"));
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
    const QString big(4000, QChar('8'));
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

TEST_F(ViewServerTest, APageThatReadsNothingIsDroppedLongBeforeItsBuffersFill) {
    // Its system takes what is sent, into buffers as large as it may have; the client itself
    // reads nothing.
    const int asleep = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int large = 1 << 20;
    ::setsockopt(asleep, SOL_SOCKET, SO_RCVBUF, &large, sizeof large);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server.port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(asleep, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
    const QByteArray request = get(base + "events");
    ASSERT_EQ(::send(asleep, request.constData(), request.size(), 0), request.size());
    // A hundred kilobytes a second: its buffers would take several seconds.
    pollfd ended{asleep, POLLRDHUP, 0};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            server.publish(reading(++published, QString(1000, QChar('8'))));
            QTest::qWait(10);
            return ::poll(&ended, 1, 0) == 1;
        },
        3000));
    ::close(asleep);
}

TEST_F(ViewServerTest, SilentConnectionsNeverKeepAPageOut) {
    // One from another address, silent too but within its time.
    auto neighbour = connectTo(QHostAddress(QStringLiteral("127.0.0.2")));
    std::vector<std::unique_ptr<QTcpSocket>> flood;
    for (int i = 0; i < 40; ++i) {
        flood.push_back(std::make_unique<QTcpSocket>());
        flood.back()->connectToHost(QHostAddress::LocalHost, server.port());
    }
    // From the flood's own address, a page is served at once.
    auto page = connectTo();
    page->write(get(base));
    EXPECT_TRUE(readUntil(*page, hasHead).startsWith("HTTP/1.1 200 "));
    // The flood took the places of its own address alone: the neighbour's request is answered.
    neighbour->write(get(base + "view.js"));
    EXPECT_TRUE(readUntil(*neighbour, hasHead).startsWith("HTTP/1.1 200 "));
    // And none of the flood outlives the first line's deadline.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(flood.begin(), flood.end(), [](const auto& s) {
                return s->state() == QAbstractSocket::UnconnectedState;
            });
        },
        2000));
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
