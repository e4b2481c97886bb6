#include "platform/x11/X11KeyWatch.h"

#include <set>
#include <utility>

#include "platform/x11/RawKeyDevices.h"
#include "platform/x11/XkbLayoutBuilder.h"

// clang-format off
// After this program's headers: Xlib's macros would shadow their names.
#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>
// clang-format on

namespace ks::x11 {

struct X11KeyWatch::Impl {
    std::string displayName;
    RawKeyConnection connection;
    int xkbEventBase = 0;
    Handler handler;
    std::set<int> syntheticDevices;
    KeyLayout layout;
    bool layoutStale = true;
    unsigned modifiers = 0;  // the XKB effective modifiers
    unsigned numLockMask = 0;
    unsigned altGrMask = 0;

    bool open();
    void select(bool watching);
    void readDevices();
    void readState();
    void refreshLayout();
    void readEvents();
    void handleXkb(const XkbEvent& event);
    void handleRaw(const RawKey& raw);
};

bool X11KeyWatch::Impl::open() {
    return connection.open(
        displayName, 2,
        [this](Display* d) {
            int xkbOpcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
            return XkbQueryExtension(d, &xkbOpcode, &xkbEventBase, &error, &major, &minor) != 0;
        },
        [this] { readEvents(); });
}

void X11KeyWatch::Impl::select(bool watching) {
    Display* d = connection.display();
    unsigned char rawMask[XIMaskLen(XI_LASTEVENT)] = {};
    unsigned char hierarchyMask[XIMaskLen(XI_LASTEVENT)] = {};
    if (watching) {
        XISetMask(rawMask, XI_RawKeyPress);
        XISetMask(rawMask, XI_RawKeyRelease);
        XISetMask(hierarchyMask, XI_HierarchyChanged);
    }
    // On the masters, each key comes once, naming the device it came from.
    XIEventMask masks[] = {
        {XIAllMasterDevices, static_cast<int>(sizeof rawMask), rawMask},
        {XIAllDevices, static_cast<int>(sizeof hierarchyMask), hierarchyMask},
    };
    XISelectEvents(d, DefaultRootWindow(d), masks, 2);
    const unsigned long mapEvents = watching ? XkbNewKeyboardNotifyMask | XkbMapNotifyMask : 0;
    XkbSelectEvents(d, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask, mapEvents);
    const unsigned long stateEvents = watching ? XkbModifierStateMask | XkbGroupStateMask : 0;
    XkbSelectEventDetails(d, XkbUseCoreKbd, XkbStateNotify,
                          XkbModifierStateMask | XkbGroupStateMask, stateEvents);
    XSync(d, False);
}

void X11KeyWatch::Impl::readDevices() {
    syntheticDevices = queryRawKeyDevices(connection.display()).synthetic;
}

void X11KeyWatch::Impl::readState() {
    XkbStateRec state{};
    XkbGetState(connection.display(), XkbUseCoreKbd, &state);
    modifiers = state.mods;
}

void X11KeyWatch::Impl::refreshLayout() {
    Display* d = connection.display();
    layout = currentKeyLayout(d);
    numLockMask = XkbKeysymToModifiers(d, XK_Num_Lock);
    altGrMask =
        XkbKeysymToModifiers(d, XK_ISO_Level3_Shift) | XkbKeysymToModifiers(d, XK_Mode_switch);
    layoutStale = false;
}

void X11KeyWatch::Impl::handleXkb(const XkbEvent& event) {
    if (event.any.xkb_type == XkbStateNotify) {
        modifiers = event.state.mods;
        if (event.state.changed & XkbGroupStateMask) layoutStale = true;
    } else {
        layoutStale = true;
    }
}

void X11KeyWatch::Impl::handleRaw(const RawKey& raw) {
    if (raw.keycode < 8 || raw.keycode > 255) return;
    if (layoutStale) refreshLayout();
    WatchedKey key;
    key.scan = static_cast<std::uint8_t>(raw.keycode - 8);
    key.pressed = raw.pressed;
    key.synthetic = syntheticDevices.count(raw.sourceDevice) != 0;
    key.modifiers = {(modifiers & ShiftMask) != 0, (modifiers & LockMask) != 0,
                     (modifiers & altGrMask) != 0, (modifiers & numLockMask) != 0};
    // The handler may stop the watch: it is called on a copy.
    const Handler onKey = handler;
    onKey(key, layout);
}

void X11KeyWatch::Impl::readEvents() {
    Display* d = connection.display();
    const RawKeyHandlers handlers{[this] { readDevices(); },
                                  [this](const RawKey& raw) { handleRaw(raw); }};
    while (handler && XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == xkbEventBase) {
            handleXkb(reinterpret_cast<const XkbEvent&>(event));
        } else {
            connection.dispatch(event, handlers);
        }
    }
    // Programs that type a character off the layout bind it to a spare key,
    // type it and take it back at once: the binding is read as soon as it
    // is announced, as the key that uses it may come after it is gone.
    if (handler && layoutStale) refreshLayout();
}

X11KeyWatch::X11KeyWatch(const std::string& displayName) : impl_(new Impl) {
    impl_->displayName = displayName;
}

X11KeyWatch::~X11KeyWatch() {
    stop();
}

bool X11KeyWatch::start(Handler onKey) {
    if (!impl_->open()) return false;
    impl_->select(true);
    impl_->readDevices();
    impl_->readState();
    impl_->layoutStale = true;
    impl_->handler = std::move(onKey);
    impl_->connection.resume();
    return true;
}

void X11KeyWatch::stop() {
    if (!impl_->connection.isOpen() || !impl_->handler) return;
    impl_->handler = nullptr;
    impl_->connection.pause([this] { impl_->select(false); });
}

}  // namespace ks::x11
