#pragma once

#include <string>

#include "platform/ShareMounts.h"

namespace ks {

// Windows shares mounted through GVfs (`smb://server/share`) with `gio
// mount`, and found in the folder where GVfs's file-system bridge shows
// every mount ($XDG_RUNTIME_DIR/gvfs/smb-share:server=…,share=…).
class GvfsShares final : public ShareMounts {
public:
    // Empty: the session's GVfs folder and the `gio` on the search path.
    explicit GvfsShares(std::string gvfsFolder = {}, std::string gio = "gio");

    std::optional<MountedShare> mounted(const NetworkShare& share) override;
    // Answers gio's questions for the user, domain (from a `DOMAIN\user`
    // name) and password from `login`; with an empty login it answers none,
    // so that only a mount that needs no password, or one the desktop
    // has the password for, succeeds.
    Result mount(const NetworkShare& share, const ShareLogin& login) override;

private:
    std::string folder_;
    std::string gio_;
};

}  // namespace ks
