#include "system/NetworkShares.h"

#include <algorithm>

namespace ks {
namespace {

std::string inFolder(const std::string& folder, std::string rest) {
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return rest.empty() ? folder : folder + "/" + rest;
}

bool agreesToOtherLogin(Messages& messages, const std::string& root) {
    return messages.show("An existing connection has been made to:\n\n" + root +
                             "\n\nA connection using the appropriate credentials can not be "
                             "made.  Would you\nlike to attempt to continue using the current "
                             "credentials,\nif the current credentials do not have the "
                             "appropriate access\nrights to the server, errors will occurr?",
                         "Attention", MsgIcon::None, MsgButtons::YesNo) == MsgAnswer::Yes;
}

void showConnectError(Messages& messages, const std::string& root, const std::string& error) {
    messages.show("Unable to connect to share: " + root + "\n\nError: " + error, "Error",
                  MsgIcon::Stop);
}

// Mounts with `login`, and when that fails with what the person gives.
bool mountShare(ShareServices& services, const NetworkPath& network, const ShareLogin& login) {
    if (services.mounts.mount(network.share, login)) return true;
    const auto asked = services.prompt.ask(network.root(), services.runGoesOn);
    if (!asked) return false;
    const Result mounted = services.mounts.mount(network.share, *asked);
    if (!mounted) showConnectError(services.messages, network.root(), mounted.error());
    return mounted.ok();
}

}  // namespace

std::string NetworkPath::root() const {
    return "\\\\" + share.server + "\\" + share.share;
}

std::optional<NetworkPath> parseNetworkPath(std::string_view path) {
    if (!path.starts_with("\\\\")) return std::nullopt;
    path.remove_prefix(2);
    const std::size_t serverEnd = path.find('\\');
    if (serverEnd == 0 || serverEnd == std::string_view::npos) return std::nullopt;
    const std::string_view afterServer = path.substr(serverEnd + 1);
    const std::size_t shareEnd = std::min(afterServer.find('\\'), afterServer.size());
    if (shareEnd == 0) return std::nullopt;
    const std::string_view rest =
        shareEnd < afterServer.size() ? afterServer.substr(shareEnd + 1) : std::string_view{};
    return NetworkPath{
        {std::string(path.substr(0, serverEnd)), std::string(afterServer.substr(0, shareEnd))},
        std::string(rest)};
}

std::optional<std::string> localPath(ShareMounts& mounts, const std::string& path) {
    const auto network = parseNetworkPath(path);
    if (!network) return path;
    const auto mounted = mounts.mounted(network->share);
    if (!mounted) return std::nullopt;
    return inFolder(mounted->folder, network->rest);
}

std::optional<std::string> ConnectShare(ShareServices& services, const std::string& path,
                                        const ShareLogin& login) {
    const auto network = parseNetworkPath(path);
    if (!network) return path;
    if (const auto mounted = services.mounts.mounted(network->share)) {
        const bool otherUser = !login.user.empty() && mounted->user != login.user;
        if (otherUser && !agreesToOtherLogin(services.messages, network->root())) {
            return std::nullopt;
        }
        return inFolder(mounted->folder, network->rest);
    }
    if (!mountShare(services, *network, login)) return std::nullopt;
    const auto mounted = services.mounts.mounted(network->share);
    if (!mounted) {
        // Mounted, yet not in the file system: the desktop's file-system
        // bridge for mounts is missing.
        showConnectError(services.messages, network->root(), "the share has no local folder");
        return std::nullopt;
    }
    return inFolder(mounted->folder, network->rest);
}

}  // namespace ks
