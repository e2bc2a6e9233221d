// The channel mixing pipeline: which voices are mixed, how a voice's frames
// are cut into spans at loop ends, the sample end and ramp ends, the loop
// wrap (forward, backward and ping-pong), the choice of inner loop, the end of
// a voice and click removal.
#include <algorithm>
#include <climits>
#include <utility>

#include "mixer/mix_routines.h"
#include "player/quavix.h"
#include "sequencer/channel.h"
#include "song/instrument.h"
#include "song/module.h"
#include "song/units.h"

namespace {

constexpr int64_t FrameUnit = QuavixFrameUnit;

// Where a sample's frames and loop lie for the mixer, in 20.12 fixed point.
struct TSampleBounds {
    int64_t End = 0;   // just after the last frame
    int64_t Last = 0;  // the last frame
    int64_t Lo = 0;    // wrap bounds: the loop, or the whole sample
    int64_t Hi = 0;
    bool Loop = false;
    bool PingPong = false;
};

// What a span of a voice depends on besides its position: the bounds of its
// sample and the most frames one loop call may mix at its step (16384, fewer
// for fast steps: 1820 frames at 8 frames a step). Both stand while one
// mixing call runs.
struct TSpanLimits {
    TSampleBounds Bounds;
    int64_t Increment = 0;
    int64_t MaxSpan = 0;
};

// The frames the mixer plays are those the sample's data holds: a length
// beyond the data (which no loader produces) is cut to it. A loop that runs
// past the last frame (as after the 512 KiB cut of a long sample) ends at the
// last frame, and a loop that is empty or starts at or beyond the last frame
// is no loop: the span never reaches past the guard frames.
TSampleBounds BoundsOf(const TQuavixSample& Sample) {
    TSampleBounds B;
    int64_t Frames = Sample.Data ? Sample.DataCount() / (Sample.NumChannels == 2 ? 2 : 1) : 0;
    Frames = std::min<int64_t>(Frames, Sample.Length);
    if (Frames < 0) Frames = 0;
    B.End = Frames * FrameUnit;
    B.Last = (Frames - 1) * FrameUnit;
    B.Loop = Sample.Loop && Sample.LoopLength > 0 && Sample.LoopStart >= 0 && Sample.LoopStart < Frames;
    if (B.Loop) {
        B.Lo = static_cast<int64_t>(Sample.LoopStart) * FrameUnit;
        B.Hi = std::min<int64_t>(static_cast<int64_t>(Sample.LoopStart) + Sample.LoopLength, Frames) * FrameUnit;
        B.PingPong = Sample.PingPong;
    } else {
        B.Lo = 0;
        B.Hi = B.End;
    }
    return B;
}

// A 64-bit value held to the 32-bit range.
int32_t Narrow(int64_t Value) { return static_cast<int32_t>(std::clamp<int64_t>(Value, INT32_MIN, INT32_MAX)); }

TSpanLimits SpanLimitsOf(const TQuavixChannel& Channel) {
    TSpanLimits L;
    L.Bounds = BoundsOf(*Channel.Sample);
    // A fine step may be one unit longer (FineSampleSteps): the bounds count
    // with the longer one, and a span ends no later than they allow.
    L.Increment = Channel.Increment + (Channel.IncrementFraction > 0 ? 1 : 0);
    L.MaxSpan = std::max<int64_t>(16384 / (L.Increment / FrameUnit + 1), 2);
    return L;
}

// FineSampleSteps moves voices in chunks of this many frames from each tick's
// start, each chunk's steps all of one length: a voice strays from its exact
// position by at most half a chunk's units (1/32 of a frame), and mixes a
// tick in a few spans instead of one.
constexpr int32_t FineStepChunk = 256;

// Starts a chunk of FineSampleSteps with Left frames of the tick to go: the
// chunk's steps are a unit longer where that leaves the voice nearer its
// exact position at the chunk's end.
void StartFineChunk(TQuavixChannel& Channel, int32_t Left) {
    // Outside the player's ticks (a tick of no length) a chunk is whole.
    const int64_t Frames = Left > 0 ? std::min(FineStepChunk, Left) : FineStepChunk;
    const int64_t Rate = Channel.Module->SampleRate;
    Channel.FineCarry += Frames * Channel.IncrementFraction;
    Channel.FineExtra = Channel.FineCarry * 2 >= Frames * Rate ? 1 : 0;
    if (Channel.FineExtra) Channel.FineCarry -= Frames * Rate;
}

// GetMixSpan from a position given in 64 bits.
int32_t MixSpanFrom(TQuavixChannel& Channel, const TSpanLimits& Limits, int64_t P, int32_t MaxFrames) {
    const TSampleBounds& B = Limits.Bounds;
    const int64_t Lo = B.Lo, Hi = B.Hi;

    // Wrap at the bounds.
    if (P < Lo) {
        if (Channel.Backwards) {
            if (B.PingPong) {
                P = 2 * Lo - P;
                Channel.Backwards = false;
                if (P < Lo || P >= (Lo + Hi) / 2) P = Lo;
            } else if (B.Loop) {
                P = std::min(Hi - (Lo - P), Hi);
            } else {
                Channel.Position = P;
                return 0;
            }
        } else if (P < 0) {
            // Only a negative fraction can remain; anything below 0 ends the voice.
            P %= FrameUnit;
        }
    } else if (P >= Hi && !(B.PingPong && Channel.Backwards && P == Hi)) {
        if (B.PingPong) {
            // The turn mirrors the overshoot: the loop's end itself turns
            // in place, so that a way there and back is exactly twice the
            // loop's length. With PingPongTurnLosesAFrame an overshoot of a
            // frame or more turns a frame nearer the end.
            const bool LosesAFrame = P - Hi >= FrameUnit && Channel.Module &&
                                     Channel.Module->Has(TQuavixBehaviour::PingPongTurnLosesAFrame);
            // With ShortPingPongLoops the way back starts a frame lower.
            const bool Short = Channel.Module && Channel.Module->Has(TQuavixBehaviour::ShortPingPongLoops);
            P = 2 * Hi - P + (LosesAFrame ? FrameUnit : 0) - (Short ? FrameUnit : 0);
            Channel.Backwards = true;
            // An overshoot that lands outside the loop plays from the last
            // frame, keeping its fraction.
            if (P < Lo || P > Hi) P = B.Last + P % FrameUnit;
        } else if (B.Loop) {
            P = std::max(P - (Hi - Lo), Lo);
            Channel.Backwards = false;
        } else {
            Channel.Position = P;
            return 0;
        }
    }
    Channel.Position = P;

    // Validity. A ping-pong loop that ends with the sample turns at its end,
    // which the guard frames after the sample mirror.
    const bool AtTheTurn = B.PingPong && Channel.Backwards && P == Hi;
    if (P < 0 || (P >= B.End && !AtTheTurn) || (P < Lo && Channel.Backwards)) return 0;

    const int64_t Increment = Limits.Increment;
    const int64_t M = std::min<int64_t>(MaxFrames, Limits.MaxSpan);

    // The last frame of the span still lies inside [Lo, Hi).
    int64_t N = MaxFrames;
    if (Channel.Backwards) {
        if (P - (M - 1) * Increment < Lo) N = (P - Lo - 1) / Increment + 1;
    } else {
        if (P + (M - 1) * Increment >= Hi) N = (Hi - P - 1) / Increment + 1;
    }
    return N <= 1 ? 1 : static_cast<int32_t>(std::min(N, M));
}

// The sample waiting to swap in (SampleSwap) takes over where the sounding
// one, or its loop, ends, as the Amiga goes on from its loop registers: its
// loop plays from the loop start, going on by what the position overshot.
// False where it has no loop (or is none): the voice ends there.
bool TakeSwapSample(TQuavixChannel& Channel, const TSampleBounds& Ended, int64_t& Position) {
    TQuavixSample* Swapped = Channel.SwapSample;
    Channel.SwapPending = false;
    Channel.SwapSample = nullptr;
    if (!Swapped) return false;
    const TSampleBounds Bounds = BoundsOf(*Swapped);
    if (!Bounds.Loop) return false;
    Channel.Sample = Swapped;
    Position = Bounds.Lo + (Position - Ended.Hi);
    Channel.Position = Position;
    return true;
}

// A voice whose ramp has ended at gain 0 ends too when its volume envelope
// can never rise again: the envelope is on, stands at 0, does not loop, is
// past any sustain point, and no point still to come lies above 0. (A
// released envelope that dips to 0 and rises again must stay audible.)
bool EnvelopeStaysSilent(const TQuavixChannel& Channel) {
    const TQuavixEnvelopeHandler& Handler = *Channel.VolumeEnvelope;
    const TQuavixEnvelope* Envelope = Handler.Envelope;
    if (!Envelope || !Envelope->Enabled || Channel.EnvelopeVolume != 0 || Envelope->LoopEnabled) return false;
    if (Envelope->SustainEnabled && Handler.PointIndex <= Envelope->SustainPoint) return false;
    const int32_t Points = std::min(Envelope->NumPoints, TQuavixEnvelope::MaxPoints);
    for (int32_t k = std::max(Handler.PointIndex + 1, 0); k < Points; ++k)
        if (Envelope->Points[k].Value > 0) return false;
    return true;
}

// The largest magnitude a voice can add to any value of the mix buffer over
// Count frames: its largest gain (ramps move straight between where they stand
// and their targets) times its largest value. 0 for a voice that adds nothing.
int64_t MixPeak(const TQuavixChannel& Channel, int32_t Count, bool Stereo) {
    if (!Channel.Active || !Channel.Sample || Channel.Increment <= 0) return 0;
    const bool Ramping = Channel.RampStepLeft != 0 || Channel.RampStepRight != 0;
    if (!Ramping && Channel.RampLeft == 0 && Channel.RampRight == 0 && !Channel.FilterValid) return 0;
    const int64_t RampFrames = Channel.RampLength > 0 ? std::min(Channel.RampLength, Count) : Count;
    auto GainPeak = [RampFrames](int32_t Volume, int32_t Ramp, int32_t Step, int32_t Target) {
        const int64_t Ends[] = {Ramp, Ramp + Step * RampFrames, Target};
        int64_t Peak = Volume < 0 ? -static_cast<int64_t>(Volume) : Volume;
        for (int64_t End : Ends) Peak = std::max(Peak, ((End < 0 ? -End : End) + FrameUnit - 1) / FrameUnit);
        return Peak;
    };
    int64_t Gain = GainPeak(Channel.VolumeLeft, Channel.RampLeft, Channel.RampStepLeft, Channel.RampTargetLeft);
    if (Stereo)
        Gain = std::max(Gain, GainPeak(Channel.VolumeRight, Channel.RampRight, Channel.RampStepRight,
                                       Channel.RampTargetRight));
    return Gain * (Channel.FilterValid ? FilteredPeak : 32768);
}

// The voice's own output at a few frames spread over a span, for the channel
// meters: the mix values there before and after the voice is added. Together
// with the span's last frame, which the mixer takes anyway, a tick's spans
// give a voice's peak closely enough for a meter, without a pass over the
// whole span.
class TLevelProbe {
public:
    void Before(int32_t* Output, int32_t N, int32_t Channels) {
        Values = Channels == 2 ? 2 : 1;
        for (int32_t k = 0; k < Points; ++k) {
            Frames[k] = Output + static_cast<size_t>(static_cast<int64_t>(N - 1) * k / Points) * Channels;
            for (int32_t c = 0; c < Values; ++c) Old[k][c] = static_cast<uint32_t>(Frames[k][c]);
        }
    }
    // The largest magnitude among the probed frames and the last one, in
    // 16-bit sample units.
    int32_t Peak(int32_t LastLeft, int32_t LastRight) const {
        int64_t Largest = std::max(Magnitude(LastLeft), Values == 2 ? Magnitude(LastRight) : 0);
        for (int32_t k = 0; k < Points; ++k)
            for (int32_t c = 0; c < Values; ++c)
                Largest = std::max(Largest, Magnitude(static_cast<int32_t>(static_cast<uint32_t>(Frames[k][c]) - Old[k][c])));
        return static_cast<int32_t>(std::min<int64_t>(Largest >> 12, INT32_MAX));
    }

private:
    static constexpr int32_t Points = 4;
    static int64_t Magnitude(int32_t Value) { return Value < 0 ? -static_cast<int64_t>(Value) : Value; }
    // Left unset until Before: with the meters off, a probe costs one store.
    int32_t* Frames[Points];
    uint32_t Old[Points][2];
    int32_t Values = 0;
};

}  // namespace

int32_t GetMixSpan(TQuavixChannel& Channel, int32_t MaxFrames) {
    return MixSpanFrom(Channel, SpanLimitsOf(Channel), Channel.Position, MaxFrames);
}

void SelectMixRoutine(TQuavixMixState& State) {
    const TQuavixChannel& Channel = *State.Channel;
    // A step of exactly one frame lands on whole frames: nothing to interpolate.
    const bool WholeFrames = Channel.Increment == QuavixFrameUnit && Channel.IncrementFraction == 0;
    State.InterpolationKey = WholeFrames ? 0 : static_cast<int32_t>(State.Player->Interpolation);
    State.StereoSampleKey = Channel.Sample && Channel.Sample->NumChannels == 2 ? 1 : 0;
    State.FilterKey = !Channel.FilterValid ? 0 : (Channel.FilterMode == 1 ? 2 : 1);
    UpdateMixRoutine(State);
}

void UpdateMixRoutine(TQuavixMixState& State) {
    const TQuavixChannel& C = *State.Channel;
    State.RampKey = C.RampStepLeft != 0 || C.RampStepRight != 0 ? 1 : 0;
    State.Routine = nullptr;
    // Interpolation settings beyond the table's four rows select no loop either.
    if (State.InterpolationKey < 0 || State.InterpolationKey > 3) return;
    if (State.Player->OutputChannels() == 1) {
        State.Routine =
            MonoMixRoutines[State.InterpolationKey][State.StereoSampleKey][State.RampKey][State.FilterKey];
    } else if (State.Player->OutputChannels() == 2) {
        const bool Equal = C.RampStepLeft == C.RampStepRight && C.RampLeft == C.RampRight &&
                           C.RampTargetLeft == C.RampTargetRight;
        State.SidesDifferKey = Equal ? 0 : 1;
        State.Routine = StereoMixRoutines[State.InterpolationKey][State.StereoSampleKey][State.RampKey]
                                         [State.FilterKey][State.SidesDifferKey];
    }
}

int32_t TQuavix::MixChannels(int32_t StartFrame, int32_t Count) {
    if (StartFrame < 0 || Count <= 0 || StartFrame >= BufferFrames) return 0;
    if (Count > BufferFrames - StartFrame) Count = BufferFrames - StartFrame;
    MixTickFrame = SamplesPerTick - SamplesLeft;
    SamplesLeft -= Count;

    // Mix-buffer headroom. Values are 32-bit sums; one voice adds at most
    // 2^27 (a 16-bit value at unity gain), or up to 2^31 with a resonating
    // filter, so a loud song of many voices could pass the 32-bit range. The
    // mixer adds up what each voice may add at most; before a voice could
    // overflow the sums, the frames mixed so far move into a 64-bit side
    // buffer and the 32-bit ones start again from 0. At the end the exact
    // total returns, held at the ends of the 32-bit range (which the output
    // clips far within). Ordinary songs never reach the move; the loops stay
    // 32-bit.
    const bool Stereo = OutputChannels() == 2;
    int64_t Headroom = INT32_MAX;
    bool Moved = false;
    auto Reserve = [&](int64_t Peak) {
        if (Peak <= 0) return;
        if (Peak > Headroom) {
            MoveMixToWide(StartFrame, Count);
            Headroom = INT32_MAX;
            Moved = true;
        }
        Headroom -= Peak;
    };
    auto Mix = [&](TQuavixChannel& Channel) {
        Reserve(MixPeak(Channel, Count, Stereo));
        MixChannel(Channel, StartFrame, Count);
    };

    // A voice that is not sounding adds nothing and changes nothing when it
    // is mixed, so only sounding voices are visited: in most ticks the 512
    // voices of the reserve and fade banks are all silent, and those past
    // the banks' voices in use (and any handed over since, right after them)
    // are not even looked at.
    constexpr int32_t Most = TQuavixModule::MaxChannels;
    const int32_t Voices = std::clamp(Module->NumChannels, 0, Most);
    for (int32_t i = 0; i < Voices; ++i)
        if (Module->Channels[i]->Active) Mix(*Module->Channels[i]);
    QuavixVisitVoicesInUse(Module->BackgroundChannels, Module->ReserveVoicesInUse, Mix);
    QuavixVisitVoicesInUse(Module->FadeChannels, Module->FadeVoicesInUse, Mix);

    const int64_t ClickLeft = Module->ClickLeft, ClickRight = Stereo ? Module->ClickRight : 0;
    Reserve(std::max(ClickLeft < 0 ? -ClickLeft : ClickLeft, ClickRight < 0 ? -ClickRight : ClickRight));
    ApplyClickRemoval(StartFrame, Count);
    // What voices that stopped within the span left of their levels (held in
    // the 32-bit range, as many voices at once could pass it).
    if (PendingClickLeft != 0 || PendingClickRight != 0) {
        const auto Join = [](int32_t& Click, int64_t Level) {
            Click = static_cast<int32_t>(std::clamp<int64_t>(Click + Level, INT32_MIN, INT32_MAX));
        };
        Join(Module->ClickLeft, PendingClickLeft);
        Join(Module->ClickRight, PendingClickRight);
        PendingClickLeft = PendingClickRight = 0;
    }
    if (Moved) TakeBackWideMix(StartFrame, Count);
    return Count;
}

void TQuavix::MoveMixToWide(int32_t StartFrame, int32_t Count) {
    int32_t* Target = MixTarget + static_cast<size_t>(StartFrame) * OutputChannels();
    int64_t* Wide = WideMixBuffer.get() + static_cast<size_t>(StartFrame) * OutputChannels();
    const size_t Values = static_cast<size_t>(Count) * OutputChannels();
    for (size_t i = 0; i < Values; ++i) {
        Wide[i] += Target[i];
        Target[i] = 0;
    }
}

void TQuavix::TakeBackWideMix(int32_t StartFrame, int32_t Count) {
    int32_t* Target = MixTarget + static_cast<size_t>(StartFrame) * OutputChannels();
    int64_t* Wide = WideMixBuffer.get() + static_cast<size_t>(StartFrame) * OutputChannels();
    const size_t Values = static_cast<size_t>(Count) * OutputChannels();
    for (size_t i = 0; i < Values; ++i) {
        Target[i] = Narrow(Wide[i] + Target[i]);
        Wide[i] = 0;
    }
}

void TQuavix::MixChannel(TQuavixChannel& Channel, int32_t StartFrame, int32_t Count) {
    const int32_t Total = Count;  // the frames asked for (spans count their place in the tick from it)
    // A step of 0 ends the voice at once, without click hand-over. (The
    // sequencer never gives a negative step; it counts as 0.)
    if (Channel.Increment <= 0) {
        Channel.Active = false;
        return;
    }
    if (!Channel.Active) return;
    if (!Channel.Sample) {
        // A voice without a sample is skipped; one handed to the fade bank
        // could never be heard again, so it frees its fade channel.
        if (Channel.FadeBank) Channel.Active = false;
        return;
    }

    TQuavixMixState State;
    State.Channel = &Channel;
    State.Player = this;
    SelectMixRoutine(State);
    State.Output = MixTarget + static_cast<size_t>(StartFrame) * OutputChannels();
    // The owner's settings for the voice's song channel (a fade-bank voice
    // keeps the number of the channel it came from): a muted voice moves on
    // unheard, and the meters take the voice's output where they are on.
    const bool Muted = ChannelMuted(Channel.Index) || Channel.Disabled;
    const bool Metering = MeasureLevels.load(std::memory_order_relaxed);

    TSpanLimits Limits = SpanLimitsOf(Channel);
    int64_t Position = Channel.Position;
    while (Count > 0) {
        if (Channel.SwapPending && !Channel.Backwards && Position >= Limits.Bounds.Hi) {
            if (!TakeSwapSample(Channel, Limits.Bounds, Position)) {
                Channel.Active = false;
                EndClickAt(Channel, State.Output, Count);
                return;
            }
            Limits = SpanLimitsOf(Channel);
            SelectMixRoutine(State);
        }
        // A span never crosses the end of a ramp, unless the ramp's end
        // changes nothing: gains already at targets that are not both 0 (the
        // usual tick of a voice whose level stays), where the same loop goes
        // on with the same gains.
        const bool RampEndChangesNothing = Channel.RampStepLeft == 0 && Channel.RampStepRight == 0 &&
                                           Channel.RampLeft == Channel.RampTargetLeft &&
                                           Channel.RampRight == Channel.RampTargetRight &&
                                           (Channel.RampLeft != 0 || Channel.RampRight != 0);
        int32_t N = Count;
        if (Channel.RampLength > 0 && Channel.RampLength < Count && !RampEndChangesNothing) N = Channel.RampLength;
        if (Channel.IncrementFraction > 0) {
            // FineSampleSteps: a span stays within one chunk of the tick, and
            // each chunk decides as it starts whether its steps are a unit
            // longer. The chunks are the tick's, not the buffer's, so that
            // voices started together step together however the output is
            // cut into buffers.
            const int32_t InTick = MixTickFrame + (Total - Count);
            const int32_t InChunk = InTick % FineStepChunk;
            if (InChunk == 0) StartFineChunk(Channel, SamplesPerTick - InTick);
            N = std::min(N, FineStepChunk - InChunk);
        } else {
            Channel.FineExtra = 0;
        }
        N = MixSpanFrom(Channel, Limits, Position, N);
        if (N == 0) {
            // Played out: the voice's last output level decays in click
            // removal, from the frame after its last one.
            Channel.Active = false;
            EndClickAt(Channel, State.Output, Count);
            return;
        }
        N = std::min(N, Count);
        Position = Channel.Position;
        const int32_t Step = Channel.Increment + Channel.FineExtra;
        Channel.Step = Channel.Backwards ? -Step : Step;
        const bool Silent = Channel.RampLeft == 0 && Channel.RampRight == 0 && Channel.RampStepLeft == 0 &&
                            Channel.RampStepRight == 0 && !Channel.FilterValid;
        if (!Silent && !Muted && State.Routine) {
            TLevelProbe Probe;
            if (Metering) Probe.Before(State.Output, N, OutputChannels());
            // The voice's own contribution to the span's last frame.
            int32_t* LastFrame = State.Output + static_cast<size_t>(N - 1) * OutputChannels();
            const uint32_t OldLeft = static_cast<uint32_t>(LastFrame[0]);
            const uint32_t OldRight = OutputChannels() == 2 ? static_cast<uint32_t>(LastFrame[1]) : 0;
            State.Routine(State.Output, N, Channel);
            Channel.LastLeft = static_cast<int32_t>(static_cast<uint32_t>(LastFrame[0]) - OldLeft);
            if (OutputChannels() == 2) Channel.LastRight = static_cast<int32_t>(static_cast<uint32_t>(LastFrame[1]) - OldRight);
            if (Metering) NoteLevel(Channel.Index, Probe.Peak(Channel.LastLeft, Channel.LastRight));
        } else {
            // Silent, muted, or no loop for this key: the position moves on
            // unheard. A voice muted while it sounds hands its last level to
            // click removal, where it decays instead of stopping dead.
            State.Output += static_cast<size_t>(N) * OutputChannels();
            if (Muted) {
                Channel.HandClickToModule();
            } else {
                Channel.LastLeft = 0;
                Channel.LastRight = 0;
            }
        }
        Position += static_cast<int64_t>(N) * Channel.Step;
        Channel.Position = Position;
        Count -= N;

        if (Channel.RampLength > 0) {
            Channel.RampLength -= N;
            if (Channel.RampLength <= 0) {
                // The ramp is over: the gains stand exactly at their targets.
                Channel.RampLeft = Channel.RampTargetLeft;
                Channel.RampRight = Channel.RampTargetRight;
                Channel.RampStepLeft = 0;
                Channel.RampStepRight = 0;
                Channel.RampLength = 0;
                if (Channel.RampLeft == 0 && Channel.RampRight == 0 &&
                    (Channel.FadeoutVolume == 0 || Channel.FadeBank || EnvelopeStaysSilent(Channel))) {
                    // Silent for good; already at 0, so no click to hand over.
                    Channel.Active = false;
                    return;
                }
                UpdateMixRoutine(State);
            }
        }
    }
}

namespace {

// Click removal's offset loses 1/256 of itself per frame, rounded away from
// zero, so that it reaches exactly 0.
int32_t DecayClick(int32_t C) {
    const int64_t Wide = C;
    return static_cast<int32_t>(Wide - ((Wide + (Wide > 0 ? 255 : 0)) >> 8));
}

}  // namespace

void TQuavix::EndClickAt(TQuavixChannel& Channel, int32_t* Out, int32_t Count) {
    // A voice that stops within the span decays from there: the offset the
    // span's start takes would lie under the voice's own last frames, which
    // then sounded up to twice as loud. The decay runs to the span's end
    // here, within the headroom the voice had for the span (the level is one
    // of its own values), and what is left joins the offset of the next span.
    const int32_t Channels = OutputChannels();
    int32_t Left = Channel.LastLeft, Right = Channels == 2 ? Channel.LastRight : 0;
    for (int32_t i = 0; i < Count && (Left != 0 || Right != 0); ++i, Out += Channels) {
        Left = DecayClick(Left);
        Out[0] += Left;
        if (Channels == 2) {
            Right = DecayClick(Right);
            Out[1] += Right;
        }
    }
    PendingClickLeft += Left;
    PendingClickRight += Right;
    Channel.LastLeft = 0;
    Channel.LastRight = 0;
}

void TQuavix::ApplyClickRemoval(int32_t StartFrame, int32_t Count) {
    int32_t& ClickLeft = Module->ClickLeft;
    int32_t& ClickRight = Module->ClickRight;
    const bool Stereo = OutputChannels() == 2;
    if (!Stereo && OutputChannels() != 1) return;
    if (ClickLeft == 0 && (!Stereo || ClickRight == 0)) return;
    const auto Decay = DecayClick;
    int32_t* Out = MixTarget + static_cast<size_t>(StartFrame) * OutputChannels();
    int32_t Left = ClickLeft, Right = ClickRight;
    if (Stereo) {
        for (int32_t i = 0; i < Count && (Left != 0 || Right != 0); ++i, Out += 2) {
            Left = Decay(Left);
            Right = Decay(Right);
            Out[0] += Left;
            Out[1] += Right;
        }
        ClickRight = Right;
    } else {
        for (int32_t i = 0; i < Count && Left != 0; ++i, ++Out) {
            Left = Decay(Left);
            Out[0] += Left;
        }
    }
    ClickLeft = Left;
}
