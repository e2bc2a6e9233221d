// Impulse Tracker's effect letters, each family in one table: small IT songs
// written with the module writer, played tick by tick, one value read after
// each tick. SmallIt plays at speed 6, in sample mode with linear slides; its
// sample loops 64 frames at volume 64.
#include <gtest/gtest.h>

#include <vector>

#include "song/behaviours.h"
#include "song/commands.h"
#include "song_fixture.h"

using namespace quavix_test;
using quavix_song_test::Join;
using quavix_song_test::PlayFile;
using quavix_song_test::Runs;
using quavix_song_test::TProbe;

namespace {

struct TItEffectCase : TNamedCase {
    TItSong Song;
    TProbe Probe;
    std::vector<int32_t> Expected;
};

constexpr uint16_t OldEffects = 0x19;  // stereo, linear slides, old effects

TItSong Cells(std::vector<TItPlacedCell> Placed, uint16_t Flags = 0x09) {
    TItSong Song = SmallIt();
    Song.Flags = Flags;
    Song.Patterns[0].Cells = std::move(Placed);
    return Song;
}

// The pitch the tick's effects add, in 64ths of a semitone (negative: up).
int32_t PitchOffset(const TQuavixModule& M) { return M.Channels[0]->PeriodOffset; }

class ImpulseTrackerEffect : public ::testing::TestWithParam<TItEffectCase> {
protected:
    void Check() {
        const TItEffectCase& T = GetParam();
        EXPECT_EQ(PlayFile(WriteIt(T.Song), static_cast<int32_t>(T.Expected.size()), T.Probe), T.Expected);
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

}  // namespace
