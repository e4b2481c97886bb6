#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <tuple>

#include "app/OptionsDialog.h"

namespace ks::test {
namespace {

// Everything after the program is one macro name; only a leading --platform,
// naming x11 or wayland, picks the display system.
TEST(CommandLineTest, EverythingAfterTheProgramAndItsPlatformIsOneMacroName) {
    using enum CommandLine::Action;
    using enum PlatformKind;
    const std::tuple<std::vector<std::string>, CommandLine::Action, std::optional<PlatformKind>,
                     std::string>
        cases[] = {
            {{}, Run, {}, ""},
            {{"Nightly", "Backup"}, Run, {}, "Nightly Backup"},
            {{"\"Quoted", "name\""}, Run, {}, "\"Quoted name\""},
            {{"  Leading", "blanks "}, Run, {}, "Leading blanks "},
            {{"", "x"}, Run, {}, "x"},
            {{"--help"}, Help, {}, ""},
            {{"--version"}, Version, {}, ""},
            {{"--help", "me"}, Run, {}, "--help me"},
            {{"--platform", "wayland", "Nightly", "Backup"}, Run, Wayland, "Nightly Backup"},
            {{"--platform=x11"}, Run, X11, ""},
            {{"--platform", "x11", "--version"}, Version, X11, ""},
            {{"--platform", "mir"}, Refuse, {}, ""},
            {{"--platform"}, Refuse, {}, ""},
            {{"--platforms", "x11"}, Run, {}, "--platforms x11"},
            {{"Run", "--platform", "x11"}, Run, {}, "Run --platform x11"},
        };
    for (const auto& [arguments, action, platform, macro] : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        const CommandLine line = parseCommandLine(arguments);
        EXPECT_EQ(std::tie(line.action, line.platform, line.macro),
                  std::tie(action, platform, macro));
    }
    EXPECT_EQ(parseCommandLine({"--platform", "mir"}).error,
              "--platform takes x11 or wayland, not \"mir\"");
}

TEST(CommandLineTest, PortTexts) {
    const std::pair<const char*, std::uint32_t> valid[] = {
        {"80", 80}, {"+8080", 8080}, {"0", 0}, {"4294967295", 4294967295u}};
    for (const auto& [text, port] : valid) EXPECT_EQ(parsePort(text), port) << text;
    for (const char* text : {"80a", "", "+", "-1", " 80", "4294967296", "++1"})
        EXPECT_EQ(parsePort(text), std::nullopt) << text;
}

}  // namespace
}  // namespace ks::test
