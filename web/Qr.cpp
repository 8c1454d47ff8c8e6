#include "web/Qr.h"

#include <qrencode.h>

#include <QByteArray>
#include <QColor>

namespace web {

QrModules qrModules(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    QrModules modules;
    if (bytes.isEmpty()) return modules;
    // The bytes as one 8-bit segment: a text with a NUL in it is encoded whole, not cut short
    // there as QRcode_encodeString would. Version 0: the smallest code that holds it.
    QRcode* code = QRcode_encodeData(static_cast<int>(bytes.size()),
                                     reinterpret_cast<const unsigned char*>(bytes.constData()), 0,
                                     QR_ECLEVEL_M);
    if (!code) return modules;
    modules.size = code->width;
    modules.dark.resize(static_cast<std::size_t>(code->width) * code->width);
    // Bit 0 of each byte is the module's colour; the others say what libqrencode put there.
    for (std::size_t i = 0; i < modules.dark.size(); ++i) modules.dark[i] = code->data[i] & 1;
    QRcode_free(code);
    return modules;
}

QImage qrImage(const QString& text, int scale) {
    if (scale < 1) return {};
    const QrModules modules = qrModules(text);
    if (modules.size == 0) return {};
    const int side = (modules.size + 2 * qrQuietZone) * scale;
    QImage image(side, side, QImage::Format_Mono);
    if (image.isNull()) return {};
    image.setColorTable({QColor(Qt::white).rgb(), QColor(Qt::black).rgb()});
    image.fill(0);
    for (int y = 0; y < modules.size; ++y) {
        for (int x = 0; x < modules.size; ++x) {
            if (!modules.isDark(x, y)) continue;
            const int left = (x + qrQuietZone) * scale;
            const int top = (y + qrQuietZone) * scale;
            for (int py = top; py < top + scale; ++py)
                for (int px = left; px < left + scale; ++px) image.setPixel(px, py, 1);
        }
    }
    return image;
}

}  // namespace web
