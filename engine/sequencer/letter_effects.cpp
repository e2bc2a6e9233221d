// The letter effects of Scream Tracker 3 files (TQuavixLetterEffect), as
// Scream Tracker 3 played them: one entry per letter, naming what it does on
// the row's first tick and on its other ticks, beside the Extended Module
// table of effects.cpp, whose steps they share (effect_steps.h).
//
// With SharedEffectMemory a channel remembers one parameter for all its
// letters: every cell with a nonzero parameter sets it, with a letter or
// without one, and D, E, F, I, J, K, L, Q, R and S with a parameter of 0 take
// it. Otherwise each letter remembers its own, but that D, K and L share one
// (their volume slide), and E and F one (with LinkedPortamentoMemory G too).
// Tone portamento (G) keeps its own speed, vibrato (H, U) and tremolo (R
// without the shared memory) their own speed and depth nibbles.
//
// x is the parameter's high nibble and y its low nibble throughout.
#include <algorithm>

#include "sequencer/channel.h"
#include "sequencer/effect_steps.h"
#include "song/commands.h"
#include "song/instrument.h"
#include "song/module.h"
#include "song/units.h"

namespace {

using TChannel = TQuavixChannel;
using B = TQuavixBehaviour;
using TLetter = TQuavixLetterEffect;
using TSpecial = TQuavixLetterSpecial;
namespace Steps = QuavixEffectSteps;

int32_t High(int32_t Parameter) { return (Parameter >> 4) & 15; }
int32_t Low(int32_t Parameter) { return Parameter & 15; }

// A letter acts by the parameter its memory holds, C.LetterParameter, which
// its own, where nonzero, has just set (see QuavixLetterFirstTick).

// The memory a letter keeps its parameter in, without SharedEffectMemory.
int32_t MemorySlot(const TQuavixModule& M, int32_t Letter) {
    switch (Letter + 'A' - 1) {
        case 'K':
        case 'L': return 'D' - 'A' + 1;
        case 'F': return 'E' - 'A' + 1;
        case 'G': return M.Has(B::LinkedPortamentoMemory) ? 'E' - 'A' + 1 : Letter;
        default: return Letter;
    }
}

bool HasNote(const TQuavixPatternNote& Cell) { return QuavixIsNote(Cell.Note); }

// ---------------------------------------------------------------------------
// Volume slides. Dxy slides by x up where y is 0 or F, by y down where x is 0
// or F (D0F down by 15, DF0 up by 15; DFF up by 15). Where x or y is 0 it
// slides on the row's later ticks, where x or y is F on its first tick: D0F
// and DF0 on every tick, DxF and DFy (x, y not 0) once, the fine slides.
// Other values (D12) do nothing. With FastVolumeSlides the slides that are
// not fine act on every tick.

struct TVolumeSlide {
    int32_t Step = 0;
    bool FirstTick = false;
    bool OtherTicks = false;
};

TVolumeSlide VolumeSlideOf(const TChannel& C, int32_t P) {
    const int32_t x = High(P), y = Low(P);
    TVolumeSlide Slide;
    if (x == 0)
        Slide.Step = -y;
    else if (y == 0 || y == 0xF)
        Slide.Step = x;
    else if (x == 0xF)
        Slide.Step = -y;
    else
        return Slide;
    Slide.OtherTicks = x == 0 || y == 0;
    // The fine slides; D0F and DF0 with EdgeSlidesOnFirstTick too.
    Slide.FirstTick = (x == 0xF && y != 0) || (y == 0xF && x != 0) ||
                      (C.Module->Has(B::EdgeSlidesOnFirstTick) && (x == 0xF || y == 0xF));
    const bool Fine = Slide.FirstTick && !Slide.OtherTicks;
    if (!Fine && C.Module->Has(B::FastVolumeSlides)) Slide.FirstTick = Slide.OtherTicks = true;
    return Slide;
}

// The step the letter's slide of Dxy's form takes on this tick, by the
// parameter its memory holds; 0 where it does not act on this kind of tick.
int32_t SlideStep(const TChannel& C, bool FirstTick) {
    const TVolumeSlide Slide = VolumeSlideOf(C, C.LetterParameter);
    return (FirstTick ? Slide.FirstTick : Slide.OtherTicks) ? Slide.Step : 0;
}

void SlideVolume(TChannel& C, bool FirstTick) {
    const int32_t Step = SlideStep(C, FirstTick);
    C.Volume = std::clamp<int32_t>(C.Volume + Step, 0, 64);
    if (Step != 0) C.VolumeSlid = true;
}
void VolumeSlideFirst(TChannel& C, int32_t) { SlideVolume(C, true); }
void VolumeSlideOther(TChannel& C, int32_t) { SlideVolume(C, false); }

// The volume slide of Kxy and Lxy: with CombinedSlidesSkipFirstTick not on
// the row's first tick, so that their fine slides never act.
void CombinedSlideFirst(TChannel& C, int32_t P) {
    if (!C.Module->Has(B::CombinedSlidesSkipFirstTick)) VolumeSlideFirst(C, P);
}

// ---------------------------------------------------------------------------
// Portamentos. Exx / Fxx slide the period down / up by 4 xx on the later
// ticks; EFy / FFy by 4 y and EEy / FEy by y (extra fine) on the first tick
// only. Both directions share the one memory.

void SlideBy(TChannel& C, int32_t Delta) {
    Steps::SlidePeriod(C, Delta);
    if (Delta < 0) {
        Steps::HoldAboveAmigaLimit(C);
    } else {
        Steps::HoldBelowAmigaLimit(C);
    }
}

void PortamentoFirst(TChannel& C, int32_t, int32_t Sign) {
    const int32_t P = C.LetterParameter;
    if (High(P) == 0xF) SlideBy(C, Sign * Low(P) * 4);
    if (High(P) == 0xE) SlideBy(C, Sign * Low(P));
}
void PortamentoOther(TChannel& C, int32_t, int32_t Sign) {
    const int32_t P = C.LetterParameter;
    if (High(P) < 0xE) SlideBy(C, Sign * P * 4);
}
void PortamentoDownFirst(TChannel& C, int32_t P) { PortamentoFirst(C, P, 1); }
void PortamentoDownOther(TChannel& C, int32_t P) { PortamentoOther(C, P, 1); }
void PortamentoUpFirst(TChannel& C, int32_t P) { PortamentoFirst(C, P, -1); }
void PortamentoUpOther(TChannel& C, int32_t P) { PortamentoOther(C, P, -1); }

// Gxx tone portamento at xx (its own memory: G00 keeps the last speed;
// with LinkedPortamentoMemory the memory of E and F).
void TonePortamentoFirst(TChannel& C, int32_t P) {
    if (C.Module->Has(B::LinkedPortamentoMemory)) P = C.LetterParameter;
    if (P != 0) C.PortamentoSpeed = P;
    Steps::FirstTickTonePortamento(C);
}
void TonePortamentoOther(TChannel& C, int32_t) { C.DoTonePortamento(); }

// Hxy vibrato and Uxy fine vibrato, at speed x and depth y; a nibble of 0
// keeps the one last given, by either. U moves the pitch a quarter as far.
// With ColumnVibratosAddUp a vibrato of the volume column beside it plays
// at this speed on the row's first tick too, and its depth (nonzero) is the
// one both play. The row's first tick: see FirstTickVibrato.
void VibratoNibbles(TChannel& C, int32_t P, bool Fine) {
    const TQuavixPatternNote& Cell = C.CurrentNote;
    const bool Column =
        C.Module->Has(B::ColumnVibratosAddUp) && Cell.VolumeCommand == TQuavixVolumeCommand::Vibrato;
    if (High(P) != 0) C.VibratoSpeed = High(P);
    if (Low(P) != 0 && !(Column && Cell.VolumeParameter != 0)) C.VibratoDepth = Low(P);
    C.FineVibrato = Fine;
    if (Column) Steps::FirstTickVibrato(C);
    Steps::FirstTickVibrato(C);
}
void VibratoFirst(TChannel& C, int32_t P) { VibratoNibbles(C, P, false); }
void FineVibratoFirst(TChannel& C, int32_t P) { VibratoNibbles(C, P, true); }
void VibratoOther(TChannel& C, int32_t) { C.DoVibrato(); }

// Ixy tremor: x ticks sounding, y silent (see DoTremor).
void TremorFirst(TChannel& C, int32_t) {
    const int32_t P = C.LetterParameter;
    if (P == 0) return;
    C.TremorOnTime = High(P);
    C.TremorOffTime = Low(P);
}
void TremorOther(TChannel& C, int32_t) { C.DoTremor(); }

// Jxy arpeggio: the note, x and y semitones up, by the row's tick modulo 3.
void ArpeggioFirst(TChannel& C, int32_t) { Steps::ArpeggioSetup(C, C.LetterParameter); }
void ArpeggioOther(TChannel& C, int32_t) {
    const int32_t P = C.LetterParameter;
    if (P != 0) C.DoArpeggio(High(P), Low(P));
}

// Kxy: vibrato as the last H gave it (never fine) with Dxy's volume slide.
void VibratoSlideFirst(TChannel& C, int32_t P) {
    C.FineVibrato = false;
    Steps::FirstTickVibrato(C);
    CombinedSlideFirst(C, P);
}
void VibratoSlideOther(TChannel& C, int32_t P) {
    C.DoVibrato();
    VolumeSlideOther(C, P);
}

// Lxy: tone portamento at the last G's speed with Dxy's volume slide.
void PortamentoSlideFirst(TChannel& C, int32_t P) {
    Steps::FirstTickTonePortamento(C);
    CombinedSlideFirst(C, P);
}
void PortamentoSlideOther(TChannel& C, int32_t P) {
    C.DoTonePortamento();
    VolumeSlideOther(C, P);
}

// Oxx sample offset: the cell's note starts xx * 256 frames into its sample
// (O00 the last offset given). With OffsetRecalledWithoutInstrument the
// offset stays the channel's: a note without instrument number starts
// there too (see StartAtOffset). With OffsetWrapsIntoLoop an offset past a
// looped sample's loop end wraps into the loop.
void SampleOffsetFirst(TChannel& C, int32_t P) {
    if (P != 0) C.SampleOffsetMemory = P;
    C.NoteStart = C.HighOffset * 65536 + C.SampleOffsetMemory * 256;
}

// Where a note of the row starts its sample: at the channel's offset, which
// an instrument number beside the note returns to 0 (and Oxx sets).
void StartAtOffset(TChannel& C) {
    const TQuavixPatternNote& Cell = C.CurrentNote;
    const bool Offset = Cell.Effect == TLetter::O;
    if (Cell.Instrument != 0 || !C.Module->Has(B::OffsetRecalledWithoutInstrument)) C.NoteStart = 0;
    if (Offset) SampleOffsetFirst(C, Cell.EffectParameter & 0xFF);
    // With PortamentoInstrumentTakesOffset a slide beside an instrument
    // number moves the sample to the offset all the same.
    const bool SlideTakesOffset = Offset && Cell.Instrument != 0 && C.Module->Has(B::PortamentoInstrumentTakesOffset);
    if (!HasNote(Cell) || (TChannel::IsPortamento(Cell) && !SlideTakesOffset) || !C.Active || !C.Sample) return;
    int32_t Start = C.NoteStart;
    const TQuavixSample& Sample = *C.Sample;
    const int32_t LoopEnd = Sample.LoopStart + Sample.LoopLength;
    if (Sample.Loop && Start >= LoopEnd && Sample.LoopLength > 0 && C.Module->Has(B::OffsetWrapsIntoLoop))
        Start = Sample.LoopStart + (Start - Sample.LoopStart) % Sample.LoopLength;
    C.Position = QuavixPositionOf(std::min(Start, Sample.Length));
}

// Qxy retrigger: on every y-th tick of the row after its first, the
// sample starts again where the channel's notes start, at the pitch that
// sounds, its volume changed by x (as Rxy of the Extended Modules). A
// sample that has played to its end starts again too; a note that was cut
// (a note cut, SCy) stays silent.
//
// With RetriggerCountsAcrossRows the ticks are counted across rows, the
// row's first tick too, from the cell's note or the last retrigger, and the
// y-th starts the sample again. With RetriggerNeedsSoundingVoice a voice
// that has played its sample to the end starts nothing.
void Retrigger(TChannel& C) {
    const int32_t P = C.LetterParameter;
    if (C.NoteWasCut || !C.Sample || C.Period == 0) return;
    if (!C.Active && C.Module->Has(B::RetriggerNeedsSoundingVoice)) return;
    C.Volume = std::clamp<int32_t>(Steps::RetrigVolume(High(P), C.Volume), 0, 64);
    C.StartSample(C.MoveToFadeBank());
    C.Position = QuavixPositionOf(std::min(C.NoteStart, C.Sample->Length));
}
void CountRetrigger(TChannel& C) {
    const int32_t Interval = Low(C.LetterParameter);
    if (Interval == 0 || ++C.RetrigCount < Interval) return;
    C.RetrigCount = 0;
    Retrigger(C);
}
void RetriggerFirst(TChannel& C, int32_t) {
    if (!C.Module->Has(B::RetriggerCountsAcrossRows)) return;
    const TQuavixPatternNote& Cell = C.CurrentNote;
    if (HasNote(Cell) && !TChannel::IsPortamento(Cell))
        C.RetrigCount = 0;
    else
        CountRetrigger(C);
}
void RetriggerOther(TChannel& C, int32_t) {
    if (C.Module->Has(B::RetriggerCountsAcrossRows)) {
        CountRetrigger(C);
        return;
    }
    const int32_t Interval = Low(C.LetterParameter);
    if (Interval == 0 || C.CurrentTick % Interval != 0) return;
    Retrigger(C);
}

// Rxy tremolo at speed x and depth y; a nibble of 0 keeps its own.
void TremoloFirst(TChannel& C, int32_t) {
    const int32_t P = C.LetterParameter;
    if (High(P) != 0) C.TremoloSpeed = High(P);
    if (Low(P) != 0) C.TremoloDepth = Low(P);
}
void TremoloOther(TChannel& C, int32_t) { C.DoTremolo(); }

// Axx speed (1..255), Vxx global volume (up to the song's range, 0x40 or
// 0x80; higher values do nothing).
void SetSpeed(TChannel& C, int32_t P) {
    if (P != 0) C.Module->Speed = static_cast<uint8_t>(P);
}
void SetGlobalVolume(TChannel& C, int32_t P) {
    if (P <= C.Module->GlobalVolumeRange) C.Module->GlobalVolume = P;
}

// Xxx panning, 0x00 left to 0x80 right; XA4 surround. With WidePanningCommand
// 0x00..0xFF left to right.
void SetPanning(TChannel& C, int32_t P) {
    if (C.Module->Has(B::WidePanningCommand)) {
        Steps::SetChannelPanning(C, P);
        C.Surround = false;
    } else if (P <= 0x80) {
        C.Panning = std::min(P * 2, 255);
    } else if (P == 0xA4) {
        Steps::SoundControl(C, 0x0);
    }
}

// Slides of Dxy's form (see VolumeSlideOf) on other values: Nxy the
// channel's volume (0..64), Wxy the song's (0..its range), Pxy the panning
// (x left, y right, by 4 x or 4 y of 256).
void SlideChannelVolume(TChannel& C, bool FirstTick) {
    C.ChannelVolume = std::clamp<int32_t>(C.ChannelVolume + SlideStep(C, FirstTick), 0, 64);
}
void ChannelVolumeSlideFirst(TChannel& C, int32_t) { SlideChannelVolume(C, true); }
void ChannelVolumeSlideOther(TChannel& C, int32_t) { SlideChannelVolume(C, false); }
void SlideGlobalVolume(TChannel& C, bool FirstTick) {
    if (C.Background) return;
    TQuavixModule& M = *C.Module;
    M.GlobalVolume = std::clamp<int32_t>(M.GlobalVolume + SlideStep(C, FirstTick), 0, M.GlobalVolumeRange);
}
void GlobalVolumeSlideFirst(TChannel& C, int32_t) { SlideGlobalVolume(C, true); }
void GlobalVolumeSlideOther(TChannel& C, int32_t) { SlideGlobalVolume(C, false); }
void SlidePanning(TChannel& C, bool FirstTick) {
    Steps::SetChannelPanning(C, std::clamp<int32_t>(C.Panning - SlideStep(C, FirstTick) * 4, 0, C.Module->RightPanning()));
}
void PanningSlideFirst(TChannel& C, int32_t) { SlidePanning(C, true); }
void PanningSlideOther(TChannel& C, int32_t) { SlidePanning(C, false); }

// Mxx the channel's volume (0..0x40; higher values do nothing).
void SetChannelVolume(TChannel& C, int32_t P) {
    if (P <= 64) C.ChannelVolume = P;
}

// Txx: from 0x20 the tempo; T0x slides it down and T1x up by x on the row's
// later ticks, within 32..255 (T00 and T10 keep the last slide).
void TempoFirst(TChannel& C, int32_t P) {
    if (P >= 0x20) {
        C.Module->Tempo = static_cast<uint8_t>(P);
        C.TempoSlide = 0;
        return;
    }
    if (!C.Module->Has(B::TempoSlides)) return;
    if (Low(P) != 0) C.TempoSlide = High(P) == 1 ? Low(P) : -Low(P);
}
void TempoOther(TChannel& C, int32_t P) {
    if (P >= 0x20 || C.Background || C.TempoSlide == 0) return;
    C.Module->Tempo = static_cast<uint8_t>(std::clamp<int32_t>(C.Module->Tempo + C.TempoSlide, 32, 255));
}

// Cxx: a break to row xx, decimal as trackers write it, or with
// BreakRowInHex read as hexadecimal.
void PatternBreakFirst(TChannel& C, int32_t P) {
    if (C.Module->Has(B::BreakRowInHex))
        Steps::PatternBreakToRow(C, P);
    else
        Steps::PatternBreak(C, P);
}

// Yxy panbrello at speed x and depth y (a nibble of 0 keeps its own), on
// every tick of the row; Zxx the MIDI macro xx, as in Extended Modules.
// Both come from later trackers that write S3M files.
void PanbrelloFirst(TChannel& C, int32_t P) {
    if (High(P) != 0) C.PanbrelloSpeed = High(P);
    if (Low(P) != 0) C.PanbrelloDepth = Low(P);
    C.DoPanbrello();
}
void PanbrelloOther(TChannel& C, int32_t) { C.DoPanbrello(); }
void MidiMacro(TChannel& C, int32_t P) { C.RunMacro(TQuavixEffect::MidiMacro, P); }

// ---------------------------------------------------------------------------
// Sxy, by x.
//   S1y glissando, S2y finetune (y eighths of a semitone from -8), S3y,
//   S4y and S5y the vibrato, tremolo and panbrello waveforms, S6y y more
//   ticks in the row, S7y the instrument controls, S8y
//   panning, S9y sound control, SBy pattern loop, SCy note cut at tick y,
//   SDy note delay, SEy row delay. With FirstRowDelayCounts the first row
//   delay of the row that delays counts (SE0 leaves the choice to the next).

// S2y with PeriodsFromC2Speed: the channel's C2 speed from ST3's table of
// the sixteen finetunes (S28 is 8363 Hz), for a note beside it as for the
// notes that follow until an instrument's sample sets its own.
constexpr int32_t FineTuneC2Speeds[16] = {7895, 7941, 7985, 8046, 8107, 8169, 8232, 8280,
                                          8363, 8413, 8463, 8529, 8581, 8651, 8723, 8757};
void SetFineTune(TChannel& C, int32_t y) {
    if (!C.Module->Has(B::PeriodsFromC2Speed)) {
        Steps::SetFineTune(C, (y + 8) & 15);
        return;
    }
    C.FineTune = FineTuneC2Speeds[y];
    if (!HasNote(C.CurrentNote)) return;
    C.TargetPeriod = C.Module->GetNotePeriod(C.RealNote, C.FineTune);
    if (!TChannel::IsPortamento(C.CurrentNote)) C.Period = C.TargetPeriod;
}

// S7y: S70, S71 and S72 cut, release or fade the notes the channel has left
// in the reserve bank; S73..S76 give the sounding note the new-note action
// cut, continue, note off or note fade; S77 and S78 turn its volume
// envelope off and on again, S79 and S7A its panning envelope, S7B and S7C
// its pitch envelope.
void InstrumentControl(TChannel& C, int32_t y) {
    if (y <= 2) {
        for (auto& Voice : C.Module->BackgroundChannels) {
            if (!Voice || !Voice->Active || Voice->Index != C.Index) continue;
            if (y == 0)
                Voice->MoveToFadeBank();
            else if (y == 1)
                Voice->ReleaseKey();
            else
                Voice->Fading = true;
        }
        return;
    }
    switch (y) {
        case 0x3: case 0x4: case 0x5: case 0x6: C.NoteAction = y - 3; break;
        case 0x7: C.VolumeEnvelopeOff = true; break;
        case 0x8: C.VolumeEnvelopeOff = false; break;
        case 0x9: C.PanningEnvelopeOff = true; break;
        case 0xA: C.PanningEnvelopeOff = false; break;
        case 0xB: C.PitchEnvelopeOff = true; break;
        case 0xC: C.PitchEnvelopeOff = false; break;
        default: break;
    }
}

void SpecialFirst(TChannel& C, int32_t) {
    const int32_t P = C.LetterParameter;
    const int32_t y = Low(P);
    TQuavixModule& M = *C.Module;
    switch (High(P)) {
        case TSpecial::Glissando: C.Glissando = y != 0; break;
        case TSpecial::FineTune: SetFineTune(C, y); break;
        case TSpecial::VibratoWaveform: C.VibratoWaveform = y & 7; break;
        case TSpecial::TremoloWaveform: C.TremoloWaveform = y & 7; break;
        case TSpecial::PanbrelloWaveform: C.PanbrelloWaveform = y & 3; break;
        case TSpecial::TickDelay: M.TickDelay += y; break;
        case TSpecial::InstrumentControl: InstrumentControl(C, y); break;
        case TSpecial::Panning: Steps::SetChannelPanning(C, y * 0x11); break;
        case TSpecial::SoundControl:
            // S90 turns surround off and S91 on (the other way round from
            // the extra command X9y); the rest as there.
            if (y <= 1) C.Surround = y == 1;
            else Steps::SoundControl(C, y);
            break;
        case TSpecial::HighOffset: C.HighOffset = y; break;
        case TSpecial::PatternLoop: Steps::PatternLoop(C, y); break;
        case TSpecial::PatternDelay:
            if (M.Has(B::FirstRowDelayCounts) && M.RowDelaySet) break;
            M.PatternDelay = y;
            M.RowDelaySet = y != 0 || M.Has(B::ZeroRowDelayCounts);
            break;
        // SFy picks the parameterised macro that Zxx below 0x80 sends.
        case TSpecial::SelectMacro: C.ActiveMacro = y; break;
        default: break;
    }
}

// SCy: the note stops at tick y (SC0 never), its voice silent.
void SpecialOther(TChannel& C, int32_t) {
    const int32_t P = C.LetterParameter;
    if (High(P) != TSpecial::NoteCut || C.CurrentTick != Low(P)) return;
    C.MoveToFadeBank();
    C.NoteWasCut = true;
}

constexpr TQuavixEffectEntry Letters[] = {
    /* none */ {nullptr, nullptr},
    /* A */ {SetSpeed, nullptr},
    /* B */ {Steps::PositionJump, nullptr},
    /* C */ {PatternBreakFirst, nullptr},
    /* D */ {VolumeSlideFirst, VolumeSlideOther},
    /* E */ {PortamentoDownFirst, PortamentoDownOther},
    /* F */ {PortamentoUpFirst, PortamentoUpOther},
    /* G */ {TonePortamentoFirst, TonePortamentoOther},
    /* H */ {VibratoFirst, VibratoOther},
    /* I */ {TremorFirst, TremorOther},
    /* J */ {ArpeggioFirst, ArpeggioOther},
    /* K */ {VibratoSlideFirst, VibratoSlideOther},
    /* L */ {PortamentoSlideFirst, PortamentoSlideOther},
    /* M */ {SetChannelVolume, nullptr},
    /* N */ {ChannelVolumeSlideFirst, ChannelVolumeSlideOther},
    /* O */ {nullptr, nullptr},  // see StartAtOffset
    /* P */ {PanningSlideFirst, PanningSlideOther},
    /* Q */ {RetriggerFirst, RetriggerOther},
    /* R */ {TremoloFirst, TremoloOther},
    /* S */ {SpecialFirst, SpecialOther},
    /* T */ {TempoFirst, TempoOther},
    /* U */ {FineVibratoFirst, VibratoOther},
    /* V */ {SetGlobalVolume, nullptr},
    /* W */ {GlobalVolumeSlideFirst, GlobalVolumeSlideOther},
    /* X */ {SetPanning, nullptr},
    /* Y */ {PanbrelloFirst, PanbrelloOther},
    /* Z */ {MidiMacro, MidiMacro},
};
static_assert(sizeof(Letters) / sizeof(Letters[0]) == TLetter::End - TLetter::Base, "one entry per letter");

bool IsLetter(const TQuavixPatternNote& Cell) { return Cell.Effect >= TLetter::Base && Cell.Effect < TLetter::End; }

}  // namespace

const TQuavixEffectEntry* QuavixLetterEffect(const TQuavixPatternNote& Cell) {
    if (!IsLetter(Cell)) return nullptr;
    return &Letters[Cell.Effect - TLetter::Base];
}

int32_t QuavixLetterNoteDelay(const TQuavixPatternNote& Cell) {
    if (Cell.Effect != TLetter::S || High(Cell.EffectParameter) != TSpecial::NoteDelay) return 0;
    return Low(Cell.EffectParameter);
}

bool QuavixLetterPortamento(const TQuavixPatternNote& Cell) { return Cell.Effect == TLetter::G || Cell.Effect == TLetter::L; }

uint8_t& QuavixLetterSlideMemory(TChannel& C) { return C.LetterMemory['E' - 'A' + 1]; }

bool QuavixLetterVibrato(const TQuavixPatternNote& Cell) { return Cell.Effect == TLetter::H || Cell.Effect == TLetter::U; }

void QuavixLetterFirstTick(TChannel& C) {
    const TQuavixPatternNote& Cell = C.CurrentNote;
    if (!IsLetter(Cell)) return;
    const int32_t P = Cell.EffectParameter & 0xFF;
    if (C.Module->Has(B::SharedEffectMemory)) {
        if (P != 0) C.LetterParameter = P;
    } else {
        uint8_t& Memory = C.LetterMemory[static_cast<size_t>(MemorySlot(*C.Module, Cell.Effect - TLetter::Base))];
        if (P != 0) Memory = static_cast<uint8_t>(P);
        C.LetterParameter = Memory;
    }
    StartAtOffset(C);
    if (TQuavixEffectAction Action = Letters[Cell.Effect - TLetter::Base].FirstTick) Action(C, P);
}

void QuavixLetterRowRepeat(TChannel& C) {
    const TQuavixPatternNote& Cell = C.CurrentNote;
    const int32_t P = Cell.EffectParameter & 0xFF;
    switch (Cell.Effect) {
        case TLetter::D: VolumeSlideFirst(C, P); break;
        case TLetter::E: PortamentoDownFirst(C, P); break;
        case TLetter::F: PortamentoUpFirst(C, P); break;
        default: break;
    }
}
