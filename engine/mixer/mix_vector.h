// Groups of four frames mixed at once by the machine's vector unit: SSE2 on
// x86-64, NEON on ARM builds made for it. The mixing loops use them for their
// most common members (any fetch of a mono or stereo sample, no filter,
// fixed gains or a ramp, stereo output) and mix every other member,
// and every machine without such a unit, one frame after another.
//
// A group gives exactly what its four frames give one after another: the
// same 32-bit values, positions and ramp gains, counted from the start of the
// group (see mix_routines.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mixer/interpolation_tables.h"
#include "song/units.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define QUAVIX_VECTOR_GROUPS 1
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#define QUAVIX_VECTOR_GROUPS 1
#else
#define QUAVIX_VECTOR_GROUPS 0
#endif

// Whether this build has vector groups at all.
constexpr bool QuavixVectorGroups = QUAVIX_VECTOR_GROUPS != 0;

#if QUAVIX_VECTOR_GROUPS

#define QUAVIX_VECTOR_STEP [[gnu::always_inline]] inline

// Four frames of one voice onto stereo output (left, right per frame).
//   SampleChannels  1 (mono sample) or 2 (left, right per frame)
//   Interpolation   0 the nearest frame, 1 linear, 2 cubic (4 frames weighted
//                   by the table row of each position's phase), 3 windowed
//                   sinc (8 frames)
//   Ramp            the gains step before each frame uses them
//   SidesDiffer     each side its own gain, else both take the left one
// Built from the loop's position and step and its gains (the fixed gains, or
// the ramp values and their steps, gains times 4096); Mix then adds the next
// four frames from Position at Out and moves the group's own state on.
template <int32_t SampleChannels, int32_t Interpolation, bool Ramp, bool SidesDiffer>
class TVectorGroup;

// The weights of the cubic (interpolation 2) and sinc (3) groups: the
// table, and the row of each of a group's four positions by its phase.
template <int32_t Interpolation>
class TGroupWeights {
public:
    static constexpr int32_t Taps = Interpolation == 2 ? 4 : (Interpolation == 3 ? 8 : 0);
    TGroupWeights() : Table(Find()) {}
    // The rows of the positions Position + k Step, k = 0..3.
    QUAVIX_VECTOR_STEP void Rows(uint32_t Position, uint32_t Step, const int16_t* (&W)[4]) const {
        for (uint32_t k = 0; k < 4; ++k)
            W[k] = Table + static_cast<size_t>(((Position + k * Step) & QuavixFrameFraction) >>
                                               (QuavixFrameBits - QuavixTapPhaseBits)) * Taps;
    }

private:
    // None for the groups that read no weights.
    static const int16_t* Find() {
        if constexpr (Taps == 4) return &QuavixInterpolationTables().Cubic[0][0];
        if constexpr (Taps == 8) return &QuavixInterpolationTables().Sinc[0][0];
        return nullptr;
    }
    const int16_t* Table;
};

#endif

#if defined(__SSE2__)

// SSE2 has no 32-bit multiply of four lanes, but it multiplies pairs of 16-bit
// values and adds each pair into 32 bits (pmaddwd), and the loops' values fit
// 16 bits: sample values are 16-bit, an interpolated value lies between its
// two frames, and gains lie within +-4096 (UpdateVolumeRamp). So
//   a + (((b - a) * w) asr 12) = (a * (4096 - w) + b * w) asr 12
// (adding a * 4096 before the floor shift adds exactly a after it) is one
// pmaddwd of the pair (a, b) with (4096 - w, w), and value times gain is one
// pmaddwd of (value, any) with (gain, 0). The cubic and sinc sums are
// pmaddwd of the frames with their 16-bit weights, the pairs' sums then
// added across lanes, and held to 16 bits by the saturating pack (packssdw).
// No sum leaves 32 bits.
template <int32_t SampleChannels>
class TVectorFetch;

template <int32_t SampleChannels, int32_t Interpolation, bool Ramp, bool SidesDiffer>
class TVectorGroup {
    static constexpr bool Linear = Interpolation == 1;
    static constexpr int32_t Taps = TGroupWeights<Interpolation>::Taps;

public:
    TVectorGroup(uint32_t Position, uint32_t Step, int32_t Left, int32_t Right, int32_t StepLeft, int32_t StepRight)
        : Positions(_mm_set_epi32(static_cast<int32_t>(Position + 3 * Step), static_cast<int32_t>(Position + 2 * Step),
                                  static_cast<int32_t>(Position + Step), static_cast<int32_t>(Position))),
          GroupStep(_mm_set1_epi32(static_cast<int32_t>(4 * Step))) {
        if (!SidesDiffer) {
            Right = Left;
            StepRight = StepLeft;
        }
        if (Ramp) {
            // The ramp steps before a frame uses it: the first frame of the
            // group takes the gain one step on.
            RampLeft = _mm_set_epi32(Left + 4 * StepLeft, Left + 3 * StepLeft, Left + 2 * StepLeft, Left + StepLeft);
            RampRight =
                _mm_set_epi32(Right + 4 * StepRight, Right + 3 * StepRight, Right + 2 * StepRight, Right + StepRight);
            RampStepLeft = _mm_set1_epi32(4 * StepLeft);
            RampStepRight = _mm_set1_epi32(4 * StepRight);
        } else {
            Gains = _mm_set_epi32(Right & 0xFFFF, Left & 0xFFFF, Right & 0xFFFF, Left & 0xFFFF);
        }
    }

    // Adds the four frames from Position (the scalar position of the first).
    QUAVIX_VECTOR_STEP void Mix(const int16_t* Data, uint32_t Position, uint32_t Step, int32_t* Out) {
        // Frames 0 and 1, then 2 and 3, as (left value, right value) pairs in
        // 32-bit lanes, each value in its lane's low half; a mono sample's
        // value stands on both sides.
        __m128i X01, X23;
        const int16_t* F0 = Frame(Data, Position);
        const int16_t* F1 = Frame(Data, Position + Step);
        const int16_t* F2 = Frame(Data, Position + 2 * Step);
        const int16_t* F3 = Frame(Data, Position + 3 * Step);
        if (Taps > 0) {
            Weigh(F0, F1, F2, F3, Position, Step, X01, X23);
        } else if (Linear) {
            // (4096 - w) in the low half of each lane, w in the high half.
            const __m128i W = _mm_and_si128(Positions, _mm_set1_epi32(QuavixFrameFraction));
            const __m128i Weights = _mm_add_epi32(_mm_sub_epi32(_mm_slli_epi32(W, 16), W), _mm_set1_epi32(QuavixFrameUnit));
            if (SampleChannels == 1) {
                // (a, b) of each frame, as 16-bit pairs.
                const __m128i Pairs = _mm_unpacklo_epi64(_mm_unpacklo_epi32(LoadPair(F0), LoadPair(F1)),
                                                         _mm_unpacklo_epi32(LoadPair(F2), LoadPair(F3)));
                const __m128i X = _mm_srai_epi32(_mm_madd_epi16(Pairs, Weights), 12);
                X01 = _mm_shuffle_epi32(X, _MM_SHUFFLE(1, 1, 0, 0));
                X23 = _mm_shuffle_epi32(X, _MM_SHUFFLE(3, 3, 2, 2));
            } else {
                // (left a, left b, right a, right b) of two frames.
                const __m128i Pairs01 = _mm_unpacklo_epi64(StereoPairs(F0), StereoPairs(F1));
                const __m128i Pairs23 = _mm_unpacklo_epi64(StereoPairs(F2), StereoPairs(F3));
                X01 = _mm_srai_epi32(_mm_madd_epi16(Pairs01, _mm_shuffle_epi32(Weights, _MM_SHUFFLE(1, 1, 0, 0))), 12);
                X23 = _mm_srai_epi32(_mm_madd_epi16(Pairs23, _mm_shuffle_epi32(Weights, _MM_SHUFFLE(3, 3, 2, 2))), 12);
            }
        } else if (SampleChannels == 1) {
            // The four values into 16-bit lanes, then each doubled into a
            // lane and that lane into both sides.
            __m128i V = _mm_cvtsi32_si128(static_cast<uint16_t>(F0[0]));
            V = _mm_insert_epi16(V, F1[0], 1);
            V = _mm_insert_epi16(V, F2[0], 2);
            V = _mm_insert_epi16(V, F3[0], 3);
            const __m128i Doubled = _mm_unpacklo_epi16(V, V);
            X01 = _mm_unpacklo_epi32(Doubled, Doubled);
            X23 = _mm_unpackhi_epi32(Doubled, Doubled);
        } else {
            // (left, right) of two frames, each value doubled into its lane.
            const __m128i LR01 = _mm_unpacklo_epi32(LoadPair(F0), LoadPair(F1));
            const __m128i LR23 = _mm_unpacklo_epi32(LoadPair(F2), LoadPair(F3));
            X01 = _mm_unpacklo_epi16(LR01, LR01);
            X23 = _mm_unpacklo_epi16(LR23, LR23);
        }

        // Gains of frames 0 and 1, then 2 and 3, each in the low half of its lane.
        __m128i G01 = Gains, G23 = Gains;
        if (Ramp) {
            const __m128i Low = _mm_set1_epi32(0xFFFF);
            const __m128i Left = _mm_srai_epi32(RampLeft, 12);
            const __m128i Right = SidesDiffer ? _mm_srai_epi32(RampRight, 12) : Left;
            G01 = _mm_and_si128(_mm_unpacklo_epi32(Left, Right), Low);
            G23 = _mm_and_si128(_mm_unpackhi_epi32(Left, Right), Low);
            RampLeft = _mm_add_epi32(RampLeft, RampStepLeft);
            if (SidesDiffer) RampRight = _mm_add_epi32(RampRight, RampStepRight);
        }

        __m128i* Out01 = reinterpret_cast<__m128i*>(Out);
        __m128i* Out23 = reinterpret_cast<__m128i*>(Out + 4);
        _mm_storeu_si128(Out01, _mm_add_epi32(_mm_loadu_si128(Out01), _mm_madd_epi16(X01, G01)));
        _mm_storeu_si128(Out23, _mm_add_epi32(_mm_loadu_si128(Out23), _mm_madd_epi16(X23, G23)));
        Positions = _mm_add_epi32(Positions, GroupStep);
    }

private:
    template <int32_t>
    friend class TVectorFetch;
    QUAVIX_VECTOR_STEP static const int16_t* Frame(const int16_t* Data, uint32_t Position) {
        return Data + static_cast<size_t>(Position >> QuavixFrameBits) * SampleChannels;
    }
    // Two values from F, in the low 16-bit lanes.
    QUAVIX_VECTOR_STEP static __m128i LoadPair(const int16_t* F) {
        int32_t Pair;
        std::memcpy(&Pair, F, sizeof(Pair));
        return _mm_cvtsi32_si128(Pair);
    }
    // A stereo frame and the one after it, (left a, right a, left b, right b),
    // as (left a, left b, right a, right b) in the low 16-bit lanes.
    QUAVIX_VECTOR_STEP static __m128i StereoPairs(const int16_t* F) {
        return _mm_shufflelo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(F)), _MM_SHUFFLE(3, 1, 2, 0));
    }
    QUAVIX_VECTOR_STEP static __m128i Load4(const int16_t* F) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(F));
    }
    QUAVIX_VECTOR_STEP static __m128i Load8(const int16_t* F) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(F));
    }
    // Eight values of four stereo frames, each half (left a, right a, left b,
    // right b) as (left a, left b, right a, right b).
    QUAVIX_VECTOR_STEP static __m128i Deinterleave(__m128i V) {
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(V, _MM_SHUFFLE(3, 1, 2, 0)), _MM_SHUFFLE(3, 1, 2, 0));
    }
    // Lanes 0 and 2 of A and B, then lanes 1 and 3 (as the single-precision
    // shuffle does it).
    template <int Order>
    QUAVIX_VECTOR_STEP static __m128i Pick(__m128i A, __m128i B) {
        return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(A), _mm_castsi128_ps(B), Order));
    }
    // The weighted sums of a stereo frame's neighbours, (left, right, left,
    // right): the sides' sums of the first and the second half of the taps.
    QUAVIX_VECTOR_STEP static __m128i StereoSums(const int16_t* F, const int16_t* W) {
        // The taps' frames start Taps / 2 - 1 frames before F.
        const int16_t* First = F - 2 * (Taps / 2 - 1);
        if (Taps == 4) {
            const __m128i Row = Load4(W);
            return _mm_madd_epi16(Deinterleave(Load8(First)), _mm_unpacklo_epi32(Row, Row));
        }
        const __m128i Row = Load8(W);
        return _mm_add_epi32(_mm_madd_epi16(Deinterleave(Load8(First)), _mm_unpacklo_epi32(Row, Row)),
                             _mm_madd_epi16(Deinterleave(Load8(First + 8)), _mm_unpackhi_epi32(Row, Row)));
    }
    // The cubic or sinc values of the four frames, as the linear ones are
    // given (each value in the low half of its lane).
    QUAVIX_VECTOR_STEP void Weigh(const int16_t* F0, const int16_t* F1, const int16_t* F2, const int16_t* F3,
                                  uint32_t Position, uint32_t Step, __m128i& X01, __m128i& X23) const {
        const int16_t* W[4];
        Weighting.Rows(Position, Step, W);
        const int16_t *W0 = W[0], *W1 = W[1], *W2 = W[2], *W3 = W[3];
        const __m128i Round = _mm_set1_epi32(1 << (QuavixTapWeightBits - 1));
        if (SampleChannels == 1) {
            // The sum of each frame, s0..s3.
            __m128i S;
            if (Taps == 4) {
                const __m128i M01 = _mm_madd_epi16(_mm_unpacklo_epi64(Load4(F0 - 1), Load4(F1 - 1)),
                                                   _mm_unpacklo_epi64(Load4(W0), Load4(W1)));
                const __m128i M23 = _mm_madd_epi16(_mm_unpacklo_epi64(Load4(F2 - 1), Load4(F3 - 1)),
                                                   _mm_unpacklo_epi64(Load4(W2), Load4(W3)));
                S = _mm_add_epi32(Pick<_MM_SHUFFLE(2, 0, 2, 0)>(M01, M23), Pick<_MM_SHUFFLE(3, 1, 3, 1)>(M01, M23));
            } else {
                const __m128i M0 = _mm_madd_epi16(Load8(F0 - 3), Load8(W0));
                const __m128i M1 = _mm_madd_epi16(Load8(F1 - 3), Load8(W1));
                const __m128i M2 = _mm_madd_epi16(Load8(F2 - 3), Load8(W2));
                const __m128i M3 = _mm_madd_epi16(Load8(F3 - 3), Load8(W3));
                const __m128i S01 = _mm_add_epi32(_mm_unpacklo_epi32(M0, M1), _mm_unpackhi_epi32(M0, M1));
                const __m128i S23 = _mm_add_epi32(_mm_unpacklo_epi32(M2, M3), _mm_unpackhi_epi32(M2, M3));
                S = _mm_add_epi32(_mm_unpacklo_epi64(S01, S23), _mm_unpackhi_epi64(S01, S23));
            }
            const __m128i V = _mm_srai_epi32(_mm_add_epi32(S, Round), QuavixTapWeightBits);
            const __m128i Packed = _mm_packs_epi32(V, V);
            const __m128i Values = _mm_unpacklo_epi16(Packed, Packed);
            X01 = _mm_shuffle_epi32(Values, _MM_SHUFFLE(1, 1, 0, 0));
            X23 = _mm_shuffle_epi32(Values, _MM_SHUFFLE(3, 3, 2, 2));
        } else {
            const __m128i M0 = StereoSums(F0, W0), M1 = StereoSums(F1, W1);
            const __m128i M2 = StereoSums(F2, W2), M3 = StereoSums(F3, W3);
            const __m128i S01 = _mm_add_epi32(Pick<_MM_SHUFFLE(1, 0, 1, 0)>(M0, M1), Pick<_MM_SHUFFLE(3, 2, 3, 2)>(M0, M1));
            const __m128i S23 = _mm_add_epi32(Pick<_MM_SHUFFLE(1, 0, 1, 0)>(M2, M3), Pick<_MM_SHUFFLE(3, 2, 3, 2)>(M2, M3));
            const __m128i Packed =
                _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(S01, Round), QuavixTapWeightBits),
                                _mm_srai_epi32(_mm_add_epi32(S23, Round), QuavixTapWeightBits));
            X01 = _mm_unpacklo_epi16(Packed, Packed);
            X23 = _mm_unpackhi_epi16(Packed, Packed);
        }
    }

    TGroupWeights<Interpolation> Weighting;  // the cubic or sinc table's rows

    __m128i Positions;  // of the group's four frames, 20.12
    __m128i GroupStep;
    __m128i Gains = _mm_setzero_si128();  // fixed gains (left, right, left, right)
    __m128i RampLeft = _mm_setzero_si128(), RampRight = _mm_setzero_si128();  // ramp values of the four frames
    __m128i RampStepLeft = _mm_setzero_si128(), RampStepRight = _mm_setzero_si128();
};

// The linear values of four frames of one voice, for the loops that filter
// them one after another: the interpolation of a group (as TVectorGroup does
// it), the values then stored for the filter, each frame's value(s) in turn.
#define QUAVIX_VECTOR_FETCH 1
template <int32_t SampleChannels>
class TVectorFetch {
public:
    TVectorFetch(uint32_t Position, uint32_t Step)
        : Positions(_mm_set_epi32(static_cast<int32_t>(Position + 3 * Step), static_cast<int32_t>(Position + 2 * Step),
                                  static_cast<int32_t>(Position + Step), static_cast<int32_t>(Position))),
          GroupStep(_mm_set1_epi32(static_cast<int32_t>(4 * Step))) {}

    // The values of the four frames from Position (the scalar position of
    // the first) into X, frame after frame.
    QUAVIX_VECTOR_STEP void Fetch(const int16_t* Data, uint32_t Position, uint32_t Step, int32_t* X) {
        const int16_t* F0 = Frame(Data, Position);
        const int16_t* F1 = Frame(Data, Position + Step);
        const int16_t* F2 = Frame(Data, Position + 2 * Step);
        const int16_t* F3 = Frame(Data, Position + 3 * Step);
        // (4096 - w) in the low half of each lane, w in the high half.
        const __m128i W = _mm_and_si128(Positions, _mm_set1_epi32(QuavixFrameFraction));
        const __m128i Weights = _mm_add_epi32(_mm_sub_epi32(_mm_slli_epi32(W, 16), W), _mm_set1_epi32(QuavixFrameUnit));
        if (SampleChannels == 1) {
            const __m128i Pairs = _mm_unpacklo_epi64(_mm_unpacklo_epi32(LoadPair(F0), LoadPair(F1)),
                                                     _mm_unpacklo_epi32(LoadPair(F2), LoadPair(F3)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(X), _mm_srai_epi32(_mm_madd_epi16(Pairs, Weights), 12));
        } else {
            const __m128i Pairs01 = _mm_unpacklo_epi64(StereoPairs(F0), StereoPairs(F1));
            const __m128i Pairs23 = _mm_unpacklo_epi64(StereoPairs(F2), StereoPairs(F3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(X),
                             _mm_srai_epi32(_mm_madd_epi16(Pairs01, _mm_shuffle_epi32(Weights, _MM_SHUFFLE(1, 1, 0, 0))), 12));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(X + 4),
                             _mm_srai_epi32(_mm_madd_epi16(Pairs23, _mm_shuffle_epi32(Weights, _MM_SHUFFLE(3, 3, 2, 2))), 12));
        }
        Positions = _mm_add_epi32(Positions, GroupStep);
    }

private:
    // The linear group's loads.
    using TGroup = TVectorGroup<SampleChannels, 1, false, false>;
    QUAVIX_VECTOR_STEP static const int16_t* Frame(const int16_t* Data, uint32_t Position) {
        return TGroup::Frame(Data, Position);
    }
    QUAVIX_VECTOR_STEP static __m128i LoadPair(const int16_t* F) { return TGroup::LoadPair(F); }
    QUAVIX_VECTOR_STEP static __m128i StereoPairs(const int16_t* F) { return TGroup::StereoPairs(F); }

    __m128i Positions;  // of the four frames, 20.12
    __m128i GroupStep;
};

#elif defined(__ARM_NEON)

// NEON multiplies four 32-bit lanes and adds the products into the output
// (vmla), so the group does the loops' own 32-bit arithmetic lane by lane.
// Each frame's values go straight into the lane of their frame as they are
// read (a lane load of two or four values: vld2, vld4), and the interleaved
// output is split into its sides on loading and joined on storing (vld2,
// vst2). The 16-bit sample values widen where the arithmetic takes them: the
// difference of two frames and the sum after the weighting are widening
// operations (vsubl, vaddw), and a nearest frame is multiplied by its gain,
// which fits 16 bits too (+-4096), in a widening multiply-add (vmlal). The
// cubic and sinc sums are widening multiply-adds of the frames' values and
// their weights, each read into the lane of its frame, rounded and held to
// 16 bits as they narrow (vrshr, vqmovn); they then take their gains as a
// nearest frame does.
template <int32_t SampleChannels, int32_t Interpolation, bool Ramp, bool SidesDiffer>
class TVectorGroup {
    static constexpr bool Linear = Interpolation == 1;
    static constexpr int32_t Taps = TGroupWeights<Interpolation>::Taps;

public:
    TVectorGroup(uint32_t Position, uint32_t Step, int32_t Left, int32_t Right, int32_t StepLeft, int32_t StepRight) {
        const uint32_t P[4] = {Position, Position + Step, Position + 2 * Step, Position + 3 * Step};
        Positions = vld1q_u32(P);
        GroupStep = vdupq_n_u32(4 * Step);
        if (!SidesDiffer) {
            Right = Left;
            StepRight = StepLeft;
        }
        if (Ramp) {
            // The ramp steps before a frame uses it: the first frame of the
            // group takes the gain one step on.
            const int32_t L[4] = {Left + StepLeft, Left + 2 * StepLeft, Left + 3 * StepLeft, Left + 4 * StepLeft};
            const int32_t R[4] = {Right + StepRight, Right + 2 * StepRight, Right + 3 * StepRight, Right + 4 * StepRight};
            GainLeft = vld1q_s32(L);
            GainRight = vld1q_s32(R);
            RampStepLeft = vdupq_n_s32(4 * StepLeft);
            RampStepRight = vdupq_n_s32(4 * StepRight);
        } else {
            GainLeft = vdupq_n_s32(Left);
            GainRight = vdupq_n_s32(Right);
        }
    }

    // Adds the four frames from Position (the scalar position of the first).
    QUAVIX_VECTOR_STEP void Mix(const int16_t* Data, uint32_t Position, uint32_t Step, int32_t* Out) {
        const int16_t* F0 = Frame(Data, Position);
        const int16_t* F1 = Frame(Data, Position + Step);
        const int16_t* F2 = Frame(Data, Position + 2 * Step);
        const int16_t* F3 = Frame(Data, Position + 3 * Step);
        int32x4x2_t O = vld2q_s32(Out);
        if (Linear) {
            // The interpolated value of each of the four frames, per side.
            int32x4_t Left, Right;
            if (SampleChannels == 1) {
                // (a, b) of each frame: the four a and the four b.
                const int16x4x2_t AB = ReadPairs(F0, F1, F2, F3);
                Left = Interpolate(AB.val[0], AB.val[1]);
                Right = Left;
            } else {
                // (left a, right a, left b, right b) of each frame into lane k
                // of the four left a, right a, left b and right b.
                Quads = vld4_lane_s16(F0, Quads, 0);
                Quads = vld4_lane_s16(F1, Quads, 1);
                Quads = vld4_lane_s16(F2, Quads, 2);
                Quads = vld4_lane_s16(F3, Quads, 3);
                Left = Interpolate(Quads.val[0], Quads.val[2]);
                Right = Interpolate(Quads.val[1], Quads.val[3]);
            }
            int32x4_t GL = GainLeft, GR = GainRight;
            if (Ramp) {
                GL = vshrq_n_s32(GainLeft, 12);
                GR = SidesDiffer ? vshrq_n_s32(GainRight, 12) : GL;
            }
            O.val[0] = vmlaq_s32(O.val[0], Left, GL);
            O.val[1] = vmlaq_s32(O.val[1], Right, GR);
        } else {
            // The value of each of the four frames, per side.
            int16x4_t Left, Right;
            if (Taps > 0) {
                Weigh(F0, F1, F2, F3, Position, Step, Left, Right);
            } else if (SampleChannels == 1) {
                Left = vld1_lane_s16(F3, vld1_lane_s16(F2, vld1_lane_s16(F1, vld1_lane_s16(F0, vdup_n_s16(0), 0), 1), 2), 3);
                Right = Left;
            } else {
                // (left, right) of each frame: the four left and the four right.
                const int16x4x2_t LR = ReadPairs(F0, F1, F2, F3);
                Left = LR.val[0];
                Right = LR.val[1];
            }
            int16x4_t GL = vmovn_s32(GainLeft), GR = vmovn_s32(GainRight);
            if (Ramp) {
                GL = vshrn_n_s32(GainLeft, 12);
                GR = SidesDiffer ? vshrn_n_s32(GainRight, 12) : GL;
            }
            O.val[0] = vmlal_s16(O.val[0], Left, GL);
            O.val[1] = vmlal_s16(O.val[1], Right, GR);
        }
        if (Ramp) {
            GainLeft = vaddq_s32(GainLeft, RampStepLeft);
            if (SidesDiffer) GainRight = vaddq_s32(GainRight, RampStepRight);
        }
        vst2q_s32(Out, O);
        Positions = vaddq_u32(Positions, GroupStep);
    }

private:
    QUAVIX_VECTOR_STEP static const int16_t* Frame(const int16_t* Data, uint32_t Position) {
        return Data + static_cast<size_t>(Position >> QuavixFrameBits) * SampleChannels;
    }
    // The two values at each of the four frames, the first of frame k in
    // lane k of the first vector and the second in lane k of the other.
    QUAVIX_VECTOR_STEP int16x4x2_t ReadPairs(const int16_t* F0, const int16_t* F1, const int16_t* F2,
                                             const int16_t* F3) {
        Pairs = vld2_lane_s16(F0, Pairs, 0);
        Pairs = vld2_lane_s16(F1, Pairs, 1);
        Pairs = vld2_lane_s16(F2, Pairs, 2);
        Pairs = vld2_lane_s16(F3, Pairs, 3);
        return Pairs;
    }
    // Four values from each frame's F into lane k of the four vectors.
    QUAVIX_VECTOR_STEP static int16x4x4_t Lanes(const int16_t* F0, const int16_t* F1, const int16_t* F2,
                                                const int16_t* F3, int16x4x4_t V) {
        V = vld4_lane_s16(F0, V, 0);
        V = vld4_lane_s16(F1, V, 1);
        V = vld4_lane_s16(F2, V, 2);
        return vld4_lane_s16(F3, V, 3);
    }
    // The sum rounded at the weights' scale and held to 16 bits.
    QUAVIX_VECTOR_STEP static int16x4_t Narrow(int32x4_t Sum) {
        return vqmovn_s32(vrshrq_n_s32(Sum, QuavixTapWeightBits));
    }
    // The cubic or sinc values of the four frames, per side.
    QUAVIX_VECTOR_STEP void Weigh(const int16_t* F0, const int16_t* F1, const int16_t* F2, const int16_t* F3,
                                  uint32_t Position, uint32_t Step, int16x4_t& Left, int16x4_t& Right) {
        const int16_t* W[4];
        Weighting.Rows(Position, Step, W);
        const int16_t *W0 = W[0], *W1 = W[1], *W2 = W[2], *W3 = W[3];
        // The taps' frames start Taps / 2 - 1 frames before each frame.
        constexpr int32_t Back = (Taps / 2 - 1) * SampleChannels;
        int32x4_t SumLeft = vdupq_n_s32(0), SumRight = vdupq_n_s32(0);
        // Four taps at a time: their weights, and the frames' values.
        for (int32_t t = 0; t < Taps; t += 4) {
            Quads = Lanes(W0 + t, W1 + t, W2 + t, W3 + t, Quads);
            const int16x4x4_t W = Quads;
            const int32_t From = t * SampleChannels - Back;
            if (SampleChannels == 1) {
                const int16x4x4_t X = Lanes(F0 + From, F1 + From, F2 + From, F3 + From, Values);
                for (int32_t k = 0; k < 4; ++k) SumLeft = vmlal_s16(SumLeft, X.val[k], W.val[k]);
            } else {
                // Two taps of (left, right) per read.
                for (int32_t h = 0; h < 4; h += 2) {
                    const int32_t At = From + 2 * h;
                    const int16x4x4_t X = Lanes(F0 + At, F1 + At, F2 + At, F3 + At, Values);
                    SumLeft = vmlal_s16(SumLeft, X.val[0], W.val[h]);
                    SumRight = vmlal_s16(SumRight, X.val[1], W.val[h]);
                    SumLeft = vmlal_s16(SumLeft, X.val[2], W.val[h + 1]);
                    SumRight = vmlal_s16(SumRight, X.val[3], W.val[h + 1]);
                }
            }
        }
        Left = Narrow(SumLeft);
        Right = SampleChannels == 1 ? Left : Narrow(SumRight);
    }
    // a + (((b - a) * w) asr 12), w the fraction of each frame's position.
    QUAVIX_VECTOR_STEP int32x4_t Interpolate(int16x4_t A, int16x4_t B) const {
        const int32x4_t W = vreinterpretq_s32_u32(vandq_u32(Positions, vdupq_n_u32(QuavixFrameFraction)));
        return vaddw_s16(vshrq_n_s32(vmulq_s32(vsubl_s16(B, A), W), 12), A);
    }

    TGroupWeights<Interpolation> Weighting;  // the cubic or sinc table's rows
    uint32x4_t Positions;  // of the group's four frames, 20.12
    uint32x4_t GroupStep;
    int32x4_t GainLeft, GainRight;  // fixed gains, or the ramp values of the four frames
    int32x4_t RampStepLeft = vdupq_n_s32(0), RampStepRight = vdupq_n_s32(0);
    // The values read, lane by lane: two a frame, or four (a stereo frame
    // and the one after it).
    int16x4x2_t Pairs = {{vdup_n_s16(0), vdup_n_s16(0)}};
    int16x4x4_t Quads = {{vdup_n_s16(0), vdup_n_s16(0), vdup_n_s16(0), vdup_n_s16(0)}};
    int16x4x4_t Values = {{vdup_n_s16(0), vdup_n_s16(0), vdup_n_s16(0), vdup_n_s16(0)}};
};

#endif
