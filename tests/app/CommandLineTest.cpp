#include "app/CommandLine.h"

#include <gtest/gtest.h>

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

TEST(CommandLineTest, PortTexts) {
    const std::pair<const char*, std::uint32_t> valid[] = {
        {"80", 80}, {"+8080", 8080}, {"0", 0}, {"4294967295", 4294967295u}};
    for (const auto& [text, port] : valid) EXPECT_EQ(parsePort(text), port) << text;
    for (const char* text : {"80a", "", "+", "-1", " 80", "4294967296", "++1"})
        EXPECT_EQ(parsePort(text), std::nullopt) << text;
}

}  // namespace
}  // namespace ks::test
