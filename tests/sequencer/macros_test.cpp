// MIDI macros: which strings are filter commands, which macro a Zxx runs,
// and when the filter takes new coefficients.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "sequencer/channel.h"
#include "support/case_names.h"
#include "support/module_writer.h"

namespace {

using quavix_test::Fx;
using quavix_test::MakeCell;

// A voice of a player's song, so that the filter has its coefficient table.
class Macros : public ::testing::Test {
protected:
    std::unique_ptr<TQuavix> Player = std::make_unique<TQuavix>(TQuavixSettings::Offline(44100, 256));
    TQuavixChannel& C = *Player->Module->Channels[0];

    void Parse(const std::string& Macro, int32_t Value) {
        std::array<char, 32> Slot{};
        Macro.copy(Slot.data(), Slot.size());
        C.ParseMacro(Slot, Value, false);
    }
    TQuavix::TFilterCoefficients Entry(int32_t Resonance, int32_t Cutoff, int32_t Mode = 0) const {
        // The table's 12-bit entry in the filter's 24-bit fixed point.
        TQuavix::TFilterCoefficients E = Player->FilterTable[Resonance][Cutoff];
        for (int32_t& K : E) K *= 4096;
        if (Mode == 1) E[0] = (1 << 24) - E[0];
        return E;
    }
};

struct TParseCase : quavix_test::TNamedCase {
    const char* Macro;
    int32_t Value;
    bool Valid;
    int32_t Cutoff, Resonance, Mode;
};

std::vector<TParseCase> FilterCommandCases() {
    return {
        {"the cutoff from the parameter", "F0F000z", 0x30, true, 48, 0, 0},
        {"command letters of either case", "f0f000Z", 0x30, true, 48, 0, 0},
        {"the resonance from the parameter", "F0F001z", 0x50, true, 127, 80, 0},
        {"the cutoff in two digits", "F0F00040", 0, true, 64, 0, 0},
        {"high-pass", "F0F00210", 0, true, 127, 0, 1},
        {"no such mode", "F0F00220", 0, false, 127, 0, 0},
        {"a cutoff out of range does nothing", "F0F00090", 0, false, 127, 0, 0},
        {"a resonance out of range still starts the filter", "F0F00190", 0, true, 127, 0, 0},
        {"lower-case letters are no digits", "F0F000a0", 0, true, 0, 0, 0},
        {"a missing first digit counts -1", "F0F0x1z", 0x30, true, 48, 0, 0},
        {"a command the player does not know", "F0F003z", 0x30, false, 127, 0, 0},
        {"a string that does not start F0F0", "F1F000z", 0x30, false, 127, 0, 0},
        {"a string cut short", "F0F0", 0x30, false, 127, 0, 0},
    };
}

class MacrosFilterCommands : public Macros, public ::testing::WithParamInterface<TParseCase> {};

TEST_P(MacrosFilterCommands, FilterCommands) {
    const TParseCase& T = GetParam();
    C.Reset();
    C.FilterHistory = {1, 2, 3, 4};
    Parse(T.Macro, T.Value);
    EXPECT_EQ(C.FilterValid, T.Valid);
    EXPECT_EQ(C.FilterCutoff, T.Cutoff);
    EXPECT_EQ(C.FilterResonance, T.Resonance);
    EXPECT_EQ(C.FilterMode, T.Mode);
    if (T.Valid) {
        EXPECT_EQ(C.FilterCoefficients, Entry(T.Resonance, T.Cutoff, T.Mode));
        // The first setup starts the filter from rest; a later one keeps its history.
        EXPECT_EQ(C.FilterHistory, (std::array<int32_t, 4>{0, 0, 0, 0}));
        C.FilterHistory = {1, 2, 3, 4};
        Parse("F0F000z", 0x10);
        EXPECT_EQ(C.FilterHistory, (std::array<int32_t, 4>{1, 2, 3, 4}));
    }
}
INSTANTIATE_TEST_SUITE_P(Macros, MacrosFilterCommands, ::testing::ValuesIn(FilterCommandCases()),
                         quavix_test::TCaseName());

struct TSelectCase : quavix_test::TNamedCase {
    int32_t Select, Parameter, Cutoff, Resonance;
};

std::vector<TSelectCase> ZxxCases() {
    return {
        {"macro 0 sets the cutoff", 0, 0x30, 48, 0},
        {"macro 1 chosen by EF1 sets the resonance", 1, 0x30, 127, 48},
        {"an empty macro", 2, 0x30, 127, 0},
        {"fixed macro 8F sets resonance 78", 0, 0x8F, 127, 120},
        {"an empty fixed macro", 0, 0xFF, 127, 0},
    };
}

class MacrosZxxChoosesTheMacro : public Macros, public ::testing::WithParamInterface<TSelectCase> {};

TEST_P(MacrosZxxChoosesTheMacro, ZxxChoosesTheMacro) {
    const TSelectCase& T = GetParam();
    Player->Module->SetMidiMacro(TQuavixMacroSlot::FirstParameterised + 1, "F0F001z");
    C.Reset();
    for (const TQuavixPatternNote& Cell : {MakeCell(0, 0, 0, Fx('E'), 0xF0 + T.Select), MakeCell(0, 0, 0, Fx('Z'), T.Parameter)}) {
        C.CurrentNote = Cell;
        C.ProcessRow();
    }
    EXPECT_EQ(C.FilterCutoff, T.Cutoff);
    EXPECT_EQ(C.FilterResonance, T.Resonance);
}
INSTANTIATE_TEST_SUITE_P(Macros, MacrosZxxChoosesTheMacro, ::testing::ValuesIn(ZxxCases()), quavix_test::TCaseName());

struct TRampCase : quavix_test::TNamedCase {
    int32_t Volume, RampLeft, RampRight, OutputChannels, NewCutoff;
    bool Loaded;
};

std::vector<TRampCase> RampCases() {
    return {
        {"silent and ramping: a jump waits", 0, 4096, 4096, 2, 50, false},
        {"a step of less than 16", 0, 4096, 4096, 2, 90, true},
        {"a voice that sounds", 10, 4096, 4096, 2, 50, true},
        {"no ramp on the left", 0, 0, 4096, 2, 50, true},
        {"no ramp on the right", 0, 4096, 0, 2, 50, true},
        {"mono output has no right side", 0, 4096, 0, 1, 50, false},
    };
}

class MacrosASilentRampingVoiceKeepsItsCoefficientsThroughAJump : public Macros,
                                                                  public ::testing::WithParamInterface<TRampCase> {};

TEST_P(MacrosASilentRampingVoiceKeepsItsCoefficientsThroughAJump, ASilentRampingVoiceKeepsItsCoefficientsThroughAJump) {
    const TRampCase& T = GetParam();
    Player->Module->OutputChannels = T.OutputChannels;  // as a player of that output sets it
    C.Reset();
    Parse("F0F000z", 100);
    C.Volume = T.Volume;
    C.RampLeft = T.RampLeft;
    C.RampRight = T.RampRight;
    Parse("F0F000z", T.NewCutoff);
    EXPECT_EQ(C.FilterCutoff, T.NewCutoff);
    EXPECT_EQ(C.FilterCoefficients, Entry(0, T.Loaded ? T.NewCutoff : 100));
}
INSTANTIATE_TEST_SUITE_P(Macros, MacrosASilentRampingVoiceKeepsItsCoefficientsThroughAJump,
                         ::testing::ValuesIn(RampCases()), quavix_test::TCaseName());

}  // namespace
