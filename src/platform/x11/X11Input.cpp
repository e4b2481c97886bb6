#include "platform/x11/X11Input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <thread>

#include "platform/MouseFlags.h"
#include "platform/x11/XkbLayoutBuilder.h"
#include "platform/x11/XlibHelpers.h"

namespace ks::x11 {

std::shared_ptr<const KeyLayout> X11Keymap::layout() {
    return rebuildIf(connection_.keymapChangedSinceLastCheck());
}

std::shared_ptr<const KeyLayout> X11Keymap::cachedLayout() {
    return rebuildIf(connection_.keymapChangedSoFar());
}

std::shared_ptr<const KeyLayout> X11Keymap::rebuildIf(bool changed) {
    if (changed || !layout_) {
        layout_ = std::make_shared<const KeyLayout>(currentKeyLayout(connection_.display()));
    }
    return layout_;
}

// Scan codes are X key codes less 8. The layout is the one the change
// notices received so far tell of: asking the server for later ones would
// cost a round trip per key, which holds a played key up for as long as the
// server takes to get round to the request.
void X11InputInjector::key(std::uint8_t vk, std::uint8_t scan, bool down) {
    const std::uint8_t pressed = keymap_.cachedLayout()->scanToPress(vk, scan);
    if (pressed == 0) return;
    announce(pressed, down);
    XTestFakeKeyEvent(connection_.display(), pressed + 8u, down ? True : False, CurrentTime);
}

void X11InputInjector::keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    key(vk, scan, (flags & kKeyUp) == 0);
    flush();
}

std::optional<X11InputInjector::Point> X11InputInjector::queryPointer() const {
    Display* display = connection_.display();
    Window root = 0, child = 0;
    Point at;
    int winX = 0, winY = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &at.x, &at.y, &winX,
                       &winY, &mask))
        return std::nullopt;
    return at;
}

// Where the user's mouse left the pointer is not asked for either: the
// next move is sent as it comes, which costs at worst a motion to where the
// pointer happens to be.
std::optional<X11InputInjector::Point> X11InputInjector::pointer() {
    if (!tracking_) return queryPointer();
    if (connection_.pointerMovedSoFar()) known_.reset();
    return known_;
}

void X11InputInjector::trackPointer() {
    tracking_ = connection_.watchPointerMoves();
    known_ = tracking_ ? queryPointer() : std::nullopt;
}

void X11InputInjector::stopTrackingPointer() {
    if (tracking_) connection_.stopWatchingPointerMoves();
    tracking_ = false;
    known_.reset();
}

// The server reports a motion even for a move to where the pointer already
// is; a click's coordinates only place the pointer, so a move that would not
// move it is left out.
void X11InputInjector::motion(std::int32_t x, std::int32_t y) {
    if (pointer() == Point{x, y}) return;
    Display* display = connection_.display();
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    if (tracking_) known_ = Point{x, y};
}

void X11InputInjector::button(unsigned number, bool down) {
    XTestFakeButtonEvent(connection_.display(), number, down ? True : False, CurrentTime);
}

void X11InputInjector::flush() {
    XFlush(connection_.display());
}

void X11InputInjector::mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) {
    Display* display = connection_.display();
    if (flags & kMouseMove) {
        known_.reset();
        if (flags & kMouseAbsolute) {
            const int screen = DefaultScreen(display);
            XTestFakeMotionEvent(display, screen, pixelOf(x, DisplayWidth(display, screen)),
                                 pixelOf(y, DisplayHeight(display, screen)), CurrentTime);
        } else {
            XTestFakeRelativeMotionEvent(display, x, y, CurrentTime);
        }
    }
    fakeButtons(*this, flags);
    flush();
}

X11SpareKeys::~X11SpareKeys() {
    release();
}

void X11SpareKeys::findSpareKeys() {
    spare_.clear();
    bound_.clear();
    // Keycodes the keyboard description does not name (8 among them) are
    // not keys at all for XKB: events on them reach no one.
    for (const KeyDescription& key : describeKeys(connection_.display())) {
        if (key.levels.empty() && !key.name.empty()) spare_.push_back(key.keycode);
    }
    probeKey_ = 0;
    if (spare_.size() >= 2) {
        probeKey_ = spare_.back();
        spare_.pop_back();
    }
}

// A key without symbols types nothing, but the target looks it up, and a
// lazy one fetches the mapping as it does.
void X11SpareKeys::tapProbeKey() {
    Display* display = connection_.display();
    XTestFakeKeyEvent(display, probeKey_, True, CurrentTime);
    XTestFakeKeyEvent(display, probeKey_, False, CurrentTime);
    XFlush(display);
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

// All changed keys go to the server in one XKB request, so that every
// client hears of one mapping change per binding rather than one per key
// (window managers grab their keys again after each).
Result X11SpareKeys::writeKeys(const std::vector<std::uint8_t>& keycodes) {
    if (watching_) watcher_->mark();
    Display* display = connection_.display();
    XErrorTrap trap(display);
    XkbDescHolder xkb(XkbGetMap(
        display, XkbKeyTypesMask | XkbKeySymsMask | XkbExplicitComponentsMask, XkbUseCoreKbd));
    if (!xkb || !xkb->server) return Result::failure("cannot read the keyboard mapping");
    XkbMapChangesRec changes{};
    for (std::uint8_t keycode : keycodes) {
        const Levels& levels = bound_[keycode];
        if (levels == Levels{}) {
            XkbChangeTypesOfKey(xkb.get(), keycode, 0, XkbGroup1Mask, nullptr, &changes);
            xkb->server->c_explicit[keycode] = 0;
            continue;
        }
        // An explicit two-level type: left to itself the server would derive
        // the type from the symbols and complete a lone cased letter with
        // its other case.
        int twoLevel[XkbNumKbdGroups] = {XkbTwoLevelIndex};
        XkbChangeTypesOfKey(xkb.get(), keycode, 1, XkbGroup1Mask, twoLevel, &changes);
        KeySym* syms = XkbKeySymsPtr(xkb.get(), keycode);
        syms[0] = keysymOf(levels[0] != 0 ? levels[0] : levels[1]);
        syms[1] = keysymOf(levels[1] != 0 ? levels[1] : levels[0]);
        xkb->server->c_explicit[keycode] = XkbExplicitKeyType1Mask;
    }
    const auto [low, high] = std::minmax_element(keycodes.begin(), keycodes.end());
    changes.changed |= XkbKeySymsMask | XkbExplicitComponentsMask;
    changes.first_key_sym = changes.first_key_explicit = *low;
    changes.num_key_syms = changes.num_key_explicit = static_cast<unsigned char>(*high - *low + 1);
    XkbChangeMap(display, xkb.get(), &changes);
    if (trap.failed())
        return Result::failure("cannot change the keyboard mapping: " + trap.error());
    return Result::success();
}

bool X11SpareKeys::anyBound() const {
    return boundKey() != 0;
}

std::uint8_t X11SpareKeys::boundKey() const {
    const auto bound = std::find_if(bound_.begin(), bound_.end(),
                                    [](const auto& key) { return key.second != Levels{}; });
    return bound == bound_.end() ? 0 : bound->first;
}

Expected<std::vector<SpareStroke>> X11SpareKeys::bind(const std::vector<char32_t>& chars) {
    if (chars.empty() && !anyBound()) return std::vector<SpareStroke>{};
    if (chars.size() > capacity()) return Result::failure("more characters than spare keys");
    const std::map<std::uint8_t, Levels> before = bound_;
    const bool wasBound = anyBound();
    ++generation_;
    // Characters already on a key stay there; each other one takes the slot
    // used longest ago, so that the keys of the text typed just before keep
    // their characters for a target still reading it.
    std::vector<std::optional<SpareStroke>> strokes(chars.size());
    for (std::size_t i = 0; i < chars.size(); ++i) strokes[i] = reuse(chars[i]);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (!strokes[i]) strokes[i] = place(chars[i]);
    }
    std::vector<std::uint8_t> changed;
    for (const auto& [keycode, levels] : bound_) {
        const auto old = before.find(keycode);
        if (old == before.end() ? levels != Levels{} : old->second != levels)
            changed.push_back(keycode);
    }
    if (!wasBound) {
        watchFocusedProgram();
        firstBind_ = Clock::now();
        longestFetch_ = {};
    } else if (changed.empty()) {
        // Rewritten as it stands, a key still makes the programs fetch the
        // mapping, which tells how far they are.
        changed.push_back(boundKey());
    }
    if (Result written = writeKeys(changed); !written) return written;
    // No key is typed with the binding before the program has fetched it.
    waitForTargets();
    std::vector<SpareStroke> result;
    for (const auto& stroke : strokes) result.push_back(*stroke);
    return result;
}

std::optional<SpareStroke> X11SpareKeys::reuse(char32_t ch) {
    for (auto& [keycode, levels] : bound_) {
        for (int level = 0; level < 2; ++level) {
            if (levels[level] == ch) {
                lastUse_[keycode][level] = generation_;
                return SpareStroke{static_cast<std::uint8_t>(keycode - 8), level == 1};
            }
        }
    }
    return std::nullopt;
}

SpareStroke X11SpareKeys::place(char32_t ch) {
    std::optional<std::pair<std::uint8_t, int>> best;
    unsigned bestUse = 0;
    for (int level = 0; level < 2; ++level) {
        for (std::uint8_t keycode : spare_) {
            const unsigned use = lastUse_[keycode][level];
            if (use == generation_ || (best && use >= bestUse)) continue;
            best = {keycode, level};
            bestUse = use;
        }
    }
    // bind() checked the capacity, so there is always a slot.
    const auto [keycode, level] = *best;
    bound_[keycode][level] = ch;
    lastUse_[keycode][level] = generation_;
    return {static_cast<std::uint8_t>(keycode - 8), level == 1};
}

void X11SpareKeys::watchFocusedProgram() {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(connection_.display(), &focus, &revert);
    if (!watcher_)
        watcher_ = MapFetchWatcher::open(connection_.displayName(), connection_.xkbOpcode());
    watching_ = watcher_ && focus != None && focus != PointerRoot && focus != connection_.root() &&
                watcher_->watch(focus);
}

// Waits for the watched program's fetch of the last write; false, and no
// longer watching, when none came in time. Xlib loses a notice it reads
// while it fetches for an earlier one: when no fetch comes for a while, the
// notice is sent again (a key rewritten as it stands, and the probe key for
// a lazy reader to look up). A program busy with keys typed earlier fetches
// late: it is given at least three times the longest it has taken, so that
// a slow one costs pace only.
bool X11SpareKeys::awaitFetch() {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    constexpr std::chrono::seconds kFetchLimit(10);
    constexpr milliseconds kNoticeAgain(200);
    if (!watching_) return false;
    const auto start = Clock::now();
    const auto limit = std::max<Clock::duration>(kFetchLimit, 3 * longestFetch_);
    const auto again = std::max<Clock::duration>(kNoticeAgain, 2 * longestFetch_);
    while (!watcher_->waitForFetch(duration_cast<milliseconds>(again))) {
        if (Clock::now() - start >= limit) {
            // A program that never looks at the keymap again (or has lost
            // the focus) is not waited for a second time.
            watching_ = false;
            return false;
        }
        writeKeys({boundKey()});
        tapProbeKey();
    }
    longestFetch_ = std::max<Clock::duration>(longestFetch_, Clock::now() - start);
    return true;
}

void X11SpareKeys::waitForTargets() {
    if (!awaitFetch()) std::this_thread::sleep_for(settle_);
}

// Takes the characters off the slots last asked for `binds` or more binds
// ago; gives the keys changed.
std::vector<std::uint8_t> X11SpareKeys::clearSlotsOlderThan(unsigned binds) {
    std::vector<std::uint8_t> keycodes;
    for (auto& [keycode, levels] : bound_) {
        bool cleared = false;
        for (int level = 0; level < 2; ++level) {
            if (levels[level] == 0 || lastUse_[keycode][level] + binds > generation_) continue;
            levels[level] = 0;
            cleared = true;
        }
        if (cleared) keycodes.push_back(keycode);
    }
    return keycodes;
}

// The slots of the last binds may still be read: each fetch of a write
// proves one more of them handled. No key follows these writes but the
// probe key's.
void X11SpareKeys::clearAfterTyping() {
    if (probeKey_ == 0) watching_ = false;
    for (unsigned binds = kKeptBinds; binds > 0 && watching_; --binds) {
        std::vector<std::uint8_t> keycodes = clearSlotsOlderThan(binds);
        if (keycodes.empty()) keycodes.push_back(boundKey());
        writeKeys(keycodes);
        tapProbeKey();
        awaitFetch();
    }
}

void X11SpareKeys::release() {
    if (!anyBound()) return;
    clearAfterTyping();
    if (!watching_) {
        std::this_thread::sleep_for(settle_);
        // A target that reads slower than the keys came may still be working
        // through the last of them: give it as long again as the typing took
        // (within reason) before the keys lose their characters.
        constexpr std::chrono::seconds kLongestWait(2);
        const auto typing = Clock::now() - firstBind_;
        if (typing > settle_)
            std::this_thread::sleep_for(std::min<Clock::duration>(typing - settle_, kLongestWait));
    }
    std::vector<std::uint8_t> keycodes = clearSlotsOlderThan(0);
    if (watching_) watcher_->stop();
    watching_ = false;
    if (!keycodes.empty()) writeKeys(keycodes);
}

namespace {

const char* indicatorName(LockKey key) {
    switch (key) {
        case LockKey::CapsLock: return "Caps Lock";
        case LockKey::NumLock: return "Num Lock";
        case LockKey::ScrollLock: return "Scroll Lock";
    }
    return "";
}

}  // namespace

bool X11KeyboardState::isOn(LockKey key) {
    Display* display = connection_.display();
    Bool on = False;
    if (XkbGetNamedIndicator(display, connection_.atom(indicatorName(key)), nullptr, &on, nullptr,
                             nullptr)) {
        return on == True;
    }
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    return key == LockKey::CapsLock && (state.locked_mods & LockMask) != 0;
}

// The modifier bit behind a lock toggle; 0 where only an indicator shows it.
unsigned X11KeyboardState::lockMask(LockKey key) {
    switch (key) {
        case LockKey::CapsLock: return LockMask;
        case LockKey::NumLock: return XkbKeysymToModifiers(connection_.display(), XK_Num_Lock);
        case LockKey::ScrollLock: return 0;
    }
    return 0;
}

void X11KeyboardState::showToggle(LockKey key, bool on) {
    if (isOn(key) == on) return;
    Display* display = connection_.display();
    if (const unsigned mask = lockMask(key); mask != 0) {
        lockModifier(mask, on);
    } else {
        XkbSetNamedIndicator(display, connection_.atom(indicatorName(key)), True, on ? True : False,
                             False, nullptr);
    }
    XSync(display, False);
}

void X11KeyboardState::setCapsLock(bool on) {
    lockModifier(LockMask, on);
    XFlush(connection_.display());
}

void X11KeyboardState::lockModifier(unsigned mask, bool on) {
    XkbLockModifiers(connection_.display(), XkbUseCoreKbd, mask, on ? mask : 0);
}

}  // namespace ks::x11
