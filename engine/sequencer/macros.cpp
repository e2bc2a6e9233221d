// MIDI macros. Zxx and the smooth macro run a macro string of the song's
// table; of all a string could send, the player carries out the resonant
// filter commands "F0F0" cc vv: cc 00 sets the cutoff, 01 the resonance, 02
// the filter mode, and vv is either two hexadecimal digits or "z", the
// effect's parameter. Every other string does nothing.
#include <cmath>
#include <cstdlib>

#include "sequencer/channel.h"
#include "song/commands.h"
#include "song/module.h"

namespace {



// The value of an upper-case hexadecimal digit, or -1. (Lower-case letters
// in a macro are its variables, not digits.)
int32_t HexDigit(char Character) {
    if (Character >= '0' && Character <= '9') return Character - '0';
    if (Character >= 'A' && Character <= 'F') return Character - 'A' + 10;
    return -1;
}

bool IsF(char Character) { return Character == 'F' || Character == 'f'; }

// The value a filter setting takes on this tick. The plain macro sets it at
// once. The smooth macro spreads the change over the row: on its first tick
// it notes where the setting starts and the step per tick, and on tick t it
// stands at start + step * (t + 1), reaching the value on the row's last
// tick. The arithmetic is single precision, rounded to the nearest integer
// (halves to the even neighbour).
int32_t FilterValueThisTick(TQuavixChannel& C, int32_t Current, int32_t Value, bool Smooth) {
    // At speed 0 every tick is a new row: there is nothing to spread the
    // change over, so the value is reached at once.
    if (!Smooth || C.Module->Speed == 0) return Value;
    if (C.CurrentTick == 0) {
        C.SmoothStart = static_cast<float>(Current);
        C.SmoothStep = (static_cast<float>(Value) - C.SmoothStart) / static_cast<float>(C.Module->Speed);
    }
    const float Ticks = static_cast<float>(C.CurrentTick + 1);
    const float Reached = C.SmoothStart + C.SmoothStep * Ticks;
    return static_cast<int32_t>(std::nearbyint(Reached));
}

// Loads the filter for the new settings, except on a voice that is silent
// while its gain still ramps: a cutoff jump of 16 or more would be heard
// there, so the coefficients wait for the next update.
void ApplyFilter(TQuavixChannel& C, int32_t CutoffChange) {
    const bool Stereo = C.Module->OutputChannels != 1;
    const bool Wait = C.Volume <= 0 && std::abs(CutoffChange) >= 16 && C.FilterValid && C.RampLeft != 0 &&
                      (C.RampRight != 0 || !Stereo);
    // A cutoff or resonance beside a note that starts (no tone portamento)
    // on the row's first tick comes with the note (FullCutoffLeavesFilter).
    const bool BesideNote = !C.Background && C.CurrentTick == 0 && QuavixIsNote(C.CurrentNote.Note) &&
                            !TQuavixChannel::IsPortamento(C.CurrentNote);
    if (!Wait) C.SetupFilter(!C.FilterValid, BesideNote);
}

}  // namespace

void TQuavixChannel::RunMacro(int32_t Effect, int32_t Parameter) {
    if (!Module || Parameter < 0 || Parameter > 0xFF) return;
    const bool Smooth = Effect == TQuavixEffect::SmoothMidiMacro;
    // Below 0x80 the parameter is the value of the chosen parameterised
    // macro; above, it picks a fixed macro, which has no value of its own.
    if (Parameter < 0x80)
        ParseMacro(Module->MidiMacros[TQuavixMacroSlot::FirstParameterised + (ActiveMacro & 15)], Parameter, Smooth);
    else
        ParseMacro(Module->MidiMacros[TQuavixMacroSlot::FirstFixed + Parameter - 0x80], 0, Smooth);
}

void TQuavixChannel::ParseMacro(const std::array<char, 32>& Macro, int32_t Value, bool Smooth) {
    if (!Module) return;
    if (!IsF(Macro[0]) || Macro[1] != '0' || !IsF(Macro[2]) || Macro[3] != '0') return;
    // The command byte. A first character that is no digit starts the sum
    // from -1, so that a command of -1 marks a string without one.
    const int32_t High = HexDigit(Macro[4]);
    const int32_t Low = HexDigit(Macro[5]);
    const int32_t Command = (High >= 0 ? High * 16 : -1) + (Low >= 0 ? Low : 0);
    if (Command == -1) return;
    int32_t Argument = Value;
    if (Macro[6] != 'z' && Macro[6] != 'Z') {
        const int32_t ArgumentHigh = HexDigit(Macro[6]);
        const int32_t ArgumentLow = HexDigit(Macro[7]);
        Argument = (ArgumentHigh > 0 ? ArgumentHigh * 16 : 0) + (ArgumentLow > 0 ? ArgumentLow : 0);
    }
    switch (Command) {
        case 0:  // cutoff
            if (Argument < 0x80) {
                const int32_t Old = FilterCutoff;
                FilterCutoff = FilterValueThisTick(*this, FilterCutoff, Argument, Smooth);
                // Under a filter envelope this is the cutoff it scales.
                if (FilterBaseCutoff >= 0) FilterBaseCutoff = FilterCutoff;
                ApplyFilter(*this, FilterCutoff - Old);
            }
            break;
        case 1:  // resonance
            if (Argument < 0x80) FilterResonance = FilterValueThisTick(*this, FilterResonance, Argument, Smooth);
            ApplyFilter(*this, 0);
            break;
        case 2:  // filter mode: 00..0F low-pass, 10..1F high-pass
            if (Argument < 0x20) {
                FilterMode = Argument / 16;
                ApplyFilter(*this, 0);
            }
            break;
        default:
            break;
    }
}
