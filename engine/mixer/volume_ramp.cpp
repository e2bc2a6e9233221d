// A voice's gains for the output layout, and the volume ramp that carries the
// gains from where they stand to the new ones within one tick.
#include "sequencer/channel.h"
#include "song/module.h"

void TQuavixChannel::UpdateVolumeRamp() {
    const bool Stereo = !(Module && Module->OutputChannels == 1);
    if (!Stereo) {
        VolumeLeft = FinalVolume;
    } else if (Surround) {
        VolumeLeft = FinalVolume;
        VolumeRight = -FinalVolume;
    } else {
        // Panning 0 is full left and 255 full right, each at 255/256 of the
        // volume; 128 gives 127/256 left and 128/256 right.
        VolumeLeft = (FinalVolume * (255 - FinalPanning)) >> 8;
        VolumeRight = (FinalVolume * FinalPanning) >> 8;
    }
    // Ramp values are gains times 4096.
    RampTargetLeft = VolumeLeft * 4096;
    RampStepLeft = RampTargetLeft - RampLeft;
    if (Stereo) {
        RampTargetRight = VolumeRight * 4096;
        RampStepRight = RampTargetRight - RampRight;
    }
    RampLength = FadeBank ? Module->FadeRampLength : Module->NormalRampLength;
    if (Module->TickLength < RampLength) RampLength = Module->TickLength;
    // Below 345 Hz the ramp lengths (and below 102 Hz the tick) can come out
    // as 0 frames. A ramp then takes one frame: the gain reaches its target at
    // once instead of the ramp never ending.
    if (RampLength < 1) RampLength = 1;
    RampStepLeft /= RampLength;
    if (Stereo) RampStepRight /= RampLength;
}
