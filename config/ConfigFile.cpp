#include "config/ConfigFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

#include "config/AxisLimits.h"
#include "config/ResolutionCodes.h"
#include "link/WireFormats.h"
#include "platform/Files.h"
#include "platform/TextLines.h"
#include "platform/Translate.h"

namespace boxconfig {

namespace {

constexpr char axisLetters[] = "XYZ";
constexpr std::uint32_t switchBits = 0x70;
constexpr std::uint32_t typeBits = 0x07;
constexpr std::int32_t millionth = 1000000;

std::uint32_t switchBit(std::size_t axis) {
    return 0x10u << axis;
}

// A refusal, thrown where it is found and turned into the ReadResult's message.
struct Refusal {
    std::string message;
};

[[noreturn]] void refuse(std::string message) {
    throw Refusal{std::move(message)};
}

// A reason in the operator's language, its values put in for %1, %2, ...
std::string reason(const std::string& pattern, std::initializer_list<std::string_view> args = {}) {
    return platform::format(pattern, args);
}

std::string lineReason(int line, const std::string& message) {
    return reason(platform::translate("ConfigFile", "wiersz %1: %2"),
                  {std::to_string(line), message});
}

[[noreturn]] void refuseLine(int line, const std::string& message) {
    refuse(lineReason(line, message));
}

// What the file names that the program did not: printable ASCII only, cut short, so that no
// byte of it can spoil the message.
std::string shown(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 40)) out += (c >= ' ' && c <= '~') ? c : '?';
    return out;
}

std::string quoted(std::string_view text) {
    return "\u201E" + shown(text) + "\u201D";
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

template <class T>
std::optional<T> wholeNumber(std::string_view s, int base = 10) {
    T value{};
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (s.empty() || error != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

struct Entry {
    int line = 0;
    std::string_view key;
    std::string_view value;
};

struct Section {
    int line = 0;
    std::string_view name;
    std::vector<Entry> entries;
};

// The file cut into sections of "key = value" lines. The first malformed line is remembered, not
// told at once: a file of a newer format is refused as such, whatever its lines look like.
struct Layout {
    std::vector<Section> sections;
    std::optional<Refusal> malformed;
};

Layout layoutOf(std::string_view text) {
    Layout layout;
    int number = 0;
    while (!text.empty()) {
        std::string_view line = platform::takeLine(text);
        ++number;
        line = trimmed(line);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        const auto fail = [&](const std::string& why) {
            if (!layout.malformed) layout.malformed = Refusal{lineReason(number, why)};
        };
        if (line.front() == '[') {
            if (line.back() != ']') {
                fail(platform::translate("ConfigFile", "niezamknięty nawias sekcji."));
                continue;
            }
            layout.sections.push_back({number, trimmed(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            fail(platform::translate(
                "ConfigFile",
                "niezrozumiały wiersz (oczekiwano „pole = wartość” albo „[sekcja]”)."));
        } else if (layout.sections.empty()) {
            fail(platform::translate("ConfigFile", "pole przed pierwszą sekcją."));
        } else {
            layout.sections.back().entries.push_back(
                {number, trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1))});
        }
    }
    return layout;
}

// The fields of one section, taken by name; what is left over was not asked for.
class Fields {
public:
    explicit Fields(const Section& section) : section_(section) {
        for (std::size_t i = 0; i < section.entries.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (section.entries[j].key == section.entries[i].key)
                    refuseLine(section.entries[i].line,
                               reason(platform::translate("ConfigFile", "pole %1 powtórzone."),
                                      {quoted(section.entries[i].key)}));
            }
        }
        taken_.assign(section.entries.size(), false);
    }

    const Entry* find(std::string_view key) {
        for (std::size_t i = 0; i < section_.entries.size(); ++i) {
            if (section_.entries[i].key == key) {
                taken_[i] = true;
                return &section_.entries[i];
            }
        }
        return nullptr;
    }

    const Entry& get(std::string_view key) {
        if (const Entry* entry = find(key)) return *entry;
        refuse(reason(platform::translate("ConfigFile",
                                          "Plik jest niekompletny: w sekcji [%1] brak pola %2."),
                      {section_.name, quoted(key)}));
    }

    void refuseOthers() const {
        for (std::size_t i = 0; i < taken_.size(); ++i) {
            if (!taken_[i])
                refuseLine(
                    section_.entries[i].line,
                    reason(platform::translate("ConfigFile", "nieznane pole %1 w sekcji [%2]."),
                           {quoted(section_.entries[i].key), section_.name}));
        }
    }

private:
    const Section& section_;
    std::vector<bool> taken_;
};

// The header "[kvt3]" with "format" first: an older or foreign file is told as such before any
// other line is looked at.
void checkFormat(const Layout& layout) {
    if (layout.sections.empty() || layout.sections.front().name != "kvt3")
        refuse(platform::translate(
            "ConfigFile",
            "To nie jest plik konfiguracji KVT 3: pierwszą sekcją powinna być [kvt3]."));
    const Section& header = layout.sections.front();
    if (header.entries.empty() || header.entries.front().key != "format")
        refuseLine(header.line,
                   platform::translate("ConfigFile", "po [kvt3] powinno być pole „format”."));
    const Entry& format = header.entries.front();
    const auto version = wholeNumber<int>(format.value);
    if (!version || *version < 1)
        refuseLine(format.line, platform::translate("ConfigFile", "niepoprawna wersja formatu."));
    if (*version > formatVersion)
        refuse(
            reason(platform::translate(
                       "ConfigFile",
                       "Plik zapisano w nowszej wersji formatu (%1); ten program zna wersję %2."),
                   {std::to_string(*version), std::to_string(formatVersion)}));
}

// The file ends in "[end]": one cut short, at a line's end or within one, lacks it.
void checkEnd(const Layout& layout) {
    for (std::size_t i = 0; i + 1 < layout.sections.size(); ++i) {
        if (layout.sections[i].name == "end")
            refuseLine(layout.sections[i + 1].line,
                       platform::translate("ConfigFile", "tekst po [end]."));
    }
    if (layout.sections.back().name != "end")
        refuse(platform::translate("ConfigFile",
                                   "Plik jest niekompletny: nie kończy się sekcją [end]."));
}

bool allDigits(std::string_view s) {
    return s.find_first_not_of("0123456789") == std::string_view::npos;
}

// A decimal with at most six places ("-1.5", "0.000100"), exactly, in millionths.
std::optional<std::int64_t> millionthsOf(std::string_view text, bool& tooFine) {
    tooFine = false;
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || whole.size() > 9 || !allDigits(whole) || !allDigits(fraction) ||
        (point != std::string_view::npos && fraction.empty()))
        return {};
    while (fraction.size() > 6 && fraction.back() == '0') fraction.remove_suffix(1);
    if (fraction.size() > 6) {
        tooFine = true;
        return {};
    }
    std::string digits(fraction);
    digits.resize(6, '0');
    const std::int64_t value =
        *wholeNumber<std::int64_t>(whole) * millionth + *wholeNumber<std::int64_t>(digits);
    return negative ? -value : value;
}

// "0x" and up to eight hexadecimal digits.
std::optional<std::uint32_t> hexWord(const Entry& entry) {
    const std::string_view digits = entry.value.substr(entry.value.starts_with("0x") ? 2 : 0);
    if (!entry.value.starts_with("0x") || digits.size() > 8 ||
        !wholeNumber<std::uint32_t>(digits, 16))
        refuseLine(entry.line,
                   platform::translate("ConfigFile", "oczekiwano liczby szesnastkowej, np. 0x00."));
    return wholeNumber<std::uint32_t>(digits, 16);
}

std::string hexText(std::uint32_t word, std::size_t width) {
    char buffer[16];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, word, 16).ptr;
    std::string digits(buffer, end);
    for (char& c : digits) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return "0x" + digits;
}

int deviceKindOf(Fields& header) {
    const Entry& device = header.get("device");
    const auto kind = wholeNumber<int>(device.value);
    if (!kind || *kind < 1 || *kind > 4)
        refuseLine(device.line,
                   reason(platform::translate("ConfigFile",
                                              "nieznany rodzaj urządzenia %1 (znane: 1 do 4)."),
                          {quoted(device.value)}));
    return *kind;
}

void readAxis(const Section& section, std::size_t axis, BoxConfig& config) {
    const int kind = config.deviceKind;
    const std::string_view letter(&axisLetters[axis], 1);
    Fields fields(section);

    const Entry& resolution = fields.get("resolution");
    const auto code = wholeNumber<int>(resolution.value);
    // Kind 1 tells a missing Y or Z axis by the code 0.
    const int lowest = axis == 0 ? resolution::minCode(kind) : 0;
    if (!code || *code < lowest || *code > resolution::maxCode(kind))
        refuseLine(
            resolution.line,
            reason(platform::translate("ConfigFile", "błędna wartość rozdzielczości dla osi %1."),
                   {letter}));
    config.resolutionCodes[axis] = *code;

    const Entry& lines = fields.get("lines");
    const auto count = wholeNumber<std::int32_t>(lines.value);
    if (!count || !limits::lineCountWritable(*count))
        refuseLine(
            lines.line,
            reason(platform::translate("ConfigFile", "błędna liczba zliczeń na obrót dla osi %1."),
                   {letter}));
    config.lineCounts[axis] = *count;

    const Entry& calibration = fields.get("calibration");
    bool tooFine = false;
    const auto millionths = millionthsOf(calibration.value, tooFine);
    if (tooFine)
        refuseLine(
            calibration.line,
            platform::translate("ConfigFile", "kalibracja ma więcej niż 6 miejsc po przecinku."));
    if (!millionths)
        refuseLine(
            calibration.line,
            reason(platform::translate("ConfigFile", "błędna wartość kalibracji dla osi %1."),
                   {letter}));
    if (!limits::calibrationWritable(kind, static_cast<double>(*millionths) / millionth))
        refuseLine(calibration.line,
                   reason(platform::translate("ConfigFile",
                                              "wartość kalibracji poza przedziałem dla osi %1."),
                          {letter}));
    config.calibrationMillionths[axis] = static_cast<std::int32_t>(*millionths);

    const Entry& type = fields.get("type");
    if (type.value != "linear" && type.value != "angular")
        refuseLine(type.line,
                   platform::translate("ConfigFile", "typ osi to „linear” albo „angular”."));
    if (type.value == "angular") config.dimensionTypes |= static_cast<std::uint8_t>(1u << axis);

    const Entry* correction = fields.find("correction");
    if (correction && !hasCorrections(kind))
        refuseLine(correction->line,
                   platform::translate("ConfigFile", "urządzenie rodzaju 1 nie ma korekcji."));
    if (hasCorrections(kind)) {
        if (!correction) correction = &fields.get("correction");
        if (correction->value != "on" && correction->value != "off")
            refuseLine(correction->line,
                       platform::translate("ConfigFile", "korekcja to „on” albo „off”."));
        if (correction->value == "on") config.correctionFlags |= switchBit(axis);
    }
    fields.refuseOthers();
}

void readCorrections(const Section& section, BoxConfig& config) {
    Fields fields(section);
    const Entry& rows = fields.get("rows");
    const auto count = wholeNumber<int>(rows.value);
    if (!count || *count < 0 || *count > 255)
        refuseLine(rows.line, platform::translate(
                                  "ConfigFile", "liczba wierszy korekcji poza zakresem 0 do 255."));
    config.correctionRows = static_cast<std::uint8_t>(*count);

    const Entry& flags = fields.get("otherFlags");
    const auto word = hexWord(flags);
    if (*word & switchBits)
        refuseLine(flags.line,
                   platform::translate(
                       "ConfigFile", "bity 0x70 to przełączniki korekcji, pola „correction” osi."));
    config.correctionFlags |= *word;
    fields.refuseOthers();
}

void readTable(const Section& section, std::size_t axis, BoxConfig& config) {
    const int rows = config.correctionRows;
    const std::string_view letter(&axisLetters[axis], 1);
    int row = 0;
    for (const Entry& entry : section.entries) {
        ++row;
        if (row > rows)
            refuseLine(entry.line,
                       reason(platform::translate(
                                  "ConfigFile",
                                  "tablica %1 ma więcej wierszy, niż mówi pole „rows” (%2)."),
                              {letter, std::to_string(rows)}));
        if (wholeNumber<int>(entry.key) != row)
            refuseLine(entry.line,
                       reason(platform::translate("ConfigFile",
                                                  "oczekiwano wiersza %1 (tablica %2), a jest %3."),
                              {std::to_string(row), letter, quoted(entry.key)}));
        const std::size_t blank = entry.value.find_first_of(" \t");
        const auto position = wholeNumber<std::int32_t>(entry.value.substr(0, blank));
        const auto corrected = blank == std::string_view::npos
                                   ? std::nullopt
                                   : wholeNumber<std::int32_t>(trimmed(entry.value.substr(blank)));
        if (!position || !corrected)
            refuseLine(entry.line,
                       platform::translate("ConfigFile",
                                           "oczekiwano dwóch liczb całkowitych (położenie i "
                                           "korekta) w zakresie liczb urządzenia."));
        config.corrections[axis][row] = {static_cast<long double>(*position),
                                         static_cast<long double>(*corrected)};
    }
    if (row < rows)
        refuse(reason(platform::translate("ConfigFile",
                                          "Plik jest niekompletny: tablica %1 ma %2 z %3 wierszy."),
                      {letter, std::to_string(row), std::to_string(rows)}));
}

const Section* findSection(const Layout& layout, std::string_view name) {
    for (const Section& section : layout.sections)
        if (section.name == name) return &section;
    return nullptr;
}

const Section& needSection(const Layout& layout, const std::string& name) {
    if (const Section* section = findSection(layout, name)) return *section;
    refuse(reason(platform::translate("ConfigFile", "Plik jest niekompletny: brak sekcji [%1]."),
                  {name}));
}

BoxConfig configOf(const Layout& layout) {
    // The sections a kind's file has, and the last one, which tells that nothing was cut off.
    static const std::string known[] = {
        "kvt3",          "X",  "Y", "Z", "corrections", "corrections X", "corrections Y",
        "corrections Z", "end"};
    for (std::size_t i = 0; i < layout.sections.size(); ++i) {
        const Section& section = layout.sections[i];
        if (std::find(std::begin(known), std::end(known), section.name) == std::end(known))
            refuseLine(section.line,
                       reason(platform::translate("ConfigFile", "nieznana sekcja [%1]."),
                              {shown(section.name)}));
        for (std::size_t j = 0; j < i; ++j) {
            if (layout.sections[j].name == section.name)
                refuseLine(section.line,
                           reason(platform::translate("ConfigFile", "sekcja [%1] powtórzona."),
                                  {shown(section.name)}));
        }
    }
    const Section& last = layout.sections.back();
    if (!last.entries.empty())
        refuseLine(last.entries.front().line, platform::translate("ConfigFile", "tekst po [end]."));

    BoxConfig config;
    Fields header(layout.sections.front());
    header.find("format");
    config.deviceKind = deviceKindOf(header);
    const Entry& types = header.get("otherTypes");
    const auto otherTypes = hexWord(types);
    if (*otherTypes > 0xFF || (*otherTypes & typeBits))
        refuseLine(
            types.line,
            platform::translate("ConfigFile", "oczekiwano bajtu bez bitów 0x07, pól „type” osi."));
    config.dimensionTypes = static_cast<std::uint8_t>(*otherTypes);
    header.refuseOthers();

    const bool corrections = hasCorrections(config.deviceKind);
    if (!corrections) {
        for (const char* name : {"corrections", "corrections X", "corrections Y", "corrections Z"})
            if (const Section* section = findSection(layout, name))
                refuseLine(section->line,
                           platform::translate("ConfigFile",
                                               "urządzenie rodzaju 1 nie ma tablic korekcji."));
    }
    if (corrections) readCorrections(needSection(layout, "corrections"), config);
    for (std::size_t axis = 0; axis < 3; ++axis) {
        readAxis(needSection(layout, std::string(1, axisLetters[axis])), axis, config);
        if (corrections)
            readTable(needSection(layout, std::string("corrections ") + axisLetters[axis]), axis,
                      config);
    }
    return config;
}

}  // namespace

std::int32_t millionthsOf(long double value) {
    const long double whole = wire::truncToMeantWhole(value * 1000000.0L);
    return static_cast<std::int32_t>(
        std::clamp(whole, static_cast<long double>(std::numeric_limits<std::int32_t>::min()),
                   static_cast<long double>(std::numeric_limits<std::int32_t>::max())));
}

bool calibrationFitsFile(long double value) {
    const long double scaled = value * 1000000.0L;
    return std::fabs(scaled - static_cast<long double>(millionthsOf(value))) < 0.001L;
}

std::optional<std::string> calibrationBeyondFile(const std::array<long double, 3>& values) {
    for (std::size_t i = 0; i < 3; ++i) {
        if (calibrationFitsFile(values[i])) continue;
        return reason(
            platform::translate("ConfigFile",
                                "kalibracja osi %1 ma więcej niż sześć miejsc po przecinku, a plik "
                                "przechowuje sześć. Popraw ją w oknie „Parametry” i zapisz "
                                "konfigurację ponownie."),
            {std::string_view(&axisLetters[i], 1)});
    }
    return std::nullopt;
}

std::string calibrationText(std::int32_t millionths) {
    const std::int64_t magnitude = std::abs(static_cast<std::int64_t>(millionths));
    std::string fraction = std::to_string(magnitude % millionth);
    fraction.insert(0, 6 - fraction.size(), '0');
    return (millionths < 0 ? "-" : "") + std::to_string(magnitude / millionth) + "." + fraction;
}

bool angular(const BoxConfig& config, Axis axis) {
    return (config.dimensionTypes >> axisIndex(axis)) & 1u;
}

bool correctionOn(const BoxConfig& config, Axis axis) {
    return config.correctionFlags & switchBit(static_cast<std::size_t>(axisIndex(axis)));
}

std::string configText(const BoxConfig& config) {
    const bool corrections = hasCorrections(config.deviceKind);
    std::string text = "# KVT 3: konfiguracja urządzenia (opis formatu: docs/config-file.md)\n";
    text += "[kvt3]\nformat = " + std::to_string(formatVersion) + "\n";
    text += "device = " + std::to_string(config.deviceKind) + "\n";
    text += "otherTypes = " + hexText(config.dimensionTypes & ~typeBits & 0xFFu, 2) + "\n";
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const Axis a = static_cast<Axis>(axis);
        text += std::string("\n[") + axisLetters[axis] + "]\n";
        text += "resolution = " + std::to_string(config.resolutionCodes[axis]) + "\n";
        text += "lines = " + std::to_string(config.lineCounts[axis]) + "\n";
        text += "calibration = " + calibrationText(config.calibrationMillionths[axis]) + "\n";
        text += std::string("type = ") + (angular(config, a) ? "angular" : "linear") + "\n";
        if (corrections)
            text += std::string("correction = ") + (correctionOn(config, a) ? "on" : "off") + "\n";
    }
    if (corrections) {
        text += "\n[corrections]\nrows = " + std::to_string(config.correctionRows) + "\n";
        text += "otherFlags = " + hexText(config.correctionFlags & ~switchBits, 8) + "\n";
        for (std::size_t axis = 0; axis < 3; ++axis) {
            text += std::string("\n[corrections ") + axisLetters[axis] + "]\n";
            for (int row = 1; row <= config.correctionRows; ++row) {
                const TCorrectionEntry& entry = config.corrections[axis][row];
                text += std::to_string(row) + " = " +
                        std::to_string(wire::roundHalfEvenToInt32(entry.Position)) + " " +
                        std::to_string(wire::roundHalfEvenToInt32(entry.Corrected)) + "\n";
            }
        }
    }
    return text + "\n[end]\n";
}

ReadResult parseConfig(std::string_view text) {
    if (text.size() > maxFileBytes)
        return {
            std::nullopt,
            reason(platform::translate("ConfigFile",
                                       "Plik jest za duży na plik konfiguracji (ponad %1 bajtów)."),
                   {std::to_string(maxFileBytes)})};
    // Editors on other systems may begin a UTF-8 file with a byte order mark.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    try {
        const Layout layout = layoutOf(text);
        checkFormat(layout);
        checkEnd(layout);
        if (layout.malformed) throw *layout.malformed;
        return {configOf(layout), {}};
    } catch (const Refusal& refusal) {
        return {std::nullopt, refusal.message};
    }
}

std::optional<std::string> notKeptInFile(const BoxConfig& box,
                                         const std::array<long double, 3>& calibration) {
    const ReadResult check = parseConfig(configText(box));
    std::optional<std::string> refusal = calibrationBeyondFile(calibration);
    if (!check.config || !(*check.config == box)) refusal = check.error;
    return refusal;
}

std::optional<std::string> kindMismatch(const BoxConfig& config, int connectedKind) {
    if (config.deviceKind == connectedKind) return std::nullopt;
    return reason(platform::translate("ConfigFile",
                                      "Plik jest konfiguracją urządzenia rodzaju %1, a "
                                      "podłączone jest urządzenie rodzaju %2."),
                  {std::to_string(config.deviceKind), std::to_string(connectedKind)});
}

ReadResult loadConfigFile(const std::string& path) {
    // One byte more than may be read tells a file that is too large.
    int error = 0;
    const std::optional<std::string> text =
        platform::readRegularFile(path, maxFileBytes + 1, &error);
    if (!text)
        return {std::nullopt,
                platform::format(
                    platform::translate("ConfigFile", "Nie można odczytać pliku konfiguracji: %1."),
                    {platform::fileErrorText(error)})};
    return parseConfig(*text);
}

bool saveConfigFile(const std::string& path, const BoxConfig& config, int* error) {
    return platform::replaceFile(path, configText(config), error);
}

}  // namespace boxconfig
