// Constant tables of the sequencer: the linear frequency table, the Amiga
// period table, the instrument vibrato waveform and the vibrato/tremolo
// sine. The linear frequencies and the instrument vibrato are computed by
// the compiler, so they exist before any code runs and come out the same on
// every platform the compiler builds for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quavix_tables {

constexpr double Pi = 3.14159265358979323846;
constexpr double Ln2 = 0.69314718055994530942;

// e^x by its power series, for the small arguments below (|x| <= 2 pi). The
// terms are summed until they no longer change the result; the error stays
// within a few units in the last place of a double.
constexpr double Exp(double X) {
    double Sum = 1.0, Term = 1.0;
    for (int32_t n = 1; n < 60; ++n) {
        Term = Term * X / n;
        if (Sum + Term == Sum) break;
        Sum += Term;
    }
    return Sum;
}

// sin x by its power series, after moving x into -pi..pi.
constexpr double Sin(double X) {
    while (X > Pi) X -= 2.0 * Pi;
    while (X < -Pi) X += 2.0 * Pi;
    double Sum = X, Term = X;
    for (int32_t n = 1; n < 40; ++n) {
        Term = -Term * X * X / ((2 * n) * (2 * n + 1));
        if (Sum + Term == Sum) break;
        Sum += Term;
    }
    return Sum;
}

// Nearest integer, halves away from zero. No table entry below lies near a
// half, so the small error of Sin cannot change a rounded value.
constexpr int32_t Round(double X) {
    return X >= 0.0 ? static_cast<int32_t>(X + 0.5) : -static_cast<int32_t>(-X + 0.5);
}

constexpr std::array<uint32_t, 768> BuildLinearFrequencies() {
    std::array<uint32_t, 768> Table{};
    // Entries are truncated, not rounded. Apart from entry 0, which is exact,
    // every product lies more than 1e-4 away from an integer, far beyond the
    // error of the series, so the truncation is exact.
    for (int32_t i = 0; i < 768; ++i)
        Table[i] = static_cast<uint32_t>(535232.0 * Exp(-static_cast<double>(i) * Ln2 / 768.0));
    return Table;
}

constexpr std::array<int8_t, 256> BuildAutoVibratoTable() {
    std::array<int8_t, 256> Table{};
    for (int32_t i = 0; i < 256; ++i) Table[i] = static_cast<int8_t>(Round(-64.0 * Sin(2.0 * Pi * i / 256.0)));
    return Table;
}

// Frequency factors in 16.16 fixed point: entry i is 2^(Sign * i / Steps),
// rounded to the nearest. Entries of 2^(i/192) lie far enough from a half
// for the series' error not to matter.
template <size_t Count>
constexpr std::array<uint32_t, Count> BuildSlideFactors(double Sign, double Steps) {
    std::array<uint32_t, Count> Table{};
    for (size_t i = 0; i < Count; ++i)
        Table[i] = static_cast<uint32_t>(Round(65536.0 * Exp(Sign * static_cast<double>(i) * Ln2 / Steps)));
    return Table;
}

}  // namespace quavix_tables

// Frequencies of one octave in the linear system: entry i is
// floor(535232 * 2^(-i/768)), 535232 being 8363 Hz * 64.
inline constexpr std::array<uint32_t, 768> LinearFrequencies = quavix_tables::BuildLinearFrequencies();

// With SlidesMoveFrequency the linear slides multiply the frequency by these
// factors (16.16): up and down by i 192ths of an octave (4 i period units),
// and by i 768ths (the extra fine slides' i units).
inline constexpr std::array<uint32_t, 256> LinearSlideUpFactors = quavix_tables::BuildSlideFactors<256>(1.0, 192.0);
inline constexpr std::array<uint32_t, 256> LinearSlideDownFactors = quavix_tables::BuildSlideFactors<256>(-1.0, 192.0);
inline constexpr std::array<uint32_t, 16> FineLinearSlideUpFactors = quavix_tables::BuildSlideFactors<16>(1.0, 768.0);
inline constexpr std::array<uint32_t, 16> FineLinearSlideDownFactors = quavix_tables::BuildSlideFactors<16>(-1.0, 768.0);

// Amiga periods of octave 0, eight finetune steps per semitone: entry 0 is C at
// finetune -128, entry 8 C at finetune 0.
inline constexpr std::array<uint16_t, 104> AmigaPeriods = {
    907, 900, 894, 887, 881, 875, 868, 862, 856, 850, 844, 838, 832, 826, 820, 814, 808, 802,
    796, 791, 785, 779, 774, 768, 762, 757, 752, 746, 741, 736, 730, 725, 720, 715, 709, 704,
    699, 694, 689, 684, 678, 675, 670, 665, 660, 655, 651, 646, 640, 636, 632, 628, 623, 619,
    614, 610, 604, 601, 597, 592, 588, 584, 580, 575, 570, 567, 563, 559, 555, 551, 547, 543,
    538, 535, 532, 528, 524, 520, 516, 513, 508, 505, 502, 498, 494, 491, 487, 484, 480, 477,
    474, 470, 467, 463, 460, 457, 453, 450, 447, 443, 440, 437, 434, 431};

// Scream Tracker 3's periods of the twelve semitones of octave 4 at C2
// speed 8363 (PeriodsFromC2Speed), in quarter Amiga periods.
inline constexpr std::array<uint16_t, 12> ScreamTrackerPeriods = {1712, 1616, 1524, 1440, 1356, 1280,
                                                                  1208, 1140, 1076, 1016, 960,  907};

// ProTracker's periods (ProTrackerNotePeriods). Its own table at finetune 0,
// C-1 to B-3.
inline constexpr std::array<uint16_t, 36> ProTrackerPeriods = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339, 320,
    302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

// The lowest octave (C-1 to B-1) of each finetune's table, by the finetune's
// nibble: 0..7 for +0..+7, 8..15 for -8..-1.
inline constexpr std::array<std::array<uint16_t, 12>, 16> ProTrackerTunedPeriods = {{
    {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453},
    {850, 802, 757, 715, 674, 637, 601, 567, 535, 505, 477, 450},
    {844, 796, 752, 709, 670, 632, 597, 563, 532, 502, 474, 447},
    {838, 791, 746, 704, 665, 628, 592, 559, 528, 498, 470, 444},
    {832, 785, 741, 699, 660, 623, 588, 555, 524, 495, 467, 441},
    {826, 779, 736, 694, 655, 619, 584, 551, 520, 491, 463, 437},
    {820, 774, 730, 689, 651, 614, 580, 547, 516, 487, 460, 434},
    {814, 768, 725, 684, 646, 610, 575, 543, 513, 484, 457, 431},
    {907, 856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480},
    {900, 850, 802, 757, 715, 675, 636, 601, 567, 535, 505, 477},
    {894, 844, 796, 752, 709, 670, 632, 597, 563, 532, 502, 474},
    {887, 838, 791, 746, 704, 665, 628, 592, 559, 528, 498, 470},
    {881, 832, 785, 741, 699, 660, 623, 588, 555, 524, 494, 467},
    {875, 826, 779, 736, 694, 655, 619, 584, 551, 520, 491, 463},
    {868, 820, 774, 730, 689, 651, 614, 580, 547, 516, 487, 460},
    {862, 814, 768, 725, 684, 646, 610, 575, 543, 513, 484, 457},
}};

// Instrument vibrato sine: entry i is -64 * sin(2 pi i / 256) rounded to the
// nearest integer.
inline constexpr std::array<int8_t, 256> AutoVibratoTable = quavix_tables::BuildAutoVibratoTable();

// The sine of the vibrato and tremolo effects as the trackers have it: the
// magnitude over the first half of the wave, entry i being
// floor(255 sin(pi i / 32)); the second half repeats it with the sign
// turned.
inline constexpr std::array<uint8_t, 32> ModulationSine = {
    0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212, 224, 235, 244, 250, 253,
    255, 253, 250, 244, 235, 224, 212, 197, 180, 161, 141, 120, 97,  74,  49,  24};
