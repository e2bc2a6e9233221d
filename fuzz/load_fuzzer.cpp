// libFuzzer target: any bytes given to the loaders must either load into a
// consistent song or be refused, never read or write out of bounds.
#include <cstddef>
#include <cstdint>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static TQuavixModule Module;  // reused, as a player reuses its module
    if (Size > 0xFFFFFFFFu) return 0;
    if (Module.LoadFromMemory(Data, static_cast<uint32_t>(Size))) {
        volatile int64_t Sum = Touch(Module);
        (void)Sum;
    }
    return 0;
}
