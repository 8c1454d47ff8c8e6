// The segment correction dialog's checks of the operator's typing.
#include <QCursor>
#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

#include "config/CorrectionGrid.h"
#include "config/Entries.h"
#include "config/coordUnit.h"
#include "platform/Prompts.h"

namespace {

QString cellText(const QTableWidget* grid, int column, int row) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

}  // namespace

void TcoordForm::SetEditText(Axis axis, int column, int row, const QString& text) {
    lastEditAxis = axis;
    lastEditColumn = column;
    lastEditRow = row;
    lastEditText = text;
}

void TcoordForm::clearLastEdit() {
    lastEditAxis.reset();
    lastEditColumn = lastEditRow = -1;
    lastEditText.clear();
}

bool TcoordForm::validateLastEdit(Axis axis, int column, int row) {
    // Only what the operator typed into this very cell of this grid is checked: an editor opened
    // and left untouched keeps what the cell held.
    if (lastEditAxis != axis || column != lastEditColumn || row != lastEditRow) return true;
    return ValidateCell(grid(axis), column, lastEditText, row);
}

bool TcoordForm::editorClosing(Axis axis, int column, int row) {
    const bool accepted = PointerOverExit() || validateLastEdit(axis, column, row);
    // A text taken is the cell's own from now on; a refused one is checked again next time.
    if (accepted) clearLastEdit();
    return accepted;
}

bool TcoordForm::ValidateCell(QTableWidget* g, int column, const QString& text, int row) {
    const std::optional<double> value = ParseCellValue(text);
    if (!value) return refuseCell(g, column, row, tr("Niepoprawna wartość."), false);
    if (row == 1 || column == 2) return true;

    const std::optional<double> above = ParseCellValue(cellText(g, 1, row - 1));
    if (!above) {
        return refuseCell(g, column, row, tr("Niepoprawna poprzednia wartość."), false);
    }

    MayLeaveGrid = true;
    if (*value >= *above) return true;
    if (!WarningShown) refuseCell(g, column, row, tr("Wartości powinny rosnąć."), true);
    return false;
}

bool TcoordForm::refuseCell(QTableWidget* g, int column, int row, const QString& message,
                            bool warning) {
    // The check runs while Qt closes the editor or hands it a key: a message box's event loop
    // there would delete the editor under Qt's feet. The grid holds the cell until the message
    // has been shown from the dialog's own event loop.
    auto* correction = qobject_cast<CorrectionGrid*>(g);
    if (correction) correction->hold();
    QPointer<QTableWidget> target(g);
    QMetaObject::invokeMethod(
        this,
        [this, target, column, row, message, warning] {
            if (!target) return;
            if (isVisible()) {
                if (warning) WarningShown = true;
                prompts_.showMessage(message);
                RefocusCell(target, column, row);
                if (warning) WarningShown = false;
            }
            if (auto* held = qobject_cast<CorrectionGrid*>(target.data())) held->release();
        },
        Qt::QueuedConnection);
    return false;
}

void TcoordForm::RefocusCell(QTableWidget* g, int column, int row) {
    MayLeaveGrid = false;
    if (auto* correction = qobject_cast<CorrectionGrid*>(g)) correction->refocusCell(column, row);
}

void TcoordForm::GridExit(Axis axis) {
    CorrectionGrid* g = grid(axis);
    if (!MayLeaveGrid && g->editorOpen()) g->setFocus();
}

bool TcoordForm::PointerOverExit() const {
    const QPoint at = exitButton->mapFromGlobal(QCursor::pos());
    return at.x() >= 0 && at.x() <= exitButton->width() && at.y() >= 0 &&
           at.y() <= exitButton->height();
}

void TcoordForm::exitButtonMouseDown(Qt::MouseButton button) {
    if (button == Qt::LeftButton) done(CancelResult);
}

bool TcoordForm::eventFilter(QObject* watched, QEvent* event) {
    // A disabled button gets no presses, though its event filter still sees them.
    if (watched == exitButton && event->type() == QEvent::MouseButtonPress &&
        exitButton->isEnabled()) {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        exitButtonMouseDown(button);
        // Already closed: the press is not turned into a click as well.
        if (button == Qt::LeftButton) return true;
    }
    return ConfigDialog::eventFilter(watched, event);
}
