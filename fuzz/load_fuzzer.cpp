// libFuzzer target: any bytes given to the loaders must either load into a
// consistent song or be refused, never read or write out of bounds. A song
// that loads is then played for a few seconds of song time through the
// whole render loop: sequencer, mixer and conversion.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/quavix.h"
#include "song/module.h"

namespace {

// Walks what a player reads from a loaded song, so that an inconsistent
// model (a sample length beyond its data, an envelope or pattern read out of
// its slots) shows up under the sanitizers.
int64_t Touch(const TQuavixModule& Module) {
    int64_t Sum = Module.NumChannels + Module.SongLength + Module.RestartPosition + Module.Comment.size();
    for (int32_t Order = 0; Order < Module.SongLength && Order < TQuavixModule::MaxOrders; ++Order) {
        const TQuavixPattern& Pattern = *Module.Patterns[Module.Orders[Order]];
        TQuavixPatternNote Cell;
        for (int32_t Row = 0; Row < Pattern.Rows && Row < 256; ++Row)
            for (int32_t Channel = 0; Channel < Module.NumChannels && Channel < 256; ++Channel) {
                Pattern.GetNote(Cell, Row, Channel);
                Sum += Cell.Note + Cell.Instrument + Cell.Effect;
            }
    }
    for (const auto& Instrument : Module.Instruments) {
        if (!Instrument) continue;
        for (const auto& Envelope : {Instrument->VolumeEnvelope.get(), Instrument->PanningEnvelope.get()})
            for (int32_t Point = 0; Point < Envelope->NumPoints && Point < TQuavixEnvelope::MaxPoints; ++Point)
                Sum += Envelope->Points[Point].Value;
        for (const auto& Sample : Instrument->Samples) {
            if (!Sample || !Sample->Data || Sample->Length <= 0) continue;
            // The first guard value and the last one after the frames: a
            // length beyond the decoded data shows up here.
            int64_t Values = static_cast<int64_t>(Sample->Length) * Sample->NumChannels;
            Sum += Sample->Data[-TQuavixSample::GuardValues] + Sample->Data[Values + TQuavixSample::GuardValues - 1];
        }
    }
    return Sum;
}

// Players as the window and the tool make them, each with its own output
// format: 16-bit stereo at 44100 Hz and 8-bit mono at 22050 Hz, with linear
// interpolation and without, clipping and wrapping. The input picks one.
struct TFuzzPlayer {
    std::unique_ptr<TQuavix> Player;
    std::vector<uint8_t> Out;
};

TFuzzPlayer& PlayerFor(size_t Size) {
    static std::array<TFuzzPlayer, 4> Players;
    TFuzzPlayer& Chosen = Players[Size % Players.size()];
    if (!Chosen.Player) {
        const size_t Index = Size % Players.size();
        const bool Full = Index < 2;
        // Short buffers: the ticks cut by a buffer end are exercised too.
        TQuavixSettings Settings = TQuavixSettings::Offline(Full ? 44100 : 22050, 1000, Full, Full ? 16 : 8);
        Settings.Interpolation = Index % 2 == 0 ? TQuavixInterpolation::Linear : TQuavixInterpolation::None;
        Settings.Clipping = Index != 3;
        Chosen.Player = std::make_unique<TQuavix>(Settings);
        Chosen.Out.resize(static_cast<size_t>(Chosen.Player->OutputBufferBytes));
    }
    return Chosen;
}

// Seconds of song time each loaded input is played for.
constexpr int32_t PlaySeconds = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size > 0xFFFFFFFFu) return 0;
    // The player's module is reused from input to input, as a player reuses it.
    TFuzzPlayer& Fuzz = PlayerFor(Size);
    TQuavix& Player = *Fuzz.Player;
    if (!Player.Module->LoadFromMemory(Data, static_cast<uint32_t>(Size))) return 0;
    volatile int64_t Sum = Touch(*Player.Module);
    (void)Sum;
    Player.Play();
    const int64_t Frames = static_cast<int64_t>(PlaySeconds) * Player.SampleRate();
    for (int64_t Done = 0; Done < Frames; Done += Player.BufferFrames) Player.Render(Fuzz.Out.data());
    Player.Stop();
    return 0;
}
