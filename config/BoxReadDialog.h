#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <optional>

#include "config/ConfigFile.h"
#include "config/ConfigRead.h"

class QLabel;
class QPushButton;

// The box's whole configuration read anew while this small dialog says so, for a backup of what
// the box holds now: the link may have been lost and another box may answer on the port since
// the last link start read one. It closes itself when the read ends; "Przerwij" stops the read.
class BoxReadDialog : public QDialog {
    Q_OBJECT
public:
    explicit BoxReadDialog(TRS232Service& service, QWidget* parent = nullptr);

    // Starts the read with the port as the window left it (closed). It may end at once (a port
    // that will not open): show the dialog only while reading().
    void start();
    bool reading() const { return read_.running(); }
    // What was read, or why nothing was ("" when the operator stopped the read).
    const std::optional<boxconfig::BoxConfig>& box() const { return box_; }
    const std::array<long double, 3>& calibrationAsReported() const {
        return read_.calibrationAsReported();
    }
    const QString& failure() const { return failure_; }

    // However the dialog closes, a read under way stops and nothing of it goes on.
    void done(int result) override;

    QPushButton* stopButton;

private:
    ConfigRead read_;
    QLabel* text_;
    std::optional<boxconfig::BoxConfig> box_;
    QString failure_;
};
