#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "CommandFixture.h"
#include "FakeExpander.h"
#include "RecordingInput.h"
#include "system/FakeSystem.h"
#include "system/NetworkShares.h"
#include "system/ShellWords.h"
#include "system/SystemCommands.h"

namespace ks::test {
namespace {

class SystemCommandsTest : public CommandFixture {
protected:
    CommandResult run(CommandId id, const std::map<std::string, std::string>& texts,
                      const std::map<std::string, std::uint32_t>& numbers = {}) {
        for (const auto& [name, text] : texts) writeText(name.c_str(), text);
        for (const auto& [name, number] : numbers) writeNumber(name.c_str(), number);
        return commands.run(id, kCommand);
    }
    CommandResult runProgram(const std::string& file, const std::string& arguments,
                             const std::string& folder, std::uint32_t runIfOpen = 1) {
        return run(kRun,
                   {{"FileName", file},
                    {"Arguments", arguments},
                    {"DirName", folder},
                    {"WindowName", "notes*"}},
                   {{"ShowStyle", 9}, {"RunIfOpen", runIfOpen}});
    }

    FakeExpander expander;
    FakeSystem system;
    FakeWindowControl windows;
    SystemCommands commands{
        *store, messages,     expander,
        system, system.clock, {windows, system, system, system, system, system, system}};
};

TEST(ShellWordsTest, SplitsAsAShellDoes) {
    using Words = std::vector<std::string>;
    const struct {
        std::string_view line;
        std::optional<Words> words;
    } cases[] = {
        {"  one\ttwo \n three ", Words{"one", "two", "three"}},
        {R"("two  blanks" 'it''s' a\ b "" x)", Words{"two  blanks", "its", "a b", "", "x"}},
        {R"('say "hi"' "\"\$\a" back\\slash)", Words{"say \"hi\"", "\"$\\a", "back\\slash"}},
        {"con\\\ntinued \\\n", Words{"continued"}},
        {"", Words{}},
        {"\"open", std::nullopt},
        {"it's", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(splitShellWords(c.line), c.words) << c.line;
}

TEST_F(SystemCommandsTest, RunStartsTheProgramWithItsWordsInItsFolder) {
    system.mounts["srv/docs"] = {"/gvfs/docs", ""};
    const struct {
        std::string file, arguments, folder;
        bool launchFails;
        std::vector<std::string> calls, messages;
    } cases[] = {
        {"/bin/prog",
         R"(one "two  words" 'say "hi"')",
         "/tmp",
         false,
         {"open /bin/prog <one> <two  words> <say \"hi\"> in /tmp"},
         {}},
        {"/bin/prog", "", "", true, {"open /bin/prog in "}, {"Error running: /bin/prog"}},
        {"/bin/prog", "\"open", "", false, {}, {"Error running: /bin/prog"}},
        {R"(\\srv\docs\bin\app)",
         "",
         R"(\\srv\docs\)",
         false,
         {"open /gvfs/docs/bin/app in /gvfs/docs"},
         {}},
        {R"(\\srv\other\app)",
         "",
         "",
         false,
         {"mount srv/other as ", "ask \\\\srv\\other"},
         {"Unable to connect to server specified in: \\\\srv\\other\\app"}},
    };
    for (const auto& c : cases) {
        system.calls.clear();
        messages.clear();
        system.launchFails = c.launchFails;
        runProgram(c.file, c.arguments, c.folder);
        EXPECT_EQ(system.calls, c.calls) << c.file << " " << c.arguments;
        EXPECT_EQ(messages.texts(), c.messages) << c.file << " " << c.arguments;
    }
}

TEST_F(SystemCommandsTest, ConnectShareMountsOrAsksAsNeeded) {
    const struct {
        std::optional<std::string> mountedAs;
        std::string user;
        std::vector<bool> mountResults;
        std::optional<ShareLogin> login;
        MsgAnswer answer;
        bool connected;
        std::vector<std::string> calls, messages;
    } cases[] = {
        {"", "", {}, {}, MsgAnswer::Yes, true, {}, {}},
        {"bob", "bob", {}, {}, MsgAnswer::No, true, {}, {}},
        {"bob", "ann", {}, {}, MsgAnswer::Yes, true, {}, {"An existing connection"}},
        {"bob", "ann", {}, {}, MsgAnswer::No, false, {}, {"An existing connection"}},
        {{}, "ann", {true}, {}, MsgAnswer::Yes, true, {"mount srv/docs as ann"}, {}},
        {{},
         "",
         {false, true},
         ShareLogin{"eve", "pw"},
         MsgAnswer::Yes,
         true,
         {"mount srv/docs as ", "ask \\\\srv\\docs", "mount srv/docs as eve"},
         {}},
        {{},
         "",
         {false},
         {},
         MsgAnswer::Yes,
         false,
         {"mount srv/docs as ", "ask \\\\srv\\docs"},
         {}},
        {{},
         "",
         {false, false},
         ShareLogin{"eve", "pw"},
         MsgAnswer::Yes,
         false,
         {"mount srv/docs as ", "ask \\\\srv\\docs", "mount srv/docs as eve"},
         {"Unable to connect to share: \\\\srv\\docs\n\nError: refused"}},
    };
    for (const auto& c : cases) {
        system.calls.clear();
        system.mounts.clear();
        messages.clear();
        if (c.mountedAs) system.mounts["srv/docs"] = {"/gvfs/docs", *c.mountedAs};
        system.mountResults = c.mountResults;
        system.answer = c.login;
        messages.answers = {c.answer};
        ShareServices services{system, system, messages};
        const auto path = ConnectShare(services, R"(\\srv\docs\a\b.txt)", {c.user, "secret"});
        EXPECT_EQ(path,
                  c.connected ? std::optional<std::string>("/gvfs/docs/a/b.txt") : std::nullopt);
        EXPECT_EQ(system.calls, c.calls);
        ASSERT_EQ(messages.shown.size(), c.messages.size());
        for (std::size_t i = 0; i < c.messages.size(); ++i) {
            EXPECT_TRUE(messages.shown[i].text.starts_with(c.messages[i]))
                << messages.shown[i].text;
        }
    }
    ShareServices services{system, system, messages};
    EXPECT_EQ(ConnectShare(services, R"(\\srv)", {}), R"(\\srv)");
    EXPECT_EQ(ConnectShare(services, "/home/a b", {}), "/home/a b");
}

TEST_F(SystemCommandsTest, TrayCommandsTakeADriveLetter) {
    const struct {
        CommandId id;
        std::string letter;
        std::vector<std::string> calls;
        bool invalid;
    } cases[] = {
        {kEjectMedia, "D", {"open 0"}, false},
        {kEjectMedia, "d:", {"open 0"}, false},
        {kEjectMedia, "E:\\", {"open 1"}, false},
        {kInsertMedia, "Z:", {"close 22"}, false},
        {kInsertMedia, "C", {}, false},
        {kEjectMedia, "é:", {}, false},
        {kEjectMedia, "DD", {}, true},
        {kInsertMedia, "", {}, true},
        {kEjectMedia, "D:/", {}, true},
    };
    for (const auto& c : cases) {
        system.calls.clear();
        messages.clear();
        run(c.id, {{"DriveLetter", c.letter}});
        EXPECT_EQ(system.calls, c.calls) << c.letter;
        EXPECT_EQ(messages.texts(), c.invalid ? std::vector<std::string>{"Invalid drive letter."}
                                              : std::vector<std::string>{})
            << c.letter;
    }
    EXPECT_TRUE(messages.allShownAs("Keystrider - Attention", MsgIcon::None));
}

TEST_F(SystemCommandsTest, SoundAndPowerReachTheirServices) {
    run(kSound, {}, {{"SoundID", 0xFFFFFFFF}});
    run(kSound, {}, {{"SoundID", 0x30}});
    run(kShutdownWindows, {});
    run(kReboot, {});
    EXPECT_EQ(system.calls,
              (std::vector<std::string>{"beep 1000 300", "alert 48", "power off", "reboot"}));
}

TEST_F(SystemCommandsTest, WaitForDriveMapWaitsForTheFolder) {
    const std::string folder = dir.file("drive");
    system.mounts["srv/docs"] = {dir.path().string(), ""};
    const std::string timedOut = "WAIT FOR DRIVE MAP operation failed: \"" + folder + "/\"";
    const struct {
        std::string path, timeout;
        std::uint32_t connect, abortOnFail;
        std::int64_t createAt, removeAt, stopAt;  // ms after the start; -1: never
        CommandResult result;
        std::int64_t endsAt;
        std::vector<std::string> messages;
    } cases[] = {
        {folder, "+0", 1, 1, 700, -1, -1, CommandResult::Next, 700, {}},
        {R"(\\srv\docs\drive)", "2", 1, 1, 300, -1, -1, CommandResult::Next, 300, {}},
        {folder, "0", 0, 1, 0, 1200, -1, CommandResult::Next, 1200, {}},
        {folder, "2", 1, 1, -1, -1, -1, CommandResult::Failed, 3000, {timedOut}},
        {folder, "2", 1, 0, -1, -1, -1, CommandResult::Next, 3000, {timedOut}},
        {folder, "2", 7, 0, 100, -1, -1, CommandResult::Next, 3000, {timedOut}},
        {folder, "0", 1, 0, -1, -1, 500, CommandResult::Failed, 500, {}},
        {folder,
         "1.5",
         1,
         0,
         -1,
         -1,
         -1,
         CommandResult::Failed,
         0,
         {"Invalid time out value in command \"WAIT FOR DRIVE MAP\"."}},
    };
    for (const auto& c : cases) {
        messages.clear();
        std::filesystem::remove_all(folder);
        system.run = 1;
        system.clock.set(5'000'000);
        system.whileWaiting = [&](std::int64_t now) {
            const std::int64_t at = now - 5'000'000;
            if (at == c.createAt) std::filesystem::create_directory(folder);
            if (at == c.removeAt) std::filesystem::remove_all(folder);
            if (at == c.stopAt) system.EndRun();
        };
        if (c.createAt == 0) std::filesystem::create_directory(folder);
        EXPECT_EQ(
            run(kWaitForDriveMap, {{"WaitDriveName", c.path}, {"WaitDriveTimeOut", c.timeout}},
                {{"WaitForConnect", c.connect}, {"AbortOnFail", c.abortOnFail}}),
            c.result)
            << c.path << " " << c.timeout;
        EXPECT_EQ(system.clock.wallMillis() - 5'000'000, c.endsAt) << c.path << " " << c.timeout;
        EXPECT_EQ(messages.texts(), c.messages);
    }
}

}  // namespace
}  // namespace ks::test
