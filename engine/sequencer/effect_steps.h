// The steps the effect tables share: the Extended Module table of
// effects.cpp and the letter table of letter_effects.cpp. Each names what it
// does where it is defined, in effects.cpp.
#pragma once

#include <cstdint>

class TQuavixChannel;
struct TQuavixPatternNote;

// First-tick and other-tick action of one effect; none where it does nothing.
using TQuavixEffectAction = void (*)(TQuavixChannel& C, int32_t Parameter);
struct TQuavixEffectEntry {
    TQuavixEffectAction FirstTick;
    TQuavixEffectAction OtherTicks;
};

namespace QuavixEffectSteps {
void SlidePeriod(TQuavixChannel& C, int32_t Delta);
void HoldAboveAmigaLimit(TQuavixChannel& C);
void HoldBelowAmigaLimit(TQuavixChannel& C);
void ArpeggioSetup(TQuavixChannel& C, int32_t P);
void FirstTickTonePortamento(TQuavixChannel& C);
void FirstTickVibrato(TQuavixChannel& C);
void SetChannelPanning(TQuavixChannel& C, int32_t Panning);
void PositionJump(TQuavixChannel& C, int32_t Order);
void PatternBreak(TQuavixChannel& C, int32_t P);
// A break to row Row of the next order, however the row was written.
void PatternBreakToRow(TQuavixChannel& C, int32_t Row);
void PatternLoop(TQuavixChannel& C, int32_t y);
void SetFineTune(TQuavixChannel& C, int32_t y);
void SoundControl(TQuavixChannel& C, int32_t y);
int32_t RetrigVolume(int32_t Change, int32_t Volume);
}  // namespace QuavixEffectSteps

// The letter effects (TQuavixLetterEffect): the entry of a cell's letter,
// none for other cells.
const TQuavixEffectEntry* QuavixLetterEffect(const TQuavixPatternNote& Cell);
// The tick a letter cell's note, instrument and first-tick actions take place
// on: y for SDy, else 0.
int32_t QuavixLetterNoteDelay(const TQuavixPatternNote& Cell);
// Whether a letter cell slides to its note (G, L).
bool QuavixLetterPortamento(const TQuavixPatternNote& Cell);
// The memory of E and F (without SharedEffectMemory).
uint8_t& QuavixLetterSlideMemory(TQuavixChannel& C);
// Whether a letter cell gives a vibrato its speed and depth (H, U).
bool QuavixLetterVibrato(const TQuavixPatternNote& Cell);
// The first tick of a letter cell (on its note-delay tick for SDy): the
// channel remembers its parameter, a note of the cell starts at the
// channel's offset, and the letter's first-tick action follows.
void QuavixLetterFirstTick(TQuavixChannel& C);
// The first tick of each repetition of a letter cell's row (SEx): the
// actions of a first tick that do not start notes act again.
void QuavixLetterRowRepeat(TQuavixChannel& C);
