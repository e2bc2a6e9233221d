// The coefficient table of the resonant filter: a two-pole resonant low-pass
// designed for every cutoff and resonance step at the player's rate. All the
// floating point of the filter happens here, once per player.
//
// The design mixes double and single precision on purpose, and every value
// that is single precision below is held in a float variable, so that each
// operation is rounded to single precision exactly where it is written. The
// table is then the same on every platform with IEEE single precision
// arithmetic and no excess precision (x86-64 SSE, ARM VFP).
#include <cmath>
#include <cstdint>

#include "player/quavix.h"

namespace {

constexpr double Ln2 = 0.69314718055994530942;
constexpr double Ln10 = 2.30258509299404568402;

// Nearest integer, ties to the even neighbour. A value that is not a number,
// or is outside the 32-bit range, only comes out of a degenerate rate (a
// cutoff of 0 Hz at a rate of 1 Hz); it gives 0 rather than an undefined
// conversion.
//
// Every coefficient of a real table lies far below 2^22 in magnitude. There,
// adding and taking away 1.5 x 2^23 rounds the value to an integer in the
// current rounding mode, exactly as nearbyint does (the sum lies where single
// precision steps by 1), without the library call: the table holds 49152
// coefficients and nearbyint was most of its cost. Larger values, and values
// that are not numbers, take the library's way.
int32_t RoundCoefficient(float Value) {
    constexpr float Shift = 12582912.0f;  // 1.5 x 2^23
    if (Value > -4194304.0f && Value < 4194304.0f) {
        const float Shifted = Value + Shift;
        return static_cast<int32_t>(Shifted - Shift);
    }
    const float Rounded = std::nearbyint(Value);
    if (!(Rounded >= -2147483648.0f && Rounded < 2147483648.0f)) return 0;
    return static_cast<int32_t>(Rounded);
}

}  // namespace

int32_t TQuavix::CutoffToFrequency(int32_t Cutoff, int32_t Modifier) const {
    if (Cutoff < 0) Cutoff = 0;
    if (Cutoff > 127) Cutoff = 127;
    // One octave per 24 steps, or per 20 steps with the extended range.
    const double Divisor = Module->ExtendedFilterRange ? 10240.0 : 12288.0;
    const float Exponent =
        static_cast<float>(0.25 + static_cast<double>(Cutoff) * (static_cast<double>(Modifier) + 256.0) / Divisor);
    const float Power = static_cast<float>(std::exp(static_cast<double>(Exponent) * Ln2));
    float Frequency = 110.0f * Power;
    // Far above the 20000 Hz ceiling (a large modifier) every value gives the
    // same result; keep the conversion below in range.
    if (!(Frequency < 1.0e6f)) Frequency = 1.0e6f;
    const int32_t Rounded = static_cast<int32_t>(std::nearbyint(Frequency));
    if (Rounded < 120) return 120;
    if (Rounded > 20000) return 20000;
    if (Module->SampleRate < 2 * Rounded) return Module->SampleRate / 2;
    return Rounded;
}

void TQuavix::BuildFilterTable(int32_t ASampleRate) {
    FilterTable.Rate = ASampleRate;
    FilterTable.ModuleRate = Module->SampleRate;
    FilterTable.ExtendedRange = Module->ExtendedFilterRange;
    FilterTable.Filled = false;
}

void TQuavix::FillFilterTable() {
    // The cutoffs are read with the module's rate and range of the moment
    // the table was asked for, whatever the song has set since.
    const int32_t SongRate = Module->SampleRate;
    const bool SongRange = Module->ExtendedFilterRange;
    Module->SampleRate = FilterTable.ModuleRate;
    Module->ExtendedFilterRange = FilterTable.ExtendedRange;
    TFilterTable& Table = FilterTable.Entries;
    const float Rate = static_cast<float>(FilterTable.Rate);
    // The damping of each resonance step, the same for every cutoff: 0.1875 dB
    // per step, 2 at step 0, 24 dB less at the top.
    float Dampings[FilterSteps];
    for (int32_t Resonance = 0; Resonance < FilterSteps; ++Resonance) {
        const float Exponent = static_cast<float>(-(0.1875 * Resonance) / 20.0);
        Dampings[Resonance] = 2.0f * static_cast<float>(std::exp(static_cast<double>(Exponent) * Ln10));
    }
    for (int32_t Cutoff = 0; Cutoff < FilterSteps; ++Cutoff) {
        const float Fc = static_cast<float>(CutoffToFrequency(Cutoff, 256));
        // Angular frequency per frame.
        const float W = static_cast<float>(static_cast<double>(Fc) * (6.28318530716 / static_cast<double>(Rate)));
        for (int32_t Resonance = 0; Resonance < FilterSteps; ++Resonance) {
            const float Damping = Dampings[Resonance];
            float D = (1.0f - Damping) * W;
            if (D > 2.0f) D = 2.0f;
            D = (Damping - D) / W;
            const float E = 1.0f / (W * W);
            const float G = 1.0f + D + E;
            const float A0 = 4096.0f * (1.0f / G);
            const float B0 = 4096.0f * ((D + 2.0f * E) / G);
            const float B1 = 4096.0f * (-E / G);
            Table[Resonance][Cutoff] = {RoundCoefficient(A0), RoundCoefficient(B0), RoundCoefficient(B1)};
        }
    }
    Module->SampleRate = SongRate;
    Module->ExtendedFilterRange = SongRange;
    FilterTable.Filled = true;
}

TQuavix::TFilterCoefficients TQuavix::HalfDampedFilter(int32_t Cutoff, int32_t Modifier, int32_t Resonance) const {
    if (Resonance < 0) Resonance = 0;
    if (Resonance > 127) Resonance = 127;
    // Half the damping of the table's resonance step: 1 at step 0.
    const float Exponent = static_cast<float>(-(0.1875 * Resonance) / 20.0);
    const float Damping = static_cast<float>(std::exp(static_cast<double>(Exponent) * Ln10));
    // The angular cutoff, and the output rate over it.
    const float Fc = static_cast<float>(CutoffToFrequency(Cutoff, Modifier)) * 6.28318530716f;
    const float R = static_cast<float>(Module->SampleRate) / Fc;
    const float D = Damping * R + Damping - 1.0f;
    const float E = R * R;
    const float G = 1.0f + D + E;
    // 24-bit coefficients: near a low cutoff A0 is a few thousandths of
    // 1.0, and 12 bits would leave it a digit or two.
    const float A0 = 16777216.0f * (1.0f / G);
    const float B0 = 16777216.0f * ((D + E + E) / G);
    const float B1 = 16777216.0f * (-E / G);
    return {RoundCoefficient(A0), RoundCoefficient(B0), RoundCoefficient(B1)};
}
