#include <gtest/gtest.h>
#include <iconv.h>

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <stdexcept>

#include "app/Cp1250.h"
#include "app/helpUnit.h"

namespace {

// The system's own converter, as an independent reading of the code page.
char16_t iconvCp1250(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-16LE", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP1250 in iconv");
    char in[1] = {static_cast<char>(byte)};
    char out[4] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return 0xFFFD;  // undefined in the code page
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 static_cast<unsigned char>(out[1]) << 8);
}

TEST(Cp1250, EveryByteDecodesAsTheSystemConverterReadsIt) {
    for (int b = 0; b < 256; ++b) {
        const QString text = decodeCp1250(QByteArray(1, static_cast<char>(b)));
        ASSERT_EQ(text.size(), 1);
        EXPECT_EQ(text[0].unicode(), iconvCp1250(static_cast<unsigned char>(b)))
            << "byte 0x" << std::hex << b;
    }
}

TEST(Cp1250, PolishLetters) {
    // ą ć ę ł ń ó ś ź ż, Ą Ć Ę Ł Ń Ó Ś Ź Ż
    const QByteArray bytes(
        "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
    EXPECT_EQ(decodeCp1250(bytes), QString::fromUtf8("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"));
}

TEST(TextLines, EndAtCrLfOrCrLf) {
    struct Case {
        const char* text;
        QStringList lines;
    };
    const Case cases[] = {
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"last\r\n", {"last"}},
        {"", {}},
        {"\n", {""}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitTextLines(c.text), c.lines) << c.text;
}

class HelpFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ThelpForm form;

    void write(const QByteArray& bytes) {
        QFile file(dir.filePath("pomoc.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

TEST_F(HelpFile, LoadsLinesOfCodePageText) {
    write(
        "Pomoc programu\r\nO\x9C X \x96 po\xB3o\xBF"
        "enie\nKoniec");
    EXPECT_TRUE(form.loadHelp(dir.path()));
    EXPECT_EQ(form.helpMemo->toPlainText(),
              QString::fromUtf8("Pomoc programu\nOś X – położenie\nKoniec"));
}

TEST_F(HelpFile, MissingFileLeavesTheTextEmpty) {
    write("stary tekst");
    ASSERT_TRUE(form.loadHelp(dir.path()));
    ASSERT_FALSE(form.helpMemo->toPlainText().isEmpty());
    ASSERT_TRUE(QFile::remove(dir.filePath("pomoc.txt")));
    EXPECT_FALSE(form.loadHelp(dir.path()));
    EXPECT_TRUE(form.helpMemo->toPlainText().isEmpty());
}

TEST_F(HelpFile, UnreadableFileRaises) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("pomoc.txt"));  // exists, but is no file to read
    EXPECT_THROW(form.loadHelp(dir.path()), std::runtime_error);
}

TEST_F(HelpFile, InstalledCopyWhenTheWorkingDirectoryHasNone) {
    QTemporaryDir installed;
    QFile copy(installed.filePath("pomoc.txt"));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write("zainstalowana pomoc\r\n");
    copy.close();
    form.setInstalledDirectory(installed.path());

    EXPECT_TRUE(form.loadHelp(dir.path()));
    EXPECT_EQ(form.helpMemo->toPlainText(), QStringLiteral("zainstalowana pomoc"));
    // The working directory's own file comes first.
    write("w katalogu roboczym");
    EXPECT_TRUE(form.loadHelp(dir.path()));
    EXPECT_EQ(form.helpMemo->toPlainText(), QStringLiteral("w katalogu roboczym"));
    // Neither: nothing to show.
    ASSERT_TRUE(QFile::remove(dir.filePath("pomoc.txt")));
    ASSERT_TRUE(QFile::remove(installed.filePath("pomoc.txt")));
    EXPECT_FALSE(form.loadHelp(dir.path()));
    EXPECT_TRUE(form.helpMemo->toPlainText().isEmpty());
}

}  // namespace
