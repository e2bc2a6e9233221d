#include <gtest/gtest.h>

#include "sequencer/channel.h"
#include "song/module.h"

namespace {

TEST(Sample, AllocateDataPlacesGuardValuesAroundTheData) {
    TQuavixSample S;
    S.AllocateData(10);
    ASSERT_NE(S.Data, nullptr);
    EXPECT_EQ(S.DataCount(), 10);
    // Sixteen zero guard values before the first value and after the last.
    for (int32_t i = -16; i < 26; ++i) EXPECT_EQ(S.Data[i], 0) << i;
    for (int32_t i = 0; i < 10; ++i) S.Data[i] = static_cast<int16_t>((i + 1) * 256);
    S.Data[-16] = 7;
    S.Data[25] = 9;

    // Growing keeps the values and the front guards; shrinking keeps the rest.
    S.AllocateData(20);
    EXPECT_EQ(S.Data[-16], 7);
    for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(S.Data[i], (i + 1) * 256) << i;
    EXPECT_EQ(S.Data[25], 9);
    S.Data[35] = 5;  // the last guard value of the larger block
    S.AllocateData(4);
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(S.Data[i], (i + 1) * 256) << i;
    EXPECT_EQ(S.DataCount(), 4);

    S.AllocateData(0);
    EXPECT_EQ(S.Data, nullptr);
    EXPECT_EQ(S.DataCount(), 0);
}

TEST(Sample, ClearRestoresDefaults) {
    TQuavixSample S;
    S.AllocateData(4);
    S.Bits = 16;
    S.NumChannels = 2;
    S.Name = "kick";
    S.Loop = S.PingPong = true;
    S.LoopStart = 3;
    S.LoopLength = 7;
    S.Volume = 12;
    S.HasPanning = false;
    S.Panning = 3;
    S.RelativeNote = -12;
    S.FineTune = -100;
    for (TQuavixSample* T : {&S, new TQuavixSample()}) {
        T->Clear();
        EXPECT_EQ(T->Data, nullptr);
        EXPECT_EQ(T->Bits, 8);
        EXPECT_EQ(T->NumChannels, 1);
        EXPECT_EQ(T->Name, "");
        EXPECT_FALSE(T->Loop);
        EXPECT_FALSE(T->PingPong);
        EXPECT_EQ(T->LoopStart, 0);
        EXPECT_EQ(T->LoopLength, 0);
        EXPECT_EQ(T->Volume, 64);
        EXPECT_TRUE(T->HasPanning);
        EXPECT_EQ(T->Panning, 128);
        EXPECT_EQ(T->RelativeNote, 0);
        EXPECT_EQ(T->FineTune, 0);
        if (T != &S) delete T;
    }
}

TEST(Instrument, ClearFreesSamplesAndKeepsTheName) {
    TQuavixInstrument I;
    I.Name = "Bass";
    I.Samples[0].reset(new TQuavixSample());
    I.Samples[255].reset(new TQuavixSample());
    I.NoteSamples[95] = 255;
    I.VolumeEnvelope->Enabled = true;
    I.VolumeEnvelope->NumPoints = 2;
    I.VolumeEnvelope->Points[1] = {10, 64};
    I.PanningEnvelope->SustainEnabled = true;
    I.FadeOut = 256;
    I.VibratoType = I.VibratoSweep = I.VibratoDepth = I.VibratoRate = 3;
    I.Clear();
    EXPECT_EQ(I.Name, "Bass");
    for (const auto& Sample : I.Samples) EXPECT_EQ(Sample, nullptr);
    EXPECT_EQ(I.NoteSamples[95], 0);
    EXPECT_FALSE(I.VolumeEnvelope->Enabled);
    EXPECT_EQ(I.VolumeEnvelope->NumPoints, 0);
    EXPECT_EQ(I.VolumeEnvelope->Points[1].Position, 0);
    EXPECT_FALSE(I.PanningEnvelope->SustainEnabled);
    EXPECT_EQ(I.FadeOut, 0);
    EXPECT_EQ(I.VibratoType + I.VibratoSweep + I.VibratoDepth + I.VibratoRate, 0);
}

TEST(Module, ConstructionBuildsThreeBanksOfVoices) {
    TQuavixModule M;
    EXPECT_EQ(M.MasterVolume, 128);
    EXPECT_EQ(M.NormalRampLength, 128);
    EXPECT_EQ(M.FadeRampLength, 128);
    struct Bank {
        const TQuavixModule::TChannelBank* Channels;
        bool Background, FadeBank;
    };
    for (const Bank& B : {Bank{&M.Channels, false, false}, Bank{&M.BackgroundChannels, true, false},
                          Bank{&M.FadeChannels, true, true}})
        for (int32_t i = 0; i < TQuavixModule::MaxChannels; ++i) {
            const TQuavixChannel& C = *(*B.Channels)[i];
            ASSERT_EQ(C.Index, i);
            ASSERT_EQ(C.Module, &M);
            ASSERT_EQ(C.Background, B.Background);
            ASSERT_EQ(C.FadeBank, B.FadeBank);
            ASSERT_EQ(C.DefaultPanning, 128);
            ASSERT_EQ(C.FilterCutoff, 127);
            ASSERT_FALSE(C.Active);
        }
    for (const auto& P : M.Patterns) ASSERT_NE(P, nullptr);
    for (const auto& S : M.PluginData) ASSERT_NE(S, nullptr);
}

// A module filled by hand the way a loader fills it.
void FillSong(TQuavixModule& M) {
    M.Name = "Song";
    M.Comment = "Hello";
    M.Instruments[1].reset(new TQuavixInstrument());
    M.Instruments[255].reset(new TQuavixInstrument());
    M.Instruments[1]->Samples[0].reset(new TQuavixSample());
    M.Instruments[1]->Samples[0]->AllocateData(100);
    M.Patterns[0]->Resize(64, 4);
    TQuavixPatternNote Cell;
    Cell.Note = 49;
    Cell.Instrument = 1;
    M.Patterns[0]->SetNote(0, 0, Cell);
    M.Patterns[255]->Resize(1, 1);
    M.Patterns[255]->SetNote(0, 0, Cell);
    M.Orders.fill(3);
    M.SongLength = 10;
    M.RestartPosition = 2;
    M.InitialSpeed = 3;
    M.InitialTempo = 150;
    M.LinearSlides = false;
    M.ExtendedFilterRange = true;
    M.GlobalVolume = 20;
    M.ClickLeft = 100;
    M.ClickRight = -100;
    M.Loaded = true;
    M.EqualizerData->Write("eq", 2);
    M.ExtensionData->Write("ext", 3);
    M.PluginData[99]->Write("fx", 2);
    M.SetMidiMacro(3, "changed");
    M.MidiMacrosEmbedded = true;
    for (TQuavixModule::TChannelBank* Bank : {&M.Channels, &M.BackgroundChannels, &M.FadeChannels}) {
        (*Bank)[7]->PluginIndex = 5;
        (*Bank)[7]->Active = true;
        (*Bank)[7]->Panning = 0;
        (*Bank)[7]->FilterCutoff = 20;
        (*Bank)[7]->DefaultPanning = 64;
    }
    M.Speed = 1;
    M.Tempo = 33;
    M.Row = 12;
    M.OrderPosition = 4;
    M.PatternDelay = 2;
}

TEST(Module, ClearEmptiesTheSongAndRewindsPlayback) {
    TQuavixModule M;
    M.Clear();
    FillSong(M);
    M.Clear();

    EXPECT_EQ(M.Name, "");
    EXPECT_EQ(M.Comment, "");
    for (const auto& I : M.Instruments) EXPECT_EQ(I, nullptr);
    TQuavixPatternNote Cell;
    for (int32_t p : {0, 255}) {
        M.Patterns[p]->GetNote(Cell, 0, 0);
        EXPECT_EQ(Cell, TQuavixPatternNote()) << "pattern " << p;
    }
    for (uint8_t Order : M.Orders) EXPECT_EQ(Order, 0);
    EXPECT_EQ(M.SongLength, 0);
    EXPECT_EQ(M.RestartPosition, 0);
    EXPECT_EQ(M.InitialSpeed, 6);
    EXPECT_EQ(M.InitialTempo, 125);
    EXPECT_TRUE(M.LinearSlides);
    EXPECT_FALSE(M.ExtendedFilterRange);
    EXPECT_EQ(M.GlobalVolume, 64);
    EXPECT_EQ(M.ClickLeft, 0);
    EXPECT_EQ(M.ClickRight, 0);
    EXPECT_FALSE(M.Loaded);
    EXPECT_EQ(M.EqualizerData->GetSize(), 0);
    EXPECT_EQ(M.ExtensionData->GetSize(), 0);
    EXPECT_EQ(M.PluginData[99]->GetSize(), 0);
    EXPECT_EQ(M.GetMidiMacro(3), "9c n v");
    EXPECT_FALSE(M.MidiMacrosEmbedded);

    // The playback reset: speed and tempo from the song's initial values, the
    // tick counter at the end of a row so the first tick starts row 0.
    EXPECT_EQ(M.Speed, 6);
    EXPECT_EQ(M.Tempo, 125);
    EXPECT_EQ(M.TickCounter, 6);
    EXPECT_EQ(M.Row, 0);
    EXPECT_EQ(M.OrderPosition, 0);
    EXPECT_EQ(M.PatternDelay, 0);

    // Every voice of every bank is reset; the default panning is the song's
    // and survives, the plug-in assignment does not.
    for (TQuavixModule::TChannelBank* Bank : {&M.Channels, &M.BackgroundChannels, &M.FadeChannels}) {
        const TQuavixChannel& C = *(*Bank)[7];
        EXPECT_EQ(C.PluginIndex, 0);
        EXPECT_FALSE(C.Active);
        EXPECT_EQ(C.Panning, 64);
        EXPECT_EQ(C.DefaultPanning, 64);
        EXPECT_EQ(C.FilterCutoff, 127);
        EXPECT_EQ(C.Instrument, nullptr);
        EXPECT_EQ(C.Sample, nullptr);
    }
    // The master volume belongs to the player, not to the song.
    EXPECT_EQ(M.MasterVolume, 128);
}

TEST(Module, ResetPlaybackRestoresTheSongsStart) {
    TQuavixModule M;
    M.Clear();
    M.InitialSpeed = 3;
    M.InitialTempo = 140;
    M.GlobalVolume = 10;
    M.ResetPlayback();
    EXPECT_EQ(M.Speed, 3);
    EXPECT_EQ(M.Tempo, 140);
    EXPECT_EQ(M.TickCounter, 3);
    EXPECT_EQ(M.GlobalVolume, 64);  // a song played again starts as loud as the first time
}

// The vibrato and tremolo phase starts over with a note, not with the
// instrument number that resets the voice (see the modulation tests).
TEST(Channel, ResetVoiceKeepsTheWavePhase) {
    TQuavixModule M;
    M.Clear();
    TQuavixChannel& C = *M.Channels[0];
    for (int32_t Waveform : {0, 3, 4, 7}) {
        C.VibratoWaveform = Waveform;
        C.TremoloWaveform = Waveform;
        C.VibratoPosition = 17;
        C.TremoloPosition = 33;
        C.FadeoutVolume = 5;
        C.KeyOff = true;
        C.AutoVibratoSweep = 4;
        C.ResetVoice();
        EXPECT_EQ(C.VibratoPosition, 17) << Waveform;
        EXPECT_EQ(C.TremoloPosition, 33) << Waveform;
        EXPECT_EQ(C.FadeoutVolume, 65536);
        EXPECT_FALSE(C.KeyOff);
        EXPECT_EQ(C.AutoVibratoSweep, 0);
        EXPECT_TRUE(C.VolumeEnvelope->KeyOn);
        EXPECT_EQ(C.VolumeEnvelope->Envelope, nullptr);
    }
}

}  // namespace
