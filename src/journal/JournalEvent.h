#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/VirtualKey.h"
#include "store/KeyTree.h"

namespace ks {

// One recorded input event, stored as five little-endian 32-bit fields in
// this order. Recordings are these records end to end, so the layout is part
// of the store and interchange format.
struct JournalEvent {
    std::uint32_t message = 0;  // window-message number of the event class
    std::uint32_t paramL = 0;   // keys: virtual-key code in the low byte; mouse: root x
    std::uint32_t paramH = 0;   // keys: as recorded (scan code); mouse: root y
    std::uint32_t time = 0;     // millisecond tick; only differences matter
    std::uint32_t hwnd = 0;     // window at recording time; wheel: signed wheel delta

    friend bool operator==(const JournalEvent&, const JournalEvent&) = default;
};
static_assert(sizeof(JournalEvent) == 20, "a JournalEvent is stored as 20 bytes");

inline constexpr std::size_t kJournalEventSize = 20;

// Message numbers of the event classes.
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmKeyUp = 0x0101;
inline constexpr std::uint32_t kWmChar = 0x0102;
inline constexpr std::uint32_t kWmDeadChar = 0x0103;
inline constexpr std::uint32_t kWmSysKeyDown = 0x0104;
inline constexpr std::uint32_t kWmSysKeyUp = 0x0105;
inline constexpr std::uint32_t kWmSysChar = 0x0106;
inline constexpr std::uint32_t kWmSysDeadChar = 0x0107;
inline constexpr std::uint32_t kWmKeyLast = 0x0108;
inline constexpr std::uint32_t kWmMouseMove = 0x0200;
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;
inline constexpr std::uint32_t kWmLButtonUp = 0x0202;
inline constexpr std::uint32_t kWmLButtonDblClk = 0x0203;
inline constexpr std::uint32_t kWmRButtonDown = 0x0204;
inline constexpr std::uint32_t kWmRButtonUp = 0x0205;
inline constexpr std::uint32_t kWmRButtonDblClk = 0x0206;
inline constexpr std::uint32_t kWmMButtonDown = 0x0207;
inline constexpr std::uint32_t kWmMButtonUp = 0x0208;
inline constexpr std::uint32_t kWmMButtonDblClk = 0x0209;
inline constexpr std::uint32_t kWmMouseWheel = 0x020A;

// One wheel notch, as the wheel delta counts it.
inline constexpr std::int32_t kWheelDelta = 120;

constexpr bool isKeyboardMessage(std::uint32_t message) {
    return message >= kWmKeyDown && message <= kWmKeyLast;
}
constexpr bool isMouseMessage(std::uint32_t message) {
    return message >= kWmMouseMove && message <= kWmMouseWheel;
}
constexpr std::uint8_t virtualKeyOf(const JournalEvent& event) {
    return static_cast<std::uint8_t>(event.paramL & 0xFF);
}
constexpr std::uint8_t scanCodeOf(const JournalEvent& event) {
    return static_cast<std::uint8_t>((event.paramL >> 8) & 0xFF);
}
// The wheel delta of a WM_MOUSEWHEEL event: positive turns away from the user.
constexpr std::int32_t wheelDeltaOf(const JournalEvent& event) {
    return static_cast<std::int32_t>(event.hwnd);
}

// Which event classes a recording holds; also the playback filter's code.
enum class RecordingType : std::uint32_t { KeyboardAndMouse = 1, Keyboard = 2, Mouse = 3 };

// "Keyboard & Mouse", "Keyboard", "Mouse", or "Unknown" for a missing or other code.
std::string_view recordingTypeText(std::optional<std::uint32_t> code);

// Whether an event of `message` passes the playback filter `filter` (a
// RecordingType code); any other code lets nothing through.
bool passesFilter(std::uint32_t filter, std::uint32_t message);

// The event's name in event lists: "WM_KEYDOWN", "UNKNOWN MOUSE EVENT", …;
// empty for a message outside both classes.
std::string_view eventDisplayName(std::uint32_t message);

// The stored form: the records end to end, each field little-endian.
void appendEventBytes(Bytes& out, const JournalEvent* events, std::size_t count);
Bytes eventBytes(const std::vector<JournalEvent>& events);
// Every whole record in `bytes`; a trailing partial record is ignored.
std::vector<JournalEvent> eventsFromBytes(const Bytes& bytes);

}  // namespace ks
