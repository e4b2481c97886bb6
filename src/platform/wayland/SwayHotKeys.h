#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/HotKeys.h"
#include "platform/wayland/SwayIpc.h"

struct xkb_keymap;

namespace ks::wayland {

class WaylandConnection;

// A hot key as sway's bindsym names it: the modifiers, then the keysym of the
// key that `vk` is in `keymap` (through the key-code layer, so the key is the
// one the user sees named), such as "Ctrl+Mod1+k". Nothing when the keymap
// has no key for `vk`.
std::optional<std::string> swayCombo(xkb_keymap* keymap, std::uint32_t modifiers, std::uint32_t vk);

// Hot keys on sway: each one a key binding added over sway's IPC that runs
// "nop <kTag> <id>"; the binding events say which ran. Wayland gives no
// program a grab of its own: the compositor owns the keyboard.
//
// sway's IPC cannot list the bindings added at run time (get_config gives
// the configuration file's text), so the program remembers the ones it made
// in a file in the runtime folder named after sway's socket: it lives as long
// as that sway's bindings do. Bindings a previous run left behind (after a
// crash) are removed at start; the program's own at exit, and made again
// when sway reads its configuration anew (which drops them). A combination
// the configuration binds is refused, as another program's grab is on X11:
// taking it over would lose the user's binding at exit.
class SwayHotKeys final : public HotKeys {
public:
    static constexpr const char* kTag = "keystrider-hotkey";

    // `connection` gives the seat's keymap; `rememberIn` is the file of the
    // bindings made (empty: the one beside sway's socket in $XDG_RUNTIME_DIR).
    static Expected<std::unique_ptr<SwayHotKeys>> open(
        std::unique_ptr<WaylandConnection> connection, const std::string& swaySocket = {},
        std::filesystem::path rememberIn = {});
    ~SwayHotKeys() override;

    Result registerHotKey(std::int32_t id, std::uint32_t modifiers, std::uint32_t vk) override;
    Result unregisterHotKey(std::int32_t id) override;
    void setPressedHandler(PressedHandler handler) override;
    void setSuspended(bool suspended) override;

    struct Impl;

private:
    explicit SwayHotKeys(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks::wayland
