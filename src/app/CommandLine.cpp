#include "app/CommandLine.h"

namespace ks {

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    if (arguments.size() == 1 && arguments[0] == "--help") {
        line.action = CommandLine::Action::Help;
        return line;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        line.action = CommandLine::Action::Version;
        return line;
    }
    for (const std::string& word : arguments) {
        if (!line.macro.empty() || &word != &arguments.front()) line.macro += ' ';
        line.macro += word;
    }
    line.macro.erase(0, line.macro.find_first_not_of(" \t"));
    return line;
}

std::string helpText() {
    return "Usage: keystrider [MACRO NAME]\n"
           "       keystrider --help | --version\n"
           "\n"
           "Starts Keystrider in the notification area. Everything after the program's\n"
           "name is one macro name, which is run once Keystrider has started; when\n"
           "Keystrider already runs on this display, that copy runs it and this one ends.\n";
}

std::string versionText() {
    return std::string("keystrider ") + KS_VERSION + "\n";
}

}  // namespace ks
