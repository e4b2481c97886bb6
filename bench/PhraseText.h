#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "triggers/PhraseWatch.h"

namespace ks::bench {

// An English-like word: frequent letters first, so words share endings as
// real ones do and phrases keep matching part way.
inline std::string randomWord(std::mt19937& random, std::size_t minLength, std::size_t maxLength) {
    static const std::string letters = "etaoinshrdlcumwfgypbvkjxqz";
    std::uniform_int_distribution<std::size_t> length(minLength, maxLength);
    std::geometric_distribution<std::size_t> letter(0.15);
    std::string word;
    for (std::size_t i = length(random); i > 0; --i) {
        word += letters[std::min(letter(random), letters.size() - 1)];
    }
    return word;
}

// `count` phrases of 2 to 12 letters, a quarter of them matching case.
inline void addRandomPhrases(PhraseWatch& watch, std::mt19937& random, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) {
        watch.matcher().add({randomWord(random, 2, 12), "M" + std::to_string(i), i % 4 == 0});
    }
}

}  // namespace ks::bench
