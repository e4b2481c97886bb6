#pragma once

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/InputInjector.h"
#include "platform/KeyboardState.h"
#include "platform/Keymap.h"
#include "platform/SpareKeys.h"
#include "platform/x11/MapFetchWatcher.h"
#include "platform/x11/XConnection.h"

namespace ks::x11 {

// The layout of the server's current keyboard map, rebuilt after every
// mapping or group change.
class X11Keymap final : public Keymap {
public:
    explicit X11Keymap(XConnection& connection) : connection_(connection) {}

    // Asks the server whether the layout changed (one round trip).
    std::shared_ptr<const KeyLayout> layout() override;
    // The layout as far as the changes received so far tell, without a
    // round trip: for injecting one event after another.
    std::shared_ptr<const KeyLayout> cachedLayout();

private:
    std::shared_ptr<const KeyLayout> rebuildIf(bool changed);

    XConnection& connection_;
    std::shared_ptr<const KeyLayout> layout_;
};

// Key, button and pointer events through XTest (which the connection has).
class X11InputInjector final : public InputInjector {
public:
    X11InputInjector(XConnection& connection, X11Keymap& keymap)
        : connection_(connection), keymap_(keymap) {}

    bool available() override { return true; }
    void keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) override;
    void key(std::uint8_t vk, std::uint8_t scan, bool down) override;
    void motion(std::int32_t x, std::int32_t y) override;
    void button(unsigned number, bool down) override;
    void flush() override;

    // For a playback: reads where the pointer is, then takes it to be where
    // this injector last put it until the user's mouse moves it (which its
    // raw events tell without being asked for), so that motion() sends no
    // request but the move, and after the user's move sends that at once.
    // Without XInput 2 motion() goes on asking the server, as it does
    // untracked.
    void trackPointer();
    void stopTrackingPointer();

private:
    struct Point {
        int x = 0;
        int y = 0;
        bool operator==(const Point&) const = default;
    };
    std::optional<Point> queryPointer() const;
    std::optional<Point> pointer();

    XConnection& connection_;
    X11Keymap& keymap_;
    bool tracking_ = false;
    // Where the pointer is as far as tracking knows; nothing to ask for it.
    std::optional<Point> known_;
};

// Lends keycodes without symbols to characters, two per key (plain and
// shifted). Targets fetch the keymap lazily: one still working through keys
// typed before a mapping change would read them with the next mapping.
//
// Every bind() writes the mapping once (rewriting a key as it stands when
// nothing else changes) and returns once the focused program has fetched it
// (seen through RECORD), so no key is typed with a binding the program has
// not read. A fetch proves less than it seems: Xlib takes note of a change
// when it reads the notice, which may be while it still holds keys typed
// earlier, and fetches at its next key lookup, even of such a key; it reads
// ahead as far as the notice before the one it is handling. So the keys of
// the last kKeptBinds binds are never taken (the callers' share of the keys
// sees to that) and release() clears them one bind per write, each write
// followed by a key without symbols for the program to look up. Waiting so
// paces the typing against the program's own speed; the wait is bounded by
// what the pace seen so far makes plausible, and where no fetch is seen (no
// RECORD, a program that never fetches) pauses stand in.
class X11SpareKeys final : public SpareKeys {
public:
    using Clock = std::chrono::steady_clock;

    explicit X11SpareKeys(XConnection& connection,
                          std::chrono::milliseconds settle = std::chrono::milliseconds(100))
        : connection_(connection), settle_(settle) {}
    ~X11SpareKeys() override;

    std::size_t capacity() override;
    Expected<std::vector<SpareStroke>> bind(const std::vector<char32_t>& chars) override;
    void release() override;

private:
    // The characters on a lent key, plain and shifted; 0 for none.
    using Levels = std::array<char32_t, 2>;

    void findSpareKeys();
    void tapProbeKey();
    bool anyBound() const;
    // A key lent to some character; 0 for none.
    std::uint8_t boundKey() const;
    void watchFocusedProgram();
    bool awaitFetch();
    void waitForTargets();
    std::optional<SpareStroke> reuse(char32_t ch);
    SpareStroke place(char32_t ch);
    std::vector<std::uint8_t> clearSlotsOlderThan(unsigned binds);
    void clearAfterTyping();
    Result writeKeys(const std::vector<std::uint8_t>& keycodes);

    XConnection& connection_;
    std::chrono::milliseconds settle_;
    std::vector<std::uint8_t> spare_;
    // A spare key kept without symbols, pressed to make targets look up a key.
    std::uint8_t probeKey_ = 0;
    std::map<std::uint8_t, Levels> bound_;
    // The bind() that last asked for each slot's character, by key and level.
    std::map<std::uint8_t, std::array<unsigned, 2>> lastUse_;
    unsigned generation_ = 0;
    Clock::time_point firstBind_{};
    std::unique_ptr<MapFetchWatcher> watcher_;
    bool watching_ = false;
    // The program's pace: when it last fetched, and the longest it took
    // from one fetch to the next.
    // The program's pace: the longest it took to fetch a write.
    Clock::duration longestFetch_{};
};

// Lock toggles as the XKB indicators show them.
class X11KeyboardState final : public KeyboardState {
public:
    explicit X11KeyboardState(XConnection& connection) : connection_(connection) {}

    bool isOn(LockKey key) override;
    void showToggle(LockKey key, bool on) override;
    void setCapsLock(bool on) override;

private:
    unsigned lockMask(LockKey key);
    void lockModifier(unsigned mask, bool on);

    XConnection& connection_;
};

}  // namespace ks::x11
