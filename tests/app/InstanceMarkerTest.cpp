#include "app/InstanceMarker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <filesystem>

#include "TempDir.h"

namespace ks::test {
namespace {

struct NoRequests final : LaterCopyRequests {
    void runCommandLineMacro() override {}
    void showWindow() override {}
};

// A dead copy's socket neither answers in time nor keeps the first copy out; what
// a later copy sends the first is the end-to-end test's.
TEST(InstanceMarkerTest, TheFirstClaimTakesOverADeadSocketAndLaterOnesFindItRunning) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("marker"));
    ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(RunningCopy(path).connect(300));
    EXPECT_LT(clock.elapsed(), 2000);

    NoRequests requests;
    InstanceMarker first(path, requests);
    ASSERT_EQ(first.claim(), InstanceMarker::Claim::First) << first.error().toStdString();
    EXPECT_EQ(InstanceMarker(path, requests).claim(), InstanceMarker::Claim::Running);
}

// Names differ per display and keep to safe characters, in a folder private to the user.
TEST(InstanceMarkerTest, TheMarkerIsNamedForTheDisplayInAPrivateFolder) {
    const QString name = instanceName(QStringLiteral(":42.0"));
    EXPECT_TRUE(name.startsWith(QStringLiteral("keystrider-")) &&
                name.endsWith(QStringLiteral("-_42_0")));
    TempDir dir;
    const std::string run = dir.file("run");
    const std::string own = dir.file("keystrider-" + std::to_string(getuid()));
    const auto makeOwn = [&](mode_t mode) {
        return mkdir(own.c_str(), 0700) + chmod(own.c_str(), mode);
    };
    const struct {
        const char* what;
        std::function<int()> arrange;  // 0 when arranged
        std::string runtime, folder;   // folder empty: refused
    } cases[] = {
        {"private runtime folder", [&] { return mkdir(run.c_str(), 0700); }, run, run},
        {"no runtime folder", [] { return 0; }, "", own},
        {"runtime folder open to the group", [&] { return mkdir(run.c_str(), 0750); }, run, own},
        {"a link", [&] { return symlink(run.c_str(), own.c_str()); }, "", ""},
        {"open to others", [&] { return makeOwn(0707); }, "", ""},
        {"another user's", [&] { return makeOwn(0700) + chown(own.c_str(), 1, 1); }, "", ""},
    };
    for (const auto& [what, arrange, runtime, used] : cases) {
        SCOPED_TRACE(what);
        for (const std::string& folder : {run, own}) std::filesystem::remove_all(folder);
        if (arrange() != 0) continue;  // giving a folder away needs root
        QString error;
        const QString folder = privateRuntimeFolder(QString::fromStdString(runtime),
                                                    QString::fromStdString(dir.path()), error);
        EXPECT_EQ(folder.toStdString(), used);
        EXPECT_EQ(error.contains(QString::fromStdString(own)), used.empty());
    }
}

}  // namespace
}  // namespace ks::test
