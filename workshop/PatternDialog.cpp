#include "workshop/PatternDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "platform/DialogKeys.h"
#include "platform/Prompts.h"
#include "readout/Formats.h"

namespace workshop {

namespace {

QLineEdit* entry(const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setMaxLength(16);
    return edit;
}

}  // namespace

PatternDialog::PatternDialog(bool circle, const Display& display, platform::Prompts& prompts,
                             QWidget* parent)
    : QDialog(parent), circle_(circle), display_(display), prompts_(prompts) {
    setWindowTitle(circle ? tr("Okrąg otworów") : tr("Rząd lub siatka otworów"));
    const QString unit = display.length == LengthUnit::inch ? QStringLiteral("in")
                                                            : QStringLiteral("mm");
    auto* form = new QFormLayout(this);
    nameEdit = entry(circle ? tr("Otwór") : tr("Punkt"), this);
    nameEdit->setMaxLength(30);
    xEdit = entry(QStringLiteral("0"), this);
    yEdit = entry(QStringLiteral("0"), this);
    sizeEdit = entry(QString(), this);
    stepYEdit = entry(QStringLiteral("0"), this);
    angleEdit = entry(QStringLiteral("0"), this);
    countSpin = new QSpinBox(this);
    countSpin->setRange(0, maxPoints);
    countSpin->setValue(circle ? 6 : 1);
    rowsSpin = new QSpinBox(this);
    rowsSpin->setRange(0, maxPoints);
    rowsSpin->setValue(1);
    clockwiseCheck = new QCheckBox(tr("&zgodnie z ruchem wskazówek zegara"), this);
    form->addRow(tr("&Nazwa"), nameEdit);
    form->addRow(circle ? tr("Środek &X [%1]").arg(unit) : tr("Początek &X [%1]").arg(unit), xEdit);
    form->addRow(circle ? tr("Środek &Y [%1]").arg(unit) : tr("Początek &Y [%1]").arg(unit), yEdit);
    if (circle) {
        form->addRow(tr("Ś&rednica [%1]").arg(unit), sizeEdit);
        form->addRow(tr("&Liczba otworów"), countSpin);
        form->addRow(tr("Kąt &początkowy [°]"), angleEdit);
        form->addRow(QString(), clockwiseCheck);
        stepYEdit->hide();
        rowsSpin->hide();
    } else {
        form->addRow(tr("&Odstęp w rzędzie [%1]").arg(unit), sizeEdit);
        form->addRow(tr("&Liczba w rzędzie"), countSpin);
        form->addRow(tr("Odstęp &między rzędami [%1]").arg(unit), stepYEdit);
        form->addRow(tr("Liczba &rzędów"), rowsSpin);
        form->addRow(tr("Kąt &rzędu [°]"), angleEdit);
        clockwiseCheck->hide();
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    addButton = buttons->button(QDialogButtonBox::Ok);
    addButton->setText(tr("Dodaj punkty"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Anuluj"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PatternDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PatternDialog::reject);
    form->addRow(buttons);
    platform::setUpDialogKeys(*this, [this] { return sizeEdit; },
                              buttons->button(QDialogButtonBox::Cancel));
}

void PatternDialog::accept() {
    const AxisView length;  // a plain length in the unit shown
    const auto number = [&](QLineEdit* edit, bool angle) -> std::optional<double> {
        const std::string text = edit->text().toStdString();
        if (angle) {
            AxisView degrees;
            degrees.angular = true;
            return typedValue(text, degrees, display_);
        }
        return typedValue(text, length, display_);
    };
    QLineEdit* const fields[] = {xEdit, yEdit, sizeEdit, stepYEdit, angleEdit};
    std::optional<double> values[5];
    for (int k = 0; k < 5; ++k) {
        values[k] = number(fields[k], fields[k] == angleEdit);
        if (!values[k] && fields[k]->isVisible()) {
            prompts_.showMessage(tr("To nie jest liczba: „%1”.").arg(fields[k]->text()));
            fields[k]->setFocus();
            fields[k]->selectAll();
            return;
        }
    }
    const std::string name = nameEdit->text().trimmed().toStdString();
    Generated made;
    if (circle_) {
        made = boltCircle({*values[0], *values[1], *values[2], countSpin->value(), *values[4],
                           clockwiseCheck->isChecked()},
                          name);
    } else {
        made = grid({*values[0], *values[1], *values[2], values[3].value_or(0), countSpin->value(),
                     rowsSpin->value(), *values[4]},
                    name);
    }
    if (!made.error.empty()) {
        prompts_.showMessage(QString::fromStdString(made.error));
        return;
    }
    points_ = std::move(made.points);
    QDialog::accept();
}

}  // namespace workshop
