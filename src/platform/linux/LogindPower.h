#pragma once

#include "platform/Power.h"

namespace ks {

// Powers off or restarts through systemd-logind on the system bus, without
// asking for authentication: what the user may do without it happens.
class LogindPower final : public Power {
public:
    void powerOff() override;
    void reboot() override;
};

}  // namespace ks
