#include "app/breakUnit.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

#include "platform/DialogKeys.h"
#include "platform/QtPrompts.h"

namespace {

// The texts the main window sets break their lines with CR LF or LF CR; the label shows each
// pair as one line break (and keeps the text as it was given).
class LinesLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                              isEnabled(), platform::displayLines(text()), foregroundRole());
    }
};

}  // namespace

TbreakForm::TbreakForm(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setWindowTitle(tr("Informacja"));
    setFixedSize(236, 88);

    Image = new QLabel(this);
    Image->setGeometry(8, 8, 32, 32);
    Image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));

    txtLabel = new LinesLabel(this);
    txtLabel->setGeometry(46, 6, 188, 44);
    txtLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont bold = txtLabel->font();
    bold.setBold(true);
    bold.setPixelSize(11);  // two lines of the longest message fit the small window
    txtLabel->setFont(bold);
    txtLabel->setText(tr("23::Przerwa w transmisji\r\nChcesz przerwać czekanie?"));

    yesBtn = new QPushButton(tr("TAK"), this);
    yesBtn->setGeometry(80, 56, 75, 25);
    connect(yesBtn, &QPushButton::clicked, this, [this] { done(ResultYes); });
    // Its one button has the focus, and Return presses it as before.
    platform::setUpDialogKeys(*this);
}

void TbreakForm::done(int result) {
    QDialog::done(result == ResultYes || result == ResultNo ? result : ResultYes);
}

void TbreakForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        done(ResultYes);
        return;
    }
    QDialog::keyPressEvent(event);
}
