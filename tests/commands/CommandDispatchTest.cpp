#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/CommandDispatch.h"

namespace ks {
namespace {

struct Call {
    std::string who;
    std::string path;
    std::uint32_t id;
    bool operator==(const Call&) const = default;
};

class CommandDispatchTest : public ::testing::Test {
protected:
    CommandDispatchTest() {
        dispatch.setHandler(kSendKeys, recorder("send keys", CommandResult::Next));
        dispatch.setHandler(kWaitForWindow, recorder("wait", CommandResult::Failed));
        dispatch.setHandler(kPlaybackRecording, recorder("playback", CommandResult::Handover));
        dispatch.setHandler(kPause, recorder("pause command", CommandResult::Next));
        dispatch.setKeystrokeHandler([this](const std::string& path, std::uint32_t id) {
            calls.push_back({"keystroke", path, id});
        });
    }

    CommandHandler recorder(std::string who, CommandResult result) {
        return [this, who, result](const std::string& path, std::uint32_t id) {
            calls.push_back({who, path, id});
            return result;
        };
    }

    CommandDispatch dispatch;
    std::vector<Call> calls;
};

TEST_F(CommandDispatchTest, RoutesEachIdentifierToItsHandler) {
    struct Case {
        std::uint32_t id;
        const char* who;  // null: nothing runs
        CommandResult result;
    };
    const std::vector<Case> cases = {
        {kSendKeys, "send keys", CommandResult::Next},
        {kWaitForWindow, "wait", CommandResult::Failed},
        {kPlaybackRecording, "playback", CommandResult::Handover},
        {kReboot, nullptr, CommandResult::Unavailable},  // named, no handler yet
        {kPause, "pause command", CommandResult::Next},
        {19, "keystroke", CommandResult::Next},  // the Pause key
        {0, "keystroke", CommandResult::Next},
        {4124, "keystroke", CommandResult::Next},
        {4390, "keystroke", CommandResult::Next},
        {0xFFFFFFFF, "keystroke", CommandResult::Next},
    };
    for (const Case& c : cases) {
        calls.clear();
        EXPECT_EQ(dispatch.execute("m\\Commands\\3", c.id), c.result) << c.id;
        if (c.who == nullptr) {
            EXPECT_TRUE(calls.empty()) << c.id;
        } else {
            EXPECT_EQ(calls, (std::vector<Call>{{c.who, "m\\Commands\\3", c.id}})) << c.id;
        }
    }
}

TEST(CommandDispatch, WithoutHandlersKeystrokesGoOnAndNamedCommandsAreUnavailable) {
    CommandDispatch dispatch;
    EXPECT_FALSE(dispatch.hasHandler(65));
    EXPECT_FALSE(dispatch.hasHandler(kSendKeys));
    EXPECT_EQ(dispatch.execute("m\\Commands\\0", 65), CommandResult::Next);
    EXPECT_EQ(dispatch.execute("m\\Commands\\0", kSendKeys), CommandResult::Unavailable);
}

}  // namespace
}  // namespace ks
