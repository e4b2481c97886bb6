#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>

#include "store/KeyTree.h"
#include "store/RegFile.h"

namespace ks::test {

// A REGEDIT4 file from short inline text: sections name keys below the store's root
// ("[Macros\Backup]", "[]" for the root, "[-Macros\Old]" to delete); lines may be indented.
inline std::string regFile(std::string_view body) {
    std::string file = "REGEDIT4\n";
    std::istringstream lines{std::string(body)};
    for (std::string line; std::getline(lines, line);) {
        line.erase(0, std::min(line.find_first_not_of(' '), line.size()));
        if (line.starts_with('[')) {
            const std::size_t at = line.starts_with("[-") ? 2 : 1;
            line.insert(at, std::string("HKLM\\SOFTWARE\\Quorvel\\Keystrider") +
                                (line[at] == ']' ? "" : "\\"));
        }
        file += line + "\n";
    }
    return file;
}

// Builds (part of) a store from inline .reg text; see regFile().
inline void loadReg(KeyTree& tree, std::string_view body) {
    const RegParse parsed = parseRegFile(regFile(body));
    ASSERT_TRUE(parsed.ok()) << parsed.error->line << ": " << parsed.error->message;
    const auto error = applyRegOperations(tree, parsed.operations);
    ASSERT_FALSE(error) << error->line << ": " << error->message;
}

}  // namespace ks::test
