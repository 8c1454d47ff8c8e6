// F11 on screens of every size and shape (screens.json), after a window manager stretched and
// squeezed the window: everything lies on the screen, and the rows take all the height left.
#include <QLayout>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <map>

#include "app/FullScreen.h"
#include "readout/Figures.h"
#include "tests/readout/Harness.h"

namespace {

class FullScreenSizes : public readouttest::ReadoutTest {
protected:
    FullScreenReadout fullScreen{*form};

    void press(Qt::Key key) {
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), key);
        QCoreApplication::processEvents();
    }
};

TEST_F(FullScreenSizes, EverythingFitsAndFiguresTakeTheRoomOfMissingRows) {
    ASSERT_EQ(QGuiApplication::screens().size(), 4) << "screens.json not read";
    const std::uint8_t kinds[] = {0x30, 0x20, 0x10};  // three, two and one axis
    for (QScreen* screen : QGuiApplication::screens()) {
        std::map<int, int> figures, rows;  // by axes shown
        for (const std::uint8_t readiness : kinds) {
            SCOPED_TRACE(screen->name().toStdString() + " kind " + std::to_string(readiness));
            form->setScreen(screen);
            form->move(screen->geometry().topLeft());
            startOrRestartLink();
            readouttest::BoxConfig config;
            config.readiness = readiness;
            ASSERT_EQ(readouttest::lastOf(answerConfiguration(config)), 0xE1);
            for (const QSize forced : {QSize(900, 500), QSize(300, 150)}) {
                form->windowHandle()->resize(forced);
                QCoreApplication::processEvents();
            }
            ASSERT_EQ(form->size(), QSize(300, 150));

            ASSERT_NO_FATAL_FAILURE(press(Qt::Key_F11));
            EXPECT_EQ(form->geometry(), screen->geometry());
            for (const QWidget* w : form->findChildren<QWidget*>()) {
                if (!w->isVisible() || w->window() != form.get()) continue;
                const QRect placed(w->mapTo(form.get(), QPoint(0, 0)), w->size());
                EXPECT_TRUE(form->rect().contains(placed))
                    << w->metaObject()->className() << " " << w->accessibleName().toStdString();
            }
            const QLayout* content = form->centralWidget()->layout();
            EXPECT_GT(content->minimumSize().height(), form->centralWidget()->height() * 0.95);
            const int axes = service.AxisCount;
            figures[axes] = form->xxLabel->font().pixelSize();
            rows[axes] = form->xPanel->height();
            // Grown or not, the figures show a reading of the usual length whole.
            EXPECT_LE(QFontMetrics(form->xxLabel->font()).horizontalAdvance("-0000.0000"),
                      form->xxLabel->width());

            ASSERT_NO_FATAL_FAILURE(press(Qt::Key_Escape));
            EXPECT_EQ(form->width(), 660);  // the normal window, not the squeezed one
        }
        SCOPED_TRACE(screen->name().toStdString());
        EXPECT_GT(rows[2], rows[3]);
        EXPECT_GT(rows[1], rows[2]);
        EXPECT_GE(figures[2], figures[3]);
        EXPECT_GE(figures[1], figures[2]);
    }
}

}  // namespace
