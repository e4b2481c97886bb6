#include "app/Shell.h"

#include <gtest/gtest.h>

#include "AppFixture.h"

namespace ks::test {
namespace {

class ShellTest : public AppFixture {
protected:
    // A keyboard-watch thread that notes what it is told.
    struct HookThread final : HookThreadControl {
        HookThread(ShellTest& test, bool answer) : t(test), posts(answer) {}
        bool postInstallHooks() override { return t.note("install hooks", posts); }
        bool postRemoveHooks() override { return t.note("remove hooks", posts); }
        bool postEnd() override { return t.note("end", posts); }
        ShellTest& t;
        bool posts;
    };
};

// Each row adds to the values stored before it; each exits, closing the server it opened.
TEST_F(ShellTest, ReadOptionsAppliesDefaultsAndStoredValues) {
    const std::string noPort = "Error reading port for Server from registry, can't start server.";
    const Texts released = {"release player buffer"};
    const Texts served = {"open server 8080", "release player buffer", "close server"};
    // stored, server opens, read (result, hot keys, server, special mouse), log, shown
    using Stored = std::vector<std::pair<const char*, std::uint32_t>>;
    const std::tuple<Stored, bool, std::string, Texts, Texts> cases[] = {
        {{}, true, "1 1 0 517", released, {}},
        {{{"SrvOn", 1}}, true, "1 1 0 517", released, {noPort}},
        {{{"SrvPort", 80}}, false, "0 1 1 517", {"open server 80"}, {}},
        {{{"SrvPort", 8080}}, true, "1 1 1 517", served, {}},
        {{{"HotKeyOn", 2}, {"SPMouse", 520}}, true, "1 0 1 520", served, {}},
    };
    for (const auto& [stored, opens, read, logged, shown] : cases) {
        SCOPED_TRACE(read);
        for (const auto& [name, value] : stored) setOption(name, value);
        log.clear();
        messages.clear();
        serverOpens = opens;
        Shell& s = makeShell();
        const bool result = s.ReadOptions();
        EXPECT_EQ(std::to_string(result) + " " + std::to_string(s.hotKeys().enabled()) + " " +
                      std::to_string(s.switches().server) + " " +
                      std::to_string(s.switches().specialMouse),
                  read);
        if (result) s.Exit();
        EXPECT_EQ(log, logged);
        EXPECT_EQ(messages.texts(), shown);
        EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Exclamation));
    }
}

// The command line goes through the store to the own queue, which starts it.
TEST_F(ShellTest, TheCommandLineMacroIsHandedOverThroughTheStore) {
    const std::string unread = "Error reading CmdLineMacro from registry.";
    makeShell().HandCommandLineToSelf();  // none to hand over
    shell->CommandLineMacro();
    EXPECT_EQ(messages.texts(), Texts{unread});
    EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));

    makeShell("Nightly Backup").HandCommandLineToSelf();
    shell->CommandLineMacro();
    EXPECT_EQ(log, (Texts{"command-line macro", "start Nightly Backup"}));

    postSucceeds = false;
    makeShell("x").HandCommandLineToSelf();
    shell->CommandLineMacro();
    EXPECT_EQ(messages.texts(),
              (Texts{unread, "Error posting message to currently running copy of Keystrider.",
                     "Error posting message to main thread."}));
    EXPECT_EQ(messages.shown[1].owner, MsgOwner::MainWindow);
    EXPECT_EQ(messages.shown[2].title, "Error");

    // The value is read with room for 999 bytes and its terminating zero.
    ASSERT_TRUE(store->SetText(macros, "CmdLineMacro", std::string(1000, 'x')));
    shell->CommandLineMacro();
    EXPECT_EQ(messages.texts().back(), unread);
}

// Shutdown waits for the thread to end unless it cannot be told to, or never started.
TEST_F(ShellTest, ShutdownTellsTheHookThreadToEndOnce) {
    setOption("WPhraseOn", 1);
    for (bool posts : {true, false}) {
        log.clear();
        Shell& s = makeShell();
        s.hooks().createHookThread = [&] { return std::make_unique<HookThread>(*this, posts); };
        s.StartHookThread();
        s.SetScheduler(true);
        EXPECT_TRUE(s.switches().phrases);
        EXPECT_EQ(s.Shutdown(), !posts);
        EXPECT_TRUE(s.Shutdown());
        s.Exit();
        EXPECT_FALSE(schedulesOn());
        EXPECT_EQ(log, (Texts{"install hooks", "release event clipboard", "end",
                              "release event clipboard", "release player buffer"}));
    }
    makeShell().hooks().createHookThread = [] { return std::unique_ptr<HookThreadControl>(); };
    shell->StartHookThread();
    EXPECT_TRUE(shell->Shutdown());
    EXPECT_EQ(
        messages.texts(),
        (Texts{"Error comunicating with Hook thread.  Word or Phrase triggers will not function.",
               "Error creating thread.  Word or Phrase triggers will not function."}));
}

}  // namespace
}  // namespace ks::test
