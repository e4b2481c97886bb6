// Expansion figures: a table of 100,000 variables, a 1 MB text of 100,000
// references, and a typical short command argument.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FakeSystemValues.h"
#include "core/Messages.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"

namespace {

// Counts the boxes instead of showing them; a benchmark that shows any has gone wrong.
class CountingMessages final : public ks::Messages {
public:
    using Messages::show;
    ks::MsgAnswer show(const ks::MessageBox&) override {
        ++count;
        return ks::MsgAnswer::Ok;
    }
    int count = 0;
};

std::string variableName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "V%05d", i);
    return name;
}

struct Fixture {
    CountingMessages messages;
    ks::test::FakeSystemValues system;
    ks::VariableTable variables{messages};
    ks::ExpansionEngine engine{messages, system, variables};

    Fixture() { engine.setEnabled(true); }
    void define(int count) {
        for (int i = 0; i < count; ++i) variables.SetVariable(variableName(i), "value");
    }
};

// The table lives as long as the program, so making and freeing it is not timed.
void SetThenLookup100000(benchmark::State& state) {
    constexpr int kCount = 100000;
    std::vector<std::string> names;
    for (int i = 0; i < kCount; ++i) names.push_back(variableName(i));
    for (auto _ : state) {
        state.PauseTiming();
        auto f = std::make_unique<Fixture>();
        state.ResumeTiming();
        for (const std::string& name : names) f->variables.SetVariable(name, "value");
        for (const std::string& name : names) benchmark::DoNotOptimize(f->engine.LookupValue(name));
        state.PauseTiming();
        if (f->messages.count != 0) state.SkipWithError("a lookup failed");
        f.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(SetThenLookup100000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Ten bytes per reference: "[V01234]ab", so 100,000 references make 1 MB.
void ExpandManyReferences(benchmark::State& state) {
    const int references = static_cast<int>(state.range(0));
    Fixture f;
    f.define(references);
    std::string text;
    for (int i = 0; i < references; ++i) text += "[" + variableName(i) + "]ab";
    for (auto _ : state) {
        std::string argument = text;
        f.engine.Expand(argument);
        benchmark::DoNotOptimize(argument);
    }
    if (f.messages.count != 0) state.SkipWithError("a reference failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.SetComplexityN(references);
}
BENCHMARK(ExpandManyReferences)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void ExpandTypicalArgument(benchmark::State& state) {
    Fixture f;
    f.define(10);
    f.variables.SetVariable("Name", "Kim");
    f.variables.SetVariable("Order", "4711");
    const std::string text =
        "Hello [NAME], your order [order] ships on [DATE] to the address on file!";
    for (auto _ : state) {
        std::string argument = text;
        f.engine.Expand(argument);
        benchmark::DoNotOptimize(argument);
    }
    if (f.messages.count != 0) state.SkipWithError("a reference failed");
}
BENCHMARK(ExpandTypicalArgument)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
