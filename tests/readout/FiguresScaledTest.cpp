// The readout figures on a screen whose pixels are not whole multiples of the window's: desktops
// scaled by 125 % or 175 %. The figures tell Qt they paint every pixel of their own, so nothing is
// painted beneath them; a device pixel they leave out keeps whatever the window held there before
// (an earlier reading's ink, or nothing at all on the first showing).
#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>
#include <QWidget>
#include <string>

#include "readout/Figures.h"

namespace {

// The figures drawn over a background of the given colour, at the screen's pixel ratio: a pixel
// whose colour depends on that background is one the figures did not paint.
QImage drawnOver(QWidget& widget, const QColor& under) {
    const qreal ratio = widget.devicePixelRatioF();
    QPixmap pixmap(qRound(widget.width() * ratio), qRound(widget.height() * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(under);
    widget.render(&pixmap, QPoint(), QRegion(), QWidget::RenderFlags());
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

int unpaintedPixels(QWidget& widget) {
    const QImage overRed = drawnOver(widget, Qt::red);
    const QImage overBlue = drawnOver(widget, Qt::blue);
    int unpainted = 0;
    for (int y = 0; y < overRed.height(); ++y)
        for (int x = 0; x < overRed.width(); ++x)
            unpainted += overRed.pixel(x, y) != overBlue.pixel(x, y);
    return unpainted;
}

// Sized as in the readout window; each reading's characters stand where its own advances put
// them, so the borders between characters fall on other device pixels from text to text.
TEST(FiguresOnAScaledScreen, PaintEveryPixelOfTheirOwn) {
    QWidget window;
    window.resize(470, 80);
    auto* figures = new readout::Figures(QStringLiteral("0.0"), &window);
    QFont font = figures->font();
    font.setPixelSize(27);
    font.setBold(true);
    figures->setFont(font);
    QPalette palette = figures->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 128, 0));
    palette.setColor(QPalette::Window, Qt::white);
    figures->setPalette(palette);
    figures->setGeometry(59, 10, 246, 44);
    window.show();
    QCoreApplication::processEvents();
    ASSERT_NE(figures->devicePixelRatioF(), qRound(figures->devicePixelRatioF()))
        << "this test needs a fractional pixel ratio";

    const char* const readings[] = {"0.0",           "123.456",   "-7654.321", "90'00'00",
                                    "Ref",           "-----",     "49.298",    "1111.111",
                                    "-2147483648.0", "359'59'59", "-0.5000",   "12.346"};
    for (const char* text : readings) {
        figures->setText(QString::fromLatin1(text));
        EXPECT_EQ(unpaintedPixels(*figures), 0) << text;
    }
}

}  // namespace

// Scaled as a desktop at 175 % is, unless the test is run at another scale on purpose.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "1.75");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
