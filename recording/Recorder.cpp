#include "recording/Recorder.h"

#include <QDateTime>

namespace recording {

// The recording's thread: takes what the window's thread left and writes it once a second.
struct Recorder::Writer {
    Writer(Recorder& owner, std::string path, FileLimits limits)
        : owner_(owner), file_(std::move(path), limits) {}

    ~Writer() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    std::string open(const std::string& header) {
        header_ = header;
        std::string why = file_.open(header);
        if (why.empty()) thread_ = std::thread([this] { run(); });
        return why;
    }

    // False when the disk has not kept up.
    bool add(const std::string& lines, const std::string& header) {
        const std::lock_guard lock(mutex_);
        header_ = header;
        pending_ += lines;
        return pending_.size() <= maxPending;
    }

    void run() {
        std::unique_lock lock(mutex_);
        while (true) {
            wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; });
            std::string lines = std::move(pending_);
            pending_.clear();
            const std::string header = header_;
            const bool last = stop_;
            lock.unlock();
            const std::string why = lines.empty() ? std::string() : file_.append(lines, header);
            lock.lock();
            if (!why.empty()) {
                QMetaObject::invokeMethod(
                    &owner_,
                    [o = &owner_, why] {
                        o->fail(Recorder::tr("Nagrywanie zatrzymane: %1")
                                    .arg(QString::fromLocal8Bit(why.c_str())));
                    },
                    Qt::QueuedConnection);
                return;
            }
            if (last) return;
        }
    }

    Recorder& owner_;
    RecordFile file_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string pending_;
    std::string header_;
    bool stop_ = false;
    std::thread thread_;
};

namespace {

std::string headerFor(int axes, const std::array<bool, 3>& angular) {
    std::string header = "time;reading";
    for (int i = 0; i < axes; ++i)
        header += std::string(";") + "XYZ"[i] +
                  (angular[static_cast<std::size_t>(i)] ? " [deg]" : " [mm]");
    return header + ";current\n";
}

// Local time with its offset from UTC and milliseconds: a day with a clock change stays in order.
std::string timeText(std::int64_t ms) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

}  // namespace

Recorder::Recorder(QObject* parent) : QObject(parent) {}

Recorder::~Recorder() {
    stop();
}

QString Recorder::start(const QString& path, FileLimits limits) {
    stop();
    auto writer = std::make_unique<Writer>(*this, path.toStdString(), limits);
    // The columns are those of the first reading: the header goes with it.
    if (const std::string why = writer->open(""); !why.empty())
        return QString::fromLocal8Bit(why.c_str());
    writer_ = std::move(writer);
    path_ = path;
    lastReading_ = 0;
    inGap_ = true;
    headerDue_ = true;
    return {};
}

void Recorder::stop() {
    writer_.reset();
}

void Recorder::fail(const QString& why) {
    if (!writer_) return;
    stop();
    emit failed(why);
}

void Recorder::take(const feed::Reading& state) {
    const int axes = std::clamp(state.axes, 1, 3);
    std::string lines;
    if (!writer_) return;
    if (axes != axes_ || state.angular != angular_) {
        // Another box, or the same read anew differently: the columns are named again.
        axes_ = axes;
        angular_ = state.angular;
        header_ = headerFor(axes_, angular_);
        headerDue_ = true;
    }
    const bool line = (state.live && state.reading != lastReading_) || (!state.live && !inGap_);
    if (line && headerDue_) {
        headerDue_ = false;
        lines += header_;
    }
    if (state.live && state.reading != lastReading_) {
        lastReading_ = state.reading;
        inGap_ = false;
        lines += timeText(state.timeMs) + ';' + std::to_string(state.reading);
        for (int i = 0; i < axes; ++i) {
            lines += ';';
            if (const auto& value = state.values[static_cast<std::size_t>(i)])
                lines += QString::number(*value, 'g', 12).toStdString();
        }
        lines += ";1\n";
    } else if (!state.live && !inGap_) {
        // The readings stopped: one line without values says from when.
        inGap_ = true;
        lines += timeText(state.timeMs) + ';' + std::to_string(state.reading) +
                 std::string(static_cast<std::size_t>(axes), ';') + ";0\n";
    }
    if (!lines.empty() && !writer_->add(lines, header_))
        fail(tr("Nagrywanie zatrzymane: zapis na dysk nie nadąża"));
}

}  // namespace recording
