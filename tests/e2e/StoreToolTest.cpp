#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

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

// Runs the built keystrider-store with its config folder in `dir`.
ToolRun runTool(const TempDir& dir, const std::vector<std::string>& args,
                const std::string& input = {}) {
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
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

// The rules of the commands are the unit tests'; here what needs the program itself: the
// default store, binary data through standard output and input, exit statuses and one
// "keystrider-store: " line on standard error.
TEST(StoreToolE2E, RunsAsAProgram) {
    TempDir dir;
    const std::string other = dir.file("other.db");
    const auto ok = [&](const std::vector<std::string>& args, const std::string& input = {}) {
        const ToolRun run = runTool(dir, args, input);
        EXPECT_EQ(run.exit, 0) << run.err;
        EXPECT_EQ(run.err, "");
        return run.out;
    };
    ok({"set", "Macros\\A", "Name", "sz", "naïve 😀"});
    std::ifstream file(dir.file("xdg/keystrider/store.db"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}).substr(0, 15),
              "SQLite format 3");
    const std::string whole = ok({"export"});
    ASSERT_EQ(whole.substr(0, 2), "\xFF\xFE");
    ok({"--store", other, "import", "-"}, whole);
    EXPECT_EQ(ok({"--store", other, "export"}), whole);
    EXPECT_EQ(ok({"--store", other, "get", "macros\\a", "name"}), "naïve 😀\n");

    for (const auto& [exit, args] : std::vector<std::pair<int, std::vector<std::string>>>{
             {1, {"get", "Macros\\B"}}, {2, {"set", "Macros\\A", "v", "qword", "1"}}}) {
        const ToolRun run = runTool(dir, args);
        EXPECT_EQ(run.exit, exit);
        EXPECT_EQ(run.err.rfind("keystrider-store: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

}  // namespace
}  // namespace ks::test
