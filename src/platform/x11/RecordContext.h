#pragma once

#include <chrono>
#include <functional>

namespace ks::x11 {

struct RecordConnections;

// Makes, on `pair.control`, a RECORD context for the device events (key,
// button, motion) of every client and stores it in `pair.context`; false
// when the server has no RECORD or refuses the context.
bool createDeviceEventContext(RecordConnections& pair);

// Hands the recording callback what the server holds for `pair.data`.
void processRecordReplies(RecordConnections& pair);

// Processes replies until `done()` holds or `limit` passed, sleeping on the
// data connection in between; gives `done()`.
bool processRecordRepliesUntil(RecordConnections& pair, const std::function<bool()>& done,
                               std::chrono::milliseconds limit);

// Disables and frees `pair.context`, reading its data until `ended()` (the
// callback saw the end of data) so that the data connection can take the
// next context.
void endRecordContext(RecordConnections& pair, const std::function<bool()>& ended);

}  // namespace ks::x11
