#include "song/module.h"

#include "sequencer/channel.h"

TQuavixModule::TQuavixModule(TQuavix* AOwner) : Owner(AOwner) {
    for (int32_t i = 0; i < MaxChannels; ++i) {
        Channels[i].reset(new TQuavixChannel(this, i, false, false));
        BackgroundChannels[i].reset(new TQuavixChannel(this, i, true, false));
        FadeChannels[i].reset(new TQuavixChannel(this, i, true, true));
    }
    for (auto& Pattern : Patterns) Pattern.reset(new TQuavixPattern());
    EqualizerData.reset(new TQuavixStream());
    ExtensionData.reset(new TQuavixStream());
    for (auto& Stream : PluginData) Stream.reset(new TQuavixStream());
}

TQuavixModule::~TQuavixModule() {
    // The song goes, its instruments first; the voices go with the module
    // and are not rewound on the way.
    for (auto& Instrument : Instruments) Instrument.reset();
    // Streams first, then the voices, then the patterns.
    for (auto& Stream : PluginData) Stream.reset();
    ExtensionData.reset();
    EqualizerData.reset();
    for (TChannelBank* Bank : {&Channels, &BackgroundChannels, &FadeChannels})
        for (auto& Channel : *Bank) Channel.reset();
    for (auto& Pattern : Patterns) Pattern.reset();
}

void TQuavixModule::Clear() {
    GlobalVolume = 64;
    ClickLeft = 0;
    ClickRight = 0;
    Name.clear();
    Comment.clear();
    Format = TQuavixFormat::None;
    Tracker.clear();
    Rules.clear();
    Behaviours = TQuavixBehaviours();
    FormatVersion = 0;
    FormatTag.clear();
    for (auto& Instrument : Instruments) Instrument.reset();
    // A pattern the next song does not contain must not keep this song's
    // row count, or it would play as a run of empty rows.
    for (auto& Pattern : Patterns) {
        Pattern->Clear();
        Pattern->Resize(0, 0);
    }
    // Plug-in assignments, channel names and the channel settings only some
    // formats store belong to the song that set them.
    for (TChannelBank* Bank : {&Channels, &BackgroundChannels, &FadeChannels})
        for (auto& Channel : *Bank) {
            Channel->PluginIndex = 0;
            Channel->Name = QuavixEmptyChannelName();
            Channel->DefaultChannelVolume = 64;
            Channel->DefaultSurround = false;
            Channel->Disabled = false;
        }
    EqualizerData->Clear();
    ExtensionData->Clear();
    for (auto& Stream : PluginData) Stream->Clear();
    Orders.fill(0);
    InitialSpeed = 6;
    InitialTempo = 125;
    InitialGlobalVolume = 64;
    MixLevel = 128;
    GlobalVolumeRange = 64;
    SongLength = 0;
    RestartPosition = 0;
    LinearSlides = true;
    ExtendedFilterRange = false;
    // The playback reset runs while the song still counts as loaded, and
    // before the macro table returns to its defaults.
    ResetPlayback();
    Loaded = false;
    ResetMidiMacros();
}
