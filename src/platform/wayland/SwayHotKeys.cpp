#include "platform/wayland/SwayHotKeys.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include <QSocketNotifier>

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandEventNotifier.h"
#include "platform/xkb/XkbKeyLayout.h"

namespace ks::wayland {

namespace {

struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapDeleter>;

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};

// sway's names of the modifiers, in the order a binding lists them.
constexpr std::pair<std::uint32_t, const char*> kModifierNames[] = {
    {kModControl, "Ctrl"}, {kModAlt, "Mod1"}, {kModShift, "Shift"}, {kModWin, "Mod4"}};

std::filesystem::path rememberedFile(const std::string& swaySocket) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::filesystem::path folder =
        runtime != nullptr && *runtime != '\0' ? runtime : std::filesystem::temp_directory_path();
    return folder /
           ("keystrider-bindings-" + std::filesystem::path(swaySocket).filename().string());
}

std::vector<std::string> readLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::optional<std::string> swayCombo(xkb_keymap* keymap, std::uint32_t modifiers,
                                     std::uint32_t vk) {
    const std::vector<KeyDescription> keys = describeKeys(keymap, 0);
    const unsigned keycode = keycodeOfVk(buildKeyLayout(keys), vk);
    const auto key = std::find_if(keys.begin(), keys.end(), [&](const KeyDescription& described) {
        return described.keycode == keycode && !described.levels.empty();
    });
    if (keycode == 0 || key == keys.end()) return std::nullopt;
    char name[64];
    if (xkb_keysym_get_name(key->levels.front().keysym, name, sizeof name) <= 0) {
        return std::nullopt;
    }
    std::string combo;
    for (const auto& [bit, modifier] : kModifierNames) {
        if ((modifiers & bit) != 0) combo += std::string(modifier) + "+";
    }
    return combo + name;
}

struct SwayHotKeys::Impl {
    std::unique_ptr<WaylandConnection> connection;
    std::unique_ptr<WaylandEventNotifier> notifier;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    std::unique_ptr<xkb_context, ContextDeleter> context{xkb_context_new(XKB_CONTEXT_NO_FLAGS)};
    // The seat's keymap as last announced; the default one until then.
    KeymapPtr keymap;
    SwayIpc commands;
    SwayIpc events;
    std::unique_ptr<QSocketNotifier> eventNotifier;
    std::filesystem::path remembered;
    struct Binding {
        std::int32_t id;
        std::string combo;
    };
    std::vector<Binding> bindings;
    // What sway's configuration binds: the user's, never taken over.
    std::vector<std::string> configured;
    PressedHandler pressed;
    bool suspended = false;

    Impl(SwayIpc commandsIpc, SwayIpc eventsIpc)
        : commands(std::move(commandsIpc)), events(std::move(eventsIpc)) {}

    static void onCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
        auto* impl = static_cast<Impl*>(data);
        if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0 || impl->keyboard != nullptr) return;
        static constexpr wl_keyboard_listener kKeyboardListener{
            onKeymap,
            [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
            [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
            [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
            [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
               std::uint32_t) {},
            [](void*, wl_keyboard*, std::int32_t, std::int32_t) {}};
        impl->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(impl->keyboard, &kKeyboardListener, impl);
    }

    static void onKeymap(void* data, wl_keyboard*, std::uint32_t format, int fd,
                         std::uint32_t size) {
        auto* impl = static_cast<Impl*>(data);
        void* text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1
                         ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
                         : MAP_FAILED;
        ::close(fd);
        if (text == MAP_FAILED) return;
        KeymapPtr keymap(xkb_keymap_new_from_buffer(
            impl->context.get(), static_cast<const char*>(text), size - 1,
            XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
        munmap(text, size);
        if (keymap) impl->keymap = std::move(keymap);
    }

    Result bind(const Binding& binding) {
        return commands.runCommand("bindsym --no-repeat " + binding.combo + " nop " + kTag + " " +
                                   std::to_string(binding.id));
    }

    Result unbind(const std::string& combo) { return commands.runCommand("unbindsym " + combo); }

    // Written before each binding is made and after each is removed, so that
    // a crash in between leaves at most a name too many, never one too few.
    void remember(const std::vector<std::string>& extra = {}) {
        std::ofstream out(remembered, std::ios::trunc);
        for (const Binding& binding : bindings) {
            if (!suspended) out << binding.combo << '\n';
        }
        for (const std::string& combo : extra) out << combo << '\n';
    }

    void removeLeftovers() {
        for (const std::string& combo : readLines(remembered)) unbind(combo);
        std::error_code ignored;
        std::filesystem::remove(remembered, ignored);
    }

    void readConfig() {
        const Expected<std::string> text = commands.config();
        configured = text ? configuredCombos(*text) : std::vector<std::string>{};
    }

    bool configBinds(const std::string& combo) const {
        return std::find(configured.begin(), configured.end(), normalizedCombo(combo)) !=
               configured.end();
    }

    void readEvents() {
        std::vector<std::int32_t> fired;
        while (std::optional<SwayFrame> event = events.nextEvent()) {
            if (suspended) continue;
            if (event->type == kSwayWorkspaceEvent && isReloadEvent(event->payload)) {
                readConfig();
                for (const Binding& binding : bindings) bind(binding);
            } else if (event->type == kSwayBindingEvent) {
                if (const auto id = parseBindingEvent(event->payload, kTag)) fired.push_back(*id);
            }
        }
        if (!events.connected()) eventNotifier->setEnabled(false);
        // Last, from copies: a handler may run a nested event loop, in which
        // this object may go.
        const PressedHandler handler = pressed;
        for (const std::int32_t id : fired) callPressedHandler(handler, id);
    }

    ~Impl() {
        eventNotifier.reset();
        notifier.reset();
        if (!suspended) {
            for (const Binding& binding : bindings) unbind(binding.combo);
        }
        std::error_code ignored;
        std::filesystem::remove(remembered, ignored);
        if (keyboard != nullptr) wl_keyboard_destroy(keyboard);
        if (seat != nullptr) wl_seat_destroy(seat);
    }
};

Expected<std::unique_ptr<SwayHotKeys>> SwayHotKeys::open(
    std::unique_ptr<WaylandConnection> connection, const std::string& swaySocket,
    std::filesystem::path rememberIn) {
    auto commands = SwayIpc::connect(swaySocket);
    if (!commands) return commands.status();
    auto events = SwayIpc::connect(commands->path());
    if (!events) return events.status();
    if (Result subscribed = events->subscribeToBindings(); !subscribed) return subscribed;
    auto seat = connection->bind<wl_seat>(wl_seat_interface, 1, 1);
    if (!seat) return seat.status();
    auto impl = std::make_unique<Impl>(std::move(*commands), std::move(*events));
    impl->seat = *seat;
    impl->connection = std::move(connection);
    impl->keymap.reset(
        xkb_keymap_new_from_names(impl->context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
    static constexpr wl_seat_listener kSeatListener{Impl::onCapabilities,
                                                    [](void*, wl_seat*, const char*) {}};
    wl_seat_add_listener(impl->seat, &kSeatListener, impl.get());
    // The capabilities, then the keymap of the keyboard they announce.
    for (int i = 0; i < 2; ++i) {
        if (Result synced = impl->connection->roundtrip(); !synced) return synced;
    }
    impl->notifier = std::make_unique<WaylandEventNotifier>(*impl->connection);
    impl->remembered =
        rememberIn.empty() ? rememberedFile(impl->commands.path()) : std::move(rememberIn);
    impl->removeLeftovers();
    impl->readConfig();
    impl->eventNotifier =
        std::make_unique<QSocketNotifier>(impl->events.socket(), QSocketNotifier::Read);
    QObject::connect(impl->eventNotifier.get(), &QSocketNotifier::activated,
                     impl->eventNotifier.get(), [raw = impl.get()] { raw->readEvents(); });
    return std::unique_ptr<SwayHotKeys>(new SwayHotKeys(std::move(impl)));
}

SwayHotKeys::SwayHotKeys(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SwayHotKeys::~SwayHotKeys() = default;

Result SwayHotKeys::registerHotKey(std::int32_t id, std::uint32_t modifiers, std::uint32_t vk) {
    Impl& d = *impl_;
    const auto holds = [&](auto matches) {
        return std::any_of(d.bindings.begin(), d.bindings.end(), matches);
    };
    if (holds([&](const Impl::Binding& binding) { return binding.id == id; })) {
        return Result::failure(kHotKeyIdInUse);
    }
    const std::optional<std::string> combo = swayCombo(d.keymap.get(), modifiers, vk);
    if (!combo) return Result::failure(kHotKeyNoKey);
    // sway would silently put the newer binding in the older one's place.
    if (holds([&](const Impl::Binding& binding) { return binding.combo == *combo; })) {
        return Result::failure("Another hot key of this program holds the key combination " +
                               *combo + ".");
    }
    if (d.configBinds(*combo)) {
        return Result::failure("sway's configuration binds " + *combo +
                               " to a command of its own.");
    }
    const Impl::Binding binding{id, *combo};
    if (!d.suspended) {
        d.remember({binding.combo});
        if (Result bound = d.bind(binding); !bound) {
            d.remember();
            return bound;
        }
    }
    d.bindings.push_back(binding);
    return Result::success();
}

Result SwayHotKeys::unregisterHotKey(std::int32_t id) {
    Impl& d = *impl_;
    const auto it = std::find_if(d.bindings.begin(), d.bindings.end(),
                                 [&](const Impl::Binding& binding) { return binding.id == id; });
    if (it == d.bindings.end()) return Result::failure(kHotKeyNotRegistered);
    const std::string combo = it->combo;
    d.bindings.erase(it);
    if (d.suspended) return Result::success();
    const Result unbound = d.unbind(combo);
    d.remember();
    return unbound;
}

void SwayHotKeys::setPressedHandler(PressedHandler handler) {
    impl_->pressed = std::move(handler);
}

// Suspending removes the bindings from sway, so that every key reaches the
// window with the focus; resuming makes them again.
void SwayHotKeys::setSuspended(bool suspended) {
    Impl& d = *impl_;
    if (d.suspended == suspended) return;
    d.suspended = suspended;
    if (suspended) {
        for (const Impl::Binding& binding : d.bindings) d.unbind(binding.combo);
        d.remember();
        return;
    }
    d.remember();
    for (const Impl::Binding& binding : d.bindings) d.bind(binding);
}

}  // namespace ks::wayland
