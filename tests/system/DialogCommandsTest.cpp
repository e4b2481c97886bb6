#include <gtest/gtest.h>

#include <limits>

#include "CommandFixture.h"
#include "system/DialogCommands.h"

namespace ks::test {
namespace {

class PromptListTest : public CommandFixture {
protected:
    void writePrompt(int index, const std::array<std::string, 4>& numbers, bool named = true) {
        const std::string key = std::string(kCommand) + "\\" + std::to_string(index);
        store->CreateMacroKey(key);
        const char* names[] = {"X", "Y", "Width", "Height"};
        for (int i = 0; i < 4; ++i) store->WriteMacroString(numbers[i], key, names[i]);
        store->WriteMacroString("{c}", key, "Caption");
        store->WriteMacroString("yEs", key, "MultiLine");
        if (named) store->WriteMacroString("v", key, "VName");
    }
    std::vector<PromptEntry> prompts() {
        StoredCommand command(*store, expander, kCommand);
        return readPrompts(command, messages);
    }
};

TEST(DialogGeometryTest, PlacesBoxesFocusesFieldsAndClampsThemToTheScreen) {
    const std::pair<std::uint32_t, std::optional<ScreenPoint>> places[] = {
        {0, {}}, {1, {{0, 0}}}, {3, {{799, 0}}}, {5, {{399, 349}}}, {9, {{799, 699}}}, {10, {}}};
    for (const auto& [position, place] : places)
        EXPECT_EQ(messageBoxPlace(position, {201, 101}, {1000, 800}), place) << position;
    // The smallest X, then the smallest Y, then the earliest.
    EXPECT_EQ(promptFocus({{"", 50, 0}, {"", 10, 90}, {"", 10, 30}}), 2u);
    EXPECT_EQ(promptFocus({{"", 10, 30}, {"", 10, 30}, {"", 10, 40}}), 0u);
    constexpr int kMax = std::numeric_limits<int>::max();
    const std::pair<PromptField, std::array<int, 4>> fields[] = {
        {{"", kMax, kMax, kMax, kMax}, {1000, 800, 0, 0}},
        {{"", -5, 10, kMax, 20}, {0, 10, 1000, 20}},
        {{"", 300, 200, 50, 60}, {300, 200, 50, 60}},
    };
    for (const auto& [given, clamped] : fields) {
        const PromptField f = promptForm(std::nullopt, {{given, "v"}}, {1000, 800}).fields.at(0);
        EXPECT_EQ((std::array{f.x, f.y, f.width, f.height}), clamped) << given.x;
    }
}

TEST_F(PromptListTest, NumbersAreCheckedAndTheirLeadingNumberUsedAnyway) {
    const std::string x = kBadPromptX, y = kBadPromptY, w = kBadPromptWidth, h = kBadPromptHeight;
    // The texts of X, Y, width and height, the numbers used and the messages.
    const std::tuple<std::array<std::string, 4>, std::array<int, 4>, std::vector<std::string>>
        cases[] = {{{"5", "-0", "0.5", "+20"}, {5, 0, 0, 20}, {}},
                   {{"-1", "2.5", "0", "1e3"}, {-1, 2, 0, 1}, {x, w, h}},
                   {{"", "1.2.3", "12x", " 4"}, {0, 1, 12, 4}, {x, y, w, h}}};
    for (const auto& [texts, used, shown] : cases) {
        writePrompt(0, texts);
        messages.clear();
        const PromptField field = prompts().at(0).field;
        EXPECT_EQ((std::array{field.x, field.y, field.width, field.height}), used);
        EXPECT_EQ(messages.texts(), shown) << texts[0];
        EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Information));
    }
}

TEST_F(PromptListTest, EndsAtTheFirstUnreadableValueOrAtTheLimit) {
    expander.values = {{"c", "Caption"}};
    writePrompt(0, {"1", "2", "3", "4"});
    writePrompt(1, {"1", "2", "3", "4"}, false);
    writePrompt(2, {"1", "2", "3", "4"});
    const auto list = prompts();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].field.caption, "Caption");
    EXPECT_TRUE(list[0].field.multiLine);

    for (int i = 1; i <= 150; ++i) writePrompt(i, {"1", "2", "3", "4"});
    EXPECT_EQ(prompts().size(), kMaxPrompts);
}

}  // namespace
}  // namespace ks::test
