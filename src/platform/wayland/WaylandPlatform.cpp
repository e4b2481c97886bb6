#include "platform/wayland/WaylandPlatform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/refusing/RefusingServices.h"
#include "platform/xkb/XkbKeyLayout.h"

namespace ks::wayland {
namespace {

// The screen as Qt, itself a client of the compositor, sees the outputs:
// their layout's bounding size in the compositor's logical pixels.
ScreenSize qtScreenSize() {
    const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    if (!screen) return {};
    const QSize size = screen->virtualGeometry().size();
    return {size.width(), size.height()};
}

bool isSocket(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

std::string swaySocketOf(const std::string& given) {
    if (!given.empty()) return given;
    const char* fromEnvironment = std::getenv("SWAYSOCK");
    return fromEnvironment ? fromEnvironment : "";
}

// Whether this user may read a keyboard device, which typed phrases,
// recording and the cancel keys watch on Wayland.
bool inputDevicesReadable() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/input", error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("event") && access(entry.path().c_str(), R_OK) == 0) return true;
    }
    return false;
}

// The layout the compositor most likely uses when no part follows the
// seat's: libxkbcommon's default (the XKB_DEFAULT_* settings, else US), so
// that key names are right on most desktops.
class DefaultKeymap final : public Keymap {
public:
    DefaultKeymap() : layout_(std::make_shared<const KeyLayout>(defaultKeyLayout())) {}
    std::shared_ptr<const KeyLayout> layout() override { return layout_; }

private:
    std::shared_ptr<const KeyLayout> layout_;
};

// Builds `capability`'s service where the desktop offers it and a part
// builds it; otherwise the refusal's message.
template <typename Service>
Expected<std::unique_ptr<Service>> tryBuild(Capability capability,
                                            const ServiceBuilder<Service>& builder,
                                            BuildContext context) {
    if (!context.desktop.offers(capability)) {
        return Result::failure(refusalMessage(capability, context.desktop.family));
    }
    if (!builder) return Result::failure(notStartedMessage(capability, {}));
    auto built = builder(context);
    if (!built) return Result::failure(notStartedMessage(capability, built.error()));
    return built;
}

// The service built, or `Refusing` with the reason it was not.
template <typename Refusing, typename Service, typename... Extra>
std::unique_ptr<Service> orRefusing(Expected<std::unique_ptr<Service>> built, Extra&&... extra) {
    if (built) return std::move(*built);
    return std::make_unique<Refusing>(built.error(), std::forward<Extra>(extra)...);
}

}  // namespace

Expected<std::unique_ptr<WaylandPlatform>> WaylandPlatform::open(const Options& options,
                                                                 WaylandServiceBuilders builders) {
    auto connection = WaylandConnection::open(options.display);
    if (!connection) return connection.status();
    std::unique_ptr<WaylandPlatform> platform(
        new WaylandPlatform(std::move(*connection), options, std::move(builders)));
    platform->buildServices();
    return platform;
}

WaylandPlatform::WaylandPlatform(std::unique_ptr<WaylandConnection> connection,
                                 const Options& options, WaylandServiceBuilders builders)
    : LinuxPlatformBase(qtScreenSize),
      connection_(std::move(connection)),
      displayName_(options.display),
      swaySocket_(swaySocketOf(options.swaySocket)),
      builders_(std::move(builders)) {
    DesktopOffer offer{{}, isSocket(swaySocket_), inputDevicesReadable()};
    for (const WaylandGlobal& global : connection_->globals()) {
        offer.globals.push_back(global.interface);
    }
    desktop_ = classifyDesktop(offer);
    if (!desktop_.offers(Capability::HotKeys)) swaySocket_.clear();
}

WaylandPlatform::~WaylandPlatform() = default;

BuildContext WaylandPlatform::context() {
    return BuildContext{*connection_, desktop_, displayName_, swaySocket_, *this};
}

template <typename Service, typename Refusing, typename... Extra>
std::unique_ptr<Service> WaylandPlatform::build(Capability capability,
                                                std::vector<Capability> covered,
                                                const ServiceBuilder<Service>& builder,
                                                Extra&&... extra) {
    auto built = tryBuild(capability, builder, context());
    if (!built && desktop_.offers(capability)) {
        for (const Capability lost : covered) unbuilt_.push_back({lost, built.error()});
    }
    return orRefusing<Refusing>(std::move(built), std::forward<Extra>(extra)...);
}

void WaylandPlatform::buildServices() {
    auto keymap = tryBuild(Capability::Typing, builders_.keymap, context());
    keymap_ = keymap ? std::move(*keymap) : std::make_unique<DefaultKeymap>();
    using enum Capability;
    injector_ =
        build<InputInjector, RefusingInjector>(Typing, {Typing, Pointer}, builders_.injector);
    spareKeys_ = build<SpareKeys, RefusingSpareKeys>(Typing, {Typing}, builders_.spareKeys);
    keyboard_ = build<KeyboardState, RefusingKeyboardState>(Typing, {Typing}, builders_.keyboard);
    playbackThread_ = build<PlaybackThread, RefusingPlaybackThread>(Playback, {Playback},
                                                                    builders_.playbackThread);
    windows_ = build<WindowControl, RefusingWindowControl>(Windows, {Windows, WindowPlaces},
                                                           builders_.windows, qtScreenSize);
    clipboard_ =
        build<ks::Clipboard, RefusingClipboard>(Clipboard, {Clipboard}, builders_.clipboard);
    capture_ = build<InputCapture, RefusingCapture>(KeyWatch, {KeyWatch}, builders_.capture);
    playbackCancelWatch_ =
        build<CancelWatch, RefusingCancelWatch>(KeyWatch, {KeyWatch}, builders_.cancelWatch);
    recordCancelWatch_ =
        build<CancelWatch, RefusingCancelWatch>(KeyWatch, {KeyWatch}, builders_.cancelWatch);
    sound_ = build<ks::Sound, RefusingSound>(Sound, {Sound}, ServiceBuilder<ks::Sound>{});
}

// These run on the keyboard-watch thread: nothing here touches what the GUI
// thread changes.
std::unique_ptr<KeyWatch> WaylandPlatform::makeKeyWatch() {
    return orRefusing<RefusingKeyWatch>(
        tryBuild(Capability::KeyWatch, builders_.keyWatch, context()));
}

std::unique_ptr<CancelWatch> WaylandPlatform::makeCancelWatch() {
    return orRefusing<RefusingCancelWatch>(
        tryBuild(Capability::KeyWatch, builders_.cancelWatch, context()));
}

HotKeys& WaylandPlatform::hotKeys() {
    if (!hotKeys_) {
        hotKeys_ = build<HotKeys, RefusingHotKeys>(Capability::HotKeys, {Capability::HotKeys},
                                                   builders_.hotKeys);
    }
    return *hotKeys_;
}

std::vector<RefusedCapability> WaylandPlatform::refused() {
    hotKeys();
    std::vector<RefusedCapability> refused;
    for (const Capability capability : allCapabilities()) {
        const auto unbuilt = std::find_if(unbuilt_.begin(), unbuilt_.end(), [&](const auto& r) {
            return r.capability == capability;
        });
        if (unbuilt != unbuilt_.end()) {
            refused.push_back(*unbuilt);
        } else if (!desktop_.offers(capability)) {
            refused.push_back({capability, {}});
        }
    }
    return refused;
}

std::string WaylandPlatform::startupNotice() {
    return wayland::startupNotice(desktop_.family, refused());
}

}  // namespace ks::wayland
