#include "app/Shell.h"

#include <gtest/gtest.h>

#include "AppFixture.h"

namespace ks::test {
namespace {

class ShellTest : public AppFixture {};

// A keyboard-watch thread that records what it is told.
class RecordingHookThread final : public HookThreadControl {
public:
    explicit RecordingHookThread(std::vector<std::string>& log, bool posts = true)
        : log_(log), posts_(posts) {}
    bool postInstallHooks() override { return record("install hooks"); }
    bool postRemoveHooks() override { return record("remove hooks"); }
    bool postEnd() override { return record("end"); }

private:
    bool record(const char* what) {
        log_.push_back(what);
        return posts_;
    }
    std::vector<std::string>& log_;
    bool posts_;
};

// Each case also exits, which closes the server it opened.
TEST_F(ShellTest, ReadOptionsAppliesDefaultsAndStoredValues) {
    struct Case {
        std::vector<std::pair<const char*, std::uint32_t>> stored;
        bool serverOpens;
        std::string read;  // result, hot keys, server, special mouse
        std::vector<std::string> log;
        std::vector<std::string> shown;
    };
    const std::string noPort = "Error reading port for Server from registry, can't start server.";
    const std::vector<Case> cases = {
        {{}, true, "1 1 0 517", {"release player buffer"}, {}},
        {{{"HotKeyOn", 2}, {"SPMouse", 520}}, true, "1 0 0 520", {"release player buffer"}, {}},
        {{{"SrvOn", 1}, {"SrvPort", 8080}},
         true,
         "1 1 1 517",
         {"open server 8080", "release player buffer", "close server"},
         {}},
        {{{"SrvOn", 1}}, true, "1 1 0 517", {"release player buffer"}, {noPort}},
        {{{"SrvOn", 1}, {"SrvPort", 80}}, false, "0 1 1 517", {"open server 80"}, {}},
    };
    for (const Case& c : cases) {
        for (const char* name : {"HotKeyOn", "SPMouse", "SrvOn", "SrvPort"}) {
            store->DeleteValue(kDirectRoot, name);
        }
        for (const auto& [name, value] : c.stored) setOption(name, value);
        log.clear();
        messages.clear();
        serverOpens = c.serverOpens;
        Shell& s = makeShell();
        const bool result = s.ReadOptions();
        EXPECT_EQ(std::to_string(result) + " " + std::to_string(s.hotKeys().Enabled()) + " " +
                      std::to_string(s.switches().server) + " " +
                      std::to_string(s.switches().specialMouse),
                  c.read);
        if (result) s.Exit();
        EXPECT_EQ(log, c.log) << c.read;
        EXPECT_EQ(messages.texts(), c.shown) << c.read;
        EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Exclamation));
    }
}

TEST_F(ShellTest, CommandLineMacroStartsTheStoredName) {
    Shell& s = makeShell();
    s.CommandLineMacro();
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Error reading CmdLineMacro from registry."});
    EXPECT_EQ(messages.shown[0].title, "Keystrider - Error");

    messages.clear();
    ASSERT_TRUE(store->SetText(std::string(kDirectRoot) + "Macros", "CmdLineMacro", "Backup"));
    s.CommandLineMacro();
    EXPECT_EQ(log, std::vector<std::string>{"start Backup"});
    EXPECT_TRUE(messages.shown.empty());

    postSucceeds = false;
    s.CommandLineMacro();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Error posting message to main thread."});
    EXPECT_EQ(messages.shown[0].title, "Error");

    // The value is read with room for 999 bytes and its terminating zero.
    messages.clear();
    ASSERT_TRUE(store->SetText(std::string(kDirectRoot) + "Macros", "CmdLineMacro",
                               std::string(1000, 'x')));
    s.CommandLineMacro();
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Error reading CmdLineMacro from registry."});
}

TEST_F(ShellTest, TheCommandLineIsHandedToTheOwnQueueThroughTheStore) {
    makeShell().HandCommandLineToSelf();
    EXPECT_TRUE(log.empty());

    makeShell("Nightly Backup").HandCommandLineToSelf();
    EXPECT_EQ(store->GetText(std::string(kDirectRoot) + "Macros", "CmdLineMacro"),
              "Nightly Backup");
    EXPECT_EQ(log, std::vector<std::string>{"command-line macro"});

    postSucceeds = false;
    makeShell("x").HandCommandLineToSelf();
    EXPECT_EQ(
        messages.texts(),
        std::vector<std::string>{"Error posting message to currently running copy of Keystrider."});
    EXPECT_EQ(messages.shown[0].owner, MsgOwner::MainWindow);
}

TEST_F(ShellTest, ShutdownWaitsForTheHookThreadOnce) {
    Shell& s = makeShell();
    s.hooks().createHookThread = [this] { return std::make_unique<RecordingHookThread>(log); };
    setOption("WPhraseOn", 1);
    s.StartHookThread();
    EXPECT_TRUE(s.switches().phrases);

    EXPECT_FALSE(s.Shutdown());
    EXPECT_TRUE(s.Shutdown());
    s.Exit();
    EXPECT_EQ(log, (std::vector<std::string>{"install hooks", "stop schedules",
                                             "release event clipboard", "end", "stop schedules",
                                             "release event clipboard", "release player buffer"}));
}

TEST_F(ShellTest, HookThreadFailuresAreReportedAndTheProgramGoesOn) {
    Shell& s = makeShell();
    s.hooks().createHookThread = [] { return std::unique_ptr<HookThreadControl>(); };
    s.StartHookThread();
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{
                  "Error creating thread.  Word or Phrase triggers will not function."});
    EXPECT_TRUE(s.Shutdown());

    messages.clear();
    Shell& other = makeShell();
    other.hooks().createHookThread = [this] {
        return std::make_unique<RecordingHookThread>(log, false);
    };
    setOption("WPhraseOn", 1);
    other.StartHookThread();
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Error comunicating with Hook thread.  Word or Phrase "
                                       "triggers will not function."});
    // A thread that cannot be told to end does not keep the program alive.
    EXPECT_TRUE(other.Shutdown());
}

}  // namespace
}  // namespace ks::test
