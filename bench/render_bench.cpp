// Rendering speed: 60 seconds of two written songs through the whole render
// loop (sequencer, mixer, conversion), at the window's settings (44100 Hz,
// 16-bit stereo, linear interpolation). One song is a 4-channel
// pattern-format song; the other a 32-channel Extended Module song with 16-bit
// and stereo samples, ping-pong loops, envelopes and resonant filters on.
//
// Reported per song: x_realtime, seconds of song rendered per second. In the
// same run Debian's xmp renders the same file for 60 seconds
// (xmp -q --nocmd -i linear -f 44100 -t 60 -d wav -o /dev/null FILE), as a
// whole process: xmp_x_realtime is its figure and vs_xmp how many times
// faster this player is (0 when xmp is not installed).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

constexpr int32_t Seconds = 60;

std::vector<int32_t> Wave(int32_t Frames, int32_t Channels, int32_t Amplitude, uint32_t Seed) {
    std::vector<int32_t> Points;
    Points.reserve(static_cast<size_t>(Frames) * Channels);
    uint32_t State = Seed;
    for (int32_t i = 0; i < Frames; ++i)
        for (int32_t c = 0; c < Channels; ++c) {
            State = State * 1664525u + 1013904223u;
            // A saw with a little noise: rich enough to keep a filter busy.
            const int32_t Saw = (i * (7 + c) % 200) * Amplitude / 100 - Amplitude;
            Points.push_back(Saw + static_cast<int32_t>(State >> 28) - 8);
        }
    return Points;
}

// 4 channels, 31 samples' worth of tracker habits: notes on most beats,
// looped and one-shot samples, a few slides and vibratos. Ten orders of 64
// rows at speed 6: 77 seconds, longer than the rendered minute.
TBytes PatternFormatSong() {
    TModSong Song;
    Song.Title = "render bench";
    for (int32_t s = 0; s < 8; ++s) {
        TModSample Sample;
        Sample.Values = Wave(4000 + 1000 * s, 1, 100, 10 + s);
        if (s % 2 == 0) {
            Sample.LoopStartWords = 500;
            Sample.LoopLengthWords = 1000;
        }
        Song.Samples.push_back(Sample);
    }
    for (int32_t p = 0; p < 4; ++p) {
        TModPattern Pattern;
        for (int32_t Row = 0; Row < 64; ++Row)
            for (int32_t Channel = 0; Channel < 4; ++Channel) {
                const int32_t Seed = p * 256 + Row * 4 + Channel;
                if ((Row + Channel) % 2 != 0) continue;
                const int32_t Effect = Seed % 5 == 0 ? 4 : Seed % 7 == 0 ? 1 : 0;  // vibrato, slide up
                Pattern.Cells.push_back(ModAt(Row, Channel, 25 + Seed % 48, 1 + Seed % 8, Effect, Effect ? 0x23 : 0));
            }
        Song.Patterns.push_back(Pattern);
    }
    Song.Orders = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1};
    return WriteMod(Song);
}

// 32 channels of 16-bit and stereo samples with forward and ping-pong loops,
// volume and panning envelopes, and cutoff and resonance set through the
// filter macros on every other channel. Eight orders of 64 rows: 61 seconds.
TBytes ExtendedModuleSong() {
    TXmSong Song;
    Song.Title = "render bench";
    Song.Channels = 32;
    for (int32_t i = 0; i < 8; ++i) {
        const bool Stereo = i % 2 == 1;
        TXmSample Sample = Sample16(Wave(6000 + 1500 * i, Stereo ? 2 : 1, 12000, 100 + i));
        Sample.NumChannels = Stereo ? 2 : 1;
        Sample.Loop = i % 4 == 3 ? TLoop::Forward : TLoop::PingPong;
        Sample.LoopStart = 1000;
        Sample.LoopLength = 3000 + 500 * i;
        TXmInstrument Instrument = quavix_test::Instrument("bench", Sample);
        Instrument.VolumeEnvelope.Points = {{0, 64}, {8, 48}, {30, 40}, {120, 0}};
        Instrument.VolumeEnvelope.SustainPoint = 2;
        Instrument.PanningEnvelope.Points = {{0, 16}, {20, 48}, {40, 16}};
        Instrument.PanningEnvelope.LoopStart = 0;
        Instrument.PanningEnvelope.LoopEnd = 2;
        Instrument.FadeOut = 512;
        Instrument.VibratoType = 1;
        Instrument.VibratoDepth = 4;
        Instrument.VibratoRate = 20;
        Song.Instruments.push_back(Instrument);
    }
    for (int32_t p = 0; p < 4; ++p) {
        TXmPattern Pattern(64, {});
        for (int32_t Row = 0; Row < 64; ++Row)
            for (int32_t Channel = 0; Channel < 32; ++Channel) {
                const int32_t Seed = p * 2048 + Row * 32 + Channel;
                if (Row % 8 == Channel % 8) {
                    // Cutoff (Z00..Z7F) on the even channels, resonance
                    // (Z80..Z8F) with it every other time.
                    const bool Filtered = Channel % 2 == 0;
                    const int32_t Parameter = Row % 16 < 8 ? 0x20 + Seed % 0x50 : 0x80 + Seed % 16;
                    Pattern.Cells.push_back(At(Row, Channel, 37 + Seed % 36, 1 + Seed % 8, 0x20 + Seed % 32,
                                               Filtered ? Fx('Z') : 0, Filtered ? Parameter : 0));
                } else if (Row % 8 == (Channel + 4) % 8) {
                    Pattern.Cells.push_back(At(Row, Channel, KeyOff));
                }
            }
        Song.Patterns.push_back(Pattern);
    }
    Song.Orders = {0, 1, 2, 3, 0, 1, 2, 3};
    return WriteXm(Song);
}

// Wall-clock seconds of one xmp run on the file; negative when xmp is missing
// or fails.
double TimeXmp(const std::string& File) {
    const std::string Command =
        "xmp -q --nocmd -i linear -f 44100 -t " + std::to_string(Seconds) + " -d wav -o /dev/null '" + File +
        "' >/dev/null 2>&1";
    const auto Start = std::chrono::steady_clock::now();
    const int Status = std::system(Command.c_str());
    const auto End = std::chrono::steady_clock::now();
    if (Status != 0) return -1;
    return std::chrono::duration<double>(End - Start).count();
}

void RenderSong(benchmark::State& State, const TBytes& Song, const char* Name) {
    std::unique_ptr<TQuavix> Player = std::make_unique<TQuavix>(TQuavixSettings::Offline());
    if (!LoadBytes(*Player->Module, Song)) {
        State.SkipWithError("the song does not load");
        return;
    }
    std::vector<uint8_t> Out(static_cast<size_t>(Player->OutputBufferBytes));
    const int32_t Buffers = (Seconds * 44100 + 4095) / 4096;
    double Best = 1e30;
    for (auto _ : State) {
        const auto Start = std::chrono::steady_clock::now();
        Player->Play();
        for (int32_t i = 0; i < Buffers; ++i) Player->Render(Out.data());
        benchmark::DoNotOptimize(Out.data());
        const double Elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        State.SetIterationTime(Elapsed);
        Best = std::min(Best, Elapsed);
    }
    State.counters["x_realtime"] = Seconds / Best;

    // xmp on the same file, best of two runs.
    const std::string File = std::string("/tmp/quavix-bench-") + std::to_string(getpid()) + "-" + Name;
    SaveBytes(File, Song);
    double Xmp = -1;
    for (int Run = 0; Run < 2; ++Run) {
        const double Time = TimeXmp(File);
        if (Time > 0 && (Xmp < 0 || Time < Xmp)) Xmp = Time;
    }
    unlink(File.c_str());
    State.counters["xmp_x_realtime"] = Xmp > 0 ? Seconds / Xmp : 0;
    State.counters["vs_xmp"] = Xmp > 0 ? Xmp / Best : 0;
    if (Xmp <= 0) State.SetLabel("xmp not found: apt-get install xmp");
}

void BM_RenderPatternFormat4Channels(benchmark::State& State) {
    static const TBytes Song = PatternFormatSong();
    RenderSong(State, Song, "4ch.mod");
}
void BM_RenderExtendedModule32Channels(benchmark::State& State) {
    static const TBytes Song = ExtendedModuleSong();
    RenderSong(State, Song, "32ch.xm");
}

BENCHMARK(BM_RenderPatternFormat4Channels)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderExtendedModule32Channels)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
