// What assistive technology reads of the readout window: the interfaces Qt's AT-SPI bridge hands
// to a screen reader, queried on the real window while a scripted box sends readings.
#include <QAccessible>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "readout/Figures.h"
#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

// The events Qt would pass to the bridge, as (object, kind).
std::vector<std::pair<QObject*, QAccessible::Event>> events;

void record(QAccessibleEvent* event) {
    events.emplace_back(event->object(), event->type());
}

int namesChanged(QObject* object) {
    int n = 0;
    for (const auto& [who, what] : events) n += who == object && what == QAccessible::NameChanged;
    return n;
}

// A screen reader listens: the figures tell it of their changes, here the recorder. The offscreen
// platform has no bridge to say that someone listens, nor to pass the events on.
class Listening {
public:
    Listening() : previous_(readout::assistiveTechnology) {
        events.clear();
        readout::assistiveTechnology = {[] { return true; }, record};
    }
    ~Listening() { readout::assistiveTechnology = previous_; }

private:
    readout::AssistiveTechnology previous_;
};

QString spoken(QWidget* widget, QAccessible::Text what = QAccessible::Name) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(what) : QStringLiteral("<no interface>");
}

constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};

TEST_F(ReadoutTest, ScreenReaderReadsEachShownReadingAndFollowsIt) {
    Listening listening;
    struct Case {
        std::uint8_t readiness;  // kind 4: three axes, kind 3: two
        std::uint8_t types;      // Z angular in the first case
        std::array<std::int32_t, 3> first;
        std::array<const char*, 3> firstText;
        std::array<std::int32_t, 3> next;
        std::array<const char*, 3> nextText;
    };
    const Case cases[] = {
        {0x30,
         0x4,
         {12345, -500, 1000},
         {"12.345", "-0.500", "90'00'00"},
         {12346, -500, -1},
         {"12.346", "-0.500", "359'54'36"}},
        {0x20, 0x0, {7, 0, 0}, {"0.007", "0.000", nullptr}, {8, 1, 0}, {"0.008", "0.001", nullptr}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.readiness);
        startOrRestartLink();
        BoxConfig config;
        config.readiness = c.readiness;
        config.types = c.types;
        ASSERT_EQ(lastOf(answerConfiguration(config)), 0xE1);
        replyPositions(c.first[0], c.first[1], c.first[2]);
        events.clear();
        replyPositions(c.next[0], c.next[1], c.next[2]);
        for (Axis axis : axes) {
            const auto i = static_cast<std::size_t>(axisIndex(axis));
            readout::Figures* figures = form->readout(axis);
            if (!c.nextText[i]) {
                EXPECT_FALSE(figures->isVisibleTo(form.get())) << axisIndex(axis);
                continue;
            }
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(figures);
            ASSERT_NE(iface, nullptr);
            EXPECT_EQ(iface->role(), QAccessible::StaticText);
            EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), c.nextText[i]);
            EXPECT_EQ(figures->text(), iface->text(QAccessible::Name)) << "what is drawn";
            EXPECT_EQ(iface->text(QAccessible::Description),
                      QStringLiteral("Oś %1").arg(QChar(u"XYZ"[i])));
            // Only a text that changed is announced.
            EXPECT_EQ(namesChanged(figures), std::string(c.firstText[i]) != c.nextText[i] ? 1 : 0)
                << axisIndex(axis);
        }
    }
}

TEST_F(ReadoutTest, ScreenReaderHearsThatTheReadingsStopped) {
    Listening listening;
    startCycle(box);
    replyPositions(1, 2, 3);
    EXPECT_EQ(spoken(form->yyLabel, QAccessible::Description), "Oś Y");
    // No answer for as long as the watchdog waits: the figures turn grey, and say so.
    clock.advance(1300);
    ASSERT_FALSE(form->readoutsLive());
    EXPECT_EQ(spoken(form->yyLabel, QAccessible::Description), "Oś Y, odczyt nieaktualny");
    EXPECT_EQ(spoken(form->yyLabel), "0.002") << "the last reading is still read out";
    bool told = false;
    for (const auto& [who, what] : events)
        told |= who == form->yyLabel && what == QAccessible::DescriptionChanged;
    EXPECT_TRUE(told);
}

// Nobody listening, the figures ask Qt nothing more than whether someone does.
TEST_F(ReadoutTest, NobodyListeningNothingIsAnnounced) {
    const readout::AssistiveTechnology previous = readout::assistiveTechnology;
    readout::assistiveTechnology = {[] { return false; }, record};
    startCycle(box);
    events.clear();
    for (std::int32_t n : {1, 2, 3}) replyPositions(n, n, n);
    clock.advance(1300);
    ASSERT_FALSE(form->readoutsLive());
    readout::assistiveTechnology = previous;
    for (Axis axis : axes) {
        for (const auto& [who, what] : events) EXPECT_NE(who, form->readout(axis)) << what;
    }
    EXPECT_EQ(form->xxLabel->text(), "0.003");
}

// The figures alone, with the texts other than numbers that they show.
TEST(FiguresAccessible, ReadsEveryKindOfText) {
    Listening listening;
    readout::Figures figures(QStringLiteral("0.0"), nullptr);
    for (const char* text : {"Ref", "359'59'59", "-----", "-9999999999.0000", "0.0"}) {
        events.clear();
        figures.setText(QString::fromLatin1(text));
        EXPECT_EQ(spoken(&figures).toStdString(), text);
        EXPECT_EQ(namesChanged(&figures), 1) << text;
    }
}

TEST_F(ReadoutTest, AxisButtonsAreToldApart) {
    // "Ref" is a toggle, which Qt presents as a check box.
    const struct {
        QPushButton* button;
        const char* name;
        QAccessible::Role role;
    } cases[] = {{form->xSButton, "Ref X", QAccessible::CheckBox},
                 {form->zSButton, "Ref Z", QAccessible::CheckBox},
                 {form->clrYButton, "clr Y", QAccessible::Button},
                 {form->setZButton, "set Z", QAccessible::Button}};
    for (const auto& c : cases) {
        EXPECT_EQ(spoken(c.button).toStdString(), c.name);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(c.button)->role(), c.role) << c.name;
    }
}

}  // namespace
}  // namespace readouttest
