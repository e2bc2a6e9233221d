// The per-frame step of a voice's two-pole resonant filter, shared by the
// mixing loops. Coefficients are 12-bit fixed point (4096 = 1.0):
//   y = (A0 x + B0 H1 + B1 H2) asr 12,  then H2 := H1 and
//   H1 := y (low-pass) or H1 := y - x (high-pass).
// The high-pass runs on the low-pass entry of the table with A0 replaced by
// 4096 - A0 (see TQuavixChannel::SetupFilter).
#pragma once

#include <cstdint>

// History and output are 32-bit. The weighted sum is formed in 64 bits: with
// high resonance the history swings well beyond the 16-bit input range and
// B0 is close to 8192, so the 32-bit products would overflow.
template <bool HighPass>
[[gnu::always_inline]] inline int32_t FilterFrame(int32_t X, int32_t A0, int32_t B0, int32_t B1, int32_t& H1, int32_t& H2) {
    // Each output feeds the next through B0 x H1, so that product is added
    // last: the two others are ready by then. (The sum is the same in any
    // order; no term comes near the 64-bit range.)
    const int64_t Ready = static_cast<int64_t>(A0) * X + static_cast<int64_t>(B1) * H2;
    const int64_t Sum = Ready + static_cast<int64_t>(B0) * H1;
    const int64_t Y = Sum >> 12;  // arithmetic shift: floor
    H2 = H1;
    H1 = static_cast<int32_t>(HighPass ? Y - X : Y);
    return static_cast<int32_t>(Y);
}
