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

TEST_F(StoreToolTest, SetThenGetGivesEachTypeBack) {
    struct Case {
        std::string type;
        std::string input;
        std::string printed;
    };
    const std::vector<Case> cases = {
        {"sz", "héllo wörld 😀", "héllo wörld 😀"},
        {"sz", "", ""},
        {"sz", "-starts with a dash", "-starts with a dash"},
        {"sz", R"(C:\dir "quoted")", R"(C:\dir "quoted")"},
        {"dword", "0", "0"},
        {"dword", "4294967295", "4294967295"},
        {"dword", "0x1F", "31"},
        {"dword", "0XfFfFfFfF", "4294967295"},
        {"dword", "007", "7"},
        {"binary", "", ""},
        {"binary", "00 0a ff", "00 0a ff"},
        {"binary", "AB cd", "ab cd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type + " " + c.input);
        ok({"set", "Macros\\Backup\\Commands\\0", "Value", c.type, c.input});
        EXPECT_EQ(ok({"get", "macros\\BACKUP\\commands\\0", "value"}), c.printed + "\n");
        EXPECT_EQ(ok({"get", "\\Macros\\Backup\\Commands\\0\\"}),
                  "Value\t" + c.type + "\t" + c.printed + "\n");
    }
}

TEST_F(StoreToolTest, GetListsEveryValueInStoredOrder) {
    ok({"set", "", "SPMouse", "dword", "517"});
    ok({"set", "", "HotKeyOn", "dword", "1"});
    ok({"set", "\\", "", "sz", "default"});
    ok({"set", "", "Blob", "binary", "01 02"});
    ok({"set", "", "spmouse", "dword", "514"});  // keeps its place and spelling
    EXPECT_EQ(ok({"get", ""}),
              "SPMouse\tdword\t514\nHotKeyOn\tdword\t1\n\tsz\tdefault\nBlob\tbinary\t01 02\n");
    EXPECT_EQ(ok({"get", "\\", ""}), "default\n");
}

TEST_F(StoreToolTest, ListGivesSubKeysInEnumerationOrder) {
    for (const char* name : {"beta", "Alpha", "10", "9", "émile", "Zeta"}) {
        ok({"set", std::string("Macros\\") + name, "id", "dword", "1"});
    }
    EXPECT_EQ(ok({"list", "MACROS"}), "10\n9\nAlpha\nbeta\nZeta\némile\n");
    EXPECT_EQ(ok({"list", ""}), "Macros\n");
    EXPECT_EQ(ok({"list", "\\"}), "Macros\n");
    EXPECT_EQ(ok({"list", "Macros\\Zeta"}), "");
}

TEST_F(StoreToolTest, DeleteRemovesAValueOrAKeyWithEverythingBelowIt) {
    ok({"set", "Macros\\A\\Commands\\0", "id", "dword", "4096"});
    ok({"set", "Macros\\A", "vk", "dword", "65"});
    ok({"set", "Macros\\A", "repeat", "dword", "1"});
    ok({"set", "Macros\\B", "vk", "dword", "66"});
    ok({"delete", "macros\\a", "VK"});
    EXPECT_EQ(ok({"get", "Macros\\A"}), "repeat\tdword\t1\n");
    ok({"delete", "Macros\\A"});
    EXPECT_EQ(ok({"list", "Macros"}), "B\n");
    EXPECT_EQ(store({"get", "Macros\\A\\Commands\\0", "id"}).exit, 1);
}

TEST_F(StoreToolTest, MissingKeysAndValuesExitWithOne) {
    ok({"set", "Macros\\A", "vk", "dword", "65"});
    const std::vector<std::vector<std::string>> cases = {
        {"get", "Macros\\B"},
        {"get", "Macros\\B", "vk"},
        {"get", "Macros\\A", "fsModifiers"},
        {"list", "Journals"},
        {"delete", "Macros\\B"},
        {"delete", "Macros\\A", "nope"},
        {"export", "Macros\\A\\Sub"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const ToolRun run = store(args);
        EXPECT_EQ(run.exit, 1);
        expectOneErrorLine(run);
    }
    const ToolRun noStore = runTool({"--store", dir.file("nothing/here.db"), "list", ""});
    EXPECT_EQ(noStore.exit, 1);
    expectOneErrorLine(noStore);
    EXPECT_FALSE(std::filesystem::exists(dir.file("nothing")));
}

TEST_F(StoreToolTest, BadUsageAndBadDataExitWithTwoAndChangeNothing) {
    ok({"set", "Macros\\A", "vk", "dword", "65"});
    writeFile(dir.file("bad.reg"),
              "Windows Registry Editor Version 5.00\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\New]\r\n"
              "\"a\"=dword:00000001\r\n"
              "\"b\"=hex(2):00,00\r\n");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"--verbose", "list", ""},
        {"list"},
        {"list", "a", "b"},
        {"get"},
        {"set", "Macros\\A", "vk", "dword"},
        {"delete"},
        {"delete", ""},
        {"delete", "\\"},
        {"import"},
        {"export", "a", "b"},
        {"set", "Macros\\A", "vk", "qword", "1"},
        {"set", "Macros\\A", "vk", "dword", "-1"},
        {"set", "Macros\\A", "vk", "dword", "4294967296"},
        {"set", "Macros\\A", "vk", "dword", "0x"},
        {"set", "Macros\\A", "vk", "dword", "0x100000000"},
        {"set", "Macros\\A", "vk", "dword", "12a"},
        {"set", "Macros\\A", "vk", "dword", ""},
        {"set", "Macros\\A", "vk", "binary", "0"},
        {"set", "Macros\\A", "vk", "binary", "0a  ff"},
        {"set", "Macros\\A", "vk", "binary", " 0a"},
        {"set", "Macros\\A", "vk", "binary", "0a "},
        {"set", "Macros\\A", "vk", "binary", "0a,ff"},
        {"set", "Macros\\A", "vk", "binary", "zz"},
        {"set", "Macros\\\\A", "vk", "dword", "1"},
        {"set", "Macros\\A", "two\nlines", "dword", "1"},
        {"set", "Macros\\A\rB", "vk", "dword", "1"},
        {"set", "Macros\\" + std::string(256, 'x'), "vk", "dword", "1"},
        {"list", "Macros\\\\A"},
        {"import", dir.file("missing.reg")},
        {"import", dir.file("bad.reg")},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ToolRun run = store(args);
        EXPECT_EQ(run.exit, 2);
        expectOneErrorLine(run);
    }
    EXPECT_NE(store({"import", dir.file("bad.reg")}).err.find("bad.reg:4: "), std::string::npos);
    EXPECT_EQ(ok({"get", "Macros\\A"}), "vk\tdword\t65\n");
    EXPECT_EQ(ok({"list", "Macros"}), "A\n");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--store"}, {"--store=", "list", ""}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exit, 2);
        expectOneErrorLine(run);
    }
    const ToolRun equals = runTool({"--store=" + storeFile, "list", "Macros"});
    EXPECT_EQ(equals.out, "A\n") << equals.err;
}

TEST_F(StoreToolTest, ExportAndImportThroughFiles) {
    ok({"set", "", "HotKeyOn", "dword", "1"});
    ok({"set", "Macros\\Backup", "", "sz", "default"});
    ok({"set", "Macros\\Backup\\Commands\\0", "id", "dword", "4096"});
    ok({"set", "Macros\\Backup\\Commands\\0", "Text", "sz", "naïve \"x\" 😀"});
    ok({"set", "Journals\\Rec", "0", "binary",
        "01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13 14 15 16 17 18 19 1a"});
    const std::string whole = ok({"export"});
    ASSERT_EQ(whole.substr(0, 2), "\xFF\xFE");
    writeFile(dir.file("whole.reg"), whole);
    const std::string part = ok({"export", "macros\\backup"});
    writeFile(dir.file("part.reg"), part);

    storeFile = dir.file("second/store.db");
    ok({"import", dir.file("whole.reg")});
    EXPECT_EQ(ok({"export"}), whole);
    EXPECT_EQ(ok({"get", "Macros\\Backup\\Commands\\0", "Text"}), "naïve \"x\" 😀\n");

    storeFile = dir.file("third/store.db");
    ok({"import", "-"}, part);
    EXPECT_EQ(ok({"export", "\\Macros\\Backup"}), part);
    EXPECT_EQ(ok({"list", ""}), "Macros\n");

    writeFile(dir.file("edit.reg"),
              "REGEDIT4\r\n\r\n"
              "[-HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Backup\\Commands]\r\n"
              "[HKLM\\SOFTWARE\\Quorvel\\Keystrider\\Macros\\Backup]\r\n"
              "@=-\r\n"
              "\"Name\"=\"caf\xE9\"\r\n");
    ok({"import", dir.file("edit.reg")});
    EXPECT_EQ(ok({"get", "Macros\\Backup"}), "Name\tsz\tcafé\n");
    EXPECT_EQ(ok({"list", "Macros\\Backup"}), "");
}

TEST_F(StoreToolTest, DefaultStoreIsInTheConfigFolder) {
    const ToolRun set = runTool({"set", "Macros", "CmdLineMacro", "sz", "Backup"});
    EXPECT_EQ(set.exit, 0) << set.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("xdg/keystrider/store.db")));
    EXPECT_EQ(runTool({"get", "Macros", "CmdLineMacro"}).out, "Backup\n");
    EXPECT_EQ(readFile(dir.file("xdg/keystrider/store.db")).substr(0, 15), "SQLite format 3");
}

TEST_F(StoreToolTest, HelpExplainsEveryCommandAndTheExitStatus) {
    const ToolRun run = runTool({"--help"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    for (const char* text :
         {"list KEY", "get KEY [NAME]", "set KEY NAME TYPE DATA", "delete KEY [NAME]",
          "export [KEY]", "import FILE", "--store FILE", "Exit status", "REGEDIT4"}) {
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace ks::test
