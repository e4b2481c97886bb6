#include "platform/qt/QtClipboard.h"

#include <algorithm>
#include <memory>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/qt/Dib.h"

namespace ks {

namespace {

QClipboard* systemClipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::clipboard()
               : nullptr;
}

bool isText(const QString& type) {
    return type == u"text/plain" || type.startsWith(u"text/plain;");
}

Bytes toBytes(const QByteArray& array) {
    return Bytes(array.begin(), array.end());
}

}  // namespace

std::uint32_t QtClipboard::formatOf(const QString& mimeType) {
    if (isText(mimeType)) return kClipboardText;
    if (mimeType.startsWith(u"image/") || mimeType == u"application/x-qt-image") {
        return kClipboardBitmap;
    }
    auto found = std::find(registered_.begin(), registered_.end(), mimeType);
    if (found == registered_.end()) {
        registered_.append(mimeType);
        found = registered_.end() - 1;
    }
    return kFirstRegisteredFormat + static_cast<std::uint32_t>(found - registered_.begin());
}

QString QtClipboard::mimeTypeOf(std::uint32_t format) const {
    const std::uint32_t index = format - kFirstRegisteredFormat;
    return format >= kFirstRegisteredFormat &&
                   index < static_cast<std::uint32_t>(registered_.size())
               ? registered_[static_cast<qsizetype>(index)]
               : QString();
}

std::optional<std::vector<std::uint32_t>> QtClipboard::formats() {
    QClipboard* clipboard = systemClipboard();
    if (clipboard == nullptr) return std::nullopt;
    std::vector<std::uint32_t> numbers;
    const QMimeData* mime = clipboard->mimeData();
    if (mime == nullptr) return numbers;
    // X selection targets that are no data (TARGETS, TIMESTAMP, MULTIPLE…) have no '/'.
    for (const QString& type : mime->formats()) {
        if (!type.contains(u'/')) continue;
        const std::uint32_t number = formatOf(type);
        if (std::find(numbers.begin(), numbers.end(), number) == numbers.end()) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

std::optional<Bytes> QtClipboard::data(std::uint32_t format) {
    QClipboard* clipboard = systemClipboard();
    const QMimeData* mime = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    if (mime == nullptr) return std::nullopt;
    if (format == kClipboardText) {
        if (!mime->hasText()) return std::nullopt;
        return toBytes(mime->text().toUtf8());
    }
    if (format == kClipboardBitmap) {
        if (!mime->hasImage()) return std::nullopt;
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (image.isNull()) return std::nullopt;
        return imageToDib(image);
    }
    const QString type = mimeTypeOf(format);
    if (type.isEmpty() || !mime->hasFormat(type)) return std::nullopt;
    return toBytes(mime->data(type));
}

bool QtClipboard::take(QMimeData* mime) {
    QClipboard* clipboard = systemClipboard();
    if (clipboard == nullptr) {
        delete mime;
        return false;
    }
    clipboard->setMimeData(mime);
    // Another program may take the clipboard in the same moment.
    return clipboard->mimeData() == mime;
}

bool QtClipboard::clear() {
    // Qt empties the X clipboard by giving it up, so that no program owns it.
    QClipboard* clipboard = systemClipboard();
    if (clipboard == nullptr) return false;
    clipboard->clear();
    const QMimeData* mime = clipboard->mimeData();
    return mime == nullptr || mime->formats().isEmpty();
}

bool QtClipboard::offer(std::uint32_t format, const Bytes& bytes) {
    auto mime = std::make_unique<QMimeData>();
    const auto* chars = reinterpret_cast<const char*>(bytes.data());
    const auto size = static_cast<qsizetype>(bytes.size());
    if (format == kClipboardText) {
        // The bytes as they are, also when they are no UTF-8: Qt offers them
        // under every text target.
        mime->setData(QStringLiteral("text/plain"), QByteArray(chars, size));
    } else if (format == kClipboardBitmap) {
        const auto image = dibToImage(bytes);
        if (!image) return false;
        mime->setImageData(*image);
    } else {
        const QString type = mimeTypeOf(format);
        if (type.isEmpty()) return false;
        mime->setData(type, QByteArray(chars, size));
    }
    return take(mime.release());
}

}  // namespace ks
