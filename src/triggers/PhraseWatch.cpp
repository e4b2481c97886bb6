#include "triggers/PhraseWatch.h"

#include <QString>

#include <utility>

#include "core/Utf8.h"
#include "core/VirtualKey.h"

namespace ks {
namespace {

bool isCasedLetter(char32_t ch) {
    return utf8::upperChar(ch) != utf8::lowerChar(ch);
}

bool isCombiningMark(char32_t ch) {
    return ch >= 0x300 && ch <= 0x36F;
}

bool isTyped(char32_t ch) {
    return ch == U'\t' || (ch >= 0x20 && ch != 0x7F);
}

}  // namespace

char32_t typedCharacter(const KeyLayout& layout, std::uint8_t scan, const KeyModifiers& modifiers) {
    const KeyCharacters& key = layout.charsOfScan[scan];
    const auto& levels = key.levels;
    char32_t ch = 0;
    if (key.pad) {
        ch = levels[kPlainLevel] != 0 ? levels[kPlainLevel]
             : modifiers.numLock      ? levels[kShiftLevel]
                                      : 0;
    } else if (modifiers.altGr && levels[modifiers.shift ? kShiftAltGrLevel : kAltGrLevel] != 0) {
        ch = levels[modifiers.shift ? kShiftAltGrLevel : kAltGrLevel];
    } else if (isCasedLetter(levels[kPlainLevel])) {
        ch = modifiers.shift != modifiers.capsLock ? utf8::upperChar(levels[kPlainLevel])
                                                   : utf8::lowerChar(levels[kPlainLevel]);
    } else if (modifiers.shift && levels[kShiftLevel] != 0) {
        ch = levels[kShiftLevel];
    } else {
        ch = levels[kPlainLevel];
    }
    return isTyped(ch) ? ch : 0;
}

void PhraseWatch::expectOwnKey(std::uint8_t scan, bool pressed, std::int64_t nowMs) {
    ownKeys_.push_back({scan, pressed, nowMs});
}

void PhraseWatch::reset() {
    ownKeys_.clear();
    matcher_.clear();
    pendingMark_ = 0;
}

bool PhraseWatch::isOwn(const WatchedKey& key, std::int64_t nowMs) {
    while (!ownKeys_.empty() && nowMs - ownKeys_.front().at > kOwnKeyTimeoutMs) {
        ownKeys_.pop_front();
    }
    if (!key.synthetic) return false;
    // The server drops the release of a key that is not down, so announced
    // releases may be passed over; announced presses always come.
    for (auto at = ownKeys_.begin(); at != ownKeys_.end(); ++at) {
        if (at->scan == key.scan && at->pressed == key.pressed) {
            ownKeys_.erase(ownKeys_.begin(), at + 1);
            return true;
        }
        if (at->pressed) return false;
    }
    return false;
}

const std::string* PhraseWatch::onKey(const WatchedKey& key, const KeyLayout& layout,
                                      std::int64_t nowMs) {
    if (isOwn(key, nowMs) || !key.pressed) return nullptr;
    const std::uint8_t vk = layout.vkOfScan[key.scan];
    if (vk == kVkReturn || vk == kVkEscape || vk == kVkBack) pendingMark_ = 0;
    switch (vk) {
        case kVkReturn: matcher_.clear(); return nullptr;
        case kVkEscape: return nullptr;
        case kVkBack: matcher_.backspace(); return nullptr;
    }
    const char32_t ch = typedCharacter(layout, key.scan, key.modifiers);
    if (isCombiningMark(ch)) {
        pendingMark_ = ch;
        return nullptr;
    }
    return ch == 0 ? nullptr : matcher_.type(withPendingMark(ch));
}

char32_t PhraseWatch::withPendingMark(char32_t ch) {
    const char32_t mark = std::exchange(pendingMark_, 0);
    if (mark == 0) return ch;
    const char32_t pair[] = {ch, mark};
    const QString composed = QString::fromUcs4(pair, 2).normalized(QString::NormalizationForm_C);
    return composed.size() == 1 ? composed.at(0).unicode() : ch;
}

}  // namespace ks
