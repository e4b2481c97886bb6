#include "platform/evdev/EvdevWatches.h"

#include <cstdlib>
#include <utility>

#include "core/VirtualKey.h"

namespace ks::evdev {
namespace {

// Key codes above this have no scan code (an X keycode is at most 255).
constexpr std::uint16_t kLastScan = 255 - 8;

}  // namespace

DeviceSource::DeviceSource(const EvdevSetup& setup, DeviceFolder::Wanted wanted)
    : keys(setup.keymap), access_(setup.access), folder_(setup.folder, setup.opener, wanted) {}

bool DeviceSource::open(DeviceFolder::EventsHandler onEvents) {
    if (!keys.follow()) return false;
    keys.releaseKeys();
    const bool followed = folder_.start(std::move(onEvents));
    if (folder_.accessDenied()) access_.denied();
    // A lock switched on before the watch started shows only in the lights.
    for (const DeviceInfo& info : folder_.devices()) {
        if (info.lockLights && !info.synthetic) {
            keys.setLocks(info.capsLockLit, info.numLockLit);
            break;
        }
    }
    return followed;
}

EvdevKeyWatch::EvdevKeyWatch(const EvdevSetup& setup)
    : source_(setup, DeviceFolder::Wanted::Keyboards) {}

bool EvdevKeyWatch::start(Handler onKey) {
    return source_.restart(this, handler_, std::move(onKey));
}

void EvdevKeyWatch::stop() {
    handler_ = nullptr;
    source_.close();
}

void EvdevKeyWatch::onEvents(const DeviceFolder::Device& device, const DeviceEvent* events,
                             std::size_t count) {
    source_.keys.follow();
    for (std::size_t i = 0; i < count && handler_; ++i) {
        const DeviceEvent& event = events[i];
        if (event.kind != DeviceEvent::Kind::Key) continue;
        // The key is reported with the state it was pressed in, as on X11.
        WatchedKey key;
        key.scan = static_cast<std::uint8_t>(event.code);
        key.pressed = event.pressed;
        key.synthetic = device.info.synthetic;
        key.modifiers = source_.keys.keyModifiers();
        const KeyLayout& layout = source_.keys.layout();
        source_.keys.apply(event.code, event.pressed);
        if (event.code > kLastScan) continue;
        // The handler may stop the watch: it is called on a copy.
        const Handler onKey = handler_;
        onKey(key, layout);
    }
}

EvdevCancelWatch::EvdevCancelWatch(const EvdevSetup& setup)
    : source_(setup, DeviceFolder::Wanted::Keyboards) {}

bool EvdevCancelWatch::start(Handler onCancel) {
    return source_.restart(this, handler_, std::move(onCancel));
}

void EvdevCancelWatch::stop() {
    handler_ = nullptr;
    heldControls_.clear();
    source_.close();
}

bool EvdevCancelWatch::isCancel(const DeviceFolder::Device& device, const DeviceEvent& event) {
    if (event.kind != DeviceEvent::Kind::Key || device.info.synthetic || event.code > kLastScan) {
        return false;
    }
    // By the sided keys: the layout reads both Control keys back as one.
    const KeyLayout& layout = source_.keys.layout();
    if (event.code == layout.scanOfVk[kVkLeftControl] ||
        event.code == layout.scanOfVk[kVkRightControl]) {
        if (event.pressed) {
            heldControls_.insert({device.id, event.code});
        } else {
            heldControls_.erase({device.id, event.code});
        }
        return false;
    }
    return event.pressed && event.code == layout.scanOfVk[kVkEscape] && !heldControls_.empty();
}

void EvdevCancelWatch::onEvents(const DeviceFolder::Device& device, const DeviceEvent* events,
                                std::size_t count) {
    source_.keys.follow();
    bool cancelled = false;
    for (std::size_t i = 0; i < count; ++i) cancelled = isCancel(device, events[i]) || cancelled;
    // The handler may stop the watch; it is called last, on a copy.
    if (cancelled && handler_) {
        const Handler onCancel = handler_;
        onCancel();
    }
}

EvdevInputCapture::EvdevInputCapture(const EvdevSetup& setup)
    : source_(setup, DeviceFolder::Wanted::KeyboardsAndPointers) {}

bool EvdevInputCapture::start(EventsHandler onEvents, LostHandler) {
    stop();
    x_ = y_ = 0;
    handler_ = std::move(onEvents);
    // Devices come and go while the capture runs; nothing ends it but stop().
    if (!source_.open(this) || source_.accessDenied()) stop();
    return handler_ != nullptr;
}

void EvdevInputCapture::stop() {
    handler_ = nullptr;
    source_.close();
}

void EvdevInputCapture::addEvent(CapturedInput::Kind kind, std::uint32_t detail,
                                 std::uint32_t time) {
    CapturedInput input;
    input.kind = kind;
    input.detail = detail;
    input.modifiers = source_.keys.captureModifiers();
    input.rootX = x_;
    input.rootY = y_;
    input.time = time;
    batch_.push_back(input);
}

void EvdevInputCapture::onEvents(const DeviceFolder::Device&, const DeviceEvent* events,
                                 std::size_t count) {
    using Kind = CapturedInput::Kind;
    source_.keys.follow();
    batch_.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const DeviceEvent& event = events[i];
        switch (event.kind) {
            case DeviceEvent::Kind::Key:
                addEvent(event.pressed ? Kind::KeyPress : Kind::KeyRelease, event.code + 8u,
                         event.timeMs);
                source_.keys.apply(event.code, event.pressed);
                break;
            case DeviceEvent::Kind::Button:
                addEvent(event.pressed ? Kind::ButtonPress : Kind::ButtonRelease, event.code,
                         event.timeMs);
                break;
            case DeviceEvent::Kind::Motion:
                x_ += event.dx;
                y_ += event.dy;
                addEvent(Kind::Motion, 0, event.timeMs);
                break;
            case DeviceEvent::Kind::Wheel:
                // Each notch is a press and release of button 4 (away) or 5.
                for (std::int32_t notch = 0; notch < std::abs(event.dy); ++notch) {
                    for (const Kind kind : {Kind::ButtonPress, Kind::ButtonRelease}) {
                        addEvent(kind, event.dy > 0 ? 4 : 5, event.timeMs);
                    }
                }
                break;
        }
    }
    if (batch_.empty() || !handler_) return;
    const EventsHandler onBatch = handler_;
    onBatch(batch_.data(), batch_.size());
}

}  // namespace ks::evdev
