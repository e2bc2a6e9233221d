// The per-frame step of a voice's two-pole resonant filter, shared by the
// mixing loops. Coefficients are 24-bit fixed point (FilterUnit = 1.0), the
// input x is taken 256 times finer:
//   y = (A0 256x + B0 H1 + B1 H2 + 2^23) asr 24,
//   then H2 := H1 and H1 := y (low-pass) or y - 256x (high-pass), held to
//   +-2^24, and the output is y asr 8.
// The high-pass runs on the low-pass entry with A0 replaced by
// FilterUnit - A0 (see TQuavixChannel::SetupFilter).
#pragma once

#include <cstdint>

// 1.0 in the coefficients' fixed point.
constexpr int32_t FilterUnit = 1 << 24;
// The bound of the filter's output and history, twice the 16-bit range in
// the filter's own units (256 to the input's).
constexpr int64_t FilterHistoryPeak = int64_t(65536) * 256;

// History and output are 32-bit. The weighted sum is formed in 64 bits: with
// high resonance the history swings well beyond the 16-bit input range and
// B0 is close to 8192, so the 32-bit products would overflow.
template <bool HighPass>
[[gnu::always_inline]] inline int32_t FilterFrame(int32_t X, int32_t A0, int32_t B0, int32_t B1, int32_t& H1, int32_t& H2) {
    // The filter runs 8 bits finer than its input: near a low cutoff the
    // poles lie so close to 1 that whole-unit history would feed its own
    // rounding back, many times amplified.
    const int64_t In = static_cast<int64_t>(X) * 256;
    // Each output feeds the next through B0 x H1, so that product is added
    // last: the two others and the rounding half (to the nearest, halves
    // up) are ready by then. (The sum is the same in any order; no term
    // comes near the 64-bit range.)
    const int64_t Ready =
        static_cast<int64_t>(A0) * In + static_cast<int64_t>(B1) * H2 + (int64_t(1) << 23);
    const int64_t Y = (Ready + static_cast<int64_t>(B0) * H1) >> 24;
    // The history is held within twice the 16-bit range, so that a jump of
    // the coefficients on a resonating filter cannot make it run away; the
    // output itself is not held (the mix clamps it later). Only such a jump
    // gets there: one test, rarely taken, keeps the bounds off the path from
    // one output to the next.
    int64_t Next = HighPass ? Y - In : Y;
    if (__builtin_expect(static_cast<uint64_t>(Next + FilterHistoryPeak) > static_cast<uint64_t>(2 * FilterHistoryPeak - 256), 0))
        Next = Next < 0 ? -FilterHistoryPeak : FilterHistoryPeak - 256;
    H2 = H1;
    H1 = static_cast<int32_t>(Next);
    return static_cast<int32_t>(Y >> 8);  // arithmetic shift: floor
}
