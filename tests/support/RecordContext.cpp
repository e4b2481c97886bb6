#include "RecordContext.h"

#include "platform/x11/RecordContext.h"

namespace ks::test {

bool createDeviceEventContext(x11::RecordConnections& pair) {
    return x11::createDeviceEventContext(pair);
}

}  // namespace ks::test
