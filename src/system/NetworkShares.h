#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Messages.h"
#include "platform/ShareMounts.h"

namespace ks {

// A network path `\\server\share[\rest]` taken apart; `rest` keeps its backslashes.
struct NetworkPath {
    NetworkShare share;
    std::string rest;
    // `\\server\share`, as the messages name the share.
    std::string root() const;
};

// Nothing when `path` is not a network path with a server and a share.
std::optional<NetworkPath> parseNetworkPath(std::string_view path);

// Where `path` can be reached in the local file system: a network path in
// its share's mounted folder, other paths as they are. Nothing when the
// share is not mounted.
std::optional<std::string> localPath(ShareMounts& mounts, const std::string& path);

struct ShareServices {
    ShareMounts& mounts;
    LoginPrompt& prompt;
    Messages& messages;
    // Whether the run that connects still goes on; a login asked for ends when it does not.
    std::function<bool()> runGoesOn = [] { return true; };
};

// Mounts the share of a network path, unless it is mounted already, and
// gives the path's local form; other paths are given back at once. A share
// mounted as another user than `login`'s is used only if the person agrees;
// when mounting fails, the person is asked for a login to try once more.
// Nothing when the share could not be had (after the message saying why,
// unless the person cancelled).
std::optional<std::string> ConnectShare(ShareServices& services, const std::string& path,
                                        const ShareLogin& login);

}  // namespace ks
