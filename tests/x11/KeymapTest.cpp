#include "X11Fixture.h"
#include "keys/KeyNames.h"

namespace ks::test {
namespace {

class KeymapTest : public X11Fixture {};

TEST_F(KeymapTest, GermanLayoutIsFollowedWhileRunning) {
    const auto before = platform->keymap().layout();
    LayoutGuard german(session(), "de");
    const auto de = platform->keymap().layout();
    constexpr std::uint16_t altGr = (kNeedsCtrl | kNeedsAlt) << 8;
    const std::pair<char32_t, std::int16_t> chars[] = {
        {U'z', 'Z'},
        {U'Y', 'Y' | (kNeedsShift << 8)},
        {U'@', 'Q' | altGr},
        {U'\u00df', 0xBD},
        {U'-', 0xBF},
        {U'_', 0xBF | (kNeedsShift << 8)},
        {U'\u00fc', 0xDB},
        {U'\u20ac', 'E' | altGr},
        {U'"', '2' | (kNeedsShift << 8)},
        {U'^', -1},
        {U'\u00b0', 0xC0 | (kNeedsShift << 8)},
    };
    for (const auto& [ch, expected] : chars) {
        EXPECT_EQ(de->VkKeyScan(ch), expected) << "char " << static_cast<int>(ch);
    }
    EXPECT_EQ(de->scanOfVk['Z'], 29 - 8);
    EXPECT_EQ(before->scanOfVk['Z'], 52 - 8);
    EXPECT_EQ(KeyDisplayNameOfKey(*de, 0xBF), "-_");
    EXPECT_EQ(KeyNameToCode(*de, "-_"), 0xBF);
    EXPECT_EQ(KeyCodeToHotKeyText(*de, 0xBD), "\u00df");
    EXPECT_EQ(KeyCodeToHotKeyText(*de, 'Z'), "Z");
}

}  // namespace
}  // namespace ks::test
