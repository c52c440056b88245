// Writes a Windows .ico file from PNG pictures, so that the native Windows window shows
// the same picture as the desktop and the Qt window: each picture twice, in the 16
// colours of the standard Windows palette (for displays and dialogs that show no more)
// and in 32-bit colour:
//   make-window-icon app/win32/carrowin.ico app/icons/carrowin-16.png app/icons/carrowin-32.png
#include <QGuiApplication>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void put16(std::string& out, std::uint16_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

// The 16 colours of the standard Windows palette.
constexpr QRgb kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                               0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

int nearestColour(QRgb pixel)
{
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 16; ++i) {
        const long dr = qRed(pixel) - qRed(kPalette[i]), dg = qGreen(pixel) - qGreen(kPalette[i]),
                   db = qBlue(pixel) - qBlue(kPalette[i]);
        const long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

struct IconImage {
    std::string bytes;
    int size = 0;
    int bits = 32;
};

// One icon image: a bitmap header of twice the height, the palette (4 bits), the pixels
// bottom-up, then the mask. In 32-bit colour every pixel is drawn through its alpha and
// the mask is all zeros; in 16 colours the mask leaves out what is more than half clear.
IconImage iconImage(const QImage& source, int bits)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int n = image.width();
    std::string out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(n));
    put32(out, static_cast<std::uint32_t>(2 * n));
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(bits));
    put32(out, 0);
    for (int i = 0; i < 5; ++i)
        put32(out, 0);
    const int maskRow = ((n + 31) / 32) * 4;
    std::string mask;
    if (bits == 32) {
        for (int y = n - 1; y >= 0; --y)
            for (int x = 0; x < n; ++x)
                put32(out, image.pixel(x, y));
        mask.assign(static_cast<std::size_t>(maskRow * n), '\0');
    } else {
        for (QRgb colour : kPalette)
            put32(out, colour);
        const int pixelRow = ((n * 4 + 31) / 32) * 4;
        for (int y = n - 1; y >= 0; --y) {
            std::string pixels(static_cast<std::size_t>(pixelRow), '\0');
            std::string maskBits(static_cast<std::size_t>(maskRow), '\0');
            for (int x = 0; x < n; ++x) {
                const QRgb pixel = image.pixel(x, y);
                const bool clear = qAlpha(pixel) < 128;
                const int index = clear ? 0 : nearestColour(pixel);
                pixels[static_cast<std::size_t>(x / 2)] |= static_cast<char>(x % 2 ? index : index << 4);
                if (clear)
                    maskBits[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
            }
            out += pixels;
            mask += maskBits;
        }
    }
    out += mask;
    return {out, n, bits};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: make-window-icon FILE.ico PICTURE.png...\n");
        return 2;
    }
    std::vector<IconImage> images;
    for (int bits : {4, 32})
    for (int i = 2; i < argc; ++i) {
        const QImage picture(QString::fromLocal8Bit(argv[i]));
        if (picture.isNull() || picture.width() != picture.height() || picture.width() > 255) {
            std::fprintf(stderr, "make-window-icon: %s is not a square picture of at most 255 pixels\n", argv[i]);
            return 1;
        }
        images.push_back(iconImage(picture, bits));
    }
    std::string file;
    put16(file, 0);
    put16(file, 1); // an icon
    put16(file, static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (const IconImage& image : images) {
        file += static_cast<char>(image.size);
        file += static_cast<char>(image.size);
        file += static_cast<char>(image.bits == 4 ? 16 : 0); // colours in the palette
        file += '\0';
        put16(file, 1);
        put16(file, static_cast<std::uint16_t>(image.bits));
        put32(file, static_cast<std::uint32_t>(image.bytes.size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(image.bytes.size());
    }
    for (const IconImage& image : images)
        file += image.bytes;
    std::ofstream(argv[1], std::ios::binary) << file;
    return 0;
}
