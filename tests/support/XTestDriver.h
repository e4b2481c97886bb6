#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ks::test {

// Another client of a test display, on a connection of its own: presses keys
// and buttons and moves the pointer through XTest, as a user at the desktop
// would, and grabs keys as a competing program would.
class XTestDriver {
public:
    // Throws std::runtime_error when the display cannot be opened.
    explicit XTestDriver(const std::string& display);
    ~XTestDriver();
    XTestDriver(const XTestDriver&) = delete;
    XTestDriver& operator=(const XTestDriver&) = delete;

    unsigned keycode(const char* keysymName) const;
    void key(unsigned keycode, bool press);
    // Presses the keys in order, releases them in reverse, and syncs.
    void chord(const std::vector<unsigned>& keycodes);
    void chord(const std::vector<const char*>& keysymNames);
    void button(unsigned button, bool press);
    void moveTo(int x, int y);
    // Sends what is queued; sync() also waits until the server handled it.
    void flush();
    void sync();

    // The core state mask: modifiers, locks and buttons held.
    unsigned state() const;
    // True when the server granted the grab on the root window.
    bool grab(unsigned keycode, unsigned modifiers);
    void ungrab(unsigned keycode, unsigned modifiers);

    // The first resource of this connection's client. The server gives a
    // new client the lowest free client number, each a range of 2^21
    // resources wide (for its default of 256 clients).
    unsigned long clientBase() const;
    static constexpr unsigned long kClientRange = 1ul << 21;
    // Ends the client that owns `resource`, as xkill does.
    void killClient(unsigned long resource);

    unsigned long root() const;
    // The root's child that holds `window`: the window manager's frame.
    unsigned long topLevelOf(unsigned long window) const;
    // Whether `window` has the input focus and its frame is under the
    // pointer: a window manager may still move both after a window shows.
    bool focusedAndUnderPointer(unsigned long window) const;
    // The root coordinates of `window`'s centre, wherever the manager put it.
    std::pair<int, int> centreOf(unsigned long window) const;
    // Gives `window` the input focus, should the manager not have yet.
    void focus(unsigned long window);

private:
    struct Connection;
    std::unique_ptr<Connection> x_;
};

}  // namespace ks::test
