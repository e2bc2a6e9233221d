// A voice's gains for the output layout, and the volume ramp that carries the
// gains from where they stand to the new ones within one tick.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdint>

#include "sequencer/channel.h"
#include "song/module.h"

namespace {

// The rounded square root of N, in integers.
constexpr int64_t RoundedSquareRoot(int64_t N) {
    int64_t Root = 0;
    for (int64_t Bit = int64_t(1) << 30; Bit > 0; Bit >>= 1)
        if ((Root + Bit) * (Root + Bit) <= N) Root += Bit;
    // Up when N lies at or past (Root + 1/2)^2 = Root^2 + Root + 1/4.
    return N - Root * Root > Root ? Root + 1 : Root;
}

// The square-root pan law: entry n is 65536 * sqrt(n / 256), rounded, for
// n = 0..256; a side's gain is the volume times the entry of its share of
// the panning, over 65536. The centre gives each side 0.707 of the volume,
// so a voice keeps its loudness wherever it is panned.
constexpr std::array<int32_t, 257> MakeSquareRootPanTable() {
    std::array<int32_t, 257> Table{};
    for (int64_t n = 0; n <= 256; ++n) Table[n] = static_cast<int32_t>(RoundedSquareRoot(n * 4096 * 4096));
    return Table;
}
constexpr std::array<int32_t, 257> SquareRootPanTable = MakeSquareRootPanTable();
static_assert(SquareRootPanTable[256] == 65536 && SquareRootPanTable[128] == 46341 && SquareRootPanTable[1] == 4096,
              "the table's ends and centre");

// The longest ramp a volume slide's step takes with VolumeSlidesRampAcrossTick.
constexpr int32_t MaxSlideRampLength = 2048;

}  // namespace

void TQuavixChannel::WidenGains(int32_t Percent) {
    // Each side moves away from the mono gain (what mono output gives the
    // voice: the mean of the two sides by size) by Percent of its own
    // distance from it. 0 gives both sides the mono gain, 100 leaves them
    // exactly as they are, 200 doubles the difference between the sides (a
    // hard-panned voice then sounds at half its gain, inverted, on the far
    // side). For every voice but a surround one this is the mid/side
    // widening that openmpt123's --stereo applies to its whole mix: being
    // linear, it gives the same voice by voice. The products are taken in
    // 64 bits and truncate towards zero.
    const int32_t Mono = (std::abs(VolumeLeft) + std::abs(VolumeRight)) / 2;
    // A surround voice already sounds as wide as any can: past 100 it stays.
    const int64_t Share = Surround ? std::min(Percent, 100) : Percent;
    VolumeLeft = Mono + static_cast<int32_t>((static_cast<int64_t>(VolumeLeft - Mono) * Share) / 100);
    VolumeRight = Mono + static_cast<int32_t>((static_cast<int64_t>(VolumeRight - Mono) * Share) / 100);
}

void TQuavixChannel::UpdateVolumeRamp() {
    const bool Stereo = !(Module && Module->OutputChannels == 1);
    // With SurroundAtCentreGains a surround voice sounds as a centred one
    // would, its right side inverted; otherwise at its whole volume on both
    // sides.
    const bool CentreSurround = Surround && Module && Module->Has(TQuavixBehaviour::SurroundAtCentreGains);
    const int32_t Panned = CentreSurround ? 128 : FinalPanning;
    // Its right side is worked out from the inverted volume, so that where
    // the product is not whole its floor lies a unit further out: the two
    // sides of an odd volume's voice cancel to a trace of the voice, as they
    // do in OpenMPT, not to nothing.
    const int64_t RightVolume = CentreSurround ? -static_cast<int64_t>(FinalVolume) : FinalVolume;
    if (Surround && !CentreSurround) {
        VolumeLeft = FinalVolume;
        VolumeRight = -FinalVolume;
    } else if (Module && Module->Has(TQuavixBehaviour::SquareRootPanLaw)) {
        // Panning 0 is full left at the whole volume; no panning silences the
        // left side entirely (255 leaves it 1/16 of the volume).
        const int32_t Pan = Panned < 0 ? 0 : Panned > 256 ? 256 : Panned;
        VolumeLeft = static_cast<int32_t>((static_cast<int64_t>(FinalVolume) * SquareRootPanTable[256 - Pan]) >> 16);
        VolumeRight = static_cast<int32_t>((RightVolume * SquareRootPanTable[Pan]) >> 16);
    } else if (Module && Module->Has(TQuavixBehaviour::EvenPanningLaw)) {
        // Panning 0 is full left and 256 full right at the whole volume; 128
        // gives each side exactly half.
        const int32_t Pan = Panned < 0 ? 0 : Panned > 256 ? 256 : Panned;
        VolumeLeft = static_cast<int32_t>((static_cast<int64_t>(FinalVolume) * (256 - Pan)) >> 8);
        VolumeRight = static_cast<int32_t>((RightVolume * Pan) >> 8);
    } else {
        // Panning 0 is full left and 255 full right, each at 255/256 of the
        // volume; 128 gives 127/256 left and 128/256 right.
        VolumeLeft = (FinalVolume * (255 - Panned)) >> 8;
        VolumeRight = static_cast<int32_t>((RightVolume * Panned) >> 8);
    }
    if (Stereo && Module && Module->StereoSeparation != 100) WidenGains(Module->StereoSeparation);
    if (!Stereo) {
        // Mono output sounds at the stereo mix's level: the mean of the two
        // sides' gains, taken by size (a surround voice's inverted side
        // counts as loud as the other), rounded down.
        VolumeLeft = (std::abs(VolumeLeft) + std::abs(VolumeRight)) / 2;
        VolumeRight = 0;
    }
    // Whether the target gains are silence: the last tick's here, this
    // tick's once set below.
    const auto SilentTarget = [&] { return RampTargetLeft == 0 && (!Stereo || RampTargetRight == 0); };
    const bool WasSilent = SilentTarget();
    // Ramp values are gains times 4096.
    RampTargetLeft = VolumeLeft * 4096;
    RampStepLeft = RampTargetLeft - RampLeft;
    if (Stereo) {
        RampTargetRight = VolumeRight * 4096;
        RampStepRight = RampTargetRight - RampRight;
    }
    RampLength = FadeBank ? Module->FadeRampLength : Module->NormalRampLength;
    if (Module->Has(TQuavixBehaviour::VolumeRampsAcrossTick)) {
        // A note that starts and a voice that a new note cuts ramp in 5 ms
        // (a 200th of a second), or with QuickNoteRamps in 16 and 42 frames
        // at 44100 Hz, as does then a change of a quarter of the full gain
        // (1024 of 4096) or more in 16 and a fall to silence in 42; 64 bits
        // keep any rate defined.
        const bool Quick = Module->Has(TQuavixBehaviour::QuickNoteRamps);
        const int32_t Change = std::max(std::abs(RampStepLeft), std::abs(RampStepRight)) >> 12;
        const bool ToSilence = Quick && RampTargetLeft == 0 && RampTargetRight == 0 && !NoteFadesIn;
        if (FadeBank || NoteFadesIn || ToSilence || (Quick && Change >= 1024)) {
            RampLength = Module->SampleRate / 200;
            if (Quick)
                RampLength = static_cast<int32_t>(static_cast<int64_t>(Module->SampleRate) *
                                                  (FadeBank || ToSilence ? 42 : 16) / 44100);
        } else {
            RampLength = Module->TickLength;
        }
    }
    if (Module->Has(TQuavixBehaviour::QuickRampsBothWays)) {
        // A gain that rises ramps in 16 frames at 44100 Hz, one that falls
        // (or a voice the fade bank ends) in 42; the larger change of the two
        // sides decides.
        const int32_t Left = RampTargetLeft - RampLeft, Right = Stereo ? RampTargetRight - RampRight : 0;
        const bool Falls = FadeBank || (std::abs(Left) >= std::abs(Right) ? Left < 0 : Right < 0);
        RampLength = static_cast<int32_t>(static_cast<int64_t>(Module->SampleRate) * (Falls ? 42 : 16) / 44100);
        // With EnvelopeRampsAcrossTick a step of the volume envelope ramps
        // across the whole tick, unless it rises from silence or falls to it,
        // or a note starts.
        const bool EnvelopeStep = FineEnvelopeVolume != RampEnvelopeVolume;
        const bool Silence = WasSilent || SilentTarget();
        if (EnvelopeStep && !Silence && !NoteFadesIn && !FadeBank &&
            Module->Has(TQuavixBehaviour::EnvelopeRampsAcrossTick))
            RampLength = Module->TickLength;
        // With VolumeSlidesRampAcrossTick a volume slide's step does too, over
        // 2048 frames at most.
        if (VolumeSlid && !Silence && !NoteFadesIn && !FadeBank &&
            Module->Has(TQuavixBehaviour::VolumeSlidesRampAcrossTick))
            RampLength = std::min(Module->TickLength, MaxSlideRampLength);
    }
    VolumeSlid = false;
    RampEnvelopeVolume = FineEnvelopeVolume;
    NoteFadesIn = false;
    if (Module->TickLength < RampLength) RampLength = Module->TickLength;
    // Below 345 Hz the ramp lengths (and below 102 Hz the tick) can come out
    // as 0 frames. A ramp then takes one frame: the gain reaches its target at
    // once instead of the ramp never ending.
    if (RampLength < 1) RampLength = 1;
    RampStepLeft /= RampLength;
    if (Stereo) RampStepRight /= RampLength;
}
