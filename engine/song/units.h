// The units the song model, the sequencer and the mixer share.
#pragma once

#include <cstdint>

// Sample positions and steps: 20.12 fixed point, 4096 to one frame.
constexpr int32_t QuavixFrameBits = 12;
constexpr int32_t QuavixFrameUnit = 1 << QuavixFrameBits;
constexpr int32_t QuavixFrameFraction = QuavixFrameUnit - 1;  // the fraction's bits
// A position is 64 bits wide: samples of Impulse Tracker files can be far
// longer than the 2^19 frames a 32-bit position reaches.
constexpr int64_t QuavixPositionOf(int64_t Frame) { return Frame << QuavixFrameBits; }

// A voice's fade-out volume: full until its key is released, then falling
// by the instrument's fade-out each tick to 0.
constexpr int32_t QuavixFullFadeout = 65536;
