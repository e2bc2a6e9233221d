// The MIDI macro table: 153 slots of 32 characters. Slots 0..8 are the global
// macros, 9..24 the parameterised macros 0..15 chosen by SFx, 25..152 the fixed
// macros for the values 0x80..0xFF of Zxx.
#include <cstdio>
#include <cstring>

#include "song/module.h"

namespace {
constexpr int32_t GlobalStart = 0;
constexpr int32_t GlobalStop = 1;
constexpr int32_t GlobalNoteOn = 3;
constexpr int32_t GlobalNoteOff = 4;
constexpr int32_t GlobalProgramChange = 8;
constexpr int32_t FirstParameterised = 9;
constexpr int32_t FirstFixed = 25;
}  // namespace

void TQuavixModule::ResetMidiMacros() {
    for (auto& Slot : MidiMacros) Slot.fill(0);
    SetMidiMacro(GlobalStart, "FF");
    SetMidiMacro(GlobalStop, "FC");
    SetMidiMacro(GlobalNoteOn, "9c n v");
    SetMidiMacro(GlobalNoteOff, "9c n 0");
    SetMidiMacro(GlobalProgramChange, "Cc p");
    // Parameterised macro 0 sets the filter cutoff from the parameter.
    SetMidiMacro(FirstParameterised, "F0F000z");
    // Fixed macros 0x80..0x8F set the filter resonance in steps of 8.
    for (int32_t i = 0; i < 16; ++i) {
        char Text[16];
        std::snprintf(Text, sizeof(Text), "F0F001%02X", 8 * i);
        SetMidiMacro(FirstFixed + i, Text);
    }
    MidiMacrosEmbedded = false;
}

void TQuavixModule::SetMidiMacro(int32_t Slot, const std::string& Text) {
    if (Slot < 0 || Slot >= MidiMacroSlots) return;
    TMidiMacro& Macro = MidiMacros[Slot];
    // A text of 32 characters or more fills the slot with no terminating zero.
    Macro.fill(0);
    std::memcpy(Macro.data(), Text.data(), Text.size() < Macro.size() ? Text.size() : Macro.size());
}

std::string TQuavixModule::GetMidiMacro(int32_t Slot) const {
    if (Slot < 0 || Slot >= MidiMacroSlots) return std::string();
    const TMidiMacro& Macro = MidiMacros[Slot];
    size_t Length = 0;
    while (Length < Macro.size() && Macro[Length] != 0) ++Length;
    return std::string(Macro.data(), Length);
}
