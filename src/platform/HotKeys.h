#pragma once

#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <vector>

#include "core/Result.h"

namespace ks {

// Modifier bits of a stored hot key (`fsModifiers`).
inline constexpr std::uint32_t kModAlt = 1;
inline constexpr std::uint32_t kModControl = 2;
inline constexpr std::uint32_t kModShift = 4;
inline constexpr std::uint32_t kModWin = 8;

// Why a registration fails, in words every backend gives alike.
inline constexpr const char* kHotKeyIdInUse = "The hot-key identifier is already in use.";
inline constexpr const char* kHotKeyNoKey = "The keyboard has no key for this hot key.";
inline constexpr const char* kHotKeyNotRegistered = "The hot key is not registered.";

struct HotKeyRequest {
    std::int32_t id;
    std::uint32_t modifiers;
    std::uint32_t vk;
};

// System-wide hot keys: a key with modifiers, captured from every
// application and reported by the identifier it was registered under.
class HotKeys {
public:
    using PressedHandler = std::function<void(std::int32_t id)>;

    HotKeys() = default;
    HotKeys(const HotKeys&) = delete;
    HotKeys& operator=(const HotKeys&) = delete;
    virtual ~HotKeys() = default;

    // Captures the virtual-key code `vk` with the `kMod*` bits in `modifiers`
    // under `id`. A failure carries the platform's error text; nothing stays
    // captured after one.
    virtual Result registerHotKey(std::int32_t id, std::uint32_t modifiers, std::uint32_t vk) = 0;
    // Registers several, one result per request in order, as if one by one;
    // an implementation may need far fewer round trips to its server so.
    virtual std::vector<Result> registerHotKeys(const std::vector<HotKeyRequest>& requests) {
        std::vector<Result> results;
        results.reserve(requests.size());
        for (const HotKeyRequest& r : requests) {
            results.push_back(registerHotKey(r.id, r.modifiers, r.vk));
        }
        return results;
    }
    // Releases what `id` captured; fails when `id` holds nothing.
    virtual Result unregisterHotKey(std::int32_t id) = 0;
    // Called on the GUI thread with the identifier of each hot key pressed.
    virtual void setPressedHandler(PressedHandler handler) = 0;
    // While suspended nothing registered is captured, so that every key
    // reaches the window with the focus (the field in which the user picks
    // a hot key); the registrations stay and are captured again on resume.
    virtual void setSuspended(bool suspended) = 0;
};

// Calls `handler` with a pressed hot key's identifier. What it throws is
// written to standard error: nothing escapes the event handler that reads the key.
inline void callPressedHandler(const HotKeys::PressedHandler& handler, std::int32_t id) {
    if (!handler) return;
    try {
        handler(id);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "keystrider: hot key %d: %s\n", id, error.what());
    } catch (...) {
        std::fprintf(stderr, "keystrider: hot key %d failed\n", id);
    }
}

}  // namespace ks
