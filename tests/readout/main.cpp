#include <gtest/gtest.h>

#include <QApplication>

namespace {
// The offscreen platform warns about every fixed-size window; nothing to learn from that.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints"))) return;
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
