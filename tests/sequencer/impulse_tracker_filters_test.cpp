// Impulse Tracker's resonant filter as notes and Zxx switch it, each family
// in one table: small IT songs written with the module writer, played tick
// by tick, one value read after each tick. SmallIt plays at speed 6.
#include <gtest/gtest.h>

#include <vector>

#include "song/behaviours.h"
#include "song/commands.h"
#include "song_fixture.h"

using namespace quavix_test;
using quavix_song_test::PlayFile;
using quavix_song_test::Runs;

namespace {

// The cells of channel 0 in SmallIt's pattern, and whether the channel
// filters after each tick.
struct TItFilterCase : TNamedCase {
    std::vector<TItPlacedCell> Placed;
    std::vector<int32_t> Filtering;
};

class ImpulseTrackerFilter : public ::testing::TestWithParam<TItFilterCase> {
protected:
    void Check() {
        const TItFilterCase& T = GetParam();
        TItSong Song = SmallIt();
        Song.Patterns[0].Cells = T.Placed;
        const auto Filtering = [](const TQuavixModule& M) { return M.Channels[0]->FilterValid ? 1 : 0; };
        EXPECT_EQ(PlayFile(WriteIt(Song), static_cast<int32_t>(T.Filtering.size()), Filtering), T.Filtering);
    }
};

// TQuavixBehaviour::FullCutoffLeavesFilter and NoteResetsFilter: a full
// cutoff without resonance turns the filter off only beside a note that
// starts; otherwise it leaves the filter as it runs, and the next note sets
// the filter up from the settings then.
TEST_P(ImpulseTrackerFilter, SwitchesAsImpulseTrackerDoes) { Check(); }
INSTANTIATE_TEST_SUITE_P(
    ImpulseTracker, ImpulseTrackerFilter,
    ::testing::Values(
        TItFilterCase{{"Z7F beside a note turns the filter off"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, Note("C-4"), 1, -1, 'Z', 0x7F)}},
                      Runs({{1, 6}, {0, 3}})},
        TItFilterCase{{"Z7F on its own leaves the filter running"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, 0, 0, -1, 'Z', 0x7F)}},
                      Runs({{1, 9}})},
        TItFilterCase{{"the next note at full cutoff turns the filter off"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, 0, 0, -1, 'Z', 0x7F),
                        ItAt(2, 0, Note("D-4"), 1)}},
                      Runs({{1, 12}, {0, 3}})},
        TItFilterCase{{"the next note below full cutoff filters again"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x7F), ItAt(1, 0, 0, 0, -1, 'Z', 0x30),
                        ItAt(2, 0, Note("D-4"), 1)}},
                      Runs({{0, 6}, {1, 9}})},
        TItFilterCase{{"resonance keeps a full cutoff filtering"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, 0, 0, -1, 'Z', 0x7F),
                        ItAt(2, 0, 0, 0, -1, 'Z', 0x8F), ItAt(3, 0, Note("D-4"), 1)}},
                      Runs({{1, 21}})}),
    TCaseName());

}  // namespace
