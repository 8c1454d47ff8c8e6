#include "tests/support/prompts/FakePrompts.h"

#include <QDialog>
#include <algorithm>

namespace testsupport {

struct FakePrompts::DepthGuard {
    explicit DepthGuard(FakePrompts& p) : prompts(p) {
        ++prompts.depth_;
        prompts.maxDepth = std::max(prompts.maxDepth, prompts.depth_);
    }
    ~DepthGuard() { --prompts.depth_; }
    FakePrompts& prompts;
};

void FakePrompts::showMessage(const QString& text) {
    DepthGuard guard(*this);
    messages << text;
    log << QStringLiteral("message: ") + text;
    if (auto hook = whileMessageOpen) hook(text);
}

int FakePrompts::execModal(QDialog& dialog) {
    DepthGuard guard(*this);
    ++dialogCount;
    log << QStringLiteral("dialog: ") + dialog.windowTitle();
    dialog.setResult(0);
    dialog.show();
    if (auto hook = whileDialogOpen) hook(dialog);
    if (dialog.isVisible()) dialog.done(dialogAnswer);
    const int result = dialog.result();
    dialogResults << result;
    log << QStringLiteral("dialog result: ") + QString::number(result);
    return result;
}

void FakePrompts::showException(const QString& message) {
    exceptions << message;
    log << QStringLiteral("exception: ") + message;
}

void FakePrompts::clear() {
    log.clear();
    messages.clear();
    exceptions.clear();
    dialogResults.clear();
    dialogCount = 0;
    maxDepth = 0;
}

}  // namespace testsupport
