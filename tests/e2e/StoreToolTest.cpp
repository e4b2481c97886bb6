#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TempDir.h"

namespace ks::test {
namespace {

struct ToolRun {
    int exit = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

// Runs the built keystrider-store on a store in a fresh folder.
class StoreToolTest : public ::testing::Test {
protected:
    ToolRun runTool(const std::vector<std::string>& args, const std::string& input = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.file("xdg")));
        process.setProcessEnvironment(environment);
        QStringList arguments;
        for (const std::string& arg : args) arguments << QString::fromStdString(arg);
        process.start(KS_STORE_TOOL, arguments);
        EXPECT_TRUE(process.waitForStarted(10000));
        process.write(input.data(), static_cast<qint64>(input.size()));
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(30000));
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                out.toStdString(), err.toStdString()};
    }

    // The tool on this test's store.
    ToolRun store(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--store", storeFile});
        return runTool(args, input);
    }

    // Runs a command that must succeed and returns its output.
    std::string ok(const std::vector<std::string>& args, const std::string& input = {}) {
        const ToolRun run = store(args, input);
        EXPECT_EQ(run.exit, 0) << run.err;
        EXPECT_EQ(run.err, "");
        return run.out;
    }

    static void expectOneErrorLine(const ToolRun& run) {
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.rfind("keystrider-store: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_EQ(run.out, "");
    }

    TempDir dir;
    std::string storeFile = dir.file("data/store.db");
};

// One round trip through every command: what is set reads back, lists,
// exports, imports into a fresh store and deletes.
TEST_F(StoreToolTest, EveryCommandRoundTrips) {
    ok({"set", "", "SPMouse", "dword", "0x205"});
    ok({"set", "\\", "", "sz", "naïve \"x\" 😀"});
    ok({"set", "", "Blob", "binary", "AB 0a"});
    ok({"set", "", "spmouse", "dword", "514"});  // keeps its place and spelling
    ok({"set", "Macros\\beta\\Commands\\0", "id", "dword", "4096"});
    ok({"set", "Macros\\Alpha", "vk", "dword", "65"});
    EXPECT_EQ(ok({"get", ""}), "SPMouse\tdword\t514\n\tsz\tnaïve \"x\" 😀\nBlob\tbinary\tab 0a\n");
    EXPECT_EQ(ok({"get", "MACROS\\alpha", "VK"}), "65\n");
    EXPECT_EQ(ok({"list", "Macros"}), "Alpha\nbeta\n");

    const std::string whole = ok({"export"});
    ASSERT_EQ(whole.substr(0, 2), "\xFF\xFE");
    writeFile(dir.file("whole.reg"), whole);
    const std::string part = ok({"export", "macros\\beta"});
    storeFile = dir.file("second/store.db");
    ok({"import", dir.file("whole.reg")});
    EXPECT_EQ(ok({"export"}), whole);
    storeFile = dir.file("third/store.db");
    ok({"import", "-"}, part);
    EXPECT_EQ(ok({"export", "\\Macros\\Beta"}), part);

    ok({"delete", "Macros\\beta\\Commands\\0", "ID"});
    EXPECT_EQ(ok({"get", "Macros\\beta\\Commands\\0"}), "");
    ok({"delete", "Macros\\beta"});
    EXPECT_EQ(ok({"list", "Macros"}), "");
}

TEST_F(StoreToolTest, MissingKeysExitWithOneAndBadUsageWithTwoChangingNothing) {
    ok({"set", "Macros\\A", "vk", "dword", "65"});
    writeFile(dir.file("bad.reg"),
              "Windows Registry Editor Version 5.00\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\New]\r\n"
              "\"a\"=dword:00000001\r\n"
              "\"b\"=hex(2):00,00\r\n");
    const std::vector<std::pair<int, std::vector<std::string>>> cases = {
        {1, {"get", "Macros\\B"}},
        {1, {"export", "Macros\\A\\Sub"}},
        {2, {}},
        {2, {"set", "Macros\\A", "vk", "qword", "1"}},
        {2, {"import", dir.file("missing.reg")}},
        {2, {"import", dir.file("bad.reg")}},
    };
    for (const auto& [exit, args] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ToolRun run = store(args);
        EXPECT_EQ(run.exit, exit);
        expectOneErrorLine(run);
    }
    EXPECT_NE(store({"import", dir.file("bad.reg")}).err.find("bad.reg:4: "), std::string::npos);
    EXPECT_EQ(ok({"list", "Macros"}), "A\n");
    const ToolRun noStore = runTool({"--store", dir.file("nothing/here.db"), "list", ""});
    EXPECT_EQ(noStore.exit, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("nothing")));
    EXPECT_EQ(runTool({"--store=", "list", ""}).exit, 2);
    EXPECT_EQ(runTool({"--store=" + storeFile, "list", "Macros"}).out, "A\n");
}

TEST_F(StoreToolTest, DefaultStoreIsInTheConfigFolderAndHelpGivesTheExitStatus) {
    EXPECT_EQ(runTool({"set", "Macros", "CmdLineMacro", "sz", "Backup"}).exit, 0);
    EXPECT_EQ(readFile(dir.file("xdg/keystrider/store.db")).substr(0, 15), "SQLite format 3");
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.exit, 0);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

}  // namespace
}  // namespace ks::test
