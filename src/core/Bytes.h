#pragma once

#include <cstdint>
#include <vector>

namespace ks {

// Raw bytes as the store holds them and the recordings are made of.
using Bytes = std::vector<std::uint8_t>;

}  // namespace ks
