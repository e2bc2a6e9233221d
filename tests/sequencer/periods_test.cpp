// Notes to periods, periods to notes and periods to frequencies, in the
// linear and the Amiga systems.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "sequencer/tables.h"
#include "song/module.h"
#include "support/case_names.h"
#include "support/module_writer.h"

namespace {

// A module in one of the two period systems.
class Periods : public ::testing::Test {
protected:
    TQuavixModule Module{nullptr};
    void SetUp() override { Module.Clear(); }
    const TQuavixModule& System(bool Linear) {
        Module.LinearSlides = Linear;
        return Module;
    }
};

// Unsigned integers of any size, just enough to decide floor(a * 2^(-j/k))
// exactly: n is that floor when n^k * 2^j <= a^k < (n + 1)^k * 2^j.
class TBig {
public:
    explicit TBig(uint32_t V) : Limbs{V} {}
    static TBig Power(uint32_t Base, int32_t Exponent) {
        TBig R(1);
        for (int32_t i = 0; i < Exponent; ++i) R.Multiply(Base);
        return R;
    }
    void Multiply(uint32_t Factor) {
        uint64_t Carry = 0;
        for (uint32_t& L : Limbs) {
            uint64_t P = static_cast<uint64_t>(L) * Factor + Carry;
            L = static_cast<uint32_t>(P);
            Carry = P >> 32;
        }
        if (Carry) Limbs.push_back(static_cast<uint32_t>(Carry));
    }
    void ShiftLeft(int32_t Bits) {
        for (int32_t i = 0; i < Bits; ++i) Multiply(2);
    }
    bool operator<=(const TBig& B) const {
        if (Limbs.size() != B.Limbs.size()) return Limbs.size() < B.Limbs.size();
        for (size_t i = Limbs.size(); i-- > 0;)
            if (Limbs[i] != B.Limbs[i]) return Limbs[i] < B.Limbs[i];
        return true;
    }

private:
    std::vector<uint32_t> Limbs;
};

bool IsFloorOfScaledPower(uint32_t N, int32_t Index) {
    // N = floor(535232 * 2^(-Index/768)), with the exponent as a reduced fraction j/k.
    int32_t G = std::gcd(Index, 768);
    int32_t K = 768 / G, J = Index / G;
    TBig Reference = TBig::Power(535232, K);
    TBig Low = TBig::Power(N, K);
    Low.ShiftLeft(J);
    TBig High = TBig::Power(N + 1, K);
    High.ShiftLeft(J);
    return Low <= Reference && !(High <= Reference);
}

TEST(LinearFrequencyTable, EntriesAreExactlyTheTruncatedFormula) {
    EXPECT_EQ(LinearFrequencies[0], 535232u);
    EXPECT_EQ(LinearFrequencies[767], 267857u);
    // Exact integer checks: every eighth entry, the ends, the entry whose
    // product lies closest to an integer (292) and a few odd ones.
    std::vector<int32_t> Checked = {1, 27, 292, 383, 384, 385, 511, 767};
    for (int32_t i = 0; i < 768; i += 8) Checked.push_back(i);
    for (int32_t i : Checked) EXPECT_TRUE(IsFloorOfScaledPower(LinearFrequencies[i], i)) << "entry " << i;
    // Every entry against a computation by another route.
    for (int32_t i = 0; i < 768; ++i)
        EXPECT_EQ(LinearFrequencies[i], static_cast<uint32_t>(std::floor(535232.0L * std::pow(2.0L, -i / 768.0L))))
            << "entry " << i;
}

TEST(AmigaPeriodTable, HoldsOneOctaveFallingInEighthsOfASemitone) {
    EXPECT_EQ(AmigaPeriods[0], 907);   // C at finetune -128
    EXPECT_EQ(AmigaPeriods[8], 856);   // C at finetune 0
    EXPECT_EQ(AmigaPeriods[96], 453);  // B at finetune 0
    EXPECT_EQ(AmigaPeriods[103], 431);
    for (size_t i = 1; i < AmigaPeriods.size(); ++i) EXPECT_LT(AmigaPeriods[i], AmigaPeriods[i - 1]) << i;
}

struct TNotePeriodCase : quavix_test::TNamedCase {
    bool Linear;
    int32_t Note;
    int32_t FineTune;
    int32_t Period;
};

std::vector<TNotePeriodCase> NotePeriodCases() {
    return {
        // Linear: 64 units per semitone, finetune in half units.
        {"linear note 48", true, 48, 0, 4608},
        {"linear note 49", true, 49, 0, 4544},
        {"linear note 1", true, 1, 0, 7616},
        {"linear note 0 is below the range: note 1", true, 0, 0, 7616},
        {"linear note -5 is note 1", true, -5, 0, 7616},
        {"linear note 119", true, 119, 0, 64},
        {"linear note 120 would be 0: the floor is 1", true, 120, 0, 1},
        {"linear note 200 is above the range: note 132", true, 200, 0, 1},
        {"linear finetune 127 lowers the period by 63", true, 48, 127, 4545},
        {"linear finetune -128", true, 48, -128, 4672},
        {"linear finetune -1: -1 asr 1 is -1", true, 48, -1, 4609},
        {"linear finetune 1", true, 48, 1, 4608},
        // Amiga: periods from the table, halved per octave.
        {"Amiga note 48", false, 48, 0, 1712},
        {"Amiga note 49", false, 49, 0, 1616},
        {"Amiga note 60", false, 60, 0, 856},
        {"Amiga note 0 is note 1", false, 0, 0, 25856},
        {"Amiga note 1: C# octave 0, unshifted", false, 1, 0, 25856},
        {"Amiga note 200 is note 132: C at the eleventh shift", false, 200, 0, 13},
        {"Amiga finetune -16 is one table step down", false, 48, -16, 1724},
        {"Amiga finetune -8 is halfway down to -16", false, 48, -8, 1718},
        {"Amiga finetune 16 is one table step up", false, 48, 16, 1700},
        {"Amiga finetune 8 is halfway up to 16", false, 48, 8, 1706},
        {"Amiga finetune 5 is five sixteenths of the way up to 16", false, 48, 5, 1708},
        {"Amiga finetune -5 is five sixteenths of the way down to -16", false, 48, -5, 1715},
        {"Amiga finetune 127 is fifteen sixteenths of the way to the next entry", false, 48, 127, 1616},
        {"Amiga finetune -128 is the first table entry", false, 48, -128, 1814},
        {"Amiga B at the top finetune: the neighbour is held at the last entry", false, 11, 127, 13792},
        {"Amiga finetune -128 one octave up is the first table entry", false, 12, -128, 14512},
    };
}

class PeriodsNotePeriods : public Periods, public ::testing::WithParamInterface<TNotePeriodCase> {};

TEST_P(PeriodsNotePeriods, NotePeriods) {
    const TNotePeriodCase& C = GetParam();
    EXPECT_EQ(System(C.Linear).GetNotePeriod(C.Note, C.FineTune), C.Period);
}
INSTANTIATE_TEST_SUITE_P(Periods, PeriodsNotePeriods, ::testing::ValuesIn(NotePeriodCases()), quavix_test::TCaseName());

struct TPeriodNoteCase : quavix_test::TNamedCase {
    bool Linear;
    int32_t Period;
    int32_t FineTune;
    int32_t Note;
};

std::vector<TPeriodNoteCase> PeriodNoteCases() {
    return {
        {"linear, exactly a note", true, 4608, 0, 48},
        {"linear, between 48 and 49: the higher note", true, 4600, 0, 49},
        {"linear, just above note 49", true, 4545, 0, 49},
        {"linear, exactly note 49", true, 4544, 0, 49},
        {"linear, just below note 49", true, 4543, 0, 50},
        {"linear, finetune moves the notes", true, 4545, 127, 48},
        {"linear, the lowest note", true, 7616, 0, 1},
        {"linear, beyond the lowest note", true, 9000, 0, 1},
        {"linear, the highest note", true, 64, 0, 119},
        {"linear, beyond the highest note", true, 63, 0, 120},
        {"linear, period 0", true, 0, 0, 120},
        {"linear, a period below 0", true, -100, 0, 120},
        {"Amiga, exactly a note", false, 1712, 0, 48},
        {"Amiga, between 48 and 49: the higher note", false, 1700, 0, 49},
        {"Amiga, just above note 49", false, 1617, 0, 49},
        {"Amiga, exactly note 49", false, 1616, 0, 49},
        {"Amiga, just below note 49", false, 1615, 0, 50},
        {"Amiga, beyond the lowest note", false, 30000, 0, 1},
        {"Amiga, finetune moves the notes", false, 1718, -8, 48},
        {"Amiga, beyond the highest note", false, 27, 0, 120},
        {"Amiga, period 0", false, 0, 0, 120},
    };
}

class PeriodsPeriodNotes : public Periods, public ::testing::WithParamInterface<TPeriodNoteCase> {};

TEST_P(PeriodsPeriodNotes, PeriodNotes) {
    const TPeriodNoteCase& C = GetParam();
    EXPECT_EQ(System(C.Linear).GetPeriodNote(C.Period, C.FineTune), C.Note);
}
INSTANTIATE_TEST_SUITE_P(Periods, PeriodsPeriodNotes, ::testing::ValuesIn(PeriodNoteCases()), quavix_test::TCaseName());

TEST_F(Periods, NotePeriodsFindTheirNotesAgain) {
    for (int32_t FineTune : {-128, -77, 0, 5, 127}) {
        for (int32_t Note = 1; Note <= 119; ++Note)
            EXPECT_EQ(System(true).GetPeriodNote(System(true).GetNotePeriod(Note, FineTune), FineTune), Note)
                << "linear note " << Note << " finetune " << FineTune;
        // Amiga periods of the lower octaves are distinct for every note.
        for (int32_t Note = 1; Note <= 84; ++Note)
            EXPECT_EQ(System(false).GetPeriodNote(System(false).GetNotePeriod(Note, FineTune), FineTune), Note)
                << "Amiga note " << Note << " finetune " << FineTune;
    }
}

struct TFrequencyCase : quavix_test::TNamedCase {
    bool Linear;
    int32_t Period;
    int32_t Frequency;
};

std::vector<TFrequencyCase> FrequencyCases() {
    return {
        {"linear, note 48", true, 4608, 8363},
        {"linear, an octave up", true, 3840, 16726},
        {"linear, period 0", true, 0, 535232},
        {"linear, period 1", true, 1, 534749},
        {"linear, the period floor of a voice", true, 27, 522346},
        {"linear, the last entry", true, 767, 267857},
        {"linear, the first entry one octave down", true, 768, 267616},
        {"linear, the last entry 18 octaves down", true, 18 * 768 + 767, 1},
        {"linear, 19 octaves down: the top bit of the largest entries is all that is left", true, 19 * 768, 1},
        {"linear, the last period above 0 Hz", true, 19 * 768 + 22, 1},
        {"linear, the first period of 0 Hz", true, 19 * 768 + 23, 0},
        {"linear, 20 octaves down", true, 20 * 768, 0},
        {"linear, shifts of 32 and more", true, 32 * 768, 0},
        {"linear, the period ceiling of a voice", true, 54784, 0},
        {"linear, the largest period", true, INT32_MAX, 0},
        {"linear, below 0: as period 0", true, -1, 535232},
        {"linear, the smallest period", true, INT32_MIN, 535232},
        {"Amiga, note 48", false, 1712, 8363},
        {"Amiga, an octave up", false, 856, 16726},
        {"Amiga, the period floor of a voice", false, 27, 530276},
        {"Amiga, the period ceiling of a voice", false, 54784, 261},
        {"Amiga, period 1", false, 1, 14317456},
        {"Amiga, period 0: the one period without a pitch", false, 0, 1},
        {"Amiga, below 0: as period 0 (voices never go there)", false, -3, 1},
        {"Amiga, the smallest period", false, INT32_MIN, 1},
    };
}

class PeriodsFrequencies : public Periods, public ::testing::WithParamInterface<TFrequencyCase> {};

TEST_P(PeriodsFrequencies, Frequencies) {
    const TFrequencyCase& C = GetParam();
    EXPECT_EQ(System(C.Linear).GetFrequency(C.Period), C.Frequency);
}
INSTANTIATE_TEST_SUITE_P(Periods, PeriodsFrequencies, ::testing::ValuesIn(FrequencyCases()), quavix_test::TCaseName());

TEST_F(Periods, BothSystemsPlayNoteIndex48At8363Hz) {
    for (bool Linear : {true, false}) {
        const TQuavixModule& M = System(Linear);
        EXPECT_EQ(M.GetFrequency(M.GetNotePeriod(48, 0)), 8363) << (Linear ? "linear" : "Amiga");
    }
}

TEST_F(Periods, LinearFrequencyDoublesPerOctaveDownToSilence) {
    // Every octave lower halves the frequency (truncating) until it is gone.
    for (int32_t Period = 0; Period < 768; Period += 97) {
        int32_t Previous = System(true).GetFrequency(Period);
        for (int32_t Octave = 1; Octave <= 40; ++Octave) {
            int32_t F = System(true).GetFrequency(Period + Octave * 768);
            EXPECT_EQ(F, Previous / 2) << "period " << Period << " octave " << Octave;
            Previous = F;
        }
        EXPECT_EQ(Previous, 0);
    }
}

// The Amiga clock the player chose: the PAL one lowers pattern-format songs
// only; an Extended Module with Amiga periods keeps the NTSC clock.
struct TClockCase : quavix_test::TNamedCase {
    quavix_test::TBytes File;
    TQuavixAmigaClock Clock;
    int32_t C2, C3;  // frequencies of periods 1712 and 856
};

std::vector<TClockCase> ClockCases() {
    quavix_test::TXmSong AmigaXm = quavix_test::SmallXm();
    AmigaXm.LinearSlides = false;
    return {
        {"pattern format, NTSC", quavix_test::WriteMod(quavix_test::SmallMod()), TQuavixAmigaClock::Ntsc, 8363, 16726},
        {"pattern format, PAL", quavix_test::WriteMod(quavix_test::SmallMod()), TQuavixAmigaClock::Pal, 8287, 16574},
        {"Extended Module with Amiga periods, PAL", quavix_test::WriteXm(AmigaXm), TQuavixAmigaClock::Pal, 8363, 16726},
    };
}

class AmigaClockChangesPatternFormatSongsOnly : public ::testing::TestWithParam<TClockCase> {};

TEST_P(AmigaClockChangesPatternFormatSongsOnly, ChangesPatternFormatSongsOnly) {
    const TClockCase& C = GetParam();
    TQuavixModule M(nullptr);
    ASSERT_TRUE(quavix_test::LoadBytes(M, C.File));
    M.AmigaClock = C.Clock;
    EXPECT_EQ(M.GetFrequency(1712), C.C2);
    EXPECT_EQ(M.GetFrequency(856), C.C3);
}
INSTANTIATE_TEST_SUITE_P(AmigaClock, AmigaClockChangesPatternFormatSongsOnly, ::testing::ValuesIn(ClockCases()),
                         quavix_test::TCaseName());

}  // namespace
