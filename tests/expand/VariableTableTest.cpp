#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingMessages.h"
#include "expand/VariableTable.h"

namespace ks::test {
namespace {

class VariableTableTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    VariableTable table{messages};
};

TEST_F(VariableTableTest, KeepsInsertionOrderTheLatestSpellingAndTextUpToItsZeroByte) {
    table.SetVariable("Alpha", "1");
    table.SetVariable("beta", std::string("ab\0cd", 5));
    table.SetVariable("ALPHA", "333");
    table.SetVariable("empty", "");
    std::vector<std::string> names;
    for (const Variable& v : table) names.push_back(v.name);
    EXPECT_EQ(names, (std::vector<std::string>{"ALPHA", "beta", "empty"}));
    EXPECT_EQ(table.at(0).data, (std::vector<std::uint8_t>{'3', '3', '3', 0}));
    EXPECT_EQ(table.at(0).format, kTextFormat);
    EXPECT_EQ(table.at(1).size(), 6u);
    EXPECT_EQ(table.TextValue("BETA"), "ab");
    EXPECT_EQ(table.TextValue("EMPTY"), "");
    EXPECT_EQ(table.at(2).size(), 1u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(VariableTableTest, NamesCompareAsTheStoreComparesThem) {
    const struct {
        const char* set;
        const char* asked;
        bool same;
    } cases[] = {
        {"count", "COUNT", true},     {"über", "ÜBER", true}, {"Ǆx", "ǆX", true},
        {"straße", "STRASSE", false}, {"a b", "ab", false},   {"x\xff", "X\xff", true},
    };
    for (const auto& c : cases) {
        VariableTable fresh(messages);
        fresh.SetVariable(c.set, "v");
        EXPECT_EQ(fresh.VariableExists(c.asked), c.same) << c.set << " / " << c.asked;
        EXPECT_EQ(fresh.TextValue(c.asked).has_value(), c.same) << c.set << " / " << c.asked;
    }
}

TEST_F(VariableTableTest, BuffersForTheClipboardCommands) {
    const std::size_t clip = table.FindOrAppend("Clip");
    EXPECT_TRUE(table.VariableExists("CLIP"));
    EXPECT_EQ(table.TextValue("clip"), std::nullopt);  // no value yet
    const std::uint8_t bitmap[] = {'B', 'M', 0, 7, 0};
    table.ReplaceData(clip, bitmap, sizeof bitmap, 8);
    EXPECT_EQ(table.FindOrAppend("CLIP"), clip);
    EXPECT_EQ(table.at(clip).name, "Clip");  // finding does not rename
    EXPECT_EQ(table.at(clip).data, std::vector<std::uint8_t>(bitmap, bitmap + sizeof bitmap));
    EXPECT_EQ(table.at(clip).format, 8u);
    EXPECT_EQ(table.TextValue("Clip"), std::nullopt);  // not text
    const std::uint8_t text[] = {'h', 'i', 0};
    table.ReplaceData(clip, text, sizeof text, kTextFormat);
    EXPECT_EQ(table.TextValue("clip"), "hi");
    table.ReplaceData(clip, nullptr, 0, 0);
    EXPECT_EQ(table.at(clip).size(), 0u);
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(table.Find("other"), std::nullopt);
}

TEST_F(VariableTableTest, ManyNamesStayFoundInOrder) {
    constexpr int kCount = 20000;
    for (int i = 0; i < kCount; ++i) table.SetVariable("v" + std::to_string(i), std::to_string(i));
    for (int i = kCount - 1; i >= 0; i -= 7) table.SetVariable("V" + std::to_string(i), "again");
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(table.Find("V" + std::to_string(i)), static_cast<std::size_t>(i));
    EXPECT_EQ(table.at(kCount - 1).name, "V" + std::to_string(kCount - 1));
    EXPECT_EQ(table.TextValue("v1"), "1");
}

}  // namespace
}  // namespace ks::test
