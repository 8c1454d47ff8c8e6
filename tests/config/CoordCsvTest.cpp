#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cmath>

#include "config/CorrectionCurve.h"
#include "config/coordUnit.h"
#include "platform/Files.h"
#include "tests/config/FormFixture.h"
#include "tests/config/GridDriving.h"

namespace {

// A kind 2 box's X and Y tables of three rows loaded in 0.001 steps, 3 places; the file dialog
// answers with `answer`.
class CoordCsv : public configtest::FormFixture {
protected:
    TcoordForm form{service, prompts, clock};
    QTemporaryDir dir;
    QString answer;

    void SetUp() override {
        learnKind(2);
        TCorrectionTable table;
        for (int row = 1; row <= 3; ++row) table[row] = {row * 100.0L, row * 100.0L + 5};
        form.setGridRowCounts(4);
        for (Axis axis : {Axis::X, Axis::Y}) form.LoadCorrectionTable(axis, 3, table, 3, 0.001L);
        form.askCsvPath = [this](bool) { return answer; };
        form.show();
        QApplication::setActiveWindow(&form);
    }
    // The page's tab clicked clear of its check box, then the button.
    void clickOnPage(Axis axis, QPushButton* button) {
        const QRect tab = form.pgCtrl->tabBar()->tabRect(axisIndex(axis));
        QTest::mouseClick(form.pgCtrl->tabBar(), Qt::LeftButton, {}, tab.center() + QPoint(20, 0));
        QTest::mouseClick(button, Qt::LeftButton);
        configtest::settle();
    }
    void importText(Axis axis, const QByteArray& text) {
        QFile file(answer = dir.filePath("in.csv"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        clickOnPage(axis, form.importButton);
    }
    // What "Zapisz" sends of the grid, rounded as the service rounds, row by row.
    std::vector<long double> sent(Axis axis) {
        TCorrectionTable table;
        form.GridToTable(form.grid(axis), u'X', form.AxisScale[axisIndex(axis)], table);
        std::vector<long double> values;
        for (int row = 1; row < form.grid(axis)->rowCount(); ++row)
            values.insert(values.end(),
                          {std::round(table[row].Position), std::round(table[row].Corrected)});
        return values;
    }
    void typeAndEnter(int column, int row, const QString& text) {
        QLineEdit* editor = configtest::typeInto(form.correctionXSGrid, column, row, text);
        ASSERT_NE(editor, nullptr);
        QTest::keyClick(editor, Qt::Key_Return);
        configtest::settle();
    }
};

TEST_F(CoordCsv, FileReplacesTheActivePageOrIsRefusedNamingItsLine) {
    using V = std::vector<long double>;
    const V loaded = {100, 105, 200, 205, 300, 305};
    struct Case {
        const char* text;
        const char* message;  // empty: accepted
        V y;                  // what the Y page sends afterwards
        V x;
    };
    const Case cases[] = {
        {"Y;X'\n1;1\n0,5;1\n", "wiersz 3: wartości położenia powinny rosnąć.", loaded, loaded},
        {"1;1\n2;abc\n", "wiersz 2: niepoprawna wartość „abc” w kolumnie 2.", loaded, loaded},
        // Shorter than the grid: the last row repeats, a segment of no length.
        {"\xEF\xBB\xBFY;Y'\r\n0,5;0,501\r\n1 000;999,999\r\n",
         "",
         {500, 501, 1000000, 999999, 1000000, 999999},
         loaded},
        // Longer: the three grids grow, the others repeating their own last row.
        {"0;0\n1;1,002\n2;2\n2;2,5\n",
         "",
         {0, 0, 1000, 1002, 2000, 2000, 2000, 2500},
         {100, 105, 200, 205, 300, 305, 300, 305}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        prompts.clear();
        importText(Axis::Y, c.text);
        const QStringList said =
            *c.message ? QStringList{"Nie wczytano pliku CSV.\r\n" + QString(c.message)}
                       : QStringList{};
        EXPECT_EQ(prompts.messages, said);
        EXPECT_EQ(sent(Axis::Y), c.y);
        EXPECT_EQ(sent(Axis::X), c.x);
    }
    EXPECT_EQ(form.correctionYSGrid->item(2, 2)->text(), "1.002");
    EXPECT_EQ(form.correctionZSGrid->rowCount(), 5);
}

TEST_F(CoordCsv, ExportedTableReadsBackAsShownAndAFailedWriteSaysSo) {
    typeAndEnter(2, 2, "0,25");
    const std::vector<long double> shown = sent(Axis::X);
    answer = dir.filePath("x.csv");
    clickOnPage(Axis::X, form.exportButton);
    QFile written(answer);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "X;X'\r\n0.100;0.105\r\n0.200;0.250\r\n0.300;0.305\r\n");

    form.LoadCorrectionTable(Axis::X, 3, TCorrectionTable{}, 3, 0.001L);
    clickOnPage(Axis::X, form.importButton);
    EXPECT_EQ(sent(Axis::X), shown);
    EXPECT_TRUE(prompts.messages.isEmpty());

    answer = dir.filePath("no such folder/x.csv");
    clickOnPage(Axis::X, form.exportButton);
    EXPECT_EQ(prompts.messages,
              QStringList{QString::fromStdString(
                  "Nie udało się zapisać pliku CSV: " + platform::fileErrorText(ENOENT) + ".")});
}

TEST_F(CoordCsv, CurveFollowsEditsCommittedByKeys) {
    using P = std::vector<QPointF>;
    EXPECT_EQ(form.curve->points(), (P{{0.1, 0.005}, {0.2, 0.005}, {0.3, 0.005}}));
    // A typo stands out: 2.05 for 0.205.
    typeAndEnter(2, 2, "2,05");
    EXPECT_EQ(form.curve->points(), (P{{0.1, 0.005}, {0.2, 1.85}, {0.3, 0.005}}));
    form.setGridRowCounts(1);
    EXPECT_TRUE(form.curve->points().empty());
}

}  // namespace
