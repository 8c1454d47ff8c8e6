#pragma once

#include <QTableWidget>
#include <functional>
#include <optional>

class QLineEdit;

// A correction table's grid with the three notifications its dialog checks the operator's
// typing by: the editor's text changed, the editor is closing with its text kept (refusable:
// the editor then opens again on the same cell), and the selection is about to move to another
// cell while the editor is open (refusable: the selection stays). Cells are addressed as
// (column, row), the header row and number column included.
class CorrectionGrid : public QTableWidget {
    Q_OBJECT
public:
    CorrectionGrid(int rows, int columns, QWidget* parent);

    std::function<void(int column, int row, const QString& text)> onEditText;
    // The operator dropped the typing (Escape): the cell keeps its text.
    std::function<void()> onEditReverted;
    std::function<bool(int column, int row)> onEditorClosing;
    std::function<bool(int column, int row)> onSelectionMoving;
    // The focus went to a widget outside the grid.
    std::function<void()> onExit;

    bool editorOpen() const { return state() == EditingState; }
    // The open editor, if any.
    QLineEdit* editor() const;
    // Focus on the grid, (column, row) current, its editor open with the whole text selected.
    // Asked for while an editor is closing, it follows once the editor has closed.
    void refocusCell(int column, int row);

protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    class Delegate;
    bool mayMoveTo(const QModelIndex& index);
    void openEditorAt(int column, int row);

    bool closingEditor_ = false;
    std::optional<QPoint> pendingRefocus_;  // (column, row)
    // The editor was opened again for a refused text that has not been touched since.
    bool justRefocused_ = false;
};
