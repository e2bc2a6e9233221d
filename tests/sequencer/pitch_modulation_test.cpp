// The pitch and modulation effects where Fasttracker 2 and the Amiga
// trackers part ways, one family per behaviour (TQuavixBehaviour), and the
// rules they share. Each case is a small song played tick by tick, the same
// cells written as an Extended Module (Fasttracker 2's rules) and, where the
// format has the effect, as a pattern-format song (ProTracker's).
//
// Linear periods: C-4 4608, C#4 4544, D-4 4480; a semitone is 64. Amiga
// periods are four times ProTracker's: C-3 1712.
#include <utility>

#include "song_fixture.h"

namespace {

using namespace quavix_song_test;
using quavix_test::ModAt;
using quavix_test::TBytes;
using quavix_test::TModPlacedCell;
using TChannel = TQuavixChannelState;

const int32_t C4 = Note("C-4"), CS4 = Note("C#4"), D4 = Note("D-4"), B3 = Note("B-3");
const int32_t C3 = Note("C-3");
const int32_t E = Fx('E'), T = Fx('T'), Arp = 0, Up = 1, Down = 2, Porta = 3, Vib = 4, VibSlide = 6, Trem = 7;

// An Extended Module at the speed, instrument 1 the looping wave of
// MakeSong at the sample's finetune, written by the named tracker.
TBytes Xm(std::vector<TPlacedCell> Cells, int32_t Speed = 4, int32_t FineTune = 0,
          const std::string& Tracker = "FastTracker v2.00") {
    TXmSong Song = MakeSong(std::move(Cells), Speed, 16);
    Song.Tracker = Tracker;
    Song.Instruments[0].Samples[0].FineTune = FineTune;
    return quavix_test::WriteXm(Song);
}

// A pattern-format song at the speed (set on its first row, in the last
// channel); sample 1 a looping wave at volume 64.
TBytes Mod(std::vector<TModPlacedCell> Cells, int32_t Speed = 4) {
    quavix_test::TModSong Song = quavix_test::SmallMod();
    Cells.push_back(ModAt(0, 3, 0, 0, 0xF, Speed));
    Song.Patterns[0].Cells = std::move(Cells);
    return quavix_test::WriteMod(Song);
}

struct TPitchCase : quavix_test::TNamedCase {
    TBytes File;
    TProbe Probe;
    std::vector<int32_t> Expected;
};

class PitchFamily : public SongTest, public ::testing::WithParamInterface<TPitchCase> {
protected:
    void Check() {
        LoadFile(GetParam().File);
        EXPECT_EQ(Play(static_cast<int32_t>(GetParam().Expected.size()), GetParam().Probe), GetParam().Expected);
    }
};

// Probes.
const TProbe Offset = Of(&TChannel::PeriodOffset), Period = Of(&TChannel::Period);
const TProbe Tremolo = Of(&TChannel::VolumeOffset);
int32_t Played(const TQuavixModule& M) { return M.Channels[0]->Period + M.Channels[0]->PeriodOffset; }
int32_t Silenced(const TQuavixModule& M) { return M.Channels[0]->VolumeOffset < 0 ? 1 : 0; }

// ---------------------------------------------------------------------------
// ModulationOnFirstTick. Speed 4; 484 then 480: the sine at steps of 8
// (0, 180, 255, 180, 0 ...), depth 4. The wave moves on the other ticks only.

class ModulationOnFirstTick : public PitchFamily {};
TEST_P(ModulationOnFirstTick, PlaysTheWaveWhereItStands) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, ModulationOnFirstTick, ::testing::Values(
    // Fasttracker 2: (s * 4) / 32; row 1's first tick plays step 24 again.
    TPitchCase{"VibratoExtendedModule", Xm({At(0, 0, C4, 1, 0, Vib, 0x84), At(1, 0, 0, 0, 0, Vib, 0x80)}), Offset,
               {0, 0, 22, 31, 22, 22, 0, -22}},
    // ProTracker rests on the first tick: ((s * 4) / 128) * 4.
    TPitchCase{"VibratoPatternFormat", Mod({ModAt(0, 0, C3, 1, Vib, 0x84), ModAt(1, 0, 0, 0, Vib, 0x80)}), Offset,
               {0, 0, 20, 28, 0, 20, 0, -20}},
    TPitchCase{"VibratoWithVolumeSlide", Xm({At(0, 0, C4, 1, 0, Vib, 0x84), At(1, 0, 0, 0, 0, VibSlide, 0)}), Offset,
               {0, 0, 22, 31, 22, 22, 0, -22}},
    // The volume column's vibrato (B4, speed from A8) too.
    TPitchCase{"VolumeColumnVibrato", Xm({At(0, 0, C4, 1, 0xA8, Vib, 0x84), At(1, 0, 0, 0, 0xB4)}), Offset,
               {0, 0, 22, 31, 22, 22, 0, -22}},
    // Tremolo: (s * 4) / 64 on the volume.
    TPitchCase{"TremoloExtendedModule", Xm({At(0, 0, C4, 1, 0, Trem, 0x84), At(1, 0, 0, 0, 0, Trem, 0x80)}), Tremolo,
               {0, 0, 11, 15, 11, 11, 0, -11}},
    TPitchCase{"TremoloPatternFormat", Mod({ModAt(0, 0, C3, 1, Trem, 0x84), ModAt(1, 0, 0, 0, Trem, 0x80)}), Tremolo,
               {0, 0, 11, 15, 0, 11, 0, -11}}), quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// FineVibratoSteps: the same vibrato, 4x1 and 4xF, at the top of the sine
// (step 16, 255) and on its way (step 8, 180).

class FineVibratoSteps : public PitchFamily {};
TEST_P(FineVibratoSteps, ScaleTheDepth) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, FineVibratoSteps, ::testing::Values(
    // (s * d) / 32: 180 / 32 = 5, 255 / 32 = 7.
    TPitchCase{"DepthOneExtendedModule", Xm({At(0, 0, C4, 1, 0, Vib, 0x81)}), Offset, {0, 0, 5, 7}},
    // ((s * d) / 128) * 4: 180 / 128 = 1, 255 / 128 = 1.
    TPitchCase{"DepthOnePatternFormat", Mod({ModAt(0, 0, C3, 1, Vib, 0x81)}), Offset, {0, 0, 4, 4}},
    TPitchCase{"DepthFifteenExtendedModule", Xm({At(0, 0, C4, 1, 0, Vib, 0x8F)}), Offset, {0, 0, 84, 119}},
    TPitchCase{"DepthFifteenPatternFormat", Mod({ModAt(0, 0, C3, 1, Vib, 0x8F)}), Offset, {0, 0, 84, 116}}),
    quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// The waves both trackers share. Speed 6 from a note; x8 steps by 8.

class ModulationWaves : public PitchFamily {};
TEST_P(ModulationWaves, FollowTheTrackersTables) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, ModulationWaves, ::testing::Values(
    // The ramp rises over the first half (the period up: the pitch falls)
    // and drops from its top over the second: steps 8, 16, 24 are 64, 128,
    // 192 (16, 32, 48 at depth 8), step 32 drops to -255 and 40 is -191.
    TPitchCase{"VibratoRamp", Xm({At(0, 0, C4, 1, 0, E, 0x41), At(1, 0, 0, 0, 0, Vib, 0x88), At(2, 0, 0, 0, 0, Vib, 0x88)}, 6),
               Offset, Join(Each({0}, 8), {16, 32, 48, -63, -47, -47, -31, -15, 0, 16})},
    // Waveform 3 is the square, as 2.
    TPitchCase{"VibratoSquareForThree", Xm({At(0, 0, C4, 1, 0, E, 0x43), At(1, 0, 0, 0, 0, Vib, 0x88)}, 6), Offset,
               Join(Each({0}, 6), {63, 63, 63, 63, 63, -63})},
    // The tremolo's too: 255 at depth 8 is 31 (other players draw a random
    // wave for 3; Fasttracker 2 plays the square).
    TPitchCase{"TremoloSquareForThree", Xm({At(0, 0, C4, 1, 0, E, 0x73), At(1, 0, 0, 0, 0, Trem, 0x88)}, 6), Tremolo,
               Join(Each({0}, 6), {31, 31, 31, 31, 31, -31})},
    // Each nibble of 0 keeps its own memory: 402 after 4A1 keeps speed A
    // (steps 10, 20, 30: 212, 235 and 49).
    TPitchCase{"NibbleMemory", Xm({At(0, 0, C4, 1, 0, Vib, 0xA1), At(1, 0, 0, 0, 0, Vib, 0x02)}, 3), Offset,
               {0, 0, 6, 14, 14, 3}},
    // The negative half is the positive one turned: step 36 (97) at depth
    // 1 takes away 97 / 64 = 1, not the 2 of a shifted negative product.
    TPitchCase{"TremoloNegativeHalf",
               Xm({At(0, 0, C4, 1, 0, Trem, 0x41), At(1, 0, 0, 0, 0, Trem, 0x41), At(2, 0, 0, 0, 0, Trem, 0x41),
                   At(3, 0, 0, 0, 0, Trem, 0x41), At(4, 0, 0, 0, 0, Trem, 0x41), At(5, 0, 0, 0, 0, Trem, 0x41),
                   At(6, 0, 0, 0, 0, Trem, 0x41), At(7, 0, 0, 0, 0, Trem, 0x41), At(8, 0, 0, 0, 0, Trem, 0x41),
                   At(9, 0, 0, 0, 0, Trem, 0x41)}, 2),
               Tremolo, {0, 0, 1, 1, 2, 2, 3, 3, 3, 3, 3, 3, 2, 2, 1, 1, 0, 0, -1, -1}},
    // The tremolo's ramp reads the vibrato's half: with the vibrato moved
    // into its second half (480 on row 1) the ramp falls where it rose.
    TPitchCase{"TremoloRampReadsTheVibrato",
               Xm({At(0, 0, C4, 1, 0, E, 0x71), At(1, 0, 0, 0, 0, Vib, 0x80), At(2, 0, 0, 0, 0, Trem, 0x88)}, 6),
               Tremolo, Join(Each({0}, 12), {31, 31, 23, 15, 7, -31})},
    // A note starts the wave over; an instrument number alone does not.
    TPitchCase{"NoteRestartsTheWave",
               Xm({At(0, 0, C4, 1, 0, Vib, 0x84), At(1, 0, D4, 0, 0, Vib, 0x84)}), Offset,
               {0, 0, 22, 31, 0, 0, 22, 31}},
    TPitchCase{"InstrumentKeepsTheWave",
               Xm({At(0, 0, C4, 1, 0, Vib, 0x84), At(1, 0, 0, 1, 0, Vib, 0x84)}), Offset,
               {0, 0, 22, 31, 22, 22, 0, -22}}), quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// ArpeggioCountsDown: 047 (+ 4, + 7), the choice on each tick of a row.

class ArpeggioCountsDown : public PitchFamily {};
TEST_P(ArpeggioCountsDown, ChoosesByTheTicksLeft) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, ArpeggioCountsDown, ::testing::Values(
    // (speed - tick) mod 3: 1 is + x, 2 + y.
    TPitchCase{"SpeedThree", Xm({At(0, 0, C4, 1, 0, Arp, 0x47)}, 3), Offset, {0, -448, -256}},
    TPitchCase{"SpeedFive", Xm({At(0, 0, C4, 1, 0, Arp, 0x47)}, 5), Offset, {0, -256, 0, -448, -256}},
    // Beyond 16 ticks left + y, at 16 the note.
    TPitchCase{"SpeedEighteen", Xm({At(0, 0, C4, 1, 0, Arp, 0x47)}, 18), Offset,
               {0, -448, 0, 0, -448, -256, 0, -448, -256, 0, -448, -256, 0, -448, -256, 0, -448, -256}},
    // ProTracker counts from the row's start.
    TPitchCase{"PatternFormat", Mod({ModAt(0, 0, C3, 1, Arp, 0x47)}, 5), Offset, {0, -712, -1144, 0, -712}}),
    quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// ArpeggioFromNearestNote: 0C0 at speed 3 plays + 0 (as y) on tick 1 and
// + 12 on tick 2; the played period on each tick.

class ArpeggioFromNearestNote : public PitchFamily {};
TEST_P(ArpeggioFromNearestNote, CountsFromTheSlidPitch) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, ArpeggioFromNearestNote, ::testing::Values(
    // E17 slides 28 up: the nearest note is still C-4, and + 12 is C-5.
    TPitchCase{"SlidBelowHalf", Xm({At(0, 0, C4, 1, 0, E, 0x17), At(1, 0, 0, 0, 0, Arp, 0xC0)}, 3), Played,
               {4580, 4580, 4580, 4580, 4608, 3840}},
    // E19 slides 36: C#4 is nearer. Halfway (E18, 32) goes to the lower note.
    TPitchCase{"SlidPastHalf", Xm({At(0, 0, C4, 1, 0, E, 0x19), At(1, 0, 0, 0, 0, Arp, 0xC0)}, 3), Played,
               {4572, 4572, 4572, 4572, 4544, 3776}},
    TPitchCase{"Halfway", Xm({At(0, 0, C4, 1, 0, E, 0x18), At(1, 0, 0, 0, 0, Arp, 0xC0)}, 3), Played,
               {4576, 4576, 4576, 4576, 4608, 3840}},
    // Up to note 96 at finetune 0 (period 1536): B-7 at finetune 64 (1568
    // ... 1536 - 32) plays 1536 for + 1 and + 12 alike.
    TPitchCase{"HighestNote", Xm({At(0, 0, Note("B-7"), 1, 0, Arp, 0xC1)}, 3, 64), Played, {1568, 1536, 1536}},
    // ProTracker: from its period table, the first note at or above the
    // slid pitch (849 lies above C-3's 856: C#3, 808), + x on tick 1 and + y
    // (+ 0: the table's note, not the slid pitch) on tick 2.
    TPitchCase{"PatternFormat", Mod({ModAt(0, 0, C3, 1, E, 0x17), ModAt(1, 0, 0, 0, Arp, 0xC0)}, 3), Played,
               {3396, 3396, 3396, 3396, 404 * 4, 808 * 4}}), quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// GlissandoRoundsPitch: E31 then a slow tone portamento (36 a tick at
// speed 3); the played period.

class GlissandoRoundsPitch : public PitchFamily {};
TEST_P(GlissandoRoundsPitch, PlaysWholeNotes) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, GlissandoRoundsPitch, ::testing::Values(
    // The nearest note, on the row's first tick too; the slide goes on
    // underneath (4572, 4536, 4536, 4500, 4480).
    TPitchCase{"NearestNote",
               Xm({At(0, 0, C4, 1, 0, E, 0x31), At(1, 0, D4, 0, 0, Porta, 9), At(2, 0, 0, 0, 0, Porta, 9)}, 3), Played,
               {4608, 4608, 4608, 4608, 4544, 4544, 4544, 4480, 4480}},
    // ProTracker: the note at or above the pitch, the first tick plain.
    TPitchCase{"PatternFormat",
               Mod({ModAt(0, 0, C3, 1, E, 0x31), ModAt(1, 0, Note("D-3"), 0, Porta, 9), ModAt(2, 0, 0, 0, Porta, 9)}, 3),
               Played, {3424, 3424, 3424, 3424, 3232, 3232, 3352, 3232, 3232}}), quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// TonePortamentoKeepsTarget: from B-3 to C-4 (64 up), 310 reaching it, then
// 201 moving the pitch down 4 a tick, then 301. Speed 3.

class TonePortamentoKeepsTarget : public PitchFamily {};
TEST_P(TonePortamentoKeepsTarget, RemembersHowItArrived) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, TonePortamentoKeepsTarget, ::testing::Values(
    // Arrived from below: the pitch below goes back onto the target at once.
    TPitchCase{"ArrivedFromBelow",
               Xm({At(0, 0, B3, 1), At(1, 0, C4, 0, 0, Porta, 0x10), At(2, 0, 0, 0, 0, Down, 1), At(3, 0, 0, 0, 0, Porta, 1)}, 3),
               Period, {4672, 4672, 4672, 4672, 4608, 4608, 4608, 4612, 4616, 4616, 4608, 4608}},
    // Arrived from above: it slides back as usual.
    TPitchCase{"ArrivedFromAbove",
               Xm({At(0, 0, CS4, 1), At(1, 0, C4, 0, 0, Porta, 0x10), At(2, 0, 0, 0, 0, Down, 1), At(3, 0, 0, 0, 0, Porta, 1)}, 3),
               Period, {4544, 4544, 4544, 4544, 4608, 4608, 4608, 4612, 4616, 4616, 4612, 4608}},
    // A note with the slide aims it afresh.
    TPitchCase{"NewNoteAimsAfresh",
               Xm({At(0, 0, B3, 1), At(1, 0, C4, 0, 0, Porta, 0x10), At(2, 0, 0, 0, 0, Down, 1),
                   At(3, 0, C4, 0, 0, Porta, 1)}, 3),
               Period, {4672, 4672, 4672, 4672, 4608, 4608, 4608, 4612, 4616, 4616, 4612, 4608}},
    // ProTracker ends the slide on arrival: 301 has nowhere to go (3FF
    // gets from B-2, 3624, to C-3, 3424, at once).
    TPitchCase{"PatternFormatEndsOnArrival",
               Mod({ModAt(0, 0, Note("B-2"), 1), ModAt(1, 0, C3, 0, Porta, 0xFF), ModAt(2, 0, 0, 0, Down, 1),
                    ModAt(3, 0, 0, 0, Porta, 1)}, 3),
               Period, {3624, 3624, 3624, 3624, 3424, 3424, 3424, 3428, 3432, 3432, 3432, 3432}},
    // Before arriving the target stays, whatever slides between.
    TPitchCase{"PatternFormatBeforeArrival",
               Mod({ModAt(0, 0, Note("B-2"), 1), ModAt(1, 0, C3, 0, Porta, 0x10), ModAt(2, 0, 0, 0, Down, 1),
                    ModAt(3, 0, 0, 0, Porta, 1)}, 3),
               Period, {3624, 3624, 3624, 3624, 3560, 3496, 3496, 3500, 3504, 3504, 3500, 3496}}),
    quavix_test::TCaseName());

// Both trackers: only a note beside a tone portamento aims it. After a plain
// note and a slide, 304 has no target; after D-4 with 302 and a plain C-4,
// 304 slides toward D-4.
class TonePortamentoTarget : public PitchFamily {};
TEST_P(TonePortamentoTarget, ComesFromSlidesOnly) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, TonePortamentoTarget, ::testing::Values(
    TPitchCase{"NoTargetYet", Xm({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, Down, 4), At(2, 0, 0, 0, 0, Porta, 4)}, 3), Period,
               {4608, 4608, 4608, 4608, 4624, 4640, 4640, 4640, 4640}},
    TPitchCase{"PlainNoteLeavesTheTarget",
               Xm({At(0, 0, C4, 1), At(1, 0, D4, 0, 0, Porta, 1), At(2, 0, C4), At(3, 0, 0, 0, 0, Porta, 4)}, 3), Period,
               {4608, 4608, 4608, 4608, 4604, 4600, 4608, 4608, 4608, 4608, 4592, 4576}},
    // (From D-3, 762: C-3 is ProTracker's lowest period, where 2xx stops.)
    TPitchCase{"PatternFormatNoTargetYet",
               Mod({ModAt(0, 0, Note("D-3"), 1), ModAt(1, 0, 0, 0, Down, 4), ModAt(2, 0, 0, 0, Porta, 4)}, 3), Period,
               {3048, 3048, 3048, 3048, 3064, 3080, 3080, 3080, 3080}}), quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// VolumeColumnPortamentoFirst, and the volume column's Mx at 16 x: speed 3,
// C-4 to D-4.

class VolumeColumnPortamentoFirst : public PitchFamily {};
TEST_P(VolumeColumnPortamentoFirst, GivesTheSpeed) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, VolumeColumnPortamentoFirst, ::testing::Values(
    // F1 alone: 16 * 4 a tick.
    TPitchCase{"ColumnAlone", Xm({At(0, 0, C4, 1), At(1, 0, D4, 0, 0xF1)}, 3), Period,
               {4608, 4608, 4608, 4608, 4544, 4480}},
    // F1 beside 3FF: 3FF's speed counts for nothing and both slide.
    TPitchCase{"BesideThreeFF", Xm({At(0, 0, C4, 1), At(1, 0, Note("E-4"), 0, 0xF1, Porta, 0xFF)}, 3), Period,
               {4608, 4608, 4608, 4608, 4480, 4352}},
    // F0 keeps the memory it shares with 3xx.
    TPitchCase{"SharedMemory", Xm({At(0, 0, C4, 1), At(1, 0, D4, 0, 0, Porta, 2), At(2, 0, C4, 0, 0xF0)}, 3), Period,
               {4608, 4608, 4608, 4608, 4600, 4592, 4592, 4600, 4608}}), quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// TremorCountsDownPhases: 1 where a tick is silenced. Speed 4.

class TremorCountsDownPhases : public PitchFamily {};
TEST_P(TremorCountsDownPhases, ReadsTheTimesAsAPhaseStarts) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, TremorCountsDownPhases, ::testing::Values(
    // T31: 4 on, 2 off, counted on the other ticks of a row. T13 from row 1
    // counts only from the next phase: the sounding phase begun under T31
    // runs its 4 ticks (1, 2, 3, 5), then the silent one of T13 its 4 (6,
    // 7, 9, 10; the first tick of row 2 holds).
    TPitchCase{"NewTimesAtTheNextPhase",
               Xm({At(0, 0, C4, 1, 0, T, 0x31), At(1, 0, 0, 0, 0, T, 0x13), At(2, 0, 0, 0, 0, T, 0x13),
                   At(3, 0, 0, 0, 0, T, 0x13)}),
               Silenced, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 1, 1}}), quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// FineTuneCommandFromLowest: E5x with the note beside it. Speed 1.

class FineTuneCommandFromLowest : public PitchFamily {};
TEST_P(FineTuneCommandFromLowest, SetsTheNotesFinetune) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, FineTuneCommandFromLowest, ::testing::Values(
    // E50 is finetune -128, a semitone down; E5F is 112.
    TPitchCase{"LowestAndHighest", Xm({At(0, 0, C4, 1, 0, E, 0x50), At(1, 0, C4, 1, 0, E, 0x5F)}, 1), Period,
               {4672, 4552}},
    // Without a note nothing; the next note takes its sample's finetune.
    TPitchCase{"OnlyWithANote", Xm({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, E, 0x50), At(2, 0, C4)}, 1), Period,
               {4608, 4608, 4608}},
    // A slide aims at its note at the finetune set: E50 then 3FF to C-4.
    TPitchCase{"SlideKeepsIt", Xm({At(0, 0, C4, 1, 0, E, 0x50), At(1, 0, C4, 0, 0, Porta, 0xFF)}, 2), Period,
               {4672, 4672, 4672, 4672}},
    // ProTracker's signed nibble: E57 is seven eighths up (C-3 3424 at
    // finetune 7: 814 * 4).
    TPitchCase{"PatternFormat", Mod({ModAt(0, 0, C3, 1, E, 0x57)}, 1), Period, {3256}}), quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// CoarseFineTune: a sample at finetune -25, from C-4.

class CoarseFineTune : public PitchFamily {};
TEST_P(CoarseFineTune, DropsTheLowBits) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, CoarseFineTune, ::testing::Values(
    // -25 counts as -32: 4 units a sixteenth.
    TPitchCase{"FastTracker", Xm({At(0, 0, C4, 1)}, 1, -25), Period, {4624}},
    TPitchCase{"OpenMptFrom12207", Xm({At(0, 0, C4, 1)}, 1, -25, "OpenMPT 1.22.07.19"), Period, {4624}},
    // OpenMPT before 1.22.07.19 took it at full precision.
    TPitchCase{"OlderOpenMpt", Xm({At(0, 0, C4, 1)}, 1, -25, "OpenMPT 1.22.07.18"), Period, {4621}},
    TPitchCase{"OlderOpenMptTwoParts", Xm({At(0, 0, C4, 1)}, 1, -25, "OpenMPT 1.17"), Period, {4621}},
    TPitchCase{"NewerOpenMptTwoParts", Xm({At(0, 0, C4, 1)}, 1, -25, "OpenMPT 1.28"), Period, {4624}}),
    quavix_test::TCaseName());

// ---------------------------------------------------------------------------
// PeriodWrapsSlidingDown.

// The periods of a slide by Step on the other ticks of Rows rows of Speed
// ticks, from From, kept in 16 bits.
std::vector<int32_t> WrappingSlide(int32_t From, int32_t Step, int32_t Speed, int32_t Rows) {
    std::vector<int32_t> Periods;
    int32_t P = From;
    for (int32_t Tick = 0; Tick < Speed * Rows; ++Tick) {
        if (Tick % Speed != 0) P = (P + Step) & 0xFFFF;
        Periods.push_back(P);
    }
    return Periods;
}

class PeriodWrapsSlidingDown : public PitchFamily {};
TEST_P(PeriodWrapsSlidingDown, WrapsAt16Bits) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, PeriodWrapsSlidingDown, ::testing::Values(
    // 1FF from C-7 (2304) stops at period 1.
    TPitchCase{"SlideUpStopsAtOne", Xm({At(0, 0, Note("C-7"), 1, 0, Up, 0xFF)}, 4), Period, {2304, 1284, 264, 1}},
    // 2FF from C#0 (7616, the lowest note), 30 steps a row, past 65535.
    TPitchCase{"SlideDownWraps", Xm({At(0, 0, Note("C-0"), 1, 0, Down, 0xFF), At(1, 0, 0, 0, 0, Down, 0xFF)}, 31),
               Period, WrappingSlide(7616, 1020, 31, 2)},
    // The frequency: as usual down to the lowest note's octave and a
    // little past it (C#0, 8363 / 16 * 2^(1/12)), too low to count further
    // on (10172 ... 14252), and wrapped to a high octave from 15272 on.
    TPitchCase{"FrequencyPastTheLowestNote",
               Xm({At(0, 0, Note("C-0"), 1), At(1, 0, 0, 0, 0, Down, 0x80), At(2, 0, 0, 0, 0, Down, 0xFF),
                   At(3, 0, 0, 0, 0, Down, 0xFF)}, 4),
               Of(&TChannel::Frequency),
               {553, 553, 553, 553, 553, 348, 219, 138, 138, 0, 0, 0, 0, 0, 0, 1158948}},
    // ProTracker holds the period at its lowest note's, 856.
    TPitchCase{"PatternFormatHeld",
               Mod({ModAt(0, 0, C3, 1, Down, 0xFF), ModAt(1, 0, 0, 0, Down, 0xFF), ModAt(2, 0, 0, 0, Down, 0xFF),
                    ModAt(3, 0, 0, 0, Down, 0xFF), ModAt(4, 0, 0, 0, Down, 0xFF), ModAt(5, 0, 0, 0, Down, 0xFF)}, 31),
               [](const TQuavixModule& M) { return M.PlayingRow == 5 ? M.Channels[0]->Period : 0; },
               Join(Each({0}, 155), Each({856 * 4}, 31))}),
    quavix_test::TCaseName());

}  // namespace
