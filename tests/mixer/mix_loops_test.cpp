// The 144 inner mixing loops against one plain reference loop that follows
// the per-frame steps one at a time: fetch, interpolate, downmix, filter, ramp,
// accumulate. Every member must agree with it exactly, on random data,
// positions, steps, gains, ramps and filters: the values it adds, the position
// it leaves, the ramp gains and the filter histories it writes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "mixer/interpolation_tables.h"
#include "mixer/mix_routines.h"
#include "player/quavix.h"
#include "sequencer/channel.h"
#include "song/instrument.h"
#include "song/module.h"

namespace {

struct TKey {
    int32_t OutputChannels;  // 1 or 2
    int32_t Interpolation;   // 0 none, 1 linear, 2 cubic, 3 sinc
    int32_t SampleChannels;  // 1 or 2
    int32_t Ramp;            // 0 or 1
    int32_t Filter;          // 0 none, 1 low-pass, 2 high-pass
    int32_t SidesDiffer;     // 0 or 1, stereo output only

    std::string Name() const {
        static const char* Filters[] = {"0", "LP", "HP"};
        std::string S = OutputChannels == 1 ? "M" : "S";
        static const char* Interpolations[] = {" N ", " L ", " C ", " W "};
        S += Interpolations[Interpolation];
        S += SampleChannels == 2 ? "2 " : "1 ";
        S += Ramp ? "R " : "- ";
        S += Filters[Filter];
        if (OutputChannels == 2) S += SidesDiffer ? " D" : " E";
        return S;
    }

    TQuavixMixRoutine Routine() const {
        const int32_t S = SampleChannels - 1;
        return OutputChannels == 1 ? MonoMixRoutines[Interpolation][S][Ramp][Filter]
                                   : StereoMixRoutines[Interpolation][S][Ramp][Filter][SidesDiffer];
    }
};

void PrintTo(const TKey& K, std::ostream* Stream) { *Stream << K.Name(); }

std::vector<TKey> AllKeys() {
    std::vector<TKey> Keys;
    for (int32_t Out = 1; Out <= 2; ++Out)
        for (int32_t I = 0; I < 4; ++I)
            for (int32_t S = 1; S <= 2; ++S)
                for (int32_t R = 0; R < 2; ++R)
                    for (int32_t F = 0; F < 3; ++F)
                        for (int32_t D = 0; D < Out; ++D) Keys.push_back({Out, I, S, R, F, D});
    return Keys;
}

// The steps of one frame after another, with every property tested at run time.
void ReferenceMix(const TKey& K, int32_t* Output, int32_t N, TQuavixChannel& V) {
    const int16_t* Data = V.Sample->Data;
    uint32_t Position = static_cast<uint32_t>(V.Position);
    int32_t RampLeft = V.RampLeft, RampRight = V.RampRight;
    std::array<int32_t, 4> H = V.FilterHistory;
    const int64_t A0 = V.FilterCoefficients[0], B0 = V.FilterCoefficients[1], B1 = V.FilterCoefficients[2];
    for (int32_t Frame = 0; Frame < N; ++Frame) {
        // Fetch and interpolate each channel of the sample.
        const uint32_t F = Position >> 12;
        const int32_t W = static_cast<int32_t>(Position & 4095);
        std::vector<int32_t> X;
        for (int32_t c = 0; c < K.SampleChannels; ++c) {
            const int32_t A = Data[F * K.SampleChannels + c];
            const int32_t B = Data[(F + 1) * K.SampleChannels + c];
            if (K.Interpolation < 2) {
                X.push_back(K.Interpolation ? A + (((B - A) * W) >> 12) : A);
                continue;
            }
            // Cubic: frames F - 1 .. F + 2; sinc: F - 3 .. F + 4, weighted by
            // the row of the fraction's top 10 bits, rounded at 14 bits and
            // held to 16.
            const TQuavixInterpolationTables& T = QuavixInterpolationTables();
            const int32_t Taps = K.Interpolation == 2 ? 4 : 8;
            const int16_t* Row = Taps == 4 ? T.Cubic[W >> 2] : T.Sinc[W >> 2];
            int64_t Sum = 0;
            for (int32_t k = 0; k < Taps; ++k)
                Sum += Row[k] * Data[(static_cast<int64_t>(F) + k - (Taps / 2 - 1)) * K.SampleChannels + c];
            X.push_back(static_cast<int32_t>(std::clamp<int64_t>((Sum + 8192) >> 14, -32768, 32767)));
        }
        // Downmix a stereo sample for mono output.
        if (K.OutputChannels == 1 && X.size() == 2) X = {(X[0] + X[1]) >> 1};
        // Filter each value with its own history.
        std::vector<int32_t> Y;
        for (size_t v = 0; v < X.size(); ++v) {
            int64_t y = X[v];
            if (K.Filter) {
                int32_t& H1 = H[2 * v];
                int32_t& H2 = H[2 * v + 1];
                // 24-bit coefficients on the input taken 256 times finer; the
                // sum rounded; the history kept is held to twice the 16-bit
                // range there, the output only to the filtered peak.
                const int64_t In = static_cast<int64_t>(X[v]) * 256;
                const int64_t Sum = (A0 * In + B0 * H1 + B1 * H2 + (1 << 23)) >> 24;
                H2 = H1;
                H1 = static_cast<int32_t>(std::clamp<int64_t>(K.Filter == 2 ? Sum - In : Sum, -(1 << 24), (1 << 24) - 256));
                y = std::clamp<int64_t>(Sum >> 8, -FilteredPeak, FilteredPeak);
            }
            Y.push_back(static_cast<int32_t>(y));
        }
        // Gains: the ramp steps before the frame uses it.
        const bool Equal = K.OutputChannels == 2 && !K.SidesDiffer;
        int32_t GainLeft = V.VolumeLeft, GainRight = Equal ? V.VolumeLeft : V.VolumeRight;
        if (K.Ramp) {
            RampLeft += V.RampStepLeft;
            if (K.OutputChannels == 2 && K.SidesDiffer) RampRight += V.RampStepRight;
            GainLeft = RampLeft >> 12;
            GainRight = Equal ? GainLeft : RampRight >> 12;
        }
        Output[0] += Y[0] * GainLeft;
        if (K.OutputChannels == 2) Output[1] += Y.back() * GainRight;
        Output += K.OutputChannels;
        Position += static_cast<uint32_t>(V.Step);
    }
    V.Position = static_cast<int32_t>(Position);
    if (K.Ramp) {
        V.RampLeft = RampLeft;
        if (K.OutputChannels == 2) V.RampRight = K.SidesDiffer ? RampRight : RampLeft;
    }
    if (K.Filter) V.FilterHistory = H;
}

class MixLoops : public ::testing::Test {
protected:
    void SetUp() override { Player = std::make_unique<TQuavix>(TQuavixSettings::Offline()); }
    std::unique_ptr<TQuavix> Player;
};

TEST_F(MixLoops, TablesHoldADifferentLoopForEveryKey) {
    std::set<TQuavixMixRoutine> Seen;
    for (const TKey& K : AllKeys()) {
        ASSERT_NE(K.Routine(), nullptr) << K.Name();
        Seen.insert(K.Routine());
    }
    EXPECT_EQ(Seen.size(), 144u);
}

// Every row of weights adds up to the whole (a constant level comes through
// unchanged), and the row of phase 0 takes the frame itself: at whole frames
// cubic and sinc read what the sample holds, as none and linear do.
TEST_F(MixLoops, InterpolationWeightsKeepTheLevelAndTheFramesThemselves) {
    const TQuavixInterpolationTables& T = QuavixInterpolationTables();
    for (int32_t Phase = 0; Phase < QuavixTapPhases; ++Phase) {
        int32_t Cubic = 0, Sinc = 0;
        for (int16_t W : T.Cubic[Phase]) Cubic += W;
        for (int16_t W : T.Sinc[Phase]) Sinc += W;
        EXPECT_EQ(Cubic, 16384) << "phase " << Phase;
        EXPECT_EQ(Sinc, 16384) << "phase " << Phase;
    }
    EXPECT_EQ(std::vector<int16_t>(T.Cubic[0], T.Cubic[0] + 4), (std::vector<int16_t>{0, 16384, 0, 0}));
    EXPECT_EQ(std::vector<int16_t>(T.Sinc[0], T.Sinc[0] + 8), (std::vector<int16_t>{0, 0, 0, 16384, 0, 0, 0, 0}));
    // Halfway, both weigh the two frames around the position alike.
    EXPECT_EQ(T.Cubic[512][1], T.Cubic[512][2]);
    EXPECT_EQ(T.Sinc[512][3], T.Sinc[512][4]);
}

TEST_F(MixLoops, EveryMemberAgreesWithTheReferenceLoop) {
    std::mt19937 Random(20261208);
    auto Uniform = [&](int32_t Lo, int32_t Hi) { return std::uniform_int_distribution<int32_t>(Lo, Hi)(Random); };
    constexpr int32_t Length = 300;
    constexpr int32_t MaxFrames = 37;
    constexpr int32_t Guard = 8;  // mix-buffer values checked beyond the span

    for (const TKey& K : AllKeys()) {
        SCOPED_TRACE(K.Name());
        TQuavixSample Sample;
        Sample.NumChannels = K.SampleChannels;
        Sample.AllocateData(Length * K.SampleChannels);
        Sample.Length = Length;
        for (int32_t i = 0; i < Length * K.SampleChannels; ++i) Sample.Data[i] = Uniform(-32768, 32767);
        Sample.PrepareData();

        for (int32_t Trial = 0; Trial < 150; ++Trial) {
            TQuavixChannel& V = *Player->Module->Channels[0];
            V.Sample = &Sample;
            const int32_t N = Uniform(1, MaxFrames);
            // Forward and backward steps, slow and fast, kept inside the sample.
            const int32_t MaxStep = (Length - 1) * 4096 / N;
            V.Step = Uniform(-std::min(MaxStep, 3 * 4096), std::min(MaxStep, 3 * 4096));
            const int64_t Travel = static_cast<int64_t>(N - 1) * V.Step;
            const int64_t Lowest = std::max<int64_t>(0, -Travel);
            const int64_t Highest = std::min<int64_t>(Length * 4096 - 1, Length * 4096 - 1 - Travel);
            V.Position = static_cast<int32_t>(std::uniform_int_distribution<int64_t>(Lowest, Highest)(Random));
            V.VolumeLeft = Uniform(-4096, 4096);
            V.VolumeRight = Uniform(-4096, 4096);
            // Ramps that stay within unity gain over the span.
            V.RampLeft = Uniform(-4096, 4096) * 4096 + Uniform(0, 4095);
            V.RampRight = Uniform(-4096, 4096) * 4096 + Uniform(0, 4095);
            V.RampStepLeft = (Uniform(-4096, 4096) * 4096 - V.RampLeft) / N;
            V.RampStepRight = (Uniform(-4096, 4096) * 4096 - V.RampRight) / N;
            // The table's entries in the filter's 24-bit fixed point.
            V.FilterCoefficients = Player->FilterTable[Uniform(0, 127)][Uniform(0, 127)];
            for (int32_t& C : V.FilterCoefficients) C *= 4096;
            if (Uniform(0, 1)) V.FilterCoefficients[0] = (1 << 24) - V.FilterCoefficients[0];
            // Histories of a resonating filter (in 256ths of the input's
            // units), now and then past the bound the filter holds them to.
            for (int32_t& H : V.FilterHistory) H = Uniform(-20000000, 20000000);

            const size_t Values = static_cast<size_t>(MaxFrames + Guard) * K.OutputChannels;
            // Small values already in the mix: one voice alone may add almost
            // the whole 32-bit range.
            std::vector<int32_t> Expected(Values), Actual(Values);
            for (size_t i = 0; i < Values; ++i) Expected[i] = Actual[i] = Uniform(-4000, 4000);

            // The same voice, mixed by the reference loop.
            TQuavixChannel& Want = *Player->Module->Channels[1];
            static_cast<TQuavixChannelState&>(Want) = V;
            ReferenceMix(K, Expected.data(), N, Want);

            int32_t* Output = Actual.data();
            K.Routine()(Output, N, V);

            ASSERT_EQ(Output, Actual.data() + static_cast<size_t>(N) * K.OutputChannels) << "trial " << Trial;
            ASSERT_EQ(Actual, Expected) << "trial " << Trial << ", " << N << " frames";
            ASSERT_EQ(V.Position, Want.Position) << "trial " << Trial;
            ASSERT_EQ(V.RampLeft, Want.RampLeft) << "trial " << Trial;
            ASSERT_EQ(V.RampRight, Want.RampRight) << "trial " << Trial;
            ASSERT_EQ(V.FilterHistory, Want.FilterHistory) << "trial " << Trial;
        }
    }
}

// The stereo members without filter mix their groups of four frames with
// the vector unit where the build has one, and the filtered linear members
// interpolate theirs with it. Each must give exactly what the same member
// gives frame by frame, over long spans (many groups and a rest), at the ends
// of the sample range, with steps forward and backward, slow, whole and
// fast, with ramps across the whole gain range and resonating filters.
class VectorGroups : public ::testing::TestWithParam<TKey> {};

TEST_P(VectorGroups, MixWhatTheFramesGiveOneByOne) {
    const TKey K = GetParam();
    const int32_t S = K.SampleChannels - 1;
    const TQuavixMixRoutine Vector = StereoMixRoutines[K.Interpolation][S][K.Ramp][K.Filter][K.SidesDiffer];
    const TQuavixMixRoutine Frames =
        FrameByFrameStereoMixRoutines[K.Interpolation][S][K.Ramp][K.Filter][K.SidesDiffer];
    std::unique_ptr<TQuavix> Player = std::make_unique<TQuavix>(TQuavixSettings::Offline());
    std::mt19937 Random(20261209);
    auto Uniform = [&](int32_t Lo, int32_t Hi) { return std::uniform_int_distribution<int32_t>(Lo, Hi)(Random); };
    constexpr int32_t Length = 2000;
    constexpr int32_t MaxFrames = 301;

    // Values at the ends of the 16-bit scale now and then, to catch any loss
    // of range in the vector arithmetic.
    TQuavixSample Sample;
    Sample.NumChannels = K.SampleChannels;
    Sample.AllocateData(Length * K.SampleChannels);
    Sample.Length = Length;
    for (int32_t i = 0; i < Length * K.SampleChannels; ++i) {
        const int32_t Pick = Uniform(0, 9);
        Sample.Data[i] = Pick == 0 ? -32768 : Pick == 1 ? 32767 : Uniform(-32768, 32767);
    }
    Sample.PrepareData();

    for (int32_t Trial = 0; Trial < 400; ++Trial) {
        TQuavixChannel& V = *Player->Module->Channels[0];
        V.Sample = &Sample;
        const int32_t N = Uniform(1, MaxFrames);
        const int32_t MaxStep = std::min((Length - 1) * 4096 / N, 3 * 4096);
        const int32_t Steps[] = {Uniform(-MaxStep, MaxStep), std::min(4096, MaxStep), -std::min(4096, MaxStep),
                                 Uniform(1, 64), Uniform(4000, 4200)};
        V.Step = std::clamp(Steps[Uniform(0, 4)], -MaxStep, MaxStep);
        const int64_t Travel = static_cast<int64_t>(N - 1) * V.Step;
        const int64_t Lowest = std::max<int64_t>(0, -Travel);
        const int64_t Highest = std::min<int64_t>(Length * 4096 - 1, Length * 4096 - 1 - Travel);
        V.Position = static_cast<int32_t>(std::uniform_int_distribution<int64_t>(Lowest, Highest)(Random));
        V.VolumeLeft = Uniform(0, 3) == 0 ? 4096 : Uniform(-4096, 4096);
        V.VolumeRight = Uniform(0, 3) == 0 ? -4096 : Uniform(-4096, 4096);
        V.RampLeft = Uniform(-4096, 4096) * 4096 + Uniform(0, 4095);
        V.RampRight = Uniform(-4096, 4096) * 4096 + Uniform(0, 4095);
        V.RampStepLeft = (Uniform(-4096, 4096) * 4096 - V.RampLeft) / N;
        V.RampStepRight = (Uniform(-4096, 4096) * 4096 - V.RampRight) / N;
        V.FilterCoefficients = Player->FilterTable[Uniform(0, 127)][Uniform(0, 127)];
        if (K.Filter == 2) V.FilterCoefficients[0] = 4096 - V.FilterCoefficients[0];
        for (int32_t& H : V.FilterHistory) H = Uniform(-700000, 700000);

        std::vector<int32_t> Expected(2 * (MaxFrames + 4)), Actual;
        for (int32_t& Value : Expected) Value = Uniform(-4000, 4000);
        Actual = Expected;
        TQuavixChannel& Want = *Player->Module->Channels[1];
        static_cast<TQuavixChannelState&>(Want) = V;

        int32_t* Out = Expected.data();
        Frames(Out, N, Want);
        Out = Actual.data();
        Vector(Out, N, V);

        ASSERT_EQ(Out, Actual.data() + 2 * static_cast<size_t>(N)) << "trial " << Trial;
        ASSERT_EQ(Actual, Expected) << "trial " << Trial << ", " << N << " frames, step " << V.Step;
        ASSERT_EQ(V.Position, Want.Position) << "trial " << Trial;
        ASSERT_EQ(V.RampLeft, Want.RampLeft) << "trial " << Trial;
        ASSERT_EQ(V.RampRight, Want.RampRight) << "trial " << Trial;
        ASSERT_EQ(V.FilterHistory, Want.FilterHistory) << "trial " << Trial;
    }
}

std::vector<TKey> VectorKeys() {
    std::vector<TKey> Keys;
    for (const TKey& K : AllKeys())
        if (K.OutputChannels == 2 && (K.Filter == 0 || K.Interpolation == 1)) Keys.push_back(K);
    return Keys;
}

INSTANTIATE_TEST_SUITE_P(Members, VectorGroups, ::testing::ValuesIn(VectorKeys()),
                         [](const ::testing::TestParamInfo<TKey>& Info) {
                             std::string Name = Info.param.Name();
                             for (char& C : Name)
                                 if (C == ' ') C = '_';
                                 else if (C == '-') C = 'F';  // fixed gains
                             return Name;
                         });

}  // namespace
