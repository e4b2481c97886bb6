#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace ks::bench {

// One typing run: its speed and the characters wrong or missing.
struct RunFigures {
    double charsPerSecond;
    std::size_t wrong;
};

// The runs of one typist: slowest, median and fastest speed, characters
// wrong or missing over all runs and in the worst one.
struct RunsSummary {
    double slowest = 0, median = 0, fastest = 0;
    std::size_t wrong = 0, worst = 0;
};

inline RunsSummary summarise(const std::vector<RunFigures>& results) {
    std::vector<double> speeds;
    RunsSummary summary;
    for (const RunFigures& r : results) {
        speeds.push_back(r.charsPerSecond);
        summary.wrong += r.wrong;
        summary.worst = std::max(summary.worst, r.wrong);
    }
    if (speeds.empty()) return summary;
    std::sort(speeds.begin(), speeds.end());
    summary.slowest = speeds.front();
    summary.median = speeds[speeds.size() / 2];
    summary.fastest = speeds.back();
    return summary;
}

}  // namespace ks::bench
