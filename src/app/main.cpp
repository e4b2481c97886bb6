#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Engine.h"
#include "platform/PlatformFactory.h"
#include "platform/qt/QtMessages.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace {

// The display system the options ask for, if any; read before the GUI
// starts, as that depends on it.
std::optional<ks::PlatformKind> storedPlatform(ks::KeyTree& tree) {
    const auto value = tree.readValue(ks::StoreKey::root().direct(), ks::kPlatformOption);
    if (!value || value->type != ks::kTypeText) return std::nullopt;
    const std::string text(value->data.begin(), value->data.end());
    return ks::platformKindNamed(text.c_str());
}

}  // namespace

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
    if (line.action == ks::CommandLine::Action::Refuse) {
        std::fprintf(stderr, "keystrider: %s\n", line.error.c_str());
        return 2;
    }
    ks::KeyTree tree(ks::KeyTree::defaultFile());
    const ks::PlatformKind kind = ks::choosePlatformKind(
        line.platform, storedPlatform(tree),
        ks::sessionPlatformKind(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")));
    if (const ks::Result reachable = ks::platformReachable(kind); !reachable) {
        std::fprintf(stderr, "keystrider: %s; Keystrider needs an X11 or a Wayland session.\n",
                     reachable.error().c_str());
        return 1;
    }

    // Qt sees only the program's name: every further word is the macro's.
    // It picks its own display plugin, so the program's windows are native
    // on Wayland too.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("keystrider"));

    ks::QtMessages messages;
    ks::SettingsStore store(tree, messages);

    auto platform = ks::openPlatform(kind);
    if (!platform) {
        std::fprintf(stderr, "keystrider: %s\n", platform.error().c_str());
        return 1;
    }
    ks::Application application(store, messages, **platform, line.macro);
    ks::Engine engine(store, messages, **platform, application);
    return application.run(engine.services());
}
