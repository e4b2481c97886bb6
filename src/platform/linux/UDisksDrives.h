#pragma once

#include <string>
#include <vector>

#include "platform/OpticalDrives.h"

namespace ks {

// The optical drives UDisks2 knows, in the order of their block devices
// (/dev/sr0 first). The tray opens through UDisks2's Eject, which unmounts
// nothing and fails on a mounted disc; it closes with CDROMCLOSETRAY on the
// device, for which UDisks2 has no method. The list is read at every call,
// so drives that come and go are seen.
class UDisksDrives final : public OpticalDrives {
public:
    void openTray(std::size_t drive) override;
    void closeTray(std::size_t drive) override;

private:
    struct Drive {
        std::string object;  // the UDisks2 drive object's path
        std::string device;  // its block device, /dev/sr0
    };
    static std::vector<Drive> list();
};

}  // namespace ks
