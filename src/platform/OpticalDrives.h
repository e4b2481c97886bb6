#pragma once

#include <cstddef>

namespace ks {

// The machine's optical drives, numbered from 0 in the order the system
// lists them. A number without a drive, and any failure, is silently ignored.
class OpticalDrives {
public:
    OpticalDrives() = default;
    OpticalDrives(const OpticalDrives&) = delete;
    OpticalDrives& operator=(const OpticalDrives&) = delete;
    virtual ~OpticalDrives() = default;

    // Both return once the drive has answered.
    virtual void openTray(std::size_t drive) = 0;
    virtual void closeTray(std::size_t drive) = 0;
};

}  // namespace ks
