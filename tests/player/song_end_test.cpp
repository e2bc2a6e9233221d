// Where a song ends: the first row played again in a pass, outside a pattern
// loop. Driven here by the playing position a sequencer reports after each
// tick; the songs themselves are played in the render tests of the tool.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "player/song_end.h"
#include "sequencer/channel.h"
#include "song/module.h"
#include "support/case_names.h"

namespace {

// One tick as the sequencer leaves it.
struct TTick {
    int32_t Order, Row;
    bool NewRow = true;    // the tick started a row (else it plays one on)
    int32_t LoopRow = -1;  // after the row: channel 1's running pattern loop goes back to this row
    bool Ends = false;     // expected: the pass ends here
};

struct TSongEndCase : quavix_test::TNamedCase {
    std::vector<TTick> Ticks;
    int32_t Ends;
};

std::vector<TSongEndCase> SongEndCases() {
    return {
        {"straight through to the restart",
         {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 0, true, -1, true}, {0, 1}, {1, 0}, {1, 1}, {0, 0, true, -1, true}},
         2},
        {"restart position 1",
         {{0, 0}, {1, 0}, {2, 0}, {1, 0, true, -1, true}, {2, 0}, {1, 0, true, -1, true}},
         2},
        {"backward jump to the middle of an order",
         {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 1, true, -1, true}, {0, 2}, {0, 3}},
         1},
        {"inner ticks and pattern-delay repeats are not new rows",
         {{0, 0}, {0, 0, false}, {0, 0, false}, {0, 1}, {0, 1, false}, {0, 0, true, -1, true}},
         1},
        {"a pattern loop repeats its rows without ending the song",
         // The last pass through the row that ends the loop stops it.
         {{0, 0}, {0, 1}, {0, 2, true, 1}, {0, 1, true, 1}, {0, 2, true, 1}, {0, 1, true, 1}, {0, 2}, {0, 3},
          {0, 0, true, -1, true}},
         1},
        {"a loop left active by a jump does not hide the end in another order",
         {{0, 0}, {0, 1, true, 0}, {1, 0, true, 0}, {0, 0, true, 0, true}},
         1},
        {"a loop going back to another row is no loop pass",
         {{0, 0}, {0, 1}, {0, 2, true, 2}, {0, 1, true, 2, true}},
         1},
        {"positions outside the order list are not counted",
         {{0, 0}, {-1, -1}, {-1, -1}, {0, 0, true, -1, true}},
         1},
    };
}

class SongEndFirstRowPlayedAgainInAPassEndsIt : public ::testing::TestWithParam<TSongEndCase> {};

TEST_P(SongEndFirstRowPlayedAgainInAPassEndsIt, FirstRowPlayedAgainInAPassEndsIt) {
    const TSongEndCase& Case = GetParam();
    std::unique_ptr<TQuavixModule> Module(new TQuavixModule());
    Module->NumChannels = 4;
    TQuavixSongEnd Watch;
    Watch.Start(2);
    int64_t SecondEnd = -1;  // ticks begin at frames 0, 100, 200 ...
    for (size_t i = 0; i < Case.Ticks.size(); ++i) {
        const TTick& Tick = Case.Ticks[i];
        Module->PlayingOrder = Tick.Order;
        Module->PlayingRow = Tick.Row;
        Module->TickCounter = Tick.NewRow ? 0 : 1;
        Module->Channels[1]->PatternLoopActive = Tick.LoopRow >= 0;
        Module->Channels[1]->PatternLoopRow = Tick.LoopRow >= 0 ? Tick.LoopRow : 0;
        EXPECT_EQ(Watch.AfterTick(*Module, 100 * static_cast<int64_t>(i)), Tick.Ends) << Case.Name << ", tick " << i;
        if (Tick.Ends) {
            EXPECT_EQ(Watch.LastEndFrame, 100 * static_cast<int64_t>(i)) << Case.Name;
            if (Watch.Ends == 2) SecondEnd = 100 * static_cast<int64_t>(i);
        }
    }
    EXPECT_EQ(Watch.Ends, Case.Ends) << Case.Name;
    EXPECT_EQ(Watch.StopFrame.load(), SecondEnd) << Case.Name;
    Watch.Start();
    EXPECT_EQ(Watch.Ends, 0);
}
INSTANTIATE_TEST_SUITE_P(SongEnd, SongEndFirstRowPlayedAgainInAPassEndsIt, ::testing::ValuesIn(SongEndCases()),
                         quavix_test::TCaseName());

}  // namespace
