#include "app/CommandLine.h"

namespace ks {
namespace {

constexpr std::string_view kPlatformOption = "--platform";

// The words a leading `--platform NAME` or `--platform=NAME` takes: 0 without
// one; the line is refused when its name is missing or unknown.
std::size_t takePlatform(const std::vector<std::string>& arguments, CommandLine& line) {
    if (arguments.empty() || !arguments[0].starts_with(kPlatformOption)) return 0;
    const std::string& first = arguments[0];
    std::string name;
    std::size_t taken = 1;
    if (first.size() > kPlatformOption.size() && first[kPlatformOption.size()] == '=') {
        name = first.substr(kPlatformOption.size() + 1);
    } else if (first.size() == kPlatformOption.size() && arguments.size() > 1) {
        name = arguments[1];
        taken = 2;
    } else if (first.size() != kPlatformOption.size()) {
        return 0;  // a macro's name that starts so
    }
    line.platform = platformKindNamed(name);
    if (!line.platform) {
        line.action = CommandLine::Action::Refuse;
        line.error = "--platform takes x11 or wayland" +
                     (name.empty() ? std::string() : ", not \"" + name + "\"");
    }
    return taken;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& allArguments) {
    CommandLine line;
    const std::size_t optionWords = takePlatform(allArguments, line);
    if (line.action == CommandLine::Action::Refuse) return line;
    const std::vector<std::string> arguments(allArguments.begin() + optionWords,
                                             allArguments.end());
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
           "       keystrider --platform x11|wayland [MACRO NAME]\n"
           "       keystrider --help | --version\n"
           "\n"
           "Starts Keystrider in the notification area. Everything after the program's\n"
           "name is one macro name, which is run once Keystrider has started; when\n"
           "Keystrider already runs on this display, that copy runs it and this one ends.\n"
           "--platform picks the display system; without it Keystrider uses Wayland when\n"
           "WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is wayland, X11 otherwise.\n";
}

std::string versionText() {
    return std::string("keystrider ") + KS_VERSION + "\n";
}

}  // namespace ks
