// Row and tick sequencing: the order list, rows and ticks, and the per-tick
// output stage of every voice.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "sequencer/channel.h"
#include "song/module.h"
#include "song/units.h"

namespace {

// Pitch range of a voice: a period is held within these after every tick.
// With PeriodWrapsSlidingDown the whole 16-bit range, from 1 for linear
// periods (the slides keep the period there themselves).
constexpr int32_t MinPeriod = 27;
constexpr int32_t MaxPeriod = 54784;
constexpr int32_t MinLinearWrappingPeriod = 1;
constexpr int32_t MaxWrappingPeriod = 0xFFFF;
constexpr int32_t MaxScreamTrackerPeriod = 32767;

// The pattern channels the song uses.
int32_t SongChannels(const TQuavixModule& M) { return std::clamp<int32_t>(M.NumChannels, 0, TQuavixModule::MaxChannels); }

// The order at which the song goes on after its last one. A restart position
// outside the song starts it over from the beginning, as trackers do with
// such files.
int32_t RestartOrder(const TQuavixModule& M) {
    if (M.RestartPosition < 0 || M.RestartPosition >= M.SongLength || M.RestartPosition >= TQuavixModule::MaxOrders)
        return 0;
    return M.RestartPosition;
}

// Starting the song over from its first order: global volume, speed and
// tempo return to the song's own (with RestartKeepsSpeedAndTempo speed and
// tempo stay as the song's end left them). The channels play on as the song
// left them: a note sounding over the end of the song goes on into its
// start, as trackers play a looping song.
void FullRestart(TQuavixModule& M) {
    M.GlobalVolume = M.InitialGlobalVolume;
    if (!M.Has(TQuavixBehaviour::RestartKeepsSpeedAndTempo)) {
        M.Speed = M.InitialSpeed;
        M.Tempo = M.InitialTempo;
        M.NextTempo = 0;
    }
}

// Finds the row to play from OrderPosition and Row on: past the end of the
// order list (or past the 256 entries of Orders, whatever SongLength claims)
// the song continues at its restart position, at row 0 or with
// SongWrapKeepsBreakRow at the row it was going to; a row beyond the
// pattern's rows (a pattern of 0 rows, a break to a row the pattern lacks)
// moves on to the next order, but for a row the order's end carried over
// (CarriedRow), which plays as a row without cells. Returns false when no
// order from the restart position on has a row at all: after the song has
// gone round once there is nothing left to find.
bool FindRow(TQuavixModule& M) {
    int32_t Wraps = 0;
    for (;;) {
        if (M.OrderPosition < 0 || M.OrderPosition >= M.SongLength || M.OrderPosition >= TQuavixModule::MaxOrders) {
            if (++Wraps > 1) return false;
            M.OrderPosition = RestartOrder(M);
            if (!M.Has(TQuavixBehaviour::SongWrapKeepsBreakRow)) M.Row = 0;
            if (M.OrderPosition == 0) FullRestart(M);
        }
        M.CurrentPattern = M.Orders[M.OrderPosition];
        const int32_t Rows = M.Patterns[M.CurrentPattern]->Rows;
        if (M.JumpedRow && M.Row >= Rows) M.Row = 0;
        if (M.Row >= 0 && (M.Row < Rows || (M.CarriedRow && Rows > 0))) return true;
        M.OrderPosition += 1;
        M.Row = 0;
        M.CarriedRow = false;
        M.JumpedRow = false;
    }
}

// Where the song goes after a row, with PatternLoopRowCarriesOver: to the
// next row, or back to the break row where a pattern loop jumped. Where the
// row leaves its pattern or a jump or break asked for another order, the
// next order starts at the break row, which is then used up: after a loop
// has jumped and run out, the next order starts at the loop's row.
void NextRowCarryingTheBreakRow(TQuavixModule& M) {
    M.Row += 1;
    if (M.LoopJumpPending) M.Row = M.BreakRow;
    M.CarriedRow = false;
    const bool PastTheEnd = M.Row >= M.Patterns[M.CurrentPattern]->Rows;
    if (!M.JumpPending && !PastTheEnd) return;
    M.OrderPosition = M.JumpPending ? M.JumpOrder : M.OrderPosition + 1;
    M.Row = M.BreakRow;
    M.BreakRow = 0;
    M.CarriedRow = !M.JumpPending;
    M.JumpedRow = M.JumpPending;
}

// The first tick of a row: find it, hand each pattern channel its cell, then
// go on to the next row or to where a jump in the row asked.
void StartRow(TQuavixModule& M) {
    M.TickCounter = 0;
    M.PatternDelay = 0;
    M.TickDelay = 0;
    M.RowDelaySet = false;
    M.JumpOrder = 0;
    M.JumpRow = 0;
    M.JumpPending = false;
    M.LoopJumpPending = false;
    M.BreakRowFromPositionJump = false;
    const int32_t Count = SongChannels(M);
    const bool Found = FindRow(M);
    M.JumpedRow = false;
    if (!Found) {
        // Nothing left to play: the ticks stay silent. The song's voices fade
        // out, and the channels hold empty cells so that no effect of an
        // earlier row goes on running.
        for (int32_t i = 0; i < Count; ++i) {
            TQuavixChannel& C = *M.Channels[i];
            C.MoveToFadeBank();
            C.CurrentTick = 0;
            C.CurrentNote = TQuavixPatternNote();
        }
        return;
    }
    // With LoopStartResetsPerPattern a new pattern brings each channel's
    // pattern loop start back to its top row.
    if (M.Has(TQuavixBehaviour::LoopStartResetsPerPattern) && M.Row == 0)
        for (int32_t i = 0; i < Count; ++i) M.Channels[i]->PatternLoopRow = 0;
    M.PlayingOrder = M.OrderPosition;
    M.PlayingRow = M.Row;
    const TQuavixPattern& Pattern = *M.Patterns[M.CurrentPattern];
    for (int32_t i = 0; i < Count; ++i) {
        TQuavixChannel& C = *M.Channels[i];
        C.CurrentTick = 0;
        // A channel the pattern does not have plays empty cells, and so does
        // a row it does not have.
        if (i < Pattern.Channels && M.Row < Pattern.Rows)
            Pattern.GetNote(C.CurrentNote, M.Row, i);
        else
            C.CurrentNote = TQuavixPatternNote();
        C.ProcessRow();
    }
    // The next row search checks where a jump leads. A jump to a row its
    // pattern does not have (D40 into a pattern of 32 rows) plays that
    // pattern from its top, as trackers do; the order is checked there.
    if (M.Has(TQuavixBehaviour::PatternLoopRowCarriesOver)) {
        NextRowCarryingTheBreakRow(M);
    } else if (M.JumpPending) {
        M.OrderPosition = M.JumpOrder;
        M.Row = M.JumpRow;
        M.JumpedRow = true;
    } else {
        M.Row += 1;
    }
}

}  // namespace

void TQuavixModule::JumpToOrder(int32_t Order) {
    for (int32_t i = 0; i < SongChannels(*this); ++i) {
        TQuavixChannel& C = *Channels[i];
        C.MoveToFadeBank();
        // A pattern loop of the order left behind does not reach into the
        // new one.
        C.PatternLoopActive = false;
        C.PatternLoopCount = 0;
        C.PatternLoopRow = 0;
    }
    BreakRow = 0;
    CarriedRow = false;
    JumpedRow = false;
    // Where a jump of the row leads (the next row search checks it), and a
    // tick counter at the row's end, so that the next tick starts a row.
    OrderPosition = Order;
    Row = 0;
    PatternDelay = 0;
    TickDelay = 0;
    TickCounter = Speed;
}

void TQuavixModule::ProcessTick() {
    // A tempo the last tick set lasts from this tick on.
    if (NextTempo != 0) {
        Tempo = NextTempo;
        NextTempo = 0;
    }
    TickCounter += 1;
    const int32_t Count = SongChannels(*this);
    // A row lasts its speed and the ticks S6y adds, once and once more for
    // each repetition a pattern delay asks for.
    const int32_t RowTicks = Speed + TickDelay;
    const bool InsideRow = TickCounter < RowTicks * (PatternDelay + 1);
    // Each time a pattern delay plays the row again its ticks count from 0
    // again; its first tick is one of the other ticks all the same.
    const int32_t RowTick = InsideRow && RowTicks > 0 ? TickCounter % RowTicks : 0;
    if (InsideRow) {
        for (int32_t i = 0; i < Count; ++i) {
            Channels[i]->CurrentTick = RowTick;
            Channels[i]->ProcessTickEffects();
        }
    } else {
        StartRow(*this);
    }

    // The pattern channels have handed over the voices their notes replace.
    // Inside a row the sounding voices of the banks run the effects of the
    // cell they were handed over with; once a voice has ended its cell is
    // stale: it must not go on acting (a global volume slide would run
    // forever).
    const std::pair<TChannelBank*, int32_t*> Banks[] = {{&BackgroundChannels, &ReserveVoicesInUse},
                                                         {&FadeChannels, &FadeVoicesInUse}};
    for (const auto& [Bank, InUse] : Banks)
        QuavixVisitVoicesInUse(*Bank, *InUse, [InsideRow, RowTick](TQuavixChannel& C) {
            if (!InsideRow) return;
            C.CurrentTick = RowTick;
            C.ProcessTickEffects();
        });

    for (int32_t i = 0; i < Count; ++i) Channels[i]->UpdateVoice();
    // A reserve or fade voice that has ended only comes back as a copy of a
    // sounding voice (MoveToFadeBank copies its whole state, envelopes
    // included), so what a tick would do to it while silent can never be
    // heard: only the sounding ones are updated.
    for (const auto& [Bank, InUse] : Banks)
        QuavixVisitVoicesInUse(*Bank, *InUse, [](TQuavixChannel& C) { C.UpdateVoice(); });
}

void TQuavixChannel::UpdateVoice() {
    if (!Instrument || !Module) {
        Active = false;
        return;
    }
    // Envelopes and the instrument vibrato move on for silent voices too.
    UpdateEnvelopes();
    UpdateAutoVibrato();
    // A voice left to fade in the reserve bank ends once faded out.
    if (Background && !FadeBank && FadeoutVolume == 0) Active = false;
    if (!Active) return;

    Volume = std::clamp<int32_t>(Volume, 0, 64);
    const int32_t GlobalRange = Module->GlobalVolumeRange;
    Module->GlobalVolume = std::clamp<int32_t>(Module->GlobalVolume, 0, GlobalRange);
    Module->MasterVolume = std::clamp<int32_t>(Module->MasterVolume, 0, 256);
    Panning = std::clamp<int32_t>(Panning, 0, Module->RightPanning());
    EnvelopeVolume = std::clamp<int32_t>(EnvelopeVolume, 0, 64);
    const bool Wraps = Module->Has(TQuavixBehaviour::PeriodWrapsSlidingDown);
    const int32_t Floor = Wraps && Module->LinearSlides ? MinLinearWrappingPeriod : MinPeriod;
    // With PeriodHeldBelow32768 no period, a note's or a slide's, passes 32767.
    const int32_t Ceiling = Module->Has(TQuavixBehaviour::PeriodHeldBelow32768) ? MaxScreamTrackerPeriod
                            : Wraps                                            ? MaxWrappingPeriod
                                                                               : MaxPeriod;
    Period = std::clamp(Period, Floor, Ceiling);

    // Tremolo and tremor act on this tick only; the stored volume stays.
    const int32_t TickVolume = std::clamp<int32_t>(Volume + VolumeOffset + NoteVolumeOffset, 0, 64);
    // 0..4096 at full master volume; each product is shifted down before the
    // next, in this order.
    int32_t Gain = FadeoutVolume >> 4;
    // With FineEnvelopeSteps the volume envelope counts in 256ths of a step.
    if (Module->Has(TQuavixBehaviour::FineEnvelopeSteps))
        Gain = (Gain * std::clamp<int32_t>(FineEnvelopeVolume, 0, 64 << 8)) >> 14;
    else
        Gain = (Gain * EnvelopeVolume) >> 6;
    Gain = GlobalRange == 128 ? (Gain * Module->GlobalVolume) >> 7 : (Gain * Module->GlobalVolume) >> 6;
    Gain = (Gain * TickVolume) >> 6;
    // The channel's, the sample's and the instrument's own volumes, where a
    // song sets them (Impulse Tracker's).
    if (ChannelVolume != 64) Gain = (Gain * std::clamp<int32_t>(ChannelVolume, 0, 64)) >> 6;
    if (Sample && Sample->GlobalVolume != 64) Gain = (Gain * Sample->GlobalVolume) >> 6;
    if (Instrument->GlobalVolume != 128) Gain = (Gain * Instrument->GlobalVolume) >> 7;
    Gain = (Gain * Module->MasterVolume) >> 8;
    if (Module->MixLevel != 128) Gain = (Gain * Module->MixLevel) >> 7;
    FinalVolume = Gain;

    // The panning envelope swings around the channel's panning, as far as
    // the nearer side allows. Not clamped: a centred channel with the
    // envelope at its top gives 256.
    // A panbrello swings the tick's panning (PanningOffset), held to the sides.
    // The note's own offset (NotePanningOffset) goes with it.
    const int32_t Swing = PanningOffset + NotePanningOffset;
    const int32_t TickPanning = Swing == 0 ? Panning : std::clamp<int32_t>(Panning + Swing, 0, Module->RightPanning());
    FinalPanning = TickPanning + (((EnvelopePanning - 32) * (128 - std::abs(TickPanning - 128))) >> 5);

    UpdateVolumeRamp();

    // The tick's period, with arpeggio and vibrato added, is held to the same
    // floor as the period itself. Below it the pitch would only climb to
    // frequencies no sample is meant to play at (period 1 in the Amiga
    // system is 14 MHz, hundreds of sample frames per output frame), and a
    // negative period has no pitch at all. At the floor the frequency is
    // just over 512 kHz, so the step is formed in 64 bits.
    const int64_t TickPeriod = std::clamp<int64_t>(static_cast<int64_t>(Period) + PeriodOffset, Floor, INT32_MAX);
    // A sample with its own C-4 frequency scales the period's (64 bits: at
    // most 2^31 times 9999999).
    int64_t Exact = PeriodFineFrequency(static_cast<int32_t>(TickPeriod));
    // With ExactAmigaNotePitch the note plays at its exact frequency, and the
    // slides move it as they move its period's.
    // (The frequency stays below 2^37 and the ratio below 2^26: 64 bits hold
    // the product.)
    if (ExactPitchRatio > 0) Exact = (Exact * ExactPitchRatio) >> 24;
    Frequency = static_cast<int32_t>(std::min<int64_t>(Exact >> QuavixFrameBits, INT32_MAX));
    if (Module->SampleRate > 0) {
        // The 20.12 step falls short of the frequency by up to a 4096th of a
        // frame per output frame: 0.13 % (two cents) flat at 8363 Hz, and by
        // a different amount for every note, so that voices a song doubles
        // at the unison or the octave drift against each other, as they never
        // did in the trackers. What is cut off is carried from tick to tick
        // and makes the step one unit longer whenever it adds up to a whole
        // one: on average every voice moves at its exact frequency. A step of
        // 0 stays 0 (it ends the voice).
        // With FineSampleSteps the mixer moves the voice by what is cut off
        // as it goes (IncrementFraction).
        int64_t Frames = Exact / Module->SampleRate;
        IncrementFraction = 0;
        if (Frames > 0 && Module->Has(TQuavixBehaviour::FineSampleSteps)) {
            IncrementFraction = static_cast<int32_t>(Exact % Module->SampleRate);
        } else if (Frames > 0) {
            IncrementCarry += static_cast<int32_t>(Exact % Module->SampleRate);
            if (IncrementCarry >= Module->SampleRate) {
                IncrementCarry -= Module->SampleRate;
                ++Frames;
            }
        }
        // With PeriodWrapsSlidingDown a period slid past the lowest note,
        // too low to move the voice, keeps it sounding, all but still,
        // until the slide wraps its octave and brings it back.
        if (Frames == 0 && Wraps) Frames = 1;
        // A tick of period 0 has no pitch: the voice stands still, moved on
        // by the smallest step that keeps it sounding, which the next tick
        // takes back.
        if (StillTick) Frames = 1;
        if (WasStill) Position = StillPosition;
        if (StillTick && !WasStill) StillPosition = Position;
        WasStill = StillTick;
        Increment = static_cast<int32_t>(std::clamp<int64_t>(Frames, 0, INT32_MAX));
    } else {
        Increment = 0;
    }
}
