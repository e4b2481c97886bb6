#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace ks::bench {

// Characters wrong or missing: the edit distance between what was meant and what arrived.
inline std::size_t wrongOrMissing(const std::u32string& expected, const std::u32string& got) {
    std::vector<std::size_t> row(got.size() + 1), next(got.size() + 1);
    for (std::size_t j = 0; j <= got.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= expected.size(); ++i) {
        next[0] = i;
        for (std::size_t j = 1; j <= got.size(); ++j) {
            next[j] = std::min({row[j] + 1, next[j - 1] + 1,
                                row[j - 1] + (expected[i - 1] == got[j - 1] ? 0 : 1)});
        }
        std::swap(row, next);
    }
    return row[got.size()];
}

}  // namespace ks::bench
