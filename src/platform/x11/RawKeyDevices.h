#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <set>
#include <vector>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace ks::x11 {

// The input devices a raw-key watch tells apart: the XTest devices, through
// which every program's synthesised keys come, and the physical keyboards.
struct RawKeyDevices {
    std::set<int> synthetic;
    std::vector<int> physicalKeyboards;
};
RawKeyDevices queryRawKeyDevices(Display* display);

// Whether the server speaks XInput 2.`minor` or later; `opcode` receives
// the extension's major opcode, which marks its events.
bool queryXInput2(Display* display, int minor, int& opcode);

// A raw key event: its keycode, whether it went down, and the slave device
// it came from.
struct RawKey {
    int keycode = 0;
    bool pressed = false;
    int sourceDevice = 0;
};

// What a raw-key watch does with the XInput2 events of its connection.
struct RawKeyHandlers {
    std::function<void()> onHierarchyChanged;
    std::function<void(const RawKey&)> onKey;
};

// Hands `event`, read from `display`, to `handlers` when it is an XInput2
// event of the extension `xinputOpcode`; passes over any other event.
void dispatchRawKeyEvent(Display* display, int xinputOpcode, XEvent& event,
                         const RawKeyHandlers& handlers);

// A notifier, disabled until the watch starts, that calls `onReadable` when
// the watch's own connection has events to read.
std::unique_ptr<QSocketNotifier> connectionNotifier(Display* display,
                                                    std::function<void()> onReadable);

// Drops every event already read from the server: after a watch stops,
// they belong to the watch just ended.
void discardPendingEvents(Display* display);

}  // namespace ks::x11
