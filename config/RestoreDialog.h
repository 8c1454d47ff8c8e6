#pragma once

#include <QDialog>
#include <QString>

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
// being written the dialog cannot be closed: the writes would go on behind it.
class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    RestoreDialog(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
                  QWidget* parent = nullptr);

    // The comparison of `file` (read from `path`) with `box`, as the last link start read it.
    void setComparison(const boxconfig::BoxConfig& box, const boxconfig::BoxConfig& file,
                       const QString& path);
    void writeButtonClick();
    void reject() override;

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

    platform::Prompts& prompts_;
    ConfigRestore restore_;
    QLabel* heading_;
    boxconfig::BoxConfig file_;
    bool restored_ = false;
};
