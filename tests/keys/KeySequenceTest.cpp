#include <gtest/gtest.h>

#include "RecordingInput.h"
#include "UsKeymap.h"
#include "keys/KeySequence.h"

namespace ks::test {
namespace {

// The US layout with "@" behind AltGr, as on a German keyboard.
KeyLayout layoutWithAltGrAt() {
    KeyLayout layout = usKeyLayout();
    layout.keyOfChar[U'@'] = static_cast<std::uint16_t>('Q' | ((kNeedsCtrl | kNeedsAlt) << 8));
    return layout;
}

TEST(KeySequenceTest, TypesOnLayoutKeysAndBindsTheRestToSpareKeys) {
    struct Case {
        std::size_t spareKeys;
        std::optional<std::size_t> failBind;
        bool capsLock;
        const char* text;
        const char* typed;
    };
    // Control characters type their keys without Ctrl; CR and LF both are Enter.
    // Spare keys (scan 200 on) are bound once before typing and given back at the end;
    // more distinct characters than keys are bound half the keys at a time.
    const Case cases[] = {
        {4, {}, false, "", ""},
        {4,
         {},
         false,
         "Ab1!\n\t\r\b ",
         "16/42 65/30 16/42^ 66/48 49/2 16/42 49/2 16/42^ 13/28 9/15 13/28 8/14 32/57"},
        {4,
         {},
         false,
         "a\u00E9b\u20AC\u00E9",
         "bind\u00E9\u20AC 65/30 0/200 66/48 0/201 0/200 release"},
        {4, {}, false, "@", "bind@ 0/200 release"},
        {2,
         {},
         false,
         "\u00E9\u00FC\u00E9\u00FC",
         "bind\u00E9\u00FC 0/200 0/201 0/200 0/201 release"},
        {4,
         {},
         false,
         "\u00E9\u00FC\u00E9\u00F6a\u00E4\u00F6\u00DF",
         "bind\u00E9\u00FC 0/200 0/201 0/200 bind\u00F6\u00E4 0/200 65/30 0/201 0/200 bind\u00DF "
         "0/200 release"},
        {1, 2, false, "\u00E9x\u00FCy", "bind\u00E9 0/200 88/45 bind\u00FC 89/21 release"},
        {0, {}, false, "\u00E9x\u00E9y", "88/45 89/21"},
        {4, {}, true, "aB", "nocaps 65/30 16/42 66/48 16/42^ caps"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        InputLog log;
        FixedKeymap keymap(layoutWithAltGrAt());
        RecordingInjector injector{&log};
        RecordingSpareKeys spare{&log};
        FakeKeyboardState keyboard{&log};
        spare.keys = c.spareKeys;
        spare.failBind = c.failBind;
        if (c.capsLock) keyboard.on.insert(LockKey::CapsLock);
        KeySequence(keymap, injector, spare, keyboard).TypeText(c.text);
        EXPECT_EQ(typed(log), c.typed);
        EXPECT_EQ(keyboard.isOn(LockKey::CapsLock), c.capsLock);
    }
}

}  // namespace
}  // namespace ks::test
