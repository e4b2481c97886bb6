#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "StoreFixture.h"
#include "core/Result.h"
#include "core/Utf8.h"
#include "store/LayoutConversion.h"
#include "store/StoreKey.h"
#include "storetool/StoreTool.h"

namespace ks::test {
namespace {

using SettingsStoreTest = StoreFixture;

const std::string kMacros = "Software\\Quorvel\\Keystrider\\Macros\\";

TEST_F(SettingsStoreTest, WritesAndReadsThroughEverySpellingOfTheRoot) {
    ASSERT_TRUE(store->EnsureRootKeys());
    ASSERT_TRUE(store->EnsureRootKeys());
    EXPECT_TRUE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals"));
    ASSERT_TRUE(store->CreateMacroKey("Greeting\\Commands\\0"));
    ASSERT_TRUE(store->WriteDword(4116, "\\Macros\\Greeting\\Commands\\0", "id"));
    ASSERT_TRUE(store->WriteMacroString("Hello", "Greeting\\Commands\\0", "SendKeysString"));
    const std::uint8_t bytes[] = {1, 2, 3, 0, 5};
    ASSERT_TRUE(store->CreateRecordingKey("Rec"));
    ASSERT_TRUE(store->WriteBinary(bytes, sizeof bytes, "\\Journals\\Rec", "0"));

    EXPECT_EQ(store->GetDword("SOFTWARE\\Quorvel\\Keystrider\\Macros\\greeting\\commands\\0", "ID"),
              4116u);
    std::string text = "stale";
    ASSERT_TRUE(store->ReadMacroString("GREETING\\Commands\\0", "sendkeysstring", text));
    EXPECT_EQ(text, "Hello");
    EXPECT_EQ(store->ReadBinary("\\Journals\\Rec", "0"), Bytes(bytes, bytes + 5));
    EXPECT_EQ(store->ReadDword("\\Macros\\Greeting\\Commands\\0", "id"), 4116u);
    EXPECT_TRUE(store->CommandExists("Greeting\\Commands\\0"));
    ASSERT_TRUE(store->DeleteKeyTree(kMacros + "Greeting"));
    EXPECT_FALSE(store->CommandExists("Greeting\\Commands\\0"));

    // Text reads up to its first zero, with or without one at the end.
    EXPECT_EQ(textFromBytes(Bytes{'a', 0, 'b'}) + textFromBytes(Bytes{'c'}), "ac");
    EXPECT_TRUE(messages.shown.empty());
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
    const struct {
        std::function<bool()> operation;
        std::string text;  // "": no box
        bool error;        // or a warning
    } cases[] = {
        {[&] { return store->WriteMacroString("x", "Nope", "Value"); },
         "Error accessing registry - The key does not exist.", false},
        {[&] { return store->ReadDword("\\Macros\\Nope", "id").has_value(); },
         "Error opening key in reigistry at: ~Nope, error: The key does not exist.", false},
        {[&] { return store->ReadDword("\\Macros\\M", "Long").has_value(); },
         "Error reading DWORD from reigistry at: ~M\\Long, error: More data is available.", false},
        {[&] {
             std::string out = "old";
             return store->ReadMacroString("M", "Missing", out) || !out.empty();
         },
         "Error reading value in reigistry at: ~M\\Missing, error: The value does not exist.",
         false},
        {[&] { return store->DeleteKeyTree(kMacros + "Nope"); },
         "Error opening key ~Nope in the registry - The key does not exist.", false},
        {[&] { return store->CreateMacroKey(""); }, "Error creating key ~ - The key name is empty.",
         true},
        {[&] { return store->CreateMacroKey("a\\\\b"); },
         "Error creating key ~a\\\\b - The key name is invalid.", true},
        // One transaction: a delete failing half way leaves the macro whole.
        {[&] { return store->DeleteKeyTree(kMacros + "M"); }, "", false},
        {[&] { return store->WriteMacroString("new", command, "DelayInterval"); },
         "Error writing ~M\\Commands\\0\\DelayInterval - database or disk is full", true},
        {[&] { return readOnly.WriteDword(1, "\\Macros\\M", "repeat"); },
         "Error writing ~M\\repeat - attempt to write a readonly database", true},
        {[&] { return SettingsStore(emptyTree, messages).EnsureRootKeys(); },
         "Error creating Quorvel key! - attempt to write a readonly database", true},
    };
    for (const auto& c : cases) {
        messages.clear();
        std::string text = c.text;
        if (const auto at = text.find('~'); at != std::string::npos) text.replace(at, 1, kMacros);
        EXPECT_FALSE(c.operation()) << text;
        EXPECT_EQ(messages.texts(),
                  text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text});
        EXPECT_TRUE(c.error ? messages.allShownAs("Error", MsgIcon::Stop)
                            : messages.allShownAs("Attention", MsgIcon::Exclamation));
        for (const auto& box : messages.shown) EXPECT_EQ(box.owner, MsgOwner::None);
    }
    EXPECT_TRUE(readOnly.EnsureRootKeys());  // reading still works
    EXPECT_EQ(store->GetText(kMacros + command, "DelayInterval"), "old");
    EXPECT_TRUE(tree->keyExists(kMacros + command));
}

TEST_F(SettingsStoreTest, OptionIsOnOnlyWhenExactlyOne) {
    EXPECT_FALSE(store->OptionOn("ExpansionOn"));
    for (const std::uint32_t stored : {1u, 2u}) {
        ASSERT_TRUE(store->SetDword(kDirectRoot, "ExpansionOn", stored));
        EXPECT_EQ(store->OptionOn("ExpansionOn"), stored == 1) << stored;
    }
}

TEST_F(SettingsStoreTest, ErrorTextsAreLimited) {
    EXPECT_EQ(limitedError(std::string(1500, 'e')).size(), 1000u);
    EXPECT_EQ(limitedError("ééé", 2), "éé");
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
    const std::vector<std::string> expected = {"10",   "9",     "Alpha", "alpha2",
                                               "beta", "GAMMA", "Zeta",  "émile"};
    std::vector<std::string> walked;
    for (std::size_t i = 0; auto name = tree->enumKey(m, i); ++i) walked.push_back(*name);
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(*tree->subKeys("software\\m"), expected);
    EXPECT_TRUE(tree->keyExists("Software\\m\\ÉMILE"));
    EXPECT_EQ(*tree->enumKey(m, 5), "GAMMA");
    EXPECT_EQ(*tree->enumKey(m, 2), "Alpha");
    EXPECT_FALSE(tree->enumKey(m, 8));
    ASSERT_TRUE(tree->deleteTree(m + "\\Alpha"));
    EXPECT_EQ(*tree->enumKey(m, 2), "alpha2");
    ASSERT_TRUE(tree->deleteTree(m + "\\10"));  // as a bottom-up delete does at index 0
    EXPECT_EQ(*tree->enumKey(m, 0), "9");
    EXPECT_EQ(*tree->enumKey(m, 1), "alpha2");
    // A key another process deletes between two steps makes none of the others skipped.
    ASSERT_TRUE(KeyTree(file()).deleteTree(m + "\\9"));
    EXPECT_EQ(*tree->enumKey(m, 2), "beta");
    ASSERT_TRUE(tree->deleteTree(m + "\\beta"));
    EXPECT_EQ(*tree->enumKey(m, 3), "émile");
}

TEST_F(KeyTreeTest, MissingKeysAndValuesAndAnUnreadableFileAreToldApart) {
    ASSERT_TRUE(tree->createKey("SOFTWARE\\K"));
    EXPECT_EQ(tree->readValue("SOFTWARE\\K", "x").error(), KeyTree::kMissingValue);
    EXPECT_EQ(tree->readValue("SOFTWARE\\Nope", "x").error(), KeyTree::kMissingValue);
    EXPECT_EQ(tree->openKey("SOFTWARE\\Nope").error(), KeyTree::kMissingKey);
    EXPECT_EQ(tree->writeValue("SOFTWARE\\Nope", "x", kTypeDword, dwordBytes(1)).error(),
              KeyTree::kMissingKey);
    EXPECT_EQ(tree->deleteValue("SOFTWARE\\K", "x").error(), KeyTree::kMissingValue);
    EXPECT_FALSE(tree->createKey("SOFTWARE\\" + std::string(256, 'x')));
    EXPECT_TRUE(tree->createKey("SOFTWARE\\" + std::string(255, 'x')));

    std::ofstream(dir.file("garbage.db")) << std::string(100, 'x');
    KeyTree broken(dir.file("garbage.db"));
    EXPECT_EQ(broken.openStatus().error(), "file is not a database");
    EXPECT_EQ(broken.createKey("SOFTWARE\\X").error(), "file is not a database");
    EXPECT_EQ(broken.readValue("SOFTWARE", "x").error(), "file is not a database");
}

TEST_F(KeyTreeTest, DeleteTreeRemovesTheWholeSubTreeAndNothingBeside) {
    for (const char* key : {"SOFTWARE\\M\\a\\Commands\\0", "SOFTWARE\\M\\a\\Schedule\\0",
                            "SOFTWARE\\M\\ab\\Commands\\0", "SOFTWARE\\M\\a]"}) {
        ASSERT_TRUE(tree->setValue(key, "id", kTypeDword, dwordBytes(1)));
    }
    ASSERT_TRUE(tree->deleteTree("software\\m\\A"));
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\M\\a"));
    EXPECT_TRUE(tree->readValue("SOFTWARE\\M\\ab\\Commands\\0", "id"));
    EXPECT_TRUE(tree->readValue("SOFTWARE\\M\\a]", "id"));
    // Recreating the key finds none of the old values below it.
    ASSERT_TRUE(tree->createKey("SOFTWARE\\M\\a\\Commands\\0"));
    EXPECT_FALSE(tree->readValue("SOFTWARE\\M\\a\\Commands\\0", "id"));
}

TEST_F(KeyTreeTest, AFailedStepInATransactionUndoesOnlyItself) {
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

    // A value as "sz:TEXT" or "dword:N", "-" when it is missing.
    std::string shown(const std::string& key, const char* name) {
        auto v = tree->readValue(std::string(kDirectRoot) + "Macros\\" + key, name);
        if (!v) return "-";
        if (v->type == kTypeDword) return "dword:" + std::to_string(*dwordFromBytes(v->data));
        return (v->type == kTypeText ? "sz:" : "?:") + textFromBytes(v->data);
    }
};

// Each kind of command the old layout stored differently, converted once.
TEST_F(LayoutConversionTest, ConvertsEveryOldCommandOnce) {
    const struct {
        std::string command;  // below Macros
        std::uint32_t id;
        const char* oldName;  // a number the old layout stored, if any
        std::uint32_t oldNumber;
        std::string name;  // checked after the conversion, in the command's key or below it
        const char* value;
    } cases[] = {
        {"b\\Commands\\0", 0x1003, "BufIndex", 0xFFFFFFFF, "BufIndex", "sz:-1"},  // signed
        {"b\\Commands\\1", 0x100B, "", 0, "WaitWindowTimeout", "sz:[T]"},         // text already
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
        {"b\\Commands\\9", 0x1000, "DelayInterval", 7, "DelayInterval", "dword:7"},  // after a gap
        {"A\\Commands\\0", 0x1000, "DelayInterval", 250, "DelayInterval", "sz:250"},
    };
    const std::string macros = std::string(kDirectRoot) + "Macros\\";
    for (const auto& c : cases) {
        ASSERT_TRUE(tree->setValue(macros + c.command, "id", kTypeDword, dwordBytes(c.id)));
        if (*c.oldName) {
            ASSERT_TRUE(
                tree->setValue(macros + c.command, c.oldName, kTypeDword, dwordBytes(c.oldNumber)));
        }
    }
    ASSERT_TRUE(tree->setValue(macros + "b\\Commands\\1", "WaitWindowTimeout", kTypeText,
                               textBytes("[T]")));
    ConvertStoreLayout(*store);
    for (const auto& c : cases) {
        const std::size_t slash = c.name.rfind('\\');
        const std::string below = slash == std::string::npos ? "" : "\\" + c.name.substr(0, slash);
        EXPECT_EQ(shown(c.command + below, c.name.substr(slash + 1).c_str()), c.value)
            << c.command << " " << c.name;
    }
    EXPECT_EQ(store->GetDword(kDirectRoot, "CnvDone"), 2002u);
    EXPECT_TRUE(messages.shown.empty());

    ASSERT_TRUE(
        tree->setValue(macros + "A\\Commands\\0", "DelayInterval", kTypeDword, dwordBytes(9)));
    ConvertStoreLayout(*store);
    EXPECT_EQ(shown("A\\Commands\\0", "DelayInterval"), "dword:9");
}

// Both leave the store unconverted, to be tried again at the next start.
TEST_F(LayoutConversionTest, FailuresAreReported) {
    KeyTree readOnlyTree(file(), KeyTree::Access::ReadOnly);
    SettingsStore readOnly(readOnlyTree, messages);
    ConvertStoreLayout(readOnly);
    ASSERT_TRUE(tree->deleteTree("Software\\Quorvel\\Keystrider\\Macros"));
    ConvertStoreLayout(*store);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{
                  "Error saving the converted store - attempt to write a readonly database\n"
                  "Keystrider may not function properly.",
                  "Error opening key Software\\Quorvel\\Keystrider\\Macros in the registry - The "
                  "key does not exist.\nKeystrider may not function properly."}));
    EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Exclamation));
    EXPECT_FALSE(store->GetDword(kDirectRoot, "CnvDone"));
}

std::string macroKey(int writer, std::uint32_t i) {
    return "SOFTWARE\\Crash" + std::to_string(writer) + "\\m" + std::to_string(i % 64);
}

// Writes macro i = 0, 1, ... as five values holding i, in one transaction each, and reports
// each finished one on `reportFd`, until killed; exits at once when a write fails.
[[noreturn]] void writeUntilKilled(const std::string& file, int writer, int reportFd) {
    KeyTree tree(file);
    for (std::uint32_t i = 0;; ++i) {
        KeyTree::Transaction transaction(tree);
        for (int v = 0; v < 5; ++v) {
            const std::string name = "v" + std::to_string(v);
            if (!tree.setValue(macroKey(writer, i), name, kTypeDword, dwordBytes(i))) _exit(3);
        }
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
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    KeyTree tree(file);
    for (int w = 0; w < 2; ++w) {
        int status = 0;
        kill(writers[w], SIGKILL);
        waitpid(writers[w], &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself: " << WEXITSTATUS(status);
        std::uint32_t last = 0;
        std::uint32_t reports = 0;
        for (std::uint32_t i; read(fds[w][0], &i, sizeof i) == sizeof i; ++reports) last = i;
        close(fds[w][0]);
        ASSERT_GT(reports, 10u);
        ASSERT_TRUE(tree.integrityCheck());
        // The last 64 reported macros hold their own number in all five values (or the number
        // of the one in flight at the kill, which is all there or not there at all).
        std::set<std::uint32_t> inFlight;
        for (std::uint32_t i = last >= 63 ? last - 63 : 0; i <= last + 1; ++i) {
            for (int v = 0; v < 5; ++v) {
                auto value = tree.readValue(macroKey(w, i), "v" + std::to_string(v));
                const std::uint32_t stored = value ? *dwordFromBytes(value->data) : ~0u;
                if (i > last) {
                    inFlight.insert(stored);
                } else {
                    EXPECT_TRUE(stored == i || stored == last + 1) << i << " holds " << stored;
                }
            }
        }
        EXPECT_EQ(inFlight.size(), 1u);
    }
}

TEST(StoreKeyTest, EveryKeySpellsItsPathEachWayTheStoreTakesIt) {
    const std::pair<StoreKey, std::string> keys[] = {
        {StoreKey::root(), ""},
        {MacroKey("m").command(3).key(), "Macros\\m\\Commands\\3"},
    };
    for (const auto& [key, relative] : keys) {
        EXPECT_EQ(key.relative(), relative);
        EXPECT_EQ(key.rootSubpath(), "\\" + relative);
        EXPECT_EQ(key.treePath(),
                  "Software\\Quorvel\\Keystrider" + (relative.empty() ? "" : "\\" + relative));
        EXPECT_EQ(key.direct(), "SOFTWARE\\Quorvel\\Keystrider\\" + relative);
    }
    EXPECT_EQ(CommandKey("m", 12).macroSubpath(), "m\\Commands\\12");
    EXPECT_EQ(MacroKey("m").commandDirect(12),
              "SOFTWARE\\Quorvel\\Keystrider\\Macros\\m\\Commands\\12");
}

TEST(ExpectedTest, MadeFromASuccessItIsAFailureWithAText) {
    EXPECT_EQ(Expected<int>(Result::success()).error(), kSuccessWithoutValue);
    EXPECT_EQ(Expected<int>(Result::failure("gone")).error(), "gone");
}

TEST(Utf8, UpperCasesEachCharacterOnItsOwn) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"macro", "MACRO"},   {"Über", "ÜBER"},
        {"straße", "STRAßE"},                        // ß has no one-character upper case: it stays
        {"ǆ", "Ǆ"},           {"ﬁx", "ﬁX"},          // a ligature is not split into two letters
        {"日本", "日本"},     {"a\xff-", "A\xff-"},  // a stray byte passes through untouched
    };
    for (const Case& c : cases) EXPECT_EQ(utf8::upper(c.in), c.out) << c.in;
}

TEST(Utf8, DecodesAndRejectsMalformedSequences) {
    EXPECT_EQ(utf8::decode("é", 0).value, U'é');
    EXPECT_EQ(utf8::decode("😀", 0).length, 4u);
    for (const char* bad : {"\xc3", "\xe2\x82", "\xc0\x80", "\xed\xa0\x80", "\x80"}) {
        const auto cp = utf8::decode(bad, 0);
        EXPECT_FALSE(cp.valid) << bad;
        EXPECT_EQ(cp.length, 1u);
    }
    EXPECT_EQ(utf8::length("aé😀"), 3u);
    EXPECT_EQ(utf8::prefix("aé😀b", 3), "aé😀");
    EXPECT_EQ(utf8::encode(U'€'), "€");
}

// keystrider-store's commands, run in-process.
class StoreToolTest : public ::testing::Test {
protected:
    // The exit status, then the output or the one message.
    std::string run(std::vector<std::string> args, const std::string& input = {}) {
        if (args.empty() || !args[0].starts_with("--"))
            args.insert(args.begin(), {"--store", store});
        std::istringstream in(input);
        std::ostringstream out;
        RecordingMessages messages;
        const int exit = runStoreTool(args, in, out, messages);
        EXPECT_EQ(messages.shown.size(), exit == 0 ? 0u : 1u);
        return std::to_string(exit) + " " + (exit == 0 ? out.str() : messages.texts().front());
    }

    // The output of a command that must succeed.
    std::string ok(const std::vector<std::string>& args, const std::string& input = {}) {
        const std::string result = run(args, input);
        EXPECT_EQ(result.substr(0, 2), "0 ") << result;
        return result.substr(2);
    }

    TempDir dir;
    std::string store = dir.file("store.db");
};

// What is set reads back, lists, exports, imports into a fresh store and deletes.
TEST_F(StoreToolTest, EveryCommandRoundTrips) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"set", "", "SPMouse", "sz", "x"},
             {"set", "\\", "", "sz", "naïve \"x\" 😀"},
             {"set", "", "Blob", "binary", "AB 0a"},
             {"set", "", "spmouse", "dword", "0x205"},  // keeps its place and spelling
             {"set", "", "Max", "dword", "0XfFfFfFfF"},
             {"set", "", "Dec", "dword", "007"},
             {"set", "", "None", "binary", ""},
             {"set", "", "Empty", "sz", ""},
             {"set", "Macros\\beta\\Commands\\0", "id", "dword", "4096"},
             {"set", "Macros\\Alpha", "vk", "dword", "65"}})
        ok(args);
    EXPECT_EQ(ok({"get", ""}),
              "SPMouse\tdword\t517\n\tsz\tnaïve \"x\" 😀\nBlob\tbinary\tab 0a\n"
              "Max\tdword\t4294967295\nDec\tdword\t7\nNone\tbinary\t\nEmpty\tsz\t\n");
    EXPECT_EQ(ok({"get", "macros\\ALPHA", "VK"}), "65\n");
    EXPECT_EQ(ok({"list", "Macros"}), "Alpha\nbeta\n");
    EXPECT_NE(ok({"--help"}).find("Exit status"), std::string::npos);

    const std::string whole = ok({"export"});
    std::ofstream(dir.file("whole.reg"), std::ios::binary) << whole;
    const std::string part = ok({"export", "macros\\beta"});
    store = dir.file("second/store.db");
    ok({"import", dir.file("whole.reg")});
    EXPECT_EQ(ok({"export"}), whole);
    store = dir.file("third/store.db");
    ok({"import", "-"}, part);
    EXPECT_EQ(ok({"--store=" + store, "export", "\\Macros\\Beta"}), part);

    ok({"delete", "Macros\\beta\\Commands\\0", "ID"});
    EXPECT_EQ(ok({"get", "Macros\\beta\\Commands\\0"}), "");
    ok({"delete", "Macros\\beta"});
    EXPECT_EQ(ok({"list", "Macros"}), "");
}

// Bad usage and bad data exit with 2, a missing key or value with 1, changing nothing.
TEST_F(StoreToolTest, FailuresExitWithTheirStatusAndChangeNothing) {
    std::ofstream(dir.file("bad.reg")) << "REGEDIT4\n[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\New]\n"
                                          "\"a\"=dword:00000001\n\"b\"=hex(2):00,00\n";
    const std::vector<std::pair<int, std::vector<std::string>>> cases = {
        {2, {"--verbose", "list", ""}},
        {2, {"--store="}},
        {2, {}},
        {2, {"frobnicate"}},
        {2, {"list", "a", "b"}},
        {2, {"import"}},
        {2, {"delete", "\\"}},
        {2, {"set", "Macros\\A", "v", "qword", "1"}},
        {2, {"set", "Macros\\A", "v", "dword", "4294967296"}},
        {2, {"set", "Macros\\A", "v", "dword", "12a"}},
        {2, {"set", "Macros\\A", "v", "dword", "0x"}},
        {2, {"set", "Macros\\A", "v", "binary", "0a  ff"}},
        {2, {"set", "Macros\\A", "v", "binary", "0"}},
        {2, {"set", "Macros\\A", "v", "binary", "0a "}},
        {2, {"set", "Macros\\A", "v", "binary", "zz"}},
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
    for (const auto& [exit, args] : cases)
        EXPECT_EQ(run(args)[0] - '0', exit) << testing::PrintToString(args);
    EXPECT_NE(run({"import", dir.file("bad.reg")}).find("bad.reg:4: "), std::string::npos);
    EXPECT_EQ(ok({"list", "Macros"}), "A\n");
    EXPECT_EQ(ok({"get", "Macros\\A"}), "v\tdword\t1\n");
    // Reading never creates a store.
    EXPECT_EQ(run({"--store", dir.file("none/store.db"), "list", ""})[0], '1');
    EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
}

}  // namespace
}  // namespace ks::test
