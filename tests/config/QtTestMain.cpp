// GoogleTest main for tests of windows: one QApplication, offscreen unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>

namespace {
QtMessageHandler previousHandler = nullptr;

// The offscreen platform says so every time a dialog is shown; nothing a test looks at.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("does not support raise()"))) return;
    if (previousHandler) previousHandler(type, context, text);
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
