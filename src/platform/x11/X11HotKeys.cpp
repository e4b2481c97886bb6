#include "platform/x11/X11HotKeys.h"

#include <QSocketNotifier>
#include <QTimer>

#include "platform/x11/XkbLayoutBuilder.h"
#include "platform/x11/XlibHelpers.h"

// clang-format off
// After Qt and this program's headers: Xlib's macros would shadow their names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#undef Bool
// clang-format on

#include <algorithm>
#include <cstdio>
#include <vector>

namespace ks::x11 {

namespace {

std::string xErrorText(Display* display, int code) {
    char text[256] = {};
    XGetErrorText(display, code, text, sizeof text);
    return text;
}

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

    explicit Impl(OwnDisplay connection)
        : display(std::move(connection)),
          root(DefaultRootWindow(display.get())),
          combinations(lockCombinations(display.get())),
          layout(currentKeyLayout(display.get())),
          notifier(ConnectionNumber(display.get()), QSocketNotifier::Read) {
        QObject::connect(&notifier, &QSocketNotifier::activated, &notifier,
                         [this] { readEvents(); });
        regrabTimer.setSingleShot(true);
        regrabTimer.setInterval(kRegrabDelayMs);
        QObject::connect(&regrabTimer, &QTimer::timeout, &regrabTimer, [this] { regrabAll(); });
    }

    // The key the hot key's display name names, through the layout every
    // other user of virtual keys sees.
    KeyCode keycodeOf(std::uint32_t vk) const {
        return static_cast<KeyCode>(keycodeOfVk(layout, vk));
    }

    struct Target {
        KeyCode keycode;
        unsigned modifiers;
    };

    // Grabs every target with every lock combination, waiting for the
    // server once for all of them. All or nothing per target: when the
    // server refuses one combination, the target's others are released
    // again. Returns each target's X error code, 0 for success.
    std::vector<int> grab(const std::vector<Target>& targets) {
        std::vector<int> codes(targets.size(), 0);
        std::vector<unsigned long> firstSerials;
        {
            XErrorTrap trap(display.get());
            for (const Target& t : targets) {
                firstSerials.push_back(NextRequest(display.get()));
                for (unsigned lock : combinations) {
                    XGrabKey(display.get(), t.keycode, t.modifiers | lock, root, False,
                             GrabModeAsync, GrabModeAsync);
                }
            }
            for (const XErrorTrap::Error& error : trap.errors()) {
                const auto after =
                    std::upper_bound(firstSerials.begin(), firstSerials.end(), error.serial);
                if (after == firstSerials.begin()) continue;
                int& code = codes[static_cast<std::size_t>(after - firstSerials.begin() - 1)];
                if (code == 0) code = error.code;
            }
        }
        std::vector<Target> refused;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            if (codes[i] != 0) refused.push_back(targets[i]);
        }
        ungrab(refused);
        scheduleQueuedEvents();
        return codes;
    }

    // Releasing a combination this client does not hold does nothing.
    void ungrab(const std::vector<Target>& targets) {
        if (targets.empty()) return;
        XErrorTrap trap(display.get());
        for (const Target& t : targets) {
            if (t.keycode == 0) continue;
            for (unsigned lock : combinations) {
                XUngrabKey(display.get(), t.keycode, t.modifiers | lock, root);
            }
        }
    }

    std::vector<Registration>::iterator findId(std::int32_t id) {
        return std::find_if(regs.begin(), regs.end(),
                            [id](const Registration& r) { return r.id == id; });
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

    void deliver(std::int32_t id) { callPressedHandler(pressed, id); }

    // A keymap change may move keys to other codes or the lock modifiers to
    // other bits: release what is held and take each hot key again where its
    // key is now. Grabs whose key and locks stayed put are left alone, so the
    // keymap changes made while typing cost nothing.
    void regrabAll() {
        if (suspended) return;  // resuming takes every grab again
        layout = currentKeyLayout(display.get());
        std::vector<unsigned> newCombinations = lockCombinations(display.get());
        const bool locksMoved = newCombinations != combinations;
        std::vector<Target> released;
        for (Registration& r : regs) {
            if (keycodeOf(r.vk) == r.keycode && !locksMoved) continue;
            released.push_back({r.keycode, r.modifiers});
            r.keycode = 0;
        }
        ungrab(released);
        combinations = std::move(newCombinations);
        std::vector<Registration*> moving;
        std::vector<Target> targets;
        for (Registration& r : regs) {
            const KeyCode now = keycodeOf(r.vk);
            if (r.keycode != 0 || now == 0 || heldByOtherId(now, r.modifiers)) continue;
            r.keycode = now;
            moving.push_back(&r);
            targets.push_back({now, r.modifiers});
        }
        const std::vector<int> codes = grab(targets);
        for (std::size_t i = 0; i < moving.size(); ++i) {
            if (codes[i] != 0) moving[i]->keycode = 0;
        }
    }

    void suspend() {
        suspended = true;
        regrabTimer.stop();
        std::vector<Target> held;
        for (Registration& r : regs) {
            held.push_back({r.keycode, r.modifiers});
            r.keycode = 0;
        }
        ungrab(held);
    }

    // Every registration is taken again at its key's present code; one
    // another client took meanwhile stays without a key, as after a keymap
    // change that moved it onto a taken key.
    void resume() {
        suspended = false;
        regrabAll();
    }

    OwnDisplay display;
    Window root;
    std::vector<unsigned> combinations;
    KeyLayout layout;
    std::vector<Registration> regs;
    QSocketNotifier notifier;
    QTimer regrabTimer;
    PressedHandler pressed;
    bool suspended = false;
};

Expected<std::unique_ptr<X11HotKeys>> X11HotKeys::open(const std::string& displayName) {
    OwnDisplay display = openOwnDisplay(displayName);
    if (!display) {
        const char* name = displayName.empty() ? XDisplayName(nullptr) : displayName.c_str();
        return ks::Result::failure(std::string("cannot open display \"") + name + "\"");
    }
    return std::unique_ptr<X11HotKeys>(new X11HotKeys(std::make_unique<Impl>(std::move(display))));
}

X11HotKeys::X11HotKeys(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11HotKeys::~X11HotKeys() = default;

ks::Result X11HotKeys::registerHotKey(std::int32_t id, std::uint32_t modifiers, std::uint32_t vk) {
    return registerHotKeys({{id, modifiers, vk}}).front();
}

std::vector<ks::Result> X11HotKeys::registerHotKeys(const std::vector<HotKeyRequest>& requests) {
    Impl& d = *impl_;
    std::vector<ks::Result> results(requests.size(), ks::Result::success());
    std::vector<std::size_t> grabbed;  // indexes into `requests`
    std::vector<Impl::Target> targets;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const HotKeyRequest& r = requests[i];
        const KeyCode keycode = d.keycodeOf(r.vk);
        const unsigned xModifiers = toXModifiers(r.modifiers);
        if (d.findId(r.id) != d.regs.end()) {
            results[i] = ks::Result::failure(kHotKeyIdInUse);
        } else if (keycode == 0) {
            results[i] = ks::Result::failure(kHotKeyNoKey);
        } else if (d.heldByOtherId(keycode, xModifiers)) {
            // The server lets a client grab its own grab again; another
            // identifier holding the combination is refused as another
            // client's would be.
            results[i] = ks::Result::failure(xErrorText(d.display.get(), BadAccess));
        } else {
            d.regs.push_back({r.id, r.vk, xModifiers, keycode});
            grabbed.push_back(i);
            targets.push_back({keycode, xModifiers});
        }
    }
    const std::vector<int> codes = d.grab(targets);
    for (std::size_t k = 0; k < grabbed.size(); ++k) {
        if (codes[k] == 0) continue;
        results[grabbed[k]] = ks::Result::failure(xErrorText(d.display.get(), codes[k]));
        d.regs.erase(d.findId(requests[grabbed[k]].id));
    }
    return results;
}

ks::Result X11HotKeys::unregisterHotKey(std::int32_t id) {
    Impl& d = *impl_;
    const auto it = d.findId(id);
    if (it == d.regs.end()) return ks::Result::failure(kHotKeyNotRegistered);
    d.ungrab({{it->keycode, it->modifiers}});
    d.regs.erase(it);
    return ks::Result::success();
}

void X11HotKeys::setPressedHandler(PressedHandler handler) {
    impl_->pressed = std::move(handler);
}

void X11HotKeys::setSuspended(bool suspended) {
    if (suspended == impl_->suspended) return;
    if (suspended) {
        impl_->suspend();
    } else {
        impl_->resume();
    }
}

}  // namespace ks::x11
