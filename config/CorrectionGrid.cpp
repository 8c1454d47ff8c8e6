#include "config/CorrectionGrid.h"

#include <QApplication>
#include <QHeaderView>
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
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    setRowHidden(0, true);
}

void CorrectionGrid::setTitleCell(int column, int row, const QString& text) {
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        // Neither enabled nor selectable: the view's keyboard moves pass over such cells.
        cell->setFlags(Qt::NoItemFlags);
        // Drawn as the header is, not greyed out as a disabled cell would be.
        cell->setBackground(palette().button());
        cell->setForeground(palette().buttonText());
        cell->setTextAlignment(Qt::AlignCenter);
        setItem(row, column, cell);
    }
    cell->setText(text);
    if (row == 0) {
        if (!horizontalHeaderItem(column)) setHorizontalHeaderItem(column, new QTableWidgetItem);
        horizontalHeaderItem(column)->setText(text);
        setRowHidden(0, true);
    }
}

QLineEdit* CorrectionGrid::editor() const {
    return editorOpen() ? qobject_cast<QLineEdit*>(indexWidget(currentIndex())) : nullptr;
}

void CorrectionGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (hint == QAbstractItemDelegate::RevertModelCache) {
        if (auto handler = onEditReverted) handler();
        QTableWidget::closeEditor(editor, hint);
        return;
    }
    const QModelIndex index = currentIndex();
    const bool accepted =
        !held_ && (!onEditorClosing || onEditorClosing(index.column(), index.row()));
    // A refused text stays in its cell; the editor does not move on to the next one.
    QTableWidget::closeEditor(editor, accepted ? hint : QAbstractItemDelegate::NoHint);
}

void CorrectionGrid::refocusCell(int column, int row) {
    setFocus();
    if (!editorOpen() || currentIndex() != model()->index(row, column)) {
        setCurrentCell(row, column);
        openEditorAt(column, row);
    }
    if (QLineEdit* edit = editor()) {
        edit->setFocus();
        edit->selectAll();
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
    if (!index.isValid() || index == currentIndex()) return true;
    if (held_) return false;
    if (!editorOpen()) return true;
    return !onSelectionMoving || onSelectionMoving(index.column(), index.row());
}

QModelIndex CorrectionGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    return mayMoveTo(next) ? next : currentIndex();
}

void CorrectionGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex target = indexAt(event->position().toPoint());
    if (!mayMoveTo(target)) {
        event->accept();
        return;
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
