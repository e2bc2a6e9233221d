// A cleared module with hand-built instruments, and short ways to write the
// cells that trigger notes on its channels.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "support/module_writer.h"
#include "sequencer/channel.h"
#include "song/module.h"

namespace quavix_voice_test {

using quavix_test::MakeCell;

constexpr int32_t TonePortamento = 3;
constexpr int32_t TonePortamentoVolumeSlide = 5;

class VoiceTest : public ::testing::Test {
protected:
    TQuavixModule Module{nullptr};

    void SetUp() override { Module.Clear(); }

    // Instrument Number with one sample of the given default volume and
    // panning, transpose and finetune, mapped to every note.
    TQuavixInstrument& AddInstrument(int32_t Number, int32_t Volume = 48, int32_t Panning = 200,
                                     int32_t RelativeNote = 0, int32_t FineTune = 0) {
        auto& Slot = Module.Instruments[Number];
        Slot.reset(new TQuavixInstrument());
        auto* S = new TQuavixSample();
        S->AllocateData(64);
        S->Length = 64;
        S->Volume = Volume;
        S->Panning = Panning;
        S->RelativeNote = RelativeNote;
        S->FineTune = FineTune;
        Slot->Samples[0].reset(S);
        return *Slot;
    }

    // Sets the points of an envelope and turns it on.
    static void SetEnvelope(TQuavixEnvelope& E, std::initializer_list<std::pair<int32_t, int32_t>> Points) {
        E.Enabled = true;
        E.NumPoints = 0;
        for (const auto& P : Points) E.Points[E.NumPoints++] = {P.first, P.second};
    }

    TQuavixChannel& Channel(int32_t Index = 0) { return *Module.Channels[Index]; }
    TQuavixChannel& Fade(int32_t Index) { return *Module.FadeChannels[Index]; }

    int32_t ActiveFadeChannels() {
        int32_t Count = 0;
        for (auto& C : Module.FadeChannels) Count += C->Active ? 1 : 0;
        return Count;
    }
};

}  // namespace quavix_voice_test
