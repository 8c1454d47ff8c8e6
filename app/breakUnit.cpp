#include "app/breakUnit.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

TbreakForm::TbreakForm(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("Informacja"));
    setFixedSize(236, 88);

    Image = new QLabel(this);
    Image->setGeometry(8, 8, 32, 32);
    Image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));

    txtLabel = new QLabel(this);
    txtLabel->setGeometry(48, 6, 184, 44);
    txtLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont bold = txtLabel->font();
    bold.setBold(true);
    txtLabel->setFont(bold);
    txtLabel->setText(QStringLiteral("23::Przerwa w transmisji\r\nChcesz przerwać czekanie?"));

    yesBtn = new QPushButton(QStringLiteral("TAK"), this);
    yesBtn->setGeometry(80, 56, 75, 25);
    yesBtn->setDefault(true);
    connect(yesBtn, &QPushButton::clicked, this, [this] { done(ResultYes); });
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
