#pragma once

#include <string>

#include "platform/Launcher.h"

namespace ks {

// Starts executables itself and hands everything else to the desktop's
// opener (xdg-open), each detached from this program.
class DesktopLauncher final : public Launcher {
public:
    explicit DesktopLauncher(std::string opener = "xdg-open") : opener_(std::move(opener)) {}

    Result open(const std::string& file, const std::vector<std::string>& arguments,
                const std::string& folder) override;

private:
    std::string opener_;
};

}  // namespace ks
