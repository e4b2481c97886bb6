#pragma once

#include <memory>
#include <string>

#include "platform/CancelWatch.h"
#include "platform/Clipboard.h"
#include "platform/HotKeys.h"
#include "platform/InputCapture.h"
#include "platform/InputInjector.h"
#include "platform/KeyWatch.h"
#include "platform/KeyboardState.h"
#include "platform/PlaybackThread.h"
#include "platform/Sound.h"
#include "platform/SpareKeys.h"
#include "platform/WindowControl.h"

namespace ks {

// Why a service cannot work on the running desktop, naming what is missing
// and what the user can do. Calls that return a Result carry it to the
// caller, which shows it; calls that cannot say it themselves (a key press,
// a watch that does not start) write it to standard error, once per message
// in the program's life however many services refuse with it, so that a
// person running the program from a terminal learns why.
class Refusal {
public:
    explicit Refusal(std::string message) : message_(std::move(message)) {}
    const std::string& message() const { return message_; }
    Result refuse() const { return Result::failure(message_); }
    void report() const;
    // Reports the refusal and gives `answer`, the caller's sign of failure.
    template <typename T>
    T answer(T answer) const {
        report();
        return answer;
    }

private:
    std::string message_;
};

// The refusing implementation of each service, one per interface: every
// request fails or does nothing, and says why through its Refusal.

class RefusingInjector final : public InputInjector {
public:
    explicit RefusingInjector(std::string message) : refusal_(std::move(message)) {}
    bool available() override { return refusal_.answer(false); }
    void keyEvent(std::uint8_t, std::uint8_t, std::uint32_t) override { refusal_.report(); }
    void mouseEvent(std::uint32_t, std::int32_t, std::int32_t) override { refusal_.report(); }
    void key(std::uint8_t, std::uint8_t, bool) override { refusal_.report(); }
    void motion(std::int32_t, std::int32_t) override { refusal_.report(); }
    void button(unsigned, bool) override { refusal_.report(); }
    void flush() override {}

private:
    Refusal refusal_;
};

class RefusingSpareKeys final : public SpareKeys {
public:
    explicit RefusingSpareKeys(std::string message) : refusal_(std::move(message)) {}
    std::size_t capacity() override { return 0; }
    Expected<std::vector<SpareStroke>> bind(const std::vector<char32_t>&) override {
        return refusal_.refuse();
    }
    void release() override {}

private:
    Refusal refusal_;
};

// Reads every lock key as off.
class RefusingKeyboardState final : public KeyboardState {
public:
    explicit RefusingKeyboardState(std::string message) : refusal_(std::move(message)) {}
    bool isOn(LockKey) override { return false; }
    void showToggle(LockKey, bool) override { refusal_.report(); }
    void setCapsLock(bool) override { refusal_.report(); }

private:
    Refusal refusal_;
};

// Sees no windows, so that no command acts on some windows only; the screen
// is measured by `screen`.
class RefusingWindowControl final : public WindowControl {
public:
    RefusingWindowControl(std::string message, std::function<ScreenSize()> screen)
        : refusal_(std::move(message)), screen_(std::move(screen)) {}
    std::optional<WindowId> foreground() override { return refusal_.answer(std::nullopt); }
    bool isOwnWindow(WindowId) override { return false; }
    bool isDesktop(WindowId) override { return false; }
    bool attachInput(WindowId) override { return refusal_.answer(false); }
    void detachInput(WindowId) override {}
    std::optional<ScreenRect> rect(WindowId) override { return refusal_.answer(std::nullopt); }
    ScreenSize screenSize() override { return screen_(); }
    std::vector<TopLevelWindow> topLevelWindows() override {
        return refusal_.answer(std::vector<TopLevelWindow>{});
    }
    bool setForeground(WindowId) override { return refusal_.answer(false); }
    bool show(WindowId, ShowCommand) override { return refusal_.answer(false); }

private:
    Refusal refusal_;
    std::function<ScreenSize()> screen_;
};

class RefusingClipboard final : public Clipboard {
public:
    explicit RefusingClipboard(std::string message) : refusal_(std::move(message)) {}
    std::optional<std::vector<std::uint32_t>> formats() override {
        return refusal_.answer(std::nullopt);
    }
    std::optional<Bytes> data(std::uint32_t) override { return refusal_.answer(std::nullopt); }
    bool clear() override { return refusal_.answer(false); }
    bool offer(std::uint32_t, const Bytes&) override { return refusal_.answer(false); }

private:
    Refusal refusal_;
};

// For the cancel keys: a watch that does not start.
class RefusingCancelWatch final : public CancelWatch {
public:
    explicit RefusingCancelWatch(std::string message) : refusal_(std::move(message)) {}
    bool start(Handler) override { return refusal_.answer(false); }
    void stop() override {}

private:
    Refusal refusal_;
};

class RefusingPlaybackThread final : public PlaybackThread {
public:
    explicit RefusingPlaybackThread(std::string message) : refusal_(std::move(message)) {}
    bool available() override { return refusal_.answer(false); }
    void start(Step, std::function<void()> finished) override;
    void stop() override {}

private:
    Refusal refusal_;
};

class RefusingCapture final : public InputCapture {
public:
    explicit RefusingCapture(std::string message) : refusal_(std::move(message)) {}
    bool start(EventsHandler, LostHandler) override { return refusal_.answer(false); }
    void stop() override {}

private:
    Refusal refusal_;
};

class RefusingKeyWatch final : public KeyWatch {
public:
    explicit RefusingKeyWatch(std::string message) : refusal_(std::move(message)) {}
    bool start(Handler) override { return refusal_.answer(false); }
    void stop() override {}

private:
    Refusal refusal_;
};

class RefusingHotKeys final : public HotKeys {
public:
    explicit RefusingHotKeys(std::string message) : refusal_(std::move(message)) {}
    Result registerHotKey(std::int32_t, std::uint32_t, std::uint32_t) override {
        return refusal_.refuse();
    }
    Result unregisterHotKey(std::int32_t) override { return refusal_.refuse(); }
    void setPressedHandler(PressedHandler) override {}
    void setSuspended(bool) override {}

private:
    Refusal refusal_;
};

class RefusingSound final : public Sound {
public:
    explicit RefusingSound(std::string message) : refusal_(std::move(message)) {}
    void beep(int, int) override { refusal_.report(); }
    void alert(std::uint32_t) override { refusal_.report(); }

private:
    Refusal refusal_;
};

}  // namespace ks
