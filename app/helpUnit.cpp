#include "app/helpUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "app/Cp1250.h"
#include "platform/DialogKeys.h"
#include "platform/ScreenFit.h"

ThelpForm::ThelpForm(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setWindowTitle(tr("Pomoc"));

    helpMemo = new QPlainTextEdit(this);
    helpMemo->setReadOnly(true);
    // The help text lines up its columns with blanks. The window is made as wide as its longest
    // line; where the screen is narrower, a line goes on below rather than being cut.
    helpMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    helpMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    helpMemo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    helpMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    okBtn = new QPushButton(QStringLiteral("OK"), this);
    okBtn->setFixedSize(75, 25);
    connect(okBtn, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 5);
    layout->setSpacing(5);
    layout->addWidget(helpMemo, 1);
    layout->addWidget(okBtn, 0, Qt::AlignHCenter);
    resize(536, 348);
    // The text is read first; Return closes the window only from "OK", Escape from anywhere.
    platform::setUpDialogKeys(
        *this, [this] { return helpMemo; }, okBtn);
}

void ThelpForm::fitToText() {
    const QFontMetrics metrics(helpMemo->font());
    int widest = 0;
    const QStringList lines = helpMemo->toPlainText().split(u'\n');
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    // Around the text: the document's margins, the memo's frame, its scroll bar, and a pixel for
    // the cursor at a line's end.
    const int margins = 2 * static_cast<int>(std::ceil(helpMemo->document()->documentMargin())) +
                        2 * helpMemo->frameWidth() + 1;
    const int textWidth = widest + margins + helpMemo->verticalScrollBar()->sizeHint().width();
    const int textHeight = static_cast<int>(lines.size()) * metrics.lineSpacing() + margins;
    const int below = okBtn->height() + layout()->spacing() + layout()->contentsMargins().bottom();
    platform::resizeWithinScreen(
        *this, QSize(std::max(536, textWidth), std::clamp(textHeight + below, 348, 600)));
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
    fitToText();
    return true;
}
