// clang-format off
// Before Xlib, whose macros would break it.
#include "platform/x11/X11HotKeys.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef Bool
#undef None
// clang-format on

#include <functional>
#include <vector>

#include "XvfbSession.h"

namespace ks::test {
namespace {

// Runs the event loop until `done` or `ms` have passed.
bool waitFor(const std::function<bool()>& done, int ms) {
    QTimer tick;
    tick.start(5);
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Another client of the test display: presses keys through XTest and grabs
// keys as a competing program would.
class OtherClient {
public:
    explicit OtherClient(const std::string& display) : dpy_(XOpenDisplay(display.c_str())) {}
    ~OtherClient() {
        if (dpy_ != nullptr) XCloseDisplay(dpy_);
    }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    bool connected() const { return dpy_ != nullptr; }
    KeyCode code(KeySym keysym) const { return XKeysymToKeycode(dpy_, keysym); }

    void pressCode(std::vector<KeyCode> codes) {
        for (KeyCode c : codes) XTestFakeKeyEvent(dpy_, c, True, CurrentTime);
        for (auto it = codes.rbegin(); it != codes.rend(); ++it) {
            XTestFakeKeyEvent(dpy_, *it, False, CurrentTime);
        }
        XSync(dpy_, False);
    }
    void press(const std::vector<KeySym>& keysyms) {
        std::vector<KeyCode> codes;
        for (KeySym k : keysyms) codes.push_back(code(k));
        pressCode(codes);
    }

    unsigned modifierState() {
        Window root = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(dpy_, DefaultRootWindow(dpy_), &root, &child, &x, &y, &wx, &wy, &mask);
        return mask;
    }

    // True when the server granted the grab.
    bool grab(KeyCode keycode, unsigned modifiers) {
        failed_ = false;
        XErrorHandler previous = XSetErrorHandler(&OtherClient::onError);
        XGrabKey(dpy_, keycode, modifiers, DefaultRootWindow(dpy_), False, GrabModeAsync,
                 GrabModeAsync);
        XSync(dpy_, False);
        XSetErrorHandler(previous);
        return !failed_;
    }
    void ungrab(KeyCode keycode, unsigned modifiers) {
        XUngrabKey(dpy_, keycode, modifiers, DefaultRootWindow(dpy_));
        XSync(dpy_, False);
    }

private:
    static int onError(Display*, XErrorEvent*) {
        failed_ = true;
        return 0;
    }
    static inline bool failed_ = false;
    Display* dpy_;
};

class X11HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb.display().empty()) << "Xvfb did not start";
        ASSERT_TRUE(other.connected());
        Expected<std::unique_ptr<x11::X11HotKeys>> opened = x11::X11HotKeys::open(xvfb.display());
        ASSERT_TRUE(opened) << opened.error();
        hotKeys = std::move(*opened);
        hotKeys->setPressedHandler([this](std::int32_t id) { fired.push_back(id); });
    }

    // Presses the keys and waits for one hot key to arrive.
    std::vector<std::int32_t> pressAndCollect(const std::vector<KeySym>& keys, int ms = 2000) {
        fired.clear();
        other.press(keys);
        waitFor([this] { return !fired.empty(); }, ms);
        return fired;
    }

    XvfbSession xvfb{false};
    OtherClient other{xvfb.display()};
    std::unique_ptr<x11::X11HotKeys> hotKeys;
    std::vector<std::int32_t> fired;
};

TEST_F(X11HotKeysTest, LockKeysThatAreOnDoNotHideTheHotKey) {
    ASSERT_TRUE(hotKeys->registerHotKey(4, kModControl | kModAlt, 'K'));
    struct Case {
        const char* what;
        std::vector<KeySym> locks;
        unsigned stateBits;
    };
    const Case cases[] = {
        {"no lock", {}, 0},
        {"Caps Lock", {XK_Caps_Lock}, LockMask},
        {"Num Lock", {XK_Num_Lock}, Mod2Mask},
        {"Caps and Num Lock", {XK_Caps_Lock, XK_Num_Lock}, LockMask | Mod2Mask},
    };
    for (const Case& c : cases) {
        for (KeySym lock : c.locks) other.press({lock});
        EXPECT_EQ(other.modifierState() & (LockMask | Mod2Mask), c.stateBits) << c.what;
        EXPECT_EQ(pressAndCollect({XK_Control_L, XK_Alt_L, XK_k}), std::vector<std::int32_t>{4})
            << c.what;
        for (KeySym lock : c.locks) other.press({lock});
    }
}

TEST_F(X11HotKeysTest, EachCombinationReportsItsOwnIdentifier) {
    ASSERT_TRUE(hotKeys->registerHotKey(1, 0, 116));                      // F5
    ASSERT_TRUE(hotKeys->registerHotKey(2, kModShift | kModWin, '1'));    // Shift+Win+1
    ASSERT_TRUE(hotKeys->registerHotKey(3, kModControl | kModAlt, 'K'));  // Ctrl+Alt+K
    ASSERT_TRUE(hotKeys->registerHotKey(5, kModControl, 'K'));            // Ctrl+K

    EXPECT_EQ(pressAndCollect({XK_F5}), std::vector<std::int32_t>{1});
    EXPECT_EQ(pressAndCollect({XK_Shift_L, XK_Super_L, XK_1}), std::vector<std::int32_t>{2});
    EXPECT_EQ(pressAndCollect({XK_Control_L, XK_Alt_L, XK_k}), std::vector<std::int32_t>{3});
    EXPECT_EQ(pressAndCollect({XK_Control_L, XK_k}), std::vector<std::int32_t>{5});
    EXPECT_TRUE(pressAndCollect({XK_Alt_L, XK_k}, 300).empty());
}

TEST_F(X11HotKeysTest, AGrabHeldByAnotherClientIsRefusedAndNothingStaysGrabbed) {
    const KeyCode j = other.code(XK_j);
    // The other client holds only the Num Lock variant: the plain grab
    // succeeds first and must be released again.
    ASSERT_TRUE(other.grab(j, ControlMask | Mod1Mask | Mod2Mask));

    ks::Result refused = hotKeys->registerHotKey(9, kModControl | kModAlt, 'J');

    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("BadAccess"), std::string::npos) << refused.error();
    other.ungrab(j, ControlMask | Mod1Mask | Mod2Mask);
    OtherClient third(xvfb.display());
    EXPECT_TRUE(third.grab(j, ControlMask | Mod1Mask));
    EXPECT_TRUE(pressAndCollect({XK_Control_L, XK_Alt_L, XK_j}, 300).empty());
}

TEST_F(X11HotKeysTest, ASecondIdentifierForOneCombinationIsRefusedLikeAnotherClients) {
    ASSERT_TRUE(hotKeys->registerHotKey(1, kModAlt, 'Q'));
    ks::Result second = hotKeys->registerHotKey(2, kModAlt, 'Q');
    ASSERT_FALSE(second);
    EXPECT_NE(second.error().find("BadAccess"), std::string::npos);
    EXPECT_EQ(pressAndCollect({XK_Alt_L, XK_q}), std::vector<std::int32_t>{1});
}

TEST_F(X11HotKeysTest, UnregisterReleasesTheKey) {
    ASSERT_TRUE(hotKeys->registerHotKey(1, kModAlt, 'Q'));
    ASSERT_FALSE(other.grab(other.code(XK_q), Mod1Mask));
    ASSERT_TRUE(hotKeys->unregisterHotKey(1));
    EXPECT_FALSE(hotKeys->unregisterHotKey(1));
    EXPECT_TRUE(other.grab(other.code(XK_q), Mod1Mask));
    other.ungrab(other.code(XK_q), Mod1Mask);
    EXPECT_TRUE(pressAndCollect({XK_Alt_L, XK_q}, 300).empty());
}

TEST_F(X11HotKeysTest, ABatchAnswersEachRequestAsIfMadeAlone) {
    ASSERT_TRUE(other.grab(other.code(XK_j), ControlMask));
    const std::vector<ks::Result> results = hotKeys->registerHotKeys({
        {1, kModAlt, 'Q'},      // granted
        {2, kModControl, 'J'},  // held by the other client
        {3, kModAlt, 'Q'},      // granted to 1 in this very batch
        {4, kModAlt, 7},        // no such key
        {5, kModShift, 'Z'},    // granted
    });
    ASSERT_EQ(results.size(), 5u);
    const bool granted[] = {true, false, false, false, true};
    for (std::size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i].ok(), granted[i]) << i;
    EXPECT_NE(results[1].error().find("BadAccess"), std::string::npos);
    EXPECT_NE(results[2].error().find("BadAccess"), std::string::npos);
    EXPECT_EQ(pressAndCollect({XK_Alt_L, XK_q}), std::vector<std::int32_t>{1});
    EXPECT_EQ(pressAndCollect({XK_Shift_L, XK_z}), std::vector<std::int32_t>{5});
    // The refused request left nothing behind: its identifier is free again.
    other.ungrab(other.code(XK_j), ControlMask);
    EXPECT_TRUE(hotKeys->registerHotKey(2, kModControl, 'J'));
}

TEST_F(X11HotKeysTest, KeysWithoutAKeyOnTheKeyboardAreRefused) {
    EXPECT_FALSE(hotKeys->registerHotKey(1, kModAlt, 7));
    EXPECT_TRUE(hotKeys->registerHotKey(1, kModAlt, 123));  // F12
}

// On a German layout Z moves to where Y was, and code 186 (";" on a US keyboard)
// is the key shown as "\u00d6", not the one that types ";" there (Shift+comma).
TEST_F(X11HotKeysTest, GrabsFollowTheKeysTheirNamesNameOnANewLayout) {
    constexpr KeyCode kControl = 37, kUsZ = 52, kGermanZ = 29, kComma = 59, kOUmlaut = 47;
    ASSERT_TRUE(hotKeys->registerHotKey(8, kModControl, 186));
    ASSERT_TRUE(hotKeys->registerHotKey(9, kModControl, 'Z'));
    ASSERT_TRUE(xvfb.run({"setxkbmap", "de"}));
    EXPECT_TRUE(waitFor([&] { return other.grab(kUsZ, ControlMask); },
                        x11::X11HotKeys::kRegrabDelayMs * 10));
    const std::pair<std::vector<KeyCode>, std::vector<std::int32_t>> presses[] = {
        {{kControl, kComma}, {}}, {{kControl, kOUmlaut}, {8}}, {{kControl, kGermanZ}, {9}}};
    for (const auto& [keys, ids] : presses) {
        fired.clear();
        other.pressCode(keys);
        waitFor([this] { return !fired.empty(); }, ids.empty() ? 300 : 2000);
        EXPECT_EQ(fired, ids);
    }
}

}  // namespace
}  // namespace ks::test

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
