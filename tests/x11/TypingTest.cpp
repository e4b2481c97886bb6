#include <algorithm>

#include "TypingWindow.h"
#include "X11Fixture.h"
#include "core/Utf8.h"
#include "keys/KeyNames.h"
#include "platform/x11/XkbLayoutBuilder.h"

namespace ks::test {
namespace {

std::size_t emptyKeys(x11::XConnection& connection) {
    const auto keys = x11::describeKeys(connection.display());
    return static_cast<std::size_t>(
        std::count_if(keys.begin(), keys.end(),
                      [](const x11::KeyDescription& key) { return key.levels.empty(); }));
}

using TypingTest = X11Fixture;

TEST_F(TypingTest, TheGermanLayoutIsReadFromTheServerWhileRunning) {
    const auto us = platform->keymap().layout();
    LayoutGuard german(session(), "de");
    const auto de = platform->keymap().layout();
    constexpr std::uint16_t shift = kNeedsShift << 8, altGr = (kNeedsCtrl | kNeedsAlt) << 8;
    const std::pair<char32_t, std::int16_t> chars[] = {
        {U'z', 'Z'}, {U'Y', 'Y' | shift},       {U'@', 'Q' | altGr}, {U'\u00df', 0xBD},
        {U'^', -1},  {U'\u00b0', 0xC0 | shift}, {U'_', 0xBF | shift}};
    for (const auto& [ch, expected] : chars)
        EXPECT_EQ(de->VkKeyScan(ch), expected) << static_cast<int>(ch);
    EXPECT_EQ(de->scanOfVk['Z'], 29 - 8);
    EXPECT_EQ(us->scanOfVk['Z'], 52 - 8);
    EXPECT_EQ(KeyDisplayNameOfKey(*de, 0xBF), "-_");
    EXPECT_EQ(KeyCodeToHotKeyText(*de, 0xBD), "\u00df");
}

// Texts in two pieces, Caps Lock on for the second layout: letters, digits,
// symbols, blanks, tabs, line feeds, a CR LF pair and characters no key types.
TEST_F(TypingTest, UsAndGermanLayoutsTypeEveryCharacterExactlyAndInOrder) {
    const std::string pieces[] = {
        "Hello, World! 0123456789\n~!@#$%^&*()_+{}|:\"<>?\n`-=[]\\;',./\tTabbed\r\nCRLF\n",
        "\u00e9\u20ac\u00df\u00fc\u00c4 \u65e5\u672c\U0001F600 end"};
    const std::string expected =
        "Hello, World! 0123456789\n~!@#$%^&*()_+{}|:\"<>?\n"
        "`-=[]\\;',./\tTabbed\nCRLF\n" +
        pieces[1];
    for (const char* layout : {"us", "de"}) {
        LayoutGuard guard(session(), layout);
        platform->keyboard().setCapsLock(layout[0] == 'd');
        const std::size_t spareBefore = emptyKeys(platform->connection());
        TypingWindow window(session());
        for (const std::string& piece : pieces) {
            writeText("Keys", piece);
            commands.sendKeys(kCommand);
        }
        EXPECT_EQ(window.text(expected.size()), expected) << layout;
        EXPECT_EQ(emptyKeys(platform->connection()), spareBefore) << "a spare key stayed bound";
        EXPECT_EQ(platform->keyboard().isOn(LockKey::CapsLock), layout[0] == 'd');
    }
    platform->keyboard().setCapsLock(false);
}

// A target slower than the typing (0.1 ms a key press) falls behind while
// spare keys are bound again and again.
TEST_F(TypingTest, ASlowTargetGetsEveryCharacterOfAManyStretchText) {
    TypingWindow window(session(), "slow", 100, 100, std::chrono::microseconds(100));
    std::string text;
    for (std::size_t i = 0; i < 4000; ++i) {
        if (i % 40 == 0) {
            utf8::append(text, static_cast<char32_t>(
                                   0x4E00 + (i / 40) % (3 * platform->spareKeys().capacity())));
        } else {
            text += static_cast<char>('a' + i % 26);
        }
    }
    writeText("Keys", text);
    commands.sendKeys(kCommand);
    EXPECT_EQ(window.text(text.size(), std::chrono::seconds(3)), text);
}

}  // namespace
}  // namespace ks::test
