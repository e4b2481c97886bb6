#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "commands/CommandDispatch.h"
#include "core/PlusDigits.h"

namespace ks {
namespace {

// The invariant the dispatch and the editor rely on: the named commands are two blocks of
// identifiers with no gap, each listed once under its own category (the lookup finds each only
// while the table is in order).
TEST(CommandTable, NamesTwoBlocksOfIdentifiersEachListedOnceUnderItsCategory) {
    std::multiset<std::uint32_t> listed;
    for (int i = 0; i < kCategoryCount; ++i) {
        for (const CommandId id : categoryCommands(static_cast<CommandCategory>(i))) {
            EXPECT_EQ(commandCategory(id), static_cast<CommandCategory>(i)) << commandName(id);
            listed.insert(id);
        }
    }
    for (std::uint32_t id = 0; id <= 0x2000; ++id) {
        const bool inBlock = (id >= kDelay && id <= kNumLockOn) ||
                             (id >= kCopyRemoteClipBoard && id <= kWaitForDriveMap);
        EXPECT_EQ(listed.count(id), inBlock ? 1u : 0u) << id;
        EXPECT_EQ(commandName(id).empty(), !inBlock) << id;
    }
    struct NoKeyNames final : KeyDisplayNames {
        std::string keyDisplayName(std::uint32_t) override { return {}; }
    } keys;
    EXPECT_EQ(KeyCodeToDisplayName(27, keys), "ESC");  // the one key named here
}

// A family of two commands that records what it ran, and a command without
// values to pass it: the dispatch only hands the command on.
class Recorder final : public CommandFamily, public CommandContext {
public:
    std::span<const CommandId> ids() const override { return kIds; }
    bool runsKeystrokes() const override { return keystrokes; }
    CommandResult run(std::uint32_t id, CommandContext&) override {
        ran.push_back(id);
        return CommandResult::Handover;
    }
    const std::string& path() const override { return path_; }
    std::optional<std::string> text(std::string_view) override { return {}; }
    std::optional<std::string> storedText(std::string_view) override { return {}; }
    std::optional<std::string> quietText(std::string_view) override { return {}; }
    std::optional<std::uint32_t> number(std::string_view) override { return {}; }
    std::unique_ptr<CommandContext> child(std::string_view) override { return {}; }

    static constexpr CommandId kIds[] = {kRun, kWaitForDriveMap};
    bool keystrokes = false;
    std::vector<std::uint32_t> ran;
    std::string path_;
};

// The runner's tests route keystrokes and results through the dispatch;
// here what they leave out: every identifier of a family, the last named
// one included, and identifiers without a family.
TEST(CommandDispatch, RunsEachIdentifierByItsFamilyAndOnlyKeystrokesGoOnWithoutOne) {
    CommandDispatch dispatch;
    Recorder family;
    CommandContext& command = family;
    dispatch.add(family);
    EXPECT_EQ(dispatch.execute(kRun, command), CommandResult::Handover);
    EXPECT_EQ(dispatch.execute(kWaitForDriveMap, command), CommandResult::Handover);
    EXPECT_EQ(dispatch.execute(kSound, command), CommandResult::Unavailable);
    EXPECT_EQ(dispatch.execute(0xFFFFFFFF, command), CommandResult::Next);
    family.keystrokes = true;
    dispatch.add(family);
    EXPECT_EQ(dispatch.execute('A', command), CommandResult::Handover);
    EXPECT_EQ(family.ran, (std::vector<std::uint32_t>{kRun, kWaitForDriveMap, 'A'}));
}

TEST(ParsePlusDigits, AcceptsOnlyAnOptionalPlusAndDigits) {
    constexpr std::uint64_t kMax = 18446744073709551615ull;  // larger numbers saturate
    const std::pair<const char*, std::uint64_t> numbers[] = {
        {"+20", 20}, {"007", 7}, {"18446744073709551615", kMax}, {"99999999999999999999999", kMax}};
    for (const auto& [text, number] : numbers) EXPECT_EQ(parsePlusDigits(text), number) << text;
    using namespace std::string_view_literals;
    for (const auto text : {""sv, "+"sv, "++1"sv, "-5"sv, "1.5"sv, " 1"sv, "1 "sv, "1\0"sv})
        EXPECT_EQ(parsePlusDigits(text), std::nullopt) << text;
}

}  // namespace
}  // namespace ks
