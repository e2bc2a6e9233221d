// The mixing pipeline: spans and loop wrapping, ramps and the end of a voice,
// click removal, the choice of loop and the mix-buffer headroom.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <vector>

#include "mixer/mix_routines.h"
#include "player/quavix.h"
#include "sequencer/channel.h"
#include "song/behaviours.h"
#include "song/instrument.h"
#include "song/module.h"
#include "support/case_names.h"

namespace {

enum class TLoopKind { None, Forward, PingPong };

class Mixing : public ::testing::Test {
protected:
    void SetUp() override { MakePlayer(true); }

    void MakePlayer(bool Stereo) {
        Player = std::make_unique<TQuavix>(TQuavixSettings::Offline(44100, 4096, Stereo));
        Module().TickLength = 882;
    }
    TQuavixModule& Module() { return *Player->Module; }
    int32_t* Mix() { return Player->MixBuffer.get(); }
    int32_t Left(int32_t Frame) { return Mix()[Frame * Player->OutputChannels()]; }
    int32_t Right(int32_t Frame) { return Mix()[Frame * Player->OutputChannels() + 1]; }

    // A mono sample whose every frame holds Value (or frame i holds Value + i
    // when Ramp is set), with the guard frames written.
    TQuavixSample& AddSample(int32_t Length, int32_t Value, TLoopKind Loop = TLoopKind::None, int32_t LoopStart = 0,
                             int32_t LoopLength = 0, bool Ramp = false) {
        Samples.push_back(std::make_unique<TQuavixSample>());
        TQuavixSample& S = *Samples.back();
        S.AllocateData(Length);
        for (int32_t i = 0; i < Length; ++i) S.Data[i] = Ramp ? Value + i : Value;
        S.Length = Length;
        S.Loop = Loop != TLoopKind::None;
        S.PingPong = Loop == TLoopKind::PingPong;
        S.LoopStart = LoopStart;
        S.LoopLength = LoopLength;
        S.PrepareData();
        return S;
    }

    // The first channel after its gains are worked out for a final volume
    // and panning, under the linear or the square-root law.
    const TQuavixChannel& GainsOf(int32_t FinalVolume, int32_t FinalPanning, bool Surround, bool SquareRoot) {
        Module().Behaviours.Set(TQuavixBehaviour::SquareRootPanLaw, SquareRoot);
        TQuavixChannel& V = *Module().Channels[0];
        V.FinalVolume = FinalVolume;
        V.FinalPanning = FinalPanning;
        V.Surround = Surround;
        V.UpdateVolumeRamp();
        return V;
    }

    // A sounding voice at a steady gain on both sides.
    TQuavixChannel& Sound(TQuavixChannel& V, TQuavixSample& S, int32_t Gain, int32_t Increment = 4096) {
        V.Sample = &S;
        V.Active = true;
        V.Increment = Increment;
        V.Position = 0;
        V.Backwards = false;
        V.VolumeLeft = V.VolumeRight = Gain;
        V.RampLeft = V.RampRight = V.RampTargetLeft = V.RampTargetRight = Gain * 4096;
        V.RampStepLeft = V.RampStepRight = 0;
        V.RampLength = 0;
        return V;
    }

    void ClearMix() { std::fill(Mix(), Mix() + 4096 * Player->OutputChannels(), 0); }

    std::unique_ptr<TQuavix> Player;
    std::vector<std::unique_ptr<TQuavixSample>> Samples;
};

constexpr int32_t F = 4096;  // one frame in 20.12 fixed point

struct TSpanCase : quavix_test::TNamedCase {
    TLoopKind Loop;
    int32_t Position;
    bool Backwards;
    int32_t Increment;
    int32_t MaxFrames;
    int32_t Span;  // result
    int32_t PositionAfter;
    bool BackwardsAfter;
};

std::vector<TSpanCase> SpanCases() {
    // A 20-frame sample; loops cover frames 2..11 (bounds 2 and 12).
    return {
        {"plays up to the last frame", TLoopKind::None, 8 * F, false, F, 100, 12, 8 * F, false},
        {"ends after the last frame", TLoopKind::None, 20 * F, false, F, 100, 0, 20 * F, false},
        {"fraction past the last frame ends", TLoopKind::None, 19 * F + 4095 + 1, false, F, 100, 0, 20 * F, false},
        {"steps of 3 up to the last frame", TLoopKind::None, 10 * F, false, 3 * F, 100, 4, 10 * F, false},
        {"forward loop keeps the overshoot", TLoopKind::Forward, 12 * F + 2 * F + 100, false, 3 * F, 100, 3,
         4 * F + 100, false},
        {"forward loop stops at its end", TLoopKind::Forward, 3 * F, false, 3 * F, 100, 3, 3 * F, false},
        {"forward loop from before its start", TLoopKind::Forward, 0, false, F, 100, 12, 0, false},
        {"ping-pong reflects at its end", TLoopKind::PingPong, 12 * F + 300, false, F, 100, 10, 12 * F - 300, true},
        {"ping-pong reflects at its start", TLoopKind::PingPong, 2 * F - 300, true, F, 100, 10, 2 * F + 300, false},
        {"ping-pong overshoot outside lands on the last frame", TLoopKind::PingPong, 12 * F + 11 * F + 5, false, F,
         100, 18, 19 * F + 4091, true},
        {"ping-pong start overshoot past the middle restarts", TLoopKind::PingPong, 2 * F - 6 * F, true, F, 100, 10,
         2 * F, false},
        {"backward loop wraps to its end", TLoopKind::Forward, 2 * F - 500, true, F, 100, 10, 12 * F - 500, true},
        {"backward voice without loop ends", TLoopKind::None, -100, true, F, 100, 0, -100, true},
        {"backward span stops at the loop start", TLoopKind::Forward, 7 * F + 5, true, F, 100, 6, 7 * F + 5, true},
        {"backward voice below a loop it cannot wrap ends", TLoopKind::Forward, 2 * F - 20 * F, true, F, 100, 0,
         -8 * F, true},
        {"forward negative position keeps its fraction", TLoopKind::None, -3 * F, false, F, 100, 20, 0, false},
        {"forward negative fraction ends", TLoopKind::None, -100, false, F, 100, 0, -100, false},
        {"at most MaxFrames", TLoopKind::None, 0, false, F, 7, 7, 0, false},
        {"a span of at least one frame", TLoopKind::None, 19 * F, false, 50 * F, 100, 1, 19 * F, false},
    };
}

class MixingGetMixSpanWrapsAndBoundsTheSpan : public Mixing, public ::testing::WithParamInterface<TSpanCase> {};

TEST_P(MixingGetMixSpanWrapsAndBoundsTheSpan, GetMixSpanWrapsAndBoundsTheSpan) {
    const TSpanCase& C = GetParam();
    TQuavixSample& S = AddSample(20, 100, C.Loop, 2, 10);
    TQuavixChannel& V = *Module().Channels[0];
    V.Sample = &S;
    V.Position = C.Position;
    V.Backwards = C.Backwards;
    V.Increment = C.Increment;
    EXPECT_EQ(GetMixSpan(V, C.MaxFrames), C.Span);
    EXPECT_EQ(V.Position, C.PositionAfter);
    EXPECT_EQ(V.Backwards, C.BackwardsAfter);
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingGetMixSpanWrapsAndBoundsTheSpan, ::testing::ValuesIn(SpanCases()),
                         quavix_test::TCaseName());

// PingPongTurnLosesAFrame and ShortPingPongLoops: the turn at a ping-pong
// loop's end, by the tracker that wrote the Extended Module, or Impulse
// Tracker's: a 20-frame sample, its loop over frames 2..11, at 3 frames a
// step. OpenMPT before 1.30.00.54 turned an
// overshoot of a frame or more a frame nearer the end, so that such a way
// there and back takes a frame longer.
struct TPingPongTurnCase : quavix_test::TNamedCase {
    const char* Tracker;
    int32_t Position;
    bool Backwards;
    int32_t PositionAfter;
    bool BackwardsAfter;
};

std::vector<TPingPongTurnCase> PingPongTurnCases() {
    return {
        {"OldOpenMptTurnsAFrameNearer", "OpenMPT 1.30.00.53", 12 * F + 2 * F + 300, false, 11 * F - 300, true},
        {"OlderOpenMptTwoParts", "OpenMPT 1.20", 12 * F + 2 * F + 300, false, 11 * F - 300, true},
        {"OneWholeFrameTurnsInPlace", "OpenMPT 1.20.00.39", 12 * F + F, false, 12 * F, true},
        {"LessThanAFrameMirrors", "OpenMPT 1.20.00.39", 12 * F + F - 1, false, 11 * F + 1, true},
        {"TheLoopStartStillMirrors", "OpenMPT 1.20.00.39", 2 * F - F - 300, true, 3 * F + 300, false},
        {"OpenMptFrom13054", "OpenMPT 1.30.00.54", 12 * F + 2 * F + 300, false, 10 * F - 300, true},
        {"FastTrackerMirrorsTheOvershoot", "FastTracker v2.00", 12 * F + 2 * F + 300, false, 10 * F - 300, true},
        // ShortPingPongLoops: Impulse Tracker's way back starts a frame lower,
        // however far the end was overshot; the loop start mirrors.
        {"ImpulseTrackerTurnsAFrameLower", nullptr, 12 * F + 2 * F + 300, false, 9 * F - 300, true},
        {"ImpulseTrackerTurnsAFrameLowerFromLessThanAFrame", nullptr, 12 * F + 300, false, 11 * F - 300, true},
        {"ImpulseTrackerMirrorsAtTheLoopStart", nullptr, 2 * F - F - 300, true, 3 * F + 300, false},
    };
}

class PingPongTurnLosesAFrame : public Mixing, public ::testing::WithParamInterface<TPingPongTurnCase> {};

TEST_P(PingPongTurnLosesAFrame, TurnsAtTheLoopEnd) {
    const TPingPongTurnCase& C = GetParam();
    // No tracker: an Impulse Tracker file's.
    Module().Behaviours = C.Tracker ? QuavixExtendedModuleBehaviours(C.Tracker) : QuavixImpulseTrackerBehaviours(0x09);
    TQuavixSample& S = AddSample(20, 100, TLoopKind::PingPong, 2, 10);
    TQuavixChannel& V = *Module().Channels[0];
    V.Sample = &S;
    V.Position = C.Position;
    V.Backwards = C.Backwards;
    V.Increment = 3 * F;
    EXPECT_GT(GetMixSpan(V, 100), 0);
    EXPECT_EQ(V.Position, C.PositionAfter);
    EXPECT_EQ(V.Backwards, C.BackwardsAfter);
}
INSTANTIATE_TEST_SUITE_P(Mixing, PingPongTurnLosesAFrame, ::testing::ValuesIn(PingPongTurnCases()),
                         quavix_test::TCaseName());

struct TFastStepCase : quavix_test::TNamedCase {
    int32_t Increment, Span;
};

std::vector<TFastStepCase> FastStepCases() {
    return {
        {"40 frames a step", 40 * F, 399},
        {"8 frames a step", 8 * F, 1820},
        {"one frame a step", F, 8192},
        {"just under one frame a step", F - 1, 16384},
        {"20000 frames a step", 20000 * F, 2},
    };
}

class MixingGetMixSpanLimitsFastSteps : public Mixing, public ::testing::WithParamInterface<TFastStepCase> {};

TEST_P(MixingGetMixSpanLimitsFastSteps, GetMixSpanLimitsFastSteps) {
    const TFastStepCase& C = GetParam();
    TQuavixSample& S = AddSample(1 << 19, 0, TLoopKind::Forward, 0, 1 << 19);
    TQuavixChannel& V = *Module().Channels[0];
    V.Sample = &S;
    V.Position = 0;
    V.Backwards = false;
    V.Increment = C.Increment;
    EXPECT_EQ(GetMixSpan(V, 100000), C.Span);
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingGetMixSpanLimitsFastSteps, ::testing::ValuesIn(FastStepCases()),
                         quavix_test::TCaseName());

TEST_F(Mixing, LoopsPastTheDataAndTheLargestSamplesStayInside) {
    // A loop that runs past the last frame (as the 512 KiB cut leaves one)
    // wraps at the last frame.
    TQuavixSample& Cut = AddSample(100, 7, TLoopKind::Forward, 50, 100);
    TQuavixChannel& V = Sound(*Module().Channels[0], Cut, 4096, 3 * F);
    Module().NumChannels = 1;
    for (int32_t Round = 0; Round < 20; ++Round) {
        Player->MixChannels(0, 4096);
        ASSERT_TRUE(V.Active);
        ASSERT_GE(V.Position, 50 * F);
        ASSERT_LT(V.Position, 103 * F);  // at most one step past the end, wrapped by the next span
    }

    // The largest 8-bit sample: the step after its last frame passes the
    // 32-bit range of positions, and the loop goes on from its start.
    const int32_t Largest = 524288;
    TQuavixSample& Big = AddSample(Largest, 5, TLoopKind::Forward, Largest - 1000, 1000);
    TQuavixChannel& W = Sound(*Module().Channels[0], Big, 4096, 3 * F + 77);
    W.Position = (Largest - 10) * F;
    for (int32_t Round = 0; Round < 5; ++Round) {
        ClearMix();
        Player->MixChannels(0, 4096);
        ASSERT_TRUE(W.Active);
        ASSERT_GE(W.Position, (Largest - 1000) * F);
        ASSERT_EQ(Left(4095), 5 * 4096);
    }
}

// Loop wraps, with linear interpolation: frame f of the sample holds
// Values[f]; the voice starts at Position and steps Increment, and its first
// output frames are Want (times its gain of 4096).
struct TLoopWrapCase : quavix_test::TNamedCase {
    std::vector<int32_t> Values;
    TLoopKind Loop;
    int32_t LoopStart, LoopLength;
    int32_t Increment, Position;
    std::vector<int32_t> Want;
    // The frames lie this far into a sample that long before them (as an
    // Impulse Tracker sample can be far longer than 2^19 frames).
    int32_t Far = 0;
};

std::vector<TLoopWrapCase> LoopWrapCases() {
    return {
        // A single cycle looped whole, from frame 0: between its last frame
        // and the wrap the interpolation slides into the loop's first frame.
        {"forward loop from frame 0", {0, 4000, 8000, 12000}, TLoopKind::Forward, 0, 4, F / 2, 3 * F,
         {12000, 6000, 0, 2000, 4000}},
        // Frames 2..5 ping-pong: up to the end (5.5 reads frame 5 and its
        // mirror), the turn in place at 6, back down to 2, where the next
        // step turns up: 16 steps, twice the loop, on every way round.
        {"ping-pong loop turns every twice its length", {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000},
         TLoopKind::PingPong, 2, 4, F / 2, 2 * F,
         {2000, 2500, 3000, 3500, 4000, 4500, 5000, 5000, 5000, 5000, 5000, 4500, 4000, 3500, 3000, 2500,
          2000, 2500, 3000, 3500, 4000, 4500, 5000, 5000, 5000, 5000, 5000, 4500, 4000, 3500, 3000, 2500, 2000}},
        // A ping-pong loop that ends with the sample turns at the sample's end.
        {"ping-pong loop to the sample's end", {1000, 2000, 3000, 4000}, TLoopKind::PingPong, 0, 4, F, 2 * F,
         {3000, 4000, 4000, 4000, 3000, 2000, 1000, 2000}},
        // The same far beyond the 2^19 frames a 32-bit position reaches.
        {"forward loop 2^20 frames in", {0, 4000, 8000, 12000}, TLoopKind::Forward, 0, 4, F / 2, 3 * F,
         {12000, 6000, 0, 2000, 4000}, 1 << 20},
        {"ping-pong loop 2^21 frames in", {1000, 2000, 3000, 4000}, TLoopKind::PingPong, 0, 4, F, 2 * F,
         {3000, 4000, 4000, 4000, 3000, 2000, 1000, 2000}, 1 << 21},
    };
}

class MixingLoopsWrapExactly : public Mixing, public ::testing::WithParamInterface<TLoopWrapCase> {};

TEST_P(MixingLoopsWrapExactly, LoopsWrapExactly) {
    const TLoopWrapCase& C = GetParam();
    Player->Interpolation = TQuavixInterpolation::Linear;
    const int32_t Frames = static_cast<int32_t>(C.Values.size());
    TQuavixSample& S = AddSample(C.Far + Frames, 0, C.Loop, C.Far + C.LoopStart, C.LoopLength);
    for (int32_t i = 0; i < Frames; ++i) S.Data[C.Far + i] = C.Values[i];
    S.PrepareData();
    TQuavixChannel& V = Sound(*Module().Channels[0], S, 4096, C.Increment);
    Module().NumChannels = 1;
    V.Position = static_cast<int64_t>(C.Far) * F + C.Position;
    const int32_t Count = static_cast<int32_t>(C.Want.size());
    Player->MixChannels(0, Count);
    for (int32_t Frame = 0; Frame < Count; ++Frame) ASSERT_EQ(Left(Frame), C.Want[Frame] * 4096) << Frame;
    EXPECT_TRUE(V.Active);
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingLoopsWrapExactly, ::testing::ValuesIn(LoopWrapCases()), quavix_test::TCaseName());

// TQuavixBehaviour::SampleSwap: the sample waiting to swap in takes over where
// the sounding one, or its loop, ends.
struct TSwapCase : quavix_test::TNamedCase {
    TLoopKind SoundingLoop;  // over the whole of its 10 frames
    TLoopKind WaitingLoop;   // over frames 4..7 of its 8
    bool WaitingNone;        // none waits: the voice ends there
    int32_t Increment;
    std::vector<int32_t> Frames;  // the values of the frames mixed, while the voice sounds
    bool SoundsOn;                // after one more frame
};

std::vector<TSwapCase> SwapCases() {
    // The sounding sample's frames hold 1000 + frame, the waiting one's 5000 + frame.
    return {
        {"at the loop's end, from the new loop", TLoopKind::Forward, TLoopKind::Forward, false, F,
         {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 5004, 5005, 5006, 5007, 5004, 5005}, true},
        {"at the sample's end, from the new loop", TLoopKind::None, TLoopKind::Forward, false, F,
         {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 5004, 5005, 5006, 5007, 5004}, true},
        // A sample without loop has nothing the loop could go on with.
        {"a sample without loop: the voice ends", TLoopKind::Forward, TLoopKind::None, false, F,
         {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009}, false},
        // The overshoot past the end carries into the new sample.
        {"keeps the overshoot", TLoopKind::Forward, TLoopKind::Forward, false, 3 * F, {1000, 1003, 1006, 1009, 5006, 5005},
         true},
        {"none: the voice ends", TLoopKind::Forward, TLoopKind::Forward, true, F,
         {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009}, false},
    };
}

class MixingSwapsInTheWaitingSample : public Mixing, public ::testing::WithParamInterface<TSwapCase> {};

TEST_P(MixingSwapsInTheWaitingSample, SwapsInTheWaitingSample) {
    const TSwapCase& C = GetParam();
    TQuavixSample& Sounding = AddSample(10, 1000, C.SoundingLoop, 0, 10, true);
    TQuavixSample& Waiting = AddSample(8, 5000, C.WaitingLoop, 4, 4, true);
    TQuavixChannel& V = Sound(*Module().Channels[0], Sounding, 1, C.Increment);
    V.SwapSample = C.WaitingNone ? nullptr : &Waiting;
    V.SwapPending = true;
    Module().NumChannels = 1;
    const int32_t Count = static_cast<int32_t>(C.Frames.size());
    Player->MixChannels(0, Count);
    std::vector<int32_t> Mixed;
    for (int32_t Frame = 0; Frame < Count; ++Frame) Mixed.push_back(Left(Frame));
    EXPECT_EQ(Mixed, C.Frames);
    Player->MixChannels(Count, 1);
    EXPECT_EQ(V.Active, C.SoundsOn);
    if (C.SoundsOn) {
        EXPECT_EQ(V.Sample, &Waiting);
    }
    EXPECT_FALSE(V.SwapPending && V.Active);
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingSwapsInTheWaitingSample, ::testing::ValuesIn(SwapCases()),
                         quavix_test::TCaseName());

// FineSampleSteps: a voice whose exact step lies between two 20.12 steps
// stays within half a chunk's units (128) of its exact position, and lands on
// the same positions however the tick is cut into mixing calls.
struct TFineStepCase : quavix_test::TNamedCase {
    int32_t Increment, Fraction;   // the step's whole units, and its rest in 44100ths of a unit
    std::vector<int32_t> Calls;    // the frames of each mixing call, from the tick's start
};

std::vector<TFineStepCase> FineStepCases() {
    // 8363 Hz at 44100 Hz: 776 units and 34184/44100 of one.
    const int32_t Slow = 8363 * 4096 / 44100, SlowRest = 8363 * 4096 % 44100;
    return {
        {{"8363 Hz in one call"}, Slow, SlowRest, {882}},
        {{"8363 Hz in calls that cut the chunks"}, Slow, SlowRest, {100, 300, 1, 481}},
        {{"8363 Hz over three ticks of two calls each"}, Slow, SlowRest, {441, 441, 441, 441, 441, 441}},
        {{"a fast step with a small rest"}, 9421, 17, {882}},
        {{"a fast step with a small rest, cut"}, 9421, 17, {127, 129, 626}},
    };
}

class MixingFineSteps : public Mixing, public ::testing::WithParamInterface<TFineStepCase> {};

TEST_P(MixingFineSteps, FollowTheExactPosition) {
    const TFineStepCase& C = GetParam();
    Module().Behaviours.Set(TQuavixBehaviour::FineSampleSteps);
    TQuavixSample& S = AddSample(20000, 100);
    TQuavixChannel& V = Sound(*Module().Channels[0], S, 64, C.Increment);
    V.IncrementFraction = C.Fraction;
    Module().NumChannels = 1;
    Player->SamplesPerTick = 882;
    int64_t Frames = 0;
    for (int32_t Count : C.Calls) {
        if (Player->SamplesLeft == 0) Player->SamplesLeft = 882;
        ASSERT_EQ(Player->MixChannels(0, Count), Count);
        Frames += Count;
        const int64_t Exact = (Frames * (static_cast<int64_t>(C.Increment) * 44100 + C.Fraction)) / 44100;
        EXPECT_LE(std::abs(V.Position - Exact), 128) << Frames;
    }
    // The same voice mixed in one call per tick lands on the same position.
    TQuavixChannel& W = Sound(*Module().Channels[1], S, 64, C.Increment);
    W.IncrementFraction = C.Fraction;
    W.Active = true;
    V.Active = false;
    Module().NumChannels = 2;
    Player->SamplesLeft = 0;
    for (int64_t Left = Frames; Left > 0; Left -= 882) {
        Player->SamplesLeft = 882;
        Player->MixChannels(0, static_cast<int32_t>(std::min<int64_t>(Left, 882)));
    }
    EXPECT_EQ(W.Position, V.Position);
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingFineSteps, ::testing::ValuesIn(FineStepCases()), quavix_test::TCaseName());

TEST_F(Mixing, APlayedOutSampleHandsItsLevelToClickRemoval) {
    TQuavixSample& S = AddSample(10, 1000);
    TQuavixChannel& V = Sound(*Module().Channels[0], S, 4096);
    Module().NumChannels = 1;
    EXPECT_EQ(Player->MixChannels(0, 300), 300);
    EXPECT_FALSE(V.Active);
    EXPECT_EQ(V.LastLeft, 0);
    // The offset starts at the voice's last output and applies from the
    // frame after the voice's last, not under the voice's own frames,
    // losing 1/256 per frame, rounded away from zero.
    int32_t Click = 1000 * 4096;
    for (int32_t Frame = 0; Frame < 300; ++Frame) {
        if (Frame >= 10) Click -= (Click + 255) >> 8;
        ASSERT_EQ(Left(Frame), Click) << Frame;
        ASSERT_EQ(Right(Frame), Click) << Frame;
    }
    EXPECT_EQ(Module().ClickLeft, Click);
    // It reaches exactly 0 and stays there.
    for (int32_t Round = 0; Round < 2; ++Round) {
        ClearMix();
        Player->MixChannels(0, 4096);
    }
    EXPECT_EQ(Module().ClickLeft, 0);
    EXPECT_EQ(Module().ClickRight, 0);
    EXPECT_EQ(Left(4095), 0);

    // A negative level decays to exactly 0 as well.
    Module().ClickLeft = -70000;
    ClearMix();
    Player->MixChannels(0, 4096);
    EXPECT_EQ(Left(0), -70000 - ((-70000) >> 8));
    EXPECT_EQ(Module().ClickLeft, 0);
}

struct TRampEndCase : quavix_test::TNamedCase {
    bool FadeBank;
    int32_t FadeoutVolume;
    // Volume envelope points (position, value); none: no envelope.
    std::vector<std::pair<int32_t, int32_t>> Envelope;
    bool Loop;
    bool Ends;
};

std::vector<TRampEndCase> RampEndCases() {
    return {
        {"fade bank", true, 65536, {}, false, true},
        {"faded out", false, 0, {}, false, true},
        {"envelope ended at 0", false, 65536, {{0, 64}, {2, 0}}, false, true},
        {"envelope that rises again", false, 65536, {{0, 64}, {2, 0}, {5, 0}, {9, 40}}, false, false},
        {"looping envelope", false, 65536, {{0, 64}, {2, 0}}, true, false},
        {"no envelope: a volume command may raise it", false, 65536, {}, false, false},
    };
}

class MixingRampsEndVoicesThatCannotBeHeardAgain : public Mixing, public ::testing::WithParamInterface<TRampEndCase> {};

TEST_P(MixingRampsEndVoicesThatCannotBeHeardAgain, RampsEndVoicesThatCannotBeHeardAgain) {
    const TRampEndCase& C = GetParam();
    MakePlayer(true);
    TQuavixSample& S = AddSample(100, 1000, TLoopKind::Forward, 0, 100);
    TQuavixChannel& V = C.FadeBank ? *Module().FadeChannels[0] : *Module().Channels[0];
    Module().NumChannels = 1;
    TQuavixInstrument Instrument;
    Sound(V, S, 2000);
    V.FadeoutVolume = C.FadeoutVolume;
    if (!C.Envelope.empty()) {
        TQuavixEnvelope& E = *Instrument.VolumeEnvelope;
        E.Enabled = true;
        E.LoopEnabled = C.Loop;
        E.LoopStart = 0;
        E.LoopEnd = 1;
        for (const auto& P : C.Envelope) E.Points[E.NumPoints++] = {P.first, P.second};
        V.VolumeEnvelope->Envelope = &E;
        V.VolumeEnvelope->SetPosition(2);
        V.EnvelopeVolume = 0;
    }
    // The tick's final volume is 0: the gains ramp there over 128 frames.
    V.FinalVolume = 0;
    V.UpdateVolumeRamp();
    ASSERT_EQ(V.RampLength, 128);
    Player->MixChannels(0, 200);
    EXPECT_EQ(V.Active, !C.Ends);
    EXPECT_EQ(V.RampLeft, 0);
    EXPECT_EQ(Module().ClickLeft, 0);  // already silent: nothing to hand over
    EXPECT_NE(Left(0), 0);
    EXPECT_EQ(Left(127), 0);
    EXPECT_EQ(Left(199), 0);
    EXPECT_EQ(Right(199), 0);
    // A silent voice that stays moves on without touching the mix.
    if (!C.Ends) {
        EXPECT_EQ(V.Position, 100 * F);
    }
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingRampsEndVoicesThatCannotBeHeardAgain, ::testing::ValuesIn(RampEndCases()),
                         quavix_test::TCaseName());

struct TFlatRampCase : quavix_test::TNamedCase {
    int32_t Gain;
    bool Ends;
};

std::vector<TFlatRampCase> FlatRampCases() {
    // Every tick starts a ramp, most often to where the gains already stand.
    // Such a ramp's end changes nothing and the voice mixes on; at gain 0 the
    // end still comes at its frame, where a fade voice stops.
    return {{"steady gain", 2000, false}, {"silent fade voice", 0, true}};
}

class MixingARampThatChangesNothingStillEndsOnTime : public Mixing, public ::testing::WithParamInterface<TFlatRampCase> {};

TEST_P(MixingARampThatChangesNothingStillEndsOnTime, ARampThatChangesNothingStillEndsOnTime) {
    const TFlatRampCase& C = GetParam();
    MakePlayer(true);
    TQuavixSample& S = AddSample(1000, 1000, TLoopKind::Forward, 0, 1000);
    TQuavixChannel& V = Sound(*Module().FadeChannels[0], S, C.Gain);
    V.RampLength = 128;
    Player->MixChannels(0, 300);
    EXPECT_EQ(V.Active, !C.Ends);
    EXPECT_EQ(V.RampLength, 0);
    EXPECT_EQ(V.Position, (C.Ends ? 128 : 300) * F);
    for (int32_t i = 0; i < 300; ++i) ASSERT_EQ(Left(i), 1000 * C.Gain) << i;
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingARampThatChangesNothingStillEndsOnTime, ::testing::ValuesIn(FlatRampCases()),
                         quavix_test::TCaseName());

TEST_F(Mixing, VoicesWithoutASample) {
    // Skipped in the song's channels; freed in the fade bank.
    TQuavixChannel& Song = *Module().Channels[0];
    TQuavixChannel& Fade = *Module().FadeChannels[0];
    Module().NumChannels = 1;
    for (TQuavixChannel* V : {&Song, &Fade}) {
        V->Active = true;
        V->Increment = F;
        V->Sample = nullptr;
    }
    Player->MixChannels(0, 64);
    EXPECT_TRUE(Song.Active);
    EXPECT_FALSE(Fade.Active);
}

TEST_F(Mixing, SilentVoicesOnlyMove) {
    TQuavixSample& S = AddSample(1000, 1000, TLoopKind::Forward, 0, 1000);
    TQuavixChannel& V = Sound(*Module().Channels[0], S, 0, 2 * F + 7);
    Module().NumChannels = 1;
    V.Position = 500 * F;
    V.Backwards = true;
    V.LastLeft = V.LastRight = 99;
    Player->MixChannels(0, 100);
    EXPECT_EQ(V.Position, 500 * F - 100 * (2 * F + 7));
    EXPECT_EQ(V.LastLeft, 0);
    EXPECT_EQ(V.LastRight, 0);
    for (int32_t i = 0; i < 200; ++i) ASSERT_EQ(Mix()[i], 0) << i;

    // No loop while the interpolation is unset: the voice advances unheard.
    Player->Interpolation = TQuavixInterpolation::Unset;
    Sound(V, S, 4096, 3000);
    Player->MixChannels(0, 100);
    EXPECT_TRUE(V.Active);
    EXPECT_EQ(V.Position, 100 * 3000);
    for (int32_t i = 0; i < 200; ++i) ASSERT_EQ(Mix()[i], 0) << i;

    // A voice of a channel the song disables, at full gain: as unheard.
    Player->Interpolation = TQuavixInterpolation::Linear;
    Sound(V, S, 4096, 3000);
    V.Disabled = true;
    Player->MixChannels(0, 100);
    EXPECT_TRUE(V.Active);
    EXPECT_EQ(V.Position, 100 * 3000);
    for (int32_t i = 0; i < 200; ++i) ASSERT_EQ(Mix()[i], 0) << i;
}

TEST_F(Mixing, ChoosesTheLoopByTheVoice) {
    TQuavixSample& S = AddSample(100, 0, TLoopKind::Forward, 0, 100, true);
    TQuavixChannel& V = Sound(*Module().Channels[0], S, 1000);
    TQuavixMixState State;
    State.Channel = &V;
    State.Player = Player.get();

    // One frame per output frame lands on whole frames: no interpolation.
    V.Position = 10 * F + 2048;
    SelectMixRoutine(State);
    EXPECT_EQ(State.InterpolationKey, 0);
    V.Increment = 4095;
    SelectMixRoutine(State);
    EXPECT_EQ(State.InterpolationKey, 1);
    EXPECT_EQ(State.Routine, StereoMixRoutines[1][0][0][0][0]);

    V.FilterValid = true;
    V.FilterMode = 1;
    V.RampStepRight = 5;
    SelectMixRoutine(State);
    EXPECT_EQ(State.FilterKey, 2);
    EXPECT_EQ(State.RampKey, 1);
    EXPECT_EQ(State.SidesDifferKey, 1);
    EXPECT_EQ(State.Routine, StereoMixRoutines[1][0][1][2][1]);

    TQuavix MonoPlayer(44100, 4096, 4, false, 10, 16, 0);
    MonoPlayer.Interpolation = TQuavixInterpolation::Linear;
    State.Player = &MonoPlayer;
    SelectMixRoutine(State);
    EXPECT_EQ(State.Routine, MonoMixRoutines[1][0][1][2]);
}

TEST_F(Mixing, MonoOutputUsesTheLeftSideOnly) {
    MakePlayer(false);
    TQuavixSample& S = AddSample(200, 100);
    TQuavixChannel& V = Sound(*Module().Channels[0], S, 0);
    Module().NumChannels = 1;
    V.Surround = true;
    V.FinalVolume = 2000;
    V.FinalPanning = 0;
    V.RampRight = V.RampTargetRight = V.VolumeRight = 0;
    V.UpdateVolumeRamp();
    EXPECT_EQ(V.VolumeLeft, 2000);  // surround: both sides at 2000, in size
    EXPECT_EQ(V.RampTargetRight, 0);
    Player->MixChannels(0, 150);
    EXPECT_TRUE(V.Active);
    Player->MixChannels(150, 150);
    EXPECT_EQ(Mix()[0], 100 * (2000 / 128));  // one value per frame
    EXPECT_EQ(Mix()[127], 100 * 2000);
    EXPECT_FALSE(V.Active);
    EXPECT_EQ(Module().ClickRight, 0);
    EXPECT_GT(Module().ClickLeft, 0);
    EXPECT_LT(Module().ClickLeft, 100 * 2000);
}

struct TMonoLevelCase : quavix_test::TNamedCase {
    int32_t FinalVolume, FinalPanning;
    bool Surround, SquareRoot;
    int32_t WantStereoLeft, WantStereoRight, WantMono;
};

std::vector<TMonoLevelCase> MonoLevelCases() {
    // Mono output takes the mean of the gains stereo would give the two
    // sides, by size and rounded down, so that --mono sounds as loud as the
    // stereo mix instead of twice as loud.
    return {
        {"centre", 4096, 128, false, false, 2032, 2048, 2040},
        {"full left", 4096, 0, false, false, 4080, 0, 2040},
        {"full right", 4096, 255, false, false, 0, 4080, 2040},
        {"centre, the mean rounded down", 1001, 128, false, false, 496, 500, 498},
        {"odd sum rounded down", 1000, 129, false, false, 492, 503, 497},
        {"surround counts both sides", 3000, 10, true, false, 3000, -3000, 3000},
        {"silent", 0, 128, false, false, 0, 0, 0},
        {"square root, centre", 4096, 128, false, true, 2896, 2896, 2896},
        {"square root, a quarter", 1000, 64, false, true, 866, 500, 683},
        {"square root, full left", 4096, 0, false, true, 4096, 0, 2048},
    };
}

class MixingMonoOutputSoundsAtTheStereoMixLevel : public Mixing, public ::testing::WithParamInterface<TMonoLevelCase> {};

TEST_P(MixingMonoOutputSoundsAtTheStereoMixLevel, MonoOutputSoundsAtTheStereoMixLevel) {
    const TMonoLevelCase& C = GetParam();
    for (bool Stereo : {true, false}) {
        MakePlayer(Stereo);
        const TQuavixChannel& V = GainsOf(C.FinalVolume, C.FinalPanning, C.Surround, C.SquareRoot);
        if (Stereo) {
            EXPECT_EQ(V.VolumeLeft, C.WantStereoLeft);
            EXPECT_EQ(V.VolumeRight, C.WantStereoRight);
        } else {
            EXPECT_EQ(V.VolumeLeft, C.WantMono);
            EXPECT_EQ(V.RampTargetLeft, C.WantMono * 4096);
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingMonoOutputSoundsAtTheStereoMixLevel, ::testing::ValuesIn(MonoLevelCases()),
                         quavix_test::TCaseName());

struct TPanningLawCase : quavix_test::TNamedCase {
    int32_t FinalVolume, FinalPanning;
    bool Surround, FadeBank;
    int32_t TickLength;
    int32_t WantLeft, WantRight, WantLength;
    bool SquareRoot = false;  // TQuavixBehaviour::SquareRootPanLaw
    bool CentreSurround = false;  // TQuavixBehaviour::SurroundAtCentreGains
    bool Even = false;            // TQuavixBehaviour::EvenPanningLaw
};

std::vector<TPanningLawCase> PanningLawCases() {
    return {
        {"full left", 4096, 0, false, false, 882, 4080, 0, 128},
        {"full right", 4096, 255, false, false, 882, 0, 4080, 128},
        {"centre", 4096, 128, false, false, 882, 2032, 2048, 128},
        {"centre with the envelope at its top", 4096, 256, false, false, 882, -16, 4096, 128},
        {"surround", 3000, 10, true, false, 882, 3000, -3000, 128},
        {"fade bank", 1000, 128, false, true, 882, 496, 500, 64},
        {"short tick", 1000, 128, false, false, 50, 496, 500, 50},
        {"no tick length yet", 1000, 128, false, false, 0, 496, 500, 1},
        // The square-root law: each side at the volume times
        // sqrt(its share / 256), from a table of 65536ths.
        {"square root, full left", 4096, 0, false, false, 882, 4096, 0, 128, true},
        {"square root, full right", 4096, 255, false, false, 882, 256, 4088, 128, true},
        {"square root, centre", 4096, 128, false, false, 882, 2896, 2896, 128, true},
        {"square root, a quarter", 1000, 64, false, false, 882, 866, 500, 128, true},
        {"square root, the envelope at its top", 4096, 256, false, false, 882, 0, 4096, 128, true},
        {"square root, surround", 3000, 10, true, false, 882, 3000, -3000, 128, true},
        // TQuavixBehaviour::SurroundAtCentreGains: a centred voice's gains,
        // the right side's worked out from the inverted volume (its floor a
        // unit further out where the product is not whole).
        {"surround at the centre's gains", 3000, 10, true, false, 882, 1488, -1500, 128, false, true},
        {"square root, surround at the centre's gains", 3000, 10, true, false, 882, 2121, -2122, 128, true, true},
        // TQuavixBehaviour::EvenPanningLaw: 256ths of the volume, the centre
        // exactly half on each side.
        {"even law, centre", 4096, 128, false, false, 882, 2048, 2048, 128, false, false, true},
        {"even law, a quarter", 1000, 64, false, false, 882, 750, 250, 128, false, false, true},
        {"even law, surround", 3000, 10, true, false, 882, 1500, -1500, 128, false, true, true},
        {"even law, surround of an odd volume", 3001, 10, true, false, 882, 1500, -1501, 128, false, true, true},
    };
}

class MixingVolumeRampFollowsThePanningLaw : public Mixing, public ::testing::WithParamInterface<TPanningLawCase> {};

TEST_P(MixingVolumeRampFollowsThePanningLaw, VolumeRampFollowsThePanningLaw) {
    const TPanningLawCase& C = GetParam();
    Module().FadeRampLength = 64;
    Module().TickLength = C.TickLength;
    TQuavixChannel& V = C.FadeBank ? *Module().FadeChannels[1] : *Module().Channels[1];
    V.RampLeft = 1000 * 4096;
    V.RampRight = -77;
    V.FinalVolume = C.FinalVolume;
    V.FinalPanning = C.FinalPanning;
    V.Surround = C.Surround;
    Module().Behaviours.Set(TQuavixBehaviour::SquareRootPanLaw, C.SquareRoot);
    Module().Behaviours.Set(TQuavixBehaviour::SurroundAtCentreGains, C.CentreSurround);
    Module().Behaviours.Set(TQuavixBehaviour::EvenPanningLaw, C.Even);
    V.UpdateVolumeRamp();
    EXPECT_EQ(V.VolumeLeft, C.WantLeft);
    EXPECT_EQ(V.VolumeRight, C.WantRight);
    EXPECT_EQ(V.RampTargetLeft, C.WantLeft * 4096);
    EXPECT_EQ(V.RampLength, C.WantLength);
    EXPECT_EQ(V.RampStepLeft, (C.WantLeft * 4096 - 1000 * 4096) / C.WantLength);
    EXPECT_EQ(V.RampStepRight, (C.WantRight * 4096 + 77) / C.WantLength);
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingVolumeRampFollowsThePanningLaw, ::testing::ValuesIn(PanningLawCases()),
                         quavix_test::TCaseName());

struct TSeparationCase : quavix_test::TNamedCase {
    int32_t FinalVolume, FinalPanning;
    bool Surround, SquareRoot;
    int32_t Percent;
    int32_t WantLeft, WantRight;
    bool Stereo = true;
};

std::vector<TSeparationCase> SeparationCases() {
    // Each side moves from the mono gain (the mean of the sides by size,
    // rounded down) by Percent of its distance from it, truncated towards
    // zero. Full left in the linear law is 4080 and 0, the mono gain 2040.
    return {
        {"full left at 0: both sides the mono gain", 4096, 0, false, false, 0, 2040, 2040},
        {"full left at 50", 4096, 0, false, false, 50, 3060, 1020},
        {"full left at 100: as panned", 4096, 0, false, false, 100, 4080, 0},
        {"full left at 200: the far side inverted", 4096, 0, false, false, 200, 6120, -2040},
        {"centre at 0: the linear law's sides made equal", 4096, 128, false, false, 0, 2040, 2040},
        {"centre at 200", 4096, 128, false, false, 200, 2024, 2056},
        {"halves truncated towards zero", 1000, 129, false, false, 50, 495, 500},
        {"square root at 0", 1000, 64, false, true, 0, 683, 683},
        {"square root at 150", 1000, 64, false, true, 150, 957, 409},
        {"surround at 0: both sides the mono gain", 3000, 10, true, false, 0, 3000, 3000},
        {"surround at 50: the inverted side silent", 3000, 10, true, false, 50, 3000, 0},
        {"surround at 200: no wider than at 100", 3000, 10, true, false, 200, 3000, -3000},
        {"mono output: the mono gain whatever the width", 4096, 0, false, false, 200, 2040, 0, false},
    };
}

class MixingStereoSeparationMovesEachSideFromTheMonoGain : public Mixing,
                                                          public ::testing::WithParamInterface<TSeparationCase> {};

TEST_P(MixingStereoSeparationMovesEachSideFromTheMonoGain, StereoSeparationMovesEachSideFromTheMonoGain) {
    const TSeparationCase& C = GetParam();
    MakePlayer(C.Stereo);
    Module().StereoSeparation = C.Percent;
    const TQuavixChannel& V = GainsOf(C.FinalVolume, C.FinalPanning, C.Surround, C.SquareRoot);
    EXPECT_EQ(V.VolumeLeft, C.WantLeft);
    EXPECT_EQ(V.VolumeRight, C.WantRight);
    EXPECT_EQ(V.RampTargetLeft, C.WantLeft * 4096);
    if (C.Stereo) {
        EXPECT_EQ(V.RampTargetRight, C.WantRight * 4096);
    }
}
INSTANTIATE_TEST_SUITE_P(Mixing, MixingStereoSeparationMovesEachSideFromTheMonoGain,
                         ::testing::ValuesIn(SeparationCases()), quavix_test::TCaseName());

TEST_F(Mixing, MixChannelsStaysInsideTheBuffer) {
    TQuavixSample& S = AddSample(10000, 10);
    Sound(*Module().Channels[0], S, 4096);
    Module().NumChannels = 1;
    Player->SamplesLeft = 1000;
    EXPECT_EQ(Player->MixChannels(4000, 1000), 96);
    EXPECT_EQ(Player->SamplesLeft, 904);
    EXPECT_EQ(Left(4095), 10 * 4096);
    EXPECT_EQ(Left(3999), 0);
    EXPECT_EQ(Player->MixChannels(4096, 10), 0);
    EXPECT_EQ(Player->MixChannels(5000, 10), 0);
    EXPECT_EQ(Player->SamplesLeft, 904);
    EXPECT_EQ(Module().Channels[0]->Position, 96 * F);
}

TEST_F(Mixing, LoudMixesNeverWrapAround) {
    // 32 voices at full gain: 32 x 32767 x 4096 is twice the 32-bit range.
    TQuavixSample& High = AddSample(100, 32767, TLoopKind::Forward, 0, 100);
    TQuavixSample& Low = AddSample(100, -32768, TLoopKind::Forward, 0, 100);
    Module().NumChannels = 32;
    for (int32_t i = 0; i < 32; ++i) Sound(*Module().Channels[i], High, 4096);
    Player->MixChannels(0, 256);
    for (int32_t i = 0; i < 512; ++i) ASSERT_EQ(Mix()[i], INT32_MAX) << i;

    // Half of them opposite: the sum is exact, whatever order they come in.
    for (int32_t i = 0; i < 32; i += 2) Sound(*Module().Channels[i], Low, 4096);
    ClearMix();
    Player->MixChannels(0, 256);
    for (int32_t i = 0; i < 512; ++i) ASSERT_EQ(Mix()[i], 16 * 4096 * (32767 - 32768)) << i;

    // Resonating filters push each voice near the 32-bit range on its own.
    for (int32_t i = 0; i < 32; ++i) {
        TQuavixChannel& V = Sound(*Module().Channels[i], i < 16 ? High : Low, i < 16 ? 4096 : -4096);
        V.FilterValid = true;
        V.FilterCoefficients = {1 << 24, 0, 0};
        V.FilterHistory = {};
    }
    ClearMix();
    Player->MixChannels(0, 256);
    for (int32_t i = 0; i < 512; ++i) ASSERT_EQ(Mix()[i], INT32_MAX) << i;
}

}  // namespace
