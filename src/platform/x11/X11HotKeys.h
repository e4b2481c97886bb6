#pragma once

#include <memory>
#include <string>

#include "platform/HotKeys.h"

namespace ks::x11 {

// Hot keys as key grabs on the root window, on a connection of their own so
// that keymap changes and grab errors are seen here and nowhere else.
//
// Each hot key is grabbed once for every combination of the lock modifiers
// (Caps Lock, Num Lock, Scroll Lock), so a lock that is on does not hide it.
// Events are read when the connection's socket becomes readable; nothing
// polls. After a keyboard mapping change the grabs follow the keys to their
// new key codes once the changes have settled.
class X11HotKeys final : public HotKeys {
public:
    // Connects to `displayName` (the $DISPLAY one when empty).
    static Expected<std::unique_ptr<X11HotKeys>> open(const std::string& displayName = {});
    ~X11HotKeys() override;

    Result registerHotKey(std::int32_t id, std::uint32_t modifiers, std::uint32_t vk) override;
    // One wait for the server for all of them.
    std::vector<Result> registerHotKeys(const std::vector<HotKeyRequest>& requests) override;
    Result unregisterHotKey(std::int32_t id) override;
    void setPressedHandler(PressedHandler handler) override;
    // Suspending releases every grab; resuming takes them again where their
    // keys are then, as after a keymap change.
    void setSuspended(bool suspended) override;

    // How long keymap changes must have stopped before grabs are renewed.
    static constexpr int kRegrabDelayMs = 200;

private:
    struct Impl;
    explicit X11HotKeys(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks::x11
