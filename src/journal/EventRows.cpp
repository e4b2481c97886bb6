#include "journal/EventRows.h"

namespace ks {

namespace {

std::string interval(const std::vector<JournalEvent>& events, std::size_t index) {
    if (index == 0) return "0";
    const auto gap = static_cast<std::int32_t>(events[index].time - events[index - 1].time);
    return std::to_string(gap);
}

}  // namespace

EventRow describeEvent(const std::vector<JournalEvent>& events, std::size_t index,
                       const KeyNamer& keyName, Messages& messages) {
    const JournalEvent& event = events[index];
    EventRow row{std::string(eventDisplayName(event.message)), interval(events, index), {}, {}, {}};
    if (isMouseMessage(event.message)) {
        row.x = std::to_string(event.paramL);
        row.y = std::to_string(event.paramH);
        if (event.message == kWmLButtonDblClk || event.message == kWmRButtonDblClk ||
            event.message == kWmMButtonDblClk) {
            messages.show("Unknown mouse message.", "Error", MsgIcon::Stop);
        }
    } else if (isKeyboardMessage(event.message)) {
        row.key = keyName(virtualKeyOf(event));
        if (event.message == kWmKeyLast) {
            messages.show("Unknown keyboard message.", std::to_string(event.message),
                          MsgIcon::Stop);
        }
    } else {
        messages.show("Unknown message type while reading macro.", "Error", MsgIcon::None);
    }
    return row;
}

}  // namespace ks
