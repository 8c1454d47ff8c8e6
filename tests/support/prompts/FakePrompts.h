#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/Prompts.h"

namespace testsupport {

// Prompts for window tests: records every text shown, in order, and scripts the operator.
//
// A "modal" dialog is shown non-modally, then whileDialogOpen runs (it may advance the clock and
// deliver bytes, and so close the dialog from outside with done(7)); a dialog still open after
// that is closed with dialogAnswer. Message boxes work the same way with whileMessageOpen.
class FakePrompts : public platform::Prompts {
public:
    void showMessage(const QString& text) override;
    int execModal(QDialog& dialog) override;
    void showException(const QString& message) override;

    // Scripting.
    std::function<void(QDialog& dialog)> whileDialogOpen;
    std::function<void(const QString& text)> whileMessageOpen;
    int dialogAnswer = 6;

    // What happened, in order: "message: <text>", "dialog: <title>", "dialog result: <n>",
    // "exception: <text>".
    QStringList log;
    QStringList messages;
    QStringList exceptions;
    QList<int> dialogResults;
    int dialogCount = 0;
    // The deepest nesting of prompts seen (a dialog opened from inside another's hook counts 2).
    int maxDepth = 0;

    // Prompts open right now (1 inside a hook of the outermost one).
    int depth() const { return depth_; }
    void clear();

private:
    struct DepthGuard;
    int depth_ = 0;
};

}  // namespace testsupport
