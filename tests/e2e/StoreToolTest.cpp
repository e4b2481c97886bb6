#include <gtest/gtest.h>

#include <QProcess>

#include <cstdlib>
#include <filesystem>
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

ToolRun runTool(const std::vector<std::string>& args, const std::string& input = {}) {
    QProcess process;
    QStringList arguments;
    for (const std::string& arg : args) arguments << QString::fromStdString(arg);
    process.start(KS_STORE_TOOL, arguments);
    EXPECT_TRUE(process.waitForStarted(10000));
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

// The commands' rules are unit-tested; this is what needs the program itself: the default
// store, binary data through standard output and input, exit statuses and standard error.
TEST(StoreToolE2E, RunsAsAProgram) {
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.file("xdg").c_str(), 1);
    EXPECT_EQ(runTool({"set", "Macros\\A", "Name", "sz", "naïve 😀"}).exit, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("xdg/keystrider/store.db")));
    EXPECT_EQ(runTool({"set", "", "CnvDone", "dword", "2002"}).exit, 0);  // as a start leaves it
    const std::string whole = runTool({"export"}).out;
    ASSERT_EQ(whole.substr(0, 2), "\xFF\xFE");
    const std::string other = dir.file("other.db");
    EXPECT_EQ(runTool({"--store", other, "import", "-"}, whole).exit, 0);
    EXPECT_EQ(runTool({"--store", other, "export"}).out, whole);

    const ToolRun run = runTool({"get", "Macros\\B"});
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(run.err.rfind("keystrider-store: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace ks::test
