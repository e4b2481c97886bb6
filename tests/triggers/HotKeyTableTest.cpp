#include "triggers/HotKeyTable.h"

#include <gtest/gtest.h>

#include "RecordingHotKeys.h"
#include "StoreFixture.h"
#include "UsKeymap.h"
#include "core/VirtualKey.h"
#include "keys/KeyNames.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;
constexpr std::uint32_t kCtrlAlt = kModControl | kModAlt;
constexpr std::uint32_t kVkK = 'K';

class HotKeyTableTest : public StoreFixture {
protected:
    RecordingHotKeys hotKeys;
    Texts started;
    bool postSucceeds = true, runActive = false;
    HotKeyTable table{*store, [this]() -> HotKeys& { return hotKeys; },
                      [this](const std::string& macro) {
                          started.push_back(macro);
                          return postSucceeds;
                      },
                      [this] { return runActive; },
                      [](std::uint32_t vk) { return KeyCodeToHotKeyText(usKeyLayout(), vk); }};
};

// Store order numbers the macros; a refused registration is still entered beside the holder.
TEST_F(HotKeyTableTest, RegistersInStoreOrderWithOneIdentifierPerMacro) {
    load(R"([Macros\B]
            "vk"=dword:0000004b
            "fsModifiers"=dword:00000003
            [Macros\a]
            [Macros\D]
            "vk"=dword:00000051
            [Macros\E]
            "vk"=dword:0000004b
            "fsModifiers"=dword:00000003
            [Macros\Z]
            "vk"=dword:00000000
            "fsModifiers"=dword:00000000)");

    EXPECT_EQ(table.registerAll(), (Texts{"a", "B", "D", "E", "Z"}));

    EXPECT_EQ(hotKeys.calls, (Texts{"register 1 3 75", "register 3 3 75"}));
    EXPECT_EQ(messages.texts(), Texts{"Error registering hotkey for macro: E\nError returned: " +
                                      std::string(RecordingHotKeys::kRefusal)});
    EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Exclamation));
    EXPECT_EQ(table.textForMacro("e") + table.textForMacro("Z"), "CTRL + ALT + K");
    table.fire(1);
    EXPECT_EQ(started, Texts{"B"});
    EXPECT_EQ(table.nextIdentifier(), 5);

    // A registered entry takes over every entry of its combination.
    table.add({kVkK, kCtrlAlt, "New", 9}, true);
    EXPECT_EQ(table.textForMacro("B") + "|" + table.textForMacro("E"), "|");
    EXPECT_EQ(table.textForMacro("New"), "CTRL + ALT + K");
    EXPECT_EQ(table.entries().size(), 2u);

    // The editor's check of a chosen key: held by another macro, grabbed, or free.
    EXPECT_EQ(table.ownerOf(kVkK, kCtrlAlt, "d").value_or("-") +
                  table.ownerOf(kVkK, kCtrlAlt, "NEW").value_or("-"),
              "New-");
    hotKeys.calls.clear();
    EXPECT_FALSE(table.trialGrab(kVkK, kCtrlAlt));
    EXPECT_TRUE(table.trialGrab('Q', kCtrlAlt));
    EXPECT_EQ(hotKeys.calls, (Texts{"register 6 3 75", "register 7 3 81", "unregister 7"}));
}

TEST_F(HotKeyTableTest, DisplayTexts) {
    const std::tuple<std::uint32_t, std::uint32_t, const char*> cases[] = {
        {kVkF2, 0, "F2"},
        {116, kModWin, " + F5"},
        {'A', kModShift | kModAlt | kModControl, "CTRL + ALT + SHIFT + A"},
        {'A', 0xFFFFFFFF, "Invalid Hot Key"},
        {7, kModControl, "Invalid Hot Key"},
    };
    for (const auto& [vk, modifiers, text] : cases)
        EXPECT_EQ(table.displayText(vk, modifiers), text) << vk << "/" << modifiers;
}

TEST_F(HotKeyTableTest, FireStartsTheMacroOnlyWhenItMay) {
    // what, run active, switched on, post succeeds, identifier, started, shown
    const std::tuple<const char*, bool, bool, bool, std::int32_t, Texts, Texts> cases[] = {
        {"starts", false, true, true, 5, {"Backup"}, {}},
        {"run active", true, true, true, 5, {}, {}},
        {"switched off", false, false, true, 5, {}, {}},
        {"unknown identifier", false, true, true, 6, {}, {}},
        {"no post", false, true, false, 5, {"Backup"}, {"Error posting message to main thread."}},
    };
    table.add({kVkK, kCtrlAlt, "Backup", 5}, true);
    for (const auto& [what, active, enabled, posts, id, starts, shown] : cases) {
        SCOPED_TRACE(what);
        started.clear();
        messages.clear();
        runActive = active;
        postSucceeds = posts;
        table.setEnabled(enabled);
        table.fire(id);
        EXPECT_EQ(started, starts);
        EXPECT_EQ(messages.texts(), shown);
        EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop));
    }
}

// Without an identifier the entry stays; a key never registered is reported, and goes.
TEST_F(HotKeyTableTest, UnregisterFollowsWhatTheKeyRecorded) {
    table.add({kVkK, kCtrlAlt, "M", 7}, false);
    EXPECT_FALSE(table.unregister("m", {std::nullopt, kVkK}));
    EXPECT_EQ(table.entries().size(), 1u);
    EXPECT_TRUE(hotKeys.calls.empty());

    EXPECT_TRUE(table.unregister("m", {7u, kVkK}));
    EXPECT_TRUE(table.entries().empty());
    EXPECT_EQ(hotKeys.calls, Texts{"unregister 7"});
    EXPECT_EQ(messages.texts(),
              Texts{"Failed to unregister previous hotkey for macro: m\n\nThis probably occurred "
                    "as a result of a failure to register the hotkey to begin with.\nThis should "
                    "not keep you from continuing."});
}

}  // namespace
}  // namespace ks::test
