// A person builds a macro in the editor with the keyboard, saves it and runs
// it by the hot key just given to it.
#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "TempDir.h"
#include "TypingWindow.h"
#include "XvfbSession.h"

namespace ks::test {
namespace {

using std::chrono::milliseconds;

TEST(MacroEditorE2ETest, AMacroBuiltInTheEditorRunsByItsHotKey) {
    XvfbSession xvfb;
    TempDir dir;
    const auto start = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"sh", "-c",
                                   "export XDG_CONFIG_HOME=$0/config TMPDIR=$0 XDG_RUNTIME_DIR=$0 "
                                   "QT_QPA_PLATFORM=xcb; exec \"$@\" 2>&1",
                                   dir.path().string(), KS_KEYSTRIDER});
        return std::make_unique<ChildProcess>(args, xvfb.display(), true);
    };
    auto keystrider = start({});
    // A second copy shows the first one's window, there being no tray.
    std::this_thread::sleep_for(milliseconds(1500));
    start({})->wait(milliseconds(5000));
    std::this_thread::sleep_for(milliseconds(800));
    // "window:T" waits until the window titled T is shown and has the focus, so
    // that a loaded machine never sends keys to a window not yet there.
    const auto keys = [&](std::vector<std::string> steps) {
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
    };
    const std::string editor = "window:Keystrider - Modify Macro";
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

}  // namespace
}  // namespace ks::test
