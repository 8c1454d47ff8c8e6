#include "config/CorrectionGrid.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>

// Editors that report every change the operator types, with the cell they edit.
class CorrectionGrid::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(CorrectionGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        const int column = index.column();
        const int row = index.row();
        CorrectionGrid* grid = grid_;
        connect(edit, &QLineEdit::textEdited, grid, [grid, column, row](const QString& text) {
            grid->justRefocused_ = false;
            if (auto handler = grid->onEditText) handler(column, row, text);
        });
        return edit;
    }

private:
    CorrectionGrid* grid_;
};

CorrectionGrid::CorrectionGrid(int rows, int columns, QWidget* parent)
    : QTableWidget(rows, columns, parent) {
    setItemDelegate(new Delegate(this));
}

QLineEdit* CorrectionGrid::editor() const {
    return editorOpen() ? qobject_cast<QLineEdit*>(indexWidget(currentIndex())) : nullptr;
}

void CorrectionGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    justRefocused_ = false;
    if (hint == QAbstractItemDelegate::RevertModelCache) {
        if (auto handler = onEditReverted) handler();
        QTableWidget::closeEditor(editor, hint);
        return;
    }
    const QModelIndex index = currentIndex();
    closingEditor_ = true;
    const bool accepted = !onEditorClosing || onEditorClosing(index.column(), index.row());
    closingEditor_ = false;
    // A refused text stays in its cell; the editor does not move on to the next one.
    QTableWidget::closeEditor(editor, accepted ? hint : QAbstractItemDelegate::NoHint);
    if (pendingRefocus_) {
        const QPoint cell = *pendingRefocus_;
        pendingRefocus_.reset();
        refocusCell(cell.x(), cell.y());
    }
}

void CorrectionGrid::refocusCell(int column, int row) {
    if (closingEditor_) {
        pendingRefocus_ = QPoint(column, row);
        return;
    }
    setFocus();
    if (!editorOpen() || currentIndex() != model()->index(row, column)) {
        setCurrentCell(row, column);
        openEditorAt(column, row);
    }
    if (QLineEdit* edit = editor()) {
        edit->setFocus();
        edit->selectAll();
        justRefocused_ = true;
    }
}

void CorrectionGrid::openEditorAt(int column, int row) {
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row, column, cell);
    }
    editItem(cell);
}

bool CorrectionGrid::mayMoveTo(const QModelIndex& index) {
    if (!editorOpen() || !index.isValid() || index == currentIndex()) return true;
    return !onSelectionMoving || onSelectionMoving(index.column(), index.row());
}

QModelIndex CorrectionGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    return mayMoveTo(next) ? next : currentIndex();
}

void CorrectionGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex target = indexAt(event->position().toPoint());
    if (editorOpen() && target.isValid() && target != currentIndex()) {
        // The press that took the focus from the editor has just had its text refused and the
        // editor reopened; the operator has been told once.
        const bool refuse = justRefocused_ || !mayMoveTo(target);
        if (refuse) {
            event->accept();
            return;
        }
    }
    QTableWidget::mousePressEvent(event);
}

void CorrectionGrid::focusOutEvent(QFocusEvent* event) {
    QTableWidget::focusOutEvent(event);
    const QWidget* now = QApplication::focusWidget();
    if (now && !isAncestorOf(now) && now != this) {
        if (auto handler = onExit) handler();
    }
}
