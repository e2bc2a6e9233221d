// Loading speed: a large Extended Module (128 dense patterns of 8 channels,
// 32 instruments with about 2 MB of 8- and 16-bit sample data) loaded from
// memory again and again; prints the median time and the throughput.
//
//   bench_load_bench [REPEATS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

int main(int argc, char** argv) {
    int32_t Repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
    TBytes File = WriteXm(LargeSong());
    std::unique_ptr<TQuavixModule> Module(new TQuavixModule());
    std::vector<double> Times;
    for (int32_t i = 0; i < Repeats; ++i) {
        auto Start = std::chrono::steady_clock::now();
        bool Loaded = LoadBytes(*Module, File);
        auto Stop = std::chrono::steady_clock::now();
        if (!Loaded) {
            std::fprintf(stderr, "bench_load_bench: the benchmark song did not load\n");
            return 1;
        }
        Times.push_back(std::chrono::duration<double, std::milli>(Stop - Start).count());
    }
    std::sort(Times.begin(), Times.end());
    double Median = Times[Times.size() / 2];
    double Megabytes = File.size() / 1e6;
    std::printf("xm load: %.2f MB, %d repeats, median %.3f ms (min %.3f ms), %.1f MB/s\n", Megabytes, Repeats, Median,
                Times.front(), Megabytes / (Median / 1000.0));
    return 0;
}
