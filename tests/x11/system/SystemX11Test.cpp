// RUN and SOUND against a private X server with openbox: real programs
// started, real windows found and activated, the server's bell.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <thread>

#include "CommandFixture.h"
#include "FakeExpander.h"
#include "XvfbSession.h"
#include "platform/x11/X11Platform.h"
#include "system/FakeSystem.h"
#include "system/SystemCommands.h"

// Xlib last: its macros (None, Status, Bool) clash with the headers above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace ks::test {
namespace {

bool waitUntil(const std::function<bool()>& done) {
    for (int tries = 0; tries < 200; ++tries) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

std::vector<std::string> lines(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class SystemX11Test : public CommandFixture {
protected:
    static void SetUpTestSuite() {
        session_ = std::make_unique<XvfbSession>();
        // Programs RUN starts inherit the display.
        setenv("DISPLAY", session_->display().c_str(), 1);
    }
    static void TearDownTestSuite() { session_.reset(); }

    std::optional<WindowId> windowTitled(const std::string& title) {
        for (const auto& window : platform->windows().topLevelWindows()) {
            if (window.title == title) return window.id;
        }
        return std::nullopt;
    }

    void run(const std::string& arguments, std::uint32_t runIfOpen) {
        writeText("FileName", KS_ARGV_WINDOW_PATH);
        writeText("Arguments", arguments);
        writeText("DirName", dir.path().string());
        writeText("WindowName", "argv win*");
        writeNumber("ShowStyle", static_cast<std::uint32_t>(ShowCommand::Restore));
        writeNumber("RunIfOpen", runIfOpen);
        commands.run(kRun, kCommand);
    }

    static inline std::unique_ptr<XvfbSession> session_;
    std::unique_ptr<x11::X11Platform> platform{
        std::move(*x11::X11Platform::open(session_->display()))};
    FakeExpander expander;
    FakeSystem system;
    SystemCommands commands{*store,
                            messages,
                            expander,
                            system,
                            system.clock,
                            {platform->windows(), platform->launcher(), system, system,
                             platform->sound(), system, system}};
};

TEST_F(SystemX11Test, RunStartsOnceAndThenActivatesTheProgramsWindow) {
    const std::string record = dir.file("starts");
    const std::string arguments = "'" + record + "' 'Argv Window' \"two  blanks\" 'say \"hi\"' x";
    const std::string started = dir.path().string() + "|two  blanks|say \"hi\"|x";
    run(arguments, 0);
    ASSERT_TRUE(waitUntil([&] { return windowTitled("Argv Window").has_value(); }));
    const WindowId window = *windowTitled("Argv Window");
    EXPECT_EQ(lines(record), std::vector<std::string>{started});

    ASSERT_TRUE(platform->windows().show(window, ShowCommand::Minimize));
    ASSERT_TRUE(waitUntil([&] { return platform->windows().foreground() != window; }));
    run(arguments, 0);
    EXPECT_TRUE(waitUntil([&] { return platform->windows().foreground() == window; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // time for a wrong start
    EXPECT_EQ(lines(record), std::vector<std::string>{started});

    run(arguments, 1);
    EXPECT_TRUE(waitUntil([&] { return lines(record).size() == 2; }));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{});
}

TEST_F(SystemX11Test, TheBeepRingsAtItsPitchAndLeavesTheBellAsItWas) {
    Display* watcher = XOpenDisplay(session_->display().c_str());
    ASSERT_NE(watcher, nullptr);
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    ASSERT_TRUE(XkbQueryExtension(watcher, &opcode, &event, &error, &major, &minor));
    XkbSelectEvents(watcher, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XKeyboardState before{};
    XGetKeyboardControl(watcher, &before);

    writeNumber("SoundID", 0xFFFFFFFF);
    commands.run(kSound, kCommand);

    XEvent received{};
    ASSERT_TRUE(waitUntil([&] { return XCheckTypedEvent(watcher, event, &received) == True; }));
    const auto& bell = reinterpret_cast<const XkbBellNotifyEvent&>(received);
    EXPECT_EQ(bell.pitch, 1000);
    EXPECT_EQ(bell.duration, 300);
    XKeyboardState after{};
    XGetKeyboardControl(watcher, &after);
    EXPECT_EQ(after.bell_pitch, before.bell_pitch);
    EXPECT_EQ(after.bell_duration, before.bell_duration);
    XCloseDisplay(watcher);
}

}  // namespace
}  // namespace ks::test
