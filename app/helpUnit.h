#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// The help window: the text of pomoc.txt, read-only, and an OK button.
class ThelpForm : public QDialog {
    Q_OBJECT
public:
    explicit ThelpForm(QWidget* parent = nullptr);

    QPlainTextEdit* helpMemo;
    QPushButton* okBtn;

    // Clears helpMemo, then loads <directory>/pomoc.txt into it (Windows-1250 text), or the
    // installed copy when there is none. Returns false, leaving the memo empty, when neither
    // exists; the caller then shows nothing.
    // A file that exists but cannot be read raises std::runtime_error.
    bool loadHelp(const QString& directory);
    // Where the installed help file lies; read when the working directory has none.
    void setInstalledDirectory(const QString& directory) { installedDirectory_ = directory; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString installedDirectory_;
};
