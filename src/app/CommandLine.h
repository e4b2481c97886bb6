#pragma once

#include <string>
#include <vector>

namespace ks {

struct CommandLine {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    // Everything after the program's name as one macro name: the words the
    // shell split joined again with single blanks, leading blanks dropped.
    std::string macro;
};

// `arguments` excludes the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string helpText();
std::string versionText();

}  // namespace ks
