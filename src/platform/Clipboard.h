#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
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

// What a read from another program may cost: it gives up after this long
// without a word from the clipboard's owner, or when the data grows beyond
// this size, so that an owner that hangs or streams without end freezes nothing.
inline constexpr std::chrono::milliseconds kClipboardQuietLimit{5000};
inline constexpr std::size_t kClipboardSizeLimit = std::size_t{256} << 20;

// What one read of the clipboard gave: the chosen format and its data.
struct ClipboardContent {
    std::uint32_t format = 0;
    Bytes bytes;
};

// Picks the format to read from those on offer, in the order their owner
// offers them; nothing reads none.
using ClipboardChoice =
    std::function<std::optional<std::uint32_t>(const std::vector<std::uint32_t>&)>;

// One read of the clipboard. Another program answers it while the event loop
// runs; dropping the read abandons it.
class ClipboardRead {
public:
    enum class State { Waiting, Read, Failed };

    ClipboardRead() = default;
    ClipboardRead(const ClipboardRead&) = delete;
    ClipboardRead& operator=(const ClipboardRead&) = delete;
    virtual ~ClipboardRead() = default;

    virtual State state() const = 0;
    // Once Read: the chosen format's data; nothing when none was chosen or
    // the clipboard was empty.
    virtual const std::optional<ClipboardContent>& content() const = 0;
};

// A read that was over when it began.
class FinishedClipboardRead final : public ClipboardRead {
public:
    explicit FinishedClipboardRead(State state, std::optional<ClipboardContent> content = {})
        : state_(state), content_(std::move(content)) {}
    State state() const override { return state_; }
    const std::optional<ClipboardContent>& content() const override { return content_; }

private:
    State state_;
    std::optional<ClipboardContent> content_;
};

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
    // Starts reading the format `choose` picks. `answered` is called, on the
    // thread that runs the event loop, when a read that was Waiting on return
    // is over. Unless overridden, the read is over at once, through formats()
    // and data().
    virtual std::unique_ptr<ClipboardRead> read(const ClipboardChoice& choose,
                                                std::function<void()> answered);
    // Empties the clipboard; false when another program has put something on it meanwhile.
    virtual bool clear() = 0;
    // Takes the clipboard over offering `bytes` under `format`; false when the
    // bytes cannot be offered that way or the desktop refuses.
    virtual bool offer(std::uint32_t format, const Bytes& bytes) = 0;
};

inline std::unique_ptr<ClipboardRead> Clipboard::read(const ClipboardChoice& choose,
                                                      std::function<void()> /*answered*/) {
    using State = ClipboardRead::State;
    const std::optional<std::vector<std::uint32_t>> offered = formats();
    if (!offered) return std::make_unique<FinishedClipboardRead>(State::Failed);
    const std::optional<std::uint32_t> format = choose(*offered);
    if (!format) return std::make_unique<FinishedClipboardRead>(State::Read);
    std::optional<Bytes> bytes = data(*format);
    if (!bytes) return std::make_unique<FinishedClipboardRead>(State::Failed);
    return std::make_unique<FinishedClipboardRead>(State::Read,
                                                   ClipboardContent{*format, std::move(*bytes)});
}

}  // namespace ks
