#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/PlatformFactory.h"

namespace ks {

struct CommandLine {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    // `--platform x11|wayland` (or `--platform=…`) ahead of the macro's name.
    std::optional<PlatformKind> platform;
    // Why the line was refused (Action::Refuse).
    std::string error;
    // Everything after the program's name as one macro name: the words the
    // shell split joined again with single blanks, leading blanks dropped.
    std::string macro;
};

// `arguments` excludes the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string helpText();
std::string versionText();

}  // namespace ks
