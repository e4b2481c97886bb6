#pragma once

#include <string>
#include <vector>

#include "platform/x11/OwnDisplay.h"

namespace ks::test {

// Another client of a test display: types, clicks and moves through XTest as a user would,
// and grabs keys as a competing program would. Throws when the display cannot be opened.
class XTestDriver {
public:
    explicit XTestDriver(const std::string& display);

    unsigned keycode(const char* keysymName) const;
    void key(unsigned keycode, bool press);
    // A key on the Xvfb's own keyboard device, as a person would press it,
    // rather than on the XTest device every synthesising client shares; synced.
    void physicalKey(unsigned keycode, bool press);
    // A move of the Xvfb's own mouse to root coordinates, likewise; synced.
    void physicalMoveTo(int x, int y);
    void button(unsigned button, bool press);
    void moveTo(int x, int y);
    // Presses the keys in order, releases them in reverse, and syncs.
    void chord(const std::vector<unsigned>& keycodes);
    void chord(const std::vector<const char*>& keysymNames);
    // Sends what is queued; sync() also waits until the server handled it.
    void flush();
    void sync();

    unsigned state() const;  // the core state mask: modifiers, locks and buttons held
    unsigned long root() const;
    // True when the server granted the grab on the root window.
    bool grab(unsigned keycode, unsigned modifiers);
    void ungrab(unsigned keycode, unsigned modifiers);

    // The first resource of this client; a new client gets the lowest free range of 2^21.
    unsigned long clientBase() const;
    static constexpr unsigned long kClientRange = 1ul << 21;
    void killClient(unsigned long resource);  // ends the client owning it, as xkill does

private:
    x11::OwnDisplay display_;
};

}  // namespace ks::test
