// Per-tick envelope and fade-out update (the pitch envelope moving the pitch
// or the filter's cutoff) and the instrument's automatic vibrato.
#include <algorithm>
#include <array>
#include <cmath>

#include "sequencer/channel.h"
#include "sequencer/tables.h"
#include "song/instrument.h"
#include "song/module.h"
#include "song/units.h"

void TQuavixChannel::UpdateEnvelopes() {
    const bool ThroughEnds = Module && Module->Has(TQuavixBehaviour::EnvelopeLoopsIncludeEnd);
    auto Advance = [ThroughEnds](TQuavixEnvelopeHandler& H) { return ThroughEnds ? H.AdvanceThroughLoopEnds() : H.Advance(); };
    EnvelopeVolume = 64;
    EnvelopePanning = 32;
    FineEnvelopeVolume = -1;
    if (VolumeEnvelope->Envelope && !VolumeEnvelopeOff) {
        if (VolumeEnvelope->Envelope->Enabled) {
            EnvelopeVolume = Advance(*VolumeEnvelope);
            if (ThroughEnds) FineEnvelopeVolume = VolumeEnvelope->FineValue;
        }
        else if (!VolumeEnvelope->KeyOn && !(Module && (Module->Has(TQuavixBehaviour::KeyOffZeroesVolume) ||
                                                        Module->Has(TQuavixBehaviour::KeyOffFadesOut))))
            EnvelopeVolume = 0;  // a released note without volume envelope is silent at once
        // With FadeStartsAtEnvelopeEnd an envelope that has ended starts the
        // fade-out, or where it ended at 0 ends the note; only Fading fades.
        const bool EndFades = Module && Module->Has(TQuavixBehaviour::FadeStartsAtEnvelopeEnd);
        if (EndFades && VolumeEnvelope->Envelope->Enabled && VolumeEnvelope->Ended()) {
            // The note ends, ramping down from what it played last.
            if (EnvelopeVolume == 0 && !FadeBank) MoveToFadeBank();
            Fading = true;
        }
        if (Instrument && ((!EndFades && !VolumeEnvelope->KeyOn) || Fading)) {
            // QuavixFullFadeout is 65536, so a fade-out of 32768 ends the note in one tick.
            int64_t Faded = static_cast<int64_t>(FadeoutVolume) - static_cast<int64_t>(Instrument->FadeOut) * 2;
            FadeoutVolume = Faded < 0 ? 0 : static_cast<int32_t>(Faded);
        }
    }
    if (FineEnvelopeVolume < 0) FineEnvelopeVolume = EnvelopeVolume << 8;
    if (PanningEnvelope->Envelope && PanningEnvelope->Envelope->Enabled && !PanningEnvelopeOff)
        EnvelopePanning = Advance(*PanningEnvelope);
    if (PitchEnvelope->Envelope && PitchEnvelope->Envelope->Enabled && !PitchEnvelopeOff)
        UpdatePitchEnvelope(Advance(*PitchEnvelope));
}

namespace {

// 65536 x 2^(n / PerOctave) for n = -Reach..Reach: the frequency ratios of
// steps of an octave's PerOctave-th, built once.
template <int32_t PerOctave, int32_t Reach>
const std::array<int32_t, 2 * Reach + 1>& PitchRatios() {
    static const std::array<int32_t, 2 * Reach + 1> Table = [] {
        std::array<int32_t, 2 * Reach + 1> T{};
        for (int32_t n = -Reach; n <= Reach; ++n)
            T[n + Reach] = static_cast<int32_t>(std::lround(65536.0 * std::pow(2.0, static_cast<double>(n) / PerOctave)));
        return T;
    }();
    return Table;
}

}  // namespace

void TQuavixChannel::UpdatePitchEnvelope(int32_t Value) {
    if (Instrument->PitchEnvelopeFilters) {
        // The cutoff the filter plays is its own scaled by the envelope:
        // none at 0, the whole at 64. With FineFilterEnvelope the envelope
        // moves the slope of the cutoff's frequency in 256ths of its steps
        // (a modifier of -256..256); FilterCutoff is the scaled cutoff in
        // whole steps all the same, for the filter's full-cutoff check.
        if (FilterBaseCutoff < 0) return;
        if (Module->Has(TQuavixBehaviour::FineFilterEnvelope)) {
            const int32_t Modifier = (PitchEnvelope->FineValue - (32 << 8)) >> 5;
            const int32_t Cutoff = FilterBaseCutoff * (Modifier + 256) / 512;
            if (Modifier != FilterModifier || Cutoff != FilterCutoff || !FilterValid) {
                FilterModifier = Modifier;
                FilterCutoff = Cutoff;
                SetupFilter(!FilterValid);
            }
            return;
        }
        const int32_t Cutoff = FilterBaseCutoff * Value / 64;
        if (Cutoff != FilterCutoff || !FilterValid) {
            FilterCutoff = Cutoff;
            SetupFilter(!FilterValid);
        }
        return;
    }
    // The pitch moves by Value - 32 half semitones: 32 linear period units
    // each (with FineEnvelopeSteps, from the value in 256ths), or the Amiga
    // period divided by the frequency's ratio.
    const int32_t Steps = Value - 32;
    if (Module->LinearSlides && Module->Has(TQuavixBehaviour::FineEnvelopeSteps)) {
        PeriodOffset -= (PitchEnvelope->FineValue - (32 << 8)) >> 3;
        return;
    }
    if (Steps == 0) return;
    if (Module->LinearSlides) {
        PeriodOffset -= Steps * 32;
    } else {
        const int64_t Scaled = static_cast<int64_t>(Period) * 65536 / PitchRatios<24, 32>()[Steps + 32];
        PeriodOffset += static_cast<int32_t>(Scaled - Period);
    }
}

void TQuavixChannel::UpdateAutoVibrato() {
    if (!Instrument) return;
    if (Module && Module->Has(TQuavixBehaviour::SampleAutoVibrato)) {
        UpdateSampleVibrato();
        return;
    }
    // The phase moves on by the rate first, and the tick plays the wave
    // where it lands, as Fasttracker 2 does: a note's first tick is already
    // one step in.
    const int32_t P = static_cast<int32_t>(
        (static_cast<uint32_t>(AutoVibratoPosition) + static_cast<uint32_t>(Instrument->VibratoRate)) & 255);
    AutoVibratoPosition = P;
    int32_t Wave;
    switch (Instrument->VibratoType) {
        case 0: Wave = AutoVibratoTable[P]; break;               // sine
        case 1: Wave = P < 128 ? 64 : -64; break;                // square
        case 2: Wave = (128 - ((P + 128) & 255)) >> 1; break;    // falls from 0 to -64, jumps to 64, falls to 0
        case 3: Wave = (128 - ((384 - P) & 255)) >> 1; break;    // rises from 0 to 64, jumps to -64, rises to 0
        default: Wave = 0; break;
    }
    // Depth and sweep are bytes in a song file; the products are formed in
    // 64 bits all the same, so that a damaged value cannot overflow them.
    int64_t Offset = static_cast<int64_t>(Wave) * Instrument->VibratoDepth;
    const int32_t Sweep = Instrument->VibratoSweep;
    if (Sweep != 0) {
        // The vibrato fades in over Sweep ticks from the note start and stops
        // growing once the key is released.
        Offset = Offset * AutoVibratoSweep / Sweep;
        if (!KeyOff && AutoVibratoSweep < INT32_MAX) ++AutoVibratoSweep;
        if (AutoVibratoSweep > Sweep) AutoVibratoSweep = Sweep;
    }
    // Divided toward 0: a shift would take one more period unit from every
    // negative offset, and the vibrato would raise the note's pitch on
    // average.
    PeriodOffset = static_cast<int32_t>(PeriodOffset + Offset / 64);
}


void TQuavixChannel::UpdateSampleVibrato() {
    // The sample's own vibrato: nothing at all at speed 0. Its depth grows
    // by the sweep rate (in 256ths) each tick up to the sample's depth; the
    // phase moves by the speed, 256 to the cycle, before the tick plays it.
    if (!Sample || Sample->VibratoSpeed == 0) return;
    const int32_t Full = Sample->VibratoDepth * 256;
    AutoVibratoSweep = std::min(AutoVibratoSweep + Sample->VibratoRate, Full);
    AutoVibratoPosition = (AutoVibratoPosition + Sample->VibratoSpeed) & 255;
    const int32_t P = AutoVibratoPosition;
    // The wave, -64..64, negative where it raises the pitch: sine, ramp
    // down, square, random.
    int32_t Wave;
    switch (Sample->VibratoType) {
        case 0: Wave = AutoVibratoTable[P]; break;
        case 1: Wave = (P >> 1) - 64; break;
        case 2: Wave = P < 128 ? -64 : 64; break;
        default:
            // A channel's own generator, so that every render is the same.
            RandomState = RandomState * 1103515245u + 12345u;
            Wave = static_cast<int32_t>((RandomState >> 16) % 129) - 64;
            break;
    }
    // 64ths of a semitone: linear period units, or the Amiga period scaled
    // by the frequency's ratio. Divided toward 0, so that the pitch swings
    // as far up as down: a shift would take a 64th more from every step
    // that raises it, and a long note would sound 0.8 cent sharp.
    const int32_t Steps = (Wave * (AutoVibratoSweep >> 8)) / 64;
    if (Steps == 0) return;
    if (Module->LinearSlides) {
        PeriodOffset += Steps;
    } else {
        const int64_t Scaled = static_cast<int64_t>(Period) * PitchRatios<768, 64>()[64 + Steps] / 65536;
        PeriodOffset += static_cast<int32_t>(Scaled - Period);
    }
}
