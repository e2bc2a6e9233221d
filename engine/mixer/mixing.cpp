// The channel mixing pipeline. (Filled in by the mixer work.)
#include "player/quavix.h"
#include "sequencer/channel.h"

int32_t TQuavix::MixChannels(int32_t StartFrame, int32_t Count) {
    if (StartFrame < 0 || StartFrame >= BufferFrames || Count <= 0) return 0;
    if (Count > BufferFrames - StartFrame) Count = BufferFrames - StartFrame;
    SamplesLeft -= Count;
    return Count;
}

void TQuavix::MixChannel(TQuavixChannel&, int32_t, int32_t) {}

void TQuavix::ApplyClickRemoval(int32_t, int32_t) {}
