// The QR code of the live view's address. No decoder is at hand, so the picture is checked for what
// a reader needs of it and a fault would break: its size, whole pixels per module, the quiet zone,
// the finder and timing patterns where a reader looks for them, and the format information (the
// error correction level) readable in both of its copies.
#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <QString>

#include "web/Qr.h"

namespace {

using web::qrImage;
using web::qrModules;
using web::qrQuietZone;

const QString url = QStringLiteral("http://192.168.1.20:8080/5f0c1a2b3c4d5e6f708192a3b4c5d6e7/");

// A module of the code (quiet zone not counted) read off the picture: every one of its pixels must
// be the same, black or white.
class Picture {
public:
    Picture(const QImage& image, int scale) : image_(image), scale_(scale) {}

    int modules() const { return image_.width() / scale_ - 2 * qrQuietZone; }

    bool dark(int x, int y) const {
        const int left = (x + qrQuietZone) * scale_;
        const int top = (y + qrQuietZone) * scale_;
        const QRgb first = image_.pixel(left, top);
        for (int py = top; py < top + scale_; ++py)
            for (int px = left; px < left + scale_; ++px)
                EXPECT_EQ(image_.pixel(px, py), first) << "module " << x << "," << y;
        EXPECT_TRUE(first == qRgb(0, 0, 0) || first == qRgb(255, 255, 255))
            << "module " << x << "," << y << " is " << std::hex << first;
        return first == qRgb(0, 0, 0);
    }

private:
    QImage image_;
    int scale_;
};

// The finder pattern whose top left module is (left, top): a dark 7x7 ring, a light ring inside
// it, a dark 3x3 centre; and the light separator along its sides that face the code.
void expectFinder(const Picture& picture, int left, int top, const char* where) {
    SCOPED_TRACE(where);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            const int ring =
                std::max(std::abs(x - 3), std::abs(y - 3));  // 3 outer, 2 light, <2 centre
            EXPECT_EQ(picture.dark(left + x, top + y), ring != 2) << x << "," << y;
        }
    }
    const int n = picture.modules();
    for (int i = -1; i <= 7; ++i) {
        for (int y : {top - 1, top + 7}) {
            if (y >= 0 && y < n && left + i >= 0 && left + i < n) {
                EXPECT_FALSE(picture.dark(left + i, y)) << "separator row " << y;
            }
        }
        for (int x : {left - 1, left + 7}) {
            if (x >= 0 && x < n && top + i >= 0 && top + i < n) {
                EXPECT_FALSE(picture.dark(x, top + i)) << "separator column " << x;
            }
        }
    }
}

// The 15 bits of format information for an error correction level and a mask: the five data
// bits, their BCH(15,5) remainder, the fixed XOR mask.
int formatWord(int level, int mask) {
    const int data = (level << 3) | mask;
    int rest = data << 10;
    for (int bit = 14; bit >= 10; --bit)
        if (rest & (1 << bit)) rest ^= 0x537 << (bit - 10);
    return ((data << 10) | rest) ^ 0x5412;
}

constexpr int levelM = 0;  // the level's two bits: L 01, M 00, Q 11, H 10

// Bit i of the copy beside the top left finder, then of the copy split between the other two.
int formatBitsNearTopLeft(const Picture& p) {
    int word = 0;
    for (int i = 0; i < 8; ++i) word |= p.dark(8, i < 6 ? i : i + 1) << i;
    for (int i = 0; i < 7; ++i) word |= p.dark(i == 0 ? 7 : 6 - i, 8) << (8 + i);
    return word;
}

int formatBitsSplit(const Picture& p) {
    const int n = p.modules();
    int word = 0;
    for (int i = 0; i < 8; ++i) word |= p.dark(n - 1 - i, 8) << i;
    for (int i = 0; i < 7; ++i) word |= p.dark(8, n - 7 + i) << (8 + i);
    return word;
}

const QString texts[] = {QStringLiteral("a"), url,
                         QStringLiteral("http://[fe80::1234:5678:9abc:def0]:65535/"
                                        "00112233445566778899aabbccddeeff/"),
                         QString(300, QLatin1Char('x'))};

TEST(Qr, SideIsTheModulesAndQuietZoneTimesTheScale) {
    for (const QString& text : texts) {
        const web::QrModules modules = qrModules(text);
        ASSERT_GT(modules.size, 0) << text.toStdString();
        // Versions 1 to 40: 21 to 177 modules, in steps of four.
        EXPECT_GE(modules.size, 21);
        EXPECT_LE(modules.size, 177);
        EXPECT_EQ((modules.size - 17) % 4, 0) << modules.size;
        for (int scale : {1, 3, 5}) {
            const QImage image = qrImage(text, scale);
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.width(), (modules.size + 8) * scale);
            EXPECT_EQ(image.height(), image.width());
            // Every module, pixel for pixel, as the encoder made it.
            const Picture picture(image, scale);
            for (int y = 0; y < modules.size; ++y)
                for (int x = 0; x < modules.size; ++x)
                    ASSERT_EQ(picture.dark(x, y), modules.isDark(x, y)) << x << "," << y;
        }
    }
}

TEST(Qr, QuietZoneIsWhite) {
    for (int scale : {1, 4}) {
        const QImage image = qrImage(url, scale);
        ASSERT_FALSE(image.isNull());
        const int zone = qrQuietZone * scale;
        const int side = image.width();
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                if (x < zone || y < zone || x >= side - zone || y >= side - zone) {
                    ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
                }
    }
}

TEST(Qr, FindersSitInThreeCornersAndTimingRunsBetweenThem) {
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        const int scale = 3;
        const Picture picture(qrImage(text, scale), scale);
        const int n = picture.modules();
        ASSERT_EQ(n, qrModules(text).size);
        expectFinder(picture, 0, 0, "top left");
        expectFinder(picture, n - 7, 0, "top right");
        expectFinder(picture, 0, n - 7, "bottom left");
        // No finder in the fourth corner: a mirrored or turned code would have one there.
        int same = 0;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x)
                same += picture.dark(n - 7 + x, n - 7 + y) ==
                        (std::max(std::abs(x - 3), std::abs(y - 3)) != 2);
        EXPECT_LT(same, 49);
        // Row 6 and column 6 alternate between the finders, dark first.
        for (int i = 8; i < n - 8; ++i) {
            EXPECT_EQ(picture.dark(i, 6), i % 2 == 0) << "timing row at " << i;
            EXPECT_EQ(picture.dark(6, i), i % 2 == 0) << "timing column at " << i;
        }
        // The one module that is always dark, above the bottom left finder's separator.
        EXPECT_TRUE(picture.dark(8, n - 8));
    }
}

TEST(Qr, FormatInformationSaysMediumCorrectionInBothCopies) {
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        const Picture picture(qrImage(text, 2), 2);
        const int nearTopLeft = formatBitsNearTopLeft(picture);
        EXPECT_EQ(formatBitsSplit(picture), nearTopLeft);
        int masks = 0;
        for (int mask = 0; mask < 8; ++mask) masks += formatWord(levelM, mask) == nearTopLeft;
        EXPECT_EQ(masks, 1) << "format word " << std::hex << nearTopLeft;
    }
}

TEST(Qr, BlackOnWhiteOnly) {
    const QImage image = qrImage(url, 2);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    EXPECT_EQ(colours, (QSet<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
}

TEST(Qr, EachTextItsOwnCodeAndTheSameTextTheSameCode) {
    const QString other =
        QStringLiteral("http://192.168.1.20:8080/5f0c1a2b3c4d5e6f708192a3b4c5d6e8/");
    EXPECT_EQ(qrImage(url, 3), qrImage(url, 3));
    EXPECT_NE(qrImage(url, 3), qrImage(other, 3));
    // A NUL in the text is encoded, not an end of it.
    EXPECT_NE(qrImage(QString::fromUtf16(u"ab\0c", 4), 1), qrImage(QStringLiteral("ab"), 1));
    // Letters beyond ASCII go as their UTF-8 bytes, not dropped or replaced.
    EXPECT_NE(qrImage(QStringLiteral("łódź"), 1), qrImage(QStringLiteral("?d?"), 1));
}

TEST(Qr, WhatCannotBeEncodedGivesANullImage) {
    // The largest code at medium correction holds 2331 bytes.
    EXPECT_FALSE(qrImage(QString(2331, QLatin1Char('a')), 1).isNull());
    EXPECT_TRUE(qrImage(QString(2332, QLatin1Char('a')), 1).isNull());
    EXPECT_EQ(qrModules(QString(2332, QLatin1Char('a'))).size, 0);
    // Counted in UTF-8 bytes: "ł" takes two.
    EXPECT_FALSE(qrImage(QString(1165, QChar(0x142)), 1).isNull());
    EXPECT_TRUE(qrImage(QString(1166, QChar(0x142)), 1).isNull());
    EXPECT_TRUE(qrImage(QString(), 4).isNull());
    EXPECT_TRUE(qrImage(url, 0).isNull());
}

}  // namespace
