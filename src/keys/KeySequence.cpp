#include "keys/KeySequence.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/Utf8.h"
#include "core/VirtualKey.h"

namespace ks {
namespace {

// One character to type: on a layout key (vk != 0) or on a spare key still
// to be bound (vk == 0).
struct Stroke {
    char32_t ch = 0;
    std::uint8_t vk = 0;
    std::uint8_t scan = 0;
    bool shift = false;
};

// A character is typed on its layout key when the key needs no more than
// Shift. A control character's Ctrl requirement is dropped (a line feed is
// the Enter key); a key behind AltGr, or no key at all, means a spare key,
// because pressing AltGr would itself depend on the layout's modifier setup.
Stroke strokeFor(const KeyLayout& layout, char32_t ch) {
    const std::int16_t scanned = layout.VkKeyScan(ch);
    if (scanned == -1) return {ch};
    const auto vk = static_cast<std::uint8_t>(scanned & 0xFF);
    const auto state = static_cast<std::uint8_t>((scanned >> 8) & 0xFF);
    const auto scan = static_cast<std::uint8_t>(layout.MapVirtualKey(vk, MapType::VkToScan));
    if ((state & kNeedsAlt) != 0 || scan == 0) return {ch};
    return {ch, vk, scan, (state & kNeedsShift) != 0};
}

std::vector<Stroke> planStrokes(const KeyLayout& layout, std::string_view text) {
    std::vector<Stroke> strokes;
    strokes.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const utf8::CodePoint cp = utf8::decode(text, pos);
        strokes.push_back(strokeFor(layout, cp.value));
        pos += cp.length;
    }
    return strokes;
}

// Where the text uses spare keys, it is bound again at least this often:
// each binding waits until the target has caught up with the one before
// last, so the typing never runs further ahead of a slow target than this.
constexpr std::size_t kLongestStretch = 1024;

// The end of the stretch starting at `begin` whose spare-key characters fit
// the spare keys together, and those characters in order of first use.
std::size_t stretchEnd(const std::vector<Stroke>& strokes, std::size_t begin, std::size_t capacity,
                       std::vector<char32_t>& spareChars, std::size_t longest = SIZE_MAX) {
    spareChars.clear();
    std::size_t end = begin;
    for (; end < strokes.size() && end - begin < longest; ++end) {
        if (strokes[end].vk != 0) continue;
        const char32_t ch = strokes[end].ch;
        if (std::find(spareChars.begin(), spareChars.end(), ch) != spareChars.end()) continue;
        if (spareChars.size() == capacity) break;
        spareChars.push_back(ch);
    }
    return end;
}

// How many distinct spare-key characters one stretch may use. When the
// whole text fits, all of them; otherwise a share small enough that binding
// the next stretch never takes the keys of the stretches typed just before:
// a target that has taken note of the last binding may still be reading
// keys of those.
std::size_t stretchCapacity(const std::vector<Stroke>& strokes, std::size_t capacity) {
    std::vector<char32_t> all;
    if (stretchEnd(strokes, 0, capacity, all) == strokes.size()) return capacity;
    return std::max<std::size_t>(capacity / (SpareKeys::kKeptBinds + 1),
                                 std::min<std::size_t>(capacity, 1));
}

// Gives the spare keys back and Caps Lock its state when typing ends, also
// when it ends early.
class TypingSession {
public:
    TypingSession(SpareKeys& spareKeys, KeyboardState& keyboard)
        : spareKeys_(spareKeys), keyboard_(keyboard), capsWasOn_(keyboard.isOn(LockKey::CapsLock)) {
        if (capsWasOn_) keyboard_.setCapsLock(false);
    }
    ~TypingSession() {
        if (usedSpareKeys_) spareKeys_.release();
        if (capsWasOn_) keyboard_.setCapsLock(true);
    }
    TypingSession(const TypingSession&) = delete;
    TypingSession& operator=(const TypingSession&) = delete;

    bool usedSpareKeys() const { return usedSpareKeys_; }

    // Places the characters on spare keys; when they cannot be had, their
    // strokes are left without a key.
    void bind(const std::vector<char32_t>& chars, std::vector<Stroke>& strokes, std::size_t begin,
              std::size_t end) {
        usedSpareKeys_ = true;
        const Expected<std::vector<SpareStroke>> bound = spareKeys_.bind(chars);
        if (!bound) return;
        for (std::size_t i = begin; i < end; ++i) {
            if (strokes[i].vk != 0) continue;
            const auto at = std::find(chars.begin(), chars.end(), strokes[i].ch) - chars.begin();
            strokes[i].scan = (*bound)[static_cast<std::size_t>(at)].scan;
            strokes[i].shift = (*bound)[static_cast<std::size_t>(at)].shift;
        }
    }

private:
    SpareKeys& spareKeys_;
    KeyboardState& keyboard_;
    bool capsWasOn_;
    bool usedSpareKeys_ = false;
};

void typeStroke(InputInjector& injector, std::uint8_t shiftScan, const Stroke& stroke) {
    if (stroke.scan == 0) return;
    if (stroke.shift) injector.keyEvent(kVkShift, shiftScan, 0);
    injector.keyEvent(stroke.vk, stroke.scan, 0);
    injector.keyEvent(stroke.vk, stroke.scan, kKeyUp);
    if (stroke.shift) injector.keyEvent(kVkShift, shiftScan, kKeyUp);
}

}  // namespace

void KeySequence::TypeText(std::string_view text) {
    if (text.empty()) return;
    const std::shared_ptr<const KeyLayout> layout = keymap_.layout();
    std::vector<Stroke> strokes = planStrokes(*layout, text);
    const auto shiftScan =
        static_cast<std::uint8_t>(layout->MapVirtualKey(kVkShift, MapType::VkToScan));
    const bool needsSpareKeys =
        std::any_of(strokes.begin(), strokes.end(), [](const Stroke& s) { return s.vk == 0; });
    const std::size_t capacity =
        stretchCapacity(strokes, needsSpareKeys ? spareKeys_.capacity() : 0);

    TypingSession session(spareKeys_, keyboard_);
    std::vector<char32_t> spareChars;
    for (std::size_t begin = 0; begin < strokes.size();) {
        // Without spare keys to be had, a character no key types is skipped
        // (its stroke keeps scan code 0) and the rest is typed.
        const std::size_t end =
            std::max(stretchEnd(strokes, begin, capacity, spareChars, kLongestStretch), begin + 1);
        // Once spare keys are lent, every stretch is bound, also one that
        // needs none of them: binding is where the typing waits for the target.
        if (!spareChars.empty() || session.usedSpareKeys()) {
            session.bind(spareChars, strokes, begin, end);
        }
        for (std::size_t i = begin; i < end; ++i) typeStroke(injector_, shiftScan, strokes[i]);
        begin = end;
    }
}

}  // namespace ks
