#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "mixer/resonant_filter.h"
#include "player/quavix.h"
#include "sequencer/channel.h"
#include "song/module.h"
#include "support/case_names.h"

namespace {

using TCoefficients = TQuavix::TFilterCoefficients;
using THistory = std::array<int32_t, 4>;

class ResonantFilter : public ::testing::Test {
protected:
    void SetUp() override { Player = std::make_unique<TQuavix>(TQuavixSettings::Offline()); }
    TQuavixChannel& Voice() { return *Player->Module->Channels[3]; }
    // The table's 12-bit entry in the filter's 24-bit fixed point, as a
    // voice loads it.
    TCoefficients Entry(int32_t Resonance, int32_t Cutoff) const {
        TCoefficients E = Player->FilterTable[Resonance][Cutoff];
        for (int32_t& K : E) K *= 4096;
        return E;
    }
    std::unique_ptr<TQuavix> Player;
};

TEST_F(ResonantFilter, FirstSetupClearsTheHistoryAndLaterOnesKeepIt) {
    TQuavixChannel& V = Voice();
    ASSERT_FALSE(V.FilterValid);
    V.FilterHistory = {5, -6, 7, -8};
    V.FilterCutoff = 64;
    V.SetupFilter(!V.FilterValid);
    EXPECT_TRUE(V.FilterValid);
    EXPECT_EQ(V.FilterCoefficients, Entry(0, 64));
    EXPECT_EQ(V.FilterHistory, (THistory{0, 0, 0, 0}));

    V.FilterHistory = {11, 12, 13, 14};
    V.FilterCutoff = 48;
    V.FilterResonance = 90;
    V.SetupFilter(!V.FilterValid);
    EXPECT_TRUE(V.FilterValid);
    EXPECT_EQ(V.FilterCoefficients, Entry(90, 48));
    EXPECT_EQ(V.FilterHistory, (THistory{11, 12, 13, 14}));
}

struct TClampCase : quavix_test::TNamedCase {
    int32_t Cutoff, Resonance, Mode;
    int32_t StoredCutoff, StoredResonance;
};

std::vector<TClampCase> ClampCases() {
    return {
        {"cutoff 64 low-pass", 64, 0, 0, 64, 0},
        {"cutoff 64 high-pass", 64, 0, 1, 64, 0},
        {"lowest cutoff, most resonance", 0, 127, 0, 0, 127},
        {"highest cutoff and resonance, high-pass", 127, 127, 1, 127, 127},
        {"cutoff above 127 is 127", 200, 30, 0, 127, 30},
        {"cutoff below 0 is 0", -5, 30, 1, 0, 30},
        {"resonance above 127 is 127", 10, 300, 0, 10, 127},
        {"resonance below 0 is 0", 10, -1, 1, 10, 0},
    };
}

class ResonantFilterLoadsTheClampedEntry : public ResonantFilter, public ::testing::WithParamInterface<TClampCase> {};

TEST_P(ResonantFilterLoadsTheClampedEntry, ForEitherMode) {
    const TClampCase& C = GetParam();
    TQuavixChannel& V = Voice();
    V.Reset();
    V.FilterCutoff = C.Cutoff;
    V.FilterResonance = C.Resonance;
    V.FilterMode = C.Mode;
    V.SetupFilter(true);
    EXPECT_EQ(V.FilterCutoff, C.StoredCutoff);
    EXPECT_EQ(V.FilterResonance, C.StoredResonance);
    const TCoefficients E = Entry(C.StoredResonance, C.StoredCutoff);
    // The high-pass takes the input gain's complement and the same feedback.
    const int32_t A0 = C.Mode == 1 ? (1 << 24) - E[0] : E[0];
    EXPECT_EQ(V.FilterCoefficients, (TCoefficients{A0, E[1], E[2]}));
}
INSTANTIATE_TEST_SUITE_P(ResonantFilter, ResonantFilterLoadsTheClampedEntry, ::testing::ValuesIn(ClampCases()),
                         quavix_test::TCaseName());

TEST(ResonantFilterWithoutPlayer, PassesTheSignalUnchanged) {
    TQuavixModule Module;
    TQuavixChannel& V = *Module.Channels[0];
    V.FilterCutoff = 20;
    V.SetupFilter(true);
    EXPECT_TRUE(V.FilterValid);
    EXPECT_EQ(V.FilterCoefficients, (TCoefficients{1 << 24, 0, 0}));
    V.FilterMode = 1;
    V.SetupFilter(false);
    EXPECT_EQ(V.FilterCoefficients, (TCoefficients{0, 0, 0}));
}

struct TFrameCase : quavix_test::TNamedCase {
    bool HighPass;
    int32_t A0, B0, B1, H1, H2, X;
    int32_t Y, NewH1;
};

std::vector<TFrameCase> FrameCases() {
    // Coefficients are 24-bit (1 << 24 = 1.0); the history counts 256ths of
    // the input's units.
    constexpr int32_t One = 1 << 24;
    return {
        // Unit input gain and no feedback: the output is the input.
        {"unit gain passes the input", false, One, 0, 0, 0, 0, 1234, 1234, 1234 * 256},
        {"unit gain passes the lowest input", false, One, 0, 0, 9, 9, -32768, -32768, -32768 * 256},
        // The output takes the floor of the history: -1.5 becomes -2.
        {"the output takes the floor", false, One / 2, 0, 0, 0, 0, -3, -2, -384},
        // The sum rounds to the nearest, halves up: 1.5 becomes 2, -1.5 becomes -1.
        {"the sum rounds halves up", false, 0, One / 2, 0, 3, 0, 0, 0, 2},
        {"a negative sum rounds halves up", false, 0, One / 2, 0, -3, 0, 0, -1, -1},
        // The high-pass keeps y - x: after x = 1000 and y = 200.2 the history is -799.8.
        {"high-pass keeps output less input", true, 820 * 4096, 0, 0, 5, 0, 1000, 200, 51250 - 256000},
        // Feedback from both history values: 10 + 2 x 20 - 30.
        {"low-pass feedback from both history values", false, One, 2 * One, -One, 20 * 256, 30 * 256, 10, 20, 20 * 256},
        {"high-pass feedback from both history values", true, One, 2 * One, -One, 20 * 256, 30 * 256, 10, 20, 10 * 256},
        // Products far beyond 32 bits: a loud resonant history.
        {"products beyond 32 bits", false, 100 * 4096, 8190 * 4096, -4090 * 4096, 60000 * 256, 59900 * 256, 32767,
         60958, 15605356},
        // A history running away is held to twice the 16-bit range; the
        // output is not.
        {"a history running away is held", false, 100 * 4096, 8190 * 4096, -4090 * 4096, 65000 * 256, 64000 * 256,
         32767, 66861, 65535 * 256},
        {"and so is one running away below", false, 100 * 4096, 8190 * 4096, -4090 * 4096, -65000 * 256, -64000 * 256,
         -32768, -66863, -65536 * 256},
        // The high-pass holds what it keeps, the output less the input: an
        // output within the bounds can leave a history beyond them.
        {"a high-pass history is held after the input is taken", true, 100 * 4096, 8190 * 4096, -4090 * 4096,
         -62000 * 256, -60000 * 256, 32767, -63258, -65536 * 256},
    };
}

class FilterFrameSteps : public ::testing::TestWithParam<TFrameCase> {};

TEST_P(FilterFrameSteps, TheEquationAndTheHistory) {
    const TFrameCase& C = GetParam();
    int32_t H1 = C.H1, H2 = C.H2;
    const int32_t Y = C.HighPass ? FilterFrame<true>(C.X, C.A0, C.B0, C.B1, H1, H2)
                                 : FilterFrame<false>(C.X, C.A0, C.B0, C.B1, H1, H2);
    EXPECT_EQ(Y, C.Y);
    EXPECT_EQ(H1, C.NewH1);
    EXPECT_EQ(H2, C.H1);
}
INSTANTIATE_TEST_SUITE_P(FilterFrame, FilterFrameSteps, ::testing::ValuesIn(FrameCases()), quavix_test::TCaseName());

// Runs a voice's coefficients over a signal, as a mixing loop does.
std::vector<int32_t> RunFilter(const TCoefficients& K, bool HighPass, const std::vector<int32_t>& Input) {
    std::vector<int32_t> Output;
    Output.reserve(Input.size());
    int32_t H1 = 0, H2 = 0;
    for (int32_t X : Input)
        Output.push_back(HighPass ? FilterFrame<true>(X, K[0], K[1], K[2], H1, H2)
                                  : FilterFrame<false>(X, K[0], K[1], K[2], H1, H2));
    return Output;
}

// Peak output over the second half, relative to the input amplitude.
double Gain(const TCoefficients& K, bool HighPass, double Hz) {
    const double Amplitude = 10000.0;
    const double Pi = 3.14159265358979323846;
    std::vector<int32_t> Input(44100);
    for (size_t i = 0; i < Input.size(); ++i)
        Input[i] = static_cast<int32_t>(std::lround(Amplitude * std::sin(2.0 * Pi * Hz * i / 44100.0)));
    const std::vector<int32_t> Output = RunFilter(K, HighPass, Input);
    int32_t Peak = 0;
    for (size_t i = Output.size() / 2; i < Output.size(); ++i) Peak = std::max(Peak, std::abs(Output[i]));
    return Peak / Amplitude;
}

TCoefficients AsHighPass(TCoefficients K) {
    K[0] = (1 << 24) - K[0];
    return K;
}

TEST_F(ResonantFilter, LowPassKeepsAConstantAndHighPassLetsItDieAway) {
    const std::vector<int32_t> Constant(20000, 10000);
    for (int32_t Resonance : {0, 64, 127}) {
        for (int32_t Cutoff : {64, 100, 127}) {
            const TCoefficients K = Entry(Resonance, Cutoff);
            const std::vector<int32_t> Low = RunFilter(K, false, Constant);
            const std::vector<int32_t> High = RunFilter(AsHighPass(K), true, Constant);
            // Once settled: the rounding leaves a dead band of about 2^16 / A0
            // (A0 in 24 bits) and an entry one off unity in its 12 bits moves
            // the level by the input / A0; for these cutoffs that stays within
            // 1% of the input.
            for (size_t i = Constant.size() - 1000; i < Constant.size(); ++i) {
                ASSERT_NEAR(Low[i], 10000, 100) << Resonance << ", " << Cutoff << " at " << i;
                ASSERT_NEAR(High[i], 0, 100) << Resonance << ", " << Cutoff << " at " << i;
            }
        }
    }
}

TEST_F(ResonantFilter, CutsAboveTheCutoffAndResonatesAtIt) {
    const int32_t Cutoff = 64;
    const double Hz = Player->CutoffToFrequency(Cutoff, 256);
    const TCoefficients Plain = Entry(0, Cutoff);
    const TCoefficients Resonant = Entry(127, Cutoff);
    // Low-pass without resonance: passes a quarter of the cutoff, about
    // -6 dB at it, strongly cuts four times it.
    EXPECT_GT(Gain(Plain, false, Hz / 4), 0.85);
    EXPECT_NEAR(Gain(Plain, false, Hz), 0.45, 0.1);
    EXPECT_LT(Gain(Plain, false, Hz * 4), 0.1);
    // Full resonance: a peak of about 18 dB at the cutoff.
    EXPECT_GT(Gain(Resonant, false, Hz), 5.0);
    EXPECT_LT(Gain(Resonant, false, Hz * 4), 0.1);
    // High-pass: passes four times the cutoff, resonates at it, cuts below it.
    EXPECT_GT(Gain(AsHighPass(Plain), true, Hz * 4), 0.9);
    EXPECT_GT(Gain(AsHighPass(Resonant), true, Hz), 5.0);
    EXPECT_LT(Gain(AsHighPass(Resonant), true, Hz / 4), 0.1);
}

}  // namespace
