// The inner mixing loops and how the mixer picks one for a voice.
//
// Every loop adds a span of one voice into the mix buffer. There is one loop
// for each combination of output layout, interpolation, sample layout, volume
// ramp, filter kind and (on stereo output) equal or different sides, so that
// no loop tests any of these per frame. Two constant tables hold them:
//
//   MonoMixRoutines   [interpolation 0..3][stereo sample 0..1][ramp 0..1][filter 0..2]
//   StereoMixRoutines [interpolation 0..3][stereo sample 0..1][ramp 0..1][filter 0..2][sides differ 0..1]
//
// interpolation: 0 none, 1 linear, 2 cubic, 3 windowed sinc (8 taps)
// stereo sample: 0 the sample has one value per frame, 1 two (left, right)
// ramp:          0 the gains stand still, 1 a volume ramp runs
// filter:        0 none, 1 resonant low-pass, 2 resonant high-pass
// sides differ:  0 both output sides take the left gain, 1 each its own
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class TQuavix;
class TQuavixChannel;

// An inner loop: adds N >= 1 frames of Voice at Output (a mix-buffer frame)
// and leaves Output just after the last frame it wrote. It advances the
// voice's Position by N steps and writes back the ramp gains and filter
// histories it used.
using TQuavixMixRoutine = void (*)(int32_t*& Output, int32_t N, TQuavixChannel& Voice);

template <typename T, std::size_t N>
using TRoutineArray = std::array<T, N>;
using TMonoMixRoutines =
    TRoutineArray<TRoutineArray<TRoutineArray<TRoutineArray<TQuavixMixRoutine, 3>, 2>, 2>, 4>;
using TStereoMixRoutines =
    TRoutineArray<TRoutineArray<TRoutineArray<TRoutineArray<TRoutineArray<TQuavixMixRoutine, 2>, 3>, 2>, 2>, 4>;

extern const TMonoMixRoutines MonoMixRoutines;
extern const TStereoMixRoutines StereoMixRoutines;
// The stereo loops as they run on a machine without a vector unit, every
// group of four frames mixed one frame after another: what the vector forms
// in StereoMixRoutines must give exactly (see mix_vector.h). Where the build
// has no vector unit the two tables hold the same loops.
extern const TStereoMixRoutines FrameByFrameStereoMixRoutines;

// What the mixer knows about the voice it is mixing: the keys above and the
// loop they select.
struct TQuavixMixState {
    TQuavixChannel* Channel = nullptr;
    TQuavix* Player = nullptr;
    int32_t* Output = nullptr;  // the mix-buffer frame the next mixed frame goes to
    TQuavixMixRoutine Routine = nullptr;
    int32_t InterpolationKey = 0;
    int32_t StereoSampleKey = 0;
    int32_t RampKey = 0;
    int32_t FilterKey = 0;
    int32_t SidesDifferKey = 0;
};

// Sets every key and the loop for the voice.
void SelectMixRoutine(TQuavixMixState& State);
// Recomputes the ramp and sides keys and the loop after the ramp changed.
void UpdateMixRoutine(TQuavixMixState& State);

// Wraps the voice's position at its loop bounds and returns how many frames
// one loop call may mix (1..MaxFrames) so that every frame it touches lies
// inside the sample, or 0 when the voice has ended.
int32_t GetMixSpan(TQuavixChannel& Channel, int32_t MaxFrames);

// The filtered value that reaches the gain is held within this bound, so that
// a resonating filter times the largest gain (4096) still fits 32 bits. The
// bound lies 24 dB above full scale: nothing within it is ever heard
// differently, as the output is clipped far below it.
constexpr int32_t FilteredPeak = (1 << 19) - 1;
