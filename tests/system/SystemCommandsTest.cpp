#include <gtest/gtest.h>

#include <filesystem>

#include "CommandFixture.h"
#include "RecordingInput.h"
#include "system/FakeSystem.h"
#include "system/NetworkShares.h"
#include "system/SystemCommands.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;

class SystemCommandsTest : public CommandFixture {
protected:
    CommandResult run(CommandId id, const TextValues& texts, const NumberValues& numbers = {}) {
        return runCommand(commands, id, texts, numbers);
    }
    void clear() {
        system.calls.clear();
        messages.clear();
    }

    FakeSystem system;
    FakeWindowControl windows;
    SystemCommands commands{
        messages, system, system.clock, {windows, system, system, system, system, system, system}};
};

TEST_F(SystemCommandsTest, RunStartsTheProgramWithItsWordsAsAShellSplitsThem) {
    system.mounts["srv/docs"] = {"/gvfs/docs", ""};
    const std::string noServer = "Unable to connect to server specified in: \\\\srv\\x\\a";
    const struct {
        std::string file, arguments, folder;
        Texts calls, messages;
        std::optional<ShareLogin> answer = {};
    } cases[] = {
        {"/p", " a\tb \n\"c  d\" 'e''f' g\\ h", "", {"open /p <a> <b> <c  d> <ef> <g h> in "}, {}},
        {"/p", "\"\\\"\\$\\a\" \"\" c\\\nd", "", {R"(open /p <"$\a> <> <cd> in )"}, {}},
        {"/p", "\"open", "", {}, {"Error running: /p"}},
        {"/p", "it's", "", {}, {"Error running: /p"}},
        {"/bin/fails", "", "", {"open /bin/fails in "}, {"Error running: /bin/fails"}},
        {R"(\\srv\docs\app)", "", R"(\\srv\docs)", {"open /gvfs/docs/app in /gvfs/docs"}, {}},
        {R"(\\srv\x\a)", "", "", {"mount srv/x as ", "ask \\\\srv\\x"}, {noServer}},
        // The run stops while a login is asked: nothing starts, nothing is shown.
        {R"(\\srv\x\a)", "", "", {"mount srv/x as ", "ask \\\\srv\\x"}, {}, {{"stop", "good"}}},
    };
    writeText("WindowName", "*");
    for (const auto& c : cases) {
        clear();
        system.run = 1;
        system.answer = c.answer;
        system.launchFails = c.file == "/bin/fails";
        run(kRun, {{"FileName", c.file}, {"Arguments", c.arguments}, {"DirName", c.folder}},
            {{"ShowStyle", 1}, {"RunIfOpen", 1}});
        EXPECT_EQ(system.calls, c.calls) << c.arguments;
        EXPECT_EQ(messages.texts(), c.messages) << c.arguments;
    }
}

TEST_F(SystemCommandsTest, ConnectShareMountsOrAsksAsNeeded) {
    const ShareLogin good{"eve", "good"}, bad{"eve", "bad"};
    const std::string root = "\\\\srv\\docs";
    const Texts asked{"mount srv/docs as ", "ask " + root};
    const Texts askedTwice{asked[0], asked[1], "mount srv/docs as eve"};
    const std::string refused = "Unable to connect to share: " + root + "\n\nError: refused";
    // Mounted as whom, the login, the prompt's answer, the reply to the box, whether it connects,
    // the calls, and how the one box shown, if any, begins.
    const std::tuple<std::optional<std::string>, ShareLogin, std::optional<ShareLogin>, MsgAnswer,
                     bool, Texts, std::string>
        cases[] = {
            {"", {}, {}, MsgAnswer::No, true, {}, ""},
            {"bob", good, {}, MsgAnswer::Yes, true, {}, "An existing connection"},
            {"bob", good, {}, MsgAnswer::No, false, {}, "An existing connection"},
            {{}, good, {}, MsgAnswer::Yes, true, {"mount srv/docs as eve"}, ""},
            {{}, {}, good, MsgAnswer::Yes, true, askedTwice, ""},
            {{}, {}, {}, MsgAnswer::Yes, false, asked, ""},
            {{}, {}, bad, MsgAnswer::Yes, false, askedTwice, refused},
        };
    ShareServices services{system, system, messages};
    for (const auto& [mountedAs, login, answer, reply, connected, calls, message] : cases) {
        clear();
        system.mounts.clear();
        if (mountedAs) system.mounts["srv/docs"] = {"/gvfs/docs", *mountedAs};
        system.answer = answer;
        messages.answers = {reply};
        EXPECT_EQ(ConnectShare(services, R"(\\srv\docs\a\b.txt)", login),
                  connected ? std::optional<std::string>("/gvfs/docs/a/b.txt") : std::nullopt);
        EXPECT_EQ(system.calls, calls);
        Texts shown = messages.texts();
        if (!shown.empty()) shown[0].resize(message.size());
        EXPECT_EQ(shown, message.empty() ? Texts{} : Texts{message});
    }
}

TEST_F(SystemCommandsTest, SoundPowerAndTraysReachTheirServices) {
    // The command, its drive letter and sound, the calls and the messages.
    const std::tuple<CommandId, std::string, std::uint32_t, Texts, Texts> cases[] = {
        {kEjectMedia, "D", 0, {"open 0"}, {}},
        {kEjectMedia, "d:", 0, {"open 0"}, {}},
        {kEjectMedia, "E:\\", 0, {"open 1"}, {}},
        {kInsertMedia, "Z:", 0, {"close 22"}, {}},
        {kInsertMedia, "C", 0, {}, {}},
        {kEjectMedia, "DD", 0, {}, {"Invalid drive letter."}},
        {kInsertMedia, "", 0, {}, {"Invalid drive letter."}},
        {kSound, "", 0xFFFFFFFF, {"beep 1000/300"}, {}},
        {kSound, "", 0x30, {"alert 48"}, {}},
        {kShutdownWindows, "", 0, {"power off"}, {}},
        {kReboot, "", 0, {"reboot"}, {}},
    };
    for (const auto& [id, letter, sound, calls, shown] : cases) {
        clear();
        run(id, {{"DriveLetter", letter}}, {{"SoundID", sound}});
        EXPECT_EQ(system.calls, calls) << letter;
        EXPECT_EQ(messages.texts(), shown) << letter;
        EXPECT_TRUE(messages.allShownAs("Keystrider - Attention", MsgIcon::None));
    }
}

TEST_F(SystemCommandsTest, WaitForDriveMapWaitsForTheFolder) {
    const std::string folder = dir.file("drive");
    system.mounts["srv/docs"] = {dir.path().string(), ""};
    const std::string timedOut = "WAIT FOR DRIVE MAP operation failed: \"" + folder + "/\"";
    const std::string invalid = "Invalid time out value in command \"WAIT FOR DRIVE MAP\".";
    const struct {
        std::string path, timeout;
        std::uint32_t connect, abortOnFail;
        std::int64_t createAt, removeAt, stopAt;  // ms after the start; -1: never
        CommandResult result;
        std::int64_t endsAt;
        Texts messages;
    } cases[] = {
        {R"(\\srv\docs\drive)", "2", 1, 1, 300, -1, -1, CommandResult::Next, 300, {}},
        {folder, "0", 0, 1, 0, 1200, -1, CommandResult::Next, 1200, {}},
        {folder, "2", 1, 1, -1, -1, -1, CommandResult::Failed, 3000, {timedOut}},
        {folder, "2", 7, 0, 100, -1, -1, CommandResult::Next, 3000, {timedOut}},
        {folder, "0", 1, 0, -1, -1, 500, CommandResult::Failed, 500, {}},
        {folder, "1.5", 1, 0, -1, -1, -1, CommandResult::Failed, 0, {invalid}},
    };
    for (const auto& c : cases) {
        messages.clear();
        std::filesystem::remove_all(folder);
        if (c.createAt == 0) std::filesystem::create_directory(folder);
        system.run = 1;
        system.clock.set(FakeSystem::kStart);
        system.whileWaiting = [&](std::int64_t at) {
            if (at == c.createAt) std::filesystem::create_directory(folder);
            if (at == c.removeAt) std::filesystem::remove_all(folder);
            if (at == c.stopAt) system.EndRun();
        };
        EXPECT_EQ(
            run(kWaitForDriveMap, {{"WaitDriveName", c.path}, {"WaitDriveTimeOut", c.timeout}},
                {{"WaitForConnect", c.connect}, {"AbortOnFail", c.abortOnFail}}),
            c.result)
            << c.path << " " << c.timeout;
        EXPECT_EQ(system.clock.wallMillis() - FakeSystem::kStart, c.endsAt) << c.timeout;
        EXPECT_EQ(messages.texts(), c.messages);
    }
}

}  // namespace
}  // namespace ks::test
