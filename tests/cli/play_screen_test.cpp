// What quavix play draws, as text: the pattern view, the channel meters, and
// a block of lines that is written again only where it changed.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "play_screen.h"
#include "player/quavix.h"
#include "song/module.h"
#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_test;
using quavix_cli::TScreenLine;

namespace {

struct TPatternViewCase : quavix_test::TNamedCase {
    int32_t Row, Width, Rows;
    std::vector<std::string> Lines;
    int Current;
};

std::vector<TPatternViewCase> PatternViewCases() {
    return {
        {"two channels fit in 40 columns and the row before the first is blank", 0, 40, 4,
         {"     | 1           | 2 muted     ", "", ">  0 |C-4 01 40 A0F|... .. .. ...",
          "   1 |... .. .. ...|=== .. -5 ..."},
         2},
        {"all five channels fit in 80 columns", 2, 80, 3,
         {"     | 1           | 2 muted     | 3           | 4           | 5           ",
          "   1 |... .. .. ...|=== .. -5 ...|... .. .. ...|... .. .. ...|... .. .. ...",
          ">  2 |... .. .. ...|... .. .. ...|... .. .. ...|... .. .. ...|F#2 0C .. Z80"},
         2},
        {"past the pattern's last row blank lines", 7, 34, 4,
         {"     | 1           | 2 muted     ", "   6 |... .. .. ...|... .. .. ...",
          ">  7 |... .. .. ...|... .. .. ...", ""},
         2},
    };
}

// Order 0 plays pattern 1: 8 rows of five channels; the view shows channel 2 muted.
class PatternViewRowsAroundTheCurrentOneForTheChannelsThatFit
    : public ::testing::TestWithParam<TPatternViewCase> {
protected:
    void SetUp() override {
        TXmSong Song = SmallXm();
        Song.Channels = 5;
        Song.Orders = {1, 0};
        Song.Patterns = {TXmPattern(64, {}),
                         TXmPattern(8, {At(0, 0, Note("C-4"), 1, 0x50, Fx('A'), 0x0F), At(1, 1, KeyOff, 0, 0x65),
                                        At(2, 4, Note("F#2"), 12, 0, Fx('Z'), 0x80), At(7, 2, Note("B-7"), 0, 0xF3)})};
        Module.reset(new TQuavixModule());
        ASSERT_TRUE(LoadBytes(*Module, WriteXm(Song)));
    }

    std::unique_ptr<TQuavixModule> Module;
};

TEST_P(PatternViewRowsAroundTheCurrentOneForTheChannelsThatFit, RowsAroundTheCurrentOneForTheChannelsThatFit) {
    const TPatternViewCase& Case = GetParam();
    int Current = -1;
    const std::vector<std::string> Lines =
        quavix_cli::PatternView(*Module, 0, Case.Row, Case.Width, Case.Rows, {false, true}, Current);
    EXPECT_EQ(Lines, Case.Lines) << "row " << Case.Row << ", width " << Case.Width;
    EXPECT_EQ(Current, Case.Current);
}
INSTANTIATE_TEST_SUITE_P(PatternView, PatternViewRowsAroundTheCurrentOneForTheChannelsThatFit,
                         ::testing::ValuesIn(PatternViewCases()), quavix_test::TCaseName());

TEST(PatternView, CellsShowTheVolumeCommandsAndTheEffectsBeyondZ) {
    using quavix_test::MakeCell;
    EXPECT_EQ(quavix_cli::CellText(MakeCell(KeyOff, 0, 0xF3, TQuavixEffect::SmoothMidiMacro, 0x12)), "=== .. M3 \\12");
    EXPECT_EQ(quavix_cli::CellText(MakeCell(96, 255, 0x8A, 15, 0)), "B-7 FF DA F00");
    EXPECT_EQ(quavix_cli::CellText(MakeCell(1, 1, 0x50, 0, 0)), "C-0 01 40 ...");
}

struct TMeterStepCase : quavix_test::TNamedCase {
    int32_t Peak, Step;
};

// 16 steps of 3 dB, the top at half of full scale.
std::vector<TMeterStepCase> MeterStepCases() {
    return {
        {"full scale tops the bar", 32767, 16},
        {"half of full scale tops the bar", 16384, 16},
        {"6 dB below the top is two steps down", 8192, 14},
        {"12 dB below the top is four steps down", 4096, 12},
        {"42 dB below the top is the second step", 130, 2},
        {"a peak below the lowest step shows nothing", 30, 0},
        {"silence shows nothing", 0, 0},
    };
}

class ChannelMetersAPeakGivesTheStepOfItsLoudness : public ::testing::TestWithParam<TMeterStepCase> {};

TEST_P(ChannelMetersAPeakGivesTheStepOfItsLoudness, APeakGivesTheStepOfItsLoudness) {
    const TMeterStepCase& Case = GetParam();
    EXPECT_EQ(quavix_cli::TChannelMeters::StepOf(Case.Peak), Case.Step) << Case.Peak;
}
INSTANTIATE_TEST_SUITE_P(ChannelMeters, ChannelMetersAPeakGivesTheStepOfItsLoudness,
                         ::testing::ValuesIn(MeterStepCases()), quavix_test::TCaseName());

TEST(ChannelMeters, BarsRiseToAPeakAndFallBackStepByStep) {
    // Plain characters: eighths of a line from '.' to '#'; a muted channel "--".
    quavix_cli::TChannelMeters Meters;
    Meters.Shown = {16, 4, 0, 9, 1};
    EXPECT_EQ(Meters.Lines(17, {false, false, true}, false),
              (std::vector<std::string>{"  ##       .. ", "  ## :: -- ## ", "  01 02 03 04 "}));
    // No peak since: one step down a frame; a new peak: up at once.
    std::vector<int32_t> Peaks = {0, 0};
    const auto TakePeak = [&Peaks](int32_t Channel) { return std::exchange(Peaks[Channel], 0); };
    Meters.Take(2, TakePeak);
    EXPECT_EQ(Meters.Shown, (std::vector<int32_t>{15, 3}));
    Peaks[1] = 16384;
    Meters.Take(2, TakePeak);
    EXPECT_EQ(Meters.Shown, (std::vector<int32_t>{14, 16}));
}

TEST(ScreenBlock, WritesOnlyTheLinesThatChanged) {
    quavix_cli::TScreenBlock Block(false);
    const std::vector<TScreenLine> First = {{"status 1"}, {"meters a"}, {"meters b"}};
    std::string Out = Block.Show(First, 80, 24);
    for (const TScreenLine& Line : First) EXPECT_NE(Out.find(Line.Text), std::string::npos) << Out;
    EXPECT_EQ(Block.Show(First, 80, 24), "") << "nothing changed";
    Out = Block.Show({{"status 2"}, {"meters a"}, {"meters b"}}, 80, 24);
    EXPECT_NE(Out.find("status 2"), std::string::npos);
    EXPECT_EQ(Out.find("meters"), std::string::npos) << "unchanged lines written again";
    // Another width: everything anew, cut to fit.
    Out = Block.Show({{"status 2"}, {"meters a"}, {"meters b"}}, 7, 24);
    EXPECT_NE(Out.find("meters"), std::string::npos);
    EXPECT_EQ(Out.find("meters "), std::string::npos) << "a line as wide as the terminal";
    EXPECT_NE(Block.End().find('\n'), std::string::npos);
    EXPECT_TRUE(Block.Empty());
}

}  // namespace
