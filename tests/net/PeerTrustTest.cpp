#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "RecordingMessages.h"
#include "expand/VariableTable.h"
#include "net/PostedVariables.h"
#include "net/RequestServer.h"

namespace ks::test {
namespace {

TEST(PeerTrust, PushedMacrosAreTakenFromAcceptedPeersOnly) {
    // every peer served?, the accepted list, the peer: taken?
    const std::tuple<bool, const char*, const char*, bool> cases[] = {
        {false, "", "127.0.0.1", false},
        {false, "192.0.2.7 127.0.0.1", "127.0.0.1", true},
        {false, "::ffff:192.0.2.7", "192.0.2.7", true},
        {false, "192.0.2.7", "192.0.2.70", false},
        {false, "bad 127.0.0.1", "127.0.0.1", false},
        {true, "", "192.0.2.9", true},
    };
    for (const auto& [everyPeer, accepted, peer, taken] : cases) {
        EXPECT_EQ(pushAccepted(everyPeer, accepted, peer), taken) << accepted << " / " << peer;
    }
}

// Peers' variables: a peer's request replaces its earlier ones, and the
// oldest peer's give way when the cap would be passed.
TEST(PeerTrust, PostedVariablesStayWithinTheirCap) {
    RecordingMessages messages;
    VariableTable table(messages);
    table.SetVariable("Mine", "set by a macro");
    PostedVariables posted(table, 20);
    const struct {
        const char* peer;
        PostedVariables::Values values;
        bool taken;
        std::vector<std::string> names;  // the table's names afterwards
    } steps[] = {
        {"a", {{"One", "1111"}, {"Two", "2"}}, true, {"Mine", "One", "Two"}},
        {"a", {{"Three", "3"}}, true, {"Mine", "Three"}},
        {"b", {{"Four", "4444"}}, true, {"Mine", "Three", "Four"}},
        {"c", {{"Five", "55555"}}, true, {"Mine", "Four", "Five"}},
        {"b", {{"Five", "5"}}, true, {"Mine", "Five"}},
        {"c", {{"Six", std::string(18, 'x')}}, false, {"Mine", "Five"}},
        {"c", {}, true, {"Mine", "Five"}},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(posted.set(step.peer, step.values), step.taken) << step.peer;
        std::vector<std::string> names;
        for (const Variable& v : table) names.push_back(v.name);
        EXPECT_EQ(names, step.names) << step.peer;
    }
    EXPECT_EQ(table.textValue("five"), "5");
}

}  // namespace
}  // namespace ks::test
