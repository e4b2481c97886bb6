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

// Records what was injected: the commands' events into the log, and the
// player's calls each with the tick it was made at.
class RecordingInjector final : public InputInjector {
public:
    struct Call {
        std::string what;
        std::uint32_t tick;
    };
    explicit RecordingInjector(InputLog* log = nullptr) : log_(log) {}
    explicit RecordingInjector(Clock& clock) : clock_(&clock) {}

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
    void flush() override { ++flushes; }

    std::vector<std::string> whats() const {
        std::vector<std::string> out;
        for (const Call& call : calls) out.push_back(call.what);
        return out;
    }

    bool usable = true;
    int flushes = 0;
    std::vector<Call> calls;

private:
    void note(std::string entry) {
        if (log_) log_->push_back(std::move(entry));
    }
    void add(std::string what) {
        calls.push_back({std::move(what), clock_ != nullptr ? clock_->ticks() : 0});
    }

    InputLog* log_ = nullptr;
    Clock* clock_ = nullptr;
};

// Spare keys numbered from scan code 200 on, plain level only; a bind can be
// made to fail.
class RecordingSpareKeys final : public SpareKeys {
public:
    explicit RecordingSpareKeys(InputLog* log = nullptr) : log_(log) {}
    std::size_t capacity() override { return keys; }
    Expected<std::vector<SpareStroke>> bind(const std::vector<char32_t>& chars) override {
        binds.push_back(chars);
        if (log_) {
            std::string entry = "bind";
            for (const char32_t ch : chars) utf8::append(entry, ch);
            log_->push_back(entry);
        }
        if (failBind && binds.size() == *failBind) return Result::failure("refused");
        std::vector<SpareStroke> strokes;
        for (std::size_t i = 0; i < chars.size(); ++i)
            strokes.push_back({static_cast<std::uint8_t>(200 + i), false});
        bound = true;
        return strokes;
    }
    void release() override {
        ++releases;
        bound = false;
        if (log_) log_->push_back("release");
    }
    std::size_t keys = 4;
    std::vector<std::vector<char32_t>> binds;
    std::optional<std::size_t> failBind;  // 1-based number of the bind that fails
    int releases = 0;
    bool bound = false;

private:
    InputLog* log_;
};

class FakeKeyboardState final : public KeyboardState {
public:
    explicit FakeKeyboardState(InputLog* log = nullptr) : log_(log) {}
    bool isOn(LockKey key) override { return on.count(key) > 0; }
    void showToggle(LockKey key, bool value) override {
        on.erase(key);
        if (value) on.insert(key);
    }
    void setCapsLock(bool value) override {
        showToggle(LockKey::CapsLock, value);
        if (log_) log_->push_back(value ? "caps" : "nocaps");
    }
    std::set<LockKey> on;

private:
    InputLog* log_;
};

// A desktop of windows given by the test; records attach and detach.
class FakeWindowControl final : public WindowControl {
public:
    std::optional<WindowId> foreground() override { return foregroundWindow; }
    bool isOwnWindow(WindowId window) override { return own.count(window) > 0; }
    bool isDesktop(WindowId window) override { return window == desktop; }
    bool attachInput(WindowId window) override {
        calls.push_back("attach " + std::to_string(window));
        return !refuseAttach && !isOwnWindow(window) && !isDesktop(window);
    }
    void detachInput(WindowId window) override {
        calls.push_back("detach " + std::to_string(window));
    }
    std::optional<ScreenRect> rect(WindowId window) override {
        if (!windowRect) return std::nullopt;
        calls.push_back("rect " + std::to_string(window));
        return windowRect;
    }
    ScreenSize screenSize() override { return screen; }
    std::vector<TopLevelWindow> topLevelWindows() override { return windows; }
    bool setForeground(WindowId window) override {
        calls.push_back("foreground " + std::to_string(window));
        if (refuseForeground) return false;
        foregroundWindow = window;
        return true;
    }
    bool show(WindowId window, ShowCommand command) override {
        calls.push_back("show " + std::to_string(window) + " " +
                        std::to_string(static_cast<int>(command)));
        return !refuseShow;
    }

    std::optional<WindowId> foregroundWindow;
    std::vector<TopLevelWindow> windows;
    std::set<WindowId> own;
    WindowId desktop = 1;
    std::optional<ScreenRect> windowRect;
    ScreenSize screen{1024, 768};
    bool refuseAttach = false;
    bool refuseForeground = false;
    bool refuseShow = false;
    std::vector<std::string> calls;
};

}  // namespace ks::test
