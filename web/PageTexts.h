#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

// The page's own words (its title, what it says while connecting, why its figures are grey), in
// the program's language: a browser gets them with the page, so a page shows the window's
// language even when the program can no longer be reached.
namespace web {

// Each word by the name the page's script knows it by. `pages`: how many pages may be open at
// once.
std::vector<std::pair<QByteArray, QString>> pageWords(int pages);

// The page as served: the compiled-in page with its words filled in.
QByteArray pageInLanguage(int pages);

// What a browser is shown when the view is full for the moment: why, and it loads again by
// itself two seconds later, script or not.
QByteArray busyPageInLanguage();

}  // namespace web
