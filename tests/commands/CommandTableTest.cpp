#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "commands/CommandTable.h"

namespace ks {
namespace {

TEST(CommandTable, IdentifiersAscendInTwoContiguousBlocks) {
    const auto table = commandTable();
    ASSERT_EQ(table.size(), 66u);
    for (std::size_t i = 1; i < table.size(); ++i) EXPECT_LT(table[i - 1].id, table[i].id);
    EXPECT_EQ(table.front().id, 0x1000u);
    EXPECT_EQ(table[0x1B].id, 0x101Bu);
    EXPECT_EQ(table[0x1C].id, 0x1100u);
    EXPECT_EQ(table.back().id, 0x1125u);
    for (std::uint32_t id : {0u, 0xFFFu, 0x101Cu, 0x10FFu, 0x1126u}) {
        EXPECT_FALSE(isNamedCommand(id)) << id;
        EXPECT_EQ(commandName(id), "") << id;
        EXPECT_FALSE(commandCategory(id).has_value()) << id;
    }
    EXPECT_EQ(commandName(kCtrlZ), "CTRL+Z");
}

TEST(CommandTable, EveryCommandIsListedOnceUnderItsOwnCategoryInEditorOrder) {
    std::multiset<std::uint32_t> listed;
    for (int i = 0; i < kCategoryCount; ++i) {
        const auto category = static_cast<CommandCategory>(i);
        for (const CommandId id : categoryCommands(category)) {
            EXPECT_EQ(commandCategory(id), category) << commandName(id);
            listed.insert(id);
        }
    }
    for (const CommandInfo& info : commandTable()) {
        EXPECT_EQ(listed.count(info.id), 1u) << info.name;
        EXPECT_TRUE(isNamedCommand(info.id)) << info.name;
    }
    EXPECT_EQ(categoryName(CommandCategory::ClipBoard), "Clip Board");
    const auto control = categoryCommands(CommandCategory::ControlLogic);
    EXPECT_EQ(std::vector<CommandId>(control.begin(), control.end()),
              (std::vector<CommandId>{kDelay, kWaitForWindow, kWaitForDriveMap, kRepeat, kLoop}));
}

TEST(KeyCodeToDisplayName, NamesCommandsEscapeAndNothingElse) {
    const std::pair<std::uint32_t, std::string> cases[] = {
        {kCopyRemoteClipBoard, "COPY REMOTE CLIP BOARD"}, {27, "ESC"}, {0, ""}, {4124, ""}};
    for (const auto& [id, name] : cases) EXPECT_EQ(KeyCodeToDisplayName(id), name) << id;
}

}  // namespace
}  // namespace ks
