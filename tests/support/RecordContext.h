#pragma once

namespace ks::x11 {
struct RecordConnections;
}  // namespace ks::x11

namespace ks::test {

// Makes, on `pair.control`, a RECORD context for the device events (key,
// button, motion) of every client, and stores it in `pair.context`; false
// when the server has no RECORD or refuses the context.
bool createDeviceEventContext(x11::RecordConnections& pair);

}  // namespace ks::test
