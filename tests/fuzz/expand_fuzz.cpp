// Expansion of arbitrary command texts with expansion on, variables defined
// and every message recorded. Besides the sanitizers, checks two promises:
// a text with no expansion symbol passes through unchanged, and an
// expression always becomes "Error" or a decimal number.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FakeSystemValues.h"
#include "RecordingMessages.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"

namespace {

std::optional<std::string> fixedEnvironment(const std::string& name) {
    if (name == "HOME") return std::string("/home/fuzz");
    if (name == "EMPTY") return std::string();
    return std::nullopt;
}

struct World {
    ks::test::RecordingMessages messages;
    ks::test::FakeSystemValues system;
    ks::VariableTable variables{messages};
    ks::ExpansionEngine engine{messages, system, variables, fixedEnvironment};

    World() {
        engine.setEnabled(true);
        variables.SetVariable("N", "2");
        variables.SetVariable("ITEM2", "x");
        variables.SetVariable("Count", "42");
        variables.SetVariable("über", "(1+[N])");
        const std::uint8_t bitmap[] = {'B', 'M', 0, 1};
        variables.ReplaceData(variables.FindOrAppend("Picture"), bitmap, sizeof bitmap, 8);
    }
};

bool isDecimal(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    if (text.empty() || (text.size() > 1 && text.front() == '0')) return false;
    return text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string text = input;
    world.engine.Expand(text);

    const bool plain = input.find_first_of("[]{}@`~") == std::string::npos;
    if (!input.empty() && input.front() == '(') {
        if (text != "Error" && !isDecimal(text)) __builtin_trap();
    } else if (plain && text != input) {
        __builtin_trap();
    }

    bool error = false;
    world.engine.EvaluateExpression(input, error);
    world.messages.clear();
    world.system.drivesAsked.clear();
    return 0;
}
