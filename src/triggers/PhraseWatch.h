#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "platform/KeyWatch.h"
#include "triggers/PhraseMatcher.h"

namespace ks {

// The character a key types in `modifiers`, or 0 for none. A letter is in
// lower case unless exactly one of Shift and Caps Lock applies; another
// key types its Shift, AltGr or Shift+AltGr level (its plain character
// where that level has none); a numeric-pad key types its operator, or its
// digit or decimal sign with Num Lock on.
// A dead key gives the combining mark it puts on the next character.
char32_t typedCharacter(const KeyLayout& layout, std::uint8_t scan, const KeyModifiers& modifiers);

// The keyboard-watch thread's logic: the desktop's keys as typed characters
// into the phrase matcher, leaving out the keys the program types itself.
//
// The program's keys and other programs' synthesised keys come from the
// same device. So the program announces each key before it synthesises
// it, and a synthesised key that is the next one announced (passing over
// announced releases that never came) is the program's own; any other is
// another program's, counted as a person's.
// Announcements that no key follows within kOwnKeyTimeoutMs are dropped.
class PhraseWatch {
public:
    static constexpr std::int64_t kOwnKeyTimeoutMs = 2000;

    void expectOwnKey(std::uint8_t scan, bool pressed, std::int64_t nowMs);
    // Forgets announced keys and the typed buffer, when watching starts or stops.
    void reset();

    // A key seen on the desktop: the macro whose phrase it completed, or null.
    const std::string* onKey(const WatchedKey& key, const KeyLayout& layout, std::int64_t nowMs);

    PhraseMatcher& matcher() { return matcher_; }

private:
    // The character to append for `ch`, with a dead key's mark before it
    // composed into it where Unicode has the pair as one character.
    char32_t withPendingMark(char32_t ch);

    struct OwnKey {
        std::uint8_t scan;
        bool pressed;
        std::int64_t at;
    };
    bool isOwn(const WatchedKey& key, std::int64_t nowMs);

    PhraseMatcher matcher_;
    std::deque<OwnKey> ownKeys_;
    char32_t pendingMark_ = 0;  // from a dead key
};

}  // namespace ks
