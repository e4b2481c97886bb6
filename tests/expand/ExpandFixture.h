#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "FakeSystemValues.h"
#include "RecordingMessages.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"

namespace ks::test {

// An engine switched on, over a fake machine, a table with a few variables
// and a fixed environment.
class ExpandFixture : public ::testing::Test {
protected:
    ExpandFixture()
        : variables(messages), engine(messages, system, variables, [this](const std::string& name) {
              const auto found = environment.find(name);
              return found == environment.end() ? std::nullopt
                                                : std::optional<std::string>(found->second);
          }) {
        engine.setEnabled(true);
        variables.SetVariable("N", "2");
        variables.SetVariable("ITEM2", "x");
        variables.SetVariable("Count", "3");
        variables.SetVariable("über", "ü");
        variables.SetVariable("CODE", "66");
    }

    std::string expand(std::string text) {
        engine.Expand(text);
        return text;
    }

    // One row of a table of expansions: what goes in, what comes out, and
    // the messages shown on the way, in order.
    struct Case {
        std::string in;
        std::string out;
        std::vector<std::string> shown;
    };

    void expectAll(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            messages.clear();
            EXPECT_EQ(expand(c.in), c.out) << "expanding " << c.in;
            EXPECT_EQ(messages.texts(), c.shown) << "expanding " << c.in;
            for (const MessageBox& box : messages.shown) {
                EXPECT_EQ(box.title, "Error");
                EXPECT_EQ(box.icon, MsgIcon::Stop);
                EXPECT_EQ(box.owner, MsgOwner::None);
            }
        }
    }

    RecordingMessages messages;
    FakeSystemValues system;
    VariableTable variables;
    std::map<std::string, std::string> environment{{"HOME", "/home/kim"}, {"STRAßE", "road"}};
    ExpansionEngine engine;
};

inline const std::string kMissingClosing =
    "Missing or mismatched number of closing  expansion symbols. i.e. ] } @\n\n"
    "To use expansion symbols as non special characters, precede them with a accent mark \"`\"";

inline std::string notDefined(const std::string& name) {
    return "Variable \"" + name + "\" not defined!";
}

}  // namespace ks::test
