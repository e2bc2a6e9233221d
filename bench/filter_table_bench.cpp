// Building the resonant-filter coefficient table (128 x 128 entries), which
// every player does once when it is created.
#include <benchmark/benchmark.h>

#include <memory>

#include "player/quavix.h"

namespace {

void BM_BuildFilterTable(benchmark::State& State) {
    auto Player = std::make_unique<TQuavix>(TQuavixSettings::Offline());
    for (auto _ : State) {
        Player->BuildFilterTable(44100);
        benchmark::DoNotOptimize(Player->FilterTable[64][64][1]);
    }
}
BENCHMARK(BM_BuildFilterTable)->Unit(benchmark::kMillisecond);

}  // namespace
