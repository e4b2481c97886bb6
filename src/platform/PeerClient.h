#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace ks {

// One post to another machine's request server, answered while the event
// loop runs; dropping it abandons it.
class PeerPost {
public:
    enum class State { Waiting, Answered, Failed };

    PeerPost() = default;
    PeerPost(const PeerPost&) = delete;
    PeerPost& operator=(const PeerPost&) = delete;
    virtual ~PeerPost() = default;

    virtual State state() const = 0;
    // Once Answered: the reply's body.
    virtual std::string body() const = 0;
};

// The one HTTP client through which the program talks to peers: a copy of
// the clipboard, a push of macros or recordings.
class PeerClient {
public:
    PeerClient() = default;
    PeerClient(const PeerClient&) = delete;
    PeerClient& operator=(const PeerClient&) = delete;
    virtual ~PeerClient() = default;

    // Posts the XML document `body` to http://host:port/, reached directly,
    // never through a proxy; a post not answered within half a minute has
    // failed. Nothing when host and port make no address.
    virtual std::unique_ptr<PeerPost> post(const std::string& host, std::uint16_t port,
                                           const std::string& body) = 0;
};

}  // namespace ks
