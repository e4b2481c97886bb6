#include "journal/JournalEvent.h"

namespace ks {

namespace {

void appendField(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::uint32_t fieldAt(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

}  // namespace

std::string_view recordingTypeText(std::optional<std::uint32_t> code) {
    if (!code) return "Unknown";
    switch (static_cast<RecordingType>(*code)) {
        case RecordingType::KeyboardAndMouse: return "Keyboard & Mouse";
        case RecordingType::Keyboard: return "Keyboard";
        case RecordingType::Mouse: return "Mouse";
    }
    return "Unknown";
}

bool passesFilter(std::uint32_t filter, std::uint32_t message) {
    switch (static_cast<RecordingType>(filter)) {
        case RecordingType::KeyboardAndMouse: return true;
        case RecordingType::Keyboard: return isKeyboardMessage(message);
        case RecordingType::Mouse: return isMouseMessage(message);
    }
    return false;
}

std::string_view eventDisplayName(std::uint32_t message) {
    switch (message) {
        case kWmMouseMove: return "WM_MOUSEMOVE";
        case kWmLButtonDown: return "WM_LBUTTONDOWN";
        case kWmLButtonUp: return "WM_LBUTTONUP";
        case kWmRButtonDown: return "WM_RBUTTONDOWN";
        case kWmRButtonUp: return "WM_RBUTTONUP";
        case kWmMButtonDown: return "WM_MBUTTONDOWN";
        case kWmMButtonUp: return "WM_MBUTTONUP";
        case kWmMouseWheel: return "WM_MOUSEWHEEL";
        case kWmLButtonDblClk:
        case kWmRButtonDblClk:
        case kWmMButtonDblClk: return "UNKNOWN MOUSE EVENT";
        case kWmKeyDown: return "WM_KEYDOWN";
        case kWmKeyUp: return "WM_KEYUP";
        case kWmChar: return "WM_CHAR";
        case kWmDeadChar: return "WM_DEADCHAR";
        case kWmSysKeyDown: return "WM_SYSKEYDOWN";
        case kWmSysKeyUp: return "WM_SYSKEYUP";
        case kWmSysChar: return "WM_SYSCHAR";
        case kWmSysDeadChar: return "WM_SYSDEADCHAR";
        case kWmKeyLast: return "UNKNOWN KEYBOARD EVENT";
        default: return "";
    }
}

void appendEventBytes(Bytes& out, const JournalEvent* events, std::size_t count) {
    out.reserve(out.size() + count * kJournalEventSize);
    for (std::size_t i = 0; i < count; ++i) {
        const JournalEvent& e = events[i];
        for (std::uint32_t field : {e.message, e.paramL, e.paramH, e.time, e.hwnd}) {
            appendField(out, field);
        }
    }
}

Bytes eventBytes(const std::vector<JournalEvent>& events) {
    Bytes out;
    appendEventBytes(out, events.data(), events.size());
    return out;
}

std::vector<JournalEvent> eventsFromBytes(const Bytes& bytes) {
    std::vector<JournalEvent> events(bytes.size() / kJournalEventSize);
    const std::uint8_t* p = bytes.data();
    for (JournalEvent& e : events) {
        e = {fieldAt(p), fieldAt(p + 4), fieldAt(p + 8), fieldAt(p + 12), fieldAt(p + 16)};
        p += kJournalEventSize;
    }
    return events;
}

}  // namespace ks
