#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "config/ConfigFile.h"
#include "config/ConfigRestore.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace platform {
class Prompts;
}

// A configuration file against what the box holds: every value of both side by side, changed
// ones marked, before anything is written. "Zapisz do urządzenia" writes the file to the box and
// reads it back; the verdict stays in the dialog and is told in a message. While the box is
// being written the operator cannot close the dialog: the writes would go on behind it. When the
// program closes it (it ends on a signal) the writes stop, and what the box may now hold is said
// on standard error, the one place left to say it.
class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    RestoreDialog(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
                  QWidget* parent = nullptr);

    // Reads the box's whole configuration anew (the port closed, as the window leaves it for a
    // dialog) and compares `file`, read from `path`, with it: what the box holds now, not what
    // an earlier link start read. The port is held from then until the dialog closes.
    void compareWithBox(const boxconfig::BoxConfig& file, const QString& path);
    // The comparison of `file` with `box`, whose calibrations as the box reported them are
    // `boxCalibration` when known.
    void setComparison(const boxconfig::BoxConfig& box, const boxconfig::BoxConfig& file,
                       const QString& path,
                       const std::array<long double, 3>* boxCalibration = nullptr);
    void writeButtonClick();
    void reject() override;
    // However the dialog closes, nothing of its reads or writes goes on, and the port is let go.
    void done(int result) override;

    QTableWidget* table;
    QLabel* status;
    QPushButton* writeButton;
    QPushButton* closeButton;
    // The box held the file at the end of the last write.
    bool restored() const { return restored_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void finished(bool holds, const QString& text);

    TRS232Service& service_;
    platform::Prompts& prompts_;
    ConfigRestore restore_;
    ConfigRead read_;
    QLabel* heading_;
    boxconfig::BoxConfig file_;
    bool restored_ = false;
    // The dialog is being closed under a restore: its verdict goes to standard error.
    bool closing_ = false;
};
