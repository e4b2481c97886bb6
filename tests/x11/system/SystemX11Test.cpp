// RUN and SOUND against a private X server with openbox: real programs
// started, real windows found and activated, the server's bell.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "CommandFixture.h"
#include "XvfbSession.h"
#include "platform/x11/X11Platform.h"
#include "system/FakeSystem.h"
#include "system/SystemCommands.h"

// Xlib last: its macros (None, Status, Bool) clash with the headers above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace ks::test {
namespace {

std::string text(const std::string& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SystemX11Test : public CommandFixture {
protected:
    static void SetUpTestSuite() {
        session_ = std::make_unique<XvfbSession>();
        setenv("DISPLAY", session_->display().c_str(), 1);  // for the programs RUN starts
    }
    static void TearDownTestSuite() { session_.reset(); }

    std::optional<WindowId> window(const std::string& title) {
        for (const auto& shown : platform->windows().topLevelWindows())
            if (shown.title == title) return shown.id;
        return std::nullopt;
    }
    // A program that records how it was started, a line each time (its
    // folder, then every argument after the first two, each after a '|'),
    // and shows a window titled by its second argument.
    std::string recordingProgram() {
        const std::string path = dir.file("argv window");
        std::ofstream(path)
            << "#!/bin/sh\nrecord=$1 title=$2\nshift 2\n"
               "{ printf %s \"$(pwd)\"; printf '|%s' \"$@\"; echo; } >> \"$record\"\n"
               "exec " KS_TYPING_WINDOW_PATH " \"$title\" 100 100 0 > /dev/null\n";
        chmod(path.c_str(), 0755);
        return path;
    }
    void run(const std::string& arguments, std::uint32_t runIfOpen) {
        runCommand(commands, kRun,
                   {{"FileName", program},
                    {"Arguments", arguments},
                    {"DirName", dir.path().string()},
                    {"WindowName", "argv win*"}},
                   {{"ShowStyle", static_cast<std::uint32_t>(ShowCommand::Restore)},
                    {"RunIfOpen", runIfOpen}});
    }

    static inline std::unique_ptr<XvfbSession> session_;
    std::unique_ptr<x11::X11Platform> platform{
        std::move(*x11::X11Platform::open(session_->display()))};
    FakeSystem system;
    const std::string program = recordingProgram();
    SystemCommands commands{messages,
                            system,
                            system.clock,
                            {platform->windows(), platform->launcher(), system, system,
                             platform->sound(), system, system}};
};

TEST_F(SystemX11Test, RunStartsOnceAndThenActivatesTheProgramsWindow) {
    const std::string record = dir.file("starts");
    const std::string arguments = "'" + record + "' 'Argv Window' \"two  blanks\" 'say \"hi\"' x";
    const std::string started = dir.path().string() + "|two  blanks|say \"hi\"|x\n";
    run(arguments, 0);
    ASSERT_TRUE(eventually([&] { return window("Argv Window").has_value(); }));
    const WindowId id = *window("Argv Window");
    EXPECT_EQ(text(record), started);

    ASSERT_TRUE(platform->windows().show(id, ShowCommand::Minimize));
    ASSERT_TRUE(eventually([&] { return platform->windows().foreground() != id; }));
    run(arguments, 0);
    EXPECT_TRUE(eventually([&] { return platform->windows().foreground() == id; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // time for a wrong start
    EXPECT_EQ(text(record), started);

    run(arguments, 1);
    EXPECT_TRUE(eventually([&] { return text(record) == started + started; }));
}

TEST_F(SystemX11Test, TheBeepRingsAtItsPitchLeavesTheBellAsItWasAndTheScreenIsMeasured) {
    Display* watcher = XOpenDisplay(session_->display().c_str());
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    ASSERT_TRUE(XkbQueryExtension(watcher, &opcode, &event, &error, &major, &minor));
    XkbSelectEvents(watcher, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XKeyboardState before{}, after{};
    XGetKeyboardControl(watcher, &before);
    runCommand(commands, kSound, {}, {{"SoundID", 0xFFFFFFFF}});

    XEvent received{};
    ASSERT_TRUE(eventually([&] { return XCheckTypedEvent(watcher, event, &received) == True; }));
    const auto& bell = reinterpret_cast<const XkbBellNotifyEvent&>(received);
    EXPECT_EQ(bell.pitch * 10000 + bell.duration, 1000 * 10000 + 300);
    XGetKeyboardControl(watcher, &after);
    EXPECT_EQ(after.bell_pitch * 10000 + after.bell_duration,
              before.bell_pitch * 10000 + before.bell_duration);
    XCloseDisplay(watcher);
    const ScreenSize screen = platform->systemValues().screen();  // [XEXTENT], [YEXTENT]
    EXPECT_EQ(std::pair(screen.width, screen.height), std::pair(1024, 768));
}

}  // namespace
}  // namespace ks::test
