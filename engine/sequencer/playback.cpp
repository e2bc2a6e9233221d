// Rewinding the song to its start.
#include "sequencer/channel.h"
#include "song/module.h"

void TQuavixModule::ResetPlayback() {
    for (TChannelBank* Bank : {&Channels, &BackgroundChannels, &FadeChannels})
        for (auto& Channel : *Bank) Channel->Reset();
    Speed = InitialSpeed;
    Tempo = InitialTempo;
    // The first tick then starts row 0 at once.
    TickCounter = Speed;
    PatternDelay = 0;
    OrderPosition = 0;
    Row = 0;
}
