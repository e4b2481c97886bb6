#include <gtest/gtest.h>

#include <functional>

#include "StoreFixture.h"

namespace ks::test {
namespace {

using SettingsStoreTest = StoreFixture;

TEST_F(SettingsStoreTest, WritesAndReadsThroughBothSpellingsOfTheRoot) {
    ASSERT_TRUE(store->EnsureRootKeys());
    ASSERT_TRUE(store->EnsureRootKeys());
    EXPECT_TRUE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals"));
    ASSERT_TRUE(store->CreateMacroKey("Greeting\\Commands\\0"));
    ASSERT_TRUE(store->WriteDword(4116, "\\Macros\\Greeting\\Commands\\0", "id"));
    ASSERT_TRUE(store->WriteMacroString("Hello", "Greeting\\Commands\\0", "SendKeysString"));
    const std::uint8_t bytes[] = {1, 2, 3, 0, 5};
    ASSERT_TRUE(store->CreateRecordingKey("Rec"));
    ASSERT_TRUE(store->WriteBinary(bytes, sizeof bytes, "\\Journals\\Rec", "0"));

    EXPECT_EQ(store->GetDword("SOFTWARE\\Quorvel\\Keystrider\\Macros\\greeting\\commands\\0", "ID"),
              4116u);
    std::string text = "stale";
    ASSERT_TRUE(store->ReadMacroString("GREETING\\Commands\\0", "sendkeysstring", text));
    EXPECT_EQ(text, "Hello");
    // Text is stored with its terminating zero.
    EXPECT_EQ(store
                  ->GetBinary("SOFTWARE\\Quorvel\\Keystrider\\Macros\\Greeting\\Commands\\0",
                              "SendKeysString")
                  ->size(),
              6u);
    EXPECT_EQ(store->ReadBinary("\\Journals\\Rec", "0"), Bytes(bytes, bytes + 5));
    EXPECT_EQ(store->ReadDword("\\Macros\\Greeting\\Commands\\0", "id"), 4116u);
    EXPECT_TRUE(store->CommandExists("Greeting\\Commands\\0"));
    EXPECT_FALSE(store->CommandExists("Greeting\\Commands\\1"));
    EXPECT_TRUE(messages.shown.empty());
}

// Each failing operation shows one box: an error (true) or a warning.
struct FailureCase {
    std::function<bool(SettingsStore&)> operation;
    const char* text;
    bool error;
};

TEST_F(SettingsStoreTest, FailuresShowTheirOwnMessage) {
    const std::vector<FailureCase> cases = {
        {[](SettingsStore& s) { return s.WriteMacroString("x", "Nope", "Value"); },
         "Error accessing registry - The key does not exist.", false},
        {[](SettingsStore& s) { return s.ReadDword("\\Macros\\Nope", "id").has_value(); },
         "Error opening key in reigistry at: Software\\Quorvel\\Keystrider\\Macros\\Nope, error: "
         "The key does not exist.",
         false},
        {[](SettingsStore& s) { return s.ReadDword("\\Macros\\M", "id").has_value(); },
         "Error reading DWORD from reigistry at: Software\\Quorvel\\Keystrider\\Macros\\M\\id, "
         "error: The value does not exist.",
         false},
        {[](SettingsStore& s) { return s.ReadDword("\\Macros\\M", "Long").has_value(); },
         "Error reading DWORD from reigistry at: Software\\Quorvel\\Keystrider\\Macros\\M\\Long, "
         "error: More data is available.",
         false},
        {[](SettingsStore& s) {
             std::string out = "old";
             const bool ok = s.ReadMacroString("M", "Missing", out);
             return ok || !out.empty();
         },
         "Error reading value in reigistry at: Software\\Quorvel\\Keystrider\\Macros\\M\\Missing, "
         "error: The value does not exist.",
         false},
        {[](SettingsStore& s) {
             return s.DeleteKeyTree("Software\\Quorvel\\Keystrider\\Macros\\Nope");
         },
         "Error opening key Software\\Quorvel\\Keystrider\\Macros\\Nope in the registry - The key "
         "does not exist.",
         false},
        {[](SettingsStore& s) { return s.CreateMacroKey(""); },
         "Error creating key Software\\Quorvel\\Keystrider\\Macros\\ - The key name is empty.",
         true},
        {[](SettingsStore& s) { return s.CreateMacroKey("a\\\\b"); },
         "Error creating key Software\\Quorvel\\Keystrider\\Macros\\a\\\\b - The key name is "
         "invalid.",
         true},
    };
    ASSERT_TRUE(store->EnsureRootKeys());
    ASSERT_TRUE(store->CreateMacroKey("M"));
    ASSERT_TRUE(tree->writeValue("Software\\Quorvel\\Keystrider\\Macros\\M", "Long", kTypeBinary,
                                 Bytes(5, 1)));
    for (const FailureCase& c : cases) {
        messages.clear();
        EXPECT_FALSE(c.operation(*store)) << c.text;
        EXPECT_EQ(messages.texts(), std::vector<std::string>{c.text});
        EXPECT_TRUE(c.error ? messages.allShownAs("Error", MsgIcon::Stop)
                            : messages.allShownAs("Attention", MsgIcon::Exclamation));
        EXPECT_EQ(messages.shown[0].owner, MsgOwner::None);
    }
}

TEST_F(SettingsStoreTest, WriteFailureNamesTheValueAndChangesNothing) {
    ASSERT_TRUE(store->EnsureRootKeys());
    ASSERT_TRUE(store->CreateMacroKey("M\\Commands\\0"));
    ASSERT_TRUE(store->WriteMacroString("old", "M\\Commands\\0", "DelayInterval"));
    failWritesOf("DelayInterval");
    EXPECT_FALSE(store->WriteMacroString("new", "M\\Commands\\0", "DelayInterval"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Error writing Software\\Quorvel\\Keystrider\\Macros\\M\\Commands\\0\\DelayInterval "
              "- database or disk is full");
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Stop);
    EXPECT_EQ(
        store->GetText("SOFTWARE\\Quorvel\\Keystrider\\Macros\\M\\Commands\\0", "DelayInterval"),
        "old");

    EXPECT_FALSE(store->WriteDword(7, "\\Macros\\M\\Commands\\0", "DelayInterval"));
    EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(SettingsStoreTest, ReadOnlyStoreReportsTheFilesError) {
    ASSERT_TRUE(store->EnsureRootKeys());
    ASSERT_TRUE(store->CreateMacroKey("M"));
    reopenReadOnly();
    EXPECT_TRUE(store->EnsureRootKeys());  // reading still works
    EXPECT_FALSE(store->CreateMacroKey("N"));
    EXPECT_FALSE(store->WriteDword(1, "\\Macros\\M", "repeat"));
    EXPECT_FALSE(store->DeleteKeyTree("Software\\Quorvel\\Keystrider\\Macros\\M"));
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{
                  "Error creating key Software\\Quorvel\\Keystrider\\Macros\\N - attempt to write "
                  "a readonly database",
                  "Error writing Software\\Quorvel\\Keystrider\\Macros\\M\\repeat - attempt to "
                  "write a readonly database"}));
    EXPECT_TRUE(tree->keyExists("Software\\Quorvel\\Keystrider\\Macros\\M"));
}

TEST_F(SettingsStoreTest, EnsureRootKeysReportsTheFirstLevelItCannotCreate) {
    reopenReadOnly();
    EXPECT_FALSE(store->EnsureRootKeys());
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Error creating Quorvel key! - attempt to write a readonly "
                                       "database"});
    EXPECT_EQ(messages.shown[0].title, "Error");
}

TEST_F(SettingsStoreTest, DeleteKeyTreeRemovesMacroWithCommandsAndSchedule) {
    load(R"([Macros\Gone\Commands\1\0]
            [Macros\Gone\Schedule\0]
            [Macros\Kept\Commands\0]
            "id"=dword:00000001)");
    ASSERT_TRUE(store->DeleteKeyTree("Software\\Quorvel\\Keystrider\\Macros\\Gone"));
    EXPECT_FALSE(tree->keyExists("Software\\Quorvel\\Keystrider\\Macros\\Gone"));
    EXPECT_TRUE(store->CommandExists("Kept\\Commands\\0"));
}

TEST_F(SettingsStoreTest, DeleteKeyTreeFailingHalfWayLeavesTheMacroWhole) {
    load("[Macros\\M\\Commands\\0]\n\"id\"=dword:00001000");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER no_delete BEFORE DELETE ON keys WHEN OLD.name = 'M' "
                           "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_FALSE(store->DeleteKeyTree("Software\\Quorvel\\Keystrider\\Macros\\M"));
    EXPECT_TRUE(messages.shown.empty());  // the final delete fails without a message
    EXPECT_TRUE(store->CommandExists("M\\Commands\\0"));
}

TEST_F(SettingsStoreTest, OptionIsOnOnlyWhenExactlyOne) {
    struct Case {
        std::optional<std::uint32_t> stored;
        bool on;
    } cases[] = {{std::nullopt, false}, {1, true}, {2, false}};
    for (const Case& c : cases) {
        store->DeleteValue("SOFTWARE\\Quorvel\\Keystrider", "ExpansionOn");
        if (c.stored) {
            ASSERT_TRUE(store->SetDword("SOFTWARE\\Quorvel\\Keystrider", "ExpansionOn", *c.stored));
        }
        EXPECT_EQ(store->OptionOn("ExpansionOn"), c.on) << c.stored.value_or(12345);
    }
}

TEST_F(SettingsStoreTest, DirectAccessCreatesKeysAndReportsNothing) {
    EXPECT_FALSE(store->GetDword("SOFTWARE\\Quorvel\\Keystrider\\Macros", "Nope"));
    ASSERT_TRUE(store->SetText("SOFTWARE\\Quorvel\\Keystrider\\Macros", "CmdLineMacro", "Hi"));
    EXPECT_EQ(store->GetText("Software\\Quorvel\\Keystrider\\Macros", "cmdlinemacro"), "Hi");
    EXPECT_TRUE(store->DeleteValue("SOFTWARE\\Quorvel\\Keystrider\\Macros", "CmdLineMacro"));
    EXPECT_FALSE(store->DeleteValue("SOFTWARE\\Quorvel\\Keystrider\\Macros", "CmdLineMacro"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsStoreTest, ErrorTextsAreLimited) {
    EXPECT_EQ(limitedError(std::string(1500, 'e')).size(), 1000u);
    EXPECT_EQ(limitedError("ééé", 2), "éé");
}

}  // namespace
}  // namespace ks::test
