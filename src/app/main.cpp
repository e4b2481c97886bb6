#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Engine.h"
#include "platform/qt/QtMessages.h"
#include "platform/x11/DisplayCheck.h"
#include "platform/x11/X11Platform.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

int main(int argc, char** argv) {
    const ks::CommandLine line =
        ks::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.action == ks::CommandLine::Action::Help) {
        std::fputs(ks::helpText().c_str(), stdout);
        return 0;
    }
    if (line.action == ks::CommandLine::Action::Version) {
        std::fputs(ks::versionText().c_str(), stdout);
        return 0;
    }
    std::string reason;
    if (!ks::x11::displayReachable({}, reason)) {
        std::fprintf(stderr, "keystrider: %s; Keystrider needs an X11 session.\n", reason.c_str());
        return 1;
    }

    // Qt sees only the program's name: every further word is the macro's.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("keystrider"));

    ks::KeyTree tree(ks::KeyTree::defaultFile());
    ks::QtMessages messages;
    ks::SettingsStore store(tree, messages);

    auto platform = ks::x11::X11Platform::open();
    if (!platform) {
        std::fprintf(stderr, "keystrider: %s\n", platform.error().c_str());
        return 1;
    }
    ks::Application application(store, messages, **platform, line.macro);
    ks::Engine engine(store, messages, **platform, application);
    return application.run(engine.services());
}
