// The MIDI macro table: TQuavixMacroSlot::Count slots of 32 characters.
#include <cstdio>
#include <cstring>

#include "song/module.h"

void TQuavixModule::ResetMidiMacros() {
    using TSlot = TQuavixMacroSlot;
    for (auto& Slot : MidiMacros) Slot.fill(0);
    SetMidiMacro(TSlot::Start, "FF");
    SetMidiMacro(TSlot::Stop, "FC");
    SetMidiMacro(TSlot::NoteOn, "9c n v");
    SetMidiMacro(TSlot::NoteOff, "9c n 0");
    SetMidiMacro(TSlot::ProgramChange, "Cc p");
    // Parameterised macro 0 sets the filter cutoff from the parameter.
    SetMidiMacro(TSlot::FirstParameterised, "F0F000z");
    // Fixed macros 0x80..0x8F set the filter resonance in steps of 8.
    for (int32_t i = 0; i < 16; ++i) {
        char Text[16];
        std::snprintf(Text, sizeof(Text), "F0F001%02X", 8 * i);
        SetMidiMacro(TSlot::FirstFixed + i, Text);
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
