// Impulse Tracker's effect letters, each family in one table: small IT songs
// written with the module writer, played tick by tick, one value read after
// each tick. SmallIt plays at speed 6, in sample mode with linear slides; its
// sample loops 64 frames at volume 64.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "song/behaviours.h"
#include "song/commands.h"
#include "song_fixture.h"

using namespace quavix_test;
using quavix_song_test::Join;
using quavix_song_test::LoadRewound;
using quavix_song_test::PlayFile;
using quavix_song_test::PlayTicks;
using quavix_song_test::Runs;
using quavix_song_test::TProbe;

namespace {

struct TItEffectCase : TNamedCase {
    TItSong Song;
    TProbe Probe;
    std::vector<int32_t> Expected;
    // Done to the song's state after its first tick, where a case needs
    // what the mixer would have done meanwhile.
    std::function<void(TQuavixModule&)> AfterFirstTick = nullptr;
};

constexpr uint16_t OldEffects = 0x19;  // stereo, linear slides, old effects

TItSong Cells(std::vector<TItPlacedCell> Placed, uint16_t Flags = 0x09) {
    TItSong Song = SmallIt();
    Song.Flags = Flags;
    Song.Patterns[0].Cells = std::move(Placed);
    return Song;
}

int32_t Volume(const TQuavixModule& M) { return M.Channels[0]->Volume; }
// The pitch the tick's effects add, in 64ths of a semitone (negative: up).
int32_t PitchOffset(const TQuavixModule& M) { return M.Channels[0]->PeriodOffset; }

class ImpulseTrackerEffect : public ::testing::TestWithParam<TItEffectCase> {
protected:
    void Check() {
        const TItEffectCase& T = GetParam();
        if (!T.AfterFirstTick) {
            EXPECT_EQ(PlayFile(WriteIt(T.Song), static_cast<int32_t>(T.Expected.size()), T.Probe), T.Expected);
            return;
        }
        TQuavixModule Module{nullptr};
        ASSERT_TRUE(LoadRewound(Module, WriteIt(T.Song)));
        std::vector<int32_t> Values = PlayTicks(Module, 1, T.Probe);
        T.AfterFirstTick(Module);
        const std::vector<int32_t> Rest = PlayTicks(Module, static_cast<int32_t>(T.Expected.size()) - 1, T.Probe);
        Values.insert(Values.end(), Rest.begin(), Rest.end());
        EXPECT_EQ(Values, T.Expected);
    }
};

// Vibrato: TQuavixBehaviour::VibratoMovesBeforePlaying,
// TQuavixBehaviour::VibratoOnFirstTick, TQuavixBehaviour::VibratoHeldOnFirstTick,
// TQuavixBehaviour::SemitoneVibratoSteps, TQuavixBehaviour::ShallowRisingVibrato
// and TQuavixBehaviour::ColumnVibratosAddUp. The sine peaks at 64; H1F moves
// by (sine x 60) / 64, from 16 on in whole sixteenths.
class ImpulseTrackerVibrato : public ImpulseTrackerEffect {};
TEST_P(ImpulseTrackerVibrato, AsImpulseTrackerPlaysIt) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerVibrato, ::testing::Values(
    TItEffectCase{{"H1F rises first, on every tick, the row's first too"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'H', 0x1F), ItAt(1, 0, 0, 0, -1, 'H', 0x00)}), PitchOffset,
                  {-5, -11, -16, -20, -28, -32, -36}},
    TItEffectCase{{"with old effects H1F falls first, twice as deep, held on the row's first tick"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'H', 0x1F), ItAt(1, 0, 0, 0, -1, 'H', 0x00)}, OldEffects),
                  PitchOffset, {0, 11, 20, 32, 44, 56, 56, 64}},
    TItEffectCase{{"S32 squares the wave between its top and nothing"},
                  Cells({ItAt(0, 0, 0, 0, -1, 'S', 0x32), ItAt(1, 0, Note("C-4"), 1, -1, 'H', 0x8F),
                         ItAt(2, 0, 0, 0, -1, 'H', 0x00)}),
                  PitchOffset, Runs({{0, 6}, {-60, 3}, {0, 4}, {-60, 1}})},
    TItEffectCase{{"S31 ramps down from the top"},
                  Cells({ItAt(0, 0, 0, 0, -1, 'S', 0x31), ItAt(1, 0, Note("C-4"), 1, -1, 'H', 0x4F)}), PitchOffset,
                  Join(Runs({{0, 6}}), {-52, -44, -36, -28, -20, -15})},
    TItEffectCase{{"U1F moves a quarter as far, in 64ths"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'U', 0x1F)}), PitchOffset, {-1, -2, -4, -5, -7, -8}},
    TItEffectCase{{"the volume column's vibrato adds up with H, at its own depth"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, 212, 'H', 0x11)}), PitchOffset, {-9, -23, -36}}),
    TCaseName());

// Retriggers: TQuavixBehaviour::RetriggerCountsAcrossRows and
// TQuavixBehaviour::RetriggerNeedsSoundingVoice. Q9y raises the volume by 1
// at each retrigger.
class ImpulseTrackerRetrigger : public ImpulseTrackerEffect {};
TEST_P(ImpulseTrackerRetrigger, AsImpulseTrackerPlaysIt) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerRetrigger, ::testing::Values(
    TItEffectCase{{"Q93 counts from the note across rows, the row's first tick too"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, 16, 'Q', 0x93), ItAt(1, 0, 0, 0, -1, 'Q', 0x93)}), Volume,
                  Runs({{16, 3}, {17, 3}, {18, 3}, {19, 3}})},
    TItEffectCase{{"a row without Q pauses the count"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, 16, 'Q', 0x94), ItAt(2, 0, 0, 0, -1, 'Q', 0x94)}), Volume,
                  Join(Runs({{16, 4}, {17, 8}}), {17, 17, 18})},
    TItEffectCase{{"a note beside Q starts the count again"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, 16, 'Q', 0x94), ItAt(1, 0, Note("C-4"), 0, -1, 'Q', 0x94)}),
                  Volume, Runs({{16, 4}, {17, 6}, {18, 2}})},
    TItEffectCase{{"a sample played to its end starts nothing again"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, 16, 'Q', 0x92)}), Volume, Runs({{16, 6}}),
                  [](TQuavixModule& M) { M.Channels[0]->Active = false; }}),
    TCaseName());

// TQuavixBehaviour::DelayedVolumeColumnWaits: beside SDy the volume column
// has its first tick on tick y, and slides and vibrates after it only.
class ImpulseTrackerDelayedVolumeColumn : public ImpulseTrackerEffect {};
TEST_P(ImpulseTrackerDelayedVolumeColumn, AsImpulseTrackerPlaysIt) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerDelayedVolumeColumn, ::testing::Values(
    TItEffectCase{{"a fine slide down beside SD3 acts on tick 3"},
                  Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, 84, 'S', 0xD3)}), Volume,
                  Runs({{64, 9}, {55, 3}})},
    TItEffectCase{{"a slide down beside SD3 acts on the ticks after it"},
                  Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, 99, 'S', 0xD3)}), Volume,
                  Join(Runs({{64, 10}}), {60, 56})},
    TItEffectCase{{"a slide down beside SD5 at speed 6 never acts"},
                  Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, 99, 'S', 0xD5)}), Volume, Runs({{64, 12}})},
    TItEffectCase{{"a vibrato beside SD3 waits for tick 3"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'H', 0x4F), ItAt(1, 0, 0, 0, 203, 'S', 0xD3)}), PitchOffset,
                  {-20, -40, -52, -60, -52, -40, 0, 0, 0, -20, 0, 20}}),
    TCaseName());

// Instrument 1 pans to the centre by its own panning, instrument 2 has none;
// channel 0 starts hard left, or in surround.
TItSong PanningInstruments(std::vector<TItPlacedCell> Placed, uint8_t ChannelPanning) {
    TItSong Song = Cells(std::move(Placed));
    Song.ChannelPanning[0] = ChannelPanning;
    TItInstrument Centre;
    Centre.Panning = 32;
    TItInstrument Plain;
    Song.Instruments = {Centre, Plain};
    return Song;
}
constexpr uint8_t Surround = 100;
int32_t Panning(const TQuavixModule& M) { return M.Channels[0]->Panning; }
int32_t InSurround(const TQuavixModule& M) { return M.Channels[0]->Surround ? 1 : 0; }

// TQuavixBehaviour::NotePanningLeavesChannel with the panning effects: a
// panning effect sets the channel's panning, even where it gives the value
// the note's own panning gave, and a note's own panning turns the channel's
// surround off for that note only.
class ImpulseTrackerChannelPanning : public ImpulseTrackerEffect {};
TEST_P(ImpulseTrackerChannelPanning, AsImpulseTrackerPlaysIt) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerChannelPanning, ::testing::Values(
    TItEffectCase{{"a volume-column panning of the note's own value stays the channel's"},
                  PanningInstruments({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, 160), ItAt(2, 0, Note("C-4"), 2)}, 0),
                  Panning, Runs({{128, 18}})},
    TItEffectCase{{"X80 of the note's own value stays the channel's"},
                  PanningInstruments({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, -1, 'X', 0x80),
                                      ItAt(2, 0, Note("C-4"), 2)}, 0),
                  Panning, Runs({{128, 18}})},
    TItEffectCase{{"without an effect the next note returns to the channel's"},
                  PanningInstruments({ItAt(0, 0, Note("C-4"), 1), ItAt(2, 0, Note("C-4"), 2)}, 0), Panning,
                  Runs({{128, 12}, {0, 6}})},
    TItEffectCase{{"a note's own panning leaves surround, the next note without returns to it"},
                  PanningInstruments({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C-4"), 2)}, Surround),
                  InSurround, Runs({{0, 6}, {1, 6}})}),
    TCaseName());

int32_t Sounding(const TQuavixModule& M) { return M.Channels[0]->Active ? 1 : 0; }

// TQuavixBehaviour::LoneInstrumentReplaysStoppedNote with an offset beside
// the number: after a note cut a lone instrument number leaves the voice
// stopped; after a note that stopped by itself it plays the note again.
class ImpulseTrackerLoneNumberOffset : public ImpulseTrackerEffect {};
TEST_P(ImpulseTrackerLoneNumberOffset, AsImpulseTrackerPlaysIt) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerLoneNumberOffset, ::testing::Values(
    TItEffectCase{{"a lone number with O10 after a note cut starts nothing"},
                  Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteCut, 1, -1, 'O', 0x10),
                         ItAt(2, 0, 0, 1, -1, 'O', 0x10)}),
                  Sounding, Runs({{1, 6}, {0, 12}})},
    TItEffectCase{{"a lone number after a stopped note plays it again"},
                  Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 1, -1, 'O', 0x10)}), Sounding, Runs({{1, 1}, {0, 5}, {1, 6}}),
                  [](TQuavixModule& M) { M.Channels[0]->Active = false; }}),
    TCaseName());

int32_t Period(const TQuavixModule& M) { return M.Channels[0]->Period; }
constexpr uint16_t CompatibleGxx = 0x29;  // stereo, linear slides, compatible Gxx

// The volume column's slides beside the effect's:
// TQuavixBehaviour::ColumnSlidesShareMemory, TQuavixBehaviour::LinkedPortamentoMemory
// without compatible Gxx, and TQuavixBehaviour::RowRepeatsStartAfresh. v105..v114
// slide down and v115..v124 up by 4 x a tick (in 16 period units each).
class ImpulseTrackerColumnSlides : public ImpulseTrackerEffect {};
TEST_P(ImpulseTrackerColumnSlides, AsImpulseTrackerPlaysIt) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerColumnSlides, ::testing::Values(
    TItEffectCase{{"v114 beside E02 slides by both"}, Cells({ItAt(0, 0, Note("C-4"), 1, 114, 'E', 0x02)}), Period,
                  {4608, 4760, 4912, 5064, 5216, 5368}},
    TItEffectCase{{"v115 slides by F's step"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'F', 0x02), ItAt(1, 0, 0, 0, 115, 'F', 0x00)}), Period,
                  {4608, 4600, 4592, 4584, 4576, 4568, 4568, 4552, 4536, 4520, 4504, 4488}},
    TItEffectCase{{"v116 leaves its step to F00"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, 116), ItAt(1, 0, 0, 0, -1, 'F', 0x00)}), Period,
                  {4608, 4592, 4576, 4560, 4544, 4528, 4528, 4512, 4496, 4480, 4464, 4448}},
    TItEffectCase{{"G00 takes F's step"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'F', 0x04), ItAt(1, 0, Note("E-4"), 0, -1, 'G', 0x00)}),
                  Period, {4608, 4592, 4576, 4560, 4544, 4528, 4528, 4512, 4496, 4480, 4464, 4448}},
    TItEffectCase{{"with compatible Gxx G00 has a memory of its own"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'F', 0x04), ItAt(1, 0, Note("E-4"), 0, -1, 'G', 0x00)},
                        CompatibleGxx),
                  Period, Join({4608, 4592, 4576, 4560, 4544}, Runs({{4528, 7}}))},
    TItEffectCase{{"v194 beside G04 slides at both speeds"},
                  Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C-3"), 0, 194, 'G', 0x04)}, CompatibleGxx),
                  Period, Join(Runs({{4608, 7}}), {4628, 4648, 4668, 4688, 4708})},
    TItEffectCase{{"a repetition of the row rests on its first tick"},
                  Cells({ItAt(0, 0, Note("C-4"), 1, 114, 'S', 0xE1)}), Period,
                  {4608, 4752, 4896, 5040, 5184, 5328, 5328, 5472, 5616, 5760, 5904, 6048}}),
    TCaseName());

}  // namespace
