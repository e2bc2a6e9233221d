#include <gtest/gtest.h>


#include "song/commands.h"
#include "song/pattern.h"
#include "support/case_names.h"

namespace {

// A cell that tells where it was written.
TQuavixPatternNote Marked(int32_t Row, int32_t Channel) {
    TQuavixPatternNote Cell;
    Cell.Note = 1 + Row % 96;
    Cell.Instrument = 1 + Channel;
    Cell.VolumeCommand = TQuavixVolumeCommand::SetVolume;
    Cell.VolumeParameter = static_cast<uint8_t>(Row & 63);
    Cell.Effect = Channel % 36;
    Cell.EffectParameter = (Row * 7 + Channel) & 255;
    return Cell;
}

void Fill(TQuavixPattern& P) {
    for (int32_t r = 0; r < P.Rows; ++r)
        for (int32_t c = 0; c < P.Channels; ++c) P.SetNote(r, c, Marked(r, c));
}

TQuavixPatternNote Get(const TQuavixPattern& P, int32_t Row, int32_t Channel) {
    TQuavixPatternNote Cell;
    Cell.Note = 99;  // must be overwritten, also with the empty cell
    P.GetNote(Cell, Row, Channel);
    return Cell;
}

struct TResizeCase : quavix_test::TNamedCase {
    int32_t Rows, Channels, NewRows, NewChannels;
};

const TResizeCase ResizeCases[] = {
    {"fewer rows, more channels", 64, 4, 32, 8},
    {"more rows, fewer channels", 32, 8, 64, 4},
    {"same size", 16, 2, 16, 2},
    {"grow a lot", 1, 1, 256, 32},
};

class PatternResizeKeepsTheSharedCells : public ::testing::TestWithParam<TResizeCase> {};

TEST_P(PatternResizeKeepsTheSharedCells, ResizeKeepsTheSharedCells) {
    const TResizeCase& C = GetParam();
    TQuavixPattern P;
    P.Resize(C.Rows, C.Channels);
    Fill(P);
    P.Resize(C.NewRows, C.NewChannels);
    ASSERT_EQ(P.Rows, C.NewRows);
    ASSERT_EQ(P.Channels, C.NewChannels);
    ASSERT_EQ(P.Notes.size(), static_cast<size_t>(C.NewRows * C.NewChannels));
    for (int32_t r = 0; r < C.NewRows; ++r)
        for (int32_t c = 0; c < C.NewChannels; ++c) {
            bool Kept = r < C.Rows && c < C.Channels;
            EXPECT_EQ(Get(P, r, c), Kept ? Marked(r, c) : TQuavixPatternNote()) << r << "," << c;
        }
}
INSTANTIATE_TEST_SUITE_P(Pattern, PatternResizeKeepsTheSharedCells, ::testing::ValuesIn(ResizeCases),
                         quavix_test::TCaseName());

// A place given as a row and a channel.
struct TPlaceCase : quavix_test::TNamedCase {
    int32_t Row, Channel;
};

// Sizes that leave a pattern of 8 rows and 4 channels without cells; the
// channel count is kept in a byte, so 256 channels are none.
const TPlaceCase EmptySizes[] = {
    {"no rows", 0, 4},
    {"rows below zero", -3, 4},
    {"no channels", 64, 0},
    {"256 channels", 64, 256},
};

class PatternResizeToNothingEmptiesTheCells : public ::testing::TestWithParam<TPlaceCase> {};

TEST_P(PatternResizeToNothingEmptiesTheCells, ResizeToNothingEmptiesTheCells) {
    TQuavixPattern P;
    P.Resize(8, 4);
    Fill(P);
    P.Resize(GetParam().Row, GetParam().Channel);
    EXPECT_TRUE(P.Notes.empty());
    EXPECT_EQ(Get(P, 0, 0), TQuavixPatternNote());
}
INSTANTIATE_TEST_SUITE_P(Pattern, PatternResizeToNothingEmptiesTheCells, ::testing::ValuesIn(EmptySizes),
                         quavix_test::TCaseName());

// Places outside a pattern of 4 rows and 2 channels.
const TPlaceCase Outside[] = {
    {"the row after the last", 4, 0},
    {"a row below zero", -1, 0},
    {"a channel below zero", 0, -1},
    {"the cell after the last", 3, 2},
    {"far past the rows", 1000000, 1},
    {"the largest row and channel", 0x7FFFFFFF, 0x7FFFFFFF},
};

class PatternOutOfRangeCellsReadEmptyAndIgnoreWrites : public ::testing::TestWithParam<TPlaceCase> {};

TEST_P(PatternOutOfRangeCellsReadEmptyAndIgnoreWrites, OutOfRangeCellsReadEmptyAndIgnoreWrites) {
    TQuavixPattern P;
    P.Resize(4, 2);
    Fill(P);
    EXPECT_EQ(Get(P, GetParam().Row, GetParam().Channel), TQuavixPatternNote());
    P.SetNote(GetParam().Row, GetParam().Channel, Marked(1, 1));
    for (int32_t r = 0; r < 4; ++r)
        for (int32_t c = 0; c < 2; ++c) EXPECT_EQ(Get(P, r, c), Marked(r, c)) << r << "," << c;
}
INSTANTIATE_TEST_SUITE_P(Pattern, PatternOutOfRangeCellsReadEmptyAndIgnoreWrites, ::testing::ValuesIn(Outside),
                         quavix_test::TCaseName());

TEST(Pattern, AChannelPastTheChannelsReachesALaterRow) {
    // A channel number beyond the pattern's channels is not rejected by
    // itself: the cell index lands in a later row.
    TQuavixPattern P;
    P.Resize(4, 2);
    Fill(P);
    EXPECT_EQ(Get(P, 0, 3), Marked(1, 1));
    P.SetNote(0, 3, Marked(3, 1));
    EXPECT_EQ(Get(P, 1, 1), Marked(3, 1));
}

TEST(Pattern, ClearEmptiesCellsButKeepsTheSize) {
    TQuavixPattern P;
    P.Name = "Intro";
    P.Resize(4, 2);
    Fill(P);
    P.Clear();
    EXPECT_EQ(P.Name, "");
    EXPECT_EQ(P.Rows, 4);
    EXPECT_EQ(P.Channels, 2);
    EXPECT_EQ(Get(P, 1, 1), TQuavixPatternNote());
    P.SetNote(1, 1, Marked(1, 1));
    EXPECT_EQ(Get(P, 1, 1), TQuavixPatternNote());
}

}  // namespace
