// Constant tables of the sequencer: the linear frequency table, the Amiga
// period table and the instrument vibrato waveform. The computed ones are
// filled while the program starts, so no other start-up code may read them.
#pragma once

#include <array>
#include <cstdint>

// Frequencies of one octave in the linear system: entry i is
// floor(535232 * 2^(-i/768)), 535232 being 8363 Hz * 64. Built at start-up.
extern const std::array<uint32_t, 768> LinearFrequencies;

// Amiga periods of octave 0, eight finetune steps per semitone: entry 0 is C at
// finetune -128, entry 8 C at finetune 0.
extern const std::array<uint16_t, 104> AmigaPeriods;

// Instrument vibrato sine: entry i is -64 * sin(2 pi i / 256) rounded to the
// nearest integer. Built at start-up.
extern const std::array<int8_t, 256> AutoVibratoTable;
