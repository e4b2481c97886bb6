#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace ks {

class Messages;
class PeerClient;

// Handles messages and events for at most the time given; false when what
// waits is to give up (its run is over, the program quits).
using PeerWait = std::function<bool(std::chrono::milliseconds)>;

// Posts `body` to the request server at host:port, up to `sends` times
// while a send fails, waiting through `wait`, and gives the reply's body.
// Nothing when the wait gave up (nothing shown) or every send failed (shown).
std::optional<std::string> postToPeer(PeerClient& client, const PeerWait& wait, Messages& messages,
                                      const std::string& host, const std::string& port,
                                      const std::string& body, int sends = 1);

}  // namespace ks
