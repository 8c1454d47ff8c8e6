#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// The help window: the text of pomoc.txt (or of its translation, help_en.txt, when the program
// runs in English), read-only, and an OK button. Escape closes it as "OK" does.
class ThelpForm : public QDialog {
    Q_OBJECT
public:
    explicit ThelpForm(QWidget* parent = nullptr);

    QPlainTextEdit* helpMemo;
    QPushButton* okBtn;

    // Clears helpMemo, then loads <directory>/<file name> into it (Windows-1250 text; the English
    // file is plain ASCII, which reads the same), or the installed copy when there is none. Returns
    // false, leaving the memo empty, when neither exists; the caller then shows nothing. A file
    // that exists but cannot be read raises std::runtime_error.
    bool loadHelp(const QString& directory);
    // Where the installed help file lies; read when the working directory has none.
    void setInstalledDirectory(const QString& directory) { installedDirectory_ = directory; }
    // The help file's name, pomoc.txt unless set.
    void setFileName(const QString& name) { fileName_ = name; }

private:
    // As wide as the text's longest line and as high as its lines, as far as the screen allows.
    void fitToText();

    QString installedDirectory_;
    QString fileName_ = QStringLiteral("pomoc.txt");
};
