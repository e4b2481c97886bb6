#include "platform/x11/X11HotKeys.h"

#include <QSocketNotifier>
#include <QTimer>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
// Xlib's macros would shadow this program's names of the same spelling.
#undef Status
#undef Bool

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/x11/HotKeyKeysyms.h"

namespace ks {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

std::string xErrorText(Display* display, int code) {
    char text[256] = {};
    XGetErrorText(display, code, text, sizeof text);
    return text;
}

// Catches the X errors of one display while it lives; errors of any other
// connection go to the handler that was there before. Xlib's handler is
// process-wide: only the GUI thread sets traps.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display), outer_(active_) {
        active_ = this;
        previous_ = XSetErrorHandler(&ErrorTrap::handle);
    }
    ~ErrorTrap() {
        XSetErrorHandler(previous_);
        active_ = outer_;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server to have answered every request made so far.
    bool failedAfterSync() {
        XSync(display_, False);
        return errorCode_ != 0;
    }
    int errorCode() const { return errorCode_; }

private:
    static int handle(Display* display, XErrorEvent* event) {
        if (active_ == nullptr || display != active_->display_) {
            return active_ != nullptr && active_->previous_ != nullptr
                       ? active_->previous_(display, event)
                       : 0;
        }
        if (active_->errorCode_ == 0) active_->errorCode_ = event->error_code;
        return 0;
    }

    static inline ErrorTrap* active_ = nullptr;
    Display* display_;
    ErrorTrap* outer_;
    XErrorHandler previous_ = nullptr;
    int errorCode_ = 0;
};

// Every modifier bit a key event's state can carry; button and group bits are not.
constexpr unsigned kModifierBits =
    ShiftMask | LockMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;

unsigned toXModifiers(std::uint32_t modifiers) {
    unsigned x = 0;
    if (modifiers & kModAlt) x |= Mod1Mask;
    if (modifiers & kModControl) x |= ControlMask;
    if (modifiers & kModShift) x |= ShiftMask;
    if (modifiers & kModWin) x |= Mod4Mask;
    return x;
}

// The modifier bit that `keysym`'s key sets, from the server's modifier map.
unsigned modifierMaskOf(Display* display, XModifierKeymap* map, KeySym keysym) {
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code != 0 && XkbKeycodeToKeysym(display, code, 0, 0) == keysym) {
                return 1u << modifier;
            }
        }
    }
    return 0;
}

// Every combination of the lock bits, the empty one first.
std::vector<unsigned> lockCombinations(Display* display) {
    XModifierKeymap* map = XGetModifierMapping(display);
    std::vector<unsigned> locks = {LockMask};
    if (map != nullptr) {
        for (KeySym keysym : {XK_Num_Lock, XK_Scroll_Lock}) {
            const unsigned mask = modifierMaskOf(display, map, keysym);
            if (mask != 0 && std::find(locks.begin(), locks.end(), mask) == locks.end()) {
                locks.push_back(mask);
            }
        }
        XFreeModifiermap(map);
    }
    std::vector<unsigned> combinations = {0};
    for (unsigned lock : locks) {
        const std::size_t count = combinations.size();
        for (std::size_t i = 0; i < count; ++i) combinations.push_back(combinations[i] | lock);
    }
    return combinations;
}

}  // namespace

struct X11HotKeys::Impl {
    struct Registration {
        std::int32_t id;
        std::uint32_t vk;
        unsigned modifiers;  // X modifier bits
        KeyCode keycode;     // 0 while the keymap has no key for `vk`
    };

    explicit Impl(DisplayPtr connection)
        : display(std::move(connection)),
          root(DefaultRootWindow(display.get())),
          combinations(lockCombinations(display.get())),
          notifier(ConnectionNumber(display.get()), QSocketNotifier::Read) {
        QObject::connect(&notifier, &QSocketNotifier::activated, &notifier,
                         [this] { readEvents(); });
        regrabTimer.setSingleShot(true);
        regrabTimer.setInterval(kRegrabDelayMs);
        QObject::connect(&regrabTimer, &QTimer::timeout, &regrabTimer, [this] { regrabAll(); });
    }

    KeyCode keycodeOf(std::uint32_t vk) const {
        const unsigned long keysym = x11::hotKeyKeysym(vk);
        return keysym == 0 ? 0 : XKeysymToKeycode(display.get(), keysym);
    }

    // All or nothing: when the server refuses one combination, the others
    // are released again.
    ks::Status grab(KeyCode keycode, unsigned modifiers) {
        int errorCode = 0;
        {
            ErrorTrap trap(display.get());
            for (unsigned lock : combinations) {
                XGrabKey(display.get(), keycode, modifiers | lock, root, False, GrabModeAsync,
                         GrabModeAsync);
            }
            if (trap.failedAfterSync()) errorCode = trap.errorCode();
        }
        if (errorCode != 0) ungrab(keycode, modifiers);
        scheduleQueuedEvents();
        if (errorCode != 0) return ks::Status::failure(xErrorText(display.get(), errorCode));
        return ks::Status::success();
    }

    // Releasing a combination this client does not hold does nothing.
    void ungrab(KeyCode keycode, unsigned modifiers) {
        if (keycode == 0) return;
        ErrorTrap trap(display.get());
        for (unsigned lock : combinations) {
            XUngrabKey(display.get(), keycode, modifiers | lock, root);
        }
        trap.failedAfterSync();
    }

    bool heldByOtherId(KeyCode keycode, unsigned modifiers) const {
        return std::any_of(regs.begin(), regs.end(), [&](const Registration& r) {
            return r.keycode == keycode && r.modifiers == modifiers;
        });
    }

    // Xlib may have read events off the socket while it waited for a reply;
    // those would sit unseen until the next readable moment.
    void scheduleQueuedEvents() {
        if (XEventsQueued(display.get(), QueuedAlready) > 0) {
            QTimer::singleShot(0, &notifier, [this] { readEvents(); });
        }
    }

    void readEvents() {
        while (XPending(display.get()) > 0) {
            XEvent event;
            XNextEvent(display.get(), &event);
            if (event.type == KeyPress) {
                keyPressed(event.xkey);
            } else if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                regrabTimer.start();
            }
        }
    }

    void keyPressed(const XKeyEvent& key) {
        unsigned state = key.state & kModifierBits;
        for (unsigned lock : combinations) state &= ~lock;
        for (const Registration& r : regs) {
            if (r.keycode == key.keycode && r.modifiers == state) {
                deliver(r.id);
                return;
            }
        }
    }

    void deliver(std::int32_t id) {
        if (!pressed) return;
        try {
            pressed(id);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "keystrider: hot key %d: %s\n", id, error.what());
        } catch (...) {
            std::fprintf(stderr, "keystrider: hot key %d failed\n", id);
        }
    }

    // A keymap change may move keys to other codes or the lock modifiers to
    // other bits: release what is held and take each hot key again where its
    // key is now. Grabs whose key and locks stayed put are left alone, so the
    // keymap changes made while typing cost nothing.
    void regrabAll() {
        std::vector<unsigned> newCombinations = lockCombinations(display.get());
        const bool locksMoved = newCombinations != combinations;
        for (Registration& r : regs) {
            const KeyCode now = keycodeOf(r.vk);
            if (now == r.keycode && !locksMoved) continue;
            ungrab(r.keycode, r.modifiers);
            r.keycode = 0;
        }
        combinations = std::move(newCombinations);
        for (Registration& r : regs) {
            if (r.keycode != 0) continue;
            const KeyCode now = keycodeOf(r.vk);
            if (now != 0 && !heldByOtherId(now, r.modifiers) && grab(now, r.modifiers)) {
                r.keycode = now;
            }
        }
    }

    DisplayPtr display;
    Window root;
    std::vector<unsigned> combinations;
    std::vector<Registration> regs;
    QSocketNotifier notifier;
    QTimer regrabTimer;
    PressedHandler pressed;
};

Expected<std::unique_ptr<X11HotKeys>> X11HotKeys::open(const std::string& displayName) {
    DisplayPtr display(XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str()));
    if (!display) {
        const char* name = displayName.empty() ? XDisplayName(nullptr) : displayName.c_str();
        return ks::Status::failure(std::string("cannot open display \"") + name + "\"");
    }
    return std::unique_ptr<X11HotKeys>(
        new X11HotKeys(std::make_unique<Impl>(std::move(display))));
}

X11HotKeys::X11HotKeys(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11HotKeys::~X11HotKeys() = default;

ks::Status X11HotKeys::registerHotKey(std::int32_t id, std::uint32_t modifiers, std::uint32_t vk) {
    Impl& d = *impl_;
    for (const Impl::Registration& r : d.regs) {
        if (r.id == id) return ks::Status::failure("The hot-key identifier is already in use.");
    }
    const KeyCode keycode = d.keycodeOf(vk);
    if (keycode == 0) return ks::Status::failure("The keyboard has no key for this hot key.");
    const unsigned xModifiers = toXModifiers(modifiers);
    // The server lets a client grab its own grab again; another identifier
    // holding the combination is refused as another client's would be.
    if (d.heldByOtherId(keycode, xModifiers)) {
        return ks::Status::failure(xErrorText(d.display.get(), BadAccess));
    }
    if (ks::Status grabbed = d.grab(keycode, xModifiers); !grabbed) return grabbed;
    d.regs.push_back({id, vk, xModifiers, keycode});
    return ks::Status::success();
}

ks::Status X11HotKeys::unregisterHotKey(std::int32_t id) {
    Impl& d = *impl_;
    const auto it = std::find_if(d.regs.begin(), d.regs.end(),
                                 [id](const Impl::Registration& r) { return r.id == id; });
    if (it == d.regs.end()) return ks::Status::failure("The hot key is not registered.");
    d.ungrab(it->keycode, it->modifiers);
    d.regs.erase(it);
    return ks::Status::success();
}

void X11HotKeys::setPressedHandler(PressedHandler handler) { impl_->pressed = std::move(handler); }

}  // namespace ks
