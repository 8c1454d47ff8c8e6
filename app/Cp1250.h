#pragma once

#include <QByteArray>
#include <QString>

// Windows-1250 (Central European) text, the code page of the help file. Qt's own converters do
// not carry it. Bytes the code page leaves undefined become U+FFFD.
QString decodeCp1250(const QByteArray& bytes);

// Splits text into lines ending at CR, LF or CR LF; a last line without an ending counts too.
QStringList splitTextLines(const QString& text);
