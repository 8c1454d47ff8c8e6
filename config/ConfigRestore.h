#pragma once

#include <QString>
#include <array>
#include <functional>

#include "config/ConfigFile.h"
#include "config/ConfigRead.h"
#include "config/WriteChain.h"
#include "platform/Timer.h"

// A configuration file written to the box and read back. First the box's whole configuration is
// read (a box of another kind gets nothing); then what differs from the file is written: the
// parameters through the parameters dialog's chain of writes (the calibration frame only when a
// calibration differs, so the box keeps the bytes it holds equal values in) and, for kinds 2 to
// 4, the correction tables through the correction dialog's, each followed by the box's three
// seconds after the end of a configuration; then the whole configuration is read back and
// compared with the file. Only that comparison says success. The port is held from the first
// read to the end, so that no other program's writes come between.
class ConfigRestore {
public:
    enum class Stage { Checking, Parameters, Corrections, ReadingBack };

    ConfigRestore(TRS232Service& service, platform::Clock& clock);
    ~ConfigRestore();

    std::function<void(Stage)> onStage;
    // The end: whether the box now holds the file, and what the operator is told. `written`
    // is false when the box was left untouched.
    std::function<void(bool holds, bool written, const QString& text)> onFinished;

    void start(const boxconfig::BoxConfig& file);
    bool running() const { return running_; }
    // Stops the restore where it is (the program is ending): nothing more is sent, the port is
    // let go, and onFinished tells what the box may now hold.
    void interrupt();

private:
    void checked(const boxconfig::BoxConfig& box);
    void writeParameters();
    void writeCorrections();
    // The box's three seconds after the end of a configuration, then `next`.
    void pauseThen(void (ConfigRestore::*next)());
    void readBack();
    void compareReadBack(const boxconfig::BoxConfig& box);
    QString interruptedText() const;
    void finish(bool holds, bool written, const QString& text);
    void stage(Stage s);

    TRS232Service& service_;
    WriteChain chain_;
    ConfigRead read_;
    // The box's time after the end of a configuration before it takes the next request.
    platform::Timer pause_;
    boxconfig::BoxConfig file_;
    boxconfig::Writes writes_;
    Stage stage_ = Stage::Checking;
    // The box acknowledged the whole of the parameters, of the tables.
    bool parametersSent_ = false;
    bool correctionsSent_ = false;
    bool running_ = false;
};

// What a box read back holds that differs from the file, one line each ("\r\nX: kalibracja =
// 0.1234567 (w pliku 0.123456)"); empty when it holds the file.
QString readBackDifferences(const boxconfig::BoxConfig& box,
                            const std::array<long double, 3>& boxCalibration,
                            const boxconfig::BoxConfig& file);
