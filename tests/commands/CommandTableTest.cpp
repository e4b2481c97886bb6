#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "commands/CommandTable.h"

namespace ks {
namespace {

std::string namesFrom(std::uint32_t first, std::uint32_t last) {
    std::string names;
    for (std::uint32_t id = first; id <= last; ++id) {
        if (!names.empty()) names += ", ";
        names += commandName(id);
    }
    return names;
}

TEST(CommandTable, IdentifiersAscendInTwoContiguousBlocks) {
    const auto table = commandTable();
    ASSERT_EQ(table.size(), 66u);
    for (std::size_t i = 1; i < table.size(); ++i) EXPECT_LT(table[i - 1].id, table[i].id);
    for (std::uint32_t id = 0x1000; id <= 0x101B; ++id) EXPECT_TRUE(isNamedCommand(id)) << id;
    for (std::uint32_t id = 0x1100; id <= 0x1125; ++id) EXPECT_TRUE(isNamedCommand(id)) << id;
    for (std::uint32_t id : {0u, 1u, 65u, 255u, 0xFFFu, 0x101Cu, 0x10FFu, 0x1126u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(isNamedCommand(id)) << id;
        EXPECT_EQ(commandName(id), "") << id;
        EXPECT_FALSE(commandCategory(id).has_value()) << id;
    }
}

TEST(CommandTable, RangesListedInOrderKeepTheirOrder) {
    EXPECT_EQ(namesFrom(kLeftButtonDown, kRightButtonUp),
              "LEFT BUTTON DOWN, LEFT BUTTON UP, MIDDLE BUTTON DOWN, MIDDLE BUTTON UP, "
              "RIGHT BUTTON DOWN, RIGHT BUTTON UP");
    EXPECT_EQ(namesFrom(kCapsLockOff, kNumLockOn),
              "CAPS LOCK OFF, CAPS LOCK ON, SCROLL LOCK OFF, SCROLL LOCK ON, NUM LOCK OFF, "
              "NUM LOCK ON");
    EXPECT_EQ(namesFrom(kCtrlC, kCtrlDown),
              "CTRL+C, CTRL+V, CTRL+X, CTRL+HOME, CTRL+END, ALT+TAB, ALT+ENTER, ALT+F4, ALT+ESC, "
              "CTRL+ESC, CTRL+Z, CTRL+A, CTRL+O, CTRL+P, CTRL+RIGHT, CTRL+LEFT, CTRL+UP, "
              "CTRL+DOWN");
    EXPECT_EQ(namesFrom(kLeftTrimWhiteSpace, kWaitForDriveMap),
              "LEFT TRIM WHITE SPACE, RIGHT TRIM WHITE SPACE, TRIM WHITE SPACE, REPLACE STRING, "
              "SOUND, WAIT FOR DRIVE MAP");
}

TEST(CommandTable, EveryCommandIsListedOnceUnderItsOwnCategory) {
    const std::vector<std::string> expectedNames = {"System",
                                                    "Keyboard",
                                                    "Mouse",
                                                    "Clip Board",
                                                    "Window Manipulation",
                                                    "Data Manipulation",
                                                    "User Interface",
                                                    "Control Logic"};
    const std::vector<std::size_t> expectedSizes = {8, 28, 7, 4, 3, 7, 4, 5};
    std::multiset<std::uint32_t> listed;
    for (int i = 0; i < kCategoryCount; ++i) {
        const auto category = static_cast<CommandCategory>(i);
        EXPECT_EQ(categoryName(category), expectedNames[i]);
        EXPECT_EQ(categoryCommands(category).size(), expectedSizes[i]) << expectedNames[i];
        for (const CommandId id : categoryCommands(category)) {
            EXPECT_EQ(commandCategory(id), category) << commandName(id);
            listed.insert(id);
        }
    }
    for (const CommandInfo& info : commandTable())
        EXPECT_EQ(listed.count(info.id), 1u) << info.name;
}

TEST(CommandTable, EditorOrderDiffersFromIdentifierOrder) {
    const auto system = categoryCommands(CommandCategory::System);
    EXPECT_EQ(system.front(), kPlaybackRecording);
    EXPECT_EQ(system.back(), kSetClock);
    const auto keyboard = categoryCommands(CommandCategory::Keyboard);
    EXPECT_EQ(keyboard[4], kCtrlZ);
    EXPECT_EQ(keyboard[19], kCapsLockOn);
    EXPECT_EQ(keyboard.back(), kReplaceWordOrPhrase);
    const auto control = categoryCommands(CommandCategory::ControlLogic);
    EXPECT_EQ(std::vector<CommandId>(control.begin(), control.end()),
              (std::vector<CommandId>{kDelay, kWaitForWindow, kWaitForDriveMap, kRepeat, kLoop}));
}

TEST(KeyCodeToDisplayName, NamesCommandsEscapeAndNothingElse) {
    const std::map<std::uint32_t, std::string> cases = {
        {kDelay, "DELAY"},
        {kPause, "PAUSE"},
        {kCopyRemoteClipBoard, "COPY REMOTE CLIP BOARD"},
        {kWaitForDriveMap, "WAIT FOR DRIVE MAP"},
        {27, "ESC"},
        {0, ""},
        {256, ""},
        {4124, ""},
        {4351, ""},
        {4390, ""},
    };
    for (const auto& [id, name] : cases) EXPECT_EQ(KeyCodeToDisplayName(id), name) << id;
}

}  // namespace
}  // namespace ks
