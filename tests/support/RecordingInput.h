#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Utf8.h"
#include "platform/Clock.h"
#include "platform/InputInjector.h"
#include "platform/KeyboardState.h"
#include "platform/SpareKeys.h"
#include "platform/WindowControl.h"

namespace ks::test {

// What the input doubles saw, in order: key events "vk/scan" ("vk/scan^" up,
// "vk/scan!flags" with other flags), mouse events "mouse flags x,y", spare keys
// bound ("bind" and the characters) and given back ("release"), "caps"/"nocaps".
using InputLog = std::vector<std::string>;

// The log on one line, each key tapped (down, then at once up) as one "vk/scan".
inline std::string typed(const InputLog& log) {
    std::string out;
    for (std::size_t i = 0; i < log.size(); ++i) {
        out += (out.empty() ? "" : " ") + log[i];
        if (i + 1 < log.size() && log[i + 1] == log[i] + "^") ++i;
    }
    return out;
}

// Adds entries to a log shared by the input doubles, when there is one.
class Logging {
public:
    explicit Logging(InputLog* log) : log_(log) {}

protected:
    void note(std::string entry) {
        if (log_) log_->push_back(std::move(entry));
    }

private:
    InputLog* log_;
};

// Records what was injected: the commands' events into the log, and the
// player's calls each with the tick it was made at.
class RecordingInjector final : public InputInjector, Logging {
public:
    struct Call {
        std::string what;
        std::uint32_t tick;
    };
    explicit RecordingInjector(InputLog* log = nullptr) : Logging(log) {}
    explicit RecordingInjector(Clock& clock) : Logging(nullptr), clock_(&clock) {}

    bool available() override { return usable; }
    void keyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override {
        const std::string more = flags == kKeyUp ? "^" : flags ? "!" + std::to_string(flags) : "";
        note(std::to_string(vk) + "/" + std::to_string(scan) + more);
    }
    void mouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y) override {
        note("mouse " + std::to_string(flags) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void key(std::uint8_t vk, std::uint8_t, bool down) override {
        add("key " + std::to_string(vk) + (down ? " down" : " up"));
    }
    void motion(std::int32_t x, std::int32_t y) override {
        add("motion " + std::to_string(x) + "," + std::to_string(y));
    }
    void button(unsigned number, bool down) override {
        add("button " + std::to_string(number) + (down ? " down" : " up"));
    }
    void flush() override {}

    std::vector<std::string> whats() const {
        std::vector<std::string> out;
        for (const Call& call : calls) out.push_back(call.what);
        return out;
    }

    bool usable = true;
    std::vector<Call> calls;

private:
    void add(std::string what) {
        calls.push_back({std::move(what), clock_ != nullptr ? clock_->ticks() : 0});
    }

    Clock* clock_ = nullptr;
};

// Spare keys numbered from scan code 200 on, plain level only; a bind can be
// made to fail.
class RecordingSpareKeys final : public SpareKeys, Logging {
public:
    explicit RecordingSpareKeys(InputLog* log = nullptr) : Logging(log) {}
    std::size_t capacity() override { return keys; }
    Expected<std::vector<SpareStroke>> bind(const std::vector<char32_t>& chars) override {
        std::string entry = "bind";
        for (const char32_t ch : chars) utf8::append(entry, ch);
        note(entry);
        if (++binds == failBind) return Result::failure("refused");
        std::vector<SpareStroke> strokes;
        for (std::size_t i = 0; i < chars.size(); ++i)
            strokes.push_back({static_cast<std::uint8_t>(200 + i), false});
        return strokes;
    }
    void release() override { note("release"); }

    std::size_t keys = 4;
    std::size_t binds = 0;
    std::size_t failBind = 0;  // the number, from 1, of the bind that fails; 0: none
};

class FakeKeyboardState final : public KeyboardState, Logging {
public:
    explicit FakeKeyboardState(InputLog* log = nullptr) : Logging(log) {}
    bool isOn(LockKey key) override { return on.count(key) > 0; }
    void showToggle(LockKey key, bool value) override {
        on.erase(key);
        if (value) on.insert(key);
    }
    void setCapsLock(bool value) override {
        showToggle(LockKey::CapsLock, value);
        note(value ? "caps" : "nocaps");
    }
    std::set<LockKey> on;
};

// A desktop of windows given by the test; records attach and detach.
class FakeWindowControl final : public WindowControl {
public:
    std::optional<WindowId> foreground() override { return foregroundWindow; }
    bool isOwnWindow(WindowId window) override { return own.count(window) > 0; }
    bool isDesktop(WindowId window) override { return window == desktop; }
    bool attachInput(WindowId window) override {
        return note("attach", window), !refuseAttach && !isOwnWindow(window) && !isDesktop(window);
    }
    void detachInput(WindowId window) override { note("detach", window); }
    std::optional<ScreenRect> rect(WindowId window) override {
        if (windowRect) note("rect", window);
        return windowRect;
    }
    ScreenSize screenSize() override { return {1024, 768}; }
    std::vector<TopLevelWindow> topLevelWindows() override { return windows; }
    bool setForeground(WindowId window) override {
        note("foreground", window);
        if (!refuseForeground) foregroundWindow = window;
        return !refuseForeground;
    }
    bool show(WindowId window, ShowCommand command) override {
        note("show", window, " " + std::to_string(static_cast<int>(command)));
        return !refuseShow;
    }
    Result placeable() override {
        return placeRefusal.empty() ? Result::success() : Result::failure(placeRefusal);
    }
    void note(const char* call, WindowId window, const std::string& more = {}) {
        calls.push_back(call + (" " + std::to_string(window)) + more);
    }

    std::optional<WindowId> foregroundWindow;
    std::vector<TopLevelWindow> windows;
    std::set<WindowId> own;
    WindowId desktop = 1;
    std::optional<ScreenRect> windowRect;
    bool refuseAttach = false;
    bool refuseForeground = false;
    bool refuseShow = false;
    std::string placeRefusal;
    std::vector<std::string> calls;
};

}  // namespace ks::test
