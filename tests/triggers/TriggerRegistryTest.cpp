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
    TriggerRegistryTest() {
        load(R"([Macros\Backup]
                "MsgID"=dword:00002710
                [Macros\Other]
                "vk"=dword:0000004b
                "fsModifiers"=dword:00000003
                "MsgID"=dword:00002711
                "WPhrase"="btw"
                "WPhraseCase"=dword:00000000
                [Macros\Other\Schedule\0]
                "Period"=dword:00000004
                "Year"="-"
                "Month"="-"
                "Day"="-"
                "DayOfWeek"="-"
                "Hour"="09"
                "Minute"="00"
                "Second"="00"
                [Macros\Reserved]
                "MsgID"=dword:0000270f
                [Macros\Unsigned]
                "MsgID"=dword:80000000
                [Macros\Z Nightly]
                "MsgID"=dword:00002710)");
        EXPECT_EQ(triggers.loadAll(),
                  (Texts{"Backup", "Other", "Reserved", "Unsigned", "Z Nightly"}));
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

    RecordingHotKeys hotKeys;
    FakeClock clock;
    Texts phrasePosts;
    TriggerRegistry triggers{TriggerRegistry::Services{
        *store,
        [this]() -> HotKeys& { return hotKeys; },
        clock,
        [](const std::string&) { return true; },
        [] { return false; },
        [](std::uint32_t vk) { return KeyCodeToHotKeyText(usKeyLayout(), vk); },
        {[this](const PhraseEntry& e) { return phrasePosts.push_back("add " + e.macro), true; },
         [this](std::string_view m) {
             return phrasePosts.push_back("remove " + std::string(m)), true;
         }}}};
};

// The one rule the editor's save and the import follow: a trigger another
// macro holds, or a message id below 10000, is refused; one the macro holds
// itself (in any case) is not.
TEST_F(TriggerRegistryTest, ConflictsAreTriggersOtherMacrosHoldAndReservedIds) {
    using HotKey = WantedTriggers::HotKey;
    const std::tuple<const char*, WantedTriggers, const char*, const char*> rows[] = {
        {"held hot key", {HotKey{'K', kCtrlAlt}, {}, {}, false}, "New", "hotKey:Other "},
        {"own hot key", {HotKey{'K', kCtrlAlt}, {}, {}, false}, "OTHER", ""},
        {"other modifiers", {HotKey{'K', kModAlt}, {}, {}, false}, "New", ""},
        {"below the floor", {{}, 9999u, {}, false}, "New", "reserved "},
        {"the floor", {{}, 10000u, {}, false}, "New", "messageId:Z Nightly "},
        {"held id", {{}, 10001u, {}, false}, "New", "messageId:Other "},
        {"own id", {{}, 10001u, {}, false}, "other", ""},
        {"id past the signed range", {{}, 0x80002711u, {}, false}, "New", ""},
        {"held phrase", {{}, {}, "BTW", false}, "New", "phrase:Other "},
        {"own phrase", {{}, {}, "btw", true}, "Other", ""},
        {"all at once",
         {HotKey{'K', kCtrlAlt}, 10001u, "btw", false},
         "New",
         "hotKey:Other messageId:Other phrase:Other "},
    };
    for (const auto& [what, wanted, macro, conflicts] : rows) {
        EXPECT_EQ(conflictsOf(wanted, macro), conflicts) << what;
    }
    // Ids outside 10000 to 0x7FFFFFFF never load; a later macro takes an id over.
    EXPECT_EQ(triggers.messageIdOwner(9999), std::nullopt);
    EXPECT_EQ(triggers.messageIdOwner(static_cast<std::int32_t>(0x80000000u)), std::nullopt);
    EXPECT_EQ(triggers.displayText(TriggerKind::MessageId, "backup"), "");
}

// The trigger column's texts, and what goes with a removed or deleted macro.
TEST_F(TriggerRegistryTest, DisplayTextsAndRemoval) {
    const auto texts = [this](const char* macro) {
        std::string out;
        for (TriggerKind kind : {TriggerKind::Schedule, TriggerKind::Phrase, TriggerKind::MessageId,
                                 TriggerKind::HotKey}) {
            out += triggers.displayText(kind, macro) + "|";
        }
        return out;
    };
    EXPECT_EQ(texts("other"), "Yes|btw|10001|CTRL + ALT + K|");
    EXPECT_EQ(texts("Z NIGHTLY"), "No||10000||");
    triggers.remove("OTHER");
    EXPECT_EQ(texts("Other"), "No|||CTRL + ALT + K|");
    EXPECT_EQ(phrasePosts, (Texts{"add Other", "remove OTHER"}));

    triggers.load("Other");
    triggers.removeDeleted("Other", {std::nullopt, 'K'});  // no identifier: all stays
    EXPECT_EQ(texts("Other"), "Yes|btw|10001|CTRL + ALT + K|");
    triggers.removeDeleted("Other", triggers.hotKeys().readStored("Other"));
    EXPECT_EQ(texts("Other"), "No||||");
    EXPECT_EQ(hotKeys.calls.back(), "unregister 1");
}

}  // namespace
}  // namespace ks::test
