#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/Result.h"

namespace ks {

// A shared folder of a file server (`\\server\share`).
struct NetworkShare {
    std::string server;
    std::string share;
};

// Empty user and password: the user's own, or the desktop's stored, credentials.
struct ShareLogin {
    std::string user;
    std::string password;
};

// Where a mounted share shows in the file system, and who it was mounted as.
struct MountedShare {
    std::string folder;
    std::string user;  // empty when mounted without a user name
};

// Network shares mounted for the user in the local file system.
class ShareMounts {
public:
    ShareMounts() = default;
    ShareMounts(const ShareMounts&) = delete;
    ShareMounts& operator=(const ShareMounts&) = delete;
    virtual ~ShareMounts() = default;

    // The share's local folder when it is mounted now.
    virtual std::optional<MountedShare> mounted(const NetworkShare& share) = 0;
    // Mounts the share, returning once the mount has succeeded or failed,
    // with the reason of a failure.
    virtual Result mount(const NetworkShare& share, const ShareLogin& login) = 0;
};

// Asks the person at the desktop how to log in to a share.
class LoginPrompt {
public:
    LoginPrompt() = default;
    LoginPrompt(const LoginPrompt&) = delete;
    LoginPrompt& operator=(const LoginPrompt&) = delete;
    virtual ~LoginPrompt() = default;

    // Nothing when the person cancels, or as soon as `wanted` stops holding
    // (the run that asks is over). `root` is the share as `\\server\share`.
    virtual std::optional<ShareLogin> ask(const std::string& root,
                                          const std::function<bool()>& wanted) = 0;
};

}  // namespace ks
