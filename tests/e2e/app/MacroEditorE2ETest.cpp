// A person builds a macro in the editor with the keyboard, saves it and runs
// it by the hot key just given to it.
#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "TempDir.h"
#include "TypingWindow.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "store/KeyTree.h"

namespace ks::test {
namespace {

using std::chrono::milliseconds;

class MacroEditorE2ETest : public ::testing::Test {
protected:
    std::unique_ptr<ChildProcess> start(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"sh", "-c",
                                   "export XDG_CONFIG_HOME=$0/config TMPDIR=$0 XDG_RUNTIME_DIR=$0 "
                                   "QT_QPA_PLATFORM=xcb; exec \"$@\" 2>&1",
                                   dir.path().string(), KS_KEYSTRIDER});
        return std::make_unique<ChildProcess>(args, xvfb.display(), true);
    }
    // "window:T" waits until the window titled T is shown and has the focus, so
    // that a loaded machine never sends keys to a window not yet there.
    void keys(const std::vector<std::string>& steps) {
        for (const std::string& step : steps) {
            if (step.rfind("window:", 0) == 0) {
                ASSERT_TRUE(xvfb.run({"xdotool", "search", "--sync", "--onlyvisible", "--name",
                                      "^" + step.substr(7) + "$", "windowactivate", "--sync"},
                                     milliseconds(15000)))
                    << step;
                continue;
            }
            const bool text = step.rfind("type:", 0) == 0;
            ASSERT_TRUE(xvfb.run({"xdotool", text ? "type" : "key", text ? step.substr(5) : step}))
                << step;
            std::this_thread::sleep_for(milliseconds(200));
        }
    }

    static constexpr const char* kEditor = "window:Keystrider - Modify Macro";
    XvfbSession xvfb;
    TempDir dir;
};

TEST_F(MacroEditorE2ETest, AMacroBuiltInTheEditorRunsByItsHotKey) {
    auto keystrider = start();
    // A second copy shows the first one's window, there being no tray.
    std::this_thread::sleep_for(milliseconds(1500));
    start()->wait(milliseconds(5000));
    std::this_thread::sleep_for(milliseconds(800));
    const std::string editor = kEditor;
    keys({"window:Keystrider",
          "alt+a",
          editor,
          "type:Typer",
          "Tab",
          "Tab",
          "ctrl+alt+j",  // name, hot key
          "alt+y",
          "k",
          "alt+o",
          "Home",
          "Return",
          "window:Keystrider - SEND KEYS",
          "type:ab",
          "alt+o",
          editor,  // SEND KEYS "ab"
          "alt+y",
          "End",
          "alt+o",
          "type:DELAY",
          "Return",
          "window:Keystrider - DELAY",
          "type:100",
          "Return",
          editor});
    // The on-screen keyboard's "1": the first key after its mode buttons is Esc,
    // then the function keys, Print, Scroll Lock, Pause, the grave accent, "1".
    keys({"alt+r"});
    for (int tab = 0; tab < 18; ++tab) keys({"Tab"});
    keys({"space", "alt+s"});

    TypingWindow window(xvfb);
    ASSERT_TRUE(xvfb.run({"xdotool", "key", "ctrl+alt+j"}));
    EXPECT_EQ(window.text(3, milliseconds(5000)), "ab1") << keystrider->output();
    kill(keystrider->pid(), SIGTERM);
    EXPECT_EQ(keystrider->wait(milliseconds(10000)), 0);
}

// On a desktop with a notification area: a macro saved without a hot key
// raises no box when the program starts again.
TEST_F(MacroEditorE2ETest, AMacroWithoutAHotKeyStartsWithoutABox) {
    ChildProcess tray({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                       "--width", "24", "--height", "24"},
                      xvfb.display());
    const auto docked = [&] {
        return xvfb.run({"sh", "-c",
                         "until xwininfo -root -tree | grep -q '\"keystrider\": (\"'; do sleep "
                         "0.1; done"},
                        milliseconds(20000));
    };
    auto keystrider = start();
    ASSERT_TRUE(docked()) << keystrider->output();
    XTestDriver driver(xvfb.display());
    driver.moveTo(1024 - 12, 12);
    driver.button(1, true), driver.button(1, false), driver.sync();
    keys({"window:Keystrider", "alt+a", kEditor, "type:Sampler", "alt+s", "window:Keystrider"});
    {
        KeyTree tree(dir.file("config/keystrider/store.db"));
        const std::string key = "SOFTWARE\\Quorvel\\Keystrider\\Macros\\Sampler";
        ASSERT_TRUE(tree.keyExists(key));
        EXPECT_FALSE(tree.readValue(key, "vk"));
    }
    kill(keystrider->pid(), SIGTERM);
    ASSERT_EQ(keystrider->wait(milliseconds(10000)), 0);

    keystrider = start();
    EXPECT_TRUE(docked());
    keystrider->readUntil([](const std::string& out) { return out.find(": ") != out.npos; },
                          milliseconds(1500));
    kill(keystrider->pid(), SIGTERM);
    keystrider->wait(milliseconds(10000));
    EXPECT_EQ(keystrider->output().find("Error registering hotkey"), std::string::npos)
        << keystrider->output();
}

}  // namespace
}  // namespace ks::test
