// Mixing speed, in nanoseconds per voice-frame: single inner loops on a span
// of 4096 frames, and the whole pipeline with 32 sounding voices.
//
// The "per_voice_frame" counter is the figure to read (seconds, with an SI
// prefix: "906p" is 906 picoseconds, 0.906 ns).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "mixer/mix_routines.h"
#include "player/quavix.h"
#include "sequencer/channel.h"
#include "song/instrument.h"
#include "song/module.h"

namespace {

constexpr int32_t Frames = 4096;

// A mono or stereo sample of noise-like values on the 16-bit scale, looping
// over its whole length.
std::unique_ptr<TQuavixSample> MakeSample(int32_t Length, int32_t Channels) {
    auto Sample = std::make_unique<TQuavixSample>();
    Sample->NumChannels = Channels;
    Sample->AllocateData(Length * Channels);
    uint32_t State = 12345;
    for (int32_t i = 0; i < Length * Channels; ++i) {
        State = State * 1664525u + 1013904223u;
        Sample->Data[i] = static_cast<int16_t>(State >> 16);
    }
    Sample->Length = Length;
    Sample->Loop = true;
    Sample->LoopStart = 0;
    Sample->LoopLength = Length;
    Sample->PrepareData();
    return Sample;
}

void ReportPerVoiceFrame(benchmark::State& State, int64_t VoiceFramesPerIteration) {
    // Seconds per voice-frame, printed with an SI prefix: "906p" is 0.906 ns.
    State.counters["per_voice_frame"] = benchmark::Counter(
        static_cast<double>(VoiceFramesPerIteration),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One loop from the stereo table on a 4096-frame span of a panned voice.
void BM_StereoLoop(benchmark::State& State, int32_t Interpolation, int32_t StereoSample, int32_t Ramp,
                   int32_t Filter) {
    auto Player = std::make_unique<TQuavix>(TQuavixSettings::Offline(44100, Frames));
    auto Sample = MakeSample(1 << 16, StereoSample ? 2 : 1);
    TQuavixChannel& Voice = *Player->Module->Channels[0];
    Voice.Sample = Sample.get();
    Voice.Step = 3001;  // a little below one frame per output frame
    Voice.VolumeLeft = 1500;
    Voice.VolumeRight = 700;
    Voice.FilterCoefficients = Player->FilterTable[40][70];
    const TQuavixMixRoutine Routine = StereoMixRoutines[Interpolation][StereoSample][Ramp][Filter][1];
    for (auto _ : State) {
        Voice.Position = 0;
        Voice.RampLeft = 0;
        Voice.RampRight = 0;
        Voice.RampStepLeft = (1500 << 12) / Frames;
        Voice.RampStepRight = (700 << 12) / Frames;
        int32_t* Output = Player->MixBuffer.get();
        Routine(Output, Frames, Voice);
        benchmark::DoNotOptimize(Player->MixBuffer[100]);
    }
    ReportPerVoiceFrame(State, Frames);
}
BENCHMARK_CAPTURE(BM_StereoLoop, linear_mono_sample, 1, 0, 0, 0);
BENCHMARK_CAPTURE(BM_StereoLoop, linear_mono_sample_ramp, 1, 0, 1, 0);
BENCHMARK_CAPTURE(BM_StereoLoop, linear_mono_sample_lowpass, 1, 0, 0, 1);
BENCHMARK_CAPTURE(BM_StereoLoop, linear_mono_sample_highpass, 1, 0, 0, 2);
BENCHMARK_CAPTURE(BM_StereoLoop, linear_mono_sample_ramp_lowpass, 1, 0, 1, 1);
BENCHMARK_CAPTURE(BM_StereoLoop, linear_stereo_sample_lowpass, 1, 1, 0, 1);
BENCHMARK_CAPTURE(BM_StereoLoop, nearest_mono_sample_lowpass, 0, 0, 0, 1);
BENCHMARK_CAPTURE(BM_StereoLoop, cubic_mono_sample_lowpass, 2, 0, 0, 1);
BENCHMARK_CAPTURE(BM_StereoLoop, linear_stereo_sample, 1, 1, 0, 0);
BENCHMARK_CAPTURE(BM_StereoLoop, nearest_mono_sample, 0, 0, 0, 0);
BENCHMARK_CAPTURE(BM_StereoLoop, cubic_mono_sample, 2, 0, 0, 0);
BENCHMARK_CAPTURE(BM_StereoLoop, cubic_stereo_sample, 2, 1, 0, 0);
BENCHMARK_CAPTURE(BM_StereoLoop, sinc_mono_sample, 3, 0, 0, 0);
BENCHMARK_CAPTURE(BM_StereoLoop, sinc_stereo_sample, 3, 1, 0, 0);

// MixChannels with 32 sounding voices at different pitches and pannings, as
// a busy song has them between two ticks.
void BM_MixChannels32(benchmark::State& State) {
    auto Player = std::make_unique<TQuavix>(TQuavixSettings::Offline(44100, Frames));
    TQuavixModule& Module = *Player->Module;
    Module.NumChannels = 32;
    std::vector<std::unique_ptr<TQuavixSample>> Samples;
    for (int32_t i = 0; i < 32; ++i) {
        Samples.push_back(MakeSample(20000 + 997 * i, i % 4 == 3 ? 2 : 1));
        TQuavixChannel& Voice = *Module.Channels[i];
        Voice.Sample = Samples.back().get();
        Voice.Active = true;
        Voice.Increment = 2000 + 211 * i;
        Voice.VolumeLeft = 40 * i;
        Voice.VolumeRight = 1200 - 30 * i;
        Voice.RampLeft = Voice.RampTargetLeft = Voice.VolumeLeft << 12;
        Voice.RampRight = Voice.RampTargetRight = Voice.VolumeRight << 12;
    }
    for (auto _ : State) {
        std::fill(Player->MixBuffer.get(), Player->MixBuffer.get() + 2 * Frames, 0);
        Player->SamplesLeft = Frames;
        Player->MixChannels(0, Frames);
        benchmark::DoNotOptimize(Player->MixBuffer[100]);
    }
    ReportPerVoiceFrame(State, 32 * Frames);
}
BENCHMARK(BM_MixChannels32);

}  // namespace
