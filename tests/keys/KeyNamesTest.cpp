#include <gtest/gtest.h>

#include "UsKeymap.h"
#include "keys/KeyNames.h"

namespace ks::test {
namespace {

TEST(KeyNamesTest, DisplayNamesOnUsLayout) {
    const KeyLayout us = usKeyLayout();
    const std::pair<std::uint32_t, const char*> cases[] = {
        {27, "ESC"},      {65, "aA"},       {81, "qQ"},       {77, "mM"},      {13, "RETURN"},
        {8, "BACKSPACE"}, {'1', "1!"},      {'0', "0)"},      {0xBD, "-_"},    {0xBB, "=+"},
        {0xDB, "[{"},     {0xDD, "]}"},     {0xBA, ";:"},     {0xDE, "'\""},   {0xC0, "`~"},
        {0xDC, "\\|"},    {0xBC, ",<"},     {0xBE, ".>"},     {0xBF, "/?"},    {16, "SHIFT"},
        {17, "CTRL"},     {18, "ALT"},      {91, "WINL"},     {93, "APPS"},    {112, "F1"},
        {135, "F24"},     {144, "NUMLOCK"}, {145, "SCRLOCK"}, {34, "PGDOWN"},  {12, "CENTER"},
        {96, "NP 0"},     {105, "NP 9"},    {106, "NP *"},    {108, "NP SEP"}, {110, "NP ."},
        {111, "NP /"},    {255, ""},        {0, ""},          {0xE2, ""}};
    for (const auto& [code, name] : cases) {
        EXPECT_EQ(KeyDisplayNameOfKey(us, code), name) << code;
    }
}

TEST(KeyNamesTest, NameToCode) {
    const KeyLayout us = usKeyLayout();
    const std::pair<const char*, int> cases[] = {
        {"", -1},        {"ret", 'E'},   {"return", 13}, {"RETURN", 13},    {"Esc", 27},
        {"aA", 'A'},     {"1!", '1'},    {"a", 'A'},     {"!", '1'},        {"np 5", 101},
        {"NP SEP", 108}, {"center", 12}, {"F24", 135},   {"winl", 91},      {"apps", 93},
        {"\\|", 0xDC},   {"'\"", 0xDE},  {"xyz", 'Y'},   {"\xC3\xA9", 255}, {"e\xC3\xA9", 255},
        {"Caps", 20},    {"PgDown", 34}};
    for (const auto& [name, code] : cases) EXPECT_EQ(KeyNameToCode(us, name), code) << name;
}

TEST(KeyNamesTest, HotKeyText) {
    const KeyLayout us = usKeyLayout();
    const std::pair<std::uint32_t, const char*> cases[] = {{'A', "A"},
                                                           {'1', "1"},
                                                           {0xBA, ";"},
                                                           {0xDE, "'"},
                                                           {13, "RETURN"},
                                                           {32, "SPACE"},
                                                           {27, "ESC"},
                                                           {9, "TAB"},
                                                           {112, "F1"},
                                                           {101, "NP 5"},
                                                           {12, "CENTER"},
                                                           {93, "APPS"},
                                                           {7, kUnknownHotKeyText},
                                                           {255, kUnknownHotKeyText}};
    for (const auto& [code, text] : cases) EXPECT_EQ(KeyCodeToHotKeyText(us, code), text) << code;
}

TEST(KeyNamesTest, EveryDisplayNameReadsBackAsItsCode) {
    const KeyLayout us = usKeyLayout();
    int named = 0;
    for (std::uint32_t vk = 1; vk < 256; ++vk) {
        const std::string name = KeyDisplayNameOfKey(us, vk);
        if (name.empty()) continue;
        ++named;
        EXPECT_EQ(KeyNameToCode(us, name), static_cast<int>(vk)) << name;
    }
    EXPECT_EQ(named, 114);
}

}  // namespace
}  // namespace ks::test
