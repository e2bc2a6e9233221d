// Scream Tracker 3's rules, each family in one table: small S3M songs written
// with the module writer, played tick by tick, one value read after each
// tick. SmallS3m plays at speed 6; its sample loops 64 frames at volume 64.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "song/behaviours.h"
#include "song/commands.h"
#include "song_fixture.h"

using namespace quavix_test;
using quavix_song_test::PlayFile;
using quavix_song_test::Runs;
using quavix_song_test::TProbe;

namespace {

struct TRuleCase : TNamedCase {
    TS3mSong Song;
    TProbe Probe;
    std::vector<int32_t> Expected;
};

TS3mSong Cells(std::vector<TS3mPlacedCell> Placed, uint16_t Flags = 0) {
    TS3mSong Song = SmallS3m();
    Song.Flags = Flags;
    Song.Patterns[0].Cells = std::move(Placed);
    return Song;
}

int32_t Volume(const TQuavixModule& M) { return M.Channels[0]->Volume; }
int32_t Period(const TQuavixModule& M) { return M.Channels[0]->Period; }
int32_t RowPlayed(const TQuavixModule& M) { return M.PlayingRow; }
int32_t Frames(const TQuavixModule& M) { return M.Channels[0]->Position >> 12; }
int32_t Sounding(const TQuavixModule& M) { return M.Channels[0]->Active ? 1 : 0; }
// (The mixer alone moves the sample position: between ticks it stays.)

class ScreamTrackerRule : public ::testing::TestWithParam<TRuleCase> {
protected:
    void Check() {
        const TRuleCase& T = GetParam();
        EXPECT_EQ(PlayFile(WriteS3m(T.Song), static_cast<int32_t>(T.Expected.size()), T.Probe), T.Expected);
    }
};

// Dxy: x up where y is 0 or F, y down where x is 0 or F; a 0 slides on the
// later ticks, an F on the first (D0F and DF0 on every tick); D12 does
// nothing. FastVolumeSlides (header flag 0x40) slides on every tick.
class ScreamTrackerVolumeSlides : public ScreamTrackerRule {};
TEST_P(ScreamTrackerVolumeSlides, ByTheNibbles) { Check(); }
INSTANTIATE_TEST_SUITE_P(ScreamTracker3, ScreamTrackerVolumeSlides, ::testing::Values(
    TRuleCase{{"D04 on the later ticks"}, Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'D', 0x04)}), Volume,
              {40, 36, 32, 28, 24, 20}},
    TRuleCase{{"D0F on every tick"}, Cells({S3mAt(0, 0, Note("C-4"), 1, 60, 'D', 0x0F)}), Volume,
              {45, 30, 15, 0, 0, 0}},
    TRuleCase{{"DF2 fine, once"}, Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'D', 0xF2)}), Volume, Runs({{38, 6}})},
    TRuleCase{{"D3F fine up, once"}, Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'D', 0x3F)}), Volume, Runs({{43, 6}})},
    TRuleCase{{"D12 nothing"}, Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'D', 0x12)}), Volume, Runs({{40, 6}})},
    TRuleCase{{"fast slides on the first tick too"}, Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'D', 0x04)}, 0x40),
              Volume, {36, 32, 28, 24, 20, 16}},
    // TQuavixBehaviour::CombinedSlidesSkipFirstTick, in files ST3 saved.
    TRuleCase{{"K0F on the later ticks only"}, Cells({S3mAt(0, 0, Note("C-4"), 1, 60, 'K', 0x0F)}), Volume,
              {60, 45, 30, 15, 0, 0}},
    TRuleCase{{"LF1 fine slide does nothing"}, Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'L', 0xF1)}), Volume,
              Runs({{40, 6}})},
    TRuleCase{{"LF1 slides finely in another tracker's file"},
              [] {
                  TS3mSong Song = Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'L', 0xF1)});
                  Song.TrackerVersion = 0x3216;
                  return Song;
              }(),
              Volume, Runs({{39, 6}})}),
    TCaseName());

// TQuavixBehaviour::SharedEffectMemory: a parameter of 0 takes the last
// nonzero one of any letter on the channel; G keeps its own.
class SharedEffectMemory : public ScreamTrackerRule {};
TEST_P(SharedEffectMemory, AcrossLetters) { Check(); }
INSTANTIATE_TEST_SUITE_P(ScreamTracker3, SharedEffectMemory, ::testing::Values(
    TRuleCase{{"D00 after D02"},
              Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'D', 0x02), S3mAt(1, 0, 0, 0, -1, 'D', 0x00)}), Volume,
              {40, 38, 36, 34, 32, 30, 30, 28, 26, 24, 22, 20}},
    TRuleCase{{"D00 after a fine portamento EF1 slides finely"},
              Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'E', 0xF1), S3mAt(1, 0, 0, 0, -1, 'D', 0x00)}), Volume,
              Runs({{40, 6}, {39, 6}})},
    TRuleCase{{"E00 after a volume slide D02 slides the period by 8"},
              Cells({S3mAt(0, 0, Note("C-4"), 1, 40, 'D', 0x02), S3mAt(1, 0, 0, 0, -1, 'E', 0x00)}), Period,
              Runs({{1712, 6}, {1712, 1}, {1720, 1}, {1728, 1}, {1736, 1}, {1744, 1}, {1752, 1}})}),
    TCaseName());

// Rows: TQuavixBehaviour::FirstRowDelayCounts (the first SEx that delays),
// S6x adding ticks to the row, and TQuavixBehaviour::LoopStartResetsPerPattern.
class ScreamTrackerRows : public ScreamTrackerRule {};
TEST_P(ScreamTrackerRows, AsScreamTracker3PlaysThem) { Check(); }
INSTANTIATE_TEST_SUITE_P(ScreamTracker3, ScreamTrackerRows, ::testing::Values(
    TRuleCase{{"the first row delay counts"},
              Cells({S3mAt(0, 0, 0, 0, -1, 'S', 0xE1), S3mAt(0, 1, 0, 0, -1, 'S', 0xE3)}), RowPlayed,
              Runs({{0, 12}, {1, 6}})},
    TRuleCase{{"SE0 leaves the choice to the next"},
              Cells({S3mAt(0, 0, 0, 0, -1, 'S', 0xE0), S3mAt(0, 1, 0, 0, -1, 'S', 0xE1)}), RowPlayed,
              Runs({{0, 12}, {1, 6}})},
    TRuleCase{{"S6x ticks add up"},
              Cells({S3mAt(0, 0, 0, 0, -1, 'S', 0x62), S3mAt(0, 1, 0, 0, -1, 'S', 0x61)}), RowPlayed,
              Runs({{0, 9}, {1, 6}})}),
    TCaseName());

// Pitch: TQuavixBehaviour::PeriodsFromC2Speed (ST3's period of the note
// scaled to the C2 speed, truncated) and TQuavixBehaviour::PeriodHeldBelow32768.
class ScreamTrackerPeriods : public ScreamTrackerRule {};
TEST_P(ScreamTrackerPeriods, AsScreamTracker3FormsThem) { Check(); }
INSTANTIATE_TEST_SUITE_P(ScreamTracker3, ScreamTrackerPeriods, ::testing::Values(
    TRuleCase{{"C-4 at 8363"}, Cells({S3mAt(0, 0, Note("C-4"), 1)}), Period, Runs({{1712, 3}})},
    TRuleCase{{"B-4 at 8363 from 907"}, Cells({S3mAt(0, 0, Note("B-4"), 1)}), Period, Runs({{907, 3}})},
    TRuleCase{{"C-4 at 11025 truncated"},
              [] {
                  TS3mSong Song = Cells({S3mAt(0, 0, Note("C-4"), 1)});
                  Song.Instruments[0].C2Speed = 11025;
                  return Song;
              }(),
              Period, Runs({{1298, 3}})},
    TRuleCase{{"a low note holds at 32767"},
              [] {
                  TS3mSong Song = Cells({S3mAt(0, 0, Note("A-2"), 1)});
                  Song.Instruments[0].C2Speed = 1024;
                  return Song;
              }(),
              Period, Runs({{32767, 3}})},
    TRuleCase{{"a slide down stops at 32767"},
              [] {
                  TS3mSong Song = Cells({S3mAt(0, 0, Note("C-3"), 1, -1, 'E', 0xDF), S3mAt(1, 0, 0, 0, -1, 'E', 0)});
                  Song.Instruments[0].C2Speed = 1024;
                  return Song;
              }(),
              Period, {27963, 28855, 29747, 30639, 31531, 32423, 32423, 32767}}),
    TCaseName());

// Notes: TQuavixBehaviour::OffsetRecalledWithoutInstrument, Qxy's ticks and
// after a note cut, and the panbrello of later trackers.
class ScreamTrackerNotes : public ScreamTrackerRule {};
TEST_P(ScreamTrackerNotes, AsScreamTracker3PlaysThem) { Check(); }
INSTANTIATE_TEST_SUITE_P(ScreamTracker3, ScreamTrackerNotes, ::testing::Values(
    TRuleCase{{"a note without instrument starts at the last offset"},
              [] {
                  TS3mSong Song = Cells({S3mAt(0, 0, Note("C-4"), 1, -1, 'O', 0x01), S3mAt(1, 0, Note("C-4"))});
                  Song.Instruments[0] = S3mSample8(std::vector<int32_t>(1024, 10));
                  return Song;
              }(),
              Frames, Runs({{256, 12}})},
    TRuleCase{{"an instrument number starts from the beginning"},
              [] {
                  TS3mSong Song = Cells({S3mAt(0, 0, Note("C-4"), 1, -1, 'O', 0x01), S3mAt(1, 0, Note("C-4"), 1)});
                  Song.Instruments[0] = S3mSample8(std::vector<int32_t>(1024, 10));
                  return Song;
              }(),
              Frames, Runs({{256, 6}, {0, 6}})},
    TRuleCase{{"retrigger on every y-th tick after the first, the volume changed"},
              Cells({S3mAt(0, 0, Note("C-4"), 1, 40), S3mAt(1, 0, 0, 0, -1, 'Q', 0x12)}), Volume,
              Runs({{40, 6}, {40, 2}, {39, 2}, {38, 2}})},
    TRuleCase{{"Yxy panbrello swings the panning from its first tick"},
              Cells({S3mAt(0, 0, Note("C-4"), 1, -1, 'Y', 0x48)}),
              [](const TQuavixModule& M) { return M.Channels[0]->FinalPanning; }, {56, 80, 105, 130, 153, 176}},
    TRuleCase{{"retrigger after a note cut stays silent"},
              Cells({S3mAt(0, 0, Note("C-4"), 1), S3mAt(1, 0, S3mNoteCut), S3mAt(2, 0, 0, 0, -1, 'Q', 0x01)}), Sounding,
              Runs({{1, 6}, {0, 12}})}),
    TCaseName());

}  // namespace
