// Cost of one keystroke in the keyboard-watch thread (key to character,
// buffer, phrase match) with 10 and with 10,000 phrases, typing English-like
// text in which phrases keep matching part way.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "UsKeymap.h"
#include "triggers/PhraseWatch.h"

namespace {

std::string randomWord(std::mt19937& random, std::size_t minLength, std::size_t maxLength) {
    static const std::string letters = "etaoinshrdlcumwfgypbvkjxqz";
    std::uniform_int_distribution<std::size_t> length(minLength, maxLength);
    // Frequent letters first, so words share endings as real ones do.
    std::geometric_distribution<std::size_t> letter(0.15);
    std::string word;
    for (std::size_t i = length(random); i > 0; --i) {
        word += letters[std::min(letter(random), letters.size() - 1)];
    }
    return word;
}

void keystroke(benchmark::State& state) {
    std::mt19937 random(7);
    ks::PhraseWatch watch;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        watch.matcher().add({randomWord(random, 2, 12), "M" + std::to_string(i), i % 4 == 0});
    }
    const ks::KeyLayout layout = ks::test::usKeyLayout();
    std::vector<ks::WatchedKey> keys;
    while (keys.size() < 100000) {
        for (const char ch : randomWord(random, 1, 10) + " ") {
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
