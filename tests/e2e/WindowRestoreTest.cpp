// The box's configuration saved from the window's menu and restored to it through the
// comparison dialog, driven by real clicks and keys, against kvt3-sim keeping its store in a
// file: the box gets back every byte, and the window reads back what was written.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <fstream>

#include "app/breakUnit.h"
#include "config/ConfigFile.h"
#include "config/RestoreDialog.h"
#include "tests/e2e/Session.h"
#include "tests/e2e/WindowProgram.h"

namespace {

using namespace e2e;

// The row of the comparison that names `field` for `axis`, or -1.
int comparisonRow(const QTableWidget& table, const QString& axis, const QString& field) {
    for (int r = 0; r < table.rowCount(); ++r)
        if (table.item(r, 0)->text() == axis && table.item(r, 1)->text() == field) return r;
    return -1;
}

TEST(WindowRestore, TheComparisonIsShownThenTheBoxGetsTheFileAndTheWindowReadsItBack) {
    Session session;
    ASSERT_NO_FATAL_FAILURE(session.startBox({"--kind", "4", "--state", "box.state", "--correction",
                                              "x:100=101,200=203", "--correction-flags", "10"}));
    CurrentDir currentDir(session.directory());
    Program program;
    testsupport::FakePrompts prompts;
    {
        Windows windows(program, prompts);
        TmainForm& form = windows.form;
        form.show();
        // The cycle runs once the whole configuration has been read.
        const QStringList initial = readouts(form);
        ASSERT_TRUE(spinUntil([&] { return readouts(form) != initial; }, 10s)) << session.boxLog();

        const QString saved = QString::fromStdString(session.file("saved.ini"));
        form.askConfigPath_ = [&] { return saved; };
        // The save reads the box anew in a dialog that closes itself.
        prompts.whileDialogOpen = [&](QDialog& dialog) {
            spinUntil([&] { return !dialog.isVisible(); }, 10s);
        };
        form.saveConfigMMI->trigger();
        ASSERT_TRUE(spinUntil([&] { return !prompts.messages.isEmpty(); }, 10s));
        ASSERT_TRUE(
            prompts.messages.last().startsWith(QStringLiteral("Konfigurację urządzenia zapisano")));
        const std::string before = readFile(session.file("box.state"));
        std::string changed = readFile(saved.toStdString());
        changed.replace(changed.find("lines = 4000"), 12, "lines = 8000");
        const std::string changedPath = session.file("changed.ini");
        std::ofstream(changedPath) << changed;

        // What the operator sees and does in the dialog: a look (Return on the table writes
        // nothing), then "Zapisz do urządzenia" and, once the box has answered, "Zamknij".
        QStringList verdicts;
        QString xLines;
        bool wroteOnReturn = true;
        prompts.whileDialogOpen = [&](QDialog& dialog) {
            auto* restore = dynamic_cast<RestoreDialog*>(&dialog);
            ASSERT_NE(restore, nullptr);
            // The comparison is with the box read as the dialog opens.
            ASSERT_TRUE(spinUntil([&] { return restore->writeButton->isEnabled(); }, 10s))
                << restore->status->text().toStdString();
            const int row =
                comparisonRow(*restore->table, "X", QStringLiteral("zliczenia (4 × impulsy)"));
            ASSERT_GE(row, 0);
            xLines = restore->table->item(row, 2)->text() + "→" +
                     restore->table->item(row, 3)->text() + " " +
                     restore->table->item(row, 4)->text();
            QTest::keyClick(restore->table, Qt::Key_Return);
            spinFor(300ms);
            wroteOnReturn = !restore->writeButton->isEnabled() ||
                            !restore->status->text().startsWith(QStringLiteral("Nic nie"));
            const qsizetype told = prompts.messages.size();
            QTest::mouseClick(restore->writeButton, Qt::LeftButton);
            ASSERT_TRUE(spinUntil([&] { return prompts.messages.size() > told; }, 30s));
            verdicts << prompts.messages.last();
            // A dialog closed under the writes would leave the box half-written: it cannot be
            // closed while they go on, and can be once they are done.
            QTest::mouseClick(restore->closeButton, Qt::LeftButton);
        };
        // The read-back is whole once the cycle shows readings again.
        const auto cycleRunsWith = [&](std::int32_t lines) {
            if (!spinUntil([&] { return form.configurationOfBox().lineCounts[0] == lines; }, 15s))
                return false;
            const QStringList now = readouts(form);
            return spinUntil([&] { return readouts(form) != now; }, 10s);
        };
        const auto restore = [&](const std::string& path) {
            form.askRestorePath_ = [&] { return QString::fromStdString(path); };
            const int dialogs = prompts.dialogCount;
            form.restoreConfigMMI->trigger();
            return spinUntil([&] { return prompts.dialogCount > dialogs && prompts.depth() == 0; },
                             40s);
        };

        ASSERT_TRUE(restore(changedPath));
        EXPECT_FALSE(wroteOnReturn);
        EXPECT_EQ(xLines, QStringLiteral("4000→8000 zmiana"));
        ASSERT_EQ(verdicts.size(), 1);
        EXPECT_TRUE(verdicts[0].contains(QStringLiteral("potwierdzona odczytem")))
            << verdicts[0].toStdString();
        // The window starts the link anew and reads back what was written.
        EXPECT_TRUE(cycleRunsWith(8000));

        ASSERT_TRUE(restore(saved.toStdString()));
        ASSERT_EQ(verdicts.size(), 2);
        EXPECT_TRUE(verdicts[1].contains(QStringLiteral("potwierdzona odczytem")));
        EXPECT_EQ(readFile(session.file("box.state")), before);
        EXPECT_TRUE(cycleRunsWith(4000));

        // A file for another kind of box is refused before any dialog, and nothing is written.
        std::string otherKind = readFile(saved.toStdString());
        otherKind.replace(otherKind.find("device = 4"), 10, "device = 2");
        std::ofstream(session.file("kind2.ini")) << otherKind;
        const int dialogs = prompts.dialogCount;
        form.askRestorePath_ = [&] { return QString::fromStdString(session.file("kind2.ini")); };
        form.restoreConfigMMI->trigger();
        spinFor(500ms);
        EXPECT_EQ(prompts.dialogCount, dialogs);
        EXPECT_TRUE(prompts.messages.last().contains(QStringLiteral("Nic nie zostało zapisane")));
        EXPECT_EQ(readFile(session.file("box.state")), before);
        EXPECT_TRUE(prompts.exceptions.isEmpty()) << prompts.exceptions.join('|').toStdString();
    }
    session.endBox();
}

TEST(WindowRestore, ABoxThatNoLongerAnswersIsNotSavedFromAnEarlierRead) {
    Session session;
    ASSERT_NO_FATAL_FAILURE(
        session.startBox({"--kind", "4", "--lines", "4000,4000,4000", "--silent-after-reference"}));
    CurrentDir currentDir(session.directory());
    Program program;
    testsupport::FakePrompts prompts;
    {
        Windows windows(program, prompts);
        TmainForm& form = windows.form;
        prompts.whileDialogOpen = [&](QDialog&) { spinFor(200ms); };
        prompts.dialogAnswer = TbreakForm::ResultYes;
        form.show();
        const QStringList initial = readouts(form);
        ASSERT_TRUE(spinUntil([&] { return readouts(form) != initial; }, 10s)) << session.boxLog();
        // The reference command's re-read of the configuration meets a silent box: the operator
        // stops waiting.
        QTest::mouseClick(form.xSButton, Qt::LeftButton);
        ASSERT_TRUE(
            spinUntil([&] { return prompts.dialogCount > 0 && prompts.depth() == 0; }, 12s));
        // The save reads the box anew: what the link start read before it fell silent is no
        // backup of what it holds now.
        const std::string path = session.file("after.ini");
        form.askConfigPath_ = [&] { return QString::fromStdString(path); };
        prompts.whileDialogOpen = [&](QDialog& dialog) {
            spinUntil([&] { return !dialog.isVisible(); }, 10s);
        };
        const qsizetype told = prompts.messages.size();
        form.saveConfigMMI->trigger();
        ASSERT_TRUE(spinUntil([&] { return prompts.messages.size() > told; }, 15s));
        EXPECT_EQ(prompts.messages.last(),
                  QStringLiteral("Konfiguracji urządzenia nie odczytano: Urządzenie nie "
                                 "odpowiada. Plik nie został zapisany."));
        EXPECT_FALSE(boxconfig::loadConfigFile(path).config);
    }
    session.endBox();
}

}  // namespace
