#include "storetool/StoreTool.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "RecordingMessages.h"
#include "TempDir.h"

namespace ks::test {
namespace {

// keystrider-store's rules for data and usage, run in-process on one store.
class StoreToolTest : public ::testing::Test {
protected:
    // The exit status, then the output or the one message.
    std::string run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--store", dir.file("store.db")});
        std::istringstream in;
        std::ostringstream out;
        RecordingMessages messages;
        const int exit = runStoreTool(args, in, out, messages);
        EXPECT_EQ(messages.shown.size(), exit == 0 ? 0u : 1u);
        return std::to_string(exit) + " " + (exit == 0 ? out.str() : messages.texts().front());
    }

    TempDir dir;
};

TEST_F(StoreToolTest, DataOfEachTypeReadsBackAsWritten) {
    const std::vector<std::vector<std::string>> cases = {
        {"sz", "héllo 😀", "héllo 😀"},
        {"sz", "", ""},
        {"sz", "-dash", "-dash"},
        {"sz", R"(C:\dir "q")", R"(C:\dir "q")"},
        {"dword", "0", "0"},
        {"dword", "4294967295", "4294967295"},
        {"dword", "0x1F", "31"},
        {"dword", "0XfFfFfFfF", "4294967295"},
        {"dword", "007", "7"},
        {"binary", "", ""},
        {"binary", "AB cd 00", "ab cd 00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run({"set", "Macros\\A", "v", c[0], c[1]}), "0 ");
        EXPECT_EQ(run({"get", "macros\\a", "V"}), "0 " + c[2] + "\n") << c[0] << " " << c[1];
    }
}

TEST_F(StoreToolTest, BadDataAndUsageAreRefusedWithExitTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"--verbose", "list", ""},
        {"frobnicate"},
        {"list", "a", "b"},
        {"delete", "\\"},
        {"set", "Macros\\A", "v", "dword", "4294967296"},
        {"set", "Macros\\A", "v", "dword", "12a"},
        {"set", "Macros\\A", "v", "binary", "0a  ff"},
        {"set", "Macros\\\\A", "v", "dword", "1"},
        {"list"},
        {"set", "Macros\\A", "v", "dword"},
        {"delete", ""},
        {"import"},
        {"export", "a", "b"},
        {"set", "Macros\\A", "v", "dword", "-1"},
        {"set", "Macros\\A", "v", "dword", "0x"},
        {"set", "Macros\\A", "v", "dword", "0x100000000"},
        {"set", "Macros\\A", "v", "dword", ""},
        {"set", "Macros\\A", "v", "binary", "0"},
        {"set", "Macros\\A", "v", "binary", " 0a"},
        {"set", "Macros\\A", "v", "binary", "0a "},
        {"set", "Macros\\A", "v", "binary", "0a,ff"},
        {"set", "Macros\\A", "v", "binary", "zz"},
        {"set", "Macros\\A", "two\nlines", "dword", "1"},
        {"set", "Macros\\A\rB", "v", "dword", "1"},
        {"set", "Macros\\" + std::string(256, 'x'), "v", "dword", "1"},
        {"list", "Macros\\\\A"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(run(args).substr(0, 2), "2 ") << testing::PrintToString(args);
    }
    EXPECT_EQ(run({"get", "Macros\\A"}).substr(0, 2), "1 ");  // nothing was written
    EXPECT_EQ(run({"set", "Macros\\A", "v", "dword", "1"}), "0 ");
    EXPECT_EQ(run({"get", "Macros\\A", "w"}).substr(0, 2), "1 ");
    EXPECT_EQ(run({"delete", "Macros\\A", "w"}).substr(0, 2), "1 ");
}

}  // namespace
}  // namespace ks::test
