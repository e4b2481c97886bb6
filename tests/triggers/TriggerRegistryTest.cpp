#include "triggers/TriggerRegistry.h"

#include <gtest/gtest.h>

#include "FakeClock.h"
#include "RecordingHotKeys.h"
#include "StoreFixture.h"
#include "UsKeymap.h"
#include "core/VirtualKey.h"
#include "keys/KeyNames.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;
constexpr std::uint32_t kCtrlAlt = kModControl | kModAlt;

class TriggerRegistryTest : public StoreFixture {
protected:
    // Macros holding triggers of every kind, and ids that never load.
    void loadSample() {
        load(
            "[Macros\\Backup]\n\"MsgID\"=dword:2710\n"
            "[Macros\\Other]\n\"vk\"=dword:4b\n\"fsModifiers\"=dword:3\n\"MsgID\"=dword:2711\n"
            "\"WPhrase\"=\"btw\"\n\"WPhraseCase\"=dword:0\n"
            "[Macros\\Other\\Schedule\\0]\n\"Period\"=dword:4\n"
            "[Macros\\Reserved]\n\"MsgID\"=dword:270f\n"
            "[Macros\\Unsigned]\n\"MsgID\"=dword:80000000\n"
            "[Macros\\Z Nightly]\n\"MsgID\"=dword:2710");
        triggers.loadAll();
        messages.clear();  // the schedule's values, not stored
    }

    // The conflicts as "kind:holder" words.
    std::string conflictsOf(const WantedTriggers& wanted, const char* macro) {
        const TriggerConflicts c = triggers.checkConflicts(wanted, macro);
        std::string out;
        if (c.hotKey) out += "hotKey:" + *c.hotKey + " ";
        if (c.messageIdReserved) out += "reserved ";
        if (c.messageId) out += "messageId:" + *c.messageId + " ";
        if (c.phrase) out += "phrase:" + *c.phrase + " ";
        return out;
    }

    HotKeyTable& table() { return triggers.hotKeys(); }

    RecordingHotKeys platform;
    FakeClock clock;
    Texts phrasePosts, started;
    bool postSucceeds = true, runActive = false;
    TriggerRegistry triggers{TriggerRegistry::Services{
        *store,
        [this]() -> HotKeys& { return platform; },
        clock,
        [this](const std::string& macro) { return started.push_back(macro), postSucceeds; },
        [this] { return runActive; },
        [](std::uint32_t vk) { return KeyCodeToHotKeyText(usKeyLayout(), vk); },
        {[this](const PhraseEntry& e) { return phrasePosts.push_back("add " + e.macro), true; },
         [this](std::string_view m) {
             return phrasePosts.push_back("remove " + std::string(m)), true;
         }}}};
};

// The one rule the editor's save and the import follow: a trigger another
// macro holds, or a message id below 10000, is refused; one the macro holds
// itself (in any case) is not. Removing a macro takes its triggers.
TEST_F(TriggerRegistryTest, ConflictsDisplayTextsAndRemoval) {
    loadSample();
    using HotKey = WantedTriggers::HotKey;
    const std::tuple<const char*, WantedTriggers, const char*, const char*> rows[] = {
        {"held hot key", {HotKey{'K', kCtrlAlt}, {}, {}, false}, "New", "hotKey:Other "},
        {"own hot key", {HotKey{'K', kCtrlAlt}, {}, {}, false}, "OTHER", ""},
        {"other modifiers", {HotKey{'K', kModAlt}, {}, {}, false}, "New", ""},
        {"below the floor", {{}, 9999u, {}, false}, "New", "reserved "},
        {"the floor", {{}, 10000u, {}, false}, "New", "messageId:Z Nightly "},
        {"own id", {{}, 10001u, {}, false}, "other", ""},
        {"id past the signed range", {{}, 0x80002711u, {}, false}, "New", ""},
        {"held phrase", {{}, {}, "BTW", false}, "New", "phrase:Other "},
        {"own phrase", {{}, {}, "btw", true}, "Other", ""},
    };
    for (const auto& [what, wanted, macro, conflicts] : rows)
        EXPECT_EQ(conflictsOf(wanted, macro), conflicts) << what;
    // Ids outside 10000 to 0x7FFFFFFF never load; a later macro takes an id over.
    EXPECT_EQ(triggers.messageIdOwner(9999), std::nullopt);
    EXPECT_EQ(triggers.messageIdOwner(static_cast<std::int32_t>(0x80000000u)), std::nullopt);
    EXPECT_EQ(triggers.displayText(TriggerKind::MessageId, "backup"), "");

    // The trigger column's texts, and what goes with a removed or deleted macro.
    const auto texts = [this](const char* macro) {
        std::string out;
        for (TriggerKind kind : {TriggerKind::Schedule, TriggerKind::Phrase, TriggerKind::MessageId,
                                 TriggerKind::HotKey})
            out += triggers.displayText(kind, macro) + "|";
        return out;
    };
    EXPECT_EQ(texts("other"), "Yes|btw|10001|CTRL + ALT + K|");
    triggers.remove("OTHER");
    EXPECT_EQ(texts("Other"), "No|||CTRL + ALT + K|");
    EXPECT_EQ(phrasePosts, (Texts{"add Other", "remove OTHER"}));

    triggers.load("Other");
    triggers.removeDeleted("Other", {std::nullopt, 'K'});  // no identifier: all stays
    EXPECT_EQ(texts("Other"), "Yes|btw|10001|CTRL + ALT + K|");
    triggers.removeDeleted("Other", triggers.hotKeys().readStored("Other"));
    EXPECT_EQ(texts("Other"), "No||||");
    EXPECT_EQ(platform.calls.back(), "unregister 1");
}

// Store order numbers the macros; a refused registration is still entered beside the holder.
TEST_F(TriggerRegistryTest, RegistersInStoreOrderWithOneIdentifierPerMacro) {
    load(
        "[Macros\\B]\n\"vk\"=dword:4b\n\"fsModifiers\"=dword:3\n[Macros\\a]\n"
        "[Macros\\D]\n\"vk\"=dword:51\n[Macros\\E]\n\"vk\"=dword:4b\n\"fsModifiers\"=dword:3\n"
        "[Macros\\Z]\n\"vk\"=dword:0\n\"fsModifiers\"=dword:0");

    EXPECT_EQ(triggers.loadAll(), (Texts{"a", "B", "D", "E", "Z"}));

    EXPECT_EQ(platform.calls, (Texts{"register 1 3 75", "register 3 3 75"}));
    EXPECT_EQ(messages.texts(), Texts{"Error registering hotkey for macro: E\nError returned: " +
                                      std::string(RecordingHotKeys::kRefusal)});
    EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Exclamation));
    EXPECT_EQ(table().textForMacro("e") + table().textForMacro("Z"), "CTRL + ALT + K");
    table().fire(1);
    EXPECT_EQ(started, Texts{"B"});

    // A registered entry takes over every entry of its combination.
    table().add({'K', kCtrlAlt, "New", 9}, true);
    EXPECT_EQ(table().textForMacro("B") + "|" + table().textForMacro("E"), "|");
    EXPECT_EQ(table().textForMacro("New"), "CTRL + ALT + K");
    EXPECT_EQ(table().entries().size(), 2u);

    // The editor's check of a chosen key with the platform: grabbed, or free.
    platform.calls.clear();
    EXPECT_FALSE(table().trialGrab('K', kCtrlAlt));
    EXPECT_TRUE(table().trialGrab('Q', kCtrlAlt));
    EXPECT_EQ(platform.calls, (Texts{"register 5 3 75", "register 6 3 81", "unregister 6"}));
}

TEST_F(TriggerRegistryTest, DisplayTexts) {
    const std::tuple<std::uint32_t, std::uint32_t, const char*> cases[] = {
        {kVkF2, 0, "F2"},
        {116, kModWin, " + F5"},
        {'A', 0xFFFFFFFF, "Invalid Hot Key"},
        {7, kModControl, "Invalid Hot Key"},
        {'A', kModShift | kModAlt | kModControl, "CTRL + ALT + SHIFT + A"}};
    for (const auto& [vk, modifiers, text] : cases)
        EXPECT_EQ(table().displayText(vk, modifiers), text) << vk << "/" << modifiers;
}

TEST_F(TriggerRegistryTest, FireStartsTheMacroOnlyWhenItMay) {
    // what, run active, switched on, post succeeds, identifier, started, shown
    const std::tuple<const char*, bool, bool, bool, std::int32_t, Texts, Texts> cases[] = {
        {"starts", false, true, true, 5, {"Backup"}, {}},
        {"run active", true, true, true, 5, {}, {}},
        {"switched off", false, false, true, 5, {}, {}},
        {"unknown identifier", false, true, true, 6, {}, {}},
        {"no post", false, true, false, 5, {"Backup"}, {"Error posting message to main thread."}},
    };
    table().add({'K', kCtrlAlt, "Backup", 5}, true);
    for (const auto& [what, active, enabled, posts, id, starts, shown] : cases) {
        SCOPED_TRACE(what);
        started.clear();
        messages.clear();
        runActive = active;
        postSucceeds = posts;
        table().setEnabled(enabled);
        table().fire(id);
        EXPECT_EQ(started, starts);
        EXPECT_EQ(messages.texts(), shown);
        EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop));
    }
}

TEST_F(TriggerRegistryTest, UnregisteringAKeyNeverRegisteredIsReported) {
    table().add({'K', kCtrlAlt, "M", 7}, false);
    EXPECT_TRUE(table().unregister("m", {7u, 'K'}));
    EXPECT_TRUE(table().entries().empty());
    EXPECT_EQ(platform.calls, Texts{"unregister 7"});
    EXPECT_EQ(messages.texts(),
              Texts{"Failed to unregister previous hotkey for macro: m\n\nThis probably occurred "
                    "as a result of a failure to register the hotkey to begin with.\nThis should "
                    "not keep you from continuing."});
}

// A phrase loads with its case flag, and without one not at all.
TEST_F(TriggerRegistryTest, APhraseLoadsWithItsCaseFlagOrNotAtAll) {
    load(
        "[Macros\\Fix]\n\"WPhrase\"=\"teh\"\n\"WPhraseCase\"=dword:0\n"
        "[Macros\\Strict]\n\"WPhrase\"=\"omw\"\n\"WPhraseCase\"=dword:1\n"
        "[Macros\\Half]\n\"WPhrase\"=\"hlf\"");
    triggers.loadAll();
    EXPECT_EQ(triggers.phraseOwner("TEH", true), "Fix");
    EXPECT_EQ(triggers.phraseOwner("OMW", true), std::nullopt);
    EXPECT_EQ(triggers.phraseOwner("omw", true), "Strict");
    EXPECT_EQ(triggers.phraseOwner("hlf", false), std::nullopt);
}

}  // namespace
}  // namespace ks::test
