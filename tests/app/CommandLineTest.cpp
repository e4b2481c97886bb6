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
            {{"  Leading", "blanks "}, Run, {}, "Leading blanks "},
            {{"--help"}, Help, {}, ""},
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

// The rest of a port's syntax is parsePlusDigits's; the dialog's test holds its refusal.
TEST(CommandLineTest, PortsEndAtTheLargestStoredNumber) {
    EXPECT_EQ(parsePort("4294967295"), 4294967295u);
    EXPECT_EQ(parsePort("4294967296"), std::nullopt);
}

}  // namespace
}  // namespace ks::test
