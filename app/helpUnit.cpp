#include "app/helpUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <stdexcept>

#include "app/Cp1250.h"
#include "platform/DialogKeys.h"

ThelpForm::ThelpForm(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setWindowTitle(tr("Pomoc"));
    setFixedSize(536, 348);

    helpMemo = new QPlainTextEdit(this);
    helpMemo->setGeometry(0, 0, 536, 313);
    helpMemo->setReadOnly(true);
    // The help text lines up its columns with blanks.
    helpMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    helpMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    helpMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    helpMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    okBtn = new QPushButton(QStringLiteral("OK"), this);
    okBtn->setGeometry(230, 318, 75, 25);
    connect(okBtn, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    okBtn->installEventFilter(this);
    // The text is read first; Return closes the window only from "OK".
    platform::setUpDialogKeys(*this, [this] { return helpMemo; });
}

bool ThelpForm::loadHelp(const QString& directory) {
    helpMemo->clear();
    QString path = QDir(directory).filePath(fileName_);
    if (!QFileInfo::exists(path) && !installedDirectory_.isEmpty())
        path = QDir(installedDirectory_).filePath(fileName_);
    if (!QFileInfo::exists(path)) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error(tr("Nie można otworzyć pliku %1.").arg(path).toStdString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw std::runtime_error(tr("Błąd odczytu pliku %1.").arg(path).toStdString());
    }
    helpMemo->setPlainText(splitTextLines(decodeCp1250(bytes)).join(u'\n'));
    return true;
}

bool ThelpForm::eventFilter(QObject* watched, QEvent* event) {
    // Escape closes the window only from the button; in the text it does nothing.
    if (watched == okBtn && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        done(QDialog::Accepted);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ThelpForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
