#include "platform/qt/ClipboardTargets.h"

#include <algorithm>
#include <array>

#include <QBuffer>
#include <QImage>

#include "platform/qt/Dib.h"

namespace ks {

namespace {

// Text types, best first: UTF8_STRING gives the owner's bytes as they are.
constexpr std::array<const char*, 5> kTextTargets = {"UTF8_STRING", "text/plain;charset=utf-8",
                                                     "text/plain", "STRING", "TEXT"};

std::size_t textRank(const std::string& name) {
    return static_cast<std::size_t>(std::find(kTextTargets.begin(), kTextTargets.end(), name) -
                                    kTextTargets.begin());
}

bool isTextTarget(const std::string& name) {
    return textRank(name) < kTextTargets.size();
}

constexpr const char* kImagePrefix = "image/";

}  // namespace

ClipboardTargets classifyTargets(const std::vector<std::string>& offered, QtClipboard& numbering) {
    ClipboardTargets targets;
    for (std::size_t i = 0; i < offered.size(); ++i) {
        const std::string& name = offered[i];
        if (!isTextTarget(name) && name.find('/') == std::string::npos) continue;
        targets.names.push_back(name);
        targets.formats.push_back(
            isTextTarget(name) ? kClipboardText : numbering.formatOf(QString::fromStdString(name)));
        targets.offered.push_back(i);
    }
    return targets;
}

std::vector<std::uint32_t> ClipboardTargets::distinct() const {
    std::vector<std::uint32_t> once;
    for (std::uint32_t format : formats) {
        if (std::find(once.begin(), once.end(), format) == once.end()) once.push_back(format);
    }
    return once;
}

std::size_t ClipboardTargets::targetFor(std::uint32_t format) const {
    const auto rank = [&](std::size_t i) -> std::size_t {
        if (format == kClipboardText) return textRank(names[i]);
        return format == kClipboardBitmap && names[i] == "image/png" ? 0 : 1;
    };
    std::size_t best = names.size();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (formats[i] == format && (best == names.size() || rank(i) < rank(best))) best = i;
    }
    return best;
}

std::optional<Bytes> contentFromTarget(std::uint32_t format, const std::string& name, Bytes bytes) {
    if (format != kClipboardBitmap) return bytes;
    const QByteArray subtype =
        QByteArray::fromStdString(name.substr(std::string_view(kImagePrefix).size()));
    const QByteArrayView encoded(reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<qsizetype>(bytes.size()));
    const QImage image = QImage::fromData(encoded, subtype.constData());
    if (image.isNull()) return std::nullopt;
    return imageToDib(image);
}

std::optional<OfferedData> dataToOffer(std::uint32_t format, const Bytes& bytes,
                                       const QtClipboard& numbering) {
    if (format == kClipboardText) {
        return OfferedData{{kTextTargets.begin(), kTextTargets.end()}, bytes};
    }
    if (format == kClipboardBitmap) {
        const auto image = dibToImage(bytes);
        if (!image) return std::nullopt;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image->save(&buffer, "PNG")) return std::nullopt;
        return OfferedData{{"image/png"}, Bytes(png.begin(), png.end())};
    }
    const QString type = numbering.mimeTypeOf(format);
    if (type.isEmpty()) return std::nullopt;
    return OfferedData{{type.toStdString()}, bytes};
}

}  // namespace ks
