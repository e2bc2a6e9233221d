// How the interpolations read between sample points, heard through the whole
// player: a sine sample played an octave up must come out as that sine and
// little else. What the output holds above the note (the sine has no
// harmonics, so everything there is aliasing and images of the sample rate)
// must fall from none to linear to cubic to sinc, while the note itself keeps
// its level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

constexpr int32_t Rate = 44100;
constexpr int32_t Skip = 4096;      // the note's start and its volume ramp
constexpr int32_t Analysed = 8192;  // frames analysed after those
constexpr int32_t Period = 8;       // sample points per cycle of the sine

// One channel playing a looped sine sample (16-bit, 8 points a cycle, mono or
// a stereo sample with its sides a quarter cycle apart) at C-5, an octave
// above the note at which it plays at 8363 Hz.
TBytes SineSong(int32_t SampleChannels) {
    TXmSong Song;
    Song.Channels = 1;
    Song.Orders = {0};
    Song.Patterns.push_back({64, {At(0, 0, Note("C-5"), 1)}});
    std::vector<int32_t> Points;
    constexpr int32_t Frames = 8 * Period;
    for (int32_t f = 0; f < Frames; ++f)
        for (int32_t c = 0; c < SampleChannels; ++c)
            Points.push_back(static_cast<int32_t>(
                std::lround(16000 * std::sin(2 * M_PI * (f + c * Period / 4.0) / Period))));
    TXmSample Sample = Sample16(Points);
    Sample.NumChannels = SampleChannels;
    Sample.Loop = TLoop::Forward;
    Sample.LoopLength = Frames;
    Song.Instruments.push_back(Instrument("sine", Sample));
    return WriteXm(Song);
}

// The left side of the song's output from frame Skip on, Analysed frames.
std::vector<double> Render(TQuavixInterpolation Interpolation, int32_t SampleChannels) {
    TQuavixSettings Settings = TQuavixSettings::Offline(Rate, 4096, true, 16);
    Settings.Interpolation = Interpolation;
    auto Player = std::make_unique<TQuavix>(Settings);
    EXPECT_TRUE(LoadBytes(*Player->Module, SineSong(SampleChannels)));
    Player->Play();
    std::vector<int16_t> Buffer(static_cast<size_t>(Player->OutputBufferBytes) / sizeof(int16_t));
    std::vector<double> Left;
    while (static_cast<int32_t>(Left.size()) < Skip + Analysed) {
        Player->Render(Buffer.data());
        for (size_t i = 0; i < Buffer.size(); i += 2) Left.push_back(Buffer[i]);
    }
    return std::vector<double>(Left.begin() + Skip, Left.begin() + Skip + Analysed);
}

// The power spectrum of the values under a Blackman-Harris window, whose
// side lobes lie 92 dB down: the note does not leak into the bins measured.
std::vector<double> PowerSpectrum(std::vector<double> Values) {
    const size_t N = Values.size();
    std::vector<std::complex<double>> X(N);
    for (size_t i = 0; i < N; ++i) {
        const double t = 2 * M_PI * static_cast<double>(i) / static_cast<double>(N);
        const double Window = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
        X[i] = Values[i] * Window;
    }
    // In-place radix-2 transform.
    for (size_t i = 1, j = 0; i < N; ++i) {
        size_t Bit = N >> 1;
        for (; j & Bit; Bit >>= 1) j ^= Bit;
        j ^= Bit;
        if (i < j) std::swap(X[i], X[j]);
    }
    for (size_t Length = 2; Length <= N; Length <<= 1) {
        const std::complex<double> Turn = std::polar(1.0, -2 * M_PI / static_cast<double>(Length));
        for (size_t i = 0; i < N; i += Length) {
            std::complex<double> W = 1;
            for (size_t k = 0; k < Length / 2; ++k, W *= Turn) {
                const std::complex<double> A = X[i + k], B = X[i + k + Length / 2] * W;
                X[i + k] = A + B;
                X[i + k + Length / 2] = A - B;
            }
        }
    }
    std::vector<double> Power(N / 2);
    for (size_t k = 0; k < N / 2; ++k) Power[k] = std::norm(X[k]);
    return Power;
}

// The note's energy (the bins around the spectrum's peak) and the energy
// above it, from half as high again on, in dB. (Right beside the note lie
// the sidebands of its step, which the player keeps at the exact frequency
// on average, alternating between two steps from tick to tick.)
struct TLevels {
    double Note = 0;
    double Above = 0;
};
TLevels Levels(TQuavixInterpolation Interpolation, int32_t SampleChannels) {
    const std::vector<double> Power = PowerSpectrum(Render(Interpolation, SampleChannels));
    const size_t Peak = static_cast<size_t>(std::max_element(Power.begin(), Power.end()) - Power.begin());
    constexpr size_t Lobe = 8;  // the window's main lobe is 4 bins either side
    double Note = 0, Above = 0;
    for (size_t k = 0; k < Power.size(); ++k) {
        if (k + Lobe >= Peak && k <= Peak + Lobe)
            Note += Power[k];
        else if (2 * k > 3 * Peak)
            Above += Power[k];
    }
    return {10 * std::log10(Note), 10 * std::log10(Above + 1e-9)};
}

struct TAliasingCase : TNamedCase {
    TQuavixInterpolation Interpolation;
    TQuavixInterpolation Rougher;  // the interpolation it must beat
    int32_t SampleChannels;
    double Margin;  // dB less above the note than the rougher one
};

std::vector<TAliasingCase> AliasingCases() {
    using I = TQuavixInterpolation;
    return {
        {"linear below none", I::Linear, I::None, 1, 10},
        {"cubic below linear", I::Cubic, I::Linear, 1, 6},
        {"sinc below cubic", I::Sinc, I::Cubic, 1, 10},
        {"cubic below linear, stereo sample", I::Cubic, I::Linear, 2, 6},
        {"sinc below cubic, stereo sample", I::Sinc, I::Cubic, 2, 10},
    };
}

class InterpolationAliasing : public ::testing::TestWithParam<TAliasingCase> {};

TEST_P(InterpolationAliasing, LessEnergyAboveTheNoteThanTheRougherOne) {
    const TAliasingCase& Case = GetParam();
    const TLevels Finer = Levels(Case.Interpolation, Case.SampleChannels);
    const TLevels Rougher = Levels(Case.Rougher, Case.SampleChannels);
    EXPECT_LT(Finer.Above, Rougher.Above - Case.Margin) << "note at " << Finer.Note << " dB";
    // The note itself keeps its level.
    EXPECT_NEAR(Finer.Note, Rougher.Note, 0.5);
}
INSTANTIATE_TEST_SUITE_P(Interpolation, InterpolationAliasing, ::testing::ValuesIn(AliasingCases()), TCaseName());

}  // namespace
