#include "readout/HealthWindow.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>

namespace readout {

HealthWindow::HealthWindow(std::function<feed::LinkHealth::Counts()> source, QWidget* parent)
    : QWidget(parent, Qt::Tool), source_(std::move(source)) {
    setWindowTitle(tr("Stan łącza"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("od startu"), this), 0, 1, Qt::AlignRight);
    grid->addWidget(new QLabel(tr("ostatnia minuta"), this), 0, 2, Qt::AlignRight);
    const QString names[rows] = {
        tr("Odczyty na sekundę"),   tr("Odczyty"),           tr("Błędne odpowiedzi"),
        tr("Powtórzone zapytania"), tr("Błędy parzystości"), tr("Błędy ramki"),
        tr("Przepełnienia"),        tr("Utraty łącza"),
    };
    for (int row = 0; row < rows; ++row) {
        auto* name = new QLabel(names[row], this);
        grid->addWidget(name, row + 1, 0);
        for (int column = 0; column < 2; ++column) {
            auto* cell = new QLabel(this);
            cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cell->setTextInteractionFlags(Qt::TextSelectableByMouse);
            cell->setAccessibleName(names[row] + QStringLiteral(", ") +
                                    (column == 0 ? tr("od startu") : tr("ostatnia minuta")));
            grid->addWidget(cell, row + 1, column + 1);
            cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = cell;
        }
    }
    tick_.setInterval(500);
    connect(&tick_, &QTimer::timeout, this, &HealthWindow::refresh);
}

void HealthWindow::refresh() {
    if (!source_) return;
    const feed::LinkHealth::Counts counts = source_();
    const QLocale c = QLocale::c();
    auto set = [&](int row, const QString& start, const QString& minute) {
        cells[static_cast<std::size_t>(row)][0]->setText(start);
        cells[static_cast<std::size_t>(row)][1]->setText(minute);
    };
    set(0, c.toString(counts.ratePerSecond, 'f', 1), c.toString(counts.rateLastMinute, 'f', 1));
    using E = feed::LinkHealth;
    const E::Event events[] = {E::readings, E::invalid, E::retries, E::parity,
                               E::framing,  E::overrun, E::losses};
    for (int i = 0; i < 7; ++i)
        set(i + 1, QString::number(counts.sinceStart[events[i]]),
            QString::number(counts.lastMinute[events[i]]));
}

void HealthWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes it, as every window of the program.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HealthWindow::showEvent(QShowEvent* event) {
    refresh();
    tick_.start();
    QWidget::showEvent(event);
}

void HealthWindow::hideEvent(QHideEvent* event) {
    tick_.stop();
    QWidget::hideEvent(event);
}

}  // namespace readout
