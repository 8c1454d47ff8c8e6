#include <gtest/gtest.h>

#include <QApplication>

namespace {
// The offscreen platform warns of every window call it cannot honour; nothing to learn there.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("This plugin does not support"))) return;
    qt_message_output(type, context, text);
}
}  // namespace

// The window tests need a widget application; they run on the offscreen platform.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
