#include "platform/x11/X11CancelWatch.h"

#include <set>
#include <utility>
#include <vector>

#include "core/VirtualKey.h"
#include "platform/x11/RawKeyDevices.h"
#include "platform/x11/XkbLayoutBuilder.h"

// clang-format off
// After this program's headers: Xlib's macros would shadow their names.
#include <X11/extensions/XInput2.h>
// clang-format on

namespace ks::x11 {

struct X11CancelWatch::Impl {
    std::string displayName;
    RawKeyConnection connection;
    Handler handler;
    std::set<int> syntheticDevices;
    std::vector<int> physicalKeyboards;
    std::vector<int> selectedKeyboards;
    std::set<std::pair<int, int>> heldControls;  // (source device, keycode)
    KeyCode controlLeft = 0;
    KeyCode controlRight = 0;
    KeyCode escape = 0;

    bool open();
    void readControlKeys(Display* d);
    void select(bool watching);
    void readDevices();
    void readEvents();
    bool isCancel(const RawKey& raw);
};

bool X11CancelWatch::Impl::open() {
    return connection.open(
        displayName, 0,
        [this](Display* d) {
            readControlKeys(d);
            return true;
        },
        [this] { readEvents(); });
}

void X11CancelWatch::Impl::readControlKeys(Display* d) {
    const KeyLayout layout = currentKeyLayout(d);
    controlLeft = static_cast<KeyCode>(keycodeOfVk(layout, kVkLeftControl));
    controlRight = static_cast<KeyCode>(keycodeOfVk(layout, kVkRightControl));
    escape = static_cast<KeyCode>(keycodeOfVk(layout, kVkEscape));
}

void X11CancelWatch::Impl::select(bool watching) {
    Display* d = connection.display();
    unsigned char rawMask[XIMaskLen(XI_LASTEVENT)] = {};
    unsigned char hierarchyMask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(rawMask, XI_RawKeyPress);
    XISetMask(rawMask, XI_RawKeyRelease);
    if (watching) XISetMask(hierarchyMask, XI_HierarchyChanged);
    // Raw events are selected on the physical keyboards alone: a flood of
    // synthesised keys (a benchmark, another program's XTest typing) then
    // never reaches the watch, which would otherwise add a client the server
    // must feed with every key while RECORD hands the same keys to a capture.
    // An empty mask ends a device's selection.
    std::vector<XIEventMask> masks;
    for (const int device : selectedKeyboards) masks.push_back({device, 0, rawMask});
    selectedKeyboards = watching ? physicalKeyboards : std::vector<int>{};
    for (const int device : selectedKeyboards) {
        masks.push_back({device, static_cast<int>(sizeof rawMask), rawMask});
    }
    masks.push_back({XIAllDevices, static_cast<int>(sizeof hierarchyMask), hierarchyMask});
    XISelectEvents(d, DefaultRootWindow(d), masks.data(), static_cast<int>(masks.size()));
    XSync(d, False);
}

void X11CancelWatch::Impl::readDevices() {
    RawKeyDevices devices = queryRawKeyDevices(connection.display());
    syntheticDevices = std::move(devices.synthetic);
    physicalKeyboards = std::move(devices.physicalKeyboards);
}

bool X11CancelWatch::Impl::isCancel(const RawKey& raw) {
    if (syntheticDevices.count(raw.sourceDevice) != 0) return false;
    const auto keycode = static_cast<KeyCode>(raw.keycode);
    if (keycode == controlLeft || keycode == controlRight) {
        if (raw.pressed) {
            heldControls.insert({raw.sourceDevice, raw.keycode});
        } else {
            heldControls.erase({raw.sourceDevice, raw.keycode});
        }
        return false;
    }
    return raw.pressed && keycode == escape && !heldControls.empty();
}

void X11CancelWatch::Impl::readEvents() {
    Display* d = connection.display();
    bool cancelled = false;
    const RawKeyHandlers handlers{
        [this] {
            readDevices();
            if (handler) select(true);
        },
        [this, &cancelled](const RawKey& raw) { cancelled = isCancel(raw) || cancelled; }};
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        connection.dispatch(event, handlers);
    }
    // The handler may stop the watch; it is called last, on a copy.
    if (cancelled && handler) {
        Handler onCancel = handler;
        onCancel();
    }
}

X11CancelWatch::X11CancelWatch(const std::string& displayName) : impl_(new Impl) {
    impl_->displayName = displayName;
}

X11CancelWatch::~X11CancelWatch() {
    stop();
}

bool X11CancelWatch::start(Handler onCancel) {
    if (!impl_->open()) return false;
    impl_->heldControls.clear();
    impl_->readDevices();
    impl_->select(true);
    impl_->handler = std::move(onCancel);
    impl_->connection.resume();
    return true;
}

void X11CancelWatch::stop() {
    if (!impl_->connection.isOpen() || !impl_->handler) return;
    impl_->handler = nullptr;
    impl_->connection.pause([this] { impl_->select(false); });
}

}  // namespace ks::x11
