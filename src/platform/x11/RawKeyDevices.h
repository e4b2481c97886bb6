#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <set>
#include <vector>

typedef struct _XDisplay Display;

namespace ks::x11 {

// The input devices a raw-key watch tells apart: the XTest devices, through
// which every program's synthesised keys come, and the physical keyboards.
struct RawKeyDevices {
    std::set<int> synthetic;
    std::vector<int> physicalKeyboards;
};
RawKeyDevices queryRawKeyDevices(Display* display);

// A notifier, disabled until the watch starts, that calls `onReadable` when
// the watch's own connection has events to read.
std::unique_ptr<QSocketNotifier> connectionNotifier(Display* display,
                                                    std::function<void()> onReadable);

// Drops every event already read from the server: after a watch stops,
// they belong to the watch just ended.
void discardPendingEvents(Display* display);

}  // namespace ks::x11
