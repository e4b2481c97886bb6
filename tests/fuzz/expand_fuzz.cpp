// Expansion of arbitrary command texts with expansion on, variables defined and every message
// recorded. Besides the sanitizers, checks two promises: a text with no expansion symbol passes
// through unchanged, and an expression always becomes "Error" or a decimal number.
#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>

#include "FakeSystemValues.h"
#include "RecordingMessages.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"

namespace {

struct World {
    ks::test::RecordingMessages messages;
    ks::test::FakeSystemValues system;
    ks::VariableTable variables{messages};
    ks::ExpansionEngine engine{messages, system, variables,
                               [](const std::string& name) -> std::optional<std::string> {
                                   if (name == "HOME" || name == "EMPTY")
                                       return name == "HOME" ? "/home/fuzz" : "";
                                   return std::nullopt;
                               }};

    World() {
        engine.setEnabled(true);
        for (const auto& [name, value] :
             {std::pair{"N", "2"}, {"ITEM2", "x"}, {"Count", "42"}, {"über", "(1+[N])"}})
            variables.SetVariable(name, value);
        const std::uint8_t bitmap[] = {'B', 'M', 0, 1};
        variables.replaceData(variables.findOrAppend("Picture"), bitmap, sizeof bitmap, 8);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    static const std::regex decimal("-?(0|[1-9][0-9]*)");
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string text = input;
    world.engine.Expand(text);
    if (!input.empty() && input.front() == '(') {
        if (text != "Error" && !std::regex_match(text, decimal)) __builtin_trap();
    } else if (input.find_first_of("[]{}@`~") == std::string::npos && text != input) {
        __builtin_trap();
    }
    bool error = false;
    world.engine.EvaluateExpression(input, error);
    world.messages.clear();
    world.system.drivesAsked.clear();
    return 0;
}
