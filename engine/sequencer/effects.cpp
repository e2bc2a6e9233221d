// Effect commands. A cell's volume column and effect act on the row's first
// tick (ProcessRow, on the note-delay tick for EDy) and on its other ticks
// (ProcessTickEffects). Each effect is one entry of the table at the end of
// this file, naming what it does on the first tick and on the other ticks;
// the E and X sub-commands have tables of their own. Effects are numbered as
// in Extended Module files: 0..9, then 10..35 for A..Z, 37 the smooth macro.
//
// x is the parameter's high nibble and y its low nibble throughout.
#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "sequencer/channel.h"
#include "sequencer/effect_steps.h"
#include "song/commands.h"
#include "sequencer/tables.h"
#include "song/instrument.h"
#include "song/module.h"
#include "song/units.h"

namespace {

using TChannel = TQuavixChannel;
using TEffectAction = TQuavixEffectAction;
using TEffect = TQuavixEffectEntry;

int32_t High(int32_t Parameter) { return (Parameter >> 4) & 15; }
int32_t Low(int32_t Parameter) { return Parameter & 15; }

// The tick on which the cell's note, instrument and first-tick actions take
// place: y for EDy (and SDy), else the row's first tick.
int32_t NoteDelay(const TQuavixPatternNote& Cell) {
    if (Cell.Effect == TQuavixEffect::Extended && High(Cell.EffectParameter) == TQuavixExtendedEffect::NoteDelay)
        return Low(Cell.EffectParameter);
    return QuavixLetterNoteDelay(Cell);
}

bool HasNote(const TQuavixPatternNote& Cell) { return QuavixIsNote(Cell.Note); }

// A note started again on a later tick of its row (E9y, Rxy). With
// RetriggerPlaysLastNote the channel's last note starts again, whatever the
// cell holds; otherwise the cell's note does, where it has one. Neither
// applies the cell's instrument number again: the volume stays as the row
// has set it. Returns whether a note started (never on the extra banks).
bool Retrigger(TChannel& C) {
    if (C.Module->Has(TQuavixBehaviour::RetriggerPlaysLastNote)) return C.ReplayNote();
    TQuavixPatternNote Cell = C.CurrentNote;
    Cell.Instrument = 0;
    C.TriggerNote(Cell);
    return !C.Background && HasNote(Cell);
}

// EDy: the cell takes effect on tick y. With ReplayWithoutNote the delayed
// cell presses the key again, and without a note of its own plays the
// channel's last note again, on the instrument the cell names. A delayed
// key-off releases the key; with DelayedKeyOffPressesKey it presses it again
// at once, and plays nothing. With DelayedNoteIgnoresPortamento a tone
// portamento in the volume column does not hold the delayed note back. With
// InstrumentBeforeNoteDelay the cell's instrument number has taken effect on
// the row's first tick (InstrumentOfDelayedCell), and tick y only starts its
// note.
void DelayedCell(TChannel& C) {
    const TQuavixPatternNote& Cell = C.CurrentNote;
    if (!C.Module->Has(TQuavixBehaviour::ReplayWithoutNote)) {
        TQuavixPatternNote Played = Cell;
        if (C.Module->Has(TQuavixBehaviour::InstrumentBeforeNoteDelay)) Played.Instrument = 0;
        C.TriggerNote(Played);
        return;
    }
    TQuavixPatternNote Played = Cell;
    if (C.Module->Has(TQuavixBehaviour::DelayedNoteIgnoresPortamento) &&
        Played.VolumeCommand == TQuavixVolumeCommand::TonePortamento)
        Played.VolumeCommand = TQuavixVolumeCommand::None;
    C.TriggerNote(Played);
    const bool KeyOffNote = Cell.Note == TQuavixNote::KeyOff;
    if (!HasNote(Cell) && !KeyOffNote) C.ReplayNote();
    if (!KeyOffNote || C.Module->Has(TQuavixBehaviour::DelayedKeyOffPressesKey)) C.PressKey();
}
void InstrumentOfDelayedCell(TChannel& C) {
    if (C.CurrentNote.Instrument == 0 || !C.Module->Has(TQuavixBehaviour::InstrumentBeforeNoteDelay)) return;
    TQuavixPatternNote Instrument;
    Instrument.Instrument = C.CurrentNote.Instrument;
    C.TriggerNote(Instrument);
}

// Whether a slide takes its parameter: 00 repeats the last one given, but
// with SlidesWithoutMemory it slides by nothing.
bool TakesParameter(const TChannel& C, int32_t Parameter) {
    return Parameter != 0 || C.Module->Has(TQuavixBehaviour::SlidesWithoutMemory);
}

// With PortamentoAmigaLimits a slide up stops at period 113 and a slide down
// at 856 (in the Amiga system's quarter units); beyond them it goes no
// further. With AmigaLimitsFollowFineTune the limits are the ends of the
// finetune's table (see TQuavixChannel::SmallestAmigaPeriod).
void HoldAboveAmigaLimit(TChannel& C) {
    if (C.Module->Has(TQuavixBehaviour::PortamentoAmigaLimits))
        C.Period = std::max<int32_t>(C.Period, C.SmallestAmigaPeriod());
}
void HoldBelowAmigaLimit(TChannel& C) {
    if (C.Module->Has(TQuavixBehaviour::PortamentoAmigaLimits))
        C.Period = std::min<int32_t>(C.Period, C.LargestAmigaPeriod());
}

// A voice the tremor left silent is silent on every tick, after whatever
// else the tick did to its volume: the tick's volume offset takes away the
// whole volume range.
void HoldTremor(TChannel& C) {
    if (C.TremorSilent) C.VolumeOffset = -64;
}

// K00 releases the key on the row's first tick, before the cell's note or
// instrument could start anything: trackers play neither.
bool KeyOffFirst(const TQuavixPatternNote& Cell) {
    return Cell.Effect == TQuavixEffect::KeyOff && Cell.EffectParameter == 0;
}

void Jump(TQuavixModule& M, int32_t Order, int32_t Row) {
    M.JumpOrder = Order;
    M.JumpRow = Row;
    M.JumpPending = true;
}

// The row's first tick of a vibrato or tremolo: with ModulationOnFirstTick
// (or VibratoHeldOnFirstTick for a vibrato) it plays the wave where it
// stands, without moving it on; with VibratoOnFirstTick a vibrato moves and
// plays as on the later ticks; otherwise the plain pitch and volume sound.
void FirstTickVibrato(TChannel& C) {
    const TQuavixModule& M = *C.Module;
    if (M.Has(TQuavixBehaviour::VibratoOnFirstTick))
        C.DoVibrato();
    else if (M.Has(TQuavixBehaviour::ModulationOnFirstTick) || M.Has(TQuavixBehaviour::VibratoHeldOnFirstTick))
        C.PlayVibrato();
}
void FirstTickTremolo(TChannel& C) {
    if (C.Module->Has(TQuavixBehaviour::ModulationOnFirstTick)) C.PlayTremolo();
}

// The first tick of a tone portamento: a cell with a note aims it afresh
// (see DoTonePortamento), and with glissando and GlissandoRoundsPitch the
// tick already plays the note nearest the pitch.
void FirstTickTonePortamento(TChannel& C) {
    if (HasNote(C.CurrentNote)) C.TonePortamentoArrivedFromBelow = false;
    if (C.Glissando && C.Module->Has(TQuavixBehaviour::GlissandoRoundsPitch))
        C.PeriodOffset = C.Module->GetNotePeriod(C.Module->GetNearestNote(C.Period, C.FineTune), C.FineTune) - C.Period;
}

// A panning effect sets the channel's panning: with NotePanningLeavesChannel
// the one notes without panning of their own return to.
void SetChannelPanning(TChannel& C, int32_t Panning) {
    C.Panning = Panning;
    C.RestorePanning = -1;
}

// ---------------------------------------------------------------------------
// Volume column (n is the command's parameter). On the first tick (trigger:
// this is the cell's note tick):
//   set volume, fine down, fine up, set panning (trigger tick);
//   vibrato speed, vibrato depth, portamento speed (every first tick).
// On the other ticks (from the note tick on, for the slides):
//   volume down, volume up, panning left, panning right;
//   vibrato, tone portamento (every tick).
// Vibrato speed and depth and the portamento speed keep their memory for
// n = 0; the portamento speed, n * 16, is the one 3xx sets.

// A volume slide's step, which with VolumeSlidesRampAcrossTick the mixer
// ramps across the tick.
void SlideVolume(TChannel& C, int32_t Step) {
    C.Volume += Step;
    C.VolumeSlid = true;
}

void VolumeColumnFirstTick(TChannel& C, int32_t Command, int32_t n, bool TriggerTick) {
    using TCommand = TQuavixVolumeCommand;
    switch (Command) {
        case TCommand::SetVolume: if (TriggerTick) C.Volume = n; break;
        case TCommand::FineSlideDown: if (TriggerTick) SlideVolume(C, -n); break;
        case TCommand::FineSlideUp: if (TriggerTick) SlideVolume(C, n); break;
        case TCommand::VibratoSpeed: if (n != 0) C.VibratoSpeed = n; break;
        case TCommand::Vibrato:
            if (n != 0) C.VibratoDepth = n;
            // With ColumnVibratosAddUp a vibrato letter beside it gives the
            // speed first, and plays this vibrato too (VibratoNibbles).
            if (!C.Module->Has(TQuavixBehaviour::ColumnVibratosAddUp) || !QuavixLetterVibrato(C.CurrentNote))
                FirstTickVibrato(C);
            break;
        case TCommand::SetPanning: if (TriggerTick) C.Panning = n * 16; break;
        case TCommand::TonePortamento:
            if (n != 0) C.PortamentoSpeed = n * 16;
            FirstTickTonePortamento(C);
            break;
        case TCommand::SetPanningWide:
            if (TriggerTick) SetChannelPanning(C, std::min<int32_t>(n * 4, C.Module->RightPanning()));
            C.Surround = false;
            break;
        case TCommand::TonePortamentoAt:
            if (n != 0) C.PortamentoSpeed = n;
            // With ColumnSlidesShareMemory and LinkedPortamentoMemory the
            // speed is E's and F's step too.
            if (TriggerTick && n != 0 && C.Module->Has(TQuavixBehaviour::ColumnSlidesShareMemory) &&
                C.Module->Has(TQuavixBehaviour::LinkedPortamentoMemory))
                QuavixLetterSlideMemory(C) = static_cast<uint8_t>(n);
            FirstTickTonePortamento(C);
            break;
        case TCommand::PortamentoDown:
        case TCommand::PortamentoUp:
            // With ColumnSlidesShareMemory a step of its own is E's and F's.
            if (TriggerTick && n != 0 && C.Module->Has(TQuavixBehaviour::ColumnSlidesShareMemory))
                QuavixLetterSlideMemory(C) = static_cast<uint8_t>(n * 4);
            break;
        default: break;
    }
}

// Panning slides of the volume column, by n per tick and without memory,
// held within 0..255 at each step. With PanningSlideLeftByZeroHardLeft a
// slide left by 0 pans hard left.
void VolumeColumnPanningSlideLeft(TChannel& C, int32_t n) {
    if (n == 0 && C.Module->Has(TQuavixBehaviour::PanningSlideLeftByZeroHardLeft)) {
        C.Panning = 0;
        return;
    }
    C.Panning = std::max<int32_t>(C.Panning - n, 0);
}
void VolumeColumnPanningSlideRight(TChannel& C, int32_t n) {
    C.Panning = std::min<int32_t>(C.Panning + n, C.Module->RightPanning());
}

// The volume column beside a note delay with DelayedVolumeColumnSetsOnly, on
// the delayed tick: only a volume or a panning is set.
void DelayedVolumeColumn(TChannel& C, int32_t Command, int32_t n) {
    if (Command == TQuavixVolumeCommand::SetVolume) C.Volume = n;
    if (Command == TQuavixVolumeCommand::SetPanning) C.Panning = n * 16;
}

void SlidePeriod(TChannel& C, int32_t Delta);

// The step of a pitch slide of Impulse Tracker's volume column, 4 n; with
// ColumnSlidesShareMemory n = 0 takes the step E and F remember.
int32_t ColumnPitchSlide(TChannel& C, int32_t n) {
    if (n == 0 && C.Module->Has(TQuavixBehaviour::ColumnSlidesShareMemory)) return QuavixLetterSlideMemory(C);
    return n * 4;
}

// A tone portamento of Impulse Tracker's volume column at its own speed n
// beside Gxx; with ColumnSlidesShareMemory n = 0 takes the remembered one.
void ColumnTonePortamento(TChannel& C, int32_t n) {
    if (n == 0 || !C.Module->Has(TQuavixBehaviour::ColumnSlidesShareMemory)) {
        C.DoTonePortamento();
        return;
    }
    const int32_t Remembered = C.PortamentoSpeed;
    C.PortamentoSpeed = n;
    C.DoTonePortamento();
    C.PortamentoSpeed = Remembered;
}

void VolumeColumnOtherTicks(TChannel& C, int32_t Command, int32_t n, bool FromNoteTick) {
    using TCommand = TQuavixVolumeCommand;
    switch (Command) {
        case TCommand::SlideDown: if (FromNoteTick) SlideVolume(C, -n); break;
        case TCommand::SlideUp: if (FromNoteTick) SlideVolume(C, n); break;
        case TCommand::Vibrato: C.DoVibrato(); break;
        case TCommand::PanningSlideLeft: if (FromNoteTick) VolumeColumnPanningSlideLeft(C, n); break;
        case TCommand::PanningSlideRight: if (FromNoteTick) VolumeColumnPanningSlideRight(C, n); break;
        case TCommand::TonePortamento: C.DoTonePortamento(); break;
        case TCommand::TonePortamentoAt: ColumnTonePortamento(C, n); break;
        case TCommand::PortamentoDown: if (FromNoteTick) SlidePeriod(C, ColumnPitchSlide(C, n) * 4); break;
        case TCommand::PortamentoUp: if (FromNoteTick) SlidePeriod(C, -ColumnPitchSlide(C, n) * 4); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// 0xy arpeggio: the note, the note + x and the note + y semitones in turn,
// one per tick (see DoArpeggio for the order and the notes).

void ArpeggioSetup(TChannel& C, int32_t P) {
    if (P == 0 || C.Module->Has(TQuavixBehaviour::ArpeggioFromPeriodTable)) return;
    auto Offset = [&C](int32_t Semitones) {
        if (C.Module->LinearSlides) return -64 * Semitones;
        return C.Module->GetNotePeriod(C.RealNote + Semitones, C.FineTune) -
               C.Module->GetNotePeriod(C.RealNote, C.FineTune);
    };
    C.ArpeggioOffsets = {0, Offset(High(P)), Offset(Low(P))};
}
// With ArpeggioFromPeriodTable the tick's note is found from the current
// period among the finetune's three octaves of notes (its table): the first
// note at or above the period's pitch, x or y notes on. Past the table's top
// comes period 0, where the voice has no pitch and stands still for the
// tick, sounding the value it reached, and then the same table again from
// its lowest note.
void ArpeggioFromTable(TChannel& C, int32_t Semitones) {
    const TQuavixModule& M = *C.Module;
    constexpr int32_t TableNote = 36;  // the table's lowest note (period 856 at finetune 0)
    constexpr int32_t TableNotes = 36;
    int32_t Index = 0;
    while (Index < TableNotes && C.Period < M.GetNotePeriod(TableNote + Index, C.FineTune)) ++Index;
    int32_t Note = Index + Semitones;
    if (Note > TableNotes) Note -= TableNotes + 1;
    if (Note == TableNotes) {
        C.StillTick = true;
        return;
    }
    C.PeriodOffset += M.GetNotePeriod(TableNote + Note, C.FineTune) - C.Period;
}
void ArpeggioTick(TChannel& C, int32_t P) {
    if (P == 0) return;
    if (!C.Module->Has(TQuavixBehaviour::ArpeggioFromPeriodTable)) {
        C.DoArpeggio(High(P), Low(P));
        return;
    }
    const int32_t Semitones[3] = {0, High(P), Low(P)};
    if (C.CurrentTick % 3 != 0) ArpeggioFromTable(C, Semitones[C.CurrentTick % 3]);
}

// 1xx / 2xx portamento up / down by 4 period units per tick and step of xx
// (xx = 0 keeps the last one, see TakesParameter). The slides, the fine ones
// too, leave the tone portamento's target. With PeriodWrapsSlidingDown a
// slide up stops at period 1 and a slide down wraps at 16 bits, as the
// trackers' 16-bit period does.
// With SlidesMoveFrequency a pitch slide by Delta period units moves the
// note's whole-hertz frequency as Impulse Tracker does, to the nearest hertz
// at each linear step and truncated at each Amiga one, so that many small
// slides drift from the period's pitch. The period
// moves by Delta as ever, and ExactPitchRatio makes it sound at the new
// frequency.
constexpr int64_t AmigaSlideScale = 1712 * 8363;

int64_t SlidFrequency(const TChannel& C, int32_t Delta, int64_t Frequency) {
    if (!C.Module->LinearSlides) {
        const int64_t Divisor = AmigaSlideScale + Delta * Frequency;
        return Divisor > 0 ? Frequency * AmigaSlideScale / Divisor : Frequency;
    }
    const int32_t Steps = std::abs(Delta);
    uint32_t Factor = 65536;
    if (Steps % 4 == 0 && Steps / 4 < 256)
        Factor = Delta < 0 ? LinearSlideUpFactors[Steps / 4] : LinearSlideDownFactors[Steps / 4];
    else if (Steps < 16)
        Factor = Delta < 0 ? FineLinearSlideUpFactors[Steps] : FineLinearSlideDownFactors[Steps];
    return (Frequency * Factor + 32768) >> 16;
}

void SlideFrequency(TChannel& C, int32_t Delta) {
    const int64_t Ratio = C.ExactPitchRatio > 0 ? C.ExactPitchRatio : int64_t(1) << 24;
    // Where no slide left a frequency, the nearest whole hertz to the one
    // the period sounds at (a note's exact frequency comes out a fraction
    // of a 4096th short through its ratio).
    const int64_t Frequency = C.SlidFrequency > 0 && C.SlidPeriod == C.Period
                                  ? C.SlidFrequency
                                  : (((C.PeriodFineFrequency(C.Period) * Ratio) >> 24) + (QuavixFrameUnit / 2)) >>
                                        QuavixFrameBits;
    C.Period += Delta;
    if (Frequency <= 0) return;
    C.SoundAtWholeHertz(std::clamp<int64_t>(SlidFrequency(C, Delta, Frequency), 1, INT32_MAX));
}

void SlidePeriod(TChannel& C, int32_t Delta) {
    if (C.Module->Has(TQuavixBehaviour::SlidesMoveFrequency))
        SlideFrequency(C, Delta);
    else if (!C.Module->Has(TQuavixBehaviour::PeriodWrapsSlidingDown))
        C.Period += Delta;
    else if (Delta < 0)
        C.Period = std::max(C.Period + Delta, 1);
    else
        C.Period = (C.Period + Delta) & 0xFFFF;
}
void PortamentoUpSetup(TChannel& C, int32_t P) {
    if (TakesParameter(C, P)) C.PortamentoUp = P;
}
void PortamentoUpTick(TChannel& C, int32_t) {
    SlidePeriod(C, -C.PortamentoUp * 4);
    HoldAboveAmigaLimit(C);
}
void PortamentoDownSetup(TChannel& C, int32_t P) {
    if (TakesParameter(C, P)) C.PortamentoDown = P;
}
void PortamentoDownTick(TChannel& C, int32_t) {
    SlidePeriod(C, C.PortamentoDown * 4);
    HoldBelowAmigaLimit(C);
}

// 3xx tone portamento: slides toward the cell's note at xx (remembered).
// With VolumeColumnPortamentoFirst a tone portamento of the volume column
// beside it gives the speed: xx counts for nothing.
void TonePortamentoSetup(TChannel& C, int32_t P) {
    const bool ColumnFirst = C.Module->Has(TQuavixBehaviour::VolumeColumnPortamentoFirst) &&
                             C.CurrentNote.VolumeCommand == TQuavixVolumeCommand::TonePortamento;
    if (P != 0 && !ColumnFirst) C.PortamentoSpeed = P;
    FirstTickTonePortamento(C);
}
void TonePortamentoTick(TChannel& C, int32_t) { C.DoTonePortamento(); }

// 4xy vibrato at speed x and depth y; a nibble of 0 keeps its own memory.
void VibratoSetup(TChannel& C, int32_t P) {
    if (High(P) != 0) C.VibratoSpeed = High(P);
    if (Low(P) != 0) C.VibratoDepth = Low(P);
    FirstTickVibrato(C);
}
void VibratoTick(TChannel& C, int32_t) { C.DoVibrato(); }

// Axy volume slide: up by x per tick, or where x is 0 down by y (A00 keeps
// the last step, see TakesParameter); also the slide of 5xy and 6xy.
void VolumeSlideSetup(TChannel& C, int32_t P) {
    if (TakesParameter(C, P)) C.VolumeSlide = High(P) != 0 ? High(P) : -Low(P);
}
void VolumeSlideTick(TChannel& C, int32_t) { C.DoVolumeSlide(); }

// 5xy tone portamento (at the remembered speed) with volume slide.
void TonePortamentoVolumeSlideSetup(TChannel& C, int32_t P) {
    VolumeSlideSetup(C, P);
    FirstTickTonePortamento(C);
}
void TonePortamentoVolumeSlideTick(TChannel& C, int32_t) {
    C.DoTonePortamento();
    C.DoVolumeSlide();
}

// 6xy vibrato (as remembered) with volume slide.
void VibratoVolumeSlideSetup(TChannel& C, int32_t P) {
    VolumeSlideSetup(C, P);
    FirstTickVibrato(C);
}
void VibratoVolumeSlideTick(TChannel& C, int32_t) {
    C.DoVibrato();
    C.DoVolumeSlide();
}

// 7xy tremolo at speed x and depth y; a nibble of 0 keeps its own memory.
void TremoloSetup(TChannel& C, int32_t P) {
    if (High(P) != 0) C.TremoloSpeed = High(P);
    if (Low(P) != 0) C.TremoloDepth = Low(P);
    FirstTickTremolo(C);
}
void TremoloTick(TChannel& C, int32_t) { C.DoTremolo(); }

// 8xx set panning.
void SetPanning(TChannel& C, int32_t P) { C.Panning = P; }

// 9xx sample offset: the note of the cell starts xx * 256 frames into its
// sample; beyond the sample's end the mixer ends the voice. Only a cell that
// starts a note moves the sample: without a note, or with a tone portamento
// that slides the sounding note, the offset is remembered and what sounds
// plays on undisturbed, as trackers play it. 900 repeats the last offset
// given: songs give an offset once and 900 on the notes that follow.
//
// With OffsetMovesNoteStart the offset moves where the channel's notes start
// (NoteStart) instead, until the next instrument number: a cell without a note
// moves it once, a cell with a note twice, the note playing from the first
// move. An offset at or past the frames left marks the start as past the end.
void MoveNoteStart(TChannel& C) {
    const int32_t Offset = C.SampleOffsetMemory * 256;
    if (Offset < C.NoteLength) {
        C.NoteStart += Offset;
        C.NoteLength -= Offset;
    } else {
        C.NoteLength = 2;
    }
}
void SampleOffset(TChannel& C, int32_t P) {
    if (C.Module->Has(TQuavixBehaviour::OffsetMovesNoteStart)) {
        if (P != 0) C.SampleOffsetMemory = P;
        MoveNoteStart(C);
        if (!HasNote(C.CurrentNote)) return;
        C.MoveToNoteStart();
        MoveNoteStart(C);
        return;
    }
    // Beside a slide the offset is not even remembered, as trackers have it.
    if (TChannel::IsPortamento(C.CurrentNote)) return;
    if (P != 0) C.SampleOffsetMemory = P;
    if (HasNote(C.CurrentNote)) C.Position = QuavixPositionOf(static_cast<int64_t>(C.SampleOffsetMemory) * 256);
}

// Bxx position jump to order xx, row 0: also where a pattern break in an
// earlier channel of the row chose a row (a break in a later channel still
// chooses it).
void PositionJump(TChannel& C, int32_t P) {
    TQuavixModule& M = *C.Module;
    M.JumpOrder = P;
    M.JumpRow = 0;
    M.JumpPending = true;
    M.BreakRow = 0;
    M.BreakRowFromPositionJump = true;
}

// Cxx set volume (held to 64 when the voice is updated).
void SetVolume(TChannel& C, int32_t P) { C.Volume = P; }

// Dxx pattern break to row xx of the next order, unless a jump in an earlier
// channel chose the order. Trackers show and write the row as two decimal
// digits, so D10 is row 10 and D32 row 32. A digit above 9 still counts by
// its value, as the trackers that play these files take it: D1A is row 20,
// DA0 row 100 and DFF row 165. A row the pattern does not have starts that
// pattern from its top (see the row search).
void PatternBreakToRow(TChannel& C, int32_t Row) {
    TQuavixModule& M = *C.Module;
    if (!M.JumpPending) M.JumpOrder = M.OrderPosition + 1;
    M.JumpRow = Row;
    M.JumpPending = true;
    M.BreakRow = M.JumpRow;
    M.BreakRowFromPositionJump = false;
}
void PatternBreak(TChannel& C, int32_t P) { PatternBreakToRow(C, High(P) * 10 + Low(P)); }

// Fxx speed (ticks per row) below 0x20, tempo from 0x20 on, as both
// Fasttracker 2 and ProTracker take F20; with TempoFromNextTick the tempo
// lasts from the next tick. F00 sets speed 0: every tick is then a new row.
void SetSpeedOrTempo(TChannel& C, int32_t P) {
    if (P < 32)
        C.Module->Speed = static_cast<uint8_t>(P);
    else if (C.Module->Has(TQuavixBehaviour::TempoFromNextTick))
        C.Module->NextTempo = static_cast<uint8_t>(P);
    else
        C.Module->Tempo = static_cast<uint8_t>(P);
}

// Gxx global volume. The song's volume is held within 0..64 wherever it
// changes, whether or not a voice sounds: a slide down with nothing playing
// must not leave it below 0 for the notes that follow.
void SetGlobalVolume(TChannel& C, int32_t P) { C.Module->GlobalVolume = std::clamp<int32_t>(P, 0, 64); }

// Hxy global volume slide, by x - y per tick (H00 keeps the last step). Only
// a pattern channel slides the song's volume: a copy of the channel fading
// out in the fade bank would otherwise slide it a second time.
void GlobalVolumeSlideSetup(TChannel& C, int32_t P) {
    if (P != 0) C.GlobalVolumeSlide = High(P) - Low(P);
}
void GlobalVolumeSlideTick(TChannel& C, int32_t) {
    if (!C.Background) C.Module->GlobalVolume = std::clamp<int32_t>(C.Module->GlobalVolume + C.GlobalVolumeSlide, 0, 64);
}

// Kxx key off at tick xx of the row: the envelopes leave their sustain and
// the fade-out starts. K00 releases on the first tick, and a note or
// instrument beside it is not played (see ProcessRow); a tick at or past the
// end of the row never comes, so the key stays held.
void KeyOffAtTick(TChannel& C, int32_t P) {
    if (C.CurrentTick == P) C.ReleaseKey();
}

// Lxx both envelopes to position xx. With EnvelopePositionNeedsSustain the
// volume envelope moves only where it is on, and the panning envelope only
// where the volume envelope has its sustain on.
void SetEnvelopePosition(TChannel& C, int32_t P) {
    const TQuavixEnvelope* Volume = C.VolumeEnvelope->Envelope;
    const bool Checked = C.Module->Has(TQuavixBehaviour::EnvelopePositionNeedsSustain);
    if (!Checked || (Volume && Volume->Enabled)) C.VolumeEnvelope->SetPosition(P);
    if (!Checked || (Volume && Volume->SustainEnabled)) C.PanningEnvelope->SetPosition(P);
}

// Pxy panning slide, by x - y per tick (P00 keeps the last step). With
// PanningSlideRightFirst a slide right by x wins: left by y only where x is
// 0, the panning held within 0..255 at each step.
void PanningSlideSetup(TChannel& C, int32_t P) {
    if (P == 0) return;
    if (C.Module->Has(TQuavixBehaviour::PanningSlideRightFirst))
        C.PanningSlide = High(P) != 0 ? High(P) : -Low(P);
    else
        C.PanningSlide = High(P) - Low(P);
}
void PanningSlideTick(TChannel& C, int32_t) {
    C.Panning += C.PanningSlide;
    if (C.Module->Has(TQuavixBehaviour::PanningSlideRightFirst)) C.Panning = std::clamp<int32_t>(C.Panning, 0, C.Module->RightPanning());
}

// Qxx filter resonance xx, and the filter on.
void SetFilterResonance(TChannel& C, int32_t P) {
    C.FilterResonance = P;
    C.SetupFilter(!C.FilterValid);
}

// Rxy multi retrig: every y ticks the note starts again (see Retrigger) and
// the volume changes by x: 1..5 down by 1, 2, 4, 8, 16; 6 two thirds; 7
// half; 9..13 up by 1, 2, 4, 8, 16; 14 one and a half; 15 double; 0 and 8
// unchanged. R00 keeps both. Without MultiRetrigCountsTicks the row's ticks
// are counted from its first; with it see CountRetrig.
int32_t RetrigVolume(int32_t Change, int32_t V);

// With MultiRetrigCountsTicks the ticks are counted across rows from the
// last retrigger (an instrument number, a delayed note or E9y starts the
// count again), and the y-th starts the note again; a volume or panning in
// the volume column is set again after the volume change.
void CountRetrig(TChannel& C) {
    if (++C.RetrigCount < C.RetrigInterval) return;
    C.RetrigCount = 0;
    C.Volume = std::clamp<int32_t>(RetrigVolume(C.RetrigVolumeChange, std::clamp<int32_t>(C.Volume, 0, 64)), 0, 64);
    DelayedVolumeColumn(C, C.CurrentNote.VolumeCommand, C.CurrentNote.VolumeParameter);
    Retrigger(C);
}

// Whether the row's first tick counts for Rxy: where the volume column is
// empty, or its first-tick command (volume, fine slide, vibrato speed,
// panning) has the parameter 0 - that is, where the command leaves nothing
// of its byte, as FT2 reads it. The first row after an instrument number
// does not count its first tick.
bool RetrigCountsFirstTick(TChannel& C) {
    using TCommand = TQuavixVolumeCommand;
    if (C.RetrigSkipsFirstTick) {
        C.RetrigSkipsFirstTick = false;
        return false;
    }
    switch (C.CurrentNote.VolumeCommand) {
        case TCommand::None: return true;
        case TCommand::SetVolume:
        case TCommand::FineSlideDown:
        case TCommand::FineSlideUp:
        case TCommand::VibratoSpeed:
        case TCommand::SetPanning: return C.CurrentNote.VolumeParameter == 0;
        default: return false;
    }
}

void RetrigSetup(TChannel& C, int32_t P) {
    if (P != 0) {
        C.RetrigVolumeChange = High(P);
        C.RetrigInterval = Low(P);
    }
    if (!C.Module->Has(TQuavixBehaviour::MultiRetrigCountsTicks) || !RetrigCountsFirstTick(C)) return;
    // A retrigger due where the cell starts a note waits for the next tick.
    if (HasNote(C.CurrentNote) && C.RetrigCount + 1 >= C.RetrigInterval) return;
    CountRetrig(C);
}
int32_t RetrigVolume(int32_t Change, int32_t V) {
    switch (Change) {
        case 1: return V - 1;
        case 2: return V - 2;
        case 3: return V - 4;
        case 4: return V - 8;
        case 5: return V - 16;
        case 6: return V * 2 / 3;
        case 7: return V >> 1;
        case 9: return V + 1;
        case 10: return V + 2;
        case 11: return V + 4;
        case 12: return V + 8;
        case 13: return V + 16;
        case 14: return (V * 3) >> 1;
        case 15: return V * 2;
        default: return V;
    }
}
void RetrigTick(TChannel& C, int32_t) {
    if (C.RetrigInterval == 0) return;
    if (C.Module->Has(TQuavixBehaviour::MultiRetrigCountsTicks)) {
        CountRetrig(C);
        return;
    }
    if (C.CurrentTick % C.RetrigInterval != 0) return;
    Retrigger(C);
    C.Volume = RetrigVolume(C.RetrigVolumeChange, C.Volume);
}

// Txy tremor: x + 1 ticks sounding, y + 1 ticks silent, over and over (T00
// keeps both), as trackers count it (see DoTremor). The count goes on across
// rows and starts again with an instrument number; it moves on the other
// ticks of a row only. Whether the voice sounds holds from the tick the
// count last moved: over the first tick of the next tremor row, and past the
// last tremor row, where a voice left silent stays silent until an
// instrument number, whatever else sets its volume (see HoldTremor).
void TremorSetup(TChannel& C, int32_t P) {
    if (P != 0) {
        C.TremorOnTime = High(P);
        C.TremorOffTime = Low(P);
    }
}
void TremorTick(TChannel& C, int32_t) { C.DoTremor(); }

// Zxx MIDI macro, and the smooth macro (37) that reaches the macro's value
// by the last tick of the row; both run again on every tick.
void MidiMacro(TChannel& C, int32_t P) { C.RunMacro(TQuavixEffect::MidiMacro, P); }
void SmoothMidiMacro(TChannel& C, int32_t P) { C.RunMacro(TQuavixEffect::SmoothMidiMacro, P); }

// ---------------------------------------------------------------------------
// Exy extended commands, by x. y is the argument.

// E1y / E2y fine portamento up / down by 4 y period units, once (E10 and E20
// repeat the last step, see TakesParameter).
void FinePortamentoUp(TChannel& C, int32_t y) {
    if (TakesParameter(C, y)) C.FinePortamentoUp = y;
    SlidePeriod(C, -C.FinePortamentoUp * 4);
    HoldAboveAmigaLimit(C);
}
void FinePortamentoDown(TChannel& C, int32_t y) {
    if (TakesParameter(C, y)) C.FinePortamentoDown = y;
    SlidePeriod(C, C.FinePortamentoDown * 4);
    HoldBelowAmigaLimit(C);
}

// E3y glissando (y != 0): a tone portamento plays whole notes (see
// DoTonePortamento).
void SetGlissando(TChannel& C, int32_t y) { C.Glissando = y != 0; }

// E4y vibrato waveform: 0 sine, 1 ramp, 2 and 3 square; 4..7 the same
// waveforms keeping their phase at a new note.
void SetVibratoWaveform(TChannel& C, int32_t y) { C.VibratoWaveform = y & 7; }

// E5y finetune, for the note beside it: a note it starts plays at the new
// finetune, a slide aims at its note there (and slides on at it). With
// FineTuneCommandFromLowest y counts from the lowest finetune, (y - 8) * 16,
// and without a note nothing happens; otherwise y is the signed nibble of
// the Amiga trackers, in eighths of a semitone, and without a note it is
// the channel's finetune until a note starts. A note that starts takes its
// sample's finetune again, but with FineTuneFromInstrumentNumber, where the
// finetune stays the channel's for the notes that follow.
void SetFineTune(TChannel& C, int32_t y) {
    const bool WithNote = HasNote(C.CurrentNote);
    if (C.Module->Has(TQuavixBehaviour::FineTuneCommandFromLowest)) {
        if (!WithNote) return;
        C.FineTune = (y - 8) * 16;
    } else {
        C.FineTune = TQuavixModule::ConvertFineTune(y);
    }
    if (!WithNote) return;
    C.TargetPeriod = C.HeldNotePeriod(C.Module->GetNotePeriod(C.RealNote, C.FineTune));
    if (!TChannel::IsPortamento(C.CurrentNote)) C.Period = C.TargetPeriod;
}

// E6y pattern loop. E60 marks the loop start (the current row); E6y with
// y > 0 jumps back there y times, so the section plays y + 1 times. The loop
// belongs to the channel and survives pattern changes, jumps and restarts.
// With PatternLoopRowCarriesOver the jump goes through the break row, which
// it leaves standing for the next order (see the row search), unless a
// position jump of an earlier channel set it.
void PatternLoop(TChannel& C, int32_t y) {
    TQuavixModule& M = *C.Module;
    if (y == 0) {
        if (!C.PatternLoopActive) C.PatternLoopRow = M.Row;
        return;
    }
    if (!C.PatternLoopActive) {
        C.PatternLoopCount = y;
        C.PatternLoopActive = true;
    } else if (C.PatternLoopCount > 1) {
        C.PatternLoopCount -= 1;
    } else {
        C.PatternLoopActive = false;
        return;
    }
    if (M.Has(TQuavixBehaviour::PatternLoopRowCarriesOver)) {
        M.LoopJumpPending = true;
        if (!M.BreakRowFromPositionJump) M.BreakRow = C.PatternLoopRow;
        return;
    }
    Jump(M, M.OrderPosition, C.PatternLoopRow);
}

// E7y tremolo waveform, as E4y.
void SetTremoloWaveform(TChannel& C, int32_t y) { C.TremoloWaveform = y & 7; }

// E9y retrigger: every y ticks the note starts again (see Retrigger); with
// RetriggerPlaysLastNote the key is pressed again too (on the voice that
// starts: a copy fading out in the fade bank stays released). With
// RetriggerZeroOnFirstTick E90 plays the last note again on the row's first
// tick, where the cell has no note (or key-off) of its own. With
// RetriggerWithoutNote the channel's sample starts again instead, every y
// ticks from the row's first tick on, where a cell with a note has just
// started it.
void RetriggerSample(TChannel& C, int32_t y) {
    if (y == 0 || C.CurrentTick % y != 0) return;
    if (C.CurrentTick == 0 && HasNote(C.CurrentNote)) return;
    C.ReplaySample();
}
void RetriggerFirstTick(TChannel& C, int32_t y) {
    if (C.Module->Has(TQuavixBehaviour::RetriggerWithoutNote))
        RetriggerSample(C, y);
    else if (y == 0 && C.Module->Has(TQuavixBehaviour::RetriggerZeroOnFirstTick) &&
             C.CurrentNote.Note == TQuavixNote::None)
        C.ReplayNote();
}
void RetriggerTick(TChannel& C, int32_t y) {
    if (C.Module->Has(TQuavixBehaviour::RetriggerWithoutNote)) {
        RetriggerSample(C, y);
        return;
    }
    if (y == 0 || C.CurrentTick % y != 0) return;
    if (Retrigger(C) && C.Module->Has(TQuavixBehaviour::RetriggerPlaysLastNote)) C.PressKey();
}

// EAy / EBy fine volume up / down by y, once (EA0 and EB0 repeat the last,
// see TakesParameter).
void FineVolumeUp(TChannel& C, int32_t y) {
    if (TakesParameter(C, y)) C.FineVolumeSlideUp = y;
    C.Volume += C.FineVolumeSlideUp;
}
void FineVolumeDown(TChannel& C, int32_t y) {
    if (TakesParameter(C, y)) C.FineVolumeSlideDown = y;
    C.Volume -= C.FineVolumeSlideDown;
}

// ECy note cut: volume 0 at tick y (EC0 never cuts).
void NoteCutTick(TChannel& C, int32_t y) {
    if (C.CurrentTick == y) C.Volume = 0;
}

// EDy note delay: the cell takes effect on tick y (see NoteDelay).

// EEy pattern delay: the row is played y more times, without its cells.
void PatternDelay(TChannel& C, int32_t y) { C.Module->PatternDelay = y; }

// EFy selects parameterised macro y for Zxx with xx below 0x80.
void SelectMacro(TChannel& C, int32_t y) { C.ActiveMacro = y; }

constexpr TEffect ExtendedEffects[16] = {
    /* E0y */ {nullptr, nullptr},
    /* E1y */ {FinePortamentoUp, nullptr},
    /* E2y */ {FinePortamentoDown, nullptr},
    /* E3y */ {SetGlissando, nullptr},
    /* E4y */ {SetVibratoWaveform, nullptr},
    /* E5y */ {SetFineTune, nullptr},
    /* E6y */ {PatternLoop, nullptr},
    /* E7y */ {SetTremoloWaveform, nullptr},
    /* E8y */ {nullptr, nullptr},
    /* E9y */ {RetriggerFirstTick, RetriggerTick},
    /* EAy */ {FineVolumeUp, nullptr},
    /* EBy */ {FineVolumeDown, nullptr},
    /* ECy */ {nullptr, NoteCutTick},
    /* EDy */ {nullptr, nullptr},
    /* EEy */ {PatternDelay, nullptr},
    /* EFy */ {SelectMacro, nullptr},
};

void ExtendedFirstTick(TChannel& C, int32_t P) {
    if (TEffectAction Action = ExtendedEffects[High(P)].FirstTick) Action(C, Low(P));
}
void ExtendedTick(TChannel& C, int32_t P) {
    if (TEffectAction Action = ExtendedEffects[High(P)].OtherTicks) Action(C, Low(P));
}

// The first tick of a row's repetition with FineSlidesOnRowRepeats: the fine
// slides act once more.
void RowRepeatFineSlides(TChannel& C, int32_t P) {
    if (C.CurrentNote.Effect != TQuavixEffect::Extended) return;
    switch (High(P)) {
        case TQuavixExtendedEffect::FinePortamentoUp:
        case TQuavixExtendedEffect::FinePortamentoDown:
        case TQuavixExtendedEffect::FineVolumeUp:
        case TQuavixExtendedEffect::FineVolumeDown: ExtendedFirstTick(C, P); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// Xxy extra commands, first tick only.
//   X1y / X2y extra fine portamento up / down by y period units (no factor 4;
//   X10 and X20 repeat the last step).
//   X90 surround on, X91 off; X9C local filters off, X9D on (a new note then
//   turns the filter off); X9E play forwards, X9F backwards.

void ExtraFinePortamentoUp(TChannel& C, int32_t y) {
    if (y != 0) C.ExtraFinePortamentoUp = y;
    SlidePeriod(C, -C.ExtraFinePortamentoUp);
}
void ExtraFinePortamentoDown(TChannel& C, int32_t y) {
    if (y != 0) C.ExtraFinePortamentoDown = y;
    SlidePeriod(C, C.ExtraFinePortamentoDown);
}
void SoundControl(TChannel& C, int32_t y) {
    switch (y) {
        case 0x0: C.Surround = true; break;
        case 0x1: C.Surround = false; break;
        case 0xC: C.LocalFilters = false; break;
        case 0xD: C.LocalFilters = true; break;
        case 0xE: C.Backwards = false; break;
        case 0xF: C.Backwards = true; break;
        default: break;
    }
}

void ExtraFirstTick(TChannel& C, int32_t P) {
    switch (High(P)) {
        case TQuavixExtraEffect::ExtraFinePortamentoUp: ExtraFinePortamentoUp(C, Low(P)); break;
        case TQuavixExtraEffect::ExtraFinePortamentoDown: ExtraFinePortamentoDown(C, Low(P)); break;
        case TQuavixExtraEffect::SoundControl: SoundControl(C, Low(P)); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// The effect table, by effect number.

constexpr TEffect Effects[] = {
    /*  0 arpeggio */ {ArpeggioSetup, ArpeggioTick},
    /*  1 portamento up */ {PortamentoUpSetup, PortamentoUpTick},
    /*  2 portamento down */ {PortamentoDownSetup, PortamentoDownTick},
    /*  3 tone portamento */ {TonePortamentoSetup, TonePortamentoTick},
    /*  4 vibrato */ {VibratoSetup, VibratoTick},
    /*  5 tone portamento + volume slide */ {TonePortamentoVolumeSlideSetup, TonePortamentoVolumeSlideTick},
    /*  6 vibrato + volume slide */ {VibratoVolumeSlideSetup, VibratoVolumeSlideTick},
    /*  7 tremolo */ {TremoloSetup, TremoloTick},
    /*  8 set panning */ {SetPanning, nullptr},
    /*  9 sample offset */ {SampleOffset, nullptr},
    /* 10 A volume slide */ {VolumeSlideSetup, VolumeSlideTick},
    /* 11 B position jump */ {PositionJump, nullptr},
    /* 12 C set volume */ {SetVolume, nullptr},
    /* 13 D pattern break */ {PatternBreak, nullptr},
    /* 14 E extended */ {ExtendedFirstTick, ExtendedTick},
    /* 15 F speed / tempo */ {SetSpeedOrTempo, nullptr},
    /* 16 G global volume */ {SetGlobalVolume, nullptr},
    /* 17 H global volume slide */ {GlobalVolumeSlideSetup, GlobalVolumeSlideTick},
    /* 18 I */ {nullptr, nullptr},
    /* 19 J */ {nullptr, nullptr},
    /* 20 K key off */ {KeyOffAtTick, KeyOffAtTick},
    /* 21 L envelope position */ {SetEnvelopePosition, nullptr},
    /* 22 M */ {nullptr, nullptr},
    /* 23 N */ {nullptr, nullptr},
    /* 24 O */ {nullptr, nullptr},
    /* 25 P panning slide */ {PanningSlideSetup, PanningSlideTick},
    /* 26 Q filter resonance */ {SetFilterResonance, nullptr},
    /* 27 R multi retrig */ {RetrigSetup, RetrigTick},
    /* 28 S */ {nullptr, nullptr},
    /* 29 T tremor */ {TremorSetup, TremorTick},
    /* 30 U */ {nullptr, nullptr},
    /* 31 V */ {nullptr, nullptr},
    /* 32 W */ {nullptr, nullptr},
    /* 33 X extra */ {ExtraFirstTick, nullptr},
    /* 34 Y */ {nullptr, nullptr},
    /* 35 Z MIDI macro */ {MidiMacro, MidiMacro},
    /* 36 */ {nullptr, nullptr},
    /* 37 smooth MIDI macro */ {SmoothMidiMacro, SmoothMidiMacro},
};
constexpr int32_t EffectCount = static_cast<int32_t>(sizeof(Effects) / sizeof(Effects[0]));
static_assert(EffectCount == TQuavixEffect::Count, "one entry per effect number");
static_assert(Effects[TQuavixEffect::SmoothMidiMacro].FirstTick == SmoothMidiMacro, "entries in effect order");

const TEffect* FindEffect(const TQuavixPatternNote& Cell) {
    if (const TEffect* Letter = QuavixLetterEffect(Cell)) return Letter;
    if (Cell.Effect >= EffectCount) return nullptr;
    return &Effects[Cell.Effect];
}

}  // namespace

// ---------------------------------------------------------------------------

void TQuavixChannel::ProcessRow() {
    if (!Module) return;
    const int32_t Delay = NoteDelay(CurrentNote);
    const bool TriggerTick = CurrentTick == Delay;
    PeriodOffset = 0;
    VolumeOffset = 0;
    PanningOffset = 0;
    StillTick = false;
    if (TriggerTick && Delay > 0)
        DelayedCell(*this);
    else if (TriggerTick && !KeyOffFirst(CurrentNote))
        TriggerNote(CurrentNote);
    else if (CurrentTick == 0)
        InstrumentOfDelayedCell(*this);
    // With DelayedVolumeColumnWaits a delayed cell's volume column has its
    // first tick on the delayed one.
    if (Delay > 0 && Module->Has(TQuavixBehaviour::DelayedVolumeColumnSetsOnly)) {
        if (TriggerTick) DelayedVolumeColumn(*this, CurrentNote.VolumeCommand, CurrentNote.VolumeParameter);
    } else if (TriggerTick || Delay == 0 || !Module->Has(TQuavixBehaviour::DelayedVolumeColumnWaits)) {
        VolumeColumnFirstTick(*this, CurrentNote.VolumeCommand, CurrentNote.VolumeParameter, TriggerTick);
    }
    if (TriggerTick && QuavixLetterEffect(CurrentNote)) {
        QuavixLetterFirstTick(*this);
    } else if (TriggerTick) {
        const TEffect* Effect = FindEffect(CurrentNote);
        if (Effect && Effect->FirstTick) Effect->FirstTick(*this, CurrentNote.EffectParameter & 0xFF);
    }
    HoldTremor(*this);
}

void TQuavixChannel::ProcessTickEffects() {
    if (!Module) return;
    const int32_t Delay = NoteDelay(CurrentNote);
    // A delayed cell starts now (on the pattern channels; the other banks
    // trigger nothing). With DelayedVolumeColumnSetsOnly the volume column's
    // slides run on every tick but the row's first, the delayed cell after
    // them; otherwise they run from the delayed cell on.
    // With DelayedVolumeColumnWaits the delayed tick is the volume column's
    // first, and its other-tick part waits for the ticks after it.
    const bool NoteTick = Delay > 0 && CurrentTick == Delay && !Background && !FadeBank;
    const bool SlidesFirst = Module->Has(TQuavixBehaviour::DelayedVolumeColumnSetsOnly);
    const bool Waits = Delay > 0 && Module->Has(TQuavixBehaviour::DelayedVolumeColumnWaits);
    if (NoteTick && !SlidesFirst) ProcessRow();
    if (!(NoteTick && Waits)) {
        PeriodOffset = 0;
        VolumeOffset = 0;
        PanningOffset = 0;
        StillTick = false;
    }
    // With RowRepeatsStartAfresh the first tick of a repetition of the row
    // (SEy) is a first tick for the volume column too.
    if (CurrentTick == 0 && Module->Has(TQuavixBehaviour::RowRepeatsStartAfresh))
        VolumeColumnFirstTick(*this, CurrentNote.VolumeCommand, CurrentNote.VolumeParameter, false);
    else if (!Waits || CurrentTick > Delay)
        VolumeColumnOtherTicks(*this, CurrentNote.VolumeCommand, CurrentNote.VolumeParameter,
                               SlidesFirst || CurrentTick >= Delay);
    if (NoteTick && SlidesFirst) ProcessRow();
    // (EDy itself has no action on the other ticks.) A letter cell's row
    // repeated by SEy has a first tick in each repetition.
    const TEffect* Effect = FindEffect(CurrentNote);
    if (CurrentTick == 0 && QuavixLetterEffect(CurrentNote))
        QuavixLetterRowRepeat(*this);
    else if (Effect && Effect->OtherTicks)
        Effect->OtherTicks(*this, CurrentNote.EffectParameter & 0xFF);
    // A repetition of the row (EEx) starts again from tick 0, where with
    // FineSlidesOnRowRepeats the fine slides act once more.
    if (CurrentTick == 0 && Module->Has(TQuavixBehaviour::FineSlidesOnRowRepeats))
        RowRepeatFineSlides(*this, CurrentNote.EffectParameter & 0xFF);
    HoldTremor(*this);
}

// ---------------------------------------------------------------------------
// Step routines.

namespace {

// The arpeggio's choice on this tick: 0 the note, 1 + x, 2 + y. The Amiga
// trackers count the ticks from the row's start, modulo 3. With
// ArpeggioCountsDown the ticks left in the row choose, modulo 3, as
// Fasttracker 2 counts its rows down: the order then depends on the speed.
// Its table of choices ends at 16 ticks left: there the note plays, and
// with more ticks left always + y.
int32_t ArpeggioChoice(const TChannel& C) {
    if (!C.Module->Has(TQuavixBehaviour::ArpeggioCountsDown)) return C.CurrentTick % 3;
    const int32_t Speed = C.Module->Speed;
    if (Speed <= 0) return 0;
    const int32_t Left = Speed - C.CurrentTick % Speed;
    if (Left > 16) return 2;
    if (Left == 16) return 0;
    return Left % 3;
}

// The highest arpeggio note ArpeggioFromNearestNote plays: note 96 at
// finetune 0, whatever the channel's finetune.
constexpr int32_t HighestArpeggioNote = 96;

// The vibrato and tremolo waves, 64 steps to the period: the magnitude
// (0..255) at a position. Waveform 0 is the sine, 1 the ramp, 2 and 3 the
// square (the trackers have no other). The ramp rises over the first half
// and falls from its top over the second, by which half RampPosition is
// in: the vibrato's own position, and for the tremolo as well, as the
// trackers' tremolo reads it. Waveforms 4..7 play as 0..3.
int32_t WaveMagnitude(int32_t Waveform, int32_t Position, int32_t RampPosition) {
    const int32_t Step = Position & 31;
    switch (Waveform & 3) {
        case 0: return ModulationSine[Step];
        case 1: return (RampPosition & 32) ? 255 - Step * 8 : Step * 8;
        default: return 255;
    }
}

// A magnitude with the sign of the half the position is in: the first half
// adds, the second takes away.
int32_t WaveSign(int32_t Position, int32_t Magnitude) { return (Position & 32) ? -Magnitude : Magnitude; }

// The vibrato waves of SemitoneVibratoSteps, -64..64 over the 64 positions:
// the instrument vibrato's sine at the same phase (rising first), a ramp
// from 64 down, a square of 64 over the first half and 0 over the second,
// and random values from the channel's generator.
int32_t SemitoneVibratoWave(int32_t Waveform, int32_t Position, uint32_t& RandomState) {
    Position &= 63;
    switch (Waveform & 3) {
        case 0: return -AutoVibratoTable[static_cast<size_t>(Position * 4)];
        case 1: return 64 - Position * 2;
        case 2: return Position < 32 ? 64 : 0;
        default:
            RandomState = RandomState * 1103515245u + 12345u;
            return static_cast<int32_t>((RandomState >> 16) % 129) - 64;
    }
}

}  // namespace

void TQuavixChannel::DoArpeggio(int32_t x, int32_t y) {
    const int32_t Choice = ArpeggioChoice(*this);
    if (!Module->Has(TQuavixBehaviour::ArpeggioFromNearestNote)) {
        PeriodOffset = ArpeggioOffsets[Choice];
        return;
    }
    // The note nearest the pitch the channel has slid to, up to the highest
    // note; the plain note keeps the slid pitch.
    if (Choice == 0) {
        PeriodOffset = 0;
        return;
    }
    const int32_t Note = Module->GetNearestNote(Period, FineTune) + (Choice == 1 ? x : y);
    const int32_t Highest = Module->GetNotePeriod(HighestArpeggioNote, 0);
    PeriodOffset = std::max(Module->GetNotePeriod(Note, FineTune), Highest) - Period;
}

void TQuavixChannel::PlayVibrato() {
    // ShallowRisingVibrato: half as far, the first half up in pitch. With
    // ColumnVibratosAddUp the two columns' vibratos of a tick add up.
    const bool Rising = Module->Has(TQuavixBehaviour::ShallowRisingVibrato);
    const int32_t Before = Module->Has(TQuavixBehaviour::ColumnVibratosAddUp) ? PeriodOffset : 0;
    if (Module->LinearSlides && Module->Has(TQuavixBehaviour::SemitoneVibratoSteps)) {
        // Hxy's depth counts 4 y, Uxy's y; from 16 on the pitch moves in
        // whole sixteenths; the division truncates toward 0.
        const int32_t Wave = SemitoneVibratoWave(VibratoWaveform, VibratoPosition, RandomState);
        int32_t Magnitude = (std::abs(Wave) * (FineVibrato ? VibratoDepth : VibratoDepth * 4)) >> (Rising ? 6 : 5);
        if (Magnitude >= 16) Magnitude &= ~3;
        PeriodOffset = Before + ((Wave < 0) == Rising ? Magnitude : -Magnitude);
        return;
    }
    const int32_t Wave = WaveMagnitude(VibratoWaveform, VibratoPosition, VibratoPosition) * VibratoDepth;
    // The Amiga trackers move by whole Amiga periods, four of the periods
    // here: (wave * depth) / 128 of them. FineVibratoSteps keeps the
    // quarters: (wave * depth) / 32.
    // A fine vibrato (FineVibrato) moves a quarter as far: (wave * depth) / 128.
    int32_t Offset = FineVibrato                                         ? Wave >> 7
                     : Module->Has(TQuavixBehaviour::FineVibratoSteps) ? Wave >> 5
                                                                         : (Wave >> 7) * 4;
    if (Rising) Offset >>= 1;
    PeriodOffset = Before + WaveSign(VibratoPosition, Rising ? -Offset : Offset);
}

void TQuavixChannel::DoVibrato() {
    const bool MovesFirst = Module->Has(TQuavixBehaviour::VibratoMovesBeforePlaying);
    if (MovesFirst) VibratoPosition = (VibratoPosition + VibratoSpeed) & 63;
    PlayVibrato();
    if (!MovesFirst) VibratoPosition = (VibratoPosition + VibratoSpeed) & 63;
}

void TQuavixChannel::PlayTremolo() {
    const int32_t Wave = WaveMagnitude(TremoloWaveform, TremoloPosition, VibratoPosition) * TremoloDepth;
    VolumeOffset = WaveSign(TremoloPosition, Wave >> 6);
}

void TQuavixChannel::DoTremolo() {
    PlayTremolo();
    TremoloPosition = (TremoloPosition + TremoloSpeed) & 63;
}

void TQuavixChannel::DoPanbrello() {
    // The wave's 64 steps over 256 positions; the swing, at most 255 * 15 / 8
    // either way, can take the panning from one side to the other.
    const int32_t Step = (PanbrelloPosition >> 2) & 63;
    PanningOffset = WaveSign(Step, (WaveMagnitude(PanbrelloWaveform, Step, Step) * PanbrelloDepth) >> 3);
    PanbrelloPosition = (PanbrelloPosition + PanbrelloSpeed) & 255;
}

void TQuavixChannel::DoTremor() {
    if (Module->Has(TQuavixBehaviour::TremorCountsDownPhases)) {
        // Each phase counts down from its length as it starts; the times
        // given meanwhile count from the next phase on.
        if (--TremorCounter < 0) {
            TremorOn = !TremorOn;
            TremorCounter = TremorOn ? TremorOnTime : TremorOffTime;
        }
        TremorSilent = !TremorOn;
        return;
    }
    const int32_t Sounding = TremorOnTime + 1;
    const int32_t Cycle = Sounding + TremorOffTime + 1;
    TremorCounter %= Cycle;  // the times may have changed since the last tick
    TremorSilent = TremorCounter >= Sounding;
    TremorCounter = (TremorCounter + 1) % Cycle;
}

void TQuavixChannel::DoVolumeSlide() { Volume += VolumeSlide; }

void TQuavixChannel::DoTonePortamento() {
    // A target of 0: no note has aimed the slide yet, or (without
    // TonePortamentoKeepsTarget) it has got there, which ends it until a
    // note aims it again.
    if (TargetPeriod == 0) return;
    const bool KeepsTarget = Module->Has(TQuavixBehaviour::TonePortamentoKeepsTarget);
    const int32_t Slide = PortamentoSpeed * 4;
    if (Module->Has(TQuavixBehaviour::SlidesMoveFrequency)) {
        // The frequency slides as the pitch slides move it; arriving, the
        // note sounds at its own pitch.
        if (std::abs(TargetPeriod - Period) > Slide) {
            ::SlidePeriod(*this, Period < TargetPeriod ? Slide : -Slide);
        } else if (Period != TargetPeriod) {
            Period = TargetPeriod;
            SetExactPitchRatio();
        }
    } else if (Period < TargetPeriod) {
        Period = std::min(Period + Slide, TargetPeriod);
    } else if (Period > TargetPeriod) {
        // Up in pitch. Once a slide has got to a kept target from below, a
        // pitch below it (after a slide down) goes back onto it at once:
        // Fasttracker 2 then slides the way down, past the target.
        if (KeepsTarget && TonePortamentoArrivedFromBelow) {
            Period = TargetPeriod;
        } else {
            Period = std::max(Period - Slide, TargetPeriod);
            if (Period == TargetPeriod) TonePortamentoArrivedFromBelow = true;
        }
    }
    if (Period == TargetPeriod && !KeepsTarget) TargetPeriod = 0;
    if (!Glissando) return;
    // With glissando the slide goes on smoothly, while whole notes sound:
    // the nearest with GlissandoRoundsPitch, otherwise the note at or above
    // the pitch.
    const int32_t Note = Module->Has(TQuavixBehaviour::GlissandoRoundsPitch) ? Module->GetNearestNote(Period, FineTune)
                                                                           : Module->GetPeriodNote(Period, FineTune);
    PeriodOffset = Module->GetNotePeriod(Note, FineTune) - Period;
}

// ---------------------------------------------------------------------------
// The steps the letter effects share (effect_steps.h).

namespace QuavixEffectSteps {
void SlidePeriod(TChannel& C, int32_t Delta) { ::SlidePeriod(C, Delta); }
void HoldAboveAmigaLimit(TChannel& C) { ::HoldAboveAmigaLimit(C); }
void HoldBelowAmigaLimit(TChannel& C) { ::HoldBelowAmigaLimit(C); }
void ArpeggioSetup(TChannel& C, int32_t P) { ::ArpeggioSetup(C, P); }
void FirstTickTonePortamento(TChannel& C) { ::FirstTickTonePortamento(C); }
void FirstTickVibrato(TChannel& C) { ::FirstTickVibrato(C); }
void SetChannelPanning(TChannel& C, int32_t Panning) { ::SetChannelPanning(C, Panning); }
void PositionJump(TChannel& C, int32_t Order) { ::PositionJump(C, Order); }
void PatternBreak(TChannel& C, int32_t P) { ::PatternBreak(C, P); }
void PatternBreakToRow(TChannel& C, int32_t Row) { ::PatternBreakToRow(C, Row); }
void PatternLoop(TChannel& C, int32_t y) { ::PatternLoop(C, y); }
void SetFineTune(TChannel& C, int32_t y) { ::SetFineTune(C, y); }
void SoundControl(TChannel& C, int32_t y) { ::SoundControl(C, y); }
int32_t RetrigVolume(int32_t Change, int32_t Volume) { return ::RetrigVolume(Change, Volume); }
}  // namespace QuavixEffectSteps
