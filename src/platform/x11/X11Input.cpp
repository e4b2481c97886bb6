#include "platform/x11/X11Input.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <thread>

#include "platform/x11/XkbLayoutBuilder.h"

namespace ks::x11 {

std::shared_ptr<const KeyLayout> X11Keymap::layout() {
    return rebuildIf(connection_.keymapChangedSinceLastCheck());
}

std::shared_ptr<const KeyLayout> X11Keymap::cachedLayout() {
    return rebuildIf(connection_.keymapChangedSoFar());
}

std::shared_ptr<const KeyLayout> X11Keymap::rebuildIf(bool changed) {
    if (changed || !layout_) {
        layout_ = std::make_shared<const KeyLayout>(buildKeyLayout(describeKeys(connection_.display())));
    }
    return layout_;
}

void X11InputInjector::keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    const std::uint8_t ownScan = keymap_.cachedLayout()->scanOfVk[vk];
    const unsigned keycode = vk != 0 && ownScan != 0 ? ownScan + 8u : (scan != 0 ? scan + 8u : 0u);
    if (keycode == 0) return;
    Display* display = connection_.display();
    XTestFakeKeyEvent(display, keycode, (flags & kKeyUp) ? False : True, CurrentTime);
    XFlush(display);
}

namespace {

// Normalised 0..65535 to a pixel of a screen `extent` pixels wide, clamped
// to the screen as the pointer itself is.
int pixelOf(std::int32_t normalised, int extent) {
    const long long pixel = static_cast<long long>(normalised) * extent / 65536;
    return static_cast<int>(std::clamp<long long>(pixel, 0, extent - 1));
}

void fakeButtons(Display* display, std::uint32_t flags) {
    struct ButtonFlag {
        std::uint32_t flag;
        unsigned button;
        bool press;
    };
    constexpr ButtonFlag kButtons[] = {
        {kMouseLeftDown, 1, true}, {kMouseLeftUp, 1, false}, {kMouseRightDown, 3, true},
        {kMouseRightUp, 3, false}, {kMouseMiddleDown, 2, true}, {kMouseMiddleUp, 2, false},
    };
    for (const ButtonFlag& b : kButtons) {
        if (flags & b.flag) XTestFakeButtonEvent(display, b.button, b.press ? True : False, CurrentTime);
    }
}

}  // namespace

void X11InputInjector::mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) {
    Display* display = connection_.display();
    if (flags & kMouseMove) {
        if (flags & kMouseAbsolute) {
            const int screen = DefaultScreen(display);
            XTestFakeMotionEvent(display, screen, pixelOf(x, DisplayWidth(display, screen)),
                                 pixelOf(y, DisplayHeight(display, screen)), CurrentTime);
        } else {
            XTestFakeRelativeMotionEvent(display, x, y, CurrentTime);
        }
    }
    fakeButtons(display, flags);
    XFlush(display);
}

X11SpareKeys::~X11SpareKeys() { release(); }

void X11SpareKeys::findSpareKeys() {
    spare_.clear();
    bound_.clear();
    for (const KeyDescription& key : describeKeys(connection_.display())) {
        if (key.levels.empty()) spare_.push_back(key.keycode);
    }
}

std::size_t X11SpareKeys::capacity() {
    if (!anyBound()) findSpareKeys();
    return spare_.size() * 2;
}

namespace {

KeySym keysymOf(char32_t ch) {
    const xkb_keysym_t sym = xkb_utf32_to_keysym(ch);
    return sym != XKB_KEY_NoSymbol ? sym : 0x1000000 | ch;
}

}  // namespace

Outcome X11SpareKeys::writeKeys(const std::vector<KeyCode>& keycodes) {
    Display* display = connection_.display();
    XErrorTrap trap(display);
    for (KeyCode keycode : keycodes) {
        const Levels& levels = bound_[keycode];
        KeySym syms[2] = {NoSymbol, NoSymbol};
        for (int level = 0; level < 2; ++level) {
            if (levels[level] != 0) syms[level] = keysymOf(levels[level]);
        }
        XChangeKeyboardMapping(display, keycode, 2, syms, 1);
    }
    if (trap.failed()) return Outcome::failure("cannot change the keyboard mapping: " + trap.error());
    return Outcome::success();
}

bool X11SpareKeys::anyBound() const {
    return std::any_of(bound_.begin(), bound_.end(),
                       [](const auto& key) { return key.second != Levels{}; });
}

Expected<std::vector<SpareStroke>> X11SpareKeys::bind(const std::vector<char32_t>& chars) {
    if (chars.size() > capacity()) return Outcome::failure("more characters than spare keys");
    const std::map<KeyCode, Levels> before = bound_;
    const bool wasBound = anyBound();
    // Characters already on a key stay there; the others take the free
    // slots, plain levels first.
    for (auto& [keycode, levels] : bound_) {
        for (char32_t& ch : levels) {
            if (std::find(chars.begin(), chars.end(), ch) == chars.end()) ch = 0;
        }
    }
    std::vector<SpareStroke> strokes;
    for (char32_t ch : chars) strokes.push_back(place(ch));

    std::vector<KeyCode> changed;
    for (const auto& [keycode, levels] : bound_) {
        const auto old = before.find(keycode);
        if (old == before.end() ? levels != Levels{} : old->second != levels) changed.push_back(keycode);
    }
    if (!changed.empty()) {
        if (wasBound) std::this_thread::sleep_for(settle_);
        if (Outcome written = writeKeys(changed); !written) return written;
    }
    return strokes;
}

SpareStroke X11SpareKeys::place(char32_t ch) {
    for (const auto& [keycode, levels] : bound_) {
        for (int level = 0; level < 2; ++level) {
            if (levels[level] == ch) return {static_cast<std::uint8_t>(keycode - 8), level == 1};
        }
    }
    for (int level = 0; level < 2; ++level) {
        for (KeyCode keycode : spare_) {
            char32_t& slot = bound_[keycode][level];
            if (slot == 0) {
                slot = ch;
                return {static_cast<std::uint8_t>(keycode - 8), level == 1};
            }
        }
    }
    return {};  // unreachable: bind() checked the capacity
}

void X11SpareKeys::release() {
    if (!anyBound()) return;
    std::this_thread::sleep_for(settle_);
    std::vector<KeyCode> keycodes;
    for (auto& [keycode, levels] : bound_) {
        if (levels != Levels{}) keycodes.push_back(keycode);
        levels = Levels{};
    }
    writeKeys(keycodes);
}

bool X11KeyboardState::isOn(LockKey key) {
    const char* name = key == LockKey::CapsLock ? "Caps Lock"
                       : key == LockKey::NumLock ? "Num Lock"
                                                 : "Scroll Lock";
    Display* display = connection_.display();
    Bool on = False;
    if (XkbGetNamedIndicator(display, connection_.atom(name), nullptr, &on, nullptr, nullptr)) {
        return on == True;
    }
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    return key == LockKey::CapsLock && (state.locked_mods & LockMask) != 0;
}

void X11KeyboardState::setCapsLock(bool on) {
    Display* display = connection_.display();
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XFlush(display);
}

}  // namespace ks::x11
