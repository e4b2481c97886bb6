#pragma once

#include <map>
#include <string>
#include <vector>

#include "../store/StoreFixture.h"
#include "FakeSystemValues.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"

namespace ks::test {

// An engine switched on, over a fake machine, a table with a few variables
// and a fixed environment.
class ExpandFixture : public StoreFixture {
protected:
    ExpandFixture() {
        engine.setEnabled(true);
        for (const auto& [name, value] : std::map<std::string, std::string>{
                 {"N", "2"}, {"ITEM2", "x"}, {"Count", "3"}, {"über", "ü"}, {"CODE", "66"}})
            variables.SetVariable(name, value);
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
                EXPECT_EQ(boxFields(box), std::tuple(box.text, std::string("Error"), MsgIcon::Stop,
                                                     MsgButtons::Ok, MsgOwner::None));
            }
        }
    }

    FakeSystemValues system;
    VariableTable variables{messages};
    std::map<std::string, std::string> environment{{"HOME", "/home/kim"}, {"STRAßE", "road"}};
    ExpansionEngine engine{messages, system, variables, [this](const std::string& name) {
                               const auto found = environment.find(name);
                               return found == environment.end()
                                          ? std::nullopt
                                          : std::optional<std::string>(found->second);
                           }};
};

inline const std::string kMissingClosing =
    "Missing or mismatched number of closing  expansion symbols. i.e. ] } @\n\n"
    "To use expansion symbols as non special characters, precede them with a accent mark \"`\"";

inline std::string notDefined(const std::string& name) {
    return "Variable \"" + name + "\" not defined!";
}

}  // namespace ks::test
