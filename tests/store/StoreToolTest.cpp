#include "storetool/StoreTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RecordingMessages.h"
#include "TempDir.h"

namespace ks::test {
namespace {

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
