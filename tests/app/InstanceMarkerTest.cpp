#include "app/InstanceMarker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

#include "TempDir.h"

namespace ks::test {
namespace {

class InstanceMarkerTest : public ::testing::Test {
protected:
    InstanceMarkerTest() : hadTmp(qEnvironmentVariableIsSet("TMPDIR")), oldTmp(qgetenv("TMPDIR")) {
        qputenv("TMPDIR", QByteArray::fromStdString(dir.path().string()));
    }
    ~InstanceMarkerTest() override {
        if (hadTmp) {
            qputenv("TMPDIR", oldTmp);
        } else {
            qunsetenv("TMPDIR");
        }
    }

    static bool processUntil(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    TempDir dir;
    bool hadTmp;
    QByteArray oldTmp;
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
        RunningCopy copy(name);
        ASSERT_TRUE(copy.connect(2000));
        EXPECT_TRUE(copy.send(request));
    }
    EXPECT_TRUE(processUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<std::string>{"command-line macro", "show"}));
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
    RunningCopy copy(name);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(copy.connect(300));
    EXPECT_LT(clock.elapsed(), 2000);
}

}  // namespace
}  // namespace ks::test
