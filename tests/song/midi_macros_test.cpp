#include <gtest/gtest.h>

#include <string>

#include "song/module.h"

namespace {

// The slot's 32 bytes as a string, zero bytes included.
std::string Raw(const TQuavixModule& M, int32_t Slot) {
    return std::string(M.MidiMacros[Slot].data(), M.MidiMacros[Slot].size());
}

std::string Padded(const std::string& Text) { return Text + std::string(32 - Text.size(), '\0'); }

TEST(MidiMacros, DefaultsAfterClear) {
    TQuavixModule M;
    M.Clear();
    struct Case {
        int32_t Slot;
        const char* Text;
    };
    const Case Cases[] = {
        {0, "FF"},       {1, "FC"},       {2, ""},       {3, "9c n v"},    {4, "9c n 0"},
        {5, ""},         {6, ""},         {7, ""},       {8, "Cc p"},      {9, "F0F000z"},
        {10, ""},        {24, ""},        {25, "F0F00100"}, {26, "F0F00108"}, {27, "F0F00110"},
        {34, "F0F00148"}, {40, "F0F00178"}, {41, ""},    {152, ""},
    };
    for (const Case& C : Cases) EXPECT_EQ(Raw(M, C.Slot), Padded(C.Text)) << "slot " << C.Slot;
    EXPECT_FALSE(M.MidiMacrosEmbedded);
}

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
