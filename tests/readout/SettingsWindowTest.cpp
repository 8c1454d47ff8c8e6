// The settings file as the window reads it at start and writes it at the end, when the file is
// not what it should be or the disk refuses the write.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QRadioButton>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// Should the window open the named pipe and wait in it for a writer, this one comes after two
// seconds with settings of its own, so that the test ends and tells.
class PipeRescue {
public:
    explicit PipeRescue(QString path) : path_(std::move(path)) {
        thread_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (done_.wait_for(lock, std::chrono::seconds(2), [this] { return finished_; })) return;
            const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) return;
            rescued_ = true;
            [[maybe_unused]] const auto n = ::write(fd, "4\r\n", 3);
            ::close(fd);
        });
    }
    ~PipeRescue() { finish(); }
    // Stops waiting; tells whether the window had to be rescued.
    bool finish() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        if (thread_.joinable()) thread_.join();
        return rescued_;
    }

private:
    QString path_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool rescued_ = false;
    std::thread thread_;
};

TEST_F(ReadoutTest, NoSettingsFromAPipeAndThoseOfALargeFile) {
    const QString path = workDir.path() + "/params.kv3";
    const struct {
        const char* kind;
        const char* port;
        bool absolute;
    } cases[] = {
        // The defaults of a missing file.
        {"pipe", "COM1", true},
        // Its five lines, whatever follows them.
        {"large", "COM2", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        QFile::remove(path);
        if (QByteArray(c.kind) == "pipe") {
            ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("2\r\n0\r\n0\r\n0\r\n0\r\n");
            file.write(QByteArray(1 << 20, '\n'));
        }
        PipeRescue rescue(path);
        TmainForm window(service, prompts, clock);
        window.attachWindows(*breakForm, *logoForm, *helpForm, *paramsForm, *coordForm);
        window.show();
        EXPECT_FALSE(rescue.finish()) << "the start waited in the pipe";
        EXPECT_EQ(service.GetPortName(), c.port);
        EXPECT_TRUE(window.COM[c.port[3] - '1']->isChecked());
        EXPECT_EQ(window.absRButton->isChecked(), c.absolute);
        window.testTimer.SetEnabled(false);
        QFile::remove(path);
        window.close();
        service.SetPortName("COM1");
    }
}

TEST_F(ReadoutTest, AnEndThatCannotWriteTheSettingsLeavesTheOldOnes) {
    const QString path = workDir.path() + "/params.kv3";
    const QByteArray old = "3\r\n1.5\r\n0\r\n0\r\n1\r\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    startCycle(box);
    form->COMClick(2);

    // The disk takes no more than a few bytes of any file: the write fails part way.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    form->exitAction->trigger();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(contentOf(path), old);
}

}  // namespace
}  // namespace readouttest
