#include "triggers/HotKeyTable.h"

#include <gtest/gtest.h>

#include "RecordingHotKeys.h"
#include "StoreFixture.h"
#include "UsKeymap.h"
#include "core/VirtualKey.h"
#include "keys/KeyNames.h"
#include "platform/HotKeys.h"

namespace ks::test {
namespace {

std::string usHotKeyText(std::uint32_t vk) {
    return KeyCodeToHotKeyText(usKeyLayout(), vk);
}

constexpr std::uint32_t kCtrlAlt = kModControl | kModAlt;
constexpr std::uint32_t kVkK = 'K';

class HotKeyTableTest : public StoreFixture {
protected:
    HotKeyTableTest() {
        EXPECT_TRUE(store->EnsureRootKeys());
        table = std::make_unique<HotKeyTable>(
            *store, hotKeys,
            [this](const std::string& macro) {
                started.push_back(macro);
                return postSucceeds;
            },
            [this] { return runActive; }, usHotKeyText);
    }

    std::optional<std::uint32_t> storedId(const std::string& name) {
        return store->GetDword(std::string(kDirectRoot) + "Macros\\" + name, "id");
    }

    RecordingHotKeys hotKeys;
    std::vector<std::string> started;
    bool postSucceeds = true;
    bool runActive = false;
    std::unique_ptr<HotKeyTable> table;
};

// Macros are numbered in store order; a key without modifiers is no hot
// key, and a refused registration is reported but still entered.
TEST_F(HotKeyTableTest, RegistersInStoreOrderWithOneIdentifierPerMacro) {
    hotKeys.refused.insert({kModShift, kVkF2});
    load(R"([Macros\B]
            "vk"=dword:0000004b
            "fsModifiers"=dword:00000003
            [Macros\a]
            [Macros\C]
            "vk"=dword:00000071
            "fsModifiers"=dword:00000004
            [Macros\D]
            "vk"=dword:00000051
            [Macros\E]
            "vk"=dword:0000004b
            "fsModifiers"=dword:00000003)");

    EXPECT_EQ(table->RegisterAll(), (std::vector<std::string>{"a", "B", "C", "D", "E"}));

    EXPECT_EQ(hotKeys.calls,
              (std::vector<RecordingHotKeys::Call>{{"register", 1, kCtrlAlt, kVkK},
                                                   {"register", 2, kModShift, kVkF2},
                                                   {"register", 4, kCtrlAlt, kVkK}}));
    for (const auto& [macro, id] : std::vector<std::pair<const char*, std::uint32_t>>{
             {"a", 0}, {"B", 1}, {"C", 2}, {"D", 3}, {"E", 4}}) {
        EXPECT_EQ(storedId(macro), id) << macro;
    }
    const std::string refusal = "\nError returned: " + std::string(RecordingHotKeys::kRefusal);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Error registering hotkey for macro: C" + refusal,
                                        "Error registering hotkey for macro: E" + refusal}));
    EXPECT_EQ(messages.shown[0].title, "Attention");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(table->TextForMacro("c"), "SHIFT + F2");
    EXPECT_EQ(table->TextForMacro("E"), "CTRL + ALT + K");
    EXPECT_EQ(table->TextForMacro("Other"), "");
    table->Fire(1);
    EXPECT_EQ(started, std::vector<std::string>{"B"});
    // Later saves continue the count; identifiers are never used twice.
    EXPECT_EQ(table->NextIdentifier(), 5);

    const StoredHotKey keyed = table->ReadStored("b");
    EXPECT_EQ(keyed.id, 1u);
    EXPECT_EQ(keyed.vk, std::uint32_t{kVkK});
    EXPECT_FALSE(table->ReadStored("a").vk.has_value());
    EXPECT_FALSE(table->ReadStored("Missing").id.has_value());
}

TEST_F(HotKeyTableTest, ARegisteredEntryOverwritesEveryEntryOfItsCombination) {
    table->Add({kVkK, kCtrlAlt, "one", 1}, true);
    table->Add({kVkK, kModAlt, "two", 2}, true);
    table->Add({kVkK, kCtrlAlt, "three", 3}, true);

    ASSERT_EQ(table->Entries().size(), 2u);
    EXPECT_EQ(table->Entries()[0].macro, "three");
    EXPECT_EQ(table->Entries()[0].id, 3);
    EXPECT_EQ(table->Entries()[1].macro, "two");
}

TEST_F(HotKeyTableTest, DisplayTexts) {
    struct Case {
        std::uint32_t vk;
        std::uint32_t modifiers;
        const char* text;
    };
    const Case cases[] = {
        {119, kCtrlAlt, "CTRL + ALT + F8"},
        {kVkF2, 0, "F2"},
        {116, kModWin, " + F5"},
        {'A', kModShift | kModAlt | kModControl, "CTRL + ALT + SHIFT + A"},
        {'A', kModControl | kModWin, "CTRL + A"},
        {0xFFFFFFFF, 0, "Invalid Hot Key"},
        {'A', 0xFFFFFFFF, "Invalid Hot Key"},
        {7, kModControl, "Invalid Hot Key"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(table->DisplayText(c.vk, c.modifiers), c.text) << c.vk << "/" << c.modifiers;
    }
}

TEST_F(HotKeyTableTest, FireStartsTheMacroOnlyWhenItMay) {
    struct Case {
        const char* what;
        bool runActive;
        bool enabled;
        std::int32_t id;
        bool postSucceeds;
        std::vector<std::string> started;
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases = {
        {"starts", false, true, 5, true, {"Backup"}, {}},
        {"run active", true, true, 5, true, {}, {}},
        {"switched off", false, false, 5, true, {}, {}},
        {"unknown identifier", false, true, 6, true, {}, {}},
        {"post fails",
         false,
         true,
         5,
         false,
         {"Backup"},
         {"Error posting message to main thread."}},
    };
    table->Add({kVkK, kCtrlAlt, "Backup", 5}, true);
    for (const Case& c : cases) {
        started.clear();
        messages.clear();
        runActive = c.runActive;
        postSucceeds = c.postSucceeds;
        table->SetEnabled(c.enabled);
        table->Fire(c.id);
        EXPECT_EQ(started, c.started) << c.what;
        EXPECT_EQ(messages.texts(), c.shown) << c.what;
        EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop)) << c.what;
    }
}

TEST_F(HotKeyTableTest, UnregisterFollowsWhatTheKeyRecorded) {
    const std::string failure =
        "Failed to unregister previous hotkey for macro: m\n\nThis probably occurred as a "
        "result of a failure to register the hotkey to begin with.\nThis should not keep you "
        "from continuing.";
    struct Case {
        const char* what;
        StoredHotKey stored;
        bool registered;
        bool result;
        std::size_t unregisterCalls;
        std::size_t entriesLeft;
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases = {
        {"id and key", {7u, kVkK}, true, true, 1, 0, {}},
        {"id without key", {7u, std::nullopt}, true, true, 0, 0, {}},
        {"no id", {std::nullopt, kVkK}, true, false, 0, 1, {}},
        {"never registered", {7u, kVkK}, false, true, 1, 0, {failure}},
    };
    for (const Case& c : cases) {
        RecordingHotKeys platform;
        messages.clear();
        HotKeyTable fresh(
            *store, platform, [](const std::string&) { return true; }, [] { return false; },
            usHotKeyText);
        if (c.registered) {
            ASSERT_TRUE(fresh.Register("M", 7, kCtrlAlt, kVkK));
        }
        fresh.Add({kVkK, kCtrlAlt, "M", 7}, c.registered);
        platform.calls.clear();

        EXPECT_EQ(fresh.Unregister("m", c.stored), c.result) << c.what;
        EXPECT_EQ(platform.calls.size(), c.unregisterCalls) << c.what;
        EXPECT_EQ(fresh.Entries().size(), c.entriesLeft) << c.what;
        EXPECT_EQ(messages.texts(), c.shown) << c.what;
        if (c.unregisterCalls == 1) {
            EXPECT_FALSE(platform.holds(7)) << c.what;
        }
    }
}

}  // namespace
}  // namespace ks::test
