#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/Bytes.h"

namespace ks {

// Clipboard format numbers. Text is UTF-8 without a terminating zero; a
// bitmap is a device-independent bitmap (a BMP without its file header).
// Every other kind of data the desktop offers gets a number of its own,
// from kFirstRegisteredFormat on, for as long as the program runs.
inline constexpr std::uint32_t kClipboardText = 1;
inline constexpr std::uint32_t kClipboardBitmap = 8;
inline constexpr std::uint32_t kFirstRegisteredFormat = 0xC000;

// The desktop's clipboard (on X the CLIPBOARD selection).
class Clipboard {
public:
    Clipboard() = default;
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;
    virtual ~Clipboard() = default;

    // The formats on offer, in the order their owner offers them; nothing
    // when the clipboard cannot be reached.
    virtual std::optional<std::vector<std::uint32_t>> formats() = 0;
    // The data under `format`; nothing when it is not on offer or cannot be had.
    virtual std::optional<Bytes> data(std::uint32_t format) = 0;
    // Empties the clipboard; false when another program has put something on it meanwhile.
    virtual bool clear() = 0;
    // Takes the clipboard over offering `bytes` under `format`; false when the
    // bytes cannot be offered that way or the desktop refuses.
    virtual bool offer(std::uint32_t format, const Bytes& bytes) = 0;
};

}  // namespace ks
