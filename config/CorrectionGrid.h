#pragma once

#include <QTableWidget>
#include <functional>

class QLineEdit;

// A correction table's grid with the three notifications its dialog checks the operator's
// typing by: the editor's text changed, the editor is closing with its text kept (refusable:
// the selection then stays on the cell), and the selection is about to move to another cell
// while the editor is open (refusable: the selection stays). Cells are addressed as
// (column, row), the header row and number column included.
//
// The checks answer at once and show nothing: a message box runs an event loop of its own, and
// an editor that Qt is closing or handing a key to must not be deleted under it. A refusal holds
// the selection on its cell (hold) until the dialog has told the operator and opened the editor
// again (refocusCell, release).
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
    void refocusCell(int column, int row);

    // While held, editors close without being checked or moving on, and neither keys nor the
    // mouse move the selection.
    void hold() { held_ = true; }
    void release() { held_ = false; }
    bool held() const { return held_; }

    // A cell of the title row (row 0) or of the row-number column (column 0). The titles are
    // shown by the grid's own header, which stays in view while the rows scroll; row 0 itself is
    // hidden. The numbers look like headers. No key or click lands on either.
    void setTitleCell(int column, int row, const QString& text);

protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    class Delegate;
    bool mayMoveTo(const QModelIndex& index);
    void openEditorAt(int column, int row);

    bool held_ = false;
};
