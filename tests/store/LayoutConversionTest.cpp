#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "store/LayoutConversion.h"

namespace ks::test {
namespace {

class LayoutConversionTest : public StoreFixture {
protected:
    void SetUp() override { ASSERT_TRUE(store->EnsureRootKeys()); }

    // A value as "sz:TEXT" or "dword:N", "-" when it is missing.
    std::string shown(const std::string& key, const char* name) {
        auto v = tree->readValue(std::string(kDirectRoot) + "Macros\\" + key, name);
        if (!v) return "-";
        if (v->type == kTypeDword) return "dword:" + std::to_string(*dwordFromBytes(v->data));
        return (v->type == kTypeText ? "sz:" : "?:") + textFromBytes(v->data);
    }
};

// Each kind of command the old layout stored differently, converted once.
TEST_F(LayoutConversionTest, ConvertsEveryOldCommandOnce) {
    load(R"([Macros\b\Commands\0]
            "id"=dword:00001003
            "BufIndex"=dword:ffffffff
            [Macros\b\Commands\1]
            "id"=dword:0000100b
            "WaitWindowTimeout"="[T]"
            [Macros\b\Commands\2]
            "id"=dword:00001012
            "XCoord"=dword:0000000a
            "YCoord"=dword:00000014
            [Macros\b\Commands\3]
            "id"=dword:00001012
            "XRELCoord"=dword:fffffffd
            [Macros\b\Commands\4]
            "id"=dword:00001008
            "UseGMT"=dword:00000001
            [Macros\b\Commands\5]
            "id"=dword:00001007
            [Macros\b\Commands\6]
            "id"=dword:00001009
            [Macros\b\Commands\7]
            "id"=dword:00001009
            "MsgBoxType"=dword:00000004
            [Macros\b\Commands\9]
            "id"=dword:00001000
            "DelayInterval"=dword:00000007
            [Macros\A\Commands\0]
            "id"=dword:00001000
            "DelayInterval"=dword:000000fa)");
    ConvertStoreLayout(*store);
    const std::vector<std::tuple<std::string, const char*, std::string>> expected = {
        {"b\\Commands\\0", "BufIndex", "sz:-1"},  // signed decimal
        {"b\\Commands\\1", "WaitWindowTimeout", "sz:[T]"},
        {"b\\Commands\\2", "XABCoord", "sz:10"},
        {"b\\Commands\\2", "YABCoord", "sz:20"},
        {"b\\Commands\\2", "IsAB", "dword:1"},
        {"b\\Commands\\2", "XCoord", "-"},
        {"b\\Commands\\3", "XRELCoord", "sz:-3"},
        {"b\\Commands\\3", "IsAB", "-"},
        {"b\\Commands\\4", "UseGMT", "dword:0"},
        {"b\\Commands\\4\\0", "Append", "sz:/"},
        {"b\\Commands\\4\\3", "Order", "dword:4294967295"},
        {"b\\Commands\\5\\0", "Include", "-"},  // a time without UseGMT is already new
        {"b\\Commands\\6", "TimeOut", "sz:0"},
        {"b\\Commands\\7", "TimeOut", "-"},
        {"b\\Commands\\9", "DelayInterval", "dword:7"},  // after a gap: not a command
        {"A\\Commands\\0", "DelayInterval", "sz:250"},
    };
    for (const auto& [key, name, value] : expected)
        EXPECT_EQ(shown(key, name), value) << key << name;
    EXPECT_EQ(store->GetDword(kDirectRoot, "CnvDone"), 2002u);
    EXPECT_TRUE(messages.shown.empty());

    load("[Macros\\A\\Commands\\0]\n\"DelayInterval\"=dword:00000009");
    ConvertStoreLayout(*store);
    EXPECT_EQ(shown("A\\Commands\\0", "DelayInterval"), "dword:9");
}

// Both leave the store unconverted, to be tried again at the next start.
TEST_F(LayoutConversionTest, FailuresAreReported) {
    KeyTree readOnlyTree(file(), KeyTree::Access::ReadOnly);
    SettingsStore readOnly(readOnlyTree, messages);
    ConvertStoreLayout(readOnly);
    ASSERT_TRUE(tree->deleteTree("Software\\Quorvel\\Keystrider\\Macros"));
    ConvertStoreLayout(*store);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{
                  "Error saving the converted store - attempt to write a readonly database\n"
                  "Keystrider may not function properly.",
                  "Error opening key Software\\Quorvel\\Keystrider\\Macros in the registry - The "
                  "key does not exist.\nKeystrider may not function properly."}));
    EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Exclamation));
    EXPECT_FALSE(store->GetDword(kDirectRoot, "CnvDone"));
}

}  // namespace
}  // namespace ks::test
