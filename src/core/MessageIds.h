#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ks {

// Ids below this one are the program's own requests; from it on, an id a
// peer posts starts the macro that holds it.
inline constexpr std::uint32_t kFirstMacroMessageId = 10000;

// Which macro starts when a peer posts a message id.
class MessageIdOwner {
public:
    virtual std::optional<std::string> messageIdOwner(std::int32_t id) const = 0;

protected:
    MessageIdOwner() = default;
    MessageIdOwner(const MessageIdOwner&) = default;
    MessageIdOwner& operator=(const MessageIdOwner&) = default;
    ~MessageIdOwner() = default;
};

}  // namespace ks
