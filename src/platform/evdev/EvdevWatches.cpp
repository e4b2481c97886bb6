#include "platform/evdev/EvdevWatches.h"

#include <cstdlib>
#include <utility>

#include "core/VirtualKey.h"

namespace ks::evdev {
namespace {

// Key codes above this have no scan code (an X keycode is at most 255).
constexpr std::uint16_t kLastScan = 255 - 8;

// Starts following the devices; false when the folder cannot be followed.
// Whether it could or not, a user who may read none of the devices is told.
bool followDevices(DeviceFolder& folder, AccessNotice& access,
                   DeviceFolder::EventsHandler handler) {
    const bool followed = folder.start(std::move(handler));
    if (folder.accessDenied()) access.denied();
    return followed;
}

}  // namespace

EvdevKeyWatch::EvdevKeyWatch(const EvdevSetup& setup)
    : access_(setup.access),
      keys_(setup.keymap),
      folder_(setup.folder, setup.opener, DeviceFolder::Wanted::Keyboards) {}

bool EvdevKeyWatch::start(Handler onKey) {
    stop();
    if (!keys_.follow()) return false;
    handler_ = std::move(onKey);
    // Without the right to the devices the watch sees nothing, but the
    // phrases are kept: one notice says why, not a failure at each start.
    const bool followed =
        followDevices(folder_, access_,
                      [this](const DeviceFolder::Device& device, const DeviceEvent* events,
                             std::size_t count) { onEvents(device, events, count); });
    if (!followed) handler_ = nullptr;
    return followed || folder_.accessDenied();
}

void EvdevKeyWatch::stop() {
    handler_ = nullptr;
    folder_.stop();
}

void EvdevKeyWatch::onEvents(const DeviceFolder::Device& device, const DeviceEvent* events,
                             std::size_t count) {
    keys_.follow();
    for (std::size_t i = 0; i < count && handler_; ++i) {
        const DeviceEvent& event = events[i];
        if (event.kind != DeviceEvent::Kind::Key) continue;
        // The key is reported with the state it was pressed in, as on X11.
        WatchedKey key;
        key.scan = static_cast<std::uint8_t>(event.code);
        key.pressed = event.pressed;
        key.synthetic = device.info.synthetic;
        key.modifiers = keys_.keyModifiers();
        const KeyLayout& layout = keys_.layout();
        keys_.apply(event.code, event.pressed);
        if (event.code > kLastScan) continue;
        // The handler may stop the watch: it is called on a copy.
        const Handler onKey = handler_;
        onKey(key, layout);
    }
}

EvdevCancelWatch::EvdevCancelWatch(const EvdevSetup& setup)
    : access_(setup.access),
      keys_(setup.keymap),
      folder_(setup.folder, setup.opener, DeviceFolder::Wanted::Keyboards) {}

bool EvdevCancelWatch::start(Handler onCancel) {
    stop();
    if (!keys_.follow()) return false;
    handler_ = std::move(onCancel);
    const bool followed =
        followDevices(folder_, access_,
                      [this](const DeviceFolder::Device& device, const DeviceEvent* events,
                             std::size_t count) { onEvents(device, events, count); });
    if (!followed) handler_ = nullptr;
    return followed || folder_.accessDenied();
}

void EvdevCancelWatch::stop() {
    handler_ = nullptr;
    heldControls_.clear();
    folder_.stop();
}

bool EvdevCancelWatch::isCancel(const DeviceFolder::Device& device, const DeviceEvent& event) {
    if (event.kind != DeviceEvent::Kind::Key || device.info.synthetic || event.code > kLastScan) {
        return false;
    }
    // By the sided keys: the layout reads both Control keys back as one.
    const KeyLayout& layout = keys_.layout();
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
    keys_.follow();
    bool cancelled = false;
    for (std::size_t i = 0; i < count; ++i) cancelled = isCancel(device, events[i]) || cancelled;
    // The handler may stop the watch; it is called last, on a copy.
    if (cancelled && handler_) {
        const Handler onCancel = handler_;
        onCancel();
    }
}

EvdevInputCapture::EvdevInputCapture(const EvdevSetup& setup)
    : access_(setup.access),
      keys_(setup.keymap),
      folder_(setup.folder, setup.opener, DeviceFolder::Wanted::KeyboardsAndPointers) {}

bool EvdevInputCapture::start(EventsHandler onEvents, LostHandler) {
    stop();
    if (!keys_.follow()) return false;
    x_ = y_ = 0;
    handler_ = std::move(onEvents);
    // Devices come and go while the capture runs; nothing ends it but stop().
    const bool followed =
        followDevices(folder_, access_,
                      [this](const DeviceFolder::Device& device, const DeviceEvent* events,
                             std::size_t count) { this->onEvents(device, events, count); });
    if (!followed || folder_.accessDenied()) stop();
    return handler_ != nullptr;
}

void EvdevInputCapture::stop() {
    handler_ = nullptr;
    folder_.stop();
}

void EvdevInputCapture::addEvent(CapturedInput::Kind kind, std::uint32_t detail,
                                 std::uint32_t time) {
    CapturedInput input;
    input.kind = kind;
    input.detail = detail;
    input.modifiers = keys_.captureModifiers();
    input.rootX = x_;
    input.rootY = y_;
    input.time = time;
    batch_.push_back(input);
}

void EvdevInputCapture::onEvents(const DeviceFolder::Device&, const DeviceEvent* events,
                                 std::size_t count) {
    using Kind = CapturedInput::Kind;
    keys_.follow();
    batch_.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const DeviceEvent& event = events[i];
        switch (event.kind) {
            case DeviceEvent::Kind::Key:
                addEvent(event.pressed ? Kind::KeyPress : Kind::KeyRelease, event.code + 8u,
                         event.timeMs);
                keys_.apply(event.code, event.pressed);
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
