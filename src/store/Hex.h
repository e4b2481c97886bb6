#pragma once

#include <cstdint>
#include <string>

namespace ks {

// The value of one hexadecimal digit (either case), or -1.
int hexDigit(char c);

// A byte as two lower-case hexadecimal digits.
std::string hexPair(std::uint8_t byte);

}  // namespace ks
