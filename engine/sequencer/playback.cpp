// Rewinding the song to its start.
#include "sequencer/channel.h"
#include "song/module.h"

namespace {

// A rewound song starts on channels as they were made: no pitch, no volume,
// no effect memory and no pattern loop of whatever played before, so that a
// song sounds the same every time it is played from its start and nothing of
// an earlier song lingers (a tone portamento on the first row starts its note
// instead of sliding from where the last song left the channel). What the
// song file gave the channel stays: its name, plug-in, default panning,
// volume and surround, and whether it is disabled.
// (The restart at the end of the order list only resets the channels, which
// keeps their pitch and memories, as trackers do when a song loops.)
void Rewind(TQuavixChannel& Channel) {
    TQuavixChannelState Fresh;
    Fresh.Name = Channel.Name;
    Fresh.Module = Channel.Module;
    Fresh.Index = Channel.Index;
    Fresh.PluginIndex = Channel.PluginIndex;
    Fresh.DefaultPanning = Channel.DefaultPanning;
    Fresh.DefaultChannelVolume = Channel.DefaultChannelVolume;
    Fresh.DefaultSurround = Channel.DefaultSurround;
    Fresh.Disabled = Channel.Disabled;
    static_cast<TQuavixChannelState&>(Channel) = Fresh;
    Channel.Reset();
}

}  // namespace

void TQuavixModule::ResetPlayback() {
    for (auto& Channel : Channels) Rewind(*Channel);
    // A voice of the reserve and fade banks changes only by taking over a
    // sounding voice, which brings an instrument that stays until the next
    // rewind, and while it sounds: a silent one without an instrument is as
    // the last rewind (or its construction) left it. Most of the 512 are.
    for (TChannelBank* Bank : {&BackgroundChannels, &FadeChannels})
        for (auto& Channel : *Bank)
            if (Channel->Active || Channel->Instrument) Rewind(*Channel);
    // The song's own global volume, speed and tempo: a song played again
    // starts as it did the first time, whatever its last rows set.
    GlobalVolume = InitialGlobalVolume;
    Speed = InitialSpeed;
    Tempo = InitialTempo;
    NextTempo = 0;
    // The first tick then starts row 0 at once.
    TickCounter = Speed;
    PatternDelay = 0;
    OrderPosition = 0;
    Row = 0;
    BreakRow = 0;
    CarriedRow = false;
    JumpedRow = false;
    // No row has been played yet.
    PlayingOrder = -1;
    PlayingRow = -1;
}
