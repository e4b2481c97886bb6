#include <algorithm>

#include "TypingWindow.h"
#include "X11Fixture.h"
#include "core/Utf8.h"
#include "platform/x11/XkbLayoutBuilder.h"

namespace ks::test {
namespace {

// Letters, digits, shifted symbols, blanks, tabs, line feeds, a CR LF pair
// and characters no US or German key types.
const std::string kMixed =
    "Hello, World! 0123456789\n~!@#$%^&*()_+{}|:\"<>?\n`-=[]\\;',./\tTabbed\r\nCRLF line\n"
    "\u00e9\u20ac\u00df\u00fc\u00c4 \u65e5\u672c\U0001F600 end";

std::string crlfJoined(std::string text) {
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

std::size_t emptyKeys(x11::XConnection& connection) {
    const auto keys = x11::describeKeys(connection.display());
    return static_cast<std::size_t>(
        std::count_if(keys.begin(), keys.end(),
                      [](const x11::KeyDescription& key) { return key.levels.empty(); }));
}

// Where two long texts part, for a readable failure.
std::string firstDifference(const std::string& got, const std::string& expected) {
    const auto [g, e] = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    const auto at = static_cast<std::size_t>(g - got.begin());
    return "got " + std::to_string(got.size()) + " of " + std::to_string(expected.size()) +
           " bytes, first difference at byte " + std::to_string(at) + ": got \"" +
           got.substr(at, 12) + "\", expected \"" + expected.substr(at, 12) + "\"";
}

class TypingTest : public X11Fixture {
protected:
    // Types `keys` with SEND KEYS into a fresh focused window and reads back what it got.
    std::string sendKeys(const std::string& keys) {
        TypingWindow window(session());
        writeText("Keys", keys);
        commands.sendKeys(kCommand);
        return window.text(crlfJoined(keys).size());
    }
};

TEST_F(TypingTest, UsAndGermanLayoutsTypeEveryCharacterExactly) {
    for (const char* layout : {"us", "de"}) {
        LayoutGuard guard(session(), layout);
        const std::size_t spareBefore = emptyKeys(platform->connection());
        EXPECT_EQ(sendKeys(kMixed), crlfJoined(kMixed)) << layout;
        EXPECT_EQ(emptyKeys(platform->connection()), spareBefore) << "a spare key stayed bound";
    }
}

TEST_F(TypingTest, ASlowTargetGetsEveryCharacterOfAManyStretchText) {
    // A target slower than the typing falls behind while spare keys are
    // bound again and again (a key press costs it 0.1 ms).
    TypingWindow window(session(), "slow", 100, 100, std::chrono::microseconds(100));
    std::u32string chars;
    for (char32_t ch = 0x4E00; chars.size() < 3 * platform->spareKeys().capacity(); ++ch)
        chars += ch;
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        if (i % 40 == 0) {
            utf8::append(text, chars[(i / 40) % chars.size()]);
        } else {
            text += static_cast<char>('a' + i % 26);
        }
    }
    writeText("Keys", text);
    commands.sendKeys(kCommand);
    const std::string got = window.text(text.size(), std::chrono::seconds(3));
    EXPECT_TRUE(got == text) << firstDifference(got, text);
}

TEST_F(TypingTest, CapsLockOnChangesNothingAndStaysOn) {
    platform->keyboard().setCapsLock(true);
    EXPECT_EQ(sendKeys("aBc \u00e9\u00c9"), "aBc \u00e9\u00c9");
    EXPECT_TRUE(platform->keyboard().isOn(LockKey::CapsLock));
    platform->keyboard().setCapsLock(false);
}

TEST_F(TypingTest, TextsOneAfterAnotherArriveInOrder) {
    TypingWindow window(session());
    std::string expected;
    for (const char* piece : {"one \u00e9", "\n", "two \u20ac\u00e9", "", "three"}) {
        writeText("Keys", piece);
        commands.sendKeys(kCommand);
        expected += piece;
    }
    EXPECT_EQ(window.text(expected.size()), expected);
}

}  // namespace
}  // namespace ks::test
