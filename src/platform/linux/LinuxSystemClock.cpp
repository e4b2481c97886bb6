#include "platform/linux/LinuxSystemClock.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

namespace ks {

Result LinuxSystemClock::setUtc(std::int64_t secondsSince1970) {
    const timespec when{static_cast<time_t>(secondsSince1970), 0};
    if (clock_settime(CLOCK_REALTIME, &when) != 0) {
        return Result::failure(std::strerror(errno));
    }
    return Result::success();
}

}  // namespace ks
