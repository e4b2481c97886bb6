#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/CommandDispatch.h"

namespace ks {
namespace {

TEST(CommandDispatch, RoutesNamedCommandsToTheirHandlersAndEveryOtherIdentifierToKeystrokes) {
    CommandDispatch dispatch;
    EXPECT_FALSE(dispatch.hasHandler(65));
    EXPECT_FALSE(dispatch.hasHandler(kSendKeys));
    EXPECT_EQ(dispatch.execute("m\\Commands\\0", 65), CommandResult::Next);
    EXPECT_EQ(dispatch.execute("m\\Commands\\0", kSendKeys), CommandResult::Unavailable);

    std::vector<std::string> calls;
    auto recorder = [&](std::string who, CommandResult result) {
        return [&calls, who, result](const std::string& path, std::uint32_t id) {
            calls.push_back(who + " " + path + " " + std::to_string(id));
            return result;
        };
    };
    dispatch.setHandler(kDelay, recorder("first", CommandResult::Handover));
    dispatch.setHandler(kWaitForDriveMap, recorder("last", CommandResult::Failed));
    dispatch.setKeystrokeHandler(
        [&](const std::string& path, std::uint32_t id) { recorder("key", {})(path, id); });
    EXPECT_TRUE(dispatch.hasHandler(kDelay) && dispatch.hasHandler(65));
    const std::tuple<std::uint32_t, const char*, CommandResult> cases[] = {
        {kDelay, "first", CommandResult::Handover},
        {kWaitForDriveMap, "last", CommandResult::Failed},
        {kReboot, nullptr, CommandResult::Unavailable},  // named, no handler yet
        {19, "key", CommandResult::Next},                // the Pause key
        {0, "key", CommandResult::Next},
        {4124, "key", CommandResult::Next},  // between the two blocks of named commands
        {4390, "key", CommandResult::Next},
        {0xFFFFFFFF, "key", CommandResult::Next},
    };
    for (const auto& [id, who, result] : cases) {
        calls.clear();
        EXPECT_EQ(dispatch.execute("m\\Commands\\3", id), result) << id;
        EXPECT_EQ(calls, who ? std::vector<std::string>{std::string(who) + " m\\Commands\\3 " +
                                                        std::to_string(id)}
                             : std::vector<std::string>{})
            << id;
    }
}

}  // namespace
}  // namespace ks
