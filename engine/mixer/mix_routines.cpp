// The 144 inner mixing loops, made from one loop over small policy types:
//
//   fetch    nearest frame, linear interpolation, or a weighted sum of the 4
//            (cubic) or 8 (windowed sinc) frames around the position, of a
//            mono or stereo sample
//   filter   none, resonant low-pass or resonant high-pass
//   gain     fixed gains or a running volume ramp, for mono output or for
//            stereo output with equal or different sides
//   output   mono (one value per frame) or stereo (left, right)
//
//   groups   how a group of four frames is mixed: one frame after another,
//            or at once by the machine's vector unit (mix_vector.h)
//
// Per frame a loop fetches the sample value(s), downmixes a stereo sample on
// mono output ((left + right) asr 1), filters, steps the ramp (before the
// frame uses the gain), multiplies by the gain and adds into the mix buffer.
// Positions are in 4096ths of a frame, counted in 32 bits from a frame near
// the span: the frame is the position shifted right by 12 as an unsigned
// number, the weight of the following frame its low 12 bits.
#include "mixer/mix_routines.h"

#include <algorithm>
#include <type_traits>

#include "mixer/interpolation_tables.h"
#include "mixer/mix_vector.h"
#include "mixer/resonant_filter.h"
#include "sequencer/channel.h"
#include "song/instrument.h"
#include "song/units.h"

namespace {

// The policies are the loop's own steps: they must melt into it whatever the
// optimisation level, with no call left per frame.
#define QUAVIX_MIX_STEP [[gnu::always_inline]] inline

// ---------------------------------------------------------------------------
// Fetch: the value(s) of the sample at a position.

template <int32_t SampleChannels>
struct TNearest {
    static constexpr int32_t Channels = SampleChannels;
    static constexpr int32_t Key = 0;
    QUAVIX_MIX_STEP static void Fetch(const int16_t* Data, uint32_t Position, int32_t* X) {
        const int16_t* Frame = Data + static_cast<size_t>(Position >> QuavixFrameBits) * SampleChannels;
        for (int32_t c = 0; c < SampleChannels; ++c) X[c] = Frame[c];
    }
};

template <int32_t SampleChannels>
struct TLinear {
    static constexpr int32_t Channels = SampleChannels;
    static constexpr int32_t Key = 1;
    // Reads the frame after the current one too; the guard frames behind the
    // sample and behind a forward loop make that read safe and seamless.
    QUAVIX_MIX_STEP static void Fetch(const int16_t* Data, uint32_t Position, int32_t* X) {
        const int16_t* Frame = Data + static_cast<size_t>(Position >> QuavixFrameBits) * SampleChannels;
        const int32_t Weight = static_cast<int32_t>(Position & QuavixFrameFraction);
        for (int32_t c = 0; c < SampleChannels; ++c) {
            const int32_t A = Frame[c];
            const int32_t B = Frame[c + SampleChannels];
            X[c] = A + (((B - A) * Weight) >> QuavixFrameBits);
        }
    }
};

// Cubic (4 taps, key 2) or windowed sinc (8 taps, key 3): the frames from
// Taps / 2 - 1 before the position's frame to Taps / 2 after it, weighted by
// the table row of the position's phase (interpolation_tables.h). The guard
// frames cover every frame read.
template <int32_t Taps, int32_t SampleChannels>
struct TWeighted {
    static constexpr int32_t Channels = SampleChannels;
    static constexpr int32_t Key = Taps == 4 ? 2 : 3;
    static constexpr int32_t Before = Taps / 2 - 1;
    const int16_t* Weights;
    TWeighted()
        : Weights(Taps == 4 ? &QuavixInterpolationTables().Cubic[0][0] : &QuavixInterpolationTables().Sinc[0][0]) {}
    QUAVIX_MIX_STEP void Fetch(const int16_t* Data, uint32_t Position, int32_t* X) const {
        const int16_t* Frame =
            Data + (static_cast<ptrdiff_t>(Position >> QuavixFrameBits) - Before) * SampleChannels;
        const int16_t* Row = Weights + static_cast<size_t>((Position & QuavixFrameFraction) >>
                                                           (QuavixFrameBits - QuavixTapPhaseBits)) * Taps;
        for (int32_t c = 0; c < SampleChannels; ++c) {
            int32_t Sum = 0;
            for (int32_t k = 0; k < Taps; ++k) Sum += Row[k] * Frame[k * SampleChannels + c];
            X[c] = QuavixTapValue(Sum);
        }
    }
};

// ---------------------------------------------------------------------------
// Filter, with one history per value it filters.

struct TNoFilter {
    template <int32_t Values>
    struct TState {
        explicit TState(const TQuavixChannel&) {}
        QUAVIX_MIX_STEP int32_t Apply(int32_t X, int32_t) { return X; }
        void Store(TQuavixChannel&) const {}
    };
};

template <bool HighPass>
struct TResonant {
    template <int32_t Values>
    struct TState {
        int32_t A0, B0, B1;
        int32_t H1[Values], H2[Values];
        explicit TState(const TQuavixChannel& Voice)
            : A0(Voice.FilterCoefficients[0]), B0(Voice.FilterCoefficients[1]), B1(Voice.FilterCoefficients[2]) {
            for (int32_t v = 0; v < Values; ++v) {
                H1[v] = Voice.FilterHistory[2 * v];
                H2[v] = Voice.FilterHistory[2 * v + 1];
            }
        }
        QUAVIX_MIX_STEP int32_t Apply(int32_t X, int32_t v) {
            const int32_t Y = FilterFrame<HighPass>(X, A0, B0, B1, H1[v], H2[v]);
            // Held to the peak, which only a resonating filter reaches: one
            // test of the distance from -FilteredPeak, rarely taken.
            if (__builtin_expect(static_cast<uint32_t>(Y) + FilteredPeak > 2u * FilteredPeak, 0))
                return Y > 0 ? FilteredPeak : -FilteredPeak;
            return Y;
        }
        void Store(TQuavixChannel& Voice) const {
            for (int32_t v = 0; v < Values; ++v) {
                Voice.FilterHistory[2 * v] = H1[v];
                Voice.FilterHistory[2 * v + 1] = H2[v];
            }
        }
    };
};

// ---------------------------------------------------------------------------
// Gain. Sides: which gains exist.

enum class TSides { MonoOutput, Equal, Different };

template <TSides GainSides>
struct TFixedGain {
    static constexpr bool Ramp = false;
    static constexpr TSides Sides = GainSides;
    int32_t Left, Right;
    static constexpr int32_t StepLeft = 0, StepRight = 0;
    explicit TFixedGain(const TQuavixChannel& Voice)
        : Left(Voice.VolumeLeft), Right(Sides == TSides::Different ? Voice.VolumeRight : Voice.VolumeLeft) {}
    // Gains of frame K (1-based) of the frames still to come.
    QUAVIX_MIX_STEP int32_t LeftAt(int32_t) const { return Left; }
    QUAVIX_MIX_STEP int32_t RightAt(int32_t) const { return Right; }
    QUAVIX_MIX_STEP void Advance(int32_t) {}
    void Store(TQuavixChannel&) const {}
};

template <TSides GainSides>
struct TRampGain {
    static constexpr bool Ramp = true;
    static constexpr TSides Sides = GainSides;
    int32_t Left, Right, StepLeft, StepRight;
    explicit TRampGain(const TQuavixChannel& Voice)
        : Left(Voice.RampLeft), Right(Voice.RampRight), StepLeft(Voice.RampStepLeft), StepRight(Voice.RampStepRight) {}
    // The ramp steps before a frame uses it: frame K takes the gain K steps on.
    QUAVIX_MIX_STEP int32_t LeftAt(int32_t K) const { return (Left + K * StepLeft) >> 12; }
    QUAVIX_MIX_STEP int32_t RightAt(int32_t K) const {
        return Sides == TSides::Different ? (Right + K * StepRight) >> 12 : LeftAt(K);
    }
    QUAVIX_MIX_STEP void Advance(int32_t K) {
        Left += K * StepLeft;
        if (Sides == TSides::Different) Right += K * StepRight;
    }
    void Store(TQuavixChannel& Voice) const {
        Voice.RampLeft = Left;
        if (Sides == TSides::Different) Voice.RampRight = Right;
        if (Sides == TSides::Equal) Voice.RampRight = Left;
    }
};

// ---------------------------------------------------------------------------
// Output: adds the filtered value(s) of one frame with their gains.

template <int32_t OutputChannels>
struct TOutput;

template <>
struct TOutput<1> {
    static constexpr int32_t Channels = 1;
    template <int32_t Values, class TGain>
    QUAVIX_MIX_STEP static void Add(int32_t* Out, const int32_t* Y, const TGain& Gain, int32_t K) {
        Out[0] += Y[0] * Gain.LeftAt(K);
    }
};

template <>
struct TOutput<2> {
    static constexpr int32_t Channels = 2;
    template <int32_t Values, class TGain>
    QUAVIX_MIX_STEP static void Add(int32_t* Out, const int32_t* Y, const TGain& Gain, int32_t K) {
        Out[0] += Y[0] * Gain.LeftAt(K);
        Out[1] += Y[Values - 1] * Gain.RightAt(K);
    }
};

// ---------------------------------------------------------------------------
// Groups of four frames: one frame after another, or at once by the vector
// unit, for the members it covers (no filter, stereo output).

struct TFrameByFrame {};
struct TVectorUnit {};
// The filtered linear members: the four frames' values by the vector unit,
// then filtered and added one frame after another.
struct TVectorValues {};

template <class TFetch, class TFilter, class TGain, class TOut>
constexpr bool VectorCovers = QuavixVectorGroups && std::is_same_v<TFilter, TNoFilter> && TOut::Channels == 2;

#ifdef QUAVIX_VECTOR_FETCH
template <class TFetch, class TFilter>
constexpr bool VectorFetches = !std::is_same_v<TFilter, TNoFilter> && TFetch::Key == 1;
#else
template <class TFetch, class TFilter>
constexpr bool VectorFetches = false;
#endif

// ---------------------------------------------------------------------------
// The loop.

template <class TFetch, class TFilter, class TGain, class TOut, class TGroups>
void MixLoop(int32_t*& Output, int32_t N, TQuavixChannel& Voice) {
    // A stereo sample on mono output becomes one value before the filter.
    constexpr bool Downmix = TOut::Channels == 1 && TFetch::Channels == 2;
    constexpr int32_t Values = Downmix ? 1 : TFetch::Channels;

    // The loop counts positions in 32 bits from the frame of the lowest
    // position the span reaches: a span covers a few thousand frames at
    // most, wherever in a long sample it lies. The fraction, and so every
    // value, is the same as from the sample's start.
    const int64_t Start = Voice.Position;
    const int64_t Lowest = N > 0 ? std::min(Start, Start + static_cast<int64_t>(N - 1) * Voice.Step) : Start;
    const int64_t BaseFrame = Lowest >> QuavixFrameBits;
    const int16_t* Data = Voice.Sample->Data + BaseFrame * TFetch::Channels;
    uint32_t Position = static_cast<uint32_t>(Start - QuavixPositionOf(BaseFrame));
    const uint32_t Step = static_cast<uint32_t>(Voice.Step);
    const int32_t Frames = N;
    const TFetch Fetch;
    typename TFilter::template TState<Values> Filter(Voice);
    TGain Gain(Voice);
    int32_t* Out = Output;

    // Frame K (1-based) of those still to come, of values X.
    auto Mix = [&](const int32_t* X, int32_t K, int32_t* O) __attribute__((always_inline)) {
        int32_t Y[Values];
        if (Downmix) {
            Y[0] = Filter.Apply((X[0] + X[TFetch::Channels - 1]) >> 1, 0);
        } else {
            for (int32_t v = 0; v < Values; ++v) Y[v] = Filter.Apply(X[v], v);
        }
        TOut::template Add<Values>(O, Y, Gain, K);
    };
    // Frame K (1-based) of those still to come, at position P.
    auto Frame = [&](uint32_t P, int32_t K, int32_t* O) __attribute__((always_inline)) {
        int32_t X[TFetch::Channels];
        Fetch.Fetch(Data, P, X);
        Mix(X, K, O);
    };

    // Four frames at a time, their positions and gains counted from the start
    // of the group, then the rest one by one.
#if QUAVIX_VECTOR_GROUPS
    if constexpr (std::is_same_v<TGroups, TVectorUnit>) {
        TVectorGroup<TFetch::Channels, TFetch::Key, TGain::Ramp, TGain::Sides == TSides::Different> Group(
            Position, Step, Gain.Left, Gain.Right, Gain.StepLeft, Gain.StepRight);
        for (; N >= 4; N -= 4) {
            Group.Mix(Data, Position, Step, Out);
            Position += 4 * Step;
            Gain.Advance(4);
            Out += 4 * TOut::Channels;
        }
    }
#endif
#ifdef QUAVIX_VECTOR_FETCH
    if constexpr (std::is_same_v<TGroups, TVectorValues>) {
        TVectorFetch<TFetch::Channels> Four(Position, Step);
        for (; N >= 4; N -= 4) {
            int32_t X[4 * TFetch::Channels];
            Four.Fetch(Data, Position, Step, X);
            for (int32_t k = 0; k < 4; ++k) Mix(X + k * TFetch::Channels, k + 1, Out + k * TOut::Channels);
            Position += 4 * Step;
            Gain.Advance(4);
            Out += 4 * TOut::Channels;
        }
    }
#endif
    for (; N >= 4; N -= 4) {
        Frame(Position, 1, Out);
        Frame(Position + Step, 2, Out + TOut::Channels);
        Frame(Position + 2 * Step, 3, Out + 2 * TOut::Channels);
        Frame(Position + 3 * Step, 4, Out + 3 * TOut::Channels);
        Position += 4 * Step;
        Gain.Advance(4);
        Out += 4 * TOut::Channels;
    }
    for (; N > 0; --N) {
        Frame(Position, 1, Out);
        Position += Step;
        Gain.Advance(1);
        Out += TOut::Channels;
    }

    Voice.Position = Start + static_cast<int64_t>(Frames) * Voice.Step;
    Gain.Store(Voice);
    Filter.Store(Voice);
    Output = Out;
}

// ---------------------------------------------------------------------------
// The tables: each entry is the loop for its key.

template <int32_t Interpolation, int32_t StereoSample, int32_t Ramp, int32_t FilterKind, int32_t OutputChannels,
          TSides Sides, bool Vector = true>
constexpr TQuavixMixRoutine Routine() {
    constexpr int32_t SampleChannels = StereoSample ? 2 : 1;
    using TFetch = std::conditional_t<
        Interpolation == 0, TNearest<SampleChannels>,
        std::conditional_t<Interpolation == 1, TLinear<SampleChannels>,
                           TWeighted<Interpolation == 2 ? 4 : 8, SampleChannels>>>;
    using TFilter = std::conditional_t<FilterKind == 0, TNoFilter,
                                       std::conditional_t<FilterKind == 1, TResonant<false>, TResonant<true>>>;
    using TGain = std::conditional_t<Ramp == 1, TRampGain<Sides>, TFixedGain<Sides>>;
    using TOut = TOutput<OutputChannels>;
    using TGroups = std::conditional_t<
        Vector && VectorCovers<TFetch, TFilter, TGain, TOut>, TVectorUnit,
        std::conditional_t<Vector && VectorFetches<TFetch, TFilter>, TVectorValues, TFrameByFrame>>;
    return &MixLoop<TFetch, TFilter, TGain, TOut, TGroups>;
}

template <int32_t I, int32_t S, int32_t R, int32_t F, bool V>
constexpr TRoutineArray<TQuavixMixRoutine, 2> StereoSides() {
    return {Routine<I, S, R, F, 2, TSides::Equal, V>(), Routine<I, S, R, F, 2, TSides::Different, V>()};
}

template <int32_t I, int32_t S, int32_t R>
constexpr auto MonoFilters() {
    return TRoutineArray<TQuavixMixRoutine, 3>{Routine<I, S, R, 0, 1, TSides::MonoOutput>(),
                                               Routine<I, S, R, 1, 1, TSides::MonoOutput>(),
                                               Routine<I, S, R, 2, 1, TSides::MonoOutput>()};
}

template <int32_t I, int32_t S, int32_t R, bool V>
constexpr auto StereoFilters() {
    return TRoutineArray<TRoutineArray<TQuavixMixRoutine, 2>, 3>{
        StereoSides<I, S, R, 0, V>(), StereoSides<I, S, R, 1, V>(), StereoSides<I, S, R, 2, V>()};
}

template <int32_t I, int32_t S>
constexpr auto MonoRamps() {
    return TRoutineArray<decltype(MonoFilters<I, S, 0>()), 2>{MonoFilters<I, S, 0>(), MonoFilters<I, S, 1>()};
}

template <int32_t I, int32_t S, bool V>
constexpr auto StereoRamps() {
    return TRoutineArray<decltype(StereoFilters<I, S, 0, V>()), 2>{StereoFilters<I, S, 0, V>(),
                                                                   StereoFilters<I, S, 1, V>()};
}

template <int32_t I>
constexpr auto MonoSamples() {
    return TRoutineArray<decltype(MonoRamps<I, 0>()), 2>{MonoRamps<I, 0>(), MonoRamps<I, 1>()};
}

template <int32_t I, bool V>
constexpr auto StereoSamples() {
    return TRoutineArray<decltype(StereoRamps<I, 0, V>()), 2>{StereoRamps<I, 0, V>(), StereoRamps<I, 1, V>()};
}

}  // namespace

const TMonoMixRoutines MonoMixRoutines = {MonoSamples<0>(), MonoSamples<1>(), MonoSamples<2>(), MonoSamples<3>()};
const TStereoMixRoutines StereoMixRoutines = {StereoSamples<0, true>(), StereoSamples<1, true>(),
                                              StereoSamples<2, true>(), StereoSamples<3, true>()};
const TStereoMixRoutines FrameByFrameStereoMixRoutines = {StereoSamples<0, false>(), StereoSamples<1, false>(),
                                                          StereoSamples<2, false>(), StereoSamples<3, false>()};
