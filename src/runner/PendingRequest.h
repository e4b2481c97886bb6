#pragma once

#include <string>

namespace ks {

// How a start of a macro came out: its run started and has ended, or the
// start was refused (a run was active, the user declined, the busy mark).
enum class RunOutcome { Ran, Refused };

// The request server's side of a macro run that a network request started:
// the runner calls complete() when a run ends and whenever it refuses a
// start, naming the macro, and the server then answers the connection
// waiting for that macro, if any.
class PendingRequest {
public:
    PendingRequest() = default;
    PendingRequest(const PendingRequest&) = delete;
    PendingRequest& operator=(const PendingRequest&) = delete;
    virtual ~PendingRequest() = default;

    virtual void complete(const std::string& macro, RunOutcome outcome) = 0;
};

}  // namespace ks
