#pragma once

#include <cstdint>
#include <string>

#include "store/StoreFixture.h"

namespace ks::test {

// A store with one command's key, and writers of that command's values.
class CommandFixture : public StoreFixture {
protected:
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

    static constexpr const char* kCommand = "m\\Commands\\0";
};

}  // namespace ks::test
