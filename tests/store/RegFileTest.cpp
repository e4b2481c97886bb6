#include <gtest/gtest.h>

#include <QString>

#include <string>
#include <vector>

#include "StoreFixture.h"
#include "store/RegFile.h"
#include "store/SettingsStore.h"
#include "store/StorePath.h"

namespace ks::test {
namespace {

const std::string kV5 = "Windows Registry Editor Version 5.00\n";
const std::string kRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider";

// `text` with CRLF line ends and "~" standing for the store's root key.
std::string reg(std::string_view text) {
    std::string out;
    for (const char c : text) out += c == '~' ? kRoot : c == '\n' ? "\r\n" : std::string(1, c);
    return out;
}

// UTF-16LE with the byte order mark, as the registry editor writes files.
std::string utf16(std::string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : QString::fromUtf8(text).toStdU16String())
        (bytes += static_cast<char>(unit & 0xFF)) += static_cast<char>(unit >> 8);
    return bytes;
}

std::string asString(const Bytes& data) {
    return std::string(data.begin(), data.end());
}

class RegFileTest : public StoreFixture {
protected:
    // Parses and applies; the error, if any. A refused file yields no operations.
    std::optional<RegError> import(KeyTree& target, std::string_view bytes) {
        RegParse parsed = parseRegFile(bytes);
        if (!parsed.ok()) {
            EXPECT_TRUE(parsed.operations.empty());
            return parsed.error;
        }
        return applyRegOperations(target, parsed.operations);
    }

    std::string exported(KeyTree& source, std::string_view key = "") {
        auto file = exportRegFile(source, key);
        EXPECT_TRUE(file) << file.error();
        return file ? asString(*file) : std::string();
    }

    void set(const std::string& key, const std::string& name, std::uint32_t type,
             const Bytes& data) {
        ASSERT_TRUE(tree->setValue(storePath(key), name, type, data));
    }
};

// An export is what the registry editor writes, and reads back to the same store: the same
// export from the store it makes.
TEST_F(RegFileTest, ExportWritesTheRegistryEditorsFormatAndReadsBackToTheSameBytes) {
    const std::string backup = "Macros\\Backup";
    Bytes sixty;
    for (int i = 0; i < 60; ++i) sixty.push_back(static_cast<std::uint8_t>(i));
    set(backup, "Text", kTypeText, textBytes("a\\b \"c\" é😀"));
    set(backup, "", kTypeDword, dwordBytes(42));
    set(backup, "Lines", kTypeText, textBytes("a\n😀"));
    set(backup, "b", kTypeBinary, sixty);
    set(backup, "NoZero", kTypeText, Bytes{'n', 'o'});
    set(backup, "Short", kTypeDword, Bytes{7, 1});
    set(backup, "Empty", kTypeBinary, Bytes{});
    set(backup, "na\"me\\", kTypeText, textBytes(""));
    set(backup + "\\Rec 😀", "Max", kTypeDword, dwordBytes(0xFFFFFFFF));
    const std::string expected = kV5 + R"(
[~\Macros\Backup]
"Text"="a\\b \"c\" é😀"
@=dword:0000002a
"Lines"=hex(1):61,00,0a,00,3d,d8,00,de,00,00
"b"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\
  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\
  30,31,32,33,34,35,36,37,38,39,3a,3b
"NoZero"=hex(1):6e,00,6f,00
"Short"=hex(4):07,01
"Empty"=hex:
"na\"me\\"=""

[~\Macros\Backup\Rec 😀]
"Max"=dword:ffffffff

)";
    // Asked for in another case, the keys keep the spelling they were created with.
    const std::string first = exported(*tree, "\\MACROS\\backup");
    EXPECT_EQ(first, utf16(reg(expected)));
    KeyTree other(dir.file("other.db"));
    ASSERT_FALSE(import(other, first));
    EXPECT_EQ(exported(other, backup), first);

    EXPECT_EQ(exportRegFile(*tree, "Macros\\Missing").error(), KeyTree::kMissingKey);
    set(backup, "two\nlines", kTypeDword, dwordBytes(1));  // a name no file can hold
    EXPECT_NE(exportRegFile(*tree, "").error().find("line break"), std::string::npos);
}

TEST_F(RegFileTest, HandWrittenUtf16FileImportsWithEveryFormOfDeletion) {
    set("Macros\\Old", "Gone", kTypeText, textBytes("x"));
    set("Macros\\Old", "Kept", kTypeText, textBytes("y"));
    set("Macros\\Doomed\\Child", "v", kTypeDword, dwordBytes(1));
    set("Macros\\Rebuilt", "old", kTypeDword, dwordBytes(3));
    ASSERT_FALSE(import(*tree, utf16(reg(kV5 + R"(
; a comment
[~\Macros\New]
"Num" = dword:0000002A
   "Bin"=hex:01,02,\
    03 , FF
"Bytes3"=hex(3):0a

[hklm\software\QUORVEL\keystrider\Macros\OLD]
"GONE"=-
"NeverThere"=-
[-~\Macros\doomed]
[-~\Macros\NeverThere]
[~\Macros\Empty]
[-HKLM\SOFTWARE\Quorvel\Keystrider\Macros\Rebuilt]
[HKLM\SOFTWARE\Quorvel\Keystrider\Macros\Rebuilt]
"new"=dword:00000004)"))));
    EXPECT_EQ(exported(*tree), utf16(reg(kV5 + R"(
[~]

[~\Macros]

[~\Macros\Empty]

[~\Macros\New]
"Num"=dword:0000002a
"Bin"=hex:01,02,03,ff
"Bytes3"=hex:0a

[~\Macros\Old]
"Kept"="y"

[~\Macros\Rebuilt]
"new"=dword:00000004

)")));
}

// A file imports, after which the root's value T reads `text`, or is refused at `line` with a
// message holding `text`, changing nothing.
TEST_F(RegFileTest, FilesImportOrAreRefusedWithTheirLineNumber) {
    struct Case {
        std::string file;
        std::size_t line;  // 0: the file imports
        std::string text;
    };
    const auto r4 = [](std::string_view body) {
        return reg("REGEDIT4\n[~]\n" + std::string(body));
    };
    // Three good lines first, so that a refused file would have had something to write.
    const auto bad = [](std::string_view line) {
        return reg(kV5 + "[~\\New]\n\"v\"=dword:00000001\n" + std::string(line));
    };
    const Case cases[] = {
        {r4("\"T\"=\"caf\xE9 \xA3 5\""), 0, "café £ 5"},  // not UTF-8: Latin-1
        {r4("\"T\"=\"caf\xC3\xA9 \xE2\x82\xAC\""), 0, "café €"},
        {r4("\"T\"=hex(1):63,61,66,e9,00"), 0, "café"},
        {r4("\"T\"=hex(1):c3,a9,00"), 0, "é"},
        {reg(kV5 + "[~]\n\"T\"=\"\xC3\xA9\""), 0, "é"},
        {"\xEF\xBB\xBF" + reg(kV5 + "[~]\n\"T\"=\"\xC3\xA9\""), 0, "é"},
        {"REGEDIT4\n[HKLM\\SOFTWARE\\Quorvel\\Keystrider]\n\"T\"=\"x\"\n", 0, "x"},
        {reg("Windows Registry Editor Version 4.00\n[~]"), 1, "does not begin with"},
        {"", 1, "does not begin with"},
        {"\xFE\xFF", 1, "big-endian"},
        {bad("\"a\"=\"open"), 4, "no closing quotation mark"},
        {bad("\"a\"=\"x\\n\""), 4, "Bad escape \"\\n\""},
        {bad("\"a\"=\"x\" y"), 4, "after the closing quotation mark"},
        {bad("\"a\" \"x\""), 4, "equals sign"},
        {bad("\"a\"=qword:1"), 4, "none of"},
        {bad("\"a\"=hex:01,zz"), 4, "Bad hex byte \"zz\""},
        {bad("\"a\"=hex:01,\\\n  02,\\\n  0g"), 6, "\"0g\""},
        {bad("\"a\"=hex:01,\\"), 4, "past the end"},
        {bad("\"a\"=dword:100000000"), 4, "out of range"},
        {bad("\"a\"=dword:12x4"), 4, "hexadecimal digits"},
        {bad("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel]"), 4, "outside"},
        {bad("[HKEY_CURRENT_USER\\SOFTWARE\\Quorvel\\Keystrider]"), 4, "outside"},
        {bad("[~X]"), 4, "outside"},
        {bad("[HKLM]"), 4, "outside"},
        {bad("[-~\\]"), 4, "whole store"},
        {bad("[~\\a\\\\b]"), 4, "empty name"},
        {bad("[~\\" + std::string(256, 'k') + "]"), 4, "longer than 255"},
        {bad("\"a\rb\"=-"), 4, "line break"},
        {bad(std::string("[~\\a\0b]", 7)), 4, "zero character"},
        {utf16(r4(std::string("\"a\0\"=\"x\"", 8))), 3, "zero character"},
        {bad("[~"), 4, "closing bracket"},
        {bad("\"a\"=hex(2):41,00,00,00"), 4, "kind hex(2)"},
        {bad("\"a\"=hex(z):00"), 4, "not a hexadecimal number"},
        {bad("\"a\"=hex 00"), 4, "colon"},
        {bad("\"a\"=hex(1):41"), 4, "not UTF-16LE"},
        {reg(kV5 + "\n\"a\"=\"x\"\n[~]"), 3, "before any key section"},
        {bad("[-~\\Old]\n\"a\"=-"), 5, "follows a key deletion"},
        {bad("hello"), 4, "neither a key section nor a value"},
        {bad("\"a\"=\"\xE9\""), 4, "not valid UTF-8"},
        {utf16(reg(kV5 + "[~]\n\"a\"=\"")) + std::string("\x3D\xD8\"\0", 4), 3, "UTF-16LE"},
        {utf16(reg(kV5)) + "x", 2, "not valid UTF-16LE"},
        // A write that fails takes back the whole file and names the line its value begins on.
        {bad("[-~\\Macros\\Existing]\n[~\\X]\n\"Poison\"=hex:01,\\\n  02\n\"c\"=\"\""), 6,
         "disk is full"},
    };
    set("Macros\\Existing", "v", kTypeDword, dwordBytes(5));
    failWritesOf("Poison");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string before = exported(*tree);
        const std::optional<RegError> error = import(*tree, c.file);
        if (c.line == 0) {
            ASSERT_FALSE(error) << error->message;
            EXPECT_EQ(tree->readValue(kDirectRoot, "T")->data, textBytes(c.text));
            continue;
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->line, c.line) << error->message;
        EXPECT_NE(error->message.find(c.text), std::string::npos) << error->message;
        EXPECT_EQ(exported(*tree), before);
    }
}

}  // namespace
}  // namespace ks::test
