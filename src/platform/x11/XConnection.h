#pragma once

#include <memory>
#include <set>
#include <string>

#include "core/Result.h"
#include "platform/x11/OwnDisplay.h"

namespace ks::x11 {

// The program's own Xlib connection for input, keymap and window work. Qt's
// connection does not see keymap changes reliably, so everything that reads
// the keymap or injects input goes through one of these.
class XConnection {
public:
    // Opens `name`, or $DISPLAY when empty; fails when the server or one of
    // the XTest and XKB extensions is missing.
    static Expected<std::unique_ptr<XConnection>> open(const std::string& name = {});
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    Display* display() const { return display_.get(); }
    std::string displayName() const;
    int xkbOpcode() const { return xkbOpcode_; }
    unsigned long root() const;

    // Reads every event the server has sent so far (one round trip) and
    // answers whether the keyboard mapping or layout group changed since the
    // last call.
    bool keymapChangedSinceLastCheck();
    // The same without the round trip: only events already received.
    bool keymapChangedSoFar();

    // Starts watching for moves of a pointer other than XTest's (the user's
    // mouse) by their raw motion events, which arrive without being asked
    // for. One round trip; false when the server lacks XInput 2.2.
    bool watchPointerMoves();
    void stopWatchingPointerMoves();
    // Whether such a move came among the events received so far since the
    // last call.
    bool pointerMovedSoFar();

    unsigned long atom(const char* name) const;

private:
    XConnection(OwnDisplay display, int xkbOpcode)
        : display_(std::move(display)), xkbOpcode_(xkbOpcode) {}
    void drainEvents();
    void selectRawMotion(bool on);

    OwnDisplay display_;
    int xkbOpcode_;
    bool keymapChanged_ = true;
    int xinputOpcode_ = 0;  // 0 until the pointer is first watched
    // The XTest devices, whose moves are the program's own or another
    // program's synthesised ones.
    std::set<int> synthetic_;
    bool pointerMoved_ = false;
};

}  // namespace ks::x11
