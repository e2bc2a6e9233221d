// Notes to periods, periods to notes and periods to frequencies, in the
// linear and the Amiga systems.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "sequencer/tables.h"
#include "song/module.h"
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

struct TNotePeriodCase {
    bool Linear;
    int32_t Note;
    int32_t FineTune;
    int32_t Period;
};

TEST_F(Periods, NotePeriods) {
    const TNotePeriodCase Cases[] = {
        // Linear: 64 units per semitone, finetune in half units.
        {true, 48, 0, 4608},
        {true, 49, 0, 4544},
        {true, 1, 0, 7616},
        {true, 0, 0, 7616},      // below the range: note 1
        {true, -5, 0, 7616},
        {true, 119, 0, 64},
        {true, 120, 0, 1},       // would be 0: the floor is 1
        {true, 200, 0, 1},       // above the range: note 132
        {true, 48, 127, 4545},   // finetune 127 lowers the period by 63
        {true, 48, -128, 4672},
        {true, 48, -1, 4609},    // -1 asr 1 is -1
        {true, 48, 1, 4608},
        // Amiga: periods from the table, halved per octave.
        {false, 48, 0, 1712},
        {false, 49, 0, 1616},
        {false, 60, 0, 856},
        {false, 0, 0, 25856},    // note 1 (C# octave 0, unshifted)
        {false, 1, 0, 25856},
        {false, 200, 0, 13},     // note 132: C at the eleventh shift
        {false, 48, -16, 1724},  // one table step down
        {false, 48, -8, 1718},   // halfway between finetune 0 and -16
        {false, 48, 16, 1700},
        {false, 48, 8, 1706},    // halfway between finetune 0 and +16
        {false, 48, 5, 1708},    // five sixteenths of the way to +16
        {false, 48, -5, 1715},   // five sixteenths of the way to -16
        {false, 48, 127, 1616},  // fifteen sixteenths of the way to the next entry
        {false, 48, -128, 1814}, // the first table entry
        {false, 11, 127, 13792}, // B at the top finetune: the neighbour is held at the last entry
        {false, 12, -128, 14512},  // the first table entry, one octave up
    };
    for (const auto& C : Cases)
        EXPECT_EQ(System(C.Linear).GetNotePeriod(C.Note, C.FineTune), C.Period)
            << (C.Linear ? "linear" : "Amiga") << " note " << C.Note << " finetune " << C.FineTune;
}

struct TPeriodNoteCase {
    bool Linear;
    int32_t Period;
    int32_t FineTune;
    int32_t Note;
};

TEST_F(Periods, PeriodNotes) {
    const TPeriodNoteCase Cases[] = {
        {true, 4608, 0, 48},    // exactly a note
        {true, 4600, 0, 49},    // between 48 and 49: the higher note
        {true, 4545, 0, 49},
        {true, 4544, 0, 49},
        {true, 4543, 0, 50},
        {true, 4545, 127, 48},  // finetune moves the notes
        {true, 7616, 0, 1},
        {true, 9000, 0, 1},     // beyond the lowest note
        {true, 64, 0, 119},
        {true, 63, 0, 120},     // beyond the highest note
        {true, 0, 0, 120},
        {true, -100, 0, 120},
        {false, 1712, 0, 48},
        {false, 1700, 0, 49},
        {false, 1617, 0, 49},
        {false, 1616, 0, 49},
        {false, 1615, 0, 50},
        {false, 30000, 0, 1},
        {false, 1718, -8, 48},
        {false, 27, 0, 120},
        {false, 0, 0, 120},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(System(C.Linear).GetPeriodNote(C.Period, C.FineTune), C.Note)
            << (C.Linear ? "linear" : "Amiga") << " period " << C.Period << " finetune " << C.FineTune;
}

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

struct TFrequencyCase {
    bool Linear;
    int32_t Period;
    int32_t Frequency;
};

TEST_F(Periods, Frequencies) {
    const TFrequencyCase Cases[] = {
        {true, 4608, 8363},
        {true, 3840, 16726},    // an octave up
        {true, 0, 535232},
        {true, 1, 534749},
        {true, 27, 522346},     // the period floor of a voice
        {true, 767, 267857},
        {true, 768, 267616},
        {true, 18 * 768 + 767, 1},
        {true, 19 * 768, 1},    // the top bit of the largest entries is all that is left
        {true, 19 * 768 + 22, 1},
        {true, 19 * 768 + 23, 0},
        {true, 20 * 768, 0},
        {true, 32 * 768, 0},    // shifts of 32 and more
        {true, 54784, 0},       // the period ceiling of a voice
        {true, INT32_MAX, 0},
        {true, -1, 535232},     // below 0: as period 0
        {true, INT32_MIN, 535232},
        {false, 1712, 8363},
        {false, 856, 16726},
        {false, 27, 530276},
        {false, 54784, 261},
        {false, 1, 14317456},
        {false, 0, 1},          // the one period without a pitch
        {false, -3, 1},         // below 0: as period 0 (voices never go there)
        {false, INT32_MIN, 1},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(System(C.Linear).GetFrequency(C.Period), C.Frequency)
            << (C.Linear ? "linear" : "Amiga") << " period " << C.Period;
}

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
TEST(AmigaClock, ChangesPatternFormatSongsOnly) {
    quavix_test::TXmSong AmigaXm = quavix_test::SmallXm();
    AmigaXm.LinearSlides = false;
    const struct {
        const char* Name;
        quavix_test::TBytes File;
        TQuavixAmigaClock Clock;
        int32_t C2, C3;  // frequencies of periods 1712 and 856
    } Cases[] = {
        {"pattern format, NTSC", quavix_test::WriteMod(quavix_test::SmallMod()), TQuavixAmigaClock::Ntsc, 8363, 16726},
        {"pattern format, PAL", quavix_test::WriteMod(quavix_test::SmallMod()), TQuavixAmigaClock::Pal, 8287, 16574},
        {"Extended Module with Amiga periods, PAL", quavix_test::WriteXm(AmigaXm), TQuavixAmigaClock::Pal, 8363, 16726},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TQuavixModule M(nullptr);
        ASSERT_TRUE(quavix_test::LoadBytes(M, C.File));
        M.AmigaClock = C.Clock;
        EXPECT_EQ(M.GetFrequency(1712), C.C2);
        EXPECT_EQ(M.GetFrequency(856), C.C3);
    }
}

}  // namespace
