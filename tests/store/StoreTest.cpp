#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "StoreFixture.h"
#include "core/Result.h"
#include "core/Utf8.h"
#include "store/LayoutConversion.h"
#include "store/RegFile.h"
#include "store/StorePath.h"
#include "storetool/StoreTool.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;

using SettingsStoreTest = StoreFixture;

const std::string kMacros = "Software\\Quorvel\\Keystrider\\Macros\\";

// Reads and writes through each spelling of a key, in any case, are every store user's tests;
// here the root's keys made at the start and the rules of texts, options and error texts.
TEST_F(SettingsStoreTest, RootKeysTextsOptionsAndErrorTexts) {
    ASSERT_TRUE(store->EnsureRootKeys());
    EXPECT_TRUE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals"));
    EXPECT_TRUE(messages.shown.empty());
    // Text reads up to its first zero, with or without one at the end; an option is on only
    // when it is exactly 1; error texts are limited.
    EXPECT_EQ(textFromBytes(Bytes{'a', 0, 'b'}) + textFromBytes(Bytes{'c'}), "ac");
    EXPECT_FALSE(store->OptionOn("ExpansionOn"));
    ASSERT_TRUE(store->SetDword(kDirectRoot, "ExpansionOn", 2));
    EXPECT_FALSE(store->OptionOn("ExpansionOn"));
    ASSERT_TRUE(store->SetDword(kDirectRoot, "ExpansionOn", 1));
    EXPECT_TRUE(store->OptionOn("ExpansionOn"));
    EXPECT_EQ(limitedError(std::string(1500, 'e')).size(), 1000u);
    EXPECT_EQ(limitedError("ééé", 2), "éé");
}

// Each failing operation, in turn, shows its own box ("~" stands for the Macros key), or none
// where it says so; none changes what was stored.
TEST_F(SettingsStoreTest, FailuresShowTheirOwnMessageAndChangeNothing) {
    const std::string command = "M\\Commands\\0";
    ASSERT_TRUE(store->EnsureRootKeys());
    ASSERT_TRUE(store->CreateMacroKey(command));
    ASSERT_TRUE(store->WriteMacroString("old", command, "DelayInterval"));
    ASSERT_TRUE(tree->writeValue(kMacros + "M", "Long", kTypeBinary, Bytes(5, 1)));
    failWritesOf("DelayInterval");
    execOnFile(
        "CREATE TRIGGER no_delete BEFORE DELETE ON keys WHEN OLD.name = 'M' "
        "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    KeyTree readOnlyTree(file(), KeyTree::Access::ReadOnly);
    SettingsStore readOnly(readOnlyTree, messages);
    KeyTree(dir.file("new.db")).openStatus();
    KeyTree emptyTree(dir.file("new.db"), KeyTree::Access::ReadOnly);
    // The call failed, showing `shown` ("": no box) as an error (or as a warning).
    const auto failedShowing = [&](bool succeeded, std::string shown, bool error) {
        if (const auto at = shown.find('~'); at != std::string::npos) shown.replace(at, 1, kMacros);
        EXPECT_FALSE(succeeded) << shown;
        EXPECT_EQ(messages.texts(), shown.empty() ? Texts{} : Texts{shown});
        EXPECT_TRUE(error ? messages.allShownAs("Error", MsgIcon::Stop)
                          : messages.allShownAs("Attention", MsgIcon::Exclamation));
        for (const auto& box : messages.shown) EXPECT_EQ(box.owner, MsgOwner::None);
        messages.clear();
    };
    failedShowing(store->WriteMacroString("x", "Nope", "Value"),
                  "Error accessing registry - The key does not exist.", false);
    failedShowing(store->ReadDword("\\Macros\\Nope", "id").has_value(),
                  "Error opening key in reigistry at: ~Nope, error: The key does not exist.",
                  false);
    failedShowing(store->ReadDword("\\Macros\\M", "Long").has_value(),
                  "Error reading DWORD from reigistry at: ~M\\Long, error: More data is available.",
                  false);
    std::string out = "old";
    failedShowing(
        store->ReadMacroString("M", "Missing", out) || !out.empty(),
        "Error reading value in reigistry at: ~M\\Missing, error: The value does not exist.",
        false);
    failedShowing(store->DeleteKeyTree(kMacros + "Nope"),
                  "Error opening key ~Nope in the registry - The key does not exist.", false);
    failedShowing(store->CreateMacroKey(""), "Error creating key ~ - The key name is empty.", true);
    failedShowing(store->CreateMacroKey("a\\\\b"),
                  "Error creating key ~a\\\\b - The key name is invalid.", true);
    // One transaction: a delete failing half way leaves the macro whole.
    failedShowing(store->DeleteKeyTree(kMacros + "M"), "", false);
    failedShowing(store->WriteMacroString("new", command, "DelayInterval"),
                  "Error writing ~M\\Commands\\0\\DelayInterval - database or disk is full", true);
    failedShowing(SettingsStore(emptyTree, messages).EnsureRootKeys(),
                  "Error creating Quorvel key! - attempt to write a readonly database", true);
    EXPECT_TRUE(readOnly.EnsureRootKeys());  // reading still works
    EXPECT_EQ(store->GetText(kMacros + command, "DelayInterval"), "old");
    EXPECT_TRUE(tree->keyExists(kMacros + command));
}

using KeyTreeTest = StoreFixture;

// Names compare with each character upper-cased on its own; sub-keys enumerate in that order,
// by index out of sequence too. A walk 0, 1, 2, ... goes on from the last name given rather
// than counting from the first again (which would make it quadratic), unless this store wrote
// since: then it counts afresh.
TEST_F(KeyTreeTest, SubKeysEnumerateInCaseInsensitiveOrderGoingOnFromTheLastName) {
    const std::string m = "SOFTWARE\\M";
    for (const char* name : {"beta", "Alpha", "alpha2", "GAMMA", "10", "9", "Zeta", "émile"})
        ASSERT_TRUE(tree->createKey(m + "\\" + name));
    const Texts expected = {"10", "9", "Alpha", "alpha2", "beta", "GAMMA", "Zeta", "émile"};
    Texts walked;
    for (std::size_t i = 0; auto name = tree->enumKey(m, i); ++i) walked.push_back(*name);
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(*tree->subKeys("software\\m"), expected);
    EXPECT_TRUE(tree->keyExists("Software\\m\\ÉMILE"));
    EXPECT_EQ(*tree->enumKey(m, 5), "GAMMA");
    EXPECT_FALSE(tree->enumKey(m, 8));
    ASSERT_TRUE(tree->deleteTree(m + "\\10"));  // as a bottom-up delete does at index 0
    EXPECT_EQ(*tree->enumKey(m, 0), "9");
    EXPECT_EQ(*tree->enumKey(m, 1), "Alpha");
    // A key another process deletes between two steps makes none of the others skipped.
    ASSERT_TRUE(KeyTree(file()).deleteTree(m + "\\9"));
    EXPECT_EQ(*tree->enumKey(m, 2), "alpha2");
    ASSERT_TRUE(tree->deleteTree(m + "\\alpha2"));
    EXPECT_EQ(*tree->enumKey(m, 3), "Zeta");
}

TEST_F(KeyTreeTest, MissingKeysAndValuesAndAnUnreadableFileAreToldApart) {
    ASSERT_TRUE(tree->createKey("SOFTWARE\\K"));
    EXPECT_EQ(tree->readValue("SOFTWARE\\Nope", "x").error(), KeyTree::kMissingValue);
    EXPECT_EQ(tree->deleteValue("SOFTWARE\\K", "x").error(), KeyTree::kMissingValue);
    EXPECT_FALSE(tree->createKey("SOFTWARE\\" + std::string(256, 'x')));
    EXPECT_TRUE(tree->createKey("SOFTWARE\\" + std::string(255, 'x')));

    std::ofstream(dir.file("garbage.db")) << std::string(100, 'x');
    KeyTree broken(dir.file("garbage.db"));
    EXPECT_EQ(broken.openStatus().error(), "file is not a database");
}

// A whole sub-tree goes and nothing beside it; a failed step in a transaction undoes only itself.
TEST_F(KeyTreeTest, DeletesAndFailedStepsTakeAwayExactlyTheirOwn) {
    for (const char* key : {"SOFTWARE\\M\\a\\Commands\\0", "SOFTWARE\\M\\a\\Schedule\\0",
                            "SOFTWARE\\M\\ab\\Commands\\0", "SOFTWARE\\M\\a]"})
        ASSERT_TRUE(tree->setValue(key, "id", kTypeDword, dwordBytes(1)));
    ASSERT_TRUE(tree->deleteTree("software\\m\\A"));
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\M\\a"));
    EXPECT_TRUE(tree->readValue("SOFTWARE\\M\\ab\\Commands\\0", "id"));
    EXPECT_TRUE(tree->readValue("SOFTWARE\\M\\a]", "id"));
    // Recreating the key finds none of the old values below it.
    ASSERT_TRUE(tree->createKey("SOFTWARE\\M\\a\\Commands\\0"));
    EXPECT_FALSE(tree->readValue("SOFTWARE\\M\\a\\Commands\\0", "id"));

    failWritesOf("bad");
    KeyTree::Transaction transaction(*tree);
    ASSERT_TRUE(tree->setValue("SOFTWARE\\T", "a", kTypeDword, dwordBytes(1)));
    EXPECT_EQ(tree->setValue("SOFTWARE\\T\\Inner", "bad", kTypeDword, dwordBytes(1)).error(),
              "database or disk is full");
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\T\\Inner"));  // the failed step's key went with it
    ASSERT_TRUE(transaction.commit());
    EXPECT_TRUE(tree->readValue("SOFTWARE\\T", "a"));
}

class LayoutConversionTest : public StoreFixture {
protected:
    void SetUp() override { ASSERT_TRUE(store->EnsureRootKeys()); }

    // The value at "key\name" below Macros as "sz:TEXT" or "dword:N", "-" when it is missing.
    std::string shown(const std::string& path) {
        const std::size_t slash = path.rfind('\\');
        auto v = tree->readValue(kMacros + path.substr(0, slash), path.substr(slash + 1));
        if (!v) return "-";
        if (v->type == kTypeDword) return "dword:" + std::to_string(*dwordFromBytes(v->data));
        return (v->type == kTypeText ? "sz:" : "?:") + textFromBytes(v->data);
    }
};

TEST_F(LayoutConversionTest, ConvertsEveryOldCommandOnce) {
    // The command below Macros, its id, a number the old layout stored (if any), and a value
    // checked after the conversion, in the command's key or below it.
    const std::tuple<std::string, std::uint32_t, const char*, std::uint32_t, std::string,
                     const char*>
        cases[] = {
            {"b\\Commands\\0", 0x1003, "BufIndex", 0xFFFFFFFF, "BufIndex", "sz:-1"},  // signed
            {"b\\Commands\\1", 0x100B, "", 0, "WaitWindowTimeout", "sz:[T]"},  // text already
            {"b\\Commands\\2", 0x1012, "XCoord", 10, "XABCoord", "sz:10"},
            {"b\\Commands\\2", 0x1012, "YCoord", 20, "YABCoord", "sz:20"},
            {"b\\Commands\\2", 0x1012, "", 0, "IsAB", "dword:1"},
            {"b\\Commands\\2", 0x1012, "", 0, "XCoord", "-"},
            {"b\\Commands\\3", 0x1012, "XRELCoord", 0xFFFFFFFD, "XRELCoord", "sz:-3"},
            {"b\\Commands\\3", 0x1012, "", 0, "IsAB", "-"},
            {"b\\Commands\\4", 0x1008, "UseGMT", 1, "UseGMT", "dword:0"},
            {"b\\Commands\\4", 0x1008, "", 0, "3\\Order", "dword:4294967295"},
            {"b\\Commands\\5", 0x1007, "", 0, "0\\Include", "-"},  // a time without UseGMT is new
            {"b\\Commands\\6", 0x1009, "", 0, "TimeOut", "sz:0"},
            {"b\\Commands\\7", 0x1009, "MsgBoxType", 4, "TimeOut", "-"},
            // After a gap in the numbering: not a command of the macro, left as it is.
            {"b\\Commands\\9", 0x1000, "DelayInterval", 7, "DelayInterval", "dword:7"},
            {"A\\Commands\\0", 0x1000, "DelayInterval", 250, "DelayInterval", "sz:250"},
        };
    const auto dword = [&](const std::string& key, const char* name, std::uint32_t number) {
        ASSERT_TRUE(tree->setValue(kMacros + key, name, kTypeDword, dwordBytes(number)));
    };
    for (const auto& [command, id, oldName, oldNumber, name, value] : cases) {
        dword(command, "id", id);
        if (*oldName) dword(command, oldName, oldNumber);
    }
    // A timeout stored as text already; from an export of today's layout, a SEND DATE with its
    // elements, which it keeps.
    load(
        "[Macros\\b\\Commands\\1]\n\"WaitWindowTimeout\"=\"[T]\"\n"
        "[Macros\\m\\Commands\\0]\n\"id\"=dword:1008\n\"UseGMT\"=dword:1\n"
        "[Macros\\m\\Commands\\0\\0]\n\"Format\"=dword:5");
    convertStoreLayout(*store);
    EXPECT_EQ(shown("m\\Commands\\0\\UseGMT"), "dword:1");
    for (const auto& [command, id, oldName, oldNumber, name, value] : cases)
        EXPECT_EQ(shown(command + "\\" + name), value) << command << " " << name;
    EXPECT_EQ(store->GetDword(kDirectRoot, "CnvDone"), 2002u);
    EXPECT_TRUE(messages.shown.empty());

    dword("A\\Commands\\0", "DelayInterval", 9);
    convertStoreLayout(*store);
    EXPECT_EQ(shown("A\\Commands\\0\\DelayInterval"), "dword:9");
}

// Both leave the store unconverted, to be tried again at the next start.
TEST_F(LayoutConversionTest, FailuresAreReported) {
    KeyTree readOnlyTree(file(), KeyTree::Access::ReadOnly);
    SettingsStore readOnly(readOnlyTree, messages);
    convertStoreLayout(readOnly);
    ASSERT_TRUE(tree->deleteTree("Software\\Quorvel\\Keystrider\\Macros"));
    convertStoreLayout(*store);
    EXPECT_EQ(
        messages.texts(),
        (Texts{"Error saving the converted store - attempt to write a readonly database\n"
               "Keystrider may not function properly.",
               "Error opening key Software\\Quorvel\\Keystrider\\Macros in the registry - The "
               "key does not exist.\nKeystrider may not function properly."}));
    EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Exclamation));
    EXPECT_FALSE(store->GetDword(kDirectRoot, "CnvDone"));
}

constexpr const char* kValueNames[] = {"v0", "v1", "v2", "v3", "v4"};

std::string macroKey(int writer, std::uint32_t i) {
    return "SOFTWARE\\Crash" + std::to_string(writer) + "\\m" + std::to_string(i % 64);
}

// Writes macro i = 0, 1, ... as five values holding i, in one transaction each, and reports
// each finished one on `reportFd`, until killed; exits at once when a write fails.
[[noreturn]] void writeUntilKilled(const std::string& file, int writer, int reportFd) {
    KeyTree tree(file);
    for (std::uint32_t i = 0;; ++i) {
        KeyTree::Transaction transaction(tree);
        for (const char* name : kValueNames)
            if (!tree.setValue(macroKey(writer, i), name, kTypeDword, dwordBytes(i))) _exit(3);
        if (!transaction.commit()) _exit(3);
        if (write(reportFd, &i, sizeof i) != sizeof i) _exit(4);
    }
}

// Two processes write at once, neither ever failing, and are killed in the middle of their work:
// each loses nothing it reported finished.
TEST(ProcessSafety, ConcurrentWritersNeverFailAndKilledOnesLoseNothingReportedFinished) {
    TempDir dir;
    const std::string file = dir.file("store.db");
    KeyTree(file).openStatus();  // the schema before the race
    int fds[2][2];
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        ASSERT_EQ(pipe(fds[w]), 0);
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) writeUntilKilled(file, w, fds[w][1]);
        close(fds[w][1]);
    }
    // Both are well under way (on a loaded machine that may take a while) before the kill.
    std::uint32_t reported[2] = {0, 0};  // macros 0 .. reported - 1 are finished
    const auto readReports = [&](int w, std::uint32_t upTo) {
        for (std::uint32_t i; reported[w] < upTo && read(fds[w][0], &i, sizeof i) == sizeof i;)
            reported[w] = i + 1;
    };
    for (int w = 0; w < 2; ++w) readReports(w, 20);
    KeyTree tree(file);
    for (int w = 0; w < 2; ++w) {
        int status = 0;
        kill(writers[w], SIGKILL);
        waitpid(writers[w], &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself: " << WEXITSTATUS(status);
        readReports(w, UINT32_MAX);
        close(fds[w][0]);
        ASSERT_TRUE(tree.integrityCheck());
        // The last 63 finished macros hold their own number in all five values; the one in flight
        // at the kill (sharing its key with the 64th last) is all there or not there at all.
        const std::uint32_t first = reported[w] >= 63 ? reported[w] - 63 : 0;
        for (std::uint32_t i = first; i <= reported[w]; ++i) {
            std::set<std::uint32_t> held;
            for (const char* name : kValueNames) {
                const auto value = tree.readValue(macroKey(w, i), name);
                held.insert(value ? *dwordFromBytes(value->data) : ~0u);
            }
            EXPECT_EQ(held.size(), 1u) << i;
            EXPECT_TRUE(i == reported[w] || *held.begin() == i) << i << " holds " << *held.begin();
        }
    }
}

TEST(NameRuleTest, BackslashesAndControlCharactersAreRefused) {
    using enum NameFault;
    const std::pair<const char*, std::optional<NameFault>> cases[] = {
        {"Backup (naïve) 😀", std::nullopt},
        {"a\\b", Backslash},
        {"a\nb", ControlCharacter},
        {"\xc2\x85", ControlCharacter},
        {"\xe2\x80\xa8", ControlCharacter}};
    for (const auto& [name, fault] : cases) EXPECT_EQ(itemNameFault(name), fault) << name;
}

TEST(ExpectedTest, MadeFromASuccessItIsAFailureWithAText) {
    EXPECT_EQ(Expected<int>(Result::success()).error(), kSuccessWithoutValue);
}

TEST(Utf8, UpperCasesEachCharacterOnItsOwnAndRejectsMalformedSequences) {
    // ß has no one-character upper case: it stays; a stray byte passes through untouched.
    const std::pair<const char*, const char*> cases[] = {
        {"Über", "ÜBER"}, {"ǆ", "Ǆ"}, {"straße", "STRAßE"}, {"a\xff-", "A\xff-"}};
    for (const auto& [in, out] : cases) EXPECT_EQ(utf8::upper(in), out) << in;
    for (const char* bad : {"\xc3", "\xc0\x80", "\xed\xa0\x80", "\x80"}) {
        const auto cp = utf8::decode(bad, 0);
        EXPECT_FALSE(cp.valid) << bad;
        EXPECT_EQ(cp.length, 1u);
    }
}

// keystrider-store's commands, run in-process.
class StoreToolTest : public ::testing::Test {
protected:
    // The exit status, then the output or the one message.
    std::string run(Texts args, const std::string& input = {}) {
        if (args.empty() || !args[0].starts_with("--"))
            args.insert(args.begin(), {"--store", store});
        std::istringstream in(input);
        std::ostringstream out;
        RecordingMessages messages;
        const int exit = runStoreTool(args, in, out, messages);
        EXPECT_EQ(messages.shown.size(), exit == 0 ? 0u : 1u);
        return std::to_string(exit) + " " + (exit == 0 ? out.str() : messages.texts().front());
    }

    std::string ok(const Texts& args, const std::string& input = {}) {
        const std::string result = run(args, input);
        EXPECT_EQ(result.substr(0, 2), "0 ") << result;
        return result.substr(2);
    }

    TempDir dir;
    std::string store = dir.file("store.db");
};

TEST_F(StoreToolTest, EveryCommandRoundTrips) {
    for (const Texts& args : std::vector<Texts>{
             {"set", "", "SPMouse", "sz", "x"},
             {"set", "\\", "", "sz", "naïve \"x\" 😀"},
             {"set", "", "Blob", "binary", "AB 0a"},
             {"set", "", "spmouse", "dword", "0x205"},  // keeps its place and spelling
             {"set", "", "Max", "dword", "0XfFfFfFfF"},
             {"set", "", "None", "binary", ""},
             {"set", "Macros\\beta\\Commands\\0", "id", "dword", "4096"},
             {"set", "Macros\\Alpha", "vk", "dword", "65"}})
        ok(args);
    EXPECT_EQ(ok({"get", ""}),
              "SPMouse\tdword\t517\n\tsz\tnaïve \"x\" 😀\nBlob\tbinary\tab 0a\n"
              "Max\tdword\t4294967295\nNone\tbinary\t\n");
    EXPECT_EQ(ok({"get", "macros\\ALPHA", "VK"}), "65\n");
    EXPECT_EQ(ok({"list", "Macros"}), "Alpha\nbeta\n");
    EXPECT_NE(ok({"--help"}).find("Exit status"), std::string::npos);

    const std::string whole = ok({"export"});
    std::ofstream(dir.file("whole.reg"), std::ios::binary) << whole;
    const std::string part = ok({"export", "macros\\beta"});
    store = dir.file("second/store.db");
    ok({"import", dir.file("whole.reg")});
    // A new store filled by import is marked converted, as a first start marks it.
    EXPECT_EQ(ok({"get", "", "CnvDone"}), "2002\n");
    EXPECT_EQ(ok({"--store=" + store, "export", "\\Macros\\Beta"}), part);
    ok({"import", "-"},
       "REGEDIT4\n[HKLM\\SOFTWARE\\Quorvel\\Keystrider]\n\"Short\"=hex(4):01,02\n");
    EXPECT_EQ(ok({"get", "", "Short"}), "01 02\n");

    ok({"delete", "Macros\\beta\\Commands\\0", "ID"});
    EXPECT_EQ(ok({"get", "Macros\\beta\\Commands\\0"}), "");
    ok({"delete", "Macros\\beta"});

    ASSERT_TRUE(KeyTree(store).createKey(storePath("Macros\\a\nb")));
    EXPECT_EQ(ok({"list", "Macros"}), "a\nb\nAlpha\n");
    ok({"delete", "Macros\\a\nb"});
    EXPECT_EQ(ok({"list", "Macros"}), "Alpha\n");
}

// Bad usage and bad data exit with 2, a missing key or value with 1, changing nothing.
TEST_F(StoreToolTest, FailuresExitWithTheirStatusAndChangeNothing) {
    std::ofstream(dir.file("bad.reg")) << "REGEDIT4\n[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\New]\n"
                                          "\"a\"=dword:00000001\n\"b\"=hex(2):00,00\n";
    std::vector<std::pair<int, Texts>> cases = {
        {2, {"--verbose", "list", ""}},
        {2, {"--store="}},
        {2, {}},
        {2, {"frobnicate"}},
        {2, {"list", "a", "b"}},
        {2, {"import"}},
        {2, {"delete", "\\"}},
        {2, {"set", "Macros\\\\A", "v", "dword", "1"}},
        {2, {"set", "Macros\\A", "two\nlines", "dword", "1"}},
        {2, {"import", dir.file("missing.reg")}},
        {0, {"set", "Macros\\A", "v", "dword", "1"}},
        {1, {"get", "Macros\\B"}},
        {1, {"get", "Macros\\A", "w"}},
        {1, {"delete", "Macros\\A", "w"}},
        {1, {"export", "Macros\\A\\Sub"}},
        {2, {"import", dir.file("bad.reg")}},
    };
    // Data `set` refuses for its kind.
    const std::pair<const char*, const char*> refused[] = {
        {"qword", "1"},       {"dword", "4294967296"}, {"dword", "12a"},  {"dword", "0x"},
        {"binary", "0a  ff"}, {"binary", "0"},         {"binary", "0a "}, {"binary", "zz"}};
    for (const auto& [kind, data] : refused)
        cases.push_back({2, {"set", "Macros\\A", "v", kind, data}});
    for (const auto& [exit, args] : cases)
        EXPECT_EQ(run(args)[0] - '0', exit) << testing::PrintToString(args);
    EXPECT_NE(run({"import", dir.file("bad.reg")}).find("bad.reg:4: "), std::string::npos);
    EXPECT_EQ(ok({"list", "Macros"}), "A\n");
    EXPECT_EQ(ok({"get", "Macros\\A"}), "v\tdword\t1\n");
    // Reading never creates a store.
    EXPECT_EQ(run({"--store", dir.file("none/store.db"), "list", ""})[0], '1');
    EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
}

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

class RegFileTest : public StoreFixture {
protected:
    // Parses and applies; the error, if any. A refused file yields no operations.
    std::optional<RegError> import(KeyTree& target, std::string_view bytes) {
        const RegParse parsed = parseRegFile(bytes);
        EXPECT_TRUE(parsed.ok() || parsed.operations.empty());
        return parsed.ok() ? applyRegOperations(target, parsed.operations) : parsed.error;
    }

    std::string exported(KeyTree& source, std::string_view key = "") {
        auto file = exportRegFile(source, key);
        EXPECT_TRUE(file) << file.error();
        return file ? std::string(file->begin(), file->end()) : std::string();
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
    Bytes sixty(60);
    std::iota(sixty.begin(), sixty.end(), 0);
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
    ASSERT_FALSE(import(*tree, utf16(reg(kV5 + R"(
[~\Macros\New]
"Num" = dword:0000002A
   "Bin"=hex:01,02,\
    03 , FF
"Bytes3"=hex(3):0a

[hklm\software\QUORVEL\keystrider\Macros\OLD]
"GONE"=-
[-~\Macros\doomed]
[-~\Macros\NeverThere]
[HKLM\SOFTWARE\Quorvel\Keystrider\Macros\Empty])"))));
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

)")));
}

// A file imports, after which the root's value T reads `text`, or is refused at `line` with a
// message holding `text`, changing nothing.
TEST_F(RegFileTest, FilesImportOrAreRefusedWithTheirLineNumber) {
    const auto r4 = [](std::string_view body) {
        return reg("REGEDIT4\n[~]\n" + std::string(body));
    };
    // Three good lines first, so that a refused file would have had something to write.
    const auto bad = [](std::string_view line) {
        return reg(kV5 + "[~\\New]\n\"v\"=dword:00000001\n" + std::string(line));
    };
    // The file, the line it is refused at (0: it imports) and the text.
    const std::tuple<std::string, std::size_t, std::string> cases[] = {
        {r4("\"T\"=\"caf\xE9 \xA3 5\""), 0, "café £ 5"},  // not UTF-8: Latin-1
        {r4("\"T\"=\"caf\xC3\xA9 \xE2\x82\xAC\""), 0, "café €"},
        {r4("\"T\"=hex(1):63,61,66,e9,00"), 0, "café"},
        {reg(kV5 + "[~]\n\"T\"=\"\xC3\xA9\""), 0, "é"},
        {"\xEF\xBB\xBF" + reg(kV5 + "[~]\n\"T\"=\"\xC3\xA9\""), 0, "é"},
        {reg(" \tREGEDIT4\n[~\\Sub\\]\n[~]\n\"T\"=\"x\""), 0, "x"},
        {r4("# c\n; c\n\"T\"=\"x;y\" ;note\n\"D\"=dword:00001234 ;note\n\"E\"=- ;note"), 0, "x;y"},
        {r4("\"T\"=hex(1):61,\\ ;note\n\n  ; c\n# c\n  62,00 ;note"), 0, "ab"},
        {r4("\"T\"=hex(1):61,62,00,\\"), 0, "ab"},  // the file ends as if a line break followed
        {"REGEDIT4\r[HKLM\\SOFTWARE\\Quorvel\\Keystrider]\r", 1, "carriage return alone"},
        {"", 1, "does not begin with"},
        {"\xFE\xFF", 1, "big-endian"},
        {bad("\"a\"=\"open"), 4, "no closing quotation mark"},
        {bad("\"a\"=\"x\\n\""), 4, "Bad escape \"\\n\""},
        {bad("\"a\"=\"x\" y"), 4, "after the closing quotation mark"},
        {bad("\"a\" \"x\""), 4, "equals sign"},
        {bad("\"a\"=qword:1"), 4, "none of"},
        {bad("\"a\"=hex:01,\\\n  02,\\\n  0g"), 6, "\"0g\""},
        {bad("\"a\"=hex:11,22,33,4\\\n  4,55,66"), 4, "follow a comma"},
        {bad("\"a\"=hex:4,55"), 4, "Bad hex byte \"4\""},
        {bad("\"a\"=hex:11,\\\n  22,\\\n\"b\"=\"x\""), 6, "line 4 goes on"},
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
    for (const auto& [file, line, text] : cases) {
        SCOPED_TRACE(file);
        const std::string before = exported(*tree);
        const std::optional<RegError> error = import(*tree, file);
        if (line == 0) {
            ASSERT_FALSE(error) << error->message;
            EXPECT_EQ(tree->readValue(kDirectRoot, "T")->data, textBytes(text));
            continue;
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->line, line) << error->message;
        EXPECT_NE(error->message.find(text), std::string::npos) << error->message;
        EXPECT_EQ(exported(*tree), before);
    }
}

}  // namespace
}  // namespace ks::test
