#include <gtest/gtest.h>

#include "song/pattern.h"

namespace {

// A cell that tells where it was written.
TQuavixPatternNote Marked(int32_t Row, int32_t Channel) {
    TQuavixPatternNote Cell;
    Cell.Note = 1 + Row % 96;
    Cell.Instrument = 1 + Channel;
    Cell.Volume = 0x10 + Row;
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

TEST(Pattern, ResizeKeepsTheSharedCells) {
    struct Case {
        int32_t Rows, Channels, NewRows, NewChannels;
    };
    const Case Cases[] = {
        {64, 4, 32, 8},   // fewer rows, more channels
        {32, 8, 64, 4},   // more rows, fewer channels
        {16, 2, 16, 2},   // same size
        {1, 1, 256, 32},  // grow a lot
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Rows << "x" << C.Channels << " -> " << C.NewRows << "x" << C.NewChannels);
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
}

TEST(Pattern, ResizeToNothingEmptiesTheCells) {
    const int32_t Sizes[][2] = {{0, 4}, {-3, 4}, {64, 0}, {64, 256}};
    for (const auto& Size : Sizes) {
        TQuavixPattern P;
        P.Resize(8, 4);
        Fill(P);
        P.Resize(Size[0], Size[1]);
        EXPECT_TRUE(P.Notes.empty()) << Size[0] << "x" << Size[1];
        EXPECT_EQ(Get(P, 0, 0), TQuavixPatternNote());
    }
}

TEST(Pattern, OutOfRangeCellsReadEmptyAndIgnoreWrites) {
    TQuavixPattern P;
    P.Resize(4, 2);
    Fill(P);
    const int32_t Outside[][2] = {{4, 0}, {-1, 0}, {0, -1}, {3, 2}, {1000000, 1}, {0x7FFFFFFF, 0x7FFFFFFF}};
    for (const auto& At : Outside) {
        EXPECT_EQ(Get(P, At[0], At[1]), TQuavixPatternNote()) << At[0] << "," << At[1];
        P.SetNote(At[0], At[1], Marked(1, 1));
    }
    for (int32_t r = 0; r < 4; ++r)
        for (int32_t c = 0; c < 2; ++c) EXPECT_EQ(Get(P, r, c), Marked(r, c));

    // A channel number beyond the pattern's channels is not rejected by
    // itself: the cell index lands in a later row.
    EXPECT_EQ(Get(P, 0, 3), Marked(1, 1));
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
