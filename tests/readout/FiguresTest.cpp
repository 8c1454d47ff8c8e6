// The readout figures paint themselves from pictures of their characters. What the operator sees
// must still be the text, where the label would put it, in the colour and size it has now, with
// nothing left of an earlier text: checked on the pixels, against a plain label and on screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <string>

#include "readout/Figures.h"
#include "tests/readout/Harness.h"

namespace {

const QColor paper = Qt::white;
const QColor green(0, 128, 0);
const QColor grey(128, 128, 128);

// The box holding every pixel that is not the background.
QRect inkBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != paper) box |= QRect(x, y, 1, 1);
    return box;
}

// Whether a pixel of exactly this colour is drawn: the solid inside of a stroke.
bool hasInk(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour) return true;
    return false;
}

void style(QWidget& label, int pixelSize, const QColor& ink) {
    if (auto* plain = qobject_cast<QLabel*>(&label))
        plain->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont font = label.font();
    font.setPixelSize(pixelSize);
    font.setBold(true);
    label.setFont(font);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, ink);
    palette.setColor(QPalette::Window, paper);
    label.setPalette(palette);
    label.setAutoFillBackground(true);
    label.resize(300, 40);
}

QImage picture(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class FiguresText : public ::testing::TestWithParam<std::string> {};

TEST_P(FiguresText, StandWhereTheLabelWouldPutThemInItsColour) {
    const QString text = QString::fromStdString(GetParam());
    QLabel plain(text);
    readout::Figures figures(text, nullptr);
    style(plain, 27, green);
    style(figures, 27, green);
    const QImage expected = picture(plain);
    const QImage drawn = picture(figures);
    const QRect want = inkBox(expected);
    const QRect got = inkBox(drawn);
    ASSERT_FALSE(want.isEmpty());
    // Right-aligned on the same edge and at the same height; each character stands on a whole
    // pixel, so the left end may differ by a pixel a character.
    EXPECT_NEAR(got.right(), want.right(), 1) << text.toStdString();
    EXPECT_NEAR(got.top(), want.top(), 1) << text.toStdString();
    EXPECT_NEAR(got.bottom(), want.bottom(), 1) << text.toStdString();
    EXPECT_NEAR(got.left(), want.left(), static_cast<double>(text.size())) << text.toStdString();
    EXPECT_TRUE(hasInk(drawn, green)) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Readings, FiguresText,
                         ::testing::Values(std::string("-1234.567"), std::string("98.765"),
                                           std::string("154'33'36"), std::string("-359'59'59"),
                                           std::string("-----"), std::string("0.0"),
                                           std::string("Ref"), std::string("0.000000")));

// A character whose ink leaves its own advance is drawn the usual way: it must still show.
TEST(Figures, OverhangingCharactersStillShow) {
    const QString text = QStringLiteral("fff/jj");
    QLabel plain(text);
    readout::Figures figures(text, nullptr);
    for (QWidget* label : {static_cast<QWidget*>(&plain), static_cast<QWidget*>(&figures)}) {
        style(*label, 40, green);
        QFont font = label->font();
        font.setItalic(true);
        label->setFont(font);
    }
    const QRect want = inkBox(picture(plain));
    const QRect got = inkBox(picture(figures));
    ASSERT_FALSE(want.isEmpty());
    EXPECT_NEAR(got.right(), want.right(), 1);
    EXPECT_NEAR(got.left(), want.left(), static_cast<double>(text.size()));
}

// The figures in a window on the (offscreen) screen; what it shows is read back from the screen,
// so it is what the posted repaints left there.
class FiguresOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        panel.resize(320, 60);
        panel.setAutoFillBackground(true);
        QPalette palette = panel.palette();
        palette.setColor(QPalette::Window, paper);
        panel.setPalette(palette);
        figures = new readout::Figures(QStringLiteral("-1234.567"), &panel);
        style(*figures, 27, green);
        figures->move(10, 10);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }

    QImage shown() {
        QCoreApplication::processEvents();
        const QImage image = panel.screen()->grabWindow(panel.winId()).toImage();
        return image.copy(figures->geometry()).convertToFormat(QImage::Format_RGB32);
    }

    QFrame panel;
    readout::Figures* figures = nullptr;
};

// Each new text repaints only where it differs from the old; the screen must then hold exactly
// what painting the whole text afresh gives, whatever the change: last digits, sign, length,
// a text of another kind, a character drawn the usual way and back.
TEST_F(FiguresOnScreen, WhatChangedIsRepaintedToTheWholeText) {
    const char* const sequence[] = {"-1234.568", "-1234.569", "-1234.570", "-1233.999", "1233.999",
                                    "999.999",   "10000.000", "-----",     "Ref",       "0.0",
                                    "359'59'59", "0'00'00",   "-0'00'01",  "f/j",       "12.345",
                                    "12.345",    "12'345",    "",          "7"};
    for (const char* text : sequence) {
        figures->setText(QString::fromLatin1(text));
        const QImage screen = shown();
        const QImage whole = picture(*figures);
        EXPECT_EQ(screen, whole) << "after " << text;
    }
}

// A shorter reading leaves nothing of the longer one beside it.
TEST_F(FiguresOnScreen, NewTextLeavesNothingOfTheOld) {
    const QRect longText = inkBox(shown());
    ASSERT_FALSE(longText.isEmpty());
    figures->setText(QStringLiteral("0.0"));
    const QRect box = inkBox(shown());
    EXPECT_GT(box.left(), longText.left() + 60);
    EXPECT_NEAR(box.right(), longText.right(), 1);
    QLabel plain(QStringLiteral("0.0"));
    style(plain, 27, green);
    EXPECT_NEAR(box.left(), inkBox(picture(plain)).left(), 3);
}

// The figures turn grey when the readings stop and green again with the next one; full screen
// scales their font.
TEST_F(FiguresOnScreen, FollowColourAndFontChanges) {
    const QRect small = inkBox(shown());
    QPalette palette = figures->palette();
    palette.setColor(QPalette::WindowText, grey);
    figures->setPalette(palette);
    QImage image = shown();
    EXPECT_TRUE(hasInk(image, grey));
    EXPECT_FALSE(hasInk(image, green));
    palette.setColor(QPalette::WindowText, green);
    figures->setPalette(palette);
    image = shown();
    EXPECT_TRUE(hasInk(image, green));
    EXPECT_FALSE(hasInk(image, grey));

    QFont font = figures->font();
    font.setPixelSize(36);
    figures->setFont(font);
    const QRect large = inkBox(shown());
    EXPECT_GT(large.height(), small.height());
    EXPECT_GT(large.width(), small.width());
}

// A preset the operator types can make a reading longer than the figures are wide. Every
// character must still show: with the first ones cut off, "-9999999999.0000" would read as a
// positive number, "-999999999.9000" as another one.
class LongReading : public readouttest::ReadoutTest {};

TEST_F(LongReading, ShowsEveryCharacter) {
    readouttest::BoxConfig config;
    config.codes = {1, 1, 1};  // 0.0001, four decimals
    ASSERT_NO_FATAL_FAILURE(startCycle(config));
    QTest::mouseClick(form->relRButton, Qt::LeftButton);
    ASSERT_TRUE(form->relRButton->isChecked());
    // An offset is set on a current reading only.
    replyPositions(0, 0, 0);
    struct Case {
        const char* entry;
        const char* shown;
    };
    const Case cases[] = {{"-9999999999", "-9999999999.0000"},
                          {"-999999999.9", "-999999999.9000"},
                          {"-12.5", "-12.5000"}};
    for (const Case& c : cases) {
        form->deltaEdit->clear();
        QTest::keyClicks(form->deltaEdit, QString::fromLatin1(c.entry));
        QTest::mouseClick(form->setXButton, Qt::LeftButton);
        replyPositions(0, 0, 0);
        ASSERT_EQ(form->xxLabel->text(), QString::fromLatin1(c.shown));
        const QImage drawn = picture(*form->xxLabel);
        const QRect ink = inkBox(drawn);
        ASSERT_FALSE(ink.isEmpty()) << c.shown;
        // Right-aligned as always, and clear of the left edge: nothing was cut off there.
        EXPECT_GT(ink.left(), 0) << c.shown;
        EXPECT_GE(ink.right(), drawn.width() - 4) << c.shown;
    }
}

}  // namespace
