#include "commands/KeyDisplayName.h"

namespace ks {

// Placeholder until the key-name vocabulary lands: no key has a name yet.
std::string keyDisplayName(std::uint32_t /*vk*/) { return {}; }

}  // namespace ks
