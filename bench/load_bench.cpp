// Loading speed: a large Extended Module (128 dense patterns of 8 channels,
// 32 instruments with about 2 MB of 8- and 16-bit sample data) loaded from
// memory again and again; reports the time per load and the throughput.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "song/module.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

TXmSong LargeSong() {
    TXmSong Song;
    Song.Title = "load benchmark";
    Song.Channels = 8;
    for (int32_t p = 0; p < 128; ++p) {
        TXmPattern Pattern(64, {});
        for (int32_t Row = 0; Row < 64; ++Row)
            for (int32_t Channel = 0; Channel < 8; ++Channel) {
                int32_t Seed = p * 512 + Row * 8 + Channel;
                if (Seed % 3 == 0) continue;  // a third of the cells empty
                Pattern.Cells.push_back(At(Row, Channel, 1 + Seed % 96, 1 + Seed % 32, Seed % 2 ? 0x10 + Seed % 64 : 0,
                                           Seed % 5 ? Seed % 16 : 0, Seed % 7 ? Seed % 256 : 0));
            }
        Song.Patterns.push_back(Pattern);
        Song.Orders.push_back(static_cast<uint8_t>(p));
    }
    for (int32_t i = 0; i < 32; ++i) {
        // 64 KB of data each: 32768 16-bit frames, or 65536 8-bit ones.
        bool Wide = i % 2 == 0;
        std::vector<int32_t> Points(Wide ? 32768 : 65536);
        uint32_t State = 1 + i;
        for (int32_t& Point : Points) {
            State = State * 1664525u + 1013904223u;
            Point = Wide ? static_cast<int16_t>(State >> 16) : static_cast<int8_t>(State >> 24);
        }
        TXmSample Sample = Wide ? Sample16(Points) : Sample8(Points);
        Sample.Loop = i % 3 == 0 ? TLoop::Forward : i % 3 == 1 ? TLoop::PingPong : TLoop::None;
        Sample.LoopStart = 1000;
        Sample.LoopLength = 20000;
        TXmInstrument Instrument = quavix_test::Instrument("instrument", Sample);
        Instrument.VolumeEnvelope.Points = {{0, 64}, {10, 32}, {40, 0}};
        Song.Instruments.push_back(Instrument);
    }
    return Song;
}

void BM_LoadLargeXm(benchmark::State& State) {
    const TBytes File = WriteXm(LargeSong());
    std::unique_ptr<TQuavixModule> Module(new TQuavixModule());
    for (auto _ : State) {
        if (!LoadBytes(*Module, File)) {
            State.SkipWithError("the benchmark song did not load");
            break;
        }
    }
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(File.size()));
}
BENCHMARK(BM_LoadLargeXm)->Unit(benchmark::kMillisecond);

}  // namespace
