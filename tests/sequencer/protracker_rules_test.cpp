// ProTracker's rules for pattern-format songs, one family per behaviour of
// its set (TQuavixBehaviour), played tick by tick in small written songs.
// Where a rule is ProTracker's alone, a case plays the same cells in an
// Extended Module, which keeps the other way.
#include <utility>

#include "song_fixture.h"

namespace {

using namespace quavix_song_test;
using quavix_test::ModAt;
using quavix_test::TBytes;
using quavix_test::TModPlacedCell;
using quavix_test::TModSample;
using quavix_test::TModSong;
using TChannel = TQuavixChannelState;

// Pattern-format notes: C-1, D-1 and B-3 in ProTracker's names (periods 856,
// 762 and 113), the lowest, the third and the highest of its table.
const int32_t C1 = Note("C-3"), D1 = Note("D-3"), B3 = Note("B-5");
// B-1, B-2 and A-3 (453, 226 and 127).
const int32_t B1 = Note("B-3"), B2 = Note("B-4"), A3 = Note("A-5");
const int32_t E = Fx('E'), A = Fx('A'), F = Fx('F');

// Speed 4 (F04 on row 0, channel 3; Speed 0 sets none: the song's own 6).
// Sample 1: 2048 frames looping over frames 1024..2047, volume 64; 2: 512
// frames looping whole, volume 32, finetune +4; 3: 256 frames without loop,
// volume 48, finetune -8; 4: an empty slot; 5: 64 frames looping whole,
// volume 40, finetune -1.
TBytes Pt(std::vector<TModPlacedCell> Cells, int32_t Speed = 4) {
    TModSong Song = quavix_test::SmallMod();
    if (Speed > 0) Cells.push_back(ModAt(0, 3, 0, 0, F, Speed));
    Song.Patterns[0].Cells = std::move(Cells);
    auto Wave = [](int32_t Frames, int32_t Volume, int32_t FineTune, int32_t LoopStart, int32_t LoopLength) {
        TModSample S;
        for (int32_t i = 0; i < Frames; ++i) S.Values.push_back((i % 64) * 2 - 64);
        S.Volume = Volume;
        S.FineTune = FineTune;
        S.LoopStartWords = LoopStart / 2;
        S.LoopLengthWords = LoopLength / 2;
        return S;
    };
    Song.Samples = {Wave(2048, 64, 0, 1024, 1024), Wave(512, 32, 4, 0, 512), Wave(256, 48, 8, 0, 2), TModSample(),
                    Wave(64, 40, 15, 0, 64)};
    Song.Samples[3].Volume = 0;
    return quavix_test::WriteMod(Song);
}

// The same cells as an Extended Module (speed 4, two channels, instrument 1
// a looping wave at volume 40, 2 the same at volume 20).
TBytes Xm(std::vector<TPlacedCell> Cells) {
    TXmSong Song = MakeSong(std::move(Cells), 4, 8, 2);
    quavix_test::TXmInstrument Second = Song.Instruments[0];
    Second.Samples[0].Volume = 20;
    Song.Instruments.push_back(Second);
    return quavix_test::WriteXm(Song);
}

// A file case where the voice may stop in one tick, as the mixer stops it
// where a sample without loop plays out; -1 for never.
struct TRuleCase : TFileCase {
    TRuleCase(std::string Name, TBytes File, TProbe Probe, std::vector<int32_t> Expected, int32_t StopsAtTick = -1)
        : TFileCase{{std::move(Name)}, std::move(File), std::move(Probe), std::move(Expected)}, StopsAtTick(StopsAtTick) {}
    int32_t StopsAtTick;
};

class ProTrackerRule : public SongTest, public ::testing::WithParamInterface<TRuleCase> {
protected:
    void Check() {
        const TRuleCase& T = GetParam();
        LoadFile(T.File);
        std::vector<int32_t> Values;
        for (int32_t Tick = 0; Tick < static_cast<int32_t>(T.Expected.size()); ++Tick) {
            Module.ProcessTick();
            if (Tick == T.StopsAtTick) Module.Channels[0]->Active = false;
            Values.push_back(T.Probe(Module));
        }
        EXPECT_EQ(Values, T.Expected);
    }
};

// Probes.
int32_t Replays(const TQuavixModule& M) { return ActiveFadeChannels(M); }
// The sample number the voice plays (0 for none) times 10, plus the number of
// the one waiting to swap in.
int32_t SampleNumber(const TQuavixModule& M, const TQuavixSample* S) {
    for (int32_t i = 1; i <= 31; ++i)
        if (M.Instruments[i] && M.Instruments[i]->Samples[0].get() == S) return i;
    return 0;
}
int32_t Samples(const TQuavixModule& M) {
    const TQuavixChannel& C = *M.Channels[0];
    return SampleNumber(M, C.Sample) * 10 + (C.SwapPending ? SampleNumber(M, C.SwapSample) : 0);
}
int32_t Sounding(const TQuavixModule& M) { return M.Channels[0]->Active ? 1 : 0; }
// The period the tick plays: -1 where the tick is silent, 0 where it has no
// pitch and the voice stands still.
int32_t TickPeriod(const TQuavixModule& M) {
    const TQuavixChannel& C = *M.Channels[0];
    return C.VolumeOffset <= -64 ? -1 : C.StillTick ? 0 : C.Period + C.PeriodOffset;
}
const TProbe Volume = Of(&TChannel::Volume), Period = Of(&TChannel::Period), Target = Of(&TChannel::TargetPeriod),
             FineTune = Of(&TChannel::FineTune);
const TProbe Tempo = [](const TQuavixModule& M) { return static_cast<int32_t>(M.Tempo); };
const TProbe Speed = [](const TQuavixModule& M) { return static_cast<int32_t>(M.Speed); };

std::string CaseName(const ::testing::TestParamInfo<TRuleCase>& Info) { return quavix_test::TestNameOf(Info.param.Name); }

// ---------------------------------------------------------------------------
// TQuavixBehaviour::SampleSwap

class SampleSwap : public ProTrackerRule {};
TEST_P(SampleSwap, WaitsForTheSoundingSampleToEnd) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, SampleSwap, ::testing::Values(
    // The sounding sample plays on; the new one waits for its loop's end
    // (where the mixer takes it), while its volume applies at once.
    TRuleCase{"InstrumentAlone", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 2)}), Samples, Join(Each({10}, 4), Each({12}, 4))},
    TRuleCase{"VolumeAtOnce", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 2)}), Volume, Join(Each({64}, 4), Each({32}, 4))},
    // A note takes the instrument's sample at once, a slide keeps waiting.
    TRuleCase{"NoteAfterIt", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 2), ModAt(2, 0, C1)}), Samples,
              Join(Each({10}, 4), Join(Each({12}, 4), Each({20}, 4)))},
    TRuleCase{"BesideASlide", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, D1, 2, 3, 8)}), Samples,
              Join(Each({10}, 4), Each({12}, 4))},
    // The sounding sample again: nothing to wait for.
    TRuleCase{"TheSameSample", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 1)}), Samples, Each({10}, 8)},
    // A voice that has stopped (its sample without loop played out) starts
    // a looped sample at once, from its loop; one without loop stays silent.
    TRuleCase{"StoppedVoiceTakesALoop", Pt({ModAt(0, 0, C1, 3), ModAt(1, 0, 0, 1)}), Sounding,
              Join({1}, Join(Each({0}, 3), Each({1}, 4))), 1},
    TRuleCase{"FromItsLoopStart", Pt({ModAt(0, 0, C1, 3), ModAt(1, 0, 0, 1)}), Frames, Join(Each({0}, 4), Each({1024}, 4)), 1},
    TRuleCase{"StoppedVoiceKeepsSilentWithoutLoop", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 3)}), Sounding,
              Join({1}, Each({0}, 7)), 1},
    // A channel that never played a note stays silent.
    TRuleCase{"NothingPlayedYet", Pt({ModAt(0, 0, 0, 1)}), Sounding, Each({0}, 4)},
    // An Extended Module keeps the sounding sample: nothing waits.
    TRuleCase{"ExtendedModule", Xm({At(0, 0, Note("C-4"), 1), At(1, 0, 0, 2)}),
              [](const TQuavixModule& M) { return M.Channels[0]->SwapPending ? 1 : 0; }, Each({0}, 8)}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::FineTuneFromInstrumentNumber

class FineTuneFromInstrumentNumber : public ProTrackerRule {};
TEST_P(FineTuneFromInstrumentNumber, TunesTheNotesThatFollow) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, FineTuneFromInstrumentNumber, ::testing::Values(
    // Sample 2 has finetune +4 (64 in 1/128 semitone); the sounding pitch stays.
    TRuleCase{"InstrumentAlone", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 2)}), FineTune, Join(Each({0}, 4), Each({64}, 4))},
    TRuleCase{"PitchStays", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 2)}), Period, Each({3424}, 8)},
    // A slide beside the number aims at the note in the new tuning: D-1 at
    // finetune +4 is period 741, not 762, reached on the row's second tick.
    TRuleCase{"SlideAimsInTheNewTuning", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, D1, 2, 3, 0xFF)}), Period,
              Join(Each({3424}, 5), Each({741 * 4}, 3))},
    // E5x beside a note tunes it, and the notes after it without a number.
    TRuleCase{"E5xStaysForTheNextNote", Pt({ModAt(0, 0, C1, 1, E, 0x54), ModAt(1, 0, C1)}), Period, Each({832 * 4}, 8)},
    // E5x alone keeps the pitch that sounds.
    TRuleCase{"E5xAlone", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 0, E, 0x58)}), Period, Each({3424}, 8)},
    TRuleCase{"E58IsMinusEight", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 0, E, 0x58), ModAt(2, 0, C1)}), Period,
              Join(Each({3424}, 8), Each({907 * 4}, 4))}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::InstrumentBeforeNoteDelay

class InstrumentBeforeNoteDelay : public ProTrackerRule {};
TEST_P(InstrumentBeforeNoteDelay, LoadsTheInstrumentOnTheFirstTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, InstrumentBeforeNoteDelay, ::testing::Values(
    // The volume on the row's first tick, the note (a hand-over) on tick 2.
    TRuleCase{"Volume", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, C1, 2, E, 0xD2)}), Volume, Join(Each({64}, 4), Each({32}, 4))},
    TRuleCase{"Note", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, C1, 2, E, 0xD2)}), Samples,
              Join(Each({10}, 4), {12, 12, 20, 20})},
    // Without a note the number alone acts, on the first tick.
    TRuleCase{"WithoutNote", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 2, E, 0xD2)}), Volume,
              Join(Each({64}, 4), Each({32}, 4))}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::RetriggerWithoutNote

class RetriggerWithoutNote : public ProTrackerRule {};
TEST_P(RetriggerWithoutNote, StartsTheSampleAgain) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, RetriggerWithoutNote, ::testing::Values(
    // E92 on a cell without note: again on ticks 0 and 2 (each start hands
    // the old voice to the fade bank).
    TRuleCase{"WithoutNote", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 0, E, 0x92)}), Replays, Join(Each({0}, 4), {1, 1, 2, 2})},
    // Beside a note, the note's own start counts for tick 0.
    TRuleCase{"BesideANote", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, C1, 0, E, 0x92)}), Replays, Join(Each({0}, 4), {1, 1, 2, 2})},
    // A swapped-in sample plays at once.
    TRuleCase{"TakesTheSwap", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 2, E, 0x9F)}), Samples, Join(Each({10}, 4), Each({20}, 4))},
    // EDx without a note plays nothing again.
    TRuleCase{"NoteDelayWithoutNote", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 0, E, 0xD2)}), Replays, Each({0}, 8)}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::OffsetMovesNoteStart

class OffsetMovesNoteStart : public ProTrackerRule {};
TEST_P(OffsetMovesNoteStart, MovesWhereNotesStart) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, OffsetMovesNoteStart, ::testing::Values(
    // Beside a note 902 moves the start twice: the note plays from 512, the
    // next note without a number from 1024.
    TRuleCase{"TwiceBesideANote", Pt({ModAt(0, 0, C1, 1, 9, 2), ModAt(1, 0, C1)}), Frames, Join(Each({512}, 4), Each({1024}, 4))},
    // Without a note once, for the next note.
    TRuleCase{"OnceWithoutANote", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 0, 9, 1), ModAt(2, 0, C1)}), Frames,
              Join(Each({0}, 8), Each({256}, 4))},
    // 900 repeats the last offset; an instrument number starts over.
    TRuleCase{"900Repeats", Pt({ModAt(0, 0, C1, 1, 9, 1), ModAt(1, 0, C1, 1, 9, 0)}), Frames, Each({256}, 8)},
    TRuleCase{"InstrumentNumberStartsOver", Pt({ModAt(0, 0, C1, 1, 9, 2), ModAt(1, 0, C1, 1)}), Frames,
              Join(Each({512}, 4), Each({0}, 4))},
    // Past the end a note plays the loop only, or nothing without a loop.
    TRuleCase{"PastTheEndPlaysTheLoop", Pt({ModAt(0, 0, C1, 1, 9, 8), ModAt(1, 0, C1)}), Frames,
              Join(Each({1024}, 4), Each({1024}, 4))},
    TRuleCase{"PastTheEndWithoutLoop", Pt({ModAt(0, 0, C1, 3, 9, 1)}), Frames, Each({256}, 4)},
    // The frames left shrink with every move: the second 903 passes the
    // loop's end (2048), and its note and the next play the loop.
    TRuleCase{"FramesLeftShrink", Pt({ModAt(0, 0, C1, 1, 9, 3), ModAt(1, 0, C1, 0, 9, 3), ModAt(2, 0, C1)}), Frames,
              Join(Each({768}, 4), Join(Each({1024}, 4), Each({1024}, 4)))}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::PortamentoAmigaLimits

class PortamentoAmigaLimits : public ProTrackerRule {};
TEST_P(PortamentoAmigaLimits, StopsTheSlide) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, PortamentoAmigaLimits, ::testing::Values(
    // Periods in quarter units: A-3 is 508, C-1 3424; at finetune 0 the top
    // is B-3 as a quarter of B-1 (453, 113.25), where B-3 itself plays.
    TRuleCase{"UpStopsAtB3", Pt({ModAt(0, 0, A3, 1), ModAt(1, 0, 0, 0, 1, 0x20)}), Period,
              Join(Each({508}, 5), Each({453}, 3))},
    TRuleCase{"DownStopsAt856", Pt({ModAt(0, 0, C1, 1), ModAt(1, 0, 0, 0, 2, 1)}), Period, Each({856 * 4}, 8)},
    TRuleCase{"FineSlides", Pt({ModAt(0, 0, B3, 1, E, 0x11), ModAt(1, 0, C1, 1, E, 0x21)}), Period,
              Join(Each({453}, 4), Each({856 * 4}, 4))},
    // An Extended Module slides on.
    TRuleCase{"ExtendedModule",
              [] {
                  TXmSong Song = MakeSong({At(0, 0, Note("B-5"), 1), At(1, 0, 0, 0, 0, 1, 1)}, 4);
                  Song.LinearSlides = false;
                  return quavix_test::WriteXm(Song);
              }(),
              Period, {453, 453, 453, 453, 453, 449, 445, 441}}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::AmigaLimitsFollowFineTune

class AmigaLimitsFollowFineTune : public ProTrackerRule {};
TEST_P(AmigaLimitsFollowFineTune, HoldsToTheFineTunesTable) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, AmigaLimitsFollowFineTune, ::testing::Values(
    // Sample 2 has finetune +4: its C-1 is 832 (3328), its B-3 would lie
    // above 113 (441), so its top is 113 (452). B-3 plays there at once.
    TRuleCase{"NoteHeldAt113", Pt({ModAt(0, 0, B3, 2), ModAt(1, 0, 0, 0, 1, 1)}), Period, Each({452}, 8)},
    TRuleCase{"DownStopsAtTheTablesC1", Pt({ModAt(0, 0, C1, 2), ModAt(1, 0, 0, 0, 2, 4)}), Period, Each({3328}, 8)},
    // Sample 5 has finetune -1: its B-3 is 457, A-3 513.
    TRuleCase{"UpStopsAtTheTablesB3", Pt({ModAt(0, 0, A3, 5), ModAt(1, 0, 0, 0, 1, 0x20)}), Period,
              Join(Each({513}, 5), Each({457}, 3))},
    // A tone portamento aims at the held note, and arrives there.
    TRuleCase{"TonePortamentoTarget", Pt({ModAt(0, 0, C1, 2), ModAt(1, 0, B3, 0, 3, 0xFF)}), Period,
              Join(Each({3328}, 5), {2308, 1288, 452})}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::ProTrackerNotePeriods

class ProTrackerNotePeriods : public ProTrackerRule {};
TEST_P(ProTrackerNotePeriods, PlaysProTrackersPeriods) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, ProTrackerNotePeriods, ::testing::Values(
    // B-2 at finetune 0 is ProTracker's 226 (904), not half of B-1's 453.
    TRuleCase{"FineTuneZero", Pt({ModAt(0, 0, B2, 1)}), Period, Each({904}, 4)},
    // At finetune +4 B-1 is 441 (1764), and B-2 its half, 220.5 (882).
    TRuleCase{"FineTunedLowestOctave", Pt({ModAt(0, 0, B1, 2)}), Period, Each({1764}, 4)},
    TRuleCase{"FineTunedHalvedPerOctave", Pt({ModAt(0, 0, B2, 2)}), Period, Each({882}, 4)},
    // An Extended Module in Amiga periods halves B-1's 453 at finetune 0.
    TRuleCase{"ExtendedModule",
              [] {
                  TXmSong Song = MakeSong({At(0, 0, Note("B-4"), 1)}, 4);
                  Song.LinearSlides = false;
                  return quavix_test::WriteXm(Song);
              }(),
              Period, Each({906}, 4)}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::ArpeggioFromPeriodTable

class ArpeggioFromPeriodTable : public ProTrackerRule {};
TEST_P(ArpeggioFromPeriodTable, FindsTheNotesInTheTable) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, ArpeggioFromPeriodTable, ::testing::Values(
    // C-1, D#1, G-1 from the table (856, 720, 570); speed 6.
    TRuleCase{"WithinTheTable", Pt({ModAt(0, 0, C1, 1, 0, 0x37)}, 6), TickPeriod,
              {3424, 2880, 2280, 3424, 2880, 2280}},
    // One note past B-3 is period 0, where the voice stands still; two
    // notes past it the same table's lowest note (C-1, period 856).
    TRuleCase{"PastTheTop", Pt({ModAt(0, 0, B3, 1, 0, 0x12)}, 6), TickPeriod, {453, 0, 856 * 4, 453, 0, 856 * 4}},
    // At finetune -1 too: its C-1 is 862.
    TRuleCase{"PastTheTopFineTuned", Pt({ModAt(0, 0, B3, 5, 0, 0x22)}, 3), TickPeriod, {457, 862 * 4, 862 * 4}},
    // The voice stands still only for the tick without pitch.
    TRuleCase{"StandsStillForTheTick", Pt({ModAt(0, 0, B3, 1, 0, 0x12)}, 3),
              [](const TQuavixModule& M) { return M.Channels[0]->Increment == 1 ? 1 : 0; }, {0, 1, 0}},
    // From the current period: after 101 the period lies between C-1 and
    // C#1, and the arpeggio's 0 is C#1 (808), its 1 D-1 (762).
    TRuleCase{"FromTheCurrentPeriod", Pt({ModAt(0, 0, C1, 1, 1, 1), ModAt(1, 0, 0, 0, 0, 0x01)}, 3), TickPeriod,
              {3424, 3420, 3416, 3416, 3232, 3048}}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::SlidesWithoutMemory

class SlidesWithoutMemory : public ProTrackerRule {};
TEST_P(SlidesWithoutMemory, SlideByTheirOwnParameter) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, SlidesWithoutMemory, ::testing::Values(
    // Speed 3; A02 then A00 (which slides by nothing), 510 then 500, 610 then 600.
    TRuleCase{"A00", Pt({ModAt(0, 0, C1, 1, A, 0x02), ModAt(1, 0, 0, 0, A, 0)}, 3), Volume, {64, 62, 60, 60, 60, 60}},
    TRuleCase{"500", Pt({ModAt(0, 0, C1, 1, 0xC, 0x20), ModAt(1, 0, 0, 0, 5, 0x10), ModAt(2, 0, 0, 0, 5, 0)}, 3), Volume,
              {32, 32, 32, 32, 33, 34, 34, 34, 34}},
    TRuleCase{"600", Pt({ModAt(0, 0, C1, 1, 0xC, 0x20), ModAt(1, 0, 0, 0, 6, 0x10), ModAt(2, 0, 0, 0, 6, 0)}, 3), Volume,
              {32, 32, 32, 32, 33, 34, 34, 34, 34}},
    TRuleCase{"100", Pt({ModAt(0, 0, C1, 1, 1, 2), ModAt(1, 0, 0, 0, 1, 0)}, 3), Period, {3424, 3416, 3408, 3408, 3408, 3408}},
    TRuleCase{"200", Pt({ModAt(0, 0, D1, 1, 2, 2), ModAt(1, 0, 0, 0, 2, 0)}, 3), Period, {3048, 3056, 3064, 3064, 3064, 3064}},
    TRuleCase{"E10, E20", Pt({ModAt(0, 0, D1, 1, E, 0x12), ModAt(1, 0, 0, 0, E, 0x10), ModAt(2, 0, 0, 0, E, 0x20)}, 1), Period,
              {3040, 3040, 3040}},
    TRuleCase{"EA0, EB0", Pt({ModAt(0, 0, C1, 1, E, 0xB2), ModAt(1, 0, 0, 0, E, 0xB0), ModAt(2, 0, 0, 0, E, 0xA0)}, 1),
              Volume, {62, 62, 62}},
    // Up takes the high nibble whenever it is set: A21 slides up by 2.
    TRuleCase{"A21", Pt({ModAt(0, 0, C1, 1, 0xC, 0x20), ModAt(1, 0, 0, 0, A, 0x21)}, 3), Volume, {32, 32, 32, 32, 34, 36}},
    // An Extended Module remembers: A00 slides on by 2.
    TRuleCase{"ExtendedModule", Xm({At(0, 0, Note("C-4"), 1, 0, A, 0x02), At(1, 0, 0, 0, 0, A, 0)}), Volume,
              {40, 38, 36, 34, 34, 32, 30, 28}}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::TempoFromNextTick, TQuavixBehaviour::RestartKeepsSpeedAndTempo

class TempoFromNextTick : public ProTrackerRule {};
TEST_P(TempoFromNextTick, ChangesTempoAfterTheTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, TempoFromNextTick, ::testing::Values(
    // F40 on row 1 (channel 1): the row's first tick still plays at 125.
    TRuleCase{"F40", Pt({ModAt(1, 1, 0, 0, F, 0x40)}), Tempo, Join(Each({125}, 5), Each({64}, 3))},
    // At speed 1 the next row is the first at the new tempo.
    TRuleCase{"SpeedOne", Pt({ModAt(1, 1, 0, 0, F, 0x40)}, 1), Tempo, {125, 125, 64, 64}},
    // F20 is a tempo, the lowest.
    TRuleCase{"F20", Pt({ModAt(1, 1, 0, 0, F, 0x20)}, 1), Tempo, {125, 125, 32}},
    // An Extended Module's tempo changes on the tick that sets it.
    TRuleCase{"ExtendedModule", Xm({At(1, 1, 0, 0, 0, F, 0x40)}), Tempo, Join(Each({125}, 4), Each({64}, 4))}), CaseName);

class RestartKeepsSpeedAndTempo : public ProTrackerRule {};
TEST_P(RestartKeepsSpeedAndTempo, GoesOnAtTheSongsEnd) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, RestartKeepsSpeedAndTempo, ::testing::Values(
    // Speed 2 from row 1; D00 on row 2 ends the song, whose first row then
    // plays at speed 2, not the song's 6.
    TRuleCase{"Speed", Pt({ModAt(1, 1, 0, 0, F, 2), ModAt(2, 1, 0, 0, Fx('D'), 0)}, 0), Speed,
              Join(Each({6}, 6), Each({2}, 6))},
    // An Extended Module starts over at its own speed.
    TRuleCase{"ExtendedModule", Xm({At(1, 1, 0, 0, 0, F, 2), At(2, 1, 0, 0, 0, Fx('D'), 0)}), Speed,
              Join(Each({4}, 4), Join(Each({2}, 4), Each({4}, 4)))}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::FineSlidesOnRowRepeats

class FineSlidesOnRowRepeats : public ProTrackerRule {};
TEST_P(FineSlidesOnRowRepeats, SlideOnEachRepetition) { Check(); }
INSTANTIATE_TEST_SUITE_P(ProTracker, FineSlidesOnRowRepeats, ::testing::Values(
    // EE2 at speed 3: the row three times, EB4 on the first tick of each.
    TRuleCase{"FineVolume", Pt({ModAt(0, 0, C1, 1, E, 0xB4), ModAt(0, 1, 0, 0, E, 0xE2)}, 3), Volume,
              {60, 60, 60, 56, 56, 56, 52, 52, 52, 52}},
    TRuleCase{"FinePortamento", Pt({ModAt(0, 0, D1, 1, E, 0x12), ModAt(0, 1, 0, 0, E, 0xE1)}, 2), Period,
              {3040, 3040, 3032, 3032, 3032}},
    // An Extended Module slides once.
    TRuleCase{"ExtendedModule", Xm({At(0, 0, Note("C-4"), 1, 0, E, 0xB4), At(0, 1, 0, 0, 0, E, 0xE2)}), Volume,
              Each({36}, 13)}), CaseName);

}  // namespace
