#pragma once

#include <QString>
#include <QStringList>

#include "platform/Clipboard.h"

class QMimeData;

namespace ks {

// The clipboard through QClipboard, on X the CLIPBOARD selection. Text is
// offered and taken as UTF-8, a bitmap as an image in every type Qt offers
// (PNG first); any other MIME type keeps its bytes under a registered number.
// What the program put on the clipboard outlives it only where a clipboard
// manager takes it over at exit, which Qt asks it to do.
class QtClipboard final : public Clipboard {
public:
    std::optional<std::vector<std::uint32_t>> formats() override;
    std::optional<Bytes> data(std::uint32_t format) override;
    bool clear() override;
    bool offer(std::uint32_t format, const Bytes& bytes) override;

    // The format number of a MIME type; registered on first sight.
    std::uint32_t formatOf(const QString& mimeType);
    // The MIME type a registered number stands for; empty for none.
    QString mimeTypeOf(std::uint32_t format) const;

private:
    bool take(QMimeData* mime);

    QStringList registered_;  // the type of format kFirstRegisteredFormat + i
};

}  // namespace ks
