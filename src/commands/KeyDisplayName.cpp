#include "commands/KeyDisplayName.h"

namespace ks {
namespace {

KeyDisplayNameSource& source() {
    static KeyDisplayNameSource current;
    return current;
}

}  // namespace

std::string keyDisplayName(std::uint32_t vk) {
    return source() ? source()(vk) : std::string();
}

void setKeyDisplayNameSource(KeyDisplayNameSource names) {
    source() = std::move(names);
}

}  // namespace ks
