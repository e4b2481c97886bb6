#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <tuple>

#include "app/OptionsDialog.h"

namespace ks::test {
namespace {

TEST(CommandLineTest, EverythingAfterTheProgramIsOneMacroName) {
    using Action = CommandLine::Action;
    const std::tuple<std::vector<std::string>, Action, std::string> cases[] = {
        {{}, Action::Run, ""},
        {{"Nightly", "Backup"}, Action::Run, "Nightly Backup"},
        {{"\"Quoted", "name\""}, Action::Run, "\"Quoted name\""},
        {{"  Leading", "blanks "}, Action::Run, "Leading blanks "},
        {{"", "x"}, Action::Run, "x"},
        {{"--help"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--help", "me"}, Action::Run, "--help me"},
    };
    for (const auto& [arguments, action, macro] : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        const CommandLine line = parseCommandLine(arguments);
        EXPECT_EQ(line.action, action);
        EXPECT_EQ(line.macro, macro);
    }
}

// A leading --platform picks the display system; the rest is the macro's name.
TEST(CommandLineTest, PlatformOptionComesFirstAndNamesX11OrWayland) {
    using Action = CommandLine::Action;
    const std::tuple<std::vector<std::string>, Action, std::optional<PlatformKind>, std::string>
        cases[] = {
            {{"--platform", "wayland", "Nightly", "Backup"},
             Action::Run,
             PlatformKind::Wayland,
             "Nightly Backup"},
            {{"--platform=x11"}, Action::Run, PlatformKind::X11, ""},
            {{"--platform", "x11", "--version"}, Action::Version, PlatformKind::X11, ""},
            {{"--platform", "mir"}, Action::Refuse, std::nullopt, ""},
            {{"--platform"}, Action::Refuse, std::nullopt, ""},
            {{"--platforms", "x11"}, Action::Run, std::nullopt, "--platforms x11"},
            {{"Run", "--platform", "x11"}, Action::Run, std::nullopt, "Run --platform x11"},
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
