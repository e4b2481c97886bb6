#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "runner/RunControl.h"

namespace ks {

// Where SET CLOCK asks for the time: hosts tried in order, on one port.
struct TimeServers {
    std::vector<std::string> hosts;
    std::uint16_t port = 37;
};

// The public time servers (NIST's) that answer the Time Protocol of RFC 868.
TimeServers publicTimeServers();

// Seconds since 1970 for a Time Protocol reply, the seconds since 1900 UTC
// in 32 bits. The count wraps on 7 February 2036; a value below that of
// 1970 can only come after the wrap, so it is taken as the next era.
std::int64_t unixSecondsOfTimeReply(std::uint32_t secondsSince1900);

// Asks the servers for the time. Waits go through the run, so the user
// interface keeps running and a stop of the run ends the question at once.
class TimeProtocolClient {
public:
    // Each connection, and then the reply, may take this long (by whole
    // seconds of the wall clock) before the client gives up on it.
    static constexpr std::chrono::seconds kConnectLimit{5};
    static constexpr std::chrono::seconds kReplyLimit{5};

    TimeProtocolClient(RunControl& run, Clock& clock, TimeServers servers)
        : run_(run), clock_(clock), servers_(std::move(servers)) {}

    // Seconds since 1970 from the first server that accepts a connection;
    // nothing when none does, that one sends no complete four-byte reply, or
    // the run is stopped.
    std::optional<std::int64_t> ask();

private:
    RunControl& run_;
    Clock& clock_;
    TimeServers servers_;
};

}  // namespace ks
