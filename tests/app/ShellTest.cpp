#include "app/Shell.h"

#include <gtest/gtest.h>

#include "AppFixture.h"
#include "app/Application.h"

namespace ks::test {
namespace {

using ShellTest = AppFixture;

// Each row adds to the values stored before it; each exits, closing the server it opened.
TEST_F(ShellTest, ReadOptionsAppliesDefaultsAndStoredValues) {
    const std::string noPort = "Error reading port for Server from registry, can't start server.";
    const Texts served = {"open server 80", "close server"};
    // stored, server opens, read (result, hot keys, server, special mouse), log, shown
    using Stored = std::vector<std::pair<const char*, std::uint32_t>>;
    const std::tuple<Stored, bool, std::string, Texts, Texts> cases[] = {
        {{}, true, "1 1 0 517", {}, {}},
        {{{"SrvOn", 1}}, true, "1 1 0 517", {}, {noPort}},
        {{{"SrvPort", 80}}, false, "0 1 1 517", {"open server 80"}, {}},
        {{{"HotKeyOn", 2}, {"SPMouse", 520}}, true, "1 0 1 520", served, {}},
    };
    for (const auto& [stored, opens, read, logged, shown] : cases) {
        SCOPED_TRACE(read);
        for (const auto& [name, value] : stored) setOption(name, value);
        log.clear();
        messages.clear();
        noted.serverOpens = opens;
        Shell& s = makeShell();
        const bool result = s.readOptions();
        EXPECT_EQ(std::to_string(result) + " " + std::to_string(s.hotKeys().enabled()) + " " +
                      std::to_string(s.switches().server) + " " +
                      std::to_string(s.switches().specialMouse),
                  read);
        if (result) s.finish();
        EXPECT_EQ(log, logged);
        EXPECT_EQ(messages.texts(), shown);
        EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Exclamation));
    }
}

// The command line goes through the store to the own queue, which starts it (the
// end-to-end test's first copy runs its macro so): what fails on the way is said.
TEST_F(ShellTest, TheCommandLineMacroIsHandedOverThroughTheStore) {
    const std::string unread = "Error reading CmdLineMacro from registry.";
    makeShell().handCommandLineToSelf();  // none to hand over
    shell->runCommandLineMacro();
    EXPECT_EQ(messages.texts(), Texts{unread});
    EXPECT_TRUE(messages.allShownAs("Keystrider - Error", MsgIcon::Stop));

    noted.postSucceeds = false;
    makeShell("x").handCommandLineToSelf();
    shell->runCommandLineMacro();
    EXPECT_EQ(messages.texts(),
              (Texts{unread, "Error posting message to currently running copy of Keystrider.",
                     "Error posting message to main thread."}));
    EXPECT_EQ(messages.shown[1].owner, MsgOwner::MainWindow);

    // The value is read with room for 999 bytes and its terminating zero.
    ASSERT_TRUE(store->SetText(macros, "CmdLineMacro", std::string(1000, 'x')));
    shell->runCommandLineMacro();
    EXPECT_EQ(messages.texts().back(), unread);
}

// The desktop's notice is shown in a box the first time it reads so.
TEST_F(ShellTest, ANoticeIsNewUntilItIsRememberedAndAgainWhenItChanges) {
    EXPECT_TRUE(rememberNewNotice(*store, "No hot keys."));
    EXPECT_FALSE(rememberNewNotice(*store, "No hot keys."));
    EXPECT_TRUE(rememberNewNotice(*store, "No typing."));
}

// Shutdown waits for the thread to end unless it cannot be told to, or never started.
TEST_F(ShellTest, ShutdownTellsTheHookThreadToEndOnce) {
    setOption("WPhraseOn", 1);
    for (bool posts : {true, false}) {
        log.clear();
        noted.threadPosts = posts;
        Shell& s = makeShell();
        s.startPhraseWatch();
        s.setScheduler(true);
        EXPECT_TRUE(s.switches().phrases);
        EXPECT_EQ(s.shutdown(), !posts);
        EXPECT_TRUE(s.shutdown());
        s.finish();
        EXPECT_FALSE(schedulesOn());
        EXPECT_EQ(log, (Texts{"install hooks", "end"}));
    }
    noted.threadPosts.reset();
    makeShell().startPhraseWatch();
    EXPECT_TRUE(shell->shutdown());
    EXPECT_EQ(
        messages.texts(),
        (Texts{"Error comunicating with Hook thread.  Word or Phrase triggers will not function.",
               "Error creating thread.  Word or Phrase triggers will not function."}));
}

}  // namespace
}  // namespace ks::test
