#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/x11/OwnDisplay.h"

typedef union _XEvent XEvent;

namespace ks::x11 {

// The input devices a raw-key watch tells apart: the XTest devices, through
// which every program's synthesised keys come, and the physical keyboards.
struct RawKeyDevices {
    std::set<int> synthetic;
    std::vector<int> physicalKeyboards;
};
RawKeyDevices queryRawKeyDevices(Display* display);

// Whether the server speaks XInput 2.`minor`, announcing that version for
// the connection (once per connection); `opcode` is the extension's.
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

// A raw-key watch's own connection with XInput2, read on the thread that
// opens it when its socket is readable.
class RawKeyConnection {
public:
    // Opens `name` (empty: $DISPLAY) once, if the server speaks XInput
    // 2.`minor` and `prepare`, the watch's own checks and set-up, succeeds on
    // it. A failed attempt keeps nothing: the next one starts afresh.
    bool open(const std::string& name, int minor, const std::function<bool(Display*)>& prepare,
              std::function<void()> onReadable);
    bool isOpen() const { return display_ != nullptr; }
    Display* display() const { return display_.get(); }

    // Hands `event`, read from the connection, to `handlers` when it is an
    // XInput2 event; passes over any other event.
    void dispatch(XEvent& event, const RawKeyHandlers& handlers) const;

    void resume();
    // Stops reading: `deselect` ends the watch's selections, then the events
    // already sent are dropped, as they belong to the watch just ended.
    void pause(const std::function<void()>& deselect);

private:
    OwnDisplay display_;
    int xinputOpcode_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ks::x11
