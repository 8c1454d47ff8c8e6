#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "feed/Reading.h"
#include "recording/RecordFile.h"

// The recording: every reading of the feed as a CSV line (docs/recording.md), written by a thread
// of its own at least once a second. The window's thread only formats the line and leaves it in
// memory; a full disk, a file or directory that went away, or a disk too slow to keep up stops
// the recording with the reason, never the readout.
namespace recording {

class Recorder : public QObject {
    Q_OBJECT
public:
    explicit Recorder(QObject* parent = nullptr);
    ~Recorder() override;

    // Starts recording to `path` (made anew). Returns why not ("" when recording).
    QString start(const QString& path, FileLimits limits = {});
    // Stops, with everything taken so far written.
    void stop();
    bool recording() const { return writer_ != nullptr; }
    QString path() const { return path_; }

    // The feed's state: a new reading is a line; readings that stop are one line saying so.
    void take(const feed::Reading& state);

    // Lines not yet written at most, in bytes: more means the disk does not keep up.
    static constexpr std::size_t maxPending = 8u << 20;

signals:
    // The recording stopped by itself, and why (in the operator's language).
    void failed(const QString& why);

private:
    struct Writer;
    void fail(const QString& why);

    QString path_;
    std::unique_ptr<Writer> writer_;
    std::string header_;
    std::uint64_t lastReading_ = 0;
    bool inGap_ = true;
    bool headerDue_ = true;
    int axes_ = 0;
    std::array<bool, 3> angular_{};
};

}  // namespace recording
