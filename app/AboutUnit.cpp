#include "app/AboutUnit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <array>

#include "platform/DialogKeys.h"

namespace {

// The letters that, typed in a row, reveal the hidden text.
constexpr std::array<int, 5> sequence = {Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N, Qt::Key_T};

// Where each character of the hidden text comes from: a label (3 or 9), a position in its text,
// and what to add to the character code.
struct Pick {
    int label;
    int position;
    int raise;
};
constexpr std::array<Pick, 19> hiddenPicks = {{
    {3, 10, 0}, {3, 11, 0}, {3, 12, 0}, {3, 13, 0}, {3, 14, 0}, {3, 15, 0}, {3, 16, 0},
    {3, 17, 0}, {3, 18, 0}, {3, 19, 0}, {9, 16, 0}, {3, 21, 0}, {3, 22, 0}, {3, 23, 0},
    {3, 24, 0}, {3, 25, 0}, {3, 26, 0}, {3, 27, 0}, {9, 15, 1},
}};

QLabel* makeLabel(QWidget* parent, const QString& text, int x, int y, int w, int h, bool bold,
                  bool blue = false) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, w, h);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    if (blue) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        label->setPalette(palette);
    }
    return label;
}

}  // namespace

TlogoForm::TlogoForm(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setWindowTitle(tr("O Autorach"));
    setFixedSize(400, 192);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(silver);
    setAutoFillBackground(true);

    Label3 =
        makeLabel(this, QStringLiteral("Pracownia Elektroniki Pomiarowej"), 12, 8, 376, 22, false);
    QFont italic = Label3->font();
    italic.setItalic(true);
    italic.setPixelSize(16);
    Label3->setFont(italic);
    Label4 =
        makeLabel(this, QStringLiteral("ul. Przykładowa 1\n00-000 Miasto"), 12, 34, 200, 32, true);
    Label5 = makeLabel(this, tr("tel. (00) 000 00 00"), 12, 70, 200, 16, true);
    Label6 = makeLabel(this, tr("fax (00) 000 00 01"), 12, 88, 200, 16, true);
    Label11 = makeLabel(this, tr("tel. kom. 000 000 000"), 12, 106, 200, 16, true);
    Label9 = makeLabel(this, QStringLiteral("www.pracownia.example"), 196, 34, 200, 16, true, true);
    Label10 = makeLabel(this, tr("Zapraszamy do kontaktu:\nbiuro@pracownia.example"), 196, 56, 200,
                        32, true, true);
    verLabel = makeLabel(this, tr("Wersja 2.1"), 12, 160, 200, 16, false);

    Btn = new QPushButton(QStringLiteral("OK"), this);
    Btn->setGeometry(312, 156, 75, 25);
    connect(Btn, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    Btn->installEventFilter(this);
    platform::setUpDialogKeys(*this);
}

void TlogoForm::FormKeyDown(int key) {
    const auto progress = static_cast<std::size_t>(keyProgress_);
    if (key == sequence[progress]) {
        if (keyProgress_ < 4) {
            ++keyProgress_;
        } else {
            QString hidden;
            for (const Pick& pick : hiddenPicks) {
                const QString source = pick.label == 3 ? Label3->text() : Label9->text();
                const QChar c = pick.position < source.size() ? source[pick.position] : QChar();
                hidden.append(QChar(char16_t(c.unicode() + pick.raise)));
            }
            verLabel->setText(hidden);
        }
    } else {
        keyProgress_ = 0;
    }
    if (key == Qt::Key_Escape) done(QDialog::Accepted);
}

void TlogoForm::showEvent(QShowEvent* event) {
    keyProgress_ = 0;
    QDialog::showEvent(event);
}

bool TlogoForm::eventFilter(QObject* watched, QEvent* event) {
    // The window sees every key before the control that has the focus; the control then gets it
    // as usual, but it never travels on to the window a second time.
    if (!forwarding_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        FormKeyDown(key);
        if (key != Qt::Key_Escape) {
            forwarding_ = true;
            QCoreApplication::sendEvent(watched, event);
            forwarding_ = false;
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TlogoForm::keyPressEvent(QKeyEvent* event) {
    // A key the control left unused comes back here; the window has seen it already.
    if (!forwarding_) FormKeyDown(event->key());
    event->accept();
}
