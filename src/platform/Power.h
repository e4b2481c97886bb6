#pragma once

namespace ks {

// Asks the system to power off or restart, with the user's own rights.
// Neither call waits for the answer, and a refusal is not reported.
class Power {
public:
    Power() = default;
    Power(const Power&) = delete;
    Power& operator=(const Power&) = delete;
    virtual ~Power() = default;

    virtual void powerOff() = 0;
    virtual void reboot() = 0;
};

}  // namespace ks
