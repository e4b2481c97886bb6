// Typing, playback and the pointer through the program's virtual keyboards
// and pointer on headless sway, read back by real clients: foot (a terminal,
// its shell writing what is typed to a file) and the Qt typing window; and the
// desktop services the platform builds there.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "QtTestLoop.h"
#include "RecordingInput.h"
#include "SwayQuery.h"
#include "TypingWindow.h"
#include "WaylandSession.h"
#include "core/VirtualKey.h"
#include "keys/KeySequence.h"
#include "platform/wayland/WaylandPlatform.h"

namespace ks::test {
namespace {

using std::chrono::milliseconds;
using namespace wayland;
using enum Capability;

// Every kind of character: ASCII with its punctuation, Latin-1 (more
// characters off the US layout than one binding of the spare keys holds),
// CJK, emoji beyond the basic plane, and Enter between the lines.
const std::string kMixedText =
    "The quick brown fox, 0123456789 !@#$%^&*()_+-=[]{};':\",./<>?\\|`~\n"
    "Latin-1: àáâãäå çèéêë ìíîï ñòóôõö ùúûüý ÿ ß ¡¿ £¥ ©® °± µ¶ «»\n"
    "CJK: 日本語のテキスト 中文字符 한국어\n"
    "Emoji: 😀🎉👍🚀\n";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::int64_t monotonicMillis() {
    return std::chrono::duration_cast<milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Why `platform` refuses `capability`; nothing when it serves it.
std::optional<std::string> refusalOf(WaylandPlatform& platform, Capability capability) {
    for (const RefusedCapability& refused : platform.refused()) {
        if (refused.capability == capability) return refused.failure;
    }
    return std::nullopt;
}

// One sway for all the tests: each start of it costs seconds. Each target
// shows itself full screen, over whatever came before it.
class WaylandInputTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        testApplication();
        session_ = std::make_unique<WaylandSession>(WaylandSession::Compositor::Sway,
                                                    "default_border none");
        if (!session_->skipReason().empty()) return;
        // The program's platform with its parts, opened before the targets
        // start, as at the program's start.
        auto platform = WaylandPlatform::open({session_->socketPath(), session_->swaySocket()});
        if (!platform) throw std::runtime_error(platform.error());
        platform_ = std::move(*platform);
    }
    static void TearDownTestSuite() {
        platform_.reset();
        session_.reset();
    }
    void SetUp() override {
        KS_SKIP_WITHOUT(*session_);
        ASSERT_TRUE(platform_);
    }

    static inline std::unique_ptr<WaylandSession> session_;
    static inline std::unique_ptr<WaylandPlatform> platform_;
};

TEST_F(WaylandInputTest, OnSwayThePlatformGivesWindowsClipboardAndHotKeys) {
    EXPECT_TRUE(platform_->windows().placeable());
    for (const auto mine : {Windows, WindowPlaces, Clipboard, HotKeys}) {
        EXPECT_EQ(refusalOf(*platform_, mine), std::nullopt);
    }
}

// Each part's builder is asked where its protocol is offered; a failing one refuses.
TEST_F(WaylandInputTest, ThePartsBuildersGiveTheServicesOrTheirFailure) {
    WaylandServiceBuilders builders;
    RecordingInjector* injector = nullptr;
    builders.injector = [&](BuildContext& context) -> Expected<std::unique_ptr<InputInjector>> {
        EXPECT_TRUE(context.connection.offers("zwp_virtual_keyboard_manager_v1"));
        auto made = std::make_unique<RecordingInjector>();
        injector = made.get();
        return std::unique_ptr<InputInjector>(std::move(made));
    };
    builders.clipboard = [](BuildContext&) -> Expected<std::unique_ptr<ks::Clipboard>> {
        return Result::failure("the seat has no data device");
    };
    auto opened = WaylandPlatform::open({session_->socketPath(), session_->swaySocket()},
                                        std::move(builders));
    ASSERT_TRUE(opened) << opened.error();
    const auto& platform = *opened;
    EXPECT_EQ(&platform->injector(), injector);
    EXPECT_EQ(refusalOf(*platform, Clipboard),
              "The clipboard commands could not start: the seat has no data device");
    EXPECT_EQ(platform->hotKeys().registerHotKey(1, kModControl, 'K').error(),
              "Hot keys are not supported on Wayland by this version.");
}

// After another tool's virtual keyboard typed with a keymap of its own
// (wtype's: a few keys it names itself), the program still types with the
// seat's layout and its own spare keys.
TEST_F(WaylandInputTest, TypesEveryKindOfCharacterIntoFootByteForByte) {
    const std::string out = session_->runtimeDir() + "/typed";
    session_->startClient({"foot", "-F", "sh", "-c", "exec cat > " + out});
    ASSERT_TRUE(eventually([&] { return hasFocus(*session_, "foot"); }));
    ChildProcess wtype({"env", "WAYLAND_DISPLAY=" + session_->socketPath(), "wtype", "wtype 中"},
                       "");
    ASSERT_EQ(wtype.wait(std::chrono::seconds(10)), 0);
    KeySequence(platform_->keymap(), platform_->injector(), platform_->spareKeys(),
                platform_->keyboard())
        .TypeText(kMixedText);
    std::string typed;
    eventually([&] { return (typed = readFile(out)).ends_with(kMixedText); });
    EXPECT_TRUE(typed.ends_with(kMixedText)) << typed;
    EXPECT_LE(typed.size(), kMixedText.size() + std::string("wtype 中").size());
}

// Keys by their virtual-key codes, held modifiers, and the lock keys, each
// pressed as the key commands press them: the program's keyboard sends its
// modifiers and locks with the keys, and reports the locks it set.
TEST_F(WaylandInputTest, KeysCombinationsAndLocksReachAQtWindow) {
    TypingWindow window(*session_);
    InputInjector& injector = platform_->injector();
    KeyboardState& locks = platform_->keyboard();
    const auto key = [&](std::uint8_t vk, std::uint32_t flags) {
        const auto scan = platform_->keymap().layout()->MapVirtualKey(vk, MapType::VkToScan);
        injector.keyEvent(vk, static_cast<std::uint8_t>(scan), flags);
    };
    const auto tap = [&](std::uint8_t vk) {
        key(vk, 0);
        key(vk, kKeyUp);
    };
    const auto holding = [&](std::uint8_t modifier, std::uint8_t vk) {
        key(modifier, 0);
        tap(vk);
        key(modifier, kKeyUp);
    };
    constexpr std::uint8_t kVkCapsLock = 20, kVkNumLock = 144, kVkNumpad1 = 97;
    struct Step {
        std::function<void()> act;
        std::string typed;
    };
    const Step steps[] = {
        {[&] { tap('A'); }, "a"},
        {[&] { holding(kVkShift, 'A'); }, "A"},
        {[&] { tap(kVkCapsLock), tap('B'); }, "B"},
        {[&] { locks.showToggle(LockKey::CapsLock, false), tap('C'); }, "c"},
        {[&] { locks.showToggle(LockKey::NumLock, true), tap(kVkNumpad1); }, "1"},
        {[&] { tap(kVkNumLock), tap(kVkNumpad1), tap(kVkReturn); }, "\n"},
    };
    std::string expected;
    for (const Step& step : steps) {
        step.act();
        expected += step.typed;
        EXPECT_EQ(window.text(expected.size()), expected);
    }
    EXPECT_FALSE(locks.isOn(LockKey::NumLock));
    tap(kVkCapsLock);
    EXPECT_TRUE(locks.isOn(LockKey::CapsLock));
}

// Clicks land where they were asked for, in each form the program moves
// the pointer: the commands' normalised and relative moves and the player's
// place on the output layout; each button and the wheel as the program
// numbers them.
TEST_F(WaylandInputTest, ClicksLandWhereAsked) {
    const QJsonObject output = askSway(*session_, "get_outputs").array().first().toObject();
    const int width = output["rect"]["width"].toInt();
    const int height = output["rect"]["height"].toInt();
    ASSERT_GT(width, 0);
    TypingWindow window(*session_);
    InputInjector& injector = platform_->injector();
    const auto clickAt = [&](int x, int y, unsigned button) {
        injector.motion(x, y);
        injector.button(button, true);
        injector.button(button, false);
        injector.flush();
    };
    // A window just shown may miss a click before its first pointer focus
    // settles (Qt's, not the program's): clicks go on until one arrives.
    const bool clickable = eventually([&] {
        clickAt(5, 5, 1);
        return !window.text(1, milliseconds(100)).empty();
    });
    ASSERT_TRUE(clickable);
    const std::size_t primed = window.text(SIZE_MAX, milliseconds(300)).size();
    struct Case {
        std::function<void()> click;
        int x, y, button;  // the button as Qt numbers it
    };
    const Case cases[] = {
        {[&] {
             injector.mouseEvent(kMouseMove | kMouseAbsolute, 16384, 49152);
             injector.mouseEvent(kMouseLeftDown | kMouseLeftUp, 0, 0);
         },
         width / 4, height * 3 / 4, 1},
        {[&] { injector.mouseEvent(kMouseMove | kMouseRightDown | kMouseRightUp, 40, -25); },
         width / 4 + 40, height * 3 / 4 - 25, 2},
        {[&] { clickAt(300, 200, 2); }, 300, 200, 4},
    };
    std::string expected;
    for (const Case& c : cases) {
        c.click();
        expected += "CLICK " + std::to_string(c.x) + ' ' + std::to_string(c.y) + ' ' +
                    std::to_string(c.button) + '\n';
        EXPECT_EQ(window.text(primed + expected.size()).substr(primed), expected);
    }
    // A wheel notch each way, as X numbers the wheel's buttons.
    clickAt(300, 200, 4);
    clickAt(300, 200, 5);
    expected += "WHEEL 120\nWHEEL -120\n";
    EXPECT_EQ(window.text(primed + expected.size()).substr(primed), expected);
}

// The player's thread, on its own connection and keyboard: each key reaches
// the window at its deadline, as the window sees them arrive, and the finish
// comes on the caller's thread after the last. The first key is measured
// from, not against, and the second comes late enough to be measured from:
// the focused program reads the new keyboard's keymap after the first (some
// 20 ms for Qt, several times that on a loaded machine), as after any switch
// between keyboards.
TEST_F(WaylandInputTest, PlaybackKeysArriveAtTheirDeadlinesThenItFinishesAndStopEndsAWait) {
    PlaybackThread& thread = platform_->playbackThread();
    ASSERT_TRUE(thread.available());
    TypingWindow window(*session_, "playback", true);
    struct Planned {
        int at;  // ms after the first
        std::uint8_t vk;
        bool down;
    };
    const Planned plan[] = {{0, 'A', true}, {150, 'A', false}, {210, 'B', true}, {270, 'B', false}};
    const std::int64_t start = monotonicMillis();
    std::size_t next = 0;
    bool finished = false;
    thread.start(
        [&](InputInjector& injector) -> std::optional<std::int64_t> {
            injector.key(plan[next].vk, 0, plan[next].down);
            injector.flush();
            if (++next == std::size(plan)) return std::nullopt;
            return start + plan[next].at;
        },
        [&] { finished = true; });
    ASSERT_TRUE(runEventsUntil([&] { return finished; }, 5000));

    std::istringstream lines(window.text(4 * 20));
    std::vector<long long> arrivals;
    std::string word, direction;
    long long micros = 0;
    unsigned keycode = 0;
    for (const Planned& planned : plan) {
        ASSERT_TRUE(lines >> word >> micros >> direction >> keycode) << window.text(0);
        EXPECT_EQ(direction, planned.down ? "down" : "up");
        EXPECT_EQ(keycode, planned.vk == 'A' ? 38u : 56u);  // evdev KEY_A, KEY_B + 8
        arrivals.push_back(micros);
    }
    for (std::size_t i = 2; i < arrivals.size(); ++i) {
        const double after = (arrivals[i] - arrivals[1]) / 1000.0;
        EXPECT_NEAR(after, plan[i].at - plan[1].at, 10) << "event " << i;
    }

    // Stop ends a wait at once, and the playback then never finishes.
    finished = false;
    thread.start([&](InputInjector&) { return monotonicMillis() + 10000; },
                 [&] { finished = true; });
    runEventsUntil([] { return false; }, 50);
    const auto before = std::chrono::steady_clock::now();
    thread.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds(100));
    runEventsUntil([] { return false; }, 100);
    EXPECT_FALSE(finished);
}

}  // namespace
}  // namespace ks::test
