// Rows and ticks: note and pattern delay, loops, jumps and the walk through
// the order list, played tick by tick; and the per-tick output stage of a
// voice.
#include <algorithm>
#include <vector>

#include "song_fixture.h"
#include "voice_fixture.h"
#include "support/case_names.h"

namespace {

using namespace quavix_song_test;
using quavix_test::MakeCell;
using TChannel = TQuavixChannelState;

const int32_t C4 = Note("C-4"), E = Fx('E'), B = Fx('B'), D = Fx('D');

// Two channels, speed 1, patterns of the given row counts.
TXmSong Orders(std::vector<int32_t> Rows, std::vector<uint8_t> List, std::vector<TPlacedCell> FirstPattern = {},
               int32_t Restart = 0) {
    TXmSong Song = MakeSong({}, 1, 1, 2);
    Song.Patterns.clear();
    for (int32_t R : Rows) Song.Patterns.push_back({R, {}});
    Song.Patterns[0].Cells = std::move(FirstPattern);
    Song.Orders = std::move(List);
    Song.RestartPosition = static_cast<uint16_t>(Restart);
    return Song;
}

class Sequencing : public SongTest {};

std::vector<TTickCase> TimingCases() {
    const TProbe Volume = Of(&TChannel::Volume), Active = Of(&TChannel::Active);
    const TProbe Tick = [](const TQuavixModule& M) { return M.TickCounter; };
    return {
        // Nothing on ticks 0..2; on tick 3 the note starts, the volume
        // column sets the volume, and its slides run from there on.
        {"ED3 with set volume", MakeSong({At(0, 0, C4, 1, 0x30, E, 0xD3)}), Volume, {0, 0, 0, 32, 32, 32}},
        // The volume column slides from the row's second tick on, before the
        // delayed note, whose instrument number then restores the volume.
        {"ED3 with volume slide", MakeSong({At(0, 0, C4, 1, 0x62, E, 0xD3)}), Volume, {0, -2, -4, 40, 38, 36}},
        {"ED3 with an instrument only", MakeSong({At(0, 0, C4, 1, 0x20), At(1, 0, 0, 1, 0, E, 0xD3)}), Volume,
         Join(Each({16}, 6), {16, 16, 16, 40, 40, 40})},
        // A delay at or past the row's speed never comes, even where EEx
        // plays the row again: each time the row's ticks count from 0.
        {"ED7 at speed 6", MakeSong({At(0, 0, C4, 1, 0x30, E, 0xD7)}), Active, Each({0}, 12)},
        {"ED7 in a row lengthened by EE1", MakeSong({At(0, 0, C4, 1, 0x30, E, 0xD7), At(0, 1, 0, 0, 0, E, 0xE1)}, 6, 8, 2),
         Active, Each({0}, 13)},
        // EE2 at speed 3: 9 ticks, counted on through the repeats.
        {"EE2 at speed 3", MakeSong({At(0, 0, 0, 0, 0, E, 0xE2)}, 3), Tick, {0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 1}},
        {"EE2 rows", MakeSong({At(0, 0, 0, 0, 0, E, 0xE2)}, 3), Playing, Join(Each({0}, 9), {1, 1})},
        // Speed 0: every tick is a new row and no tick effect runs.
        {"F00", MakeSong({At(0, 0, 0, 0, 0, Fx('F'), 0), At(0, 1, C4, 1, 0, Fx('A'), 0x0F)}, 6, 8, 2), Playing,
         {0, 1, 2, 3}},
        {"F00 slides nothing", MakeSong({At(0, 0, 0, 0, 0, Fx('F'), 0), At(0, 1, C4, 1, 0, Fx('A'), 0x0F)}, 6, 8, 2),
         Of(&TChannel::Volume, 1), {40, 40, 40, 40}},
        // Both trackers take 0x20 as a tempo.
        {"F1F is speed 31, F20 tempo 32", MakeSong({At(0, 0, 0, 0, 0, Fx('F'), 0x1F), At(1, 0, 0, 0, 0, Fx('F'), 0x20)}, 1),
         [](const TQuavixModule& M) { return M.Speed * 1000 + M.Tempo; }, Join(Each({31125}, 31), {31032})},
        // Pattern loops, at speed 1: the rows played.
        {"E60, E62", MakeSong({At(1, 0, 0, 0, 0, E, 0x60), At(2, 0, 0, 0, 0, E, 0x62)}, 1, 4), Playing,
         {0, 1, 2, 1, 2, 1, 2, 3}},
        {"E62 from the first row", MakeSong({At(1, 0, 0, 0, 0, E, 0x62)}, 1, 4), Playing, {0, 1, 0, 1, 0, 1, 2, 3}},
        // Each channel counts its own loop.
        {"the same loop in two channels",
         MakeSong({At(1, 0, 0, 0, 0, E, 0x60), At(3, 0, 0, 0, 0, E, 0x62), At(1, 1, 0, 0, 0, E, 0x60),
                   At(3, 1, 0, 0, 0, E, 0x62)}, 1, 5, 2),
         Playing, {0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4}},
        // E61 and E62 on one row: play goes on when neither jumps, after six passes.
        {"two loops of different counts",
         MakeSong({At(1, 0, 0, 0, 0, E, 0x60), At(3, 0, 0, 0, 0, E, 0x61), At(1, 1, 0, 0, 0, E, 0x60),
                   At(3, 1, 0, 0, 0, E, 0x62)}, 1, 5, 2),
         Playing, Join(Join({0}, Cycle({1, 2, 3}, 6)), {4})},
    };
}

class SequencingTiming : public TickCaseTest {};
TEST_P(SequencingTiming, TickByTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Sequencing, SequencingTiming, ::testing::ValuesIn(TimingCases()), quavix_test::TCaseName());

std::vector<TTickCase> OrderListCases() {
    std::vector<uint8_t> Long(256, 0);
    Long[255] = 1;
    TXmSong TooLong = Orders({1, 1}, Long, {At(0, 0, 0, 0, 0, B, 0xFF)});
    TooLong.SongLength = 300;
    return {
        // A break keeps the order of a jump in an earlier channel; a jump
        // starts its order at row 0, also after a break in an earlier
        // channel. The row is two decimal digits: D10 is row 10, and a digit
        // above 9 counts its value (D1A is row 20).
        {"B05 then D10", Orders({2, 2, 2, 2, 2, 32}, {0, 1, 2, 3, 4, 5}, {At(0, 0, 0, 0, 0, B, 5), At(0, 1, 0, 0, 0, D, 0x10)}),
         Playing, {0, 5010, 5011}},
        {"D10 then B05", Orders({2, 2, 2, 2, 2, 32}, {0, 1, 2, 3, 4, 5}, {At(0, 0, 0, 0, 0, D, 0x10), At(0, 1, 0, 0, 0, B, 5)}),
         Playing, {0, 5000, 5001}},
        {"D1A", Orders({2, 32}, {0, 1}, {At(0, 0, 0, 0, 0, D, 0x1A)}), Playing, {0, 1020, 1021}},
        {"DA0 into a pattern of 128 rows", Orders({2, 128}, {0, 1}, {At(0, 0, 0, 0, 0, D, 0xA0)}), Playing, {0, 1100}},
        // A row the pattern lacks starts that pattern from its top.
        {"a break past the next pattern's rows", Orders({2, 8, 4}, {0, 1, 2}, {At(0, 0, 0, 0, 0, D, 0x20)}), Playing,
         {0, 1000, 1001}},
        // Pattern 7 was never written: it has no rows.
        {"an empty pattern", Orders({2, 2}, {0, 7, 1}), Playing, {0, 1, 2000, 2001, 0, 1}},
        {"a jump past the end goes to the restart", Orders({2, 2, 2}, {0, 1, 2}, {At(0, 0, 0, 0, 0, B, 0x10)}, 1),
         Playing, {0, 1000, 1001, 2000, 2001, 1000}},
        {"a restart position past the end starts over", Orders({2, 2}, {0, 1}, {}, 5), Playing, {0, 1, 1000, 1001, 0, 1}},
        // Whatever the song length claims, Orders has 256 entries.
        {"a song length of 300", TooLong, Playing, {0, 255000, 0, 255000}},
        // No order has a row: every tick ends its search and plays nothing.
        {"no pattern with rows", Orders({2}, {3}), Playing, {-1001, -1001}},
    };
}

class SequencingOrderList : public TickCaseTest {};
TEST_P(SequencingOrderList, TickByTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Sequencing, SequencingOrderList, ::testing::ValuesIn(OrderListCases()), quavix_test::TCaseName());

// Ticks and the mixer look at the reserve and fade banks only as far as
// their voices in use. Whatever a tick hands over (notes on the row's first
// tick, delayed notes inside the row, more voices than the bank holds) and
// whichever voices have ended since, every sounding voice lies within them,
// and the last of them sounds.
struct TBankCase : quavix_test::TNamedCase {
    TXmSong Song;
    bool EndSome;  // end a third of the fade voices after each tick, as mixing may
};

// Four channels with a note on every row, each cell with the same effect.
TXmSong NotesOnEveryRow(int32_t Speed, int32_t Effect, int32_t Parameter) {
    std::vector<TPlacedCell> Cells;
    for (int32_t Row = 0; Row < 8; ++Row)
        for (int32_t C = 0; C < 4; ++C) Cells.push_back(At(Row, C, C4 + Row, 1, 0, Effect, Parameter));
    return MakeSong(Cells, Speed, 8, 4);
}

std::vector<TBankCase> BankCases() {
    return {
        {"notes on every row", NotesOnEveryRow(1, 0, 0), true},
        {"delayed notes", NotesOnEveryRow(2, E, 0xD1), true},
        {"a full bank", NotesOnEveryRow(1, 0, 0), false},
    };
}

class SequencingBankVoicesInUseHoldEverySoundingVoice : public SongTest,
                                                        public ::testing::WithParamInterface<TBankCase> {};

TEST_P(SequencingBankVoicesInUseHoldEverySoundingVoice, BankVoicesInUseHoldEverySoundingVoice) {
    const TBankCase& T = GetParam();
    auto Reach = [](const TQuavixModule::TChannelBank& Bank) {
        int32_t Last = 0;
        for (int32_t i = 0; i < TQuavixModule::MaxChannels; ++i)
            if (Bank[i]->Active) Last = i + 1;
        return Last;
    };
    Load(T.Song);
    int32_t Most = 0;
    for (int32_t Tick = 0; Tick < 300; ++Tick) {
        Module.ProcessTick();
        ASSERT_EQ(Module.FadeVoicesInUse, Reach(Module.FadeChannels)) << "tick " << Tick;
        ASSERT_EQ(Module.ReserveVoicesInUse, Reach(Module.BackgroundChannels)) << "tick " << Tick;
        Most = std::max(Most, Module.FadeVoicesInUse);
        if (T.EndSome)
            for (int32_t i = 0; i < TQuavixModule::MaxChannels; ++i)
                if ((i + Tick) % 3 == 0) Module.FadeChannels[i]->Active = false;
    }
    EXPECT_GT(Most, 4);
    if (!T.EndSome) {
        EXPECT_EQ(Most, TQuavixModule::MaxChannels);
    }
}
INSTANTIATE_TEST_SUITE_P(Sequencing, SequencingBankVoicesInUseHoldEverySoundingVoice, ::testing::ValuesIn(BankCases()),
                         quavix_test::TCaseName());

TEST_F(Sequencing, NothingLeftToPlayFadesTheVoicesOut) {
    Load(Orders({1}, {0, 3}, {At(0, 0, C4, 1)}, 1));
    Module.Speed = 2;
    EXPECT_EQ(Play(3, Of(&TChannel::Active)), (std::vector<int32_t>{1, 1, 0}));
    EXPECT_EQ(Play(2, ActiveFadeChannels), (std::vector<int32_t>{1, 1}));
    EXPECT_EQ(Playing(Module), 0);
    EXPECT_TRUE(Module.Channels[0]->CurrentNote.IsEmpty());
}

// From order 0 the song's global volume, speed and tempo start afresh, from
// another restart position they go on as they are; the channels play on
// either way.
TEST_F(Sequencing, RestartPositions) {
    // Speed 2; row 1 sets global volume 16, speed 3, tempo 80 and starts a
    // note panned to 192 on channel 3. Order 0 lasts 5 ticks.
    TXmSong Song = MakeSong({At(1, 0, 0, 0, 0, Fx('G'), 0x10), At(1, 1, 0, 0, 0, Fx('F'), 3), At(1, 2, 0, 0, 0, Fx('F'), 80),
                             At(1, 3, C4, 1, 0, 8, 0xC0)}, 2, 2, 4);
    const TProbe State = [](const TQuavixModule& M) {
        return M.GlobalVolume * 1000000 + M.Speed * 10000 + M.Tempo * 10 + (M.Channels[3]->Panning == 192 ? 1 : 0);
    };
    Load(Song);
    EXPECT_EQ(Play(6, State).back(), 64021251);
    // The voice sounding at the restart plays on, as the song left it.
    EXPECT_EQ(ActiveFadeChannels(Module), 0);
    EXPECT_TRUE(Module.Channels[3]->Active);
    EXPECT_NE(Module.Channels[3]->Instrument, nullptr);

    Song.Patterns.push_back({1, {}});
    Song.Orders = {1, 0};
    Song.RestartPosition = 1;
    Load(Song);
    EXPECT_EQ(Play(10, State).back(), 16030801);
    EXPECT_TRUE(Module.Channels[3]->Active);
}

TEST_F(Sequencing, RewindingForgetsThePitch) {
    // A tone portamento on the first row finds no pitch to slide from
    // whenever the song is played from the start (and, in an Extended
    // Module, stays silent); going round at the end keeps the pitch.
    Load(MakeSong({At(0, 0, C4, 1, 0, 3, 1), At(1, 0, Note("C-5"), 1)}, 1, 2));
    EXPECT_EQ(Play(2, Of(&TChannel::Period)), (std::vector<int32_t>{0, 3840}));
    Module.ResetPlayback();
    EXPECT_EQ(Play(3, Of(&TChannel::Period)), (std::vector<int32_t>{0, 3840, 3840}));
    EXPECT_EQ(Module.Channels[0]->TargetPeriod, 4608);
}

TEST_F(Sequencing, AReplacedVoiceFadesWithinTheFadeRamp) {
    Load(MakeSong({At(0, 0, C4, 1), At(1, 0, Note("D-4"), 1)}, 1, 2));
    // The player's own ramp lengths, not Fasttracker 2's (VolumeRamp in
    // tracker_families_test.cpp).
    Module.Behaviours.Set(TQuavixBehaviour::VolumeRampsAcrossTick, false);
    Module.FadeRampLength = 64;
    Module.ProcessTick();
    // As if the mixer had played the first ramp to its end.
    TQuavixChannel& C = *Module.Channels[0];
    C.RampLeft = C.RampTargetLeft;
    C.RampRight = C.RampTargetRight;
    const int32_t Gain = C.RampLeft;
    ASSERT_GT(Gain, 0);
    Module.ProcessTick();
    const TQuavixChannel& F = *Module.FadeChannels[0];
    EXPECT_TRUE(F.Active);
    EXPECT_EQ(F.RampLeft, Gain);
    EXPECT_EQ(F.RampTargetLeft, 0);
    EXPECT_EQ(F.RampLength, 64);
    // Silent after the ramp but for the step's truncation, which the ramp's
    // end sets right.
    for (int32_t Last : {F.RampLeft + F.RampStepLeft * 64, F.RampRight + F.RampStepRight * 64}) {
        EXPECT_GE(Last, 0);
        EXPECT_LT(Last, 64);
    }
    EXPECT_EQ(C.RampLeft, 0);  // the new note rises from silence
    EXPECT_EQ(C.RampLength, 128);
}

// ---------------------------------------------------------------------------
// The output stage of one voice.

// What 44100 updates of a voice at 44100 Hz give: the steps' sum, how far
// the largest and smallest step lie apart, and the carry left at the end.
struct TStepRun {
    int32_t Frequency;
    int64_t Sum;
    int32_t Spread;
    int32_t Carry;
};

class UpdateVoice : public quavix_voice_test::VoiceTest {
protected:
    // A voice kept sounding at one linear period for 44100 updates.
    TStepRun Run(int32_t Period, TQuavixBehaviours Behaviours = {}) {
        Module.Clear();
        Module.SampleRate = 44100;
        Module.Behaviours = Behaviours;
        AddInstrument(1);
        TQuavixChannel& C = Channel();
        C.TriggerNote(MakeCell(C4, 1));
        C.Period = Period;
        int64_t Sum = 0;
        int32_t Low = INT32_MAX, High = 0;
        for (int32_t Tick = 0; Tick < 44100; ++Tick) {
            C.Active = true;
            C.UpdateVoice();
            Sum += C.Increment;
            Low = std::min(Low, C.Increment);
            High = std::max(High, C.Increment);
        }
        return {C.Frequency, Sum, High - Low, C.IncrementCarry};
    }
};

struct TGainCase : quavix_test::TNamedCase {
    int32_t Volume, VolumeOffset, FadeoutVolume, Envelope, GlobalVolume, MasterVolume, Panning, PanningEnvelope;
    int32_t FinalVolume, FinalPanning, StoredVolume;
};

std::vector<TGainCase> FinalVolumeAndPanningCases() {
    // Envelopes are constant; -1 for none.
    return {
        {"full", 64, 0, 65536, -1, 64, 256, 128, -1, 4096, 128, 64},
        {"default master volume", 64, 0, 65536, -1, 64, 128, 128, -1, 2048, 128, 64},
        {"each product shifted in turn", 63, 0, 65535, 63, 63, 255, 128, -1, 3890, 128, 63},
        {"small values", 20, 0, 1000, 33, 50, 200, 128, -1, 5, 128, 20},
        {"tick volume below 0", 10, -20, 65536, -1, 64, 256, 128, -1, 0, 128, 10},
        {"tick volume held to 64", 60, 20, 65536, -1, 64, 256, 128, -1, 4096, 128, 60},
        {"volumes held", 80, 0, 65536, -1, 100, 300, 128, -1, 4096, 128, 64},
        {"the volume is held before the offset", -5, 10, 65536, -1, 64, 256, 128, -1, 640, 128, 0},
        {"panning held", 64, 0, 65536, -1, 64, 256, 300, -1, 4096, 255, 64},
        {"centre, envelope top", 64, 0, 65536, -1, 64, 256, 128, 64, 4096, 256, 64},
        {"envelope bottom", 64, 0, 65536, -1, 64, 256, 200, 0, 4096, 144, 64},
        {"hard left", 64, 0, 65536, -1, 64, 256, 0, 48, 4096, 0, 64},
    };
}

class UpdateVoiceFinalVolumeAndPanning : public UpdateVoice, public ::testing::WithParamInterface<TGainCase> {};

TEST_P(UpdateVoiceFinalVolumeAndPanning, FinalVolumeAndPanning) {
    const TGainCase& T = GetParam();
    Module.Clear();
    TQuavixInstrument& I = AddInstrument(1);
    if (T.Envelope >= 0) SetEnvelope(*I.VolumeEnvelope, {{0, T.Envelope}});
    if (T.PanningEnvelope >= 0) SetEnvelope(*I.PanningEnvelope, {{0, T.PanningEnvelope}});
    TQuavixChannel& C = Channel();
    C.TriggerNote(MakeCell(C4, 1));
    C.Volume = T.Volume;
    C.VolumeOffset = T.VolumeOffset;
    C.FadeoutVolume = T.FadeoutVolume;
    C.Panning = T.Panning;
    Module.GlobalVolume = T.GlobalVolume;
    Module.MasterVolume = T.MasterVolume;
    C.UpdateVoice();
    EXPECT_EQ(C.FinalVolume, T.FinalVolume);
    EXPECT_EQ(C.FinalPanning, T.FinalPanning);
    EXPECT_EQ(C.Volume, T.StoredVolume);
    EXPECT_LE(Module.GlobalVolume, 64);
    EXPECT_LE(Module.MasterVolume, 256);
}
INSTANTIATE_TEST_SUITE_P(UpdateVoice, UpdateVoiceFinalVolumeAndPanning, ::testing::ValuesIn(FinalVolumeAndPanningCases()),
                         quavix_test::TCaseName());

struct TStepCase : quavix_test::TNamedCase {
    bool Linear;
    int32_t Period, PeriodOffset, SampleRate, StoredPeriod, Frequency, Increment;
};

std::vector<TStepCase> FrequencyAndIncrementCases() {
    return {
        {"linear note 48", true, 4608, 0, 44100, 4608, 8363, 776},
        {"no output rate: no step", true, 4608, 0, 0, 4608, 8363, 0},
        {"a semitone down for this tick", true, 4608, 64, 44100, 4608, 7893, 733},
        {"linear, the period floor", true, 10, 0, 44100, 27, 522346, 48515},
        {"linear, the floor holds the tick's period too", true, 4608, -10000, 44100, 4608, 522346, 48515},
        {"linear, the period ceiling", true, 60000, 0, 44100, 54784, 0, 0},
        {"Amiga note 48", false, 1712, 0, 44100, 1712, 8363, 776},
        {"Amiga, the floor holds the tick's period", false, 27, -100, 44100, 27, 530276, 49251},
        {"Amiga, the period ceiling", false, 54784, 0, 44100, 54784, 261, 24},
        {"a step held to the 32-bit range", false, 27, 0, 1, 27, 530276, INT32_MAX},
    };
}

class UpdateVoiceFrequencyAndIncrement : public UpdateVoice, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(UpdateVoiceFrequencyAndIncrement, FrequencyAndIncrement) {
    const TStepCase& T = GetParam();
    Module.Clear();
    Module.LinearSlides = T.Linear;
    Module.SampleRate = T.SampleRate;
    AddInstrument(1);
    TQuavixChannel& C = Channel();
    C.TriggerNote(MakeCell(C4, 1));
    C.Period = T.Period;
    C.PeriodOffset = T.PeriodOffset;
    C.UpdateVoice();
    EXPECT_EQ(C.Period, T.StoredPeriod);
    EXPECT_EQ(C.Frequency, T.Frequency);
    EXPECT_EQ(C.Increment, T.Increment);
}
INSTANTIATE_TEST_SUITE_P(UpdateVoice, UpdateVoiceFrequencyAndIncrement, ::testing::ValuesIn(FrequencyAndIncrementCases()),
                         quavix_test::TCaseName());

TEST_F(UpdateVoice, StepsAddUpToTheExactFrequency) {
    // 8363 Hz at 44100 Hz is 776.75 units of 1/4096 frame per output frame:
    // over 44100 ticks the steps add up to 8363 * 4096 exactly, each the
    // truncated step or one more.
    const TStepRun R = Run(4608);
    EXPECT_EQ(R.Frequency, 8363);
    EXPECT_EQ(R.Sum, 8363 * 4096);
    EXPECT_EQ(R.Spread, 1);
    EXPECT_EQ(R.Carry, 0);
}

TEST_F(UpdateVoice, LinearStepsKeepTheFractionOfAHertz) {
    // Period 4640 (half a semitone below C-4) is table entry 519994 shifted
    // down by 6 octaves: 8124.91 Hz. Over a second the steps add up to the
    // entry with its fraction (33279616 4096ths of a frame), not to 8124
    // whole hertz (33275904), by the octave count Fasttracker 2 forms too.
    for (const TQuavixBehaviours Behaviours : {TQuavixBehaviours{}, TQuavixBehaviours{TQuavixBehaviour::PeriodWrapsSlidingDown}}) {
        const TStepRun R = Run(4640, Behaviours);
        EXPECT_EQ(R.Frequency, 8124);
        EXPECT_EQ(R.Sum, 519994 * 64);
    }
}

TEST_F(UpdateVoice, AmigaStepsKeepTheFractionOfAHertz) {
    // Period 1713 is 8358.12 Hz by the NTSC clock: over a second at 44100 Hz
    // the steps add up to the clock divided once by the period, in 4096ths
    // of a frame (34234851), not to 8358 whole hertz (34234368).
    Module.Clear();
    Module.LinearSlides = false;
    Module.SampleRate = 44100;
    AddInstrument(1);
    TQuavixChannel& C = Channel();
    C.TriggerNote(MakeCell(C4, 1));
    int64_t Sum = 0;
    for (int32_t Tick = 0; Tick < 44100; ++Tick) {
        C.Period = 1713;
        C.Active = true;
        C.UpdateVoice();
        Sum += C.Increment;
    }
    EXPECT_EQ(C.Frequency, 8358);
    EXPECT_EQ(Sum, 34234851);
}

TEST_F(UpdateVoice, FourHertzHasNoStepAtAll) {
    // 4 Hz has a step of 0 on every tick, which ends the voice.
    const TStepRun R = Run(17 * 768);
    EXPECT_EQ(R.Frequency, 4);
    EXPECT_EQ(R.Sum, 0);
    EXPECT_EQ(R.Spread, 0);
    EXPECT_EQ(R.Carry, 0);
}

TEST_F(UpdateVoice, SilentVoices) {
    AddInstrument(1).FadeOut = 100;
    TQuavixChannel& C = Channel();
    C.Active = true;
    C.UpdateVoice();
    EXPECT_FALSE(C.Active);  // no instrument
    // A voice that does not sound keeps its output, but its fade-out runs.
    C.TriggerNote(MakeCell(C4, 1));
    C.TriggerNote(MakeCell(quavix_test::KeyOff));
    C.Active = false;
    C.FinalVolume = 77;
    C.UpdateVoice();
    EXPECT_EQ(C.FinalVolume, 77);
    EXPECT_EQ(C.FadeoutVolume, 65536 - 200);
}

}  // namespace
