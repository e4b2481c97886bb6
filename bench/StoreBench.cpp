// Settings store figures on a store of 10,000 macros of 10 commands each.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/Messages.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace {

constexpr int kMacros = 10000;
constexpr int kCommands = 10;
const std::string kMacrosPath = "SOFTWARE\\Quorvel\\Keystrider\\Macros";

struct BenchStore {
    std::filesystem::path folder;
    std::unique_ptr<ks::KeyTree> tree;
    ks::StderrMessages messages;
    std::unique_ptr<ks::SettingsStore> store;

    BenchStore() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ks-bench-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        tree = std::make_unique<ks::KeyTree>((folder / "store.db").string());
        store = std::make_unique<ks::SettingsStore>(*tree, messages);
        store->EnsureRootKeys();
        ks::KeyTree::Transaction transaction(*tree);
        for (int m = 0; m < kMacros; ++m) {
            const std::string macro = kMacrosPath + "\\Macro " + std::to_string(m);
            store->SetDword(macro, "vk", 65 + m % 26);
            store->SetDword(macro, "fsModifiers", 2);
            store->SetDword(macro, "repeat", 1);
            store->SetText(macro, "WPhrase", "phrase" + std::to_string(m));
            for (int c = 0; c < kCommands; ++c) {
                const std::string command = macro + "\\Commands\\" + std::to_string(c);
                store->SetDword(command, "id", 4116);
                store->SetText(command, "SendKeysString",
                               "Hello [NAME], this is command " + std::to_string(c));
            }
        }
        transaction.commit();
    }
    ~BenchStore() {
        store.reset();
        tree.reset();
        std::filesystem::remove_all(folder);
    }
};

BenchStore& benchStore() {
    static BenchStore instance;
    return instance;
}

void DirectReadNumber(benchmark::State& state) {
    auto& s = benchStore();
    int m = 0;
    for (auto _ : state) {
        const std::string key =
            kMacrosPath + "\\Macro " + std::to_string(m++ % kMacros) + "\\Commands\\3";
        benchmark::DoNotOptimize(s.store->GetDword(key, "id"));
    }
}
BENCHMARK(DirectReadNumber)->Repetitions(5)->ReportAggregatesOnly(true);

void DirectReadText(benchmark::State& state) {
    auto& s = benchStore();
    int m = 0;
    for (auto _ : state) {
        const std::string key =
            kMacrosPath + "\\Macro " + std::to_string(m++ % kMacros) + "\\Commands\\7";
        benchmark::DoNotOptimize(s.store->GetText(key, "SendKeysString"));
    }
}
BENCHMARK(DirectReadText)->Repetitions(5)->ReportAggregatesOnly(true);

void WriteMacroOf1000Commands(benchmark::State& state) {
    auto& s = benchStore();
    int run = 0;
    for (auto _ : state) {
        const std::string name = "Big " + std::to_string(run++);
        ks::KeyTree::Transaction transaction(*s.tree);
        for (int c = 0; c < 1000; ++c) {
            const std::string sub = name + "\\Commands\\" + std::to_string(c);
            s.store->CreateMacroKey(sub);
            s.store->WriteDword(4096, "\\Macros\\" + sub, "id");
            s.store->WriteMacroString("250", sub, "DelayInterval");
            s.store->WriteMacroString("text", sub, "SendKeysString");
            s.store->WriteDword(0, "\\Macros\\" + sub, "KeyPressed");
            s.store->WriteDword(1, "\\Macros\\" + sub, "IsAB");
        }
        transaction.commit();
        state.PauseTiming();
        s.tree->deleteTree(kMacrosPath + "\\" + name);
        state.ResumeTiming();
    }
}
BENCHMARK(WriteMacroOf1000Commands)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Walks every macro by index inside one snapshot, as the program reads its
// trigger tables at start, handing each macro's key to `readMacro`.
template <typename ReadMacro>
void enumerateMacros(benchmark::State& state, ReadMacro readMacro) {
    auto& s = benchStore();
    for (auto _ : state) {
        ks::KeyTree::Transaction snapshot(*s.tree);
        int found = 0;
        for (std::size_t i = 0;; ++i) {
            auto name = s.tree->enumKey(kMacrosPath, i);
            if (!name) break;
            readMacro(s, kMacrosPath + "\\" + *name);
            ++found;
        }
        if (found != kMacros) state.SkipWithError("wrong macro count");
    }
}

void EnumerateMacrosWithTriggers(benchmark::State& state) {
    enumerateMacros(state, [](BenchStore& s, const std::string& macro) {
        benchmark::DoNotOptimize(s.store->GetDword(macro, "vk"));
        benchmark::DoNotOptimize(s.store->GetDword(macro, "fsModifiers"));
        benchmark::DoNotOptimize(s.store->GetDword(macro, "MsgID"));
        benchmark::DoNotOptimize(s.store->GetText(macro, "WPhrase"));
    });
}
BENCHMARK(EnumerateMacrosWithTriggers)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The same walk reading each macro's values with one query instead of four.
void EnumerateMacrosWithAllValues(benchmark::State& state) {
    enumerateMacros(state, [](BenchStore& s, const std::string& macro) {
        benchmark::DoNotOptimize(s.tree->values(macro));
    });
}
BENCHMARK(EnumerateMacrosWithAllValues)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
