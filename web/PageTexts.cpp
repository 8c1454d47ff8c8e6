#include "web/PageTexts.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace web {

namespace {

// Markup's special characters as references, for a text put into the page.
QByteArray escaped(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

struct Word {
    const char* name;
    const char* text;
};

constexpr Word words[] = {
    // The page's language code for the browser (its voice, its hyphenation).
    {"lang", QT_TRANSLATE_NOOP("ViewPage", "pl")},
    {"title", QT_TRANSLATE_NOOP("ViewPage", "KVT 3 – odczyt")},
    {"connecting", QT_TRANSLATE_NOOP("ViewPage", "Łączenie z programem…")},
    {"live", QT_TRANSLATE_NOOP("ViewPage", "Odczyt bieżący")},
    {"late", QT_TRANSLATE_NOOP("ViewPage", "Odczyt opóźniony – czekam na bieżący")},
    {"stale", QT_TRANSLATE_NOOP("ViewPage", "Odczyt nieaktualny")},
    {"noProgram", QT_TRANSLATE_NOOP("ViewPage", "Brak połączenia z programem")},
    {"keyChanged", QT_TRANSLATE_NOOP("ViewPage",
                                     "Ten adres jest już nieważny: utworzono nowy klucz dostępu. "
                                     "Zeskanuj nowy kod QR lub otwórz nowy adres podglądu.")},
    {"tooMany", QT_TRANSLATE_NOOP("ViewPage", "Otwarto zbyt wiele podglądów naraz (najwięcej %1)")},
    {"busy", QT_TRANSLATE_NOOP("ViewPage", "Podgląd chwilowo przeciążony – ponawiam")},
    {"axis", QT_TRANSLATE_NOOP("ViewPage", "Oś %1")},
};

}  // namespace

std::vector<std::pair<QByteArray, QString>> pageWords(int pages) {
    std::vector<std::pair<QByteArray, QString>> out;
    for (const Word& word : words) {
        QString text = QCoreApplication::translate("ViewPage", word.text);
        if (qstrcmp(word.name, "tooMany") == 0) text = text.arg(pages);
        out.emplace_back(word.name, text);
    }
    return out;
}

QByteArray busyPageInLanguage() {
    for (const Word& word : words)
        if (qstrcmp(word.name, "busy") == 0)
            return "<!DOCTYPE html><meta charset=\"utf-8\"><meta http-equiv=\"refresh\" "
                   "content=\"2\"><title>KVT 3</title><p>" +
                   escaped(QCoreApplication::translate("ViewPage", word.text)) + "</p>\n";
    return {};
}

QByteArray pageInLanguage(int pages) {
    QFile file(QStringLiteral(":/web/page/index.html"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray page = file.readAll();
    QJsonObject all;
    for (const auto& [name, text] : pageWords(pages)) {
        page.replace("{{" + name + "}}", escaped(text));
        all.insert(QString::fromLatin1(name), text);
    }
    // The script reads its words from a data block; "<" escaped so that no text could end it.
    QByteArray json = QJsonDocument(all).toJson(QJsonDocument::Compact);
    json.replace('<', "\\u003c");
    return page.replace("{{words}}", json);
}

}  // namespace web
