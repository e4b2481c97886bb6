#include "runner/MessageQueue.h"

#include <cstdio>

namespace ks::detail {

void reportEscapedMessage(std::size_t kind, const char* what) {
    std::fprintf(stderr, "Keystrider: message of kind %zu: %s\n", kind, what);
}

}  // namespace ks::detail
