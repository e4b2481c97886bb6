#pragma once

#include <memory>
#include <string>

namespace ks::test {

// Presses keys and buttons and moves the pointer of a test display through
// XTest, on a connection of its own, as a user at the desktop would.
class XTestDriver {
public:
    // Throws std::runtime_error when the display cannot be opened.
    explicit XTestDriver(const std::string& display);
    ~XTestDriver();
    XTestDriver(const XTestDriver&) = delete;
    XTestDriver& operator=(const XTestDriver&) = delete;

    unsigned keycode(const char* keysymName) const;
    void key(unsigned keycode, bool press);
    void button(unsigned button, bool press);
    void moveTo(int x, int y);
    // Sends what is queued; sync() also waits until the server handled it.
    void flush();
    void sync();

    unsigned long root() const;
    // The root's child that holds `window`: the window manager's frame.
    unsigned long topLevelOf(unsigned long window) const;

private:
    struct Connection;
    std::unique_ptr<Connection> x_;
};

}  // namespace ks::test
