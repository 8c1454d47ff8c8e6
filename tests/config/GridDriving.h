#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QTest>

#include "config/CorrectionGrid.h"

namespace configtest {

// As the main loop runs between two actions of the operator: everything queued is delivered
// (also what that queues in turn) and closed editors are deleted.
inline void settle() {
    for (int pass = 0; pass < 10; ++pass) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The operator goes to the cell with the keyboard, opens its editor with F2 and types over the
// cell's text. The cell must exist.
inline QLineEdit* typeInto(CorrectionGrid* grid, int column, int row, const QString& text) {
    grid->setFocus();
    grid->setCurrentCell(row, column);
    QTest::keyClick(grid, Qt::Key_F2);
    QLineEdit* editor = grid->editor();
    EXPECT_NE(editor, nullptr);
    if (!editor) return nullptr;
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClicks(editor, text);
    return editor;
}

}  // namespace configtest
