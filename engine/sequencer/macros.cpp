// MIDI macros. Zxx and the smooth macro run a macro string of the song's
// table; of all a string could send, the player carries out the resonant
// filter commands "F0F0" cc vv: cc 00 sets the cutoff, 01 the resonance, 02
// the filter mode, and vv is either two hexadecimal digits or "z", the
// effect's parameter. Every other string does nothing.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sequencer/channel.h"
#include "song/commands.h"
#include "song/instrument.h"
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

// ---------------------------------------------------------------------------
// MacroMessages: a macro string is MIDI bytes, sent one after another.

// The volume envelope's value on this tick, in 256ths. The macro runs
// before the tick's envelope step; where envelopes play their loop ends (as
// Impulse Tracker's do), the value the step will give is read from a copy.
int32_t EnvelopeThisTick(const TQuavixChannel& C) {
    const TQuavixEnvelopeHandler& Handler = *C.VolumeEnvelope;
    if (!Handler.Envelope || !Handler.Envelope->Enabled || C.VolumeEnvelopeOff ||
        !C.Module->Has(TQuavixBehaviour::EnvelopeLoopsIncludeEnd))
        return C.FineEnvelopeVolume;
    TQuavixEnvelopeHandler Probe;
    Probe.Assign(Handler);
    Probe.AdvanceThroughLoopEnds();
    return Probe.FineValue;
}

// The values the lower-case letters of a macro stand for, 0..127 (the
// offset's may be larger: it is not held to a data byte).
int32_t LetterValue(const TQuavixChannel& C, char Letter, int32_t Parameter) {
    switch (Letter) {
        case 'z':  // the effect's parameter, a fixed macro's too
            return Parameter;
        case 'h':  // the pattern channel the effect stands in, from 0
            return C.Index & 0x7F;
        case 'o':  // the last Oxx, without its high part (SAy)
            return C.SampleOffsetMemory & 0xFF;
        case 'm':  // a sample channel keeps its loop direction where a MIDI channel keeps its note
            return C.Backwards ? 1 : 0;
        case 'n':  // the note
            return C.LastNote & 0x7F;
        case 'v': {  // the velocity: the note's volume, never 0
            return std::clamp<int32_t>(C.Volume * 2, 1, 127);
        }
        case 'u': {  // the volume the voice plays at, the song's global volume too, never 0
            int64_t Gain = static_cast<int64_t>(std::clamp<int32_t>(C.Volume, 0, 64)) * 2;  // 0..128
            Gain = Gain * std::clamp<int32_t>(C.ChannelVolume, 0, 64) >> 6;
            if (C.Sample) Gain = Gain * C.Sample->GlobalVolume >> 6;
            if (C.Instrument) Gain = Gain * C.Instrument->GlobalVolume >> 7;
            Gain = Gain * std::clamp<int32_t>(EnvelopeThisTick(C), 0, 64 << 8) >> 14;
            Gain = Gain * C.FadeoutVolume >> 16;
            if (C.Module->GlobalVolumeRange > 0) Gain = Gain * C.Module->GlobalVolume / C.Module->GlobalVolumeRange;
            return static_cast<int32_t>(std::clamp<int64_t>(Gain, 1, 127));
        }
        case 'x':  // the panning
            return std::clamp<int32_t>(C.Panning >> 1, 0, 127);
        case 'y':  // the panning as it plays, with the envelope
            return std::clamp<int32_t>(C.FinalPanning >> 1, 0, 127);
        default:  // MIDI channel, program and bank: a sample channel has none
            return 0;
    }
}

// Sets the cutoff (Command 0) or resonance (1) a filter message carries.
void FilterMessage(TQuavixChannel& C, int32_t Command, int32_t Value) {
    if (Command == 0) {
        const int32_t Old = C.FilterCutoff;
        C.FilterCutoff = Value;
        if (C.FilterBaseCutoff >= 0) C.FilterBaseCutoff = Value;
        ApplyFilter(C, Value - Old);
    } else if (Command == 1) {
        C.FilterResonance = Value;
        ApplyFilter(C, 0);
    }
}

// The bytes of a macro, and the messages they make. Upper-case hexadecimal
// digits come in pairs, one byte each; "c" completes a digit before it (the
// channel in a status byte's low half); any other letter closes a lone digit
// as a byte of its own, then sends its value. Everything else is skipped.
// Of the messages, F0 F0 cc vv (cc and vv below 0x80) sets the filter, and
// the realtime bytes FA, FC and FF (start, stop, reset) set every channel's
// cutoff and resonance back to none, their filters as they run until the
// next update. A byte of 0x80 or more starts a message over.
void SendMacroBytes(TQuavixChannel& C, const std::array<char, 32>& Macro, int32_t Parameter) {
    int32_t State = 0;  // 1 after F0, 2 after F0 F0, 3 after the command byte
    int32_t Command = 0;
    auto Send = [&](int32_t Byte) {
        if (Byte >= 0x80) {
            State = Byte == 0xF0 ? (State == 1 ? 2 : 1) : 0;
            if (Byte == 0xFA || Byte == 0xFC || Byte == 0xFF) {
                TQuavixModule& M = *C.Module;
                for (int32_t i = 0; i < M.NumChannels; ++i) {
                    TQuavixChannel& Other = *M.Channels[i];
                    Other.FilterCutoff = 127;
                    Other.FilterResonance = 0;
                    if (Other.FilterBaseCutoff >= 0) Other.FilterBaseCutoff = 127;
                }
            }
            return;
        }
        if (State == 2) {
            Command = Byte;
            State = 3;
        } else if (State == 3) {
            FilterMessage(C, Command, Byte);
            State = 0;
        } else {
            State = 0;
        }
    };
    int32_t Pending = -1;  // a digit waiting for its pair
    for (char Character : Macro) {
        if (Character == 0) break;
        const int32_t Digit = HexDigit(Character);
        if (Digit >= 0) {
            if (Pending < 0) {
                Pending = Digit;
            } else {
                Send(Pending * 16 + Digit);
                Pending = -1;
            }
        } else if (Character == 'c') {
            Send((Pending < 0 ? 0 : Pending * 16) + LetterValue(C, 'c', Parameter));
            Pending = -1;
        } else if (Character >= 'a' && Character <= 'z') {
            if (Pending >= 0) Send(Pending);
            Pending = -1;
            Send(LetterValue(C, Character, Parameter) & 0xFF);
        }
    }
    if (Pending >= 0) Send(Pending);
}

}  // namespace

void TQuavixChannel::RunMacro(int32_t Effect, int32_t Parameter) {
    if (!Module || Parameter < 0 || Parameter > 0xFF) return;
    const bool Smooth = Effect == TQuavixEffect::SmoothMidiMacro;
    if (!Smooth && Module->Has(TQuavixBehaviour::MacroMessages)) {
        // Zxx acts on the row's first tick only; a fixed macro's "z" is the
        // parameter itself.
        if (CurrentTick != 0) return;
        const int32_t Slot = Parameter < 0x80 ? TQuavixMacroSlot::FirstParameterised + (ActiveMacro & 15)
                                              : TQuavixMacroSlot::FirstFixed + Parameter - 0x80;
        SendMacroBytes(*this, Module->MidiMacros[Slot], Parameter);
        return;
    }
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
                // The smooth macro slides from the channel's own cutoff,
                // not the one a filter envelope made of it.
                FilterCutoff = FilterValueThisTick(*this, FilterBaseCutoff >= 0 ? FilterBaseCutoff : FilterCutoff,
                                                   Argument, Smooth);
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
