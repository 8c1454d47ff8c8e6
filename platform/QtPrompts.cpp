#include "platform/QtPrompts.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace platform {

namespace {

void showBox(QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QGuiApplication::applicationDisplayName(), displayLines(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

QString displayLines(const QString& text) {
    QString lines;
    lines.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') {
            lines.append(c);
            continue;
        }
        lines.append(u'\n');
        const qsizetype next = i + 1;
        if (next < text.size() && (text[next] == u'\r' || text[next] == u'\n') && text[next] != c)
            i = next;
    }
    return lines;
}

void QtPrompts::showMessage(const QString& text) {
    showBox(QMessageBox::NoIcon, text);
}

int QtPrompts::execModal(QDialog& dialog) {
    return dialog.exec();
}

void QtPrompts::showException(const QString& message) {
    showBox(QMessageBox::Critical, message);
}

}  // namespace platform
