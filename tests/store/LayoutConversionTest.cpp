#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "store/LayoutConversion.h"

namespace ks::test {
namespace {

const std::string kMacros = "SOFTWARE\\Quorvel\\Keystrider\\Macros\\";

class LayoutConversionTest : public StoreFixture {
protected:
    void SetUp() override { ASSERT_TRUE(store->EnsureRootKeys()); }

    std::string command(int n) { return kMacros + "Old\\Commands\\" + std::to_string(n); }

    void addCommand(int n, std::uint32_t id) { ASSERT_TRUE(store->SetDword(command(n), "id", id)); }

    std::optional<StoredValue> value(int n, const char* name) {
        auto v = tree->readValue(command(n), name);
        return v ? std::optional<StoredValue>(*v) : std::nullopt;
    }

    void expectText(int n, const char* name, const char* text) {
        auto v = value(n, name);
        ASSERT_TRUE(v) << name;
        EXPECT_EQ(v->type, kTypeText) << name;
        EXPECT_EQ(textFromBytes(v->data), text) << name;
    }

    void expectNumber(int n, const char* name, std::uint32_t number) {
        auto v = value(n, name);
        ASSERT_TRUE(v) << name;
        EXPECT_EQ(v->type, kTypeDword) << name;
        EXPECT_EQ(dwordFromBytes(v->data), number) << name;
    }
};

TEST_F(LayoutConversionTest, EmptyStoreOnlyRecordsTheVersion) {
    ConvertStoreLayout(*store);
    EXPECT_EQ(store->GetDword("SOFTWARE\\Quorvel\\Keystrider", "CnvDone"), 2002u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LayoutConversionTest, NumbersBecomeTextsByCommand) {
    struct Case {
        std::uint32_t id;
        const char* name;
        std::uint32_t number;
        const char* text;
    } cases[] = {
        {4096, "DelayInterval", 250, "250"},
        {4099, "BufIndex", 3, "3"},
        {4100, "BufIndex", 0xFFFFFFFF, "-1"},  // signed decimal
        {4101, "PlayBackSpeed", static_cast<std::uint32_t>(-50), "-50"},
        {4107, "WaitWindowTimeout", 30, "30"},
    };
    int n = 0;
    for (const Case& c : cases) {
        addCommand(n, c.id);
        ASSERT_TRUE(store->SetDword(command(n), c.name, c.number));
        ++n;
    }
    // A WAIT FOR WINDOW whose time-out is already text is left as it is.
    addCommand(n, 4107);
    ASSERT_TRUE(store->SetText(command(n), "WaitWindowTimeout", "[T]"));
    ConvertStoreLayout(*store);
    n = 0;
    for (const Case& c : cases) expectText(n++, c.name, c.text);
    expectText(n, "WaitWindowTimeout", "[T]");
}

TEST_F(LayoutConversionTest, PointerMoveWithOldCoordinatesBecomesAbsolute) {
    addCommand(0, 4114);
    ASSERT_TRUE(store->SetDword(command(0), "XCoord", 10));
    ASSERT_TRUE(store->SetDword(command(0), "YCoord", 20));
    addCommand(1, 4114);
    ASSERT_TRUE(store->SetDword(command(1), "XABCoord", 1));
    ASSERT_TRUE(store->SetText(command(1), "YABCoord", "2"));
    ASSERT_TRUE(store->SetDword(command(1), "XRELCoord", static_cast<std::uint32_t>(-3)));
    ConvertStoreLayout(*store);
    expectText(0, "XABCoord", "10");
    expectText(0, "YABCoord", "20");
    expectText(0, "XRELCoord", "0");
    expectText(0, "YRELCoord", "0");
    expectNumber(0, "IsAB", 1);
    EXPECT_FALSE(value(0, "XCoord"));
    EXPECT_FALSE(value(0, "YCoord"));
    expectText(1, "XABCoord", "1");
    expectText(1, "YABCoord", "2");
    expectText(1, "XRELCoord", "-3");
    EXPECT_FALSE(value(1, "IsAB"));
}

TEST_F(LayoutConversionTest, DateAndTimeGainTheirElements) {
    addCommand(0, 4104);
    ASSERT_TRUE(store->SetDword(command(0), "UseGMT", 1));
    addCommand(1, 4103);  // no UseGMT: already new
    ConvertStoreLayout(*store);
    expectNumber(0, "UseGMT", 0);
    struct Element {
        std::uint32_t include, order, format;
        const char* append;
    } elements[] = {{1, 0, 0, "/"},
                    {1, 1, 0, "/"},
                    {1, 2, 1, ""},
                    {0, 0xFFFFFFFF, 0xFFFFFFFF, ""},
                    {0, 0xFFFFFFFF, 0xFFFFFFFF, ""}};
    for (int k = 0; k < 5; ++k) {
        const std::string key = command(0) + "\\" + std::to_string(k);
        EXPECT_EQ(store->GetDword(key, "Include"), elements[k].include) << k;
        EXPECT_EQ(store->GetDword(key, "Order"), elements[k].order) << k;
        EXPECT_EQ(store->GetDword(key, "Format"), elements[k].format) << k;
        EXPECT_EQ(store->GetText(key, "Append"), elements[k].append) << k;
        EXPECT_EQ(store->GetText(key, "Prepend"), "") << k;
    }
    EXPECT_FALSE(tree->keyExists(command(1) + "\\0"));
}

TEST_F(LayoutConversionTest, MessageBoxGainsItsOptionsOnlyWhenMissing) {
    addCommand(0, 4105);
    addCommand(1, 4105);
    ASSERT_TRUE(store->SetDword(command(1), "MsgBoxType", 4));
    ConvertStoreLayout(*store);
    expectText(0, "TimeOut", "0");
    expectNumber(0, "MsgBoxType", 0);
    expectNumber(0, "MsgBoxPos", 5);
    expectNumber(0, "MsgBoxSetFocus", 1);
    expectNumber(0, "MsgBoxSetForeground", 0);
    expectNumber(1, "MsgBoxType", 4);
    EXPECT_FALSE(value(1, "TimeOut"));
}

TEST_F(LayoutConversionTest, StopsAtTheFirstGapAndSkipsWhenDone) {
    addCommand(0, 4096);
    ASSERT_TRUE(store->SetDword(command(0), "DelayInterval", 5));
    addCommand(2, 4096);
    ASSERT_TRUE(store->SetDword(command(2), "DelayInterval", 7));
    ConvertStoreLayout(*store);
    expectText(0, "DelayInterval", "5");
    expectNumber(2, "DelayInterval", 7);  // after the gap: not a command

    ASSERT_TRUE(store->SetDword(command(0), "DelayInterval", 9));
    ConvertStoreLayout(*store);  // CnvDone is 2002: nothing is touched
    expectNumber(0, "DelayInterval", 9);
}

TEST_F(LayoutConversionTest, MissingMacrosKeyIsReportedAndRetriedNextStart) {
    ASSERT_TRUE(tree->deleteTree("Software\\Quorvel\\Keystrider\\Macros"));
    ConvertStoreLayout(*store);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Error opening key Software\\Quorvel\\Keystrider\\Macros in the registry - The key "
              "does not exist.\nKeystrider may not function properly.");
    EXPECT_EQ(messages.shown[0].title, "Attention");
    EXPECT_FALSE(store->GetDword("SOFTWARE\\Quorvel\\Keystrider", "CnvDone"));
}

TEST_F(LayoutConversionTest, AConversionThatCannotBeSavedIsReported) {
    reopenReadOnly();
    ConvertStoreLayout(*store);
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Error saving the converted store - attempt to write a "
                                       "readonly database\nKeystrider may not function properly."});
}

TEST_F(LayoutConversionTest, ConvertsEveryMacroInEnumerationOrder) {
    for (const char* macro : {"b", "A", "c"}) {
        ASSERT_TRUE(store->SetDword(kMacros + macro + "\\Commands\\0", "id", 4096));
        ASSERT_TRUE(store->SetDword(kMacros + macro + "\\Commands\\0", "DelayInterval", 1));
    }
    ConvertStoreLayout(*store);
    for (const char* macro : {"b", "A", "c"}) {
        EXPECT_EQ(tree->readValue(kMacros + macro + "\\Commands\\0", "DelayInterval")->type,
                  kTypeText)
            << macro;
    }
}

}  // namespace
}  // namespace ks::test
