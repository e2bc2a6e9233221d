#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "support/case_names.h"

namespace {

std::unique_ptr<TQuavix> MakePlayer(int32_t SampleRate) {
    return std::make_unique<TQuavix>(TQuavixSettings::Offline(SampleRate));
}

// A number as a case name shows it, with its sign in words.
std::string Number(int64_t Value) { return (Value < 0 ? "minus " : "") + std::to_string(Value < 0 ? -Value : Value); }

struct TCutoffCase {
    int32_t Rate;
    bool Extended;
    int32_t Cutoff;
    int32_t Modifier;
    int32_t Hz;
};

void PrintTo(const TCutoffCase& C, std::ostream* Out) {
    *Out << C.Rate << " Hz" << (C.Extended ? " extended" : "") << " cutoff " << C.Cutoff << " modifier " << C.Modifier;
}

std::vector<TCutoffCase> CutoffCases() {
    return {
        // 24 steps per octave from 110 x 2^0.25 Hz.
        {44100, false, 0, 256, 131},
        {44100, false, 24, 256, 262},
        {44100, false, 48, 256, 523},
        {44100, false, 72, 256, 1047},
        {44100, false, 127, 256, 5124},
        // Indexes outside 0..127 act as the nearest end.
        {44100, false, -5, 256, 131},
        {44100, false, 200, 256, 5124},
        // The extended range: 20 steps per octave.
        {44100, true, 20, 256, 262},
        {44100, true, 40, 256, 523},
        {44100, true, 127, 256, 10671},
        // The modifier scales the slope: 0 halves it, 768 doubles it.
        {44100, false, 48, 0, 262},
        {44100, false, 12, 768, 262},
        // Floor and ceiling.
        {44100, false, 127, -512, 120},
        {44100, false, 127, 1024, 20000},
        {48000, false, 127, 2147483000, 20000},
        // At most half the rate; the ceiling itself is not lowered.
        {32000, false, 127, 1024, 20000},
        {32000, false, 127, 430, 16000},
        {44100, false, 127, 430, 17822},
        {8000, false, 127, 256, 4000},
        {8000, true, 127, 256, 4000},
        {262, false, 0, 256, 131},
        {261, false, 0, 256, 130},
        {200, false, 0, 256, 100},
    };
}

class CutoffToFrequencyMaps : public ::testing::TestWithParam<TCutoffCase> {};

TEST_P(CutoffToFrequencyMaps, CutoffIndexesToHertz) {
    const TCutoffCase& C = GetParam();
    auto Player = MakePlayer(44100);
    Player->Module->SampleRate = C.Rate;
    Player->Module->ExtendedFilterRange = C.Extended;
    EXPECT_EQ(Player->CutoffToFrequency(C.Cutoff, C.Modifier), C.Hz);
}
INSTANTIATE_TEST_SUITE_P(CutoffToFrequency, CutoffToFrequencyMaps, ::testing::ValuesIn(CutoffCases()),
                         [](const ::testing::TestParamInfo<TCutoffCase>& Info) {
                             const TCutoffCase& C = Info.param;
                             return quavix_test::TestNameOf(std::to_string(C.Rate) + " Hz " +
                                                            (C.Extended ? "extended " : "") + "cutoff " +
                                                            Number(C.Cutoff) + " modifier " + Number(C.Modifier));
                         });

// The cutoff frequency worked out independently in long double.
int32_t ExactCutoffFrequency(int32_t Cutoff, int32_t Rate) {
    const long double F = 110.0L * std::pow(2.0L, 0.25L + Cutoff / 24.0L);
    const int32_t Hz = static_cast<int32_t>(std::lround(F));
    if (Hz < 120) return 120;
    if (Hz > 20000) return 20000;
    return Rate < 2 * Hz ? Rate / 2 : Hz;
}

TEST(CutoffToFrequency, FollowsTheOctaveScaleUpToHalfTheRate) {
    for (int32_t Rate : {8000, 11025, 44100}) {
        auto Player = MakePlayer(Rate);
        int32_t Previous = 0;
        for (int32_t Cutoff = 0; Cutoff < 128; ++Cutoff) {
            const int32_t Hz = Player->CutoffToFrequency(Cutoff, 256);
            EXPECT_EQ(Hz, ExactCutoffFrequency(Cutoff, Rate)) << Rate << " Hz, cutoff " << Cutoff;
            EXPECT_GE(Hz, Previous);
            EXPECT_LE(Hz, Rate / 2);
            Previous = Hz;
        }
    }
}

// The resonant low-pass designed independently in long double from the
// frequency and resonance steps, before any rounding to 12 bits.
struct TExactEntry {
    long double A0, B0, B1;
};

TExactEntry ExactEntry(int32_t Resonance, int32_t Cutoff, int32_t Rate) {
    const long double Pi = 3.141592653589793238462643383279503L;
    const long double W = 2.0L * Pi * ExactCutoffFrequency(Cutoff, Rate) / Rate;
    const long double Damping = 2.0L * std::pow(10.0L, -0.1875L * Resonance / 20.0L);
    const long double D = (Damping - std::fmin((1.0L - Damping) * W, 2.0L)) / W;
    const long double E = 1.0L / (W * W);
    const long double G = 1.0L + D + E;
    return {4096.0L / G, 4096.0L * (D + 2.0L * E) / G, -4096.0L * E / G};
}

TEST(BuildFilterTable, EveryEntryIsTheRoundedDesignAndSumsToUnity) {
    for (int32_t Rate : {8000, 11025, 22050, 44100, 48000, 96000}) {
        auto Player = MakePlayer(Rate);
        int32_t Mismatches = 0;
        for (int32_t Resonance = 0; Resonance < 128; ++Resonance) {
            for (int32_t Cutoff = 0; Cutoff < 128; ++Cutoff) {
                const auto& Entry = Player->FilterTable[Resonance][Cutoff];
                const TExactEntry Exact = ExactEntry(Resonance, Cutoff, Rate);
                const int32_t Sum = Entry[0] + Entry[1] + Entry[2];
                // Single precision moves a value by far less than one unit,
                // so only the rounding to the nearest integer may differ.
                const bool Good = std::fabs(Entry[0] - Exact.A0) < 1.0L && std::fabs(Entry[1] - Exact.B0) < 1.0L &&
                                  std::fabs(Entry[2] - Exact.B1) < 1.0L && std::abs(Sum - 4096) <= 1;
                if (!Good && ++Mismatches <= 5)
                    ADD_FAILURE() << Rate << " Hz [" << Resonance << "][" << Cutoff << "] = " << Entry[0] << ", "
                                  << Entry[1] << ", " << Entry[2] << "; design " << static_cast<double>(Exact.A0)
                                  << ", " << static_cast<double>(Exact.B0) << ", " << static_cast<double>(Exact.B1);
            }
        }
        EXPECT_EQ(Mismatches, 0) << Rate << " Hz";
    }
}

// Worked out step by step in IEEE single precision, independently of this
// code; a platform with excess precision or fused multiply-adds in the design
// would move some of them by one.
struct TEntryCase {
    int32_t Rate, Resonance, Cutoff, A0, B0, B1;
};

void PrintTo(const TEntryCase& C, std::ostream* Out) {
    *Out << C.Rate << " Hz [" << C.Resonance << "][" << C.Cutoff << "]";
}

std::vector<TEntryCase> EntryCases() {
    return {
        {44100, 0, 0, 1, 8041, -3946},     {44100, 0, 48, 20, 7607, -3531},
        {44100, 0, 64, 45, 7289, -3238},   {44100, 0, 127, 619, 4639, -1162},
        {44100, 127, 0, 1, 8181, -4086},   {44100, 127, 127, 1877, 5741, -3522},
        {44100, 64, 100, 375, 7067, -3345}, {44100, 100, 20, 4, 8155, -4064},
        {8000, 0, 0, 35, 7399, -3338},     {8000, 0, 127, 1496, 2752, -152},
        {8000, 127, 127, 8099, -3182, -821}, {8000, 64, 100, 3833, 1389, -1126},
    };
}

class BuildFilterTableGives : public ::testing::TestWithParam<TEntryCase> {};

TEST_P(BuildFilterTableGives, TheSameEntryOnEveryPlatform) {
    const TEntryCase& C = GetParam();
    auto Player = MakePlayer(C.Rate);
    const auto& Entry = Player->FilterTable[C.Resonance][C.Cutoff];
    EXPECT_EQ(Entry[0], C.A0);
    EXPECT_EQ(Entry[1], C.B0);
    EXPECT_EQ(Entry[2], C.B1);
}
INSTANTIATE_TEST_SUITE_P(BuildFilterTable, BuildFilterTableGives, ::testing::ValuesIn(EntryCases()),
                         [](const ::testing::TestParamInfo<TEntryCase>& Info) {
                             const TEntryCase& C = Info.param;
                             return quavix_test::TestNameOf(std::to_string(C.Rate) + " Hz resonance " +
                                                            std::to_string(C.Resonance) + " cutoff " +
                                                            std::to_string(C.Cutoff));
                         });

TEST(BuildFilterTable, AtALowRateTheCutoffsAboveHalfTheRateShareOneEntry) {
    auto Player = MakePlayer(8000);
    // Cutoff 119 is the first at or above 4000 Hz.
    for (int32_t Resonance : {0, 50, 127})
        for (int32_t Cutoff = 120; Cutoff < 128; ++Cutoff)
            EXPECT_EQ(Player->FilterTable[Resonance][Cutoff], Player->FilterTable[Resonance][119])
                << Resonance << ", " << Cutoff;
    EXPECT_NE(Player->FilterTable[0][118], Player->FilterTable[0][119]);
}

TEST(BuildFilterTable, UsesTheNormalRangeWhateverTheSongSaysLater) {
    auto Player = MakePlayer(44100);
    const TQuavix::TFilterTable Built = Player->FilterTable;
    Player->Module->ExtendedFilterRange = true;
    Player->BuildFilterTable(44100);
    EXPECT_NE(Player->FilterTable[0][127], Built[0][127]);
    EXPECT_EQ(Player->FilterTable[0][0], Built[0][0]);  // 131 Hz on both scales
    Player->Module->ExtendedFilterRange = false;
    Player->BuildFilterTable(44100);
    EXPECT_EQ(Player->FilterTable, Built);
}

TEST(BuildFilterTable, ADegenerateRateGivesSilentEntries) {
    // At 1 Hz every cutoff is 0 Hz and no filter exists; the entries must
    // still be defined numbers.
    auto Player = MakePlayer(1);
    for (const auto& Row : Player->FilterTable)
        for (const auto& Entry : Row) ASSERT_EQ(Entry, (TQuavix::TFilterCoefficients{0, 0, 0}));
}

}  // namespace

// TQuavixBehaviour::HalfFilterDamping: the entry a voice gets, designed from
// the output rate over the angular cutoff with half the table's damping, at
// a cutoff a filter envelope may scale (modifier -256 none .. 256 whole).
struct THalfDampedCase {
    int32_t Rate, Cutoff, Modifier, Resonance, A0, B0, B1;
};

void PrintTo(const THalfDampedCase& C, std::ostream* Out) {
    *Out << C.Rate << " Hz cutoff " << C.Cutoff << " modifier " << C.Modifier << " resonance " << C.Resonance;
}

class HalfDampedFilterGives : public ::testing::TestWithParam<THalfDampedCase> {};

TEST_P(HalfDampedFilterGives, TheEntryOfItsCutoffAndResonance) {
    const THalfDampedCase& C = GetParam();
    auto Player = MakePlayer(C.Rate);
    const auto Entry = Player->HalfDampedFilter(C.Cutoff, C.Modifier, C.Resonance);
    EXPECT_EQ(Entry[0], C.A0);
    EXPECT_EQ(Entry[1], C.B0);
    EXPECT_EQ(Entry[2], C.B1);
}
INSTANTIATE_TEST_SUITE_P(HalfFilterDamping, HalfDampedFilterGives,
                         ::testing::Values(
                             // 24-bit coefficients (1 << 24 = 1.0). Resonance 0 keeps the
                             // level at the cutoff: B0 and B1 lie further from the
                             // table's (7289, -3238 in 12 bits at cutoff 64).
                             THalfDampedCase{44100, 64, 256, 0, 207682, 31384958, -14815426},
                             THalfDampedCase{44100, 127, 256, 0, 3951241, 20239634, -7413660},
                             THalfDampedCase{44100, 100, 256, 60, 1674370, 30051526, -14948682},
                             THalfDampedCase{44100, 0, 256, 127, 5837, 33528052, -16756676},
                             // An envelope in its middle halves the octaves above
                             // the lowest cutoff; at its bottom the cutoff is 0.
                             THalfDampedCase{44100, 100, 0, 0, 96322, 32141460, -15460566},
                             THalfDampedCase{44100, 100, -256, 0, 5735, 33235668, -16464187},
                             // At a low rate the cutoff stops at half the rate.
                             THalfDampedCase{8000, 127, 256, 127, 90047088, -64146200, -9123677}),
                         [](const ::testing::TestParamInfo<THalfDampedCase>& Info) {
                             const THalfDampedCase& C = Info.param;
                             return quavix_test::TestNameOf(std::to_string(C.Rate) + " Hz cutoff " +
                                                            std::to_string(C.Cutoff) + " modifier " +
                                                            Number(C.Modifier) + " resonance " +
                                                            std::to_string(C.Resonance));
                         });
