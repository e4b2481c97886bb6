#include <gtest/gtest.h>

#include "UsKeymap.h"
#include "keys/KeyNames.h"

namespace ks::test {
namespace {

// The name tables themselves are constants: these rows check how names are
// made from the layout and read back, and the invariants hold for every key.
TEST(KeyNamesTest, NamesComeFromTheLayoutOrTheFixedTable) {
    const KeyLayout us = usKeyLayout();
    const std::pair<std::uint32_t, const char*> display[] = {
        {65, "aA"},      {'1', "1!"}, {0xBD, "-_"}, {0xDE, "'\""}, {13, "RETURN"},
        {108, "NP SEP"}, {255, ""},   {0, ""},      {0xE2, ""}};
    for (const auto& [code, name] : display) EXPECT_EQ(KeyDisplayNameOfKey(us, code), name) << code;
    const std::pair<std::uint32_t, const char*> hotKey[] = {
        {'A', "A"}, {0xBA, ";"}, {32, "SPACE"}, {101, "NP 5"}, {7, kUnknownHotKeyText}};
    for (const auto& [code, text] : hotKey) EXPECT_EQ(KeyCodeToHotKeyText(us, code), text) << code;
}

TEST(KeyNamesTest, NameToCodeIgnoresCaseAndReadsPrefixesAndCharacters) {
    const KeyLayout us = usKeyLayout();
    const std::pair<const char*, int> cases[] = {
        {"", -1},     {"ret", 'E'},       {"RETURN", 13}, {"Esc", 27},  {"a", 'A'},
        {"!", '1'},   {"np 5", 101},      {"\\|", 0xDC},  {"xyz", 'Y'}, {"\xC3\xA9", 255},
        {"Caps", 20}, {"e\xC3\xA9", 255}, {"PgDown", 34}};
    for (const auto& [name, code] : cases) EXPECT_EQ(KeyNameToCode(us, name), code) << name;
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
