// The weights by which the cubic and the windowed-sinc mixing loops read
// between sample frames: for each of 1024 phases between a frame and the
// next, the weights of the 4 (cubic) or 8 (sinc) frames around it, in
// 16384ths. A value is the weighted sum of those frames, rounded at 14 bits
// and held to the 16-bit range (QuavixTapValue).
#pragma once

#include <cstdint>

// Phases between two frames: the top 10 bits of a position's 12-bit fraction.
constexpr int32_t QuavixTapPhaseBits = 10;
constexpr int32_t QuavixTapPhases = 1 << QuavixTapPhaseBits;
// The weights' scale: they add up to 1 << QuavixTapWeightBits in every phase.
constexpr int32_t QuavixTapWeightBits = 14;

struct TQuavixInterpolationTables {
    // Catmull-Rom cubic: the frames before, at, after and two after the position.
    int16_t Cubic[QuavixTapPhases][4];
    // Kaiser-windowed sinc (beta 6), frames 3 before to 4 after the position.
    int16_t Sinc[QuavixTapPhases][8];
};

// The tables, worked out on first use and shared by every player. Built with
// plain double arithmetic (no library sine), so that every machine gets the
// same weights.
const TQuavixInterpolationTables& QuavixInterpolationTables();

// The weighted sum of Taps frames, scaled back by the weights' scale with
// rounding, held to the 16-bit range.
inline int32_t QuavixTapValue(int32_t Sum) {
    const int32_t Value = (Sum + (1 << (QuavixTapWeightBits - 1))) >> QuavixTapWeightBits;
    return Value > 32767 ? 32767 : (Value < -32768 ? -32768 : Value);
}
