#include <gtest/gtest.h>

#include <functional>

#include "StoreFixture.h"

namespace ks::test {
namespace {

using SettingsStoreTest = StoreFixture;

const std::string kMacros = "Software\\Quorvel\\Keystrider\\Macros\\";

TEST_F(SettingsStoreTest, WritesAndReadsThroughEverySpellingOfTheRoot) {
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
    EXPECT_EQ(store->GetBinary(kMacros + "Greeting\\Commands\\0", "SendKeysString")->size(), 6u);
    EXPECT_EQ(store->ReadBinary("\\Journals\\Rec", "0"), Bytes(bytes, bytes + 5));
    EXPECT_EQ(store->ReadDword("\\Macros\\Greeting\\Commands\\0", "id"), 4116u);
    EXPECT_TRUE(store->CommandExists("Greeting\\Commands\\0"));
    EXPECT_FALSE(store->CommandExists("Greeting\\Commands\\1"));
    ASSERT_TRUE(store->DeleteKeyTree(kMacros + "Greeting"));
    EXPECT_FALSE(store->CommandExists("Greeting\\Commands\\0"));

    // Text reads up to its first zero, with or without one at the end.
    EXPECT_EQ(textFromBytes(Bytes{'a', 0, 'b'}) + textFromBytes(Bytes{'c'}), "ac");
    EXPECT_TRUE(messages.shown.empty());
}

// Each failing operation, in turn, shows its own box ("~" stands for the Macros key), or none
// where it says so; none changes what was stored.
TEST_F(SettingsStoreTest, FailuresShowTheirOwnMessageAndChangeNothing) {
    const std::string command = "M\\Commands\\0";
    ASSERT_TRUE(store->EnsureRootKeys());
    ASSERT_TRUE(store->CreateMacroKey(command));
    ASSERT_TRUE(store->WriteMacroString("old", command, "DelayInterval"));
    ASSERT_TRUE(tree->writeValue(kMacros + "M", "Long", kTypeBinary, Bytes(5, 1)));
    failWritesOf("DelayInterval");
    execOnFile(
        "CREATE TRIGGER no_delete BEFORE DELETE ON keys WHEN OLD.name = 'M' "
        "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    KeyTree readOnlyTree(file(), KeyTree::Access::ReadOnly);
    SettingsStore readOnly(readOnlyTree, messages);
    KeyTree(dir.file("new.db")).openStatus();
    KeyTree emptyTree(dir.file("new.db"), KeyTree::Access::ReadOnly);
    enum Box { Attention, Error, None };
    const struct {
        std::function<bool()> operation;
        std::string text;
        Box box;
    } cases[] = {
        {[&] { return store->WriteMacroString("x", "Nope", "Value"); },
         "Error accessing registry - The key does not exist.", Attention},
        {[&] { return store->ReadDword("\\Macros\\Nope", "id").has_value(); },
         "Error opening key in reigistry at: ~Nope, error: The key does not exist.", Attention},
        {[&] { return store->ReadDword("\\Macros\\M", "id").has_value(); },
         "Error reading DWORD from reigistry at: ~M\\id, error: The value does not exist.",
         Attention},
        {[&] { return store->ReadDword("\\Macros\\M", "Long").has_value(); },
         "Error reading DWORD from reigistry at: ~M\\Long, error: More data is available.",
         Attention},
        {[&] {
             std::string out = "old";
             return store->ReadMacroString("M", "Missing", out) || !out.empty();
         },
         "Error reading value in reigistry at: ~M\\Missing, error: The value does not exist.",
         Attention},
        {[&] { return store->DeleteKeyTree(kMacros + "Nope"); },
         "Error opening key ~Nope in the registry - The key does not exist.", Attention},
        {[&] { return store->CreateMacroKey(""); }, "Error creating key ~ - The key name is empty.",
         Error},
        {[&] { return store->CreateMacroKey("a\\\\b"); },
         "Error creating key ~a\\\\b - The key name is invalid.", Error},
        // One transaction: a delete failing half way leaves the macro whole.
        {[&] { return store->DeleteKeyTree(kMacros + "M"); }, "", None},
        {[&] { return store->WriteMacroString("new", command, "DelayInterval"); },
         "Error writing ~M\\Commands\\0\\DelayInterval - database or disk is full", Error},
        {[&] { return store->WriteDword(7, "\\Macros\\" + command, "DelayInterval"); },
         "Error writing ~M\\Commands\\0\\DelayInterval - database or disk is full", Error},
        {[&] { return readOnly.CreateMacroKey("N"); },
         "Error creating key ~N - attempt to write a readonly database", Error},
        {[&] { return readOnly.WriteDword(1, "\\Macros\\M", "repeat"); },
         "Error writing ~M\\repeat - attempt to write a readonly database", Error},
        {[&] { return SettingsStore(emptyTree, messages).EnsureRootKeys(); },
         "Error creating Quorvel key! - attempt to write a readonly database", Error},
    };
    for (const auto& c : cases) {
        messages.clear();
        std::string text = c.text;
        if (const auto at = text.find('~'); at != std::string::npos) text.replace(at, 1, kMacros);
        EXPECT_FALSE(c.operation()) << text;
        EXPECT_EQ(messages.texts(),
                  c.box == None ? std::vector<std::string>{} : std::vector<std::string>{text});
        EXPECT_TRUE(c.box == Attention ? messages.allShownAs("Attention", MsgIcon::Exclamation)
                                       : messages.allShownAs("Error", MsgIcon::Stop));
        for (const auto& box : messages.shown) EXPECT_EQ(box.owner, MsgOwner::None);
    }
    EXPECT_TRUE(readOnly.EnsureRootKeys());  // reading still works
    EXPECT_EQ(store->GetText(kMacros + command, "DelayInterval"), "old");
    EXPECT_TRUE(tree->keyExists(kMacros + command));
}

TEST_F(SettingsStoreTest, OptionIsOnOnlyWhenExactlyOne) {
    EXPECT_FALSE(store->OptionOn("ExpansionOn"));
    for (const std::uint32_t stored : {1u, 2u}) {
        ASSERT_TRUE(store->SetDword(kDirectRoot, "ExpansionOn", stored));
        EXPECT_EQ(store->OptionOn("ExpansionOn"), stored == 1) << stored;
    }
}

TEST_F(SettingsStoreTest, ErrorTextsAreLimited) {
    EXPECT_EQ(limitedError(std::string(1500, 'e')).size(), 1000u);
    EXPECT_EQ(limitedError("ééé", 2), "éé");
}

}  // namespace
}  // namespace ks::test
