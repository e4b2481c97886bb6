// Starts the real keystrider under a private Xvfb with openbox, with its own
// configuration and temporary folders, and drives it as a user or a second
// copy would.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef Bool
#undef None
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "RegText.h"
#include "TempDir.h"
#include "TypingWindow.h"
#include "XvfbSession.h"
#include "core/Messages.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace ks::test {
namespace {

using Clock = std::chrono::steady_clock;

bool waitUntil(const std::function<bool()>& done, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One keystrider process with its output in files.
class Keystrider {
public:
    Keystrider(const std::string& display, const TempDir& dir, std::vector<std::string> args,
               const std::string& tag)
        : out_(dir.file(tag + ".out")), err_(dir.file(tag + ".err")) {
        const std::string config = dir.file("config");
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ != 0) return;
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        if (display.empty()) {
            unsetenv("DISPLAY");
        } else {
            setenv("DISPLAY", display.c_str(), 1);
        }
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("TMPDIR", dir.path().c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        dup2(open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        std::vector<char*> argv = {const_cast<char*>(KS_KEYSTRIDER)};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(KS_KEYSTRIDER, argv.data());
        _exit(127);
    }
    ~Keystrider() {
        if (running()) stop();
    }
    Keystrider(const Keystrider&) = delete;
    Keystrider& operator=(const Keystrider&) = delete;

    bool running() {
        if (status_ != kRunning) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return status_ == kRunning;
    }
    // The exit status, or -1 when it did not end within `ms`.
    int waitExit(int ms) {
        waitUntil([this] { return !running(); }, ms);
        return running() ? -1 : status_;
    }
    int stop() {
        if (running()) kill(pid_, SIGTERM);
        const int status = waitExit(10000);
        if (status == -1) {
            kill(pid_, SIGKILL);
            return waitExit(10000);
        }
        return status;
    }
    std::string err() const { return readFile(err_); }
    std::string out() const { return readFile(out_); }
    bool errContains(const std::string& text, int ms) {
        return waitUntil([&] { return err().find(text) != std::string::npos; }, ms);
    }

private:
    static constexpr int kRunning = -2;
    std::string out_;
    std::string err_;
    pid_t pid_ = -1;
    int status_ = kRunning;
};

class KeystriderE2ETest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb.display().empty());
        dpy = XOpenDisplay(xvfb.display().c_str());
        ASSERT_NE(dpy, nullptr);
    }
    void TearDown() override {
        if (dpy != nullptr) XCloseDisplay(dpy);
    }

    // Writes macros into the store the program will open.
    void prepareStore(std::string_view reg) {
        KeyTree tree(dir.file("config/keystrider/store.db"));
        loadReg(tree, reg);
    }
    // A macro whose one SEND KEYS command types `keys`.
    static std::string typing(const std::string& macro, const std::string& keys) {
        return "[Macros\\" + macro + "\\Commands\\0]\n\"id\"=dword:00001014\n\"Keys\"=\"" + keys +
               "\"\n";
    }
    std::optional<std::string> storedText(const char* key, const char* name) {
        KeyTree tree(dir.file("config/keystrider/store.db"));
        StderrMessages messages;
        SettingsStore store(tree, messages);
        return store.GetText(key, name);
    }

    // True once another client can no longer take the grab: keystrider holds it.
    bool grabHeldElsewhere(KeySym keysym, unsigned modifiers) {
        refused = false;
        XErrorHandler previous = XSetErrorHandler(&KeystriderE2ETest::onError);
        const KeyCode code = XKeysymToKeycode(dpy, keysym);
        XGrabKey(dpy, code, modifiers, DefaultRootWindow(dpy), False, GrabModeAsync, GrabModeAsync);
        XSync(dpy, False);
        if (!refused) XUngrabKey(dpy, code, modifiers, DefaultRootWindow(dpy));
        XSync(dpy, False);
        XSetErrorHandler(previous);
        return refused;
    }
    void press(const std::vector<KeySym>& keys) {
        for (KeySym k : keys) XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, k), True, CurrentTime);
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
            XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, *it), False, CurrentTime);
        }
        XSync(dpy, False);
    }
    bool markerListening() {
        const std::string socket =
            dir.file("keystrider-" + std::to_string(getuid()) + "-_" + xvfb.display().substr(1));
        return access(socket.c_str(), F_OK) == 0;
    }
    std::unique_ptr<Keystrider> start(std::vector<std::string> args = {},
                                      const char* tag = "first") {
        return std::make_unique<Keystrider>(xvfb.display(), dir, std::move(args), tag);
    }

    static int onError(Display*, XErrorEvent*) {
        refused = true;
        return 0;
    }
    static inline bool refused = false;

    XvfbSession xvfb;
    TempDir dir;
    Display* dpy = nullptr;
};

TEST_F(KeystriderE2ETest, WithoutADisplayItSaysSoInOneLine) {
    Keystrider noDisplay("", dir, {"Backup"}, "nodisplay");
    EXPECT_EQ(noDisplay.waitExit(5000), 1);
    const std::string err = noDisplay.err();
    EXPECT_NE(err.find("keystrider: no X display is set"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(KeystriderE2ETest, HelpAndVersionAnswerOnTheTerminal) {
    Keystrider help(xvfb.display(), dir, {"--help"}, "help");
    EXPECT_EQ(help.waitExit(5000), 0);
    EXPECT_EQ(help.out().rfind("Usage: keystrider [MACRO NAME]", 0), 0u) << help.out();
    Keystrider version(xvfb.display(), dir, {"--version"}, "version");
    EXPECT_EQ(version.waitExit(5000), 0);
    EXPECT_EQ(version.out(), "keystrider " KS_VERSION "\n");
}

TEST_F(KeystriderE2ETest, ASecondCopyWithoutArgumentsEndsAtOnceAndLeavesTheFirst) {
    prepareStore("[Macros\\Backup]");
    auto first = start();
    ASSERT_TRUE(waitUntil([&] { return markerListening(); }, 10000)) << first->err();

    const auto begun = Clock::now();
    Keystrider second(xvfb.display(), dir, {}, "second");
    EXPECT_EQ(second.waitExit(5000), 0);
    EXPECT_LT(Clock::now() - begun, std::chrono::seconds(3));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(first->running());
    EXPECT_EQ(first->stop(), 0);
}

TEST_F(KeystriderE2ETest, ASecondCopyHandsItsMacroToTheFirst) {
    prepareStore(typing("Nightly Backup", "backup started"));
    auto first = start();
    ASSERT_TRUE(waitUntil([&] { return markerListening(); }, 10000)) << first->err();
    TypingWindow window(xvfb);

    Keystrider second(xvfb.display(), dir, {"Nightly", "Backup"}, "second");
    EXPECT_EQ(second.waitExit(5000), 0) << second.err();

    EXPECT_EQ(storedText("SOFTWARE\\Quorvel\\Keystrider\\Macros", "CmdLineMacro"),
              "Nightly Backup");
    EXPECT_EQ(window.text(14), "backup started") << first->err();
    EXPECT_TRUE(first->running());
    EXPECT_EQ(first->stop(), 0);
}

TEST_F(KeystriderE2ETest, TheFirstCopyRunsItsOwnCommandLineOnceStarted) {
    prepareStore(typing("Backup", "Own line: OK!"));
    TypingWindow window(xvfb);
    auto first = start({"Backup"});
    EXPECT_EQ(window.text(13, std::chrono::milliseconds(5000)), "Own line: OK!") << first->err();
    EXPECT_EQ(first->stop(), 0);
}

TEST_F(KeystriderE2ETest, AHotKeyStartsItsMacroWhateverTheLocks) {
    prepareStore(
        "[Macros\\Plain]\n[Macros\\Greet]\n\"vk\"=dword:0000004b\n"
        "\"fsModifiers\"=dword:00000003\n" +
        typing("Greet", "Hi."));
    auto first = start();
    ASSERT_TRUE(waitUntil([&] { return grabHeldElsewhere(XK_k, ControlMask | Mod1Mask); }, 10000))
        << first->err();
    TypingWindow window(xvfb);
    std::string expected;
    for (const std::vector<KeySym>& locks :
         {std::vector<KeySym>{}, {XK_Num_Lock}, {XK_Caps_Lock}}) {
        for (KeySym lock : locks) press({lock});
        press({XK_Control_L, XK_Alt_L, XK_k});
        expected += "Hi.";
        // Typed exactly, Caps Lock or not.
        EXPECT_EQ(window.text(expected.size()), expected) << locks.size() << first->err();
        for (KeySym lock : locks) press({lock});
    }
    EXPECT_EQ(first->stop(), 0);
}

}  // namespace
}  // namespace ks::test
