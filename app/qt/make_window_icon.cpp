// Writes a Windows .ico file (32-bit colour) from PNG pictures, so that the native
// Windows window shows the same picture as the desktop and the Qt window:
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

// One icon image: a bitmap header of twice the height, the pixels bottom-up in BGRA,
// then the mask (every pixel drawn through its alpha, so the mask is all zeros).
std::string iconImage(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int n = image.width();
    std::string out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(n));
    put32(out, static_cast<std::uint32_t>(2 * n));
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    for (int i = 0; i < 5; ++i)
        put32(out, 0);
    for (int y = n - 1; y >= 0; --y)
        for (int x = 0; x < n; ++x)
            put32(out, image.pixel(x, y));
    const int maskRow = ((n + 31) / 32) * 4;
    out.append(static_cast<std::size_t>(maskRow * n), '\0');
    return out;
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
    std::vector<std::string> images;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i) {
        const QImage picture(QString::fromLocal8Bit(argv[i]));
        if (picture.isNull() || picture.width() != picture.height() || picture.width() > 255) {
            std::fprintf(stderr, "make-window-icon: %s is not a square picture of at most 255 pixels\n", argv[i]);
            return 1;
        }
        images.push_back(iconImage(picture));
        sizes.push_back(picture.width());
    }
    std::string file;
    put16(file, 0);
    put16(file, 1); // an icon
    put16(file, static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int size = sizes[i];
        file += static_cast<char>(size);
        file += static_cast<char>(size);
        file += '\0';
        file += '\0';
        put16(file, 1);
        put16(file, 32);
        put32(file, static_cast<std::uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const std::string& image : images)
        file += image;
    std::ofstream(argv[1], std::ios::binary) << file;
    return 0;
}
