// The configuration file: what it keeps of the box comes back the same, byte for byte, and every
// file the box must not be given is refused with its line or field named.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "config/ConfigFile.h"
#include "platform/Files.h"

namespace {

using boxconfig::BoxConfig;

BoxConfig kindTwoBox() {
    BoxConfig c;
    c.deviceKind = 2;
    c.resolutionCodes = {10, 3, 0};
    c.lineCounts = {0, 3999999, 10000};
    c.calibrationMillionths = {-9999999, 1, 0};
    c.dimensionTypes = 0x1A;  // Y angular; bits 3 and 4 carried
    c.correctionRows = 2;
    c.correctionFlags = 0x80000050;  // X and Z on
    c.corrections[0][1] = {-2147483648.0L, 2147483647.0L};
    c.corrections[0][2] = {5, 7};
    c.corrections[2][2] = {-1, 0};
    return c;
}

// The text with its first `from` replaced by `to`.
std::string edited(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(ConfigFile, WhatIsWrittenReadsBackAndWritesTheSameBytes) {
    BoxConfig kindOne;
    kindOne.deviceKind = 1;
    kindOne.resolutionCodes = {7, 0, 0};
    kindOne.calibrationMillionths = {8388607, 0, -500};
    for (const BoxConfig& box : {kindTwoBox(), kindOne}) {
        const std::string text = boxconfig::configText(box);
        const auto read = boxconfig::parseConfig(text);
        ASSERT_TRUE(read.config) << read.error << "\n" << text;
        EXPECT_EQ(*read.config, box);
        EXPECT_EQ(boxconfig::configText(*read.config), text);
    }
}

TEST(ConfigFile, AHandEditedFileReadsAsItSays) {
    const auto read = boxconfig::parseConfig(
        "\xEF\xBB\xBF; kept by hand, the mark an editor put first\r\n[kvt3]\r\nformat=1\r\ndevice "
        "= 4\r\notherTypes = 0x80\r\n"
        "[corrections]\nrows = 1\notherFlags = 0x8\n"
        "[Z]\ncorrection = off\ntype = angular\ncalibration = -1.5\nlines = 8\nresolution = 2\n"
        "[Y]\nresolution=1\nlines=4\ncalibration=0.0000100\ntype=linear\ncorrection=on\n"
        "[X]\n  resolution = 0  \nlines = 0\ncalibration = 2\ntype = linear\ncorrection = off\n"
        "[corrections X]\n1 = -10\t20\n[corrections Y]\n1 = 0 0\n[corrections Z]\n1 = 3 4\n"
        "# the end\n[end]\n\n");
    ASSERT_TRUE(read.config) << read.error;
    const BoxConfig& c = *read.config;
    EXPECT_EQ(c.deviceKind, 4);
    EXPECT_EQ(c.resolutionCodes, (std::array<int, 3>{0, 1, 2}));
    EXPECT_EQ(c.calibrationMillionths, (std::array<std::int32_t, 3>{2000000, 10, -1500000}));
    EXPECT_EQ(c.dimensionTypes, 0x84);
    EXPECT_EQ(c.correctionFlags, 0x28u);
    EXPECT_EQ(c.corrections[0][1], (TCorrectionEntry{-10, 20}));
    EXPECT_EQ(c.corrections[2][1], (TCorrectionEntry{3, 4}));
}

struct Refused {
    const char* from;
    const char* to;
    const char* message;
};

// Edits of a kind 2 file (kind 1 where the edit says so) and the message that refuses them.
const Refused refusals[] = {
    {"format = 1", "format = 2",
     "Plik zapisano w nowszej wersji formatu (2); ten program zna wersję 1."},
    {"[kvt3]", "[kvt2]",
     "To nie jest plik konfiguracji KVT 3: pierwszą sekcją powinna być [kvt3]."},
    {"device = 2", "device = 5", "wiersz 4: nieznany rodzaj urządzenia „5” (znane: 1 do 4)."},
    {"resolution = 10", "resolution = 11", "wiersz 8: błędna wartość rozdzielczości dla osi X."},
    {"otherTypes = 0x18", "otherTypes = 8", "wiersz 5: oczekiwano liczby szesnastkowej, np. 0x00."},
    {"otherTypes = 0x18", "otherTypes = 0x19",
     "wiersz 5: oczekiwano bajtu bez bitów 0x07, pól „type” osi."},
    {"lines = 3999999", "lines = 4000000", "wiersz 16: błędna liczba zliczeń na obrót dla osi Y."},
    {"calibration = -9.999999", "calibration = -10.000000",
     "wiersz 10: wartość kalibracji poza przedziałem dla osi X."},
    {"calibration = 0.000001", "calibration = 0.0000011",
     "wiersz 17: kalibracja ma więcej niż 6 miejsc po przecinku."},
    {"calibration = 0.000001", "calibration = 1e-6",
     "wiersz 17: błędna wartość kalibracji dla osi Y."},
    {"type = angular", "type = rotary", "wiersz 18: typ osi to „linear” albo „angular”."},
    {"correction = on", "correction = 1", "wiersz 12: korekcja to „on” albo „off”."},
    {"lines = 0\n", "lines = 0\nlines = 0\n", "wiersz 10: pole „lines” powtórzone."},
    {"lines = 0\n", "line = 0\n", "Plik jest niekompletny: w sekcji [X] brak pola „lines”."},
    {"type = linear\ncorrection = on", "type = linear\ncorrection = on\nsign = -",
     "wiersz 13: nieznane pole „sign” w sekcji [X]."},
    {"otherFlags = 0x80000000", "otherFlags = 0x80000010",
     "wiersz 30: bity 0x70 to przełączniki korekcji, pola „correction” osi."},
    {"rows = 2", "rows = 256", "wiersz 29: liczba wierszy korekcji poza zakresem 0 do 255."},
    {"1 = -2147483648 2147483647", "1 = -2147483649 2147483647",
     "wiersz 33: oczekiwano dwóch liczb całkowitych (położenie i korekta) w zakresie liczb "
     "urządzenia."},
    {"2 = 5 7\n", "", "Plik jest niekompletny: tablica X ma 1 z 2 wierszy."},
    {"2 = 5 7\n", "3 = 5 7\n", "wiersz 34: oczekiwano wiersza 2 (tablica X), a jest „3”."},
    {"\n[end]\n", "", "Plik jest niekompletny: nie kończy się sekcją [end]."},
    {"[end]\n", "[end]\n[X]\n", "wiersz 45: tekst po [end]."},
    {"[corrections Y]", "[corrections W]", "wiersz 36: nieznana sekcja [corrections W]."},
    {"device = 2", "device = 1", "wiersz 28: urządzenie rodzaju 1 nie ma tablic korekcji."},
};

TEST(ConfigFile, RefusesWhatTheBoxMustNotBeGivenNamingTheLine) {
    const std::string text = boxconfig::configText(kindTwoBox());
    for (const Refused& r : refusals) {
        const auto read = boxconfig::parseConfig(edited(text, r.from, r.to));
        EXPECT_FALSE(read.config) << r.to;
        EXPECT_EQ(read.error, r.message) << r.to;
    }
    const auto large = boxconfig::parseConfig(text + std::string(boxconfig::maxFileBytes, '#'));
    EXPECT_EQ(large.error, "Plik jest za duży na plik konfiguracji (ponad 65536 bajtów).");
}

TEST(ConfigFile, KindOneKeepsCalibrationsItsDecimalFloatHoldsExactly) {
    BoxConfig box;
    box.deviceKind = 1;
    box.resolutionCodes = {1, 1, 1};
    const auto withCalibration = [&](std::int32_t millionths) {
        box.calibrationMillionths[1] = millionths;
        return boxconfig::parseConfig(boxconfig::configText(box)).error;
    };
    EXPECT_EQ(withCalibration(8388607), "");
    EXPECT_EQ(withCalibration(8388608),
              "wiersz 16: wartość kalibracji poza przedziałem dla osi Y.");
    // Its code 0 tells a missing axis, and X is always there.
    box.resolutionCodes = {1, 0, 0};
    EXPECT_EQ(withCalibration(0), "");
    box.resolutionCodes = {0, 1, 1};
    EXPECT_EQ(withCalibration(0), "wiersz 8: błędna wartość rozdzielczości dla osi X.");
    // A seventh decimal the box holds would be lost in the file: the save is refused instead.
    EXPECT_FALSE(boxconfig::calibrationBeyondFile({0.123456L, -2.5L, 0}));
    const auto beyond = boxconfig::calibrationBeyondFile({1, 0.1234567L, 0});
    ASSERT_TRUE(beyond);
    EXPECT_NE(beyond->find("osi Y"), std::string::npos);
}

TEST(ConfigFile, AFileOfAnotherKindIsToldApart) {
    EXPECT_FALSE(boxconfig::kindMismatch(kindTwoBox(), 2));
    EXPECT_EQ(
        boxconfig::kindMismatch(kindTwoBox(), 3),
        "Plik jest konfiguracją urządzenia rodzaju 2, a podłączone jest urządzenie rodzaju 3.");
}

TEST(ConfigFile, SavedFileLoadsBackAndAFailureSaysWhy) {
    char dir[] = "/tmp/kvt3-config-XXXXXX";
    ASSERT_TRUE(::mkdtemp(dir));
    const std::string path = std::string(dir) + "/box.kvt3cfg";
    const std::string unreadable = "Nie można odczytać pliku konfiguracji: ";
    EXPECT_EQ(boxconfig::loadConfigFile(path).error,
              unreadable + platform::fileErrorText(ENOENT) + ".");
    EXPECT_EQ(boxconfig::loadConfigFile(dir).error, unreadable + "to nie jest zwykły plik.");
    ASSERT_TRUE(boxconfig::saveConfigFile(path, kindTwoBox()));
    const auto read = boxconfig::loadConfigFile(path);
    EXPECT_EQ(read.config, kindTwoBox()) << read.error;

    // A link that leads nowhere yet: the file is made where it points, and the link stays.
    const std::string link = std::string(dir) + "/link.ini";
    ASSERT_EQ(::symlink("made.ini", link.c_str()), 0);
    ASSERT_TRUE(boxconfig::saveConfigFile(link, kindTwoBox()));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(boxconfig::loadConfigFile(std::string(dir) + "/made.ini").config, kindTwoBox());

    for (const char* name : {"/box.kvt3cfg", "/link.ini", "/made.ini"})
        ::unlink((std::string(dir) + name).c_str());
    ::rmdir(dir);
}

}  // namespace
