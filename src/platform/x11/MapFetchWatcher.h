#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/x11/XConnection.h"

namespace ks::x11 {

struct RecordConnections;

// Watches one client fetch the keyboard mapping (core GetKeyboardMapping or
// XKB GetMap requests), through RECORD on two connections of its own.
//
// Programs read the keymap lazily: after a mapping change they fetch it when
// they next look up a key. A program that fetched after a change reads every
// key typed after that change with the new mapping, however far behind it
// is; so once the focused program has fetched, the keys typed since the
// change may be bound again.
class MapFetchWatcher {
public:
    // Nothing when the server has no RECORD extension.
    static std::unique_ptr<MapFetchWatcher> open(const std::string& display, int xkbOpcode);
    ~MapFetchWatcher();
    MapFetchWatcher(const MapFetchWatcher&) = delete;
    MapFetchWatcher& operator=(const MapFetchWatcher&) = delete;

    // Watches the client that created `window` from now on; false when it
    // cannot (the window is gone).
    bool watch(unsigned long window);
    // Forgets the fetches the server has seen so far: called just before
    // changing the mapping.
    void mark();
    // Waits until the client fetched the mapping since the last mark(), for
    // at most `limit`, and then until its requests pause; true when it did.
    bool waitForFetch(std::chrono::milliseconds limit);
    void stop();

    // What the recording callback saw.
    struct State {
        bool fetched = false;
        unsigned requests = 0;
        bool ended = false;
    };

private:
    MapFetchWatcher(std::unique_ptr<RecordConnections> x, int xkbOpcode);
    std::unique_ptr<RecordConnections> x_;
    int xkbOpcode_;
    State state_;
};

}  // namespace ks::x11
