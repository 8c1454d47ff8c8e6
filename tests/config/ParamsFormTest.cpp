#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "config/Resolution.h"
#include "config/paramsUnit.h"
#include "tests/config/FormFixture.h"

namespace {

constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};

class ParamsForm : public configtest::FormFixture {
protected:
    TparamsForm form{service, prompts, clock};

    QString selected(Axis axis) { return form.resolutionCombo(axis)->currentText(); }
    int index(Axis axis) { return form.resolutionCombo(axis)->currentIndex(); }
    // The operator picks an entry from the list.
    void pick(Axis axis, int i) {
        form.resolutionCombo(axis)->setCurrentIndex(i);
        Q_EMIT form.resolutionCombo(axis)->activated(i);
    }
    // The main window fills the dialog for a box of this kind.
    void loadFor(int kind) {
        learnKind(kind);
        form.LoadResolutionLists(kind);
    }
};

TEST_F(ParamsForm, StartsWithLinearAxesXAloneEnabledAndZeroEntries) {
    EXPECT_EQ(form.windowTitle(), "Paramtery");
    EXPECT_EQ(form.size(), QSize(386, 430));
    EXPECT_EQ(form.pgCtrl->count(), 1);
    EXPECT_EQ(form.pgCtrl->tabText(0), "Orientacje");
    EXPECT_EQ(form.dimXGBox->title(), " Oś X ");
    EXPECT_EQ(form.dimZGBox->title(), " Oś Z ");
    EXPECT_EQ(form.MaxResolutionCode(), 0);
    for (Axis axis : axes) {
        SCOPED_TRACE(axisIndex(axis));
        EXPECT_TRUE(form.lineButton(axis)->isChecked());
        EXPECT_FALSE(form.angleButton(axis)->isChecked());
        EXPECT_EQ(form.lineButton(axis)->text(), "Orienacja liniowa");
        EXPECT_EQ(form.angleButton(axis)->text(), "Orientacja katowa");
        EXPECT_EQ(form.resolutionCombo(axis)->count(), 7);
        EXPECT_EQ(selected(axis), "0.0001");
        EXPECT_EQ(form.impulseEdit(axis)->text(), "0.0");
        EXPECT_EQ(form.calibrationEdit(axis)->text(), "0.0");
        EXPECT_EQ(form.group(axis)->isEnabled(), axis == Axis::X);
        EXPECT_EQ(form.resolutionCombo(axis)->isEnabled(), axis == Axis::X);
    }
    EXPECT_EQ(form.saveButton->text(), "Zapisz");
    EXPECT_EQ(form.exitButton->text(), "Zamknij");
}

TEST_F(ParamsForm, ResolutionListsPerDeviceKind) {
    struct Case {
        int kind;
        int entries;
        int maxCode;
    };
    const Case cases[] = {{1, 7, 7}, {2, 11, 10}, {3, 11, 10}, {4, 11, 10}, {1, 7, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        form.LoadResolutionLists(c.kind);
        EXPECT_EQ(form.MaxResolutionCode(), c.maxCode);
        for (Axis axis : axes) {
            EXPECT_EQ(form.resolutionCombo(axis)->count(), c.entries);
            EXPECT_EQ(index(axis), -1) << "a fresh list has no selection";
        }
    }
    // No list for other kinds: what was loaded stays.
    form.LoadResolutionLists(0);
    form.LoadResolutionLists(5);
    EXPECT_EQ(form.resolutionCombo(Axis::Y)->count(), 7);
    EXPECT_EQ(form.MaxResolutionCode(), 7);
}

TEST_F(ParamsForm, AxisResolutionSelectsTheEntryOfTheCode) {
    struct Case {
        int kind;
        int code;
        const char* entry;  // empty: no selection
    };
    const Case cases[] = {
        {1, 7, "0.0001"}, {1, 1, "0.0005"}, {1, 2, "0.001"},   {1, 6, "0.1"},
        {1, 0, ""},       {1, 8, ""},       {1, 255, ""},      {3, 10, "0.00005"},
        {3, 0, "0.0001"}, {3, 3, "0.001"},  {3, 9, "1"},       {3, 11, ""},
        {2, 8, "0.1"},    {4, 1, "0.0002"}, {0, 5, "0.00005"}, {0, 10, "0.00005"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " code " << c.code);
        learnKind(c.kind);
        // Kind 0 keeps the list last loaded (here the one of kinds 2 to 4).
        if (c.kind != 0) form.LoadResolutionLists(c.kind);
        for (Axis axis : axes) {
            form.SetAxisResolution(axis, c.code);
            EXPECT_EQ(selected(axis), c.entry);
            EXPECT_EQ(index(axis) == -1, *c.entry == 0);
        }
    }
}

TEST_F(ParamsForm, AngularAxisKeepsAtLeastTheThousandthAndLinearRestoresItsEntry) {
    struct Case {
        int kind;
        const char* linearEntry;
        const char* angularEntry;
    };
    const Case cases[] = {
        {3, "0.0002", "0.001"},  // too fine for an angle: raised, restored when linear again
        {2, "0.00005", "0.001"}, {4, "0.005", "0.005"},  // coarse enough: unchanged
        {1, "0.0005", "0.001"},  // set by the main window; an angle raises it
        {1, "0.01", "0.01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.linearEntry);
        loadFor(c.kind);
        const int linear = form.resolutionCombo(Axis::X)->findText(c.linearEntry);
        form.resolutionCombo(Axis::X)->setCurrentIndex(linear);
        form.FormShow();  // remembers the entry shown as the linear one
        form.angleXRButton->setChecked(true);
        EXPECT_EQ(selected(Axis::X), c.angularEntry);
        form.lineXRButton->setChecked(true);
        EXPECT_EQ(selected(Axis::X), c.linearEntry);
        EXPECT_EQ(form.LinearIndex[0], linear);
    }
}

TEST_F(ParamsForm, OperatorsChoiceOfEntry) {
    struct Case {
        int kind;
        bool angular;
        const char* picked;
        const char* shown;
    };
    const Case cases[] = {
        {1, false, "0.0001", "0.001"},  // kind 1 never takes the two finest entries
        {1, false, "0.0005", "0.001"},
        {1, true, "0.0005", "0.001"},
        {1, false, "0.005", "0.005"},
        {3, false, "0.00005", "0.00005"},  // any entry on a linear axis
        {3, true, "0.0002", "0.001"},
        {3, true, "0.002", "0.002"},
        {2, false, "1", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.angular << " " << c.picked);
        loadFor(c.kind);
        form.SetAxisResolution(
            Axis::Y, resolution::codeForIndex(
                         c.kind, static_cast<int>(resolution::entries(c.kind).indexOf("0.01"))));
        if (c.angular) form.angleYRButton->setChecked(true);
        pick(Axis::Y, form.resYCBox->findText(c.picked));
        EXPECT_EQ(selected(Axis::Y), c.shown);
        EXPECT_EQ(form.LinearIndex[1], index(Axis::Y));
        form.lineYRButton->setChecked(true);
    }
}

TEST_F(ParamsForm, EntrySetByTheMainWindowStaysUntilTheOperatorTouchesIt) {
    loadFor(1);
    form.SetAxisResolution(Axis::X, 7);
    form.SetAxisResolution(Axis::Y, 1);
    form.lineXRButton->setChecked(true);  // already checked: no click, no change
    EXPECT_EQ(selected(Axis::X), "0.0001");
    EXPECT_EQ(selected(Axis::Y), "0.0005");
}

TEST_F(ParamsForm, AngularRuleNeedsAKnownKind) {
    learnKind(0);
    form.SetAxisResolution(Axis::Z, 0);
    form.angleZRButton->setChecked(true);
    EXPECT_EQ(selected(Axis::Z), "0.0001");
}

TEST_F(ParamsForm, AxisGroupsSwitchWithEveryControlInside) {
    for (bool enabled : {true, false, true}) {
        for (Axis axis : {Axis::Y, Axis::Z}) {
            form.EnableAxisGroup(axis, enabled);
            const QList<QWidget*> inside = form.group(axis)->findChildren<QWidget*>();
            EXPECT_EQ(inside.size(), 9);
            EXPECT_EQ(form.group(axis)->isEnabled(), enabled);
            for (QWidget* w : inside)
                EXPECT_EQ(w->isEnabled(), enabled) << w->metaObject()->className();
        }
    }
    form.EnableAxisGroup(Axis::Y, false);
    EXPECT_TRUE(form.resolutionCombo(Axis::Z)->isEnabled());
    EXPECT_TRUE(form.dimXGBox->isEnabled());
}

TEST_F(ParamsForm, SendValuesClearKeepsTheUpperOrientationBits) {
    loadFor(2);
    form.OrientationBits = 0x1F;
    form.LineCount = {4, 8, 12};
    form.ClearSendValues();
    EXPECT_EQ(form.OrientationBits, 0x18u);
    EXPECT_EQ(form.LineCount, (std::array<std::int32_t, 3>{0, 0, 0}));
    EXPECT_EQ(form.ResolutionCode, (std::array<std::int32_t, 3>{10, 10, 10}));
}

TEST_F(ParamsForm, ClosesWithCancelAndSettlesButtonsAfterThreeSeconds) {
    form.open();
    form.exitButton->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), 2);
    form.open();
    form.close();
    EXPECT_EQ(form.result(), 2);

    form.saveButton->setEnabled(false);
    form.exitButton->setEnabled(false);
    form.canExitTimer.SetEnabled(true);
    clock.advance(2999);
    EXPECT_FALSE(form.saveButton->isEnabled());
    clock.advance(1);
    EXPECT_TRUE(form.saveButton->isEnabled());
    EXPECT_TRUE(form.exitButton->isEnabled());
    EXPECT_FALSE(form.canExitTimer.Enabled());
}

// A screen reader names each control of an axis by its own caption, not by the axis box around it.
TEST_F(ParamsForm, ScreenReaderNamesEachEntryByItsCaption) {
    for (Axis axis : axes) {
        SCOPED_TRACE(axisIndex(axis));
        // Qt on Linux names a list by its chosen entry and tells its caption through the
        // labelled-by relation; the entries have both.
        const struct {
            QWidget* control;
            const char* caption;
            bool named;
        } cases[] = {{form.impulseEdit(axis), "Liczba impulsów", true},
                     {form.calibrationEdit(axis), "Kalibracja", true},
                     {form.resolutionCombo(axis), "Rodzielczosc", false}};
        for (const auto& c : cases) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(c.control);
            ASSERT_NE(iface, nullptr);
            if (c.named) {
                EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), c.caption);
            }
            QStringList labels;
            for (const auto& [label, relation] : iface->relations(QAccessible::Label))
                labels << label->text(QAccessible::Name);
            // Its own caption first; the axis box after it says which axis.
            ASSERT_FALSE(labels.isEmpty());
            EXPECT_EQ(labels.first().toStdString(), c.caption);
            EXPECT_TRUE(labels.contains(form.group(axis)->title()));
        }
    }
}

// Tab from the page's tab walks the dialog top to bottom and, in a row, left to right; disabled
// axis boxes are passed over.
TEST_F(ParamsForm, TabWalksTheControlsInLayoutOrder) {
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    struct Case {
        int enabledAxes;
        bool xAngular;
    };
    for (const Case c : {Case{1, false}, Case{2, true}, Case{3, false}}) {
        SCOPED_TRACE(c.enabledAxes);
        form.EnableAxisGroup(Axis::Y, c.enabledAxes > 1);
        form.EnableAxisGroup(Axis::Z, c.enabledAxes > 2);
        (c.xAngular ? form.angleButton(Axis::X) : form.lineButton(Axis::X))->setChecked(true);
        std::vector<QWidget*> expected{form.pgCtrl->tabBar()};
        for (Axis axis : axes) {
            if (axisIndex(axis) >= c.enabledAxes) break;
            // The orientation pair is one stop, entered at its upper button whichever is
            // checked (Qt's way; the arrow keys choose within it).
            expected.push_back(form.lineButton(axis));
            expected.push_back(form.impulseEdit(axis));
            expected.push_back(form.calibrationEdit(axis));
            expected.push_back(form.resolutionCombo(axis));
        }
        expected.push_back(form.saveButton);
        expected.push_back(form.exitButton);
        expected.push_back(form.pgCtrl->tabBar());  // and round again

        form.pgCtrl->tabBar()->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), expected.front());
        for (std::size_t i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), expected[i])
                << "stop " << i << ": "
                << (QApplication::focusWidget()
                        ? QApplication::focusWidget()->metaObject()->className()
                        : "nothing");
        }
    }
}

}  // namespace
