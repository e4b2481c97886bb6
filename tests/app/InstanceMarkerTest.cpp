#include "app/InstanceMarker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"

namespace ks::test {
namespace {

// Sets an environment variable for the test's lifetime.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedVariable() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

class InstanceMarkerTest : public ::testing::Test {
protected:
    static bool processUntil(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    TempDir dir;
    ScopedVariable tmp{"TMPDIR", QByteArray::fromStdString(dir.path().string())};
    ScopedVariable runtime{"XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.path().string())};
    const QString name = instanceName(QStringLiteral(":42.0"));
};

TEST_F(InstanceMarkerTest, NamesDifferPerDisplayAndKeepToSafeCharacters) {
    EXPECT_TRUE(name.startsWith(QStringLiteral("keystrider-")));
    EXPECT_TRUE(name.endsWith(QStringLiteral("-_42_0")));
    EXPECT_NE(name, instanceName(QStringLiteral(":43")));
}

TEST_F(InstanceMarkerTest, TheSecondClaimFindsTheFirstAndReachesIt) {
    InstanceMarker first(name);
    ASSERT_EQ(first.claim(), InstanceMarker::Claim::First) << first.error().toStdString();
    std::vector<std::string> received;
    first.onCommandLineMacro = [&] { received.push_back("command-line macro"); };
    first.onShowWindow = [&] { received.push_back("show"); };

    InstanceMarker second(name);
    EXPECT_EQ(second.claim(), InstanceMarker::Claim::Running);

    for (const char* request : {InstanceMarker::kCommandLineMacro, InstanceMarker::kShowWindow}) {
        RunningCopy copy(second.path());
        ASSERT_TRUE(copy.connect(2000));
        EXPECT_TRUE(copy.send(request));
    }
    EXPECT_TRUE(processUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<std::string>{"command-line macro", "show"}));
}

TEST_F(InstanceMarkerTest, TheMarkerLivesOnlyInAFolderPrivateToTheUser) {
    const std::string fallback = dir.file("tmp/keystrider-" + std::to_string(getuid()));
    struct Case {
        const char* what;
        std::string runtime;  // XDG_RUNTIME_DIR
        std::function<bool()> arrange;
        std::string folder;  // where the marker lives; empty: refused
    };
    const auto makeFallback = [&](mode_t mode) {
        return mkdir(fallback.c_str(), mode) == 0 && chmod(fallback.c_str(), mode) == 0;
    };
    const std::vector<Case> cases = {
        {"runtime folder", dir.file("run"),
         [&] { return mkdir(dir.file("run").c_str(), 0700) == 0; }, dir.file("run")},
        {"no runtime folder", "", [] { return true; }, fallback},
        {"runtime folder open to the group", dir.file("run"),
         [&] { return mkdir(dir.file("run").c_str(), 0750) == 0; }, fallback},
        {"own private fallback", "", [&] { return makeFallback(0700); }, fallback},
        {"fallback open to others", "", [&] { return makeFallback(0777); }, ""},
        {"fallback a link", "", [&] { return symlink(dir.path().c_str(), fallback.c_str()) == 0; },
         ""},
        {"fallback of another user", "",
         [&] { return makeFallback(0700) && chown(fallback.c_str(), getuid() + 1, getgid()) == 0; },
         ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(dir.file("run"));
        std::filesystem::remove_all(dir.file("tmp"));
        std::filesystem::create_directory(dir.file("tmp"));
        ScopedVariable tmpFolder("TMPDIR", QByteArray::fromStdString(dir.file("tmp")));
        ScopedVariable runtimeFolder("XDG_RUNTIME_DIR", QByteArray::fromStdString(c.runtime));
        if (!c.arrange()) {
            EXPECT_NE(getuid(), 0u) << c.what;  // only root may give a folder away
            continue;
        }
        InstanceMarker marker(name);
        const InstanceMarker::Claim claim = marker.claim();
        if (c.folder.empty()) {
            EXPECT_EQ(claim, InstanceMarker::Claim::Failed) << c.what;
            EXPECT_TRUE(marker.error().contains(QString::fromStdString(fallback))) << c.what;
            continue;
        }
        ASSERT_EQ(claim, InstanceMarker::Claim::First) << c.what << marker.error().toStdString();
        EXPECT_EQ(marker.path().toStdString(), c.folder + "/" + name.toStdString()) << c.what;
        struct stat info {};
        ASSERT_EQ(stat(c.folder.c_str(), &info), 0) << c.what;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << c.what;
    }
}

TEST_F(InstanceMarkerTest, ADeadCopysSocketDoesNotKeepANewCopyOut) {
    {
        QFile leftOver(QString::fromStdString(dir.file(name.toStdString())));
        ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
    }
    InstanceMarker marker(name);
    EXPECT_EQ(marker.claim(), InstanceMarker::Claim::First) << marker.error().toStdString();
}

TEST_F(InstanceMarkerTest, NoRunningCopyIsReachedWithinTheTime) {
    RunningCopy copy(QString::fromStdString(dir.file(name.toStdString())));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(copy.connect(300));
    EXPECT_LT(clock.elapsed(), 2000);
}

}  // namespace
}  // namespace ks::test
