// Periods and frequencies. A period falls as the pitch rises. In the linear
// system a semitone is 64 period units and an octave 768; in the Amiga system
// periods come from the Amiga table and halve per octave. Both systems give
// 8363 Hz for C in octave 4 (note index 48) at finetune 0; a pattern-format
// song played by the PAL Amiga clock gives 8287 Hz there.
#include <cstdint>

#include "sequencer/tables.h"
#include "song/module.h"
#include "song/units.h"

namespace {

constexpr int32_t MinNote = 1;
constexpr int32_t MaxNote = 132;
// With LinearOctaveBelowC0 the linear system reaches an octave lower.
constexpr int32_t MinLinearNote = -12;
// C-1, ProTracker's lowest note.
constexpr int32_t ProTrackerLowestNote = 36;

}  // namespace

int32_t TQuavixModule::GetNotePeriod(int32_t Note, int32_t FineTune) const {
    const bool OctaveBelow = LinearSlides && Note >= MinLinearNote && Has(TQuavixBehaviour::LinearOctaveBelowC0);
    if (Note < MinNote && !OctaveBelow) Note = MinNote;
    if (Note > MaxNote) Note = MaxNote;
    // With ProTrackerNotePeriods the notes of ProTracker's three octaves take
    // its periods: at finetune 0 those of its table, at the other finetunes
    // their table's lowest octave halved per octave up, to the quarter period.
    if (Has(TQuavixBehaviour::ProTrackerNotePeriods) && !LinearSlides && Note >= ProTrackerLowestNote &&
        Note < ProTrackerLowestNote + 36 && FineTune % 16 == 0 && FineTune >= -128 && FineTune < 128) {
        const int32_t Index = Note - ProTrackerLowestNote;
        if (FineTune == 0) return ProTrackerPeriods[Index] * 4;
        const int32_t Nibble = (FineTune / 16) & 15;
        return (ProTrackerTunedPeriods[Nibble][Index % 12] * 4) >> (Index / 12);
    }
    // With PeriodsFromC2Speed the finetune is the sample's C2 speed: ST3's
    // period of the note's semitone (C is 1712 at C2 speed 8363) scaled to
    // that speed and to the note's octave, in one division rounded to the
    // nearest unit: the nearest the quarter period comes to the exact pitch.
    if (Has(TQuavixBehaviour::PeriodsFromC2Speed) && !LinearSlides) {
        const int64_t C2Speed = FineTune > 0 ? FineTune : 8363;
        const int64_t Divisor = C2Speed << (Note / 12);
        const int64_t Period = 8363 * 16 * static_cast<int64_t>(ScreamTrackerPeriods[Note % 12]) / Divisor;
        return static_cast<int32_t>(Period);
    }
    // Sixteen finetune steps to the semitone (8 units each), rounded down.
    if (Has(TQuavixBehaviour::CoarseFineTune)) FineTune = static_cast<int32_t>((static_cast<int64_t>(FineTune) >> 3) * 8);
    if (LinearSlides) {
        // 7680 is the period of note index 0; finetune moves by half a unit
        // per step, 128 steps to the semitone. The wide intermediate keeps any
        // finetune value free of overflow.
        int64_t Period = 7680 - static_cast<int64_t>(Note) * 64 - (static_cast<int64_t>(FineTune) >> 1);
        if (Period < 1) return 1;
        if (Period > INT32_MAX) return INT32_MAX;
        return static_cast<int32_t>(Period);
    }
    // Interpolate between the two table entries around the finetune: 16
    // finetune units are one table step (an eighth of a semitone).
    int32_t Base = (Note % 12) * 8 + FineTune / 16 + 8;
    int32_t Neighbour = FineTune >= 0 ? Base + 1 : Base - 1;
    auto ClampIndex = [](int32_t Index) { return Index < 0 ? 0 : (Index > 103 ? 103 : Index); };
    Base = ClampIndex(Base);
    Neighbour = ClampIndex(Neighbour);
    // |FineTune| is taken in 64 bits so that even the most negative value has one.
    int32_t Fraction = static_cast<int32_t>((FineTune < 0 ? -static_cast<int64_t>(FineTune) : FineTune) & 15);
    int32_t Period = (AmigaPeriods[Base] * (16 - Fraction) + AmigaPeriods[Neighbour] * Fraction) * 2;
    return Period >> (Note / 12);
}

int32_t TQuavixModule::GetPeriodNote(int32_t Period, int32_t FineTune) const {
    // The lowest note whose pitch is at or above the pitch of the period.
    for (int32_t Note = 1; Note < 120; ++Note) {
        int32_t NotePeriod = GetNotePeriod(Note, FineTune);
        if (NotePeriod > 0 && NotePeriod <= Period) return Note;
    }
    return 120;
}

int32_t TQuavixModule::GetNearestNote(int32_t Period, int32_t FineTune) const {
    // The lowest note whose period half a semitone up in pitch (64 finetune
    // units, or the next note 64 units down where the finetune would leave
    // its range) is at or below the period.
    for (int32_t Note = 1; Note < 120; ++Note) {
        const int32_t HalfUp =
            FineTune <= 127 - 64 ? GetNotePeriod(Note, FineTune + 64) : GetNotePeriod(Note + 1, FineTune - 64);
        if (HalfUp > 0 && HalfUp <= Period) return Note;
    }
    return 120;
}

int32_t TQuavixModule::GetFrequency(int32_t Period) const {
    return static_cast<int32_t>(GetFineFrequency(Period) >> QuavixFrameBits);
}

int64_t TQuavixModule::GetFineFrequency(int32_t Period) const {
    // Voices never hand in a period below the period floor (UpdateVoice holds
    // the tick's period there), so a negative period only comes from other
    // callers; it counts as period 0, which keeps the linear table's index
    // in range. The frequency keeps its fraction to a 4096th of a hertz.
    if (Period < 0) Period = 0;
    if (LinearSlides && Has(TQuavixBehaviour::PeriodWrapsSlidingDown)) {
        // The octave counted down from period 13 * 768 - 1 in 16 bits, and
        // the entry shifted down by the octaves below octave 14 in 5 bits,
        // as Fasttracker 2 forms the frequency: the same as below up to
        // that period, while a period past it (a slide below the lowest
        // note) wraps to a high octave and plays far above it.
        const uint32_t Octave = (static_cast<uint32_t>(13 * 768 - 1 - Period) & 0xFFFF) / 768;
        const uint32_t Shift = (14 - Octave) & 31;
        return static_cast<int64_t>((static_cast<uint64_t>(LinearFrequencies[Period % 768]) << (2 + QuavixFrameBits)) >>
                                    Shift);
    }
    if (LinearSlides) return GetLinearFineFrequency(Period);
    // Period 0 is the one period without a pitch; it plays at 1 Hz.
    if (Period == 0) return int64_t(1) << QuavixFrameBits;
    return (static_cast<int64_t>(AmigaClockRate()) << QuavixFrameBits) / Period;
}

int64_t TQuavixModule::GetLinearFineFrequency(int32_t Period) const {
    if (Period < 0) Period = 0;
    const int32_t Shift = Period / 768;
    if (Shift >= 32) return 0;
    return (static_cast<int64_t>(LinearFrequencies[Period % 768]) << QuavixFrameBits) >> Shift;
}

// The Amiga clock as periods in quarter units divide it: four times the PAL
// or NTSC rate the player is set to, with AmigaClockChoice, else NTSC's.
int32_t TQuavixModule::AmigaClockRate() const {
    const bool Pal = AmigaClock == TQuavixAmigaClock::Pal && Has(TQuavixBehaviour::AmigaClockChoice);
    return Pal ? 14187578 : 14317456;
}
