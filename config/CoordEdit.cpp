// The segment correction dialog's checks of the operator's typing.
#include <QCursor>
#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
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

// Set for the length of a message shown over a check.
class Guard {
public:
    explicit Guard(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~Guard() { flag_ = was_; }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    bool& flag_;
    bool was_;
};

}  // namespace

void TcoordForm::SetEditText(Axis, int column, int row, const QString& text) {
    lastEditColumn = column;
    lastEditRow = row;
    lastEditText = text;
}

bool TcoordForm::validateLastEdit(Axis axis, int column, int row) {
    // Only what the operator typed into this very cell is checked: an editor opened and left
    // untouched keeps what the cell held.
    if (column != lastEditColumn || row != lastEditRow) return true;
    return ValidateCell(grid(axis), column, lastEditText, row);
}

bool TcoordForm::ValidateCell(QTableWidget* g, int column, const QString& text, int row) {
    const auto refuse = [&](const char* message) {
        {
            Guard guard(validating_);
            prompts_.showMessage(QString::fromUtf8(message));
        }
        RefocusCell(g, column, row);
        return false;
    };
    const std::optional<double> value = ParseCellValue(text);
    if (!value) return refuse("Niepoprawna wartość.");
    if (row == 1 || column == 2) return true;

    const std::optional<double> above = ParseCellValue(cellText(g, 1, row - 1));
    if (!above) return refuse("Niepoprawna poprzednia wartość.");

    MayLeaveGrid = true;
    if (*value >= *above) return true;
    if (!WarningShown) {
        WarningShown = true;
        refuse("Wartości powinny rosnąć.");
        WarningShown = false;
    }
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
