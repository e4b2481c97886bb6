// Cost of one keystroke in the keyboard-watch thread (key to character,
// buffer, phrase match) with 10 and with 10,000 phrases, typing English-like
// text in which phrases keep matching part way.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "PhraseText.h"
#include "UsKeymap.h"
#include "triggers/PhraseWatch.h"

namespace {

void keystroke(benchmark::State& state) {
    std::mt19937 random(7);
    ks::PhraseWatch watch;
    ks::bench::addRandomPhrases(watch, random, state.range(0));
    const ks::KeyLayout layout = ks::test::usKeyLayout();
    std::vector<ks::WatchedKey> keys;
    while (keys.size() < 100000) {
        for (const char ch : ks::bench::randomWord(random, 1, 10) + " ") {
            const std::uint16_t key = layout.keyOfChar.at(static_cast<unsigned char>(ch));
            keys.push_back({layout.scanOfVk[key & 0xFF], true, false, {}});
        }
    }
    std::size_t next = 0, fired = 0;
    for (auto _ : state) {
        fired += watch.onKey(keys[next], layout, 0) != nullptr;
        next = next + 1 == keys.size() ? 0 : next + 1;
    }
    state.counters["fired"] =
        benchmark::Counter(static_cast<double>(fired), benchmark::Counter::kAvgIterations);
}
BENCHMARK(keystroke)->Arg(10)->Arg(10000)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
