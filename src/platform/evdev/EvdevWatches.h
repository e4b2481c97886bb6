#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/CancelWatch.h"
#include "platform/InputCapture.h"
#include "platform/KeyWatch.h"
#include "platform/SeatKeymap.h"
#include "platform/evdev/DeviceFolder.h"
#include "platform/evdev/SeatKeyState.h"

namespace ks::evdev {

// Tells the user, once in the program's life, that the input devices cannot
// be read. Safe to call from any thread; `show` is called on the caller's.
class AccessNotice {
public:
    static constexpr const char* kText =
        "Typed-word triggers and recording need read access to the keyboard and mouse devices on "
        "Wayland; add your user to the 'input' group and log in again.";

    explicit AccessNotice(std::function<void(const std::string&)> show) : show_(std::move(show)) {}
    void denied() {
        if (!shown_.exchange(true) && show_) show_(kText);
    }

private:
    std::function<void(const std::string&)> show_;
    std::atomic<bool> shown_{false};
};

// What every watch of the kernel's devices is made from.
struct EvdevSetup {
    const SeatKeymap& keymap;
    AccessNotice& access;
    std::string folder = "/dev/input";
    DeviceOpener opener = openInputDevice;
};

// What each watch reads: the devices it wants, with the seat's key state.
class DeviceSource {
public:
    DeviceSource(const EvdevSetup& setup, DeviceFolder::Wanted wanted);

    // Takes the seat's keymap and follows the devices, handing their events
    // to `watch->onEvents`; false when either fails. Whether it could or
    // not, a user who may read none of the devices is told.
    template <class Watch>
    bool open(Watch* watch) {
        return open([watch](const DeviceFolder::Device& device, const DeviceEvent* events,
                            std::size_t count) { watch->onEvents(device, events, count); });
    }
    // Starts a watch afresh with `handler` in its `slot`. Without the right
    // to the devices the watch sees nothing but counts as started: the
    // user's triggers are kept, and one notice says why.
    template <class Watch, class Handler>
    bool restart(Watch* watch, Handler& slot, Handler handler) {
        watch->stop();
        slot = std::move(handler);
        if (!open(watch)) slot = nullptr;
        return slot != nullptr || accessDenied();
    }
    void close() { folder_.stop(); }
    bool accessDenied() const { return folder_.accessDenied(); }

    SeatKeyState keys;

private:
    bool open(DeviceFolder::EventsHandler onEvents);

    AccessNotice& access_;
    DeviceFolder folder_;
};

// The desktop's keys for the phrase watch, read from the keyboards. Keys of
// the program's own virtual keyboard never reach the kernel's devices;
// another program's uinput keys are synthetic. Without the right to read the
// devices the watch starts, sees nothing and the user is told once.
class EvdevKeyWatch final : public KeyWatch {
public:
    explicit EvdevKeyWatch(const EvdevSetup& setup);

    bool start(Handler onKey) override;
    void stop() override;

private:
    friend class DeviceSource;
    void onEvents(const DeviceFolder::Device& device, const DeviceEvent* events, std::size_t count);

    DeviceSource source_;
    Handler handler_;
};

// Ctrl+Esc on a physical keyboard: uinput devices never count, and the
// program's own virtual keyboard is no device at all. Control and Escape are
// the keys the seat's layout names so.
class EvdevCancelWatch final : public CancelWatch {
public:
    explicit EvdevCancelWatch(const EvdevSetup& setup);

    bool start(Handler onCancel) override;
    void stop() override;

private:
    friend class DeviceSource;
    void onEvents(const DeviceFolder::Device& device, const DeviceEvent* events, std::size_t count);
    bool isCancel(const DeviceFolder::Device& device, const DeviceEvent& event);

    DeviceSource source_;
    Handler handler_;
    std::set<std::pair<int, std::uint16_t>> heldControls_;  // (device, key code)
};

// The recorder's capture from the keyboards and pointers. Keys carry the
// seat's modifiers and their devices' monotonic millisecond stamps. A
// pointer device tells only how far it moved, so positions count from where
// the pointer was when the capture started (0, 0) and are no places on the
// screen; no window is known (0). Refuses to start without the right to read
// the devices, after telling the user once.
class EvdevInputCapture final : public InputCapture {
public:
    explicit EvdevInputCapture(const EvdevSetup& setup);

    bool start(EventsHandler onEvents, LostHandler onLost) override;
    void stop() override;
    bool absolutePositions() const override { return false; }

private:
    friend class DeviceSource;
    void onEvents(const DeviceFolder::Device& device, const DeviceEvent* events, std::size_t count);
    void addEvent(CapturedInput::Kind kind, std::uint32_t detail, std::uint32_t time);

    DeviceSource source_;
    EventsHandler handler_;
    std::int32_t x_ = 0;
    std::int32_t y_ = 0;
    std::vector<CapturedInput> batch_;
};

}  // namespace ks::evdev
