// The units the song model, the sequencer and the mixer share.
#pragma once

#include <cstdint>

// Sample positions and steps: 20.12 fixed point, 4096 to one frame.
constexpr int32_t QuavixFrameBits = 12;
constexpr int32_t QuavixFrameUnit = 1 << QuavixFrameBits;
constexpr int32_t QuavixFrameFraction = QuavixFrameUnit - 1;  // the fraction's bits

// A voice's fade-out volume: full until its key is released, then falling
// by the instrument's fade-out each tick to 0.
constexpr int32_t QuavixFullFadeout = 65536;
