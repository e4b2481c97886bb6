#include "app/InstanceMarker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <filesystem>

#include "TempDir.h"

namespace ks::test {
namespace {

class InstanceMarkerTest : public ::testing::Test {
protected:
    static bool processUntil(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    TempDir dir;
    const QString name = instanceName(QStringLiteral(":42.0"));
    const QString path = QString::fromStdString(dir.file(name.toStdString()));
};

TEST_F(InstanceMarkerTest, NamesDifferPerDisplayAndKeepToSafeCharacters) {
    EXPECT_TRUE(name.startsWith(QStringLiteral("keystrider-")));
    EXPECT_TRUE(name.endsWith(QStringLiteral("-_42_0")));
    EXPECT_NE(name, instanceName(QStringLiteral(":43")));
}

TEST_F(InstanceMarkerTest, TheSecondClaimFindsTheFirstAndReachesIt) {
    InstanceMarker first(path);
    ASSERT_EQ(first.claim(), InstanceMarker::Claim::First) << first.error().toStdString();
    std::vector<std::string> received;
    first.onCommandLineMacro = [&] { received.push_back("command-line macro"); };
    first.onShowWindow = [&] { received.push_back("show"); };

    InstanceMarker second(path);
    EXPECT_EQ(second.claim(), InstanceMarker::Claim::Running);

    for (const char* request : {InstanceMarker::kCommandLineMacro, InstanceMarker::kShowWindow}) {
        RunningCopy copy(path);
        ASSERT_TRUE(copy.connect(2000));
        EXPECT_TRUE(copy.send(request));
    }
    EXPECT_TRUE(processUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<std::string>{"command-line macro", "show"}));
}

TEST_F(InstanceMarkerTest, TheMarkersFolderIsPrivateToTheUser) {
    const std::string run = dir.file("run");
    const std::string own = dir.file("keystrider-" + std::to_string(getuid()));
    struct Case {
        const char* what;
        std::function<int()> arrange;  // 0 when arranged
        std::string runtime;
        std::string folder;  // empty: refused
    };
    const std::vector<Case> cases = {
        {"private runtime folder", [&] { return mkdir(run.c_str(), 0700); }, run, run},
        {"no runtime folder", [] { return 0; }, "", own},
        {"runtime folder open to the group", [&] { return mkdir(run.c_str(), 0750); }, run, own},
        {"a link", [&] { return symlink(run.c_str(), own.c_str()); }, "", ""},
        {"open to others", [&] { return mkdir(own.c_str(), 0700) + chmod(own.c_str(), 0707); }, "",
         ""},
        {"another user's", [&] { return mkdir(own.c_str(), 0700) + chown(own.c_str(), 1, 1); }, "",
         ""},
    };
    for (const Case& c : cases) {
        for (const std::string& folder : {run, own}) std::filesystem::remove_all(folder);
        if (c.arrange() != 0) continue;  // giving a folder away needs root
        QString error;
        const QString folder = privateRuntimeFolder(QString::fromStdString(c.runtime),
                                                    QString::fromStdString(dir.path()), error);
        EXPECT_EQ(folder.toStdString(), c.folder) << c.what;
        EXPECT_EQ(error.contains(QString::fromStdString(own)), c.folder.empty()) << c.what;
    }
}

// A dead copy's socket neither answers within the time nor keeps a new copy out.
TEST_F(InstanceMarkerTest, ADeadCopysSocketDoesNotKeepANewCopyOut) {
    {
        QFile leftOver(path);
        ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
    }
    RunningCopy copy(path);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(copy.connect(300));
    EXPECT_LT(clock.elapsed(), 2000);
    InstanceMarker marker(path);
    EXPECT_EQ(marker.claim(), InstanceMarker::Claim::First) << marker.error().toStdString();
}

}  // namespace
}  // namespace ks::test
