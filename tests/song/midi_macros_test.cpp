#include <gtest/gtest.h>

#include <string>

#include "song/module.h"
#include "support/case_names.h"

namespace {

// The slot's 32 bytes as a string, zero bytes included.
std::string Raw(const TQuavixModule& M, int32_t Slot) {
    return std::string(M.MidiMacros[Slot].data(), M.MidiMacros[Slot].size());
}

std::string Padded(const std::string& Text) { return Text + std::string(32 - Text.size(), '\0'); }

struct TDefaultCase : quavix_test::TNamedCase {
    int32_t Slot;
    const char* Text;
};

// Slots 9 to 24 are the parameterised macros, 25 to 152 the fixed ones.
const TDefaultCase DefaultCases[] = {
    {"slot 0, start", 0, "FF"},
    {"slot 1, stop", 1, "FC"},
    {"slot 2, tick", 2, ""},
    {"slot 3, note on", 3, "9c n v"},
    {"slot 4, note off", 4, "9c n 0"},
    {"slot 5, volume", 5, ""},
    {"slot 6, panning", 6, ""},
    {"slot 7, bank select", 7, ""},
    {"slot 8, program change", 8, "Cc p"},
    {"slot 9, first parameterised: the filter cutoff", 9, "F0F000z"},
    {"slot 10, second parameterised", 10, ""},
    {"slot 24, last parameterised", 24, ""},
    {"slot 25, first fixed", 25, "F0F00100"},
    {"slot 26, second fixed", 26, "F0F00108"},
    {"slot 27, third fixed", 27, "F0F00110"},
    {"slot 34, tenth fixed", 34, "F0F00148"},
    {"slot 40, sixteenth fixed, the last set", 40, "F0F00178"},
    {"slot 41, seventeenth fixed", 41, ""},
    {"slot 152, last fixed", 152, ""},
};

class MidiMacrosDefaultsAfterClear : public ::testing::TestWithParam<TDefaultCase> {};

TEST_P(MidiMacrosDefaultsAfterClear, DefaultsAfterClear) {
    TQuavixModule M;
    M.Clear();
    EXPECT_EQ(Raw(M, GetParam().Slot), Padded(GetParam().Text));
    EXPECT_FALSE(M.MidiMacrosEmbedded);
}
INSTANTIATE_TEST_SUITE_P(MidiMacros, MidiMacrosDefaultsAfterClear, ::testing::ValuesIn(DefaultCases),
                         quavix_test::TCaseName());

TEST(MidiMacros, SlotsHoldExactlyThirtyTwoCharacters) {
    TQuavixModule M;
    M.Clear();
    const std::string Forty = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
    M.SetMidiMacro(9, Forty);
    EXPECT_EQ(Raw(M, 9), Forty.substr(0, 32)) << "no terminating zero";
    EXPECT_EQ(M.GetMidiMacro(9), Forty.substr(0, 32));
    EXPECT_EQ(Raw(M, 10), Padded("")) << "the next slot is untouched";

    // A shorter text clears what a longer one left behind.
    M.SetMidiMacro(9, "F0F000z");
    EXPECT_EQ(Raw(M, 9), Padded("F0F000z"));
    EXPECT_EQ(M.GetMidiMacro(9), "F0F000z");

    // Slots that do not exist are ignored.
    M.SetMidiMacro(-1, "FF");
    M.SetMidiMacro(TQuavixModule::MidiMacroSlots, "FF");
    EXPECT_EQ(M.GetMidiMacro(TQuavixModule::MidiMacroSlots), "");
}

TEST(MidiMacros, ClearRestoresReplacedTable) {
    TQuavixModule M;
    M.Clear();
    for (int32_t Slot = 0; Slot < TQuavixModule::MidiMacroSlots; ++Slot) M.SetMidiMacro(Slot, "X");
    M.MidiMacrosEmbedded = true;
    M.Clear();
    EXPECT_EQ(M.GetMidiMacro(3), "9c n v");
    EXPECT_EQ(M.GetMidiMacro(2), "");
    EXPECT_EQ(M.GetMidiMacro(41), "");
    EXPECT_FALSE(M.MidiMacrosEmbedded);
}

}  // namespace
