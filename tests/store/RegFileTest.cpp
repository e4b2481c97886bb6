#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "StoreFixture.h"
#include "store/RegFile.h"
#include "store/SettingsStore.h"
#include "store/StorePath.h"

namespace ks::test {
namespace {

// Lines joined with CRLF, each one ended by it.
std::u16string crlf(std::initializer_list<std::u16string_view> lines) {
    std::u16string text;
    for (const auto line : lines) (text += line) += u"\r\n";
    return text;
}

std::string crlf8(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (const auto line : lines) (text += line) += "\r\n";
    return text;
}

// UTF-16LE bytes with the byte order mark, as the registry editor writes them.
std::string utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string asString(const Bytes& data) {
    return std::string(data.begin(), data.end());
}
Bytes asBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Every key and value below the store's root, one line each, in order.
void dumpKey(KeyTree& tree, const std::string& relative, std::vector<std::string>& out) {
    out.push_back("[" + relative + "]");
    auto values = tree.values(storePath(relative));
    ASSERT_TRUE(values) << values.error();
    for (const auto& value : *values) {
        out.push_back(value.name + "|" + std::to_string(value.type) + "|" + asString(value.data));
    }
    auto names = tree.subKeys(storePath(relative));
    ASSERT_TRUE(names);
    for (const auto& name : *names)
        dumpKey(tree, relative.empty() ? name : relative + "\\" + name, out);
}

std::vector<std::string> dump(KeyTree& tree) {
    std::vector<std::string> out;
    if (tree.keyExists(storePath(""))) dumpKey(tree, "", out);
    return out;
}

class RegFileTest : public StoreFixture {
protected:
    // Parses and applies; the error, if any.
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

    void fillVariedStore() {
        set("", "HotKeyOn", kTypeDword, dwordBytes(1));
        set("", "SPMouse", kTypeDword, dwordBytes(517));
        set("Macros", "CmdLineMacro", kTypeText, textBytes("Backup"));
        set("Macros\\Backup", "", kTypeText, textBytes("the default value"));
        set("Macros\\Backup", "vk", kTypeDword, dwordBytes(0x41));
        set("Macros\\Backup\\Commands\\0", "id", kTypeDword, dwordBytes(4096));
        set("Macros\\Backup\\Commands\\0", "Text", kTypeText,
            textBytes(R"(C:\Temp\"quoted" café 😀)"));
        set("Macros\\Backup\\Commands\\1", "id", kTypeDword, dwordBytes(0xFFFFFFFF));
        set("Macros\\Backup\\Commands\\1", "Lines", kTypeText, textBytes("one\r\ntwo\n"));
        set("Macros\\Backup\\Commands\\1", "NoZero", kTypeText, asBytes("unterminated"));
        set("Macros\\Backup\\Commands\\1", "Short", kTypeDword, Bytes{7, 1});
        set("Macros\\Backup\\Commands\\1", "Empty", kTypeBinary, Bytes{});
        set("Macros\\Backup\\Commands\\1", "EmptyText", kTypeText, textBytes(""));
        set("Macros\\Backup\\Commands\\1", "na\"me\\", kTypeText, textBytes("x"));
        Bytes piece;
        for (int i = 0; i < 300; ++i) piece.push_back(static_cast<std::uint8_t>(i * 7));
        set("Journals\\Rec 😀", "0", kTypeBinary, piece);
        set("Journals\\Rec 😀", "Count", kTypeDword, dwordBytes(1));
        set("Journals\\Ärger", "Type", kTypeDword, dwordBytes(2));
        ASSERT_TRUE(tree->createKey(storePath("Journals\\apple")));
        ASSERT_TRUE(tree->createKey(storePath("Journals\\Zebra")));
    }
};

TEST_F(RegFileTest, OwnExportImportsIntoAnEmptyStoreAndExportsToTheSameBytes) {
    fillVariedStore();
    const std::string first = exported(*tree);

    KeyTree other(dir.file("other.db"));
    ASSERT_FALSE(import(other, first));
    EXPECT_EQ(dump(other), dump(*tree));
    EXPECT_EQ(exported(other), first);
}

TEST_F(RegFileTest, ExportWritesTheRegistryEditorsFormat) {
    set("Macros\\Backup", "Text", kTypeText, textBytes("a\\b \"c\""));
    set("Macros\\Backup", "", kTypeDword, dwordBytes(42));
    set("Macros\\Backup", "Lines", kTypeText, textBytes("a\nb"));
    Bytes sixty;
    for (int i = 0; i < 60; ++i) sixty.push_back(static_cast<std::uint8_t>(i));
    set("Macros\\Backup", "b", kTypeBinary, sixty);
    ASSERT_TRUE(tree->createKey(storePath("Macros\\Backup\\Commands")));

    const std::u16string expected = crlf({
        u"Windows Registry Editor Version 5.00",
        u"",
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Backup]",
        u"\"Text\"=\"a\\\\b \\\"c\\\"\"",
        u"@=dword:0000002a",
        u"\"Lines\"=hex(1):61,00,0a,00,62,00,00,00",
        u"\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\",
        u"  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\",
        u"  30,31,32,33,34,35,36,37,38,39,3a,3b",
        u"",
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Backup\\Commands]",
        u"",
    });
    // Asked for in another case, the keys keep the spelling they were created with.
    EXPECT_EQ(exported(*tree, "\\MACROS\\backup"), utf16File(expected));
}

TEST_F(RegFileTest, ExportRefusesWhatAFileCannotHold) {
    EXPECT_EQ(exportRegFile(*tree, "Macros").error(), KeyTree::kMissingKey);
    set("Macros", "x", kTypeDword, dwordBytes(1));
    EXPECT_EQ(exportRegFile(*tree, "Macros\\Missing").error(), KeyTree::kMissingKey);
    set("Macros\\Bad", "two\nlines", kTypeDword, dwordBytes(1));
    auto failed = exportRegFile(*tree, "Macros");
    ASSERT_FALSE(failed);
    EXPECT_NE(failed.error().find("line break"), std::string::npos);
}

TEST_F(RegFileTest, HandWrittenUtf16FileWithEveryValueFormImports) {
    set("Macros\\Old", "Gone", kTypeText, textBytes("x"));
    set("Macros\\Old", "Kept", kTypeText, textBytes("y"));
    set("Macros\\Doomed\\Child", "v", kTypeDword, dwordBytes(1));
    const std::u16string file = crlf({
        u"Windows Registry Editor Version 5.00",
        u"",
        u"; a comment",
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Émoji 😀]",
        u"@=\"default\"",
        u"\"Text\"=\"C:\\\\dir \\\"q\\\" 😀\"",
        u"\"Num\" = dword:0000002A",
        u"\"Max\"=dword:ffffffff",
        u"\"Bin\"=hex:01,02,\\",
        u"    03 , FF",
        u"\"None\"=hex:",
        u"\"Wide\"=hex(1):41,00,0a,00,3d,d8,00,de,00,00",
        u"\"Raw\"=hex(4):01,02",
        u"\"Bytes3\"=hex(3):0a",
        u"   ",
        u"[hklm\\software\\QUORVEL\\keystrider\\Macros\\Old]",
        u"\"Gone\"=-",
        u"\"NeverThere\"=-",
        u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Doomed]",
        u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\NeverThere]",
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Empty]",
    });
    ASSERT_FALSE(import(*tree, utf16File(file)));

    const std::vector<std::string> expected = {
        "[]",
        "[Macros]",
        "[Macros\\Empty]",
        "[Macros\\Old]",
        "Kept|1|" + asString(textBytes("y")),
        "[Macros\\Émoji 😀]",
        "|1|" + asString(textBytes("default")),
        "Text|1|" + asString(textBytes("C:\\dir \"q\" 😀")),
        "Num|4|" + asString(dwordBytes(42)),
        "Max|4|" + asString(dwordBytes(0xFFFFFFFF)),
        "Bin|3|" + asString(Bytes{1, 2, 3, 0xFF}),
        "None|3|",
        "Wide|1|" + asString(textBytes("A\n😀")),
        "Raw|4|" + asString(Bytes{1, 2}),
        "Bytes3|3|\n",
    };
    EXPECT_EQ(dump(*tree), expected);
}

TEST_F(RegFileTest, Regedit4TextIsUtf8WhenValidAndLatin1Otherwise) {
    struct Case {
        const char* what;
        std::string file;
        std::string text;
    };
    const std::string section = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider]";
    const std::vector<Case> cases = {
        {"Latin-1 file", crlf8({"REGEDIT4", "", section, "\"T\"=\"caf\xE9 \xA3 5\""}), "café £ 5"},
        {"UTF-8 file", crlf8({"REGEDIT4", "", section, "\"T\"=\"caf\xC3\xA9 \xE2\x82\xAC\""}),
         "café €"},
        {"Latin-1 hex(1)", crlf8({"REGEDIT4", section, "\"T\"=hex(1):63,61,66,e9,00"}), "café"},
        {"UTF-8 hex(1)", crlf8({"REGEDIT4", section, "\"T\"=hex(1):c3,a9,00"}), "é"},
        {"UTF-8 Version 5.00",
         crlf8({"Windows Registry Editor Version 5.00", section, "\"T\"=\"\xC3\xA9\""}), "é"},
        {"UTF-8 with BOM",
         "\xEF\xBB\xBF" +
             crlf8({"Windows Registry Editor Version 5.00", section, "\"T\"=\"\xC3\xA9\""}),
         "é"},
        {"LF line ends", "REGEDIT4\n" + section + "\n\"T\"=\"x\"\n", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(import(*tree, c.file));
        auto value = tree->readValue(kDirectRoot, "T");
        ASSERT_TRUE(value);
        EXPECT_EQ(asString(value->data), asString(textBytes(c.text)));
    }
}

TEST_F(RegFileTest, MalformedFilesAreRefusedWithTheirLineNumber) {
    struct Case {
        const char* what;
        std::string file;
        std::size_t line;
        const char* message;  // a part of the message
    };
    const std::string v5 = "Windows Registry Editor Version 5.00\r\n";
    // Three good lines first, so that a refused file would have had something to write.
    const std::string good = v5 + crlf8({"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\New]",
                                         "\"v\"=dword:00000001"});
    const std::string longName(256, 'k');
    const std::vector<Case> cases = {
        {"bad header",
         "Windows Registry Editor Version 4.00\r\n[HKLM\\SOFTWARE\\Quorvel\\Keystrider]\r\n", 1,
         "does not begin with"},
        {"empty file", "", 1, "does not begin with"},
        {"UTF-16 big-endian", "\xFE\xFF", 1, "big-endian"},
        {"unterminated string", good + "\"a\"=\"open\r\n", 4, "no closing quotation mark"},
        {"bad escape", good + "\"a\"=\"x\\n\"\r\n", 4, "Bad escape \"\\n\""},
        {"text after string", good + "\"a\"=\"x\" y\r\n", 4, "after the closing quotation mark"},
        {"no equals sign", good + "\"a\" \"x\"\r\n", 4, "equals sign"},
        {"unknown data", good + "\"a\"=qword:1\r\n", 4, "none of"},
        {"bad hex", good + "\"a\"=hex:01,zz\r\n", 4, "Bad hex byte \"zz\""},
        {"bad hex on a continuation line", good + "\"a\"=hex:01,\\\r\n  02,\\\r\n  0g\r\n", 6,
         "\"0g\""},
        {"hex byte too long", good + "\"a\"=hex:123\r\n", 4, "Bad hex byte"},
        {"continuation at end of file", good + "\"a\"=hex:01,\\", 4, "past the end"},
        {"dword out of range", good + "\"a\"=dword:100000000\r\n", 4, "out of range"},
        {"dword not hex", good + "\"a\"=dword:12x4\r\n", 4, "hexadecimal digits"},
        {"key outside the root", good + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel]\r\n", 4,
         "outside"},
        {"other hive", good + "[HKEY_CURRENT_USER\\SOFTWARE\\Quorvel\\Keystrider]\r\n", 4,
         "outside"},
        {"sibling of the root", good + "[HKLM\\SOFTWARE\\Quorvel\\KeystriderX]\r\n", 4, "outside"},
        {"hive alone", good + "[HKLM]\r\n", 4, "outside"},
        {"deleting outside", good + "[-HKLM\\SOFTWARE]\r\n", 4, "outside"},
        {"deleting the root", good + "[-HKLM\\SOFTWARE\\Quorvel\\Keystrider\\]\r\n", 4,
         "whole store"},
        {"empty key name", good + "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\a\\\\b]\r\n", 4,
         "empty name"},
        {"key name too long", good + "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\" + longName + "]\r\n",
         4, "longer than 255"},
        {"carriage return in a key name", good + "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\a\rb]\r\n",
         4, "line break"},
        {"carriage return in a value name", good + "\"a\rb\"=-\r\n", 4, "line break"},
        {"zero in a key name",
         good + std::string("[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\a\0b]\r\n", 40), 4,
         "zero character"},
        {"zero in a value name",
         utf16File(crlf({u"REGEDIT4", u"[HKLM\\SOFTWARE\\Quorvel\\Keystrider]",
                         std::u16string_view(u"\"a\0\"=\"x\"", 8)})),
         3, "zero character"},
        {"no closing bracket", good + "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\r\n", 4,
         "closing bracket"},
        {"hex(2)", good + "\"a\"=hex(2):41,00,00,00\r\n", 4, "kind hex(2)"},
        {"hex(0)", good + "\"a\"=hex(0):\r\n", 4, "kind hex(0)"},
        {"bad hex kind", good + "\"a\"=hex(z):00\r\n", 4, "not a hexadecimal number"},
        {"hex without colon", good + "\"a\"=hex 00\r\n", 4, "colon"},
        {"odd UTF-16 in hex(1)", good + "\"a\"=hex(1):41\r\n", 4, "not UTF-16LE"},
        {"value before any section",
         v5 + "\r\n\"a\"=\"x\"\r\n[HKLM\\SOFTWARE\\Quorvel\\Keystrider]\r\n", 3,
         "before any key section"},
        {"value after a key deletion",
         good + "[-HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Old]\r\n\"a\"=-\r\n", 5,
         "follows a key deletion"},
        {"stray line", good + "hello\r\n", 4, "neither a key section nor a value"},
        {"invalid UTF-8 in a Version 5.00 file", good + "\"a\"=\"\xE9\"\r\n", 4, "not valid UTF-8"},
        {"unpaired surrogate",
         utf16File(crlf({u"Windows Registry Editor Version 5.00",
                         u"[HKLM\\SOFTWARE\\Quorvel\\Keystrider]"}) +
                   u"\"a\"=\"\xD83D\"\r\n"),
         3, "not valid UTF-16LE"},
        {"odd UTF-16 length", utf16File(u"Windows Registry Editor Version 5.00\r\n") + "x", 2,
         "not valid UTF-16LE"},
    };
    set("Macros\\Existing", "v", kTypeDword, dwordBytes(5));
    const std::vector<std::string> before = dump(*tree);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<RegError> error = import(*tree, c.file);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->line, c.line) << error->message;
        EXPECT_NE(error->message.find(c.message), std::string::npos) << error->message;
        EXPECT_EQ(dump(*tree), before);
    }
}

TEST_F(RegFileTest, AFailingWriteRollsTheWholeFileBack) {
    set("Macros\\Existing", "v", kTypeDword, dwordBytes(5));
    failWritesOf("Poison");
    const std::vector<std::string> before = dump(*tree);
    const std::string file = crlf8({
        "Windows Registry Editor Version 5.00",
        "[-HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Existing]",
        "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\New]",
        "\"a\"=dword:00000001",
        "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Other]",
        "\"b\"=\"text\"",
        "\"Poison\"=\"x\"",
        "\"c\"=\"never\"",
    });
    const std::optional<RegError> error = import(*tree, file);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, 7u);
    EXPECT_NE(error->message.find("disk is full"), std::string::npos) << error->message;
    EXPECT_EQ(dump(*tree), before);
}

TEST_F(RegFileTest, DeletionsRemoveKeysAndValuesAndKeyCanBeRebuilt) {
    set("Macros\\A\\B", "x", kTypeDword, dwordBytes(1));
    set("Macros\\C", "x", kTypeDword, dwordBytes(1));
    set("Macros\\C", "y", kTypeDword, dwordBytes(2));
    set("Macros\\D", "old", kTypeDword, dwordBytes(3));
    const std::string file = crlf8({
        "REGEDIT4",
        "[-HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\a]",
        "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\C]",
        "\"X\"=-",
        "[-HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\D]",
        "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\D]",
        "\"new\"=dword:00000004",
    });
    ASSERT_FALSE(import(*tree, file));
    const std::vector<std::string> expected = {
        "[]",          "[Macros]",
        "[Macros\\C]", "y|4|" + asString(dwordBytes(2)),
        "[Macros\\D]", "new|4|" + asString(dwordBytes(4)),
    };
    EXPECT_EQ(dump(*tree), expected);
}

TEST_F(RegFileTest, ParsedOperationsCarryTheirLines) {
    const RegParse parsed = parseRegFile(crlf8({
        "REGEDIT4",
        "",
        "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\K]",
        "\"a\"=hex:01,\\",
        "  02",
        "\"b\"=-",
        "[-HKLM\\SOFTWARE\\Quorvel\\Keystrider\\K\\Sub]",
    }));
    ASSERT_TRUE(parsed.ok()) << parsed.error->message;
    using Kind = RegOperation::Kind;
    const std::vector<std::tuple<Kind, std::size_t, std::string, std::string>> expected = {
        {Kind::CreateKey, 3, "K", ""},
        {Kind::SetValue, 4, "K", "a"},
        {Kind::DeleteValue, 6, "K", "b"},
        {Kind::DeleteKey, 7, "K\\Sub", ""},
    };
    ASSERT_EQ(parsed.operations.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const RegOperation& op = parsed.operations[i];
        EXPECT_EQ(std::make_tuple(op.kind, op.line, op.key, op.name), expected[i]) << i;
    }
}

}  // namespace
}  // namespace ks::test
