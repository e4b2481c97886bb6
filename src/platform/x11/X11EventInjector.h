#pragma once

#include <memory>
#include <string>

#include "platform/EventInjector.h"
#include "platform/Keymap.h"

namespace ks::x11 {

// Synthesises input with XTest on a connection of its own.
class X11EventInjector final : public EventInjector {
public:
    // Keys are found through `keymap`, the layout in force when each one is
    // played. An empty name injects into the session's display ($DISPLAY).
    explicit X11EventInjector(Keymap& keymap, const std::string& displayName = {});
    ~X11EventInjector() override;

    bool available() override;
    void key(std::uint8_t virtualKey, std::uint8_t scan, bool down) override;
    void motion(std::int32_t x, std::int32_t y) override;
    void button(unsigned number, bool down) override;
    void flush() override;

private:
    struct Impl;
    Keymap& keymap_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks::x11
