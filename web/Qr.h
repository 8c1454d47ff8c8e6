#pragma once

#include <QImage>
#include <QString>
#include <vector>

// The QR code of a text (the live view's address), for the operator to hold a phone to. Made by
// libqrencode: medium error correction, the text's UTF-8 bytes as they are.
namespace web {

// The code's modules, dark or light, row by row; `size` 0 when the text cannot be encoded (empty,
// or longer than the largest code holds).
struct QrModules {
    int size = 0;  // modules on a side: 21 to 177
    std::vector<bool> dark;

    bool isDark(int x, int y) const { return dark[static_cast<std::size_t>(y * size + x)]; }
};

QrModules qrModules(const QString& text);

// The code as a black-on-white picture: each module `scale` pixels square (whole pixels, so it
// stays sharp), around it the quiet zone of 4 light modules a reader needs. A side is
// (modules + 8) * scale pixels. A null image when the text cannot be encoded or scale < 1.
QImage qrImage(const QString& text, int scale);

// The quiet zone, in modules, on each side.
inline constexpr int qrQuietZone = 4;

}  // namespace web
