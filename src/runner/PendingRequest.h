#pragma once

namespace ks {

// The request server's side of a macro run that a network request started:
// the runner calls complete() when such a run ends and whenever it refuses a
// start, and the server then answers the connection waiting for it, if any.
class PendingRequest {
public:
    PendingRequest() = default;
    PendingRequest(const PendingRequest&) = delete;
    PendingRequest& operator=(const PendingRequest&) = delete;
    virtual ~PendingRequest() = default;

    virtual void complete() = 0;
};

}  // namespace ks
