#include "net/PeerExchange.h"

#include <memory>

#include "core/Messages.h"
#include "core/PlusDigits.h"
#include "platform/PeerClient.h"

namespace ks {

namespace {

constexpr const char* kPeerErrorTitle = "Keystrider Error";
// How often the wait looks whether the reply has come.
constexpr std::chrono::milliseconds kLook{5};

}  // namespace

std::optional<std::string> postToPeer(PeerClient& client, const PeerWait& wait, Messages& messages,
                                      const std::string& host, const std::string& port,
                                      const std::string& body, int sends) {
    const std::optional<std::uint16_t> portNumber = parsePortNumber(port);
    std::unique_ptr<PeerPost> post = portNumber ? client.post(host, *portNumber, body) : nullptr;
    if (!post) {
        messages.show("Error opening Http Request object.", kPeerErrorTitle, MsgIcon::Stop);
        return std::nullopt;
    }
    for (int send = 0; send < sends; ++send) {
        if (send > 0) post = client.post(host, *portNumber, body);
        while (post->state() == PeerPost::State::Waiting) {
            if (!wait(kLook)) return std::nullopt;
        }
        if (post->state() == PeerPost::State::Answered) return post->body();
    }
    messages.show("Error sending request.", kPeerErrorTitle, MsgIcon::Stop);
    return std::nullopt;
}

}  // namespace ks
