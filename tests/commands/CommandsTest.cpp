#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "commands/CommandDispatch.h"
#include "core/PlusDigits.h"

namespace ks {
namespace {

// Two contiguous blocks of ascending identifiers, each command listed once
// under its own category.
TEST(CommandTable, InvariantsOfTheTable) {
    const auto table = commandTable();
    ASSERT_EQ(table.size(), 66u);
    EXPECT_EQ(table[0x1B].id, 0x101Bu);
    EXPECT_EQ(table[0x1C].id, 0x1100u);
    EXPECT_EQ(table.back().id, 0x1125u);
    std::multiset<std::uint32_t> listed;
    for (int i = 0; i < kCategoryCount; ++i) {
        const auto category = static_cast<CommandCategory>(i);
        for (const CommandId id : categoryCommands(category)) {
            EXPECT_EQ(commandCategory(id), category) << commandName(id);
            listed.insert(id);
        }
    }
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_TRUE(i == 0 ? table[i].id == 0x1000u : table[i - 1].id < table[i].id) << i;
        EXPECT_EQ(listed.count(table[i].id), 1u) << table[i].name;
        EXPECT_TRUE(isNamedCommand(table[i].id)) << table[i].name;
    }
    for (std::uint32_t id : {0u, 0xFFFu, 0x101Cu, 0x10FFu, 0x1126u}) {
        EXPECT_FALSE(isNamedCommand(id)) << id;
        EXPECT_EQ(commandName(id), "") << id;
        EXPECT_FALSE(commandCategory(id).has_value()) << id;
    }
    EXPECT_EQ(commandName(kCtrlZ), "CTRL+Z");
    EXPECT_EQ(KeyCodeToDisplayName(kCopyRemoteClipBoard), "COPY REMOTE CLIP BOARD");
    EXPECT_EQ(KeyCodeToDisplayName(27), "ESC");  // the one key named here
    EXPECT_EQ(KeyCodeToDisplayName(4124), "");
}

// The runner's tests route keystrokes, results and missing handlers through
// the dispatch; here what they leave out: a named handler's path, and
// keystrokes without a handler.
TEST(CommandDispatch, NamedHandlersGetTheCommandsPathAndKeystrokesNeedNoHandler) {
    CommandDispatch dispatch;
    std::string called;
    dispatch.setHandler(kWaitForDriveMap, [&](const std::string& path, std::uint32_t id) {
        called = path + " " + std::to_string(id);
        return CommandResult::Handover;
    });
    EXPECT_EQ(dispatch.execute("m\\Commands\\3", kWaitForDriveMap), CommandResult::Handover);
    EXPECT_EQ(called, "m\\Commands\\3 " + std::to_string(kWaitForDriveMap));
    EXPECT_EQ(dispatch.execute("m\\Commands\\3", 0xFFFFFFFF), CommandResult::Next);
}

TEST(ParsePlusDigits, AcceptsOnlyAnOptionalPlusAndDigits) {
    const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> cases = {
        {"+20", 20},
        {"007", 7},
        {"18446744073709551615", 18446744073709551615ull},
        {"99999999999999999999999", 18446744073709551615ull},  // saturates
        {"", std::nullopt},
        {"+", std::nullopt},
        {"++1", std::nullopt},
        {"-5", std::nullopt},
        {"1.5", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {std::string("1\0", 2), std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parsePlusDigits(text), expected) << text;
}

}  // namespace
}  // namespace ks
