#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "FakeExpander.h"
#include "commands/CommandFamily.h"
#include "expand/StoredCommand.h"
#include "store/StoreFixture.h"

namespace ks::test {

// A store with one command's key, writers of that command's values, and the
// way every command family is run in tests: through the values stored there.
class CommandFixture : public StoreFixture {
protected:
    using TextValues = std::map<std::string, std::string>;
    using NumberValues = std::map<std::string, std::uint32_t>;

    CommandFixture() {
        store->EnsureRootKeys();
        store->CreateMacroKey(kCommand);
    }

    void writeText(const char* name, const std::string& text) {
        store->WriteMacroString(text, kCommand, name);
    }
    void writeNumber(const char* name, std::uint32_t value) {
        store->WriteDword(value, std::string("\\Macros\\") + kCommand, name);
    }
    // A pointer move's values: absolute when `isAbsolute` is 1, relative when 0.
    void writePosition(std::uint32_t isAbsolute, const std::string& x, const std::string& y) {
        writeNumber("IsAB", isAbsolute);
        writeText(isAbsolute == 1 ? "XABCoord" : "XRELCoord", x);
        writeText(isAbsolute == 1 ? "YABCoord" : "YRELCoord", y);
    }

    // Writes `texts` and `numbers` as the command's values, then has `family`
    // run the command `id` at `path`, its texts expanded by `expanding`.
    CommandResult runCommand(CommandFamily& family, std::uint32_t id, const TextValues& texts = {},
                             const NumberValues& numbers = {}, const char* path = kCommand) {
        for (const auto& [name, text] : texts) writeText(name.c_str(), text);
        for (const auto& [name, number] : numbers) writeNumber(name.c_str(), number);
        StoredCommand command(*store, *expanding, path);
        return family.run(id, command);
    }

    static constexpr const char* kCommand = "m\\Commands\\0";
    FakeExpander expander;
    Expander* expanding = &expander;
};

}  // namespace ks::test
