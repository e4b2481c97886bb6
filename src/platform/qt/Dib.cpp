#include "platform/qt/Dib.h"

#include <cstdint>
#include <cstring>

namespace ks {

namespace {

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

void putLe(Bytes& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getLe(const Bytes& in, std::size_t at, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint32_t{in[at + i]} << (8 * i);
    return value;
}

std::size_t rowStride(std::int64_t width, int bitsPerPixel) {
    return static_cast<std::size_t>((width * bitsPerPixel + 31) / 32 * 4);
}

struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows top-down
    std::uint32_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::int32_t xPerMeter = 0;
    std::int32_t yPerMeter = 0;
};

std::optional<InfoHeader> readHeader(const Bytes& dib) {
    if (dib.size() < kInfoHeaderSize) return std::nullopt;
    InfoHeader h;
    h.size = getLe(dib, 0, 4);
    h.width = static_cast<std::int32_t>(getLe(dib, 4, 4));
    h.height = static_cast<std::int32_t>(getLe(dib, 8, 4));
    h.bitCount = getLe(dib, 14, 2);
    h.compression = getLe(dib, 16, 4);
    h.xPerMeter = static_cast<std::int32_t>(getLe(dib, 24, 4));
    h.yPerMeter = static_cast<std::int32_t>(getLe(dib, 28, 4));
    h.colorsUsed = getLe(dib, 32, 4);
    if (h.size < kInfoHeaderSize || h.size > dib.size() || h.width <= 0 || h.height == 0 ||
        h.height == INT32_MIN) {
        return std::nullopt;
    }
    return h;
}

// Where the pixels start when a file header is put in front of the bitmap.
std::size_t pixelOffset(const InfoHeader& h) {
    std::size_t offset = kFileHeaderSize + h.size;
    if (h.compression == kBiBitfields && h.size == kInfoHeaderSize) offset += 12;
    if (h.bitCount <= 8) offset += 4 * (h.colorsUsed != 0 ? h.colorsUsed : 1u << h.bitCount);
    return offset;
}

std::optional<QImage> readWithQt(const Bytes& dib, const InfoHeader& h) {
    Bytes file(kFileHeaderSize);
    file[0] = 'B';
    file[1] = 'M';
    putLe(file, 2, static_cast<std::uint32_t>(kFileHeaderSize + dib.size()), 4);
    putLe(file, 10, static_cast<std::uint32_t>(pixelOffset(h)), 4);
    file.insert(file.end(), dib.begin(), dib.end());
    QImage image;
    if (!image.loadFromData(file.data(), static_cast<int>(file.size()), "BMP")) return std::nullopt;
    return image;
}

}  // namespace

Bytes imageToDib(const QImage& source) {
    const bool alpha = source.hasAlphaChannel();
    const QImage image =
        source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    const int bits = alpha ? 32 : 24;
    const std::size_t stride = rowStride(image.width(), bits);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * (bits / 8);
    Bytes dib(kInfoHeaderSize + stride * static_cast<std::size_t>(image.height()));
    putLe(dib, 0, kInfoHeaderSize, 4);
    putLe(dib, 4, static_cast<std::uint32_t>(image.width()), 4);
    putLe(dib, 8, static_cast<std::uint32_t>(image.height()), 4);
    putLe(dib, 12, 1, 2);
    putLe(dib, 14, bits, 2);
    putLe(dib, 16, kBiRgb, 4);
    putLe(dib, 20, static_cast<std::uint32_t>(stride * image.height()), 4);
    putLe(dib, 24, static_cast<std::uint32_t>(image.dotsPerMeterX()), 4);
    putLe(dib, 28, static_cast<std::uint32_t>(image.dotsPerMeterY()), 4);
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = dib.data() + kInfoHeaderSize + stride * (image.height() - 1 - y);
        std::memcpy(row, image.constScanLine(y), rowBytes);
        // RGB888 keeps R, G, B in memory order; a bitmap wants B, G, R.
        if (!alpha) {
            for (std::size_t x = 0; x < rowBytes; x += 3) std::swap(row[x], row[x + 2]);
        }
    }
    return dib;
}

std::optional<QImage> dibToImage(const Bytes& dib) {
    const auto h = readHeader(dib);
    if (!h) return std::nullopt;
    if (h->compression != kBiRgb || (h->bitCount != 24 && h->bitCount != 32)) {
        return readWithQt(dib, *h);
    }
    const bool alpha = h->bitCount == 32;
    const int height = h->height < 0 ? -h->height : h->height;
    const std::size_t stride = rowStride(h->width, static_cast<int>(h->bitCount));
    const std::size_t pixels = h->size;
    if ((dib.size() - pixels) / stride < static_cast<std::size_t>(height)) return std::nullopt;
    QImage image(h->width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    if (image.isNull()) return std::nullopt;
    const std::size_t rowBytes = static_cast<std::size_t>(h->width) * (h->bitCount / 8);
    for (int y = 0; y < height; ++y) {
        const int sourceRow = h->height < 0 ? y : height - 1 - y;
        std::uint8_t* row = image.scanLine(y);
        std::memcpy(row, dib.data() + pixels + stride * sourceRow, rowBytes);
        if (!alpha) {
            for (std::size_t x = 0; x < rowBytes; x += 3) std::swap(row[x], row[x + 2]);
        }
    }
    image.setDotsPerMeterX(h->xPerMeter);
    image.setDotsPerMeterY(h->yPerMeter);
    return alpha ? image : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace ks
