// Row and tick sequencing: the order list, rows and ticks, and the per-tick
// output stage of every voice. (Filled in by the sequencing work.)
#include "sequencer/channel.h"
#include "song/module.h"

void TQuavixModule::ProcessTick() {}

void TQuavixChannel::UpdateVoice() {}
