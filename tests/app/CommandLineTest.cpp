#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include "app/OptionsDialog.h"

namespace ks::test {
namespace {

TEST(CommandLineTest, EverythingAfterTheProgramIsOneMacroName) {
    using Action = CommandLine::Action;
    struct Case {
        std::vector<std::string> arguments;
        Action action;
        std::string macro;
    };
    const std::vector<Case> cases = {
        {{}, Action::Run, ""},
        {{"Backup"}, Action::Run, "Backup"},
        {{"Nightly", "Backup"}, Action::Run, "Nightly Backup"},
        {{"\"Quoted", "name\""}, Action::Run, "\"Quoted name\""},
        {{"  Leading", "blanks "}, Action::Run, "Leading blanks "},
        {{"", "x"}, Action::Run, "x"},
        {{"--help"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--help", "me"}, Action::Run, "--help me"},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.arguments);
        EXPECT_EQ(line.action, c.action) << testing::PrintToString(c.arguments);
        EXPECT_EQ(line.macro, c.macro) << testing::PrintToString(c.arguments);
    }
}

TEST(CommandLineTest, PortTexts) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> port;
    };
    const Case cases[] = {
        {"80", 80u},
        {"+8080", 8080u},
        {"0", 0u},
        {"4294967295", 4294967295u},
        {"80a", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-1", std::nullopt},
        {" 80", std::nullopt},
        {"4294967296", std::nullopt},
        {"++1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parsePort(c.text), c.port) << c.text;
}

}  // namespace
}  // namespace ks::test
