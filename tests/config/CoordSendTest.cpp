#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "config/coordUnit.h"
#include "tests/config/SendFixture.h"

namespace {

using configtest::Bytes;

class CoordSend : public configtest::SendFixture {
protected:
    TcoordForm form{service, prompts, clock};

    void setCell(Axis axis, int column, int row, const QString& text) {
        form.grid(axis)->setItem(row, column, new QTableWidgetItem(text));
    }
    // The main window's loading of tables with `rows` rows of zeros.
    void loadRows(int rows, long double scale = 1, std::uint32_t flags = 0x70) {
        form.SetCorrectionFlags(flags);
        form.setGridRowCounts(rows + 1);
        for (Axis axis : {Axis::X, Axis::Y, Axis::Z}) {
            form.LoadCorrectionTable(axis, rows, TCorrectionTable{}, 3, scale);
        }
    }
    bool buttons() { return buttonsEnabled(form.saveButton, form.exitButton); }
    void save() {
        prompts.clear();
        form.saveButton->click();
    }
    static void appendInt(Bytes& bytes, std::int32_t v) {
        for (int k = 0; k < 4; ++k) {
            bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * k)));
        }
    }
};

TEST_F(CoordSend, TablesGoInBoxUnitsWithTheirFlagsThenTheEnd) {
    attachBox(3);
    loadRows(2, 0.001L, 0x53);
    setCell(Axis::X, 1, 1, "0,25");
    setCell(Axis::X, 2, 1, "");
    setCell(Axis::X, 1, 2, "1 000");
    setCell(Axis::X, 2, 2, " -0.5 ");
    setCell(Axis::Z, 1, 2, "0.0015");  // 1.5 box units: halves go to the even one
    save();
    EXPECT_FALSE(buttons());
    clock.advance(500);

    Bytes expected = {0xEA, 0x02, 0x53, 0x00, 0x00, 0x00};
    for (std::int32_t v : {250, 0, 1000000, -500}) appendInt(expected, v);  // X
    expected.resize(expected.size() + 16, 0x00);                            // Y
    for (std::int32_t v : {0, 0, 2, 0}) appendInt(expected, v);             // Z
    expected.push_back(0xF1);
    EXPECT_EQ(sent(), expected) << wire->transcript();
    EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
    EXPECT_FALSE(service.Comm().Active());
    EXPECT_FALSE(buttons());
    clock.advance(3000);
    EXPECT_TRUE(buttons());
}

TEST_F(CoordSend, LoadedValuesSavedUnchangedGoBackAsTheyCame) {
    attachBox(2);
    TCorrectionTable x;
    x[1] = {100, -7};
    x[2] = {2147483, -12345};
    form.SetCorrectionFlags(0x10);
    form.setGridRowCounts(3);
    form.LoadCorrectionTable(Axis::X, 2, x, 3, 0.001L);
    form.LoadCorrectionTable(Axis::Y, 2, TCorrectionTable{}, 3, 0.001L);
    form.LoadCorrectionTable(Axis::Z, 2, TCorrectionTable{}, 3, 0.001L);
    EXPECT_EQ(form.correctionXSGrid->item(1, 1)->text(), "0.100");
    save();
    clock.advance(500);
    ASSERT_EQ(prompts.messages, QStringList{configtest::sentMessage});
    const sim::BoxSettings& stored = wire->box().settings();
    EXPECT_EQ(stored.correctionCount, 2);
    EXPECT_EQ(stored.correctionFlags, 0x10u);
    EXPECT_EQ(stored.corrections[0][1].Position, 100);
    EXPECT_EQ(stored.corrections[0][1].Corrected, -7);
    EXPECT_EQ(stored.corrections[0][2].Position, 2147483);
    EXPECT_EQ(stored.corrections[0][2].Corrected, -12345);
}

// Values of more than 8 significant digits in the grid's units are shown rounded. A cell left
// with the text it was loaded with goes back with the box's own value; a cell given another
// text goes back as typed.
TEST_F(CoordSend, CellsLeftAsLoadedKeepEveryDigitTheBoxHeld) {
    attachBox(4);
    TCorrectionTable table;
    table[1] = {123456789, -2147483647};
    table[2] = {2147483647, 100000001};
    const struct {
        long double scale;
        int decimals;
    } axes[] = {{0.001L, 3}, {0.00001L, 5}, {1, 0}};
    form.SetCorrectionFlags(0x70);
    form.setGridRowCounts(3);
    for (Axis axis : {Axis::X, Axis::Y, Axis::Z}) {
        const auto& a = axes[axisIndex(axis)];
        form.LoadCorrectionTable(axis, 2, table, a.decimals, a.scale);
    }
    ASSERT_EQ(form.correctionZSGrid->item(1, 1)->text(), "1.2345679E8");
    const struct {
        Axis axis;
        int column, row;
        const char* typed;  // nullptr: the text shown, typed again
        long double stored;
    } edits[] = {
        {Axis::X, 2, 2, "100000.001", 100000001},   {Axis::Y, 1, 1, nullptr, 123456789},
        {Axis::Y, 2, 1, "-21474.836", -2147483600}, {Axis::Z, 1, 2, "2147483647", 2147483647},
        {Axis::Z, 1, 1, "1.2345679e8", 123456790},
    };
    std::array<TCorrectionTable, 3> expected = {table, table, table};
    for (const auto& e : edits) {
        const QString text =
            e.typed ? QString(e.typed) : form.grid(e.axis)->item(e.row, e.column)->text();
        setCell(e.axis, e.column, e.row, text);
        auto& entry = expected[static_cast<std::size_t>(axisIndex(e.axis))][e.row];
        (e.column == 1 ? entry.Position : entry.Corrected) = e.stored;
    }
    save();
    clock.advance(500);
    ASSERT_EQ(prompts.messages, QStringList{configtest::sentMessage});
    const sim::BoxSettings& stored = wire->box().settings();
    for (std::size_t axis = 0; axis < 3; ++axis) {
        for (int row = 1; row <= 2; ++row) {
            SCOPED_TRACE(testing::Message() << "axis " << axis << " row " << row);
            EXPECT_EQ(stored.corrections[axis][row].Position, expected[axis][row].Position);
            EXPECT_EQ(stored.corrections[axis][row].Corrected, expected[axis][row].Corrected);
        }
    }
}

TEST_F(CoordSend, CellsThatCannotBeSentStopTheSend) {
    struct Case {
        Axis axis;
        int column, row;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {Axis::Y, 2, 4, "abc", "Niewłaściwa wartość dla osi Y' na pozycji 4"},
        {Axis::X, 1, 2, "12a", "Niewłaściwa wartość dla osi X na pozycji 2"},
        {Axis::Z, 1, 1, "1 000 000", "Niewłaściwa wartość dla osi Z na pozycji 1"},
        {Axis::Z, 2, 5, "1.2.3", "Niewłaściwa wartość dla osi Z' na pozycji 5"},
        // No 32-bit value carries 3,000,000,000 box units.
        {Axis::X, 2, 3, "3000000", "Niewłaściwa wartość dla osi X' na pozycji 3"},
        {Axis::Y, 1, 1, "-2147483.649", "Niewłaściwa wartość dla osi Y na pozycji 1"},
    };
    attachBox(4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        loadRows(5, 0.001L);
        setCell(c.axis, c.column, c.row, c.text);
        save();
        clock.advance(500);
        EXPECT_EQ(prompts.messages, QStringList{QString::fromUtf8(c.message)});
        EXPECT_TRUE(buttons());
        EXPECT_FALSE(form.sending());
        EXPECT_TRUE(sent().empty());
    }
    // The largest value that fits goes through.
    loadRows(1, 0.001L);
    setCell(Axis::Y, 1, 1, "-2147483.648");
    save();
    clock.advance(500);
    EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
    EXPECT_EQ(wire->box().settings().corrections[1][1].Position, -2147483648.0L);
}

TEST_F(CoordSend, KindOneSendsZerosWithTheRowCount) {
    struct Case {
        int rows;  // 0: nothing loaded
    };
    for (const Case c : {Case{0}, Case{3}}) {
        SCOPED_TRACE(c.rows);
        attachBox(1);
        if (c.rows) loadRows(c.rows);  // with the flags 0x70
        form.show();  // no tables: said so; its switches show the flags a send would carry
        EXPECT_TRUE(form.noTablesLabel->isVisible() && !form.importButton->isEnabled());
        EXPECT_FALSE(form.xCBox->isEnabled());
        EXPECT_EQ(form.xCBox->isChecked(), c.rows != 0);
        form.hide();
        setCell(Axis::X, 1, 1, "letters are not looked at");
        form.SetCorrectionFlags(0x70);
        save();
        clock.advance(500);
        const int rows = c.rows ? c.rows : 1;
        Bytes expected = {0xEA, static_cast<std::uint8_t>(rows), 0x70, 0x00, 0x00, 0x00};
        expected.resize(expected.size() + 24 * static_cast<std::size_t>(rows), 0x00);
        expected.push_back(0xF1);
        EXPECT_EQ(sent(), expected);
        EXPECT_TRUE(prompts.messages.value(0).startsWith("Urządzenie rodzaju 1 nie ma tabel"));
        clock.advance(3000);
    }
}

TEST_F(CoordSend, AFullTableOf255RowsIsSentWithCount255) {
    attachBox(3);
    TCorrectionTable table;
    for (int row = 1; row <= 255; ++row) table[row] = {row * 10.0L, -row * 1.0L};
    form.setGridRowCounts(256);
    for (Axis axis : {Axis::X, Axis::Y, Axis::Z}) form.LoadCorrectionTable(axis, 255, table, 0, 1);
    save();
    clock.advance(30000);
    EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage}) << wire->transcript();
    EXPECT_EQ(sent().size(), 1u + 5u + 24u * 255u + 1u);
    EXPECT_EQ(sent().at(1), 255);
    const sim::BoxSettings& stored = wire->box().settings();
    EXPECT_EQ(stored.correctionCount, 255);
    EXPECT_EQ(stored.corrections[2][255].Position, 2550);
    EXPECT_EQ(stored.corrections[2][255].Corrected, -255);
}

TEST_F(CoordSend, SilentBoxOrClosedPortEndInAMessageWithTheButtonsBack) {
    struct Case {
        bool portFails;
        const char* message;
    };
    const Case cases[] = {{false, "Parametry nie zostały wysłane."},
                          {true, "Błąd przy nawiązaniu połączenia."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        sim::Faults faults;
        faults.silent.first = 2;
        attachBox(2, faults);
        if (c.portFails) device->failOpen(EACCES);
        save();
        clock.advance(4900);
        EXPECT_EQ(prompts.messages.isEmpty(), !c.portFails);
        clock.advance(200);
        EXPECT_EQ(prompts.messages, QStringList{QString::fromUtf8(c.message)});
        EXPECT_TRUE(buttons());
        EXPECT_FALSE(service.Comm().Active());
        EXPECT_EQ(sent().empty(), c.portFails);
        device->failOpen(0);
    }
}

}  // namespace
