#pragma once

#include <optional>

#include "core/VirtualKey.h"
#include "journal/JournalEvent.h"
#include "platform/InputCapture.h"
#include "platform/KeyLayout.h"

namespace ks {

// A captured event as a journal event, or nothing for input that has no
// journal message (wheel releases, tilt and extra buttons):
// - keys: WM_KEYDOWN/WM_KEYUP, or WM_SYSKEYDOWN/WM_SYSKEYUP while Alt is
//   held without Control (the Alt key itself included); the virtual key in
//   the low byte of paramL with the scan code above it, the scan code
//   (key code less 8) in paramH. Pause pressed with Control is the Cancel key;
//   a numeric-pad key with Num Lock on is its digit or decimal key, with Num
//   Lock off the navigation key it then is. AltGr is the right Alt (165),
//   whose keys stay WM_KEYDOWN/WM_KEYUP. A key without a virtual key (media
//   keys) has 0 in the low byte.
// - pointer: the mouse message with the root position in paramL and paramH;
//   a wheel notch is WM_MOUSEWHEEL with its signed delta in hwnd.
// `time` is the display's timestamp and `hwnd` the event's window.
std::optional<JournalEvent> toJournalEvent(const CapturedInput& input, const KeyLayout& layout);

}  // namespace ks
