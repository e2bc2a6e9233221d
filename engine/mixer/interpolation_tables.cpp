#include "mixer/interpolation_tables.h"

#include <cmath>
#include <cstddef>

namespace {

constexpr double Pi = 3.14159265358979323846;

// sin(x) by its series after reducing x to [-pi/2, pi/2]; far more exact
// than the 14-bit weights need. (The square root, which IEEE arithmetic
// rounds exactly, comes from the library.)
double Sine(double X) {
    double Sign = 1;
    if (X < 0) {
        X = -X;
        Sign = -1;
    }
    const long Turns = static_cast<long>(X / (2 * Pi));
    X -= static_cast<double>(Turns) * 2 * Pi;
    if (X > Pi) {
        X -= Pi;
        Sign = -Sign;
    }
    if (X > Pi / 2) X = Pi - X;
    double Term = X, Sum = X;
    for (int k = 1; k < 12; ++k) {
        Term *= -X * X / ((2 * k) * (2 * k + 1));
        Sum += Term;
    }
    return Sign * Sum;
}

// The modified Bessel function of order 0, by its series, up to the terms
// too small to change the sum.
double BesselI0(double X) {
    double Term = 1, Sum = 1;
    for (int k = 1; k < 40 && Term > Sum * 1e-17; ++k) {
        const double Half = X / (2 * k);
        Term *= Half * Half;
        Sum += Term;
    }
    return Sum;
}

// Rounds the weights to integers that add up to exactly the scale: the
// largest weight takes what rounding left over, so that a constant signal
// comes through unchanged.
template <size_t Taps>
void Quantise(const double (&Weights)[Taps], int16_t (&Out)[Taps]) {
    double Total = 0;
    for (double W : Weights) Total += W;
    int32_t Sum = 0;
    size_t Largest = 0;
    for (size_t k = 0; k < Taps; ++k) {
        const double Scaled = Weights[k] / Total * (1 << QuavixTapWeightBits);
        const int32_t Rounded = static_cast<int32_t>(Scaled < 0 ? Scaled - 0.5 : Scaled + 0.5);
        Out[k] = static_cast<int16_t>(Rounded);
        Sum += Rounded;
        if (Weights[k] > Weights[Largest]) Largest = k;
    }
    Out[Largest] = static_cast<int16_t>(Out[Largest] + ((1 << QuavixTapWeightBits) - Sum));
}

TQuavixInterpolationTables Build() {
    TQuavixInterpolationTables Tables{};
    constexpr double Beta = 6;
    const double Norm = BesselI0(Beta);
    for (int32_t Phase = 0; Phase < QuavixTapPhases; ++Phase) {
        const double T = static_cast<double>(Phase) / QuavixTapPhases;
        const double Cubic[4] = {(-T + 2 * T * T - T * T * T) / 2, (2 - 5 * T * T + 3 * T * T * T) / 2,
                                 (T + 4 * T * T - 3 * T * T * T) / 2, (-T * T + T * T * T) / 2};
        Quantise(Cubic, Tables.Cubic[Phase]);
        double Sinc[8];
        for (int32_t k = 0; k < 8; ++k) {
            const double X = (k - 3) - T;  // the frame's distance from the position
            const double S = X == 0 ? 1 : Sine(Pi * X) / (Pi * X);
            const double W = X / 4;
            Sinc[k] = W >= -1 && W <= 1 ? S * BesselI0(Beta * std::sqrt(1 - W * W)) / Norm : 0;
        }
        Quantise(Sinc, Tables.Sinc[Phase]);
    }
    return Tables;
}

}  // namespace

const TQuavixInterpolationTables& QuavixInterpolationTables() {
    // Built by the first caller, shared by every player and thread; the
    // mixer reaches it once per loop call, never per frame.
    static const TQuavixInterpolationTables Tables = Build();
    return Tables;
}
