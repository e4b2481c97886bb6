// GoogleTest entry for tests that need Qt's event loop: one application
// object for the whole run. The offscreen platform keeps anything that would
// reach for a display away from the developer's screen.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
