#pragma once

#include "platform/ShareMounts.h"

namespace ks {

// A dialog asking for the user name and password of a network share.
class QtLoginPrompt final : public LoginPrompt {
public:
    std::optional<ShareLogin> ask(const std::string& root,
                                  const std::function<bool()>& wanted) override;
};

}  // namespace ks
