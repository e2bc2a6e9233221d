// Loading Impulse Tracker modules: the header, the order list's markers, the
// channels the patterns use, samples in every stored form (compressed too),
// instruments with their keyboards and envelopes, packed cells with their
// remembered values, and files cut short.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "loader_checks.h"
#include "support/case_names.h"

using namespace quavix_test;

namespace {

using TCheck = std::function<void(const TQuavixModule&)>;

struct TItLoadCase : TNamedCase {
    TItSong Song;
    TCheck Check;
};

TItSong With(const std::function<void(TItSong&)>& Change) {
    TItSong Song = SmallIt();
    Change(Song);
    return Song;
}

const TQuavixSample& SampleOf(const TQuavixModule& M, int32_t Instrument, int32_t Index = 0) {
    return *M.Instruments[Instrument]->Samples[Index];
}

std::vector<int32_t> Ramp(int32_t Count, int32_t Step) {
    std::vector<int32_t> Points;
    for (int32_t i = 0; i < Count; ++i) Points.push_back(((i * Step) % 200) - 100);
    return Points;
}

class ItLoads : public ::testing::TestWithParam<TItLoadCase> {};

TEST_P(ItLoads, WhatTheFileHolds) {
    TQuavixModule M;
    const TQuavixLoadResult Result = LoadBytes(M, WriteIt(GetParam().Song));
    ASSERT_TRUE(Result) << Result.Reason;
    EXPECT_EQ(M.Format, TQuavixFormat::ImpulseTracker);
    // The writer adds the instruments flag (4) to a song with instruments.
    const uint16_t Flags = GetParam().Song.Flags | (GetParam().Song.Instruments.empty() ? 0 : 4);
    EXPECT_TRUE(M.Behaviours == QuavixImpulseTrackerBehaviours(Flags));
    EXPECT_TRUE(SamplesWithinData(M));
    GetParam().Check(M);
}

INSTANTIATE_TEST_SUITE_P(
    ItLoader, ItLoads,
    ::testing::Values(
        TItLoadCase{{"header fields"},
                    With([](TItSong& S) {
                        S.Title = "a title";
                        S.Speed = 3;
                        S.Tempo = 150;
                        S.GlobalVolume = 100;
                        S.MixVolume = 64;
                        S.TrackerVersion = 0x0215;
                        S.Message = "line one\rline two";
                    }),
                    [](const TQuavixModule& M) {
                        EXPECT_EQ(M.Name, "a title");
                        EXPECT_EQ(M.InitialSpeed, 3);
                        EXPECT_EQ(M.InitialTempo, 150);
                        EXPECT_EQ(M.InitialGlobalVolume, 100);
                        EXPECT_EQ(M.GlobalVolumeRange, 128);
                        EXPECT_EQ(M.MixLevel, 128);
                        EXPECT_TRUE(M.LinearSlides);
                        EXPECT_EQ(M.Tracker, "Impulse Tracker 2.15");
                        EXPECT_EQ(M.Comment, "line one\nline two");
                    }},
        TItLoadCase{{"Amiga slides keep the C5 speed for the periods"},
                    With([](TItSong& S) {
                        S.Flags = 0x01;
                        S.Samples[0].C5Speed = 22050;
                    }),
                    [](const TQuavixModule& M) {
                        EXPECT_FALSE(M.LinearSlides);
                        EXPECT_EQ(SampleOf(M, 1).FineTune, 22050);
                    }},
        TItLoadCase{{"orders without skip markers up to the end marker"},
                    With([](TItSong& S) {
                        S.Orders = {0, 254, 1, 255, 0};
                        S.Patterns.push_back({{ItAt(0, 0, 0, 0, -1, 'B', 2)}});
                    }),
                    [](const TQuavixModule& M) {
                        EXPECT_EQ(M.SongLength, 2);
                        EXPECT_EQ(M.Orders[1], 1);
                        // B02 names file position 2, the second entry kept.
                        EXPECT_EQ(CellAt(M, 1, 0, 0).Effect, TQuavixLetterEffect::B);
                        EXPECT_EQ(CellAt(M, 1, 0, 0).EffectParameter, 1);
                    }},
        TItLoadCase{{"channels the patterns write to, their panning and volume"},
                    With([](TItSong& S) {
                        S.ChannelPanning = {0, 64, 100, 32, 32};
                        S.ChannelVolume = {64, 32, 64, 64, 64};
                        S.Patterns[0].Cells = {ItAt(0, 4, Note("C-4"), 1)};
                    }),
                    [](const TQuavixModule& M) {
                        EXPECT_EQ(M.NumChannels, 5);
                        EXPECT_EQ(M.Channels[0]->DefaultPanning, 0);
                        EXPECT_EQ(M.Channels[1]->DefaultPanning, 256);
                        EXPECT_TRUE(M.Channels[2]->DefaultSurround);
                        EXPECT_EQ(M.Channels[1]->DefaultChannelVolume, 32);
                    }},
        TItLoadCase{{"8-bit unsigned, 16-bit, stereo and delta samples"},
                    With([](TItSong& S) {
                        TItSample Unsigned;
                        Unsigned.Values = {-128, 0, 127};
                        Unsigned.Signed = false;
                        TItSample Wide;
                        Wide.Bits = 16;
                        Wide.NumChannels = 2;
                        Wide.Values = {-32768, 32767, 1000, -1000};
                        TItSample Delta;
                        Delta.Values = {10, 20, -30, 127};
                        Delta.Delta = true;
                        S.Samples = {Unsigned, Wide, Delta};
                    }),
                    [](const TQuavixModule& M) {
                        EXPECT_EQ(Values(SampleOf(M, 1)), Scaled({-128, 0, 127}));
                        EXPECT_EQ(Values(SampleOf(M, 2)), std::vector<int32_t>({-32768, 32767, 1000, -1000}));
                        EXPECT_EQ(SampleOf(M, 2).NumChannels, 2);
                        EXPECT_EQ(Values(SampleOf(M, 3)), Scaled({10, 20, -30, 127}));
                    }},
        TItLoadCase{{"compressed samples of 2.14 and 2.15"},
                    With([](TItSong& S) {
                        TItSample Eight;
                        Eight.Values = Ramp(40000, 37);
                        Eight.Compressed = true;
                        TItSample Sixteen = Eight;
                        Sixteen.Bits = 16;
                        for (int32_t& V : Sixteen.Values) V *= 300;
                        Sixteen.DoubleDelta = true;
                        S.Samples = {Eight, Sixteen};
                    }),
                    [](const TQuavixModule& M) {
                        EXPECT_EQ(Values(SampleOf(M, 1)), Scaled(Ramp(40000, 37)));
                        std::vector<int32_t> Wide = Ramp(40000, 37);
                        for (int32_t& V : Wide) V *= 300;
                        EXPECT_EQ(Values(SampleOf(M, 2)), Wide);
                    }},
        TItLoadCase{{"loops, ping-pong and the sustain loop where there is no loop"},
                    With([](TItSong& S) {
                        TItSample PingPong;
                        PingPong.Values = Ramp(100, 3);
                        PingPong.Loop = PingPong.PingPong = true;
                        PingPong.LoopStart = 10;
                        PingPong.LoopEnd = 60;
                        TItSample Sustain = PingPong;
                        Sustain.Loop = Sustain.PingPong = false;
                        Sustain.SustainLoop = true;
                        Sustain.SustainStart = 20;
                        Sustain.SustainEnd = 30;
                        S.Samples = {PingPong, Sustain};
                    }),
                    [](const TQuavixModule& M) {
                        EXPECT_TRUE(SampleOf(M, 1).PingPong);
                        EXPECT_EQ(SampleOf(M, 1).LoopStart, 10);
                        EXPECT_EQ(SampleOf(M, 1).LoopLength, 50);
                        EXPECT_TRUE(SampleOf(M, 2).Loop);
                        EXPECT_EQ(SampleOf(M, 2).LoopStart, 20);
                        EXPECT_EQ(SampleOf(M, 2).LoopLength, 10);
                    }},
        TItLoadCase{{"instruments: keyboard, envelopes, new-note action, fade-out"},
                    With([](TItSong& S) {
                        S.Samples.push_back(S.Samples[0]);
                        S.Samples[1].Name = "high";
                        TItInstrument I;
                        I.Name = "split";
                        I.NewNoteAction = 3;
                        I.FadeOut = 256;
                        I.GlobalVolume = 64;
                        I.Keyboard.assign(120, 1);
                        for (int32_t n = 60; n < 120; ++n) I.Keyboard[static_cast<size_t>(n)] = 2;
                        I.VolumeEnvelope.Enabled = I.VolumeEnvelope.Sustain = true;
                        I.VolumeEnvelope.Points = {{0, 64}, {10, 32}, {20, 48}, {40, 0}};
                        I.VolumeEnvelope.SustainStart = 1;
                        I.VolumeEnvelope.SustainEnd = 2;
                        I.PanningEnvelope.Enabled = true;
                        I.PanningEnvelope.Points = {{0, -32}, {5, 32}};
                        S.Instruments = {I};
                    }),
                    [](const TQuavixModule& M) {
                        const TQuavixInstrument& I = *M.Instruments[1];
                        EXPECT_EQ(I.Name, "split");
                        EXPECT_EQ(I.NewNoteAction, 3);
                        EXPECT_EQ(I.FadeOut, 256 * 32);
                        EXPECT_EQ(I.GlobalVolume, 64);
                        // Impulse Tracker's C-5 (60) is the engine's note 61, its
                        // C-0 note 1 and its B-9 note 120.
                        EXPECT_EQ(I.Samples[I.NoteSamples[0]]->Name, "square");
                        EXPECT_EQ(I.Samples[I.NoteSamples[59]]->Name, "square");
                        EXPECT_EQ(I.Samples[I.NoteSamples[60]]->Name, "high");
                        EXPECT_EQ(I.Samples[I.NoteSamples[119]]->Name, "high");
                        EXPECT_EQ(I.VolumeEnvelope->NumPoints, 4);
                        EXPECT_EQ(I.VolumeEnvelope->SustainLoopStart, 1);
                        EXPECT_EQ(I.VolumeEnvelope->SustainPoint, 2);
                        EXPECT_EQ(I.PanningEnvelope->Points[0].Value, 0);
                        EXPECT_EQ(I.PanningEnvelope->Points[1].Value, 64);
                    }},
        TItLoadCase{{"instruments: pitch-pan separation and random variation"},
                    With([](TItSong& S) {
                        TItInstrument I;
                        I.PitchPanSeparation = -12;
                        I.PitchPanCentre = 72;
                        I.VolumeSwing = 40;
                        I.PanningSwing = 16;
                        TItInstrument Damaged;
                        Damaged.PitchPanSeparation = 100;
                        Damaged.PitchPanCentre = 200;
                        Damaged.VolumeSwing = 250;
                        Damaged.PanningSwing = 200;
                        S.Instruments = {I, Damaged};
                    }),
                    [](const TQuavixModule& M) {
                        const TQuavixInstrument& I = *M.Instruments[1];
                        EXPECT_EQ(std::vector<int32_t>({I.PitchPanSeparation, I.PitchPanCentre, I.VolumeSwing,
                                                        I.PanningSwing}),
                                  std::vector<int32_t>({-12, 72, 40, 16}));
                        // Bytes beyond the ranges are held to them.
                        const TQuavixInstrument& D = *M.Instruments[2];
                        EXPECT_EQ(std::vector<int32_t>({D.PitchPanSeparation, D.PitchPanCentre, D.VolumeSwing,
                                                        D.PanningSwing}),
                                  std::vector<int32_t>({32, 119, 100, 64}));
                    }},
        TItLoadCase{{"instruments that play one sample each hold all of it"},
                    With([](TItSong& S) {
                        S.Samples[0].Values = Ramp(300, 7);
                        TItInstrument I;
                        I.Keyboard.assign(120, 1);
                        S.Instruments = {I, I, I};
                    }),
                    [](const TQuavixModule& M) {
                        const TQuavixSample& Last = SampleOf(M, 3);
                        ASSERT_EQ(Last.Length, 300);
                        for (int32_t Number = 1; Number <= 2; ++Number) {
                            const TQuavixSample& Copy = SampleOf(M, Number);
                            EXPECT_NE(Copy.Data, Last.Data);
                            ASSERT_EQ(Copy.Length, 300);
                            EXPECT_TRUE(std::equal(Copy.Data, Copy.Data + 300, Last.Data)) << Number;
                        }
                        // The loop (to frame 64) as written; the frames after it
                        // hold the loop's guard.
                        const std::vector<int32_t> Loop = Values(Last);
                        EXPECT_EQ(std::vector<int32_t>(Loop.begin(), Loop.begin() + 64),
                                  Scaled(Ramp(64, 7)));
                    }},
        TItLoadCase{{"packed cells and the values they repeat"},
                    With([](TItSong& S) {
                        S.Patterns[0].Cells = {ItAt(0, 0, Note("C-4"), 1, 40, 'D', 0x0F),
                                               ItAt(1, 0, ItNoteOff), ItAt(2, 0, ItNoteCut), ItAt(3, 0, ItNoteFade),
                                               ItAt(4, 1, 0, 0, 200, 'X', 0x80), ItAt(5, 0, ItNoteAsStored + 0),
                                               ItAt(6, 0, ItNoteAsStored + 119)};
                        S.Patterns[0].Rows = 100;
                    }),
                    [](const TQuavixModule& M) {
                        using L = TQuavixLetterEffect;
                        EXPECT_EQ(M.Patterns[0]->Rows, 100);
                        TQuavixPatternNote First = CellAt(M, 0, 0, 0);
                        EXPECT_EQ(First.Note, ItLoadedNote(Note("C-4")));
                        EXPECT_EQ(First.VolumeCommand, TQuavixVolumeCommand::SetVolume);
                        EXPECT_EQ(First.VolumeParameter, 40);
                        EXPECT_EQ(First.Effect, L::D);
                        EXPECT_EQ(CellAt(M, 0, 1, 0).Note, TQuavixNote::KeyOff);
                        EXPECT_EQ(CellAt(M, 0, 2, 0).Note, TQuavixNote::NoteCut);
                        // Without instruments a note fade is no note at all.
                        EXPECT_EQ(CellAt(M, 0, 3, 0).Note, TQuavixNote::None);
                        // Volume column 200: a tone portamento at speed 96.
                        EXPECT_EQ(CellAt(M, 0, 4, 1).VolumeCommand, TQuavixVolumeCommand::TonePortamentoAt);
                        EXPECT_EQ(CellAt(M, 0, 4, 1).VolumeParameter, 96);
                        // The whole of C-0..B-9.
                        EXPECT_EQ(CellAt(M, 0, 5, 0).Note, TQuavixNote::First);
                        EXPECT_EQ(CellAt(M, 0, 6, 0).Note, TQuavixNote::Last);
                    }},
        TItLoadCase{{"a note fade in a song with instruments"},
                    With([](TItSong& S) {
                        S.Instruments = {TItInstrument()};
                        S.Patterns[0].Cells = {ItAt(0, 0, ItNoteFade)};
                    }),
                    [](const TQuavixModule& M) { EXPECT_EQ(CellAt(M, 0, 0, 0).Note, TQuavixNote::NoteFade); }},
        TItLoadCase{{"a sample cut short keeps what there is"},
                    With([](TItSong& S) {
                        S.Samples[0].Values = Ramp(1000, 3);
                        S.CutBytes = 400;
                    }),
                    [](const TQuavixModule& M) { EXPECT_EQ(SampleOf(M, 1).Length, 600); }},
        TItLoadCase{{"a channel panned with 128 added is disabled"},
                    With([](TItSong& S) {
                        S.ChannelPanning = {32, 32 | 128, 100, 64};
                        S.Patterns[0].Cells = {ItAt(0, 2, Note("C-4"), 1)};
                    }),
                    [](const TQuavixModule& M) {
                        EXPECT_FALSE(M.Channels[0]->Disabled);
                        EXPECT_TRUE(M.Channels[1]->Disabled);
                        EXPECT_EQ(M.Channels[1]->DefaultPanning, 128);
                        EXPECT_FALSE(M.Channels[2]->Disabled);
                    }},
        TItLoadCase{{"a sample far longer than 2^19 frames loads whole"},
                    With([](TItSong& S) { S.Samples[0].Values = Ramp(1 << 21, 1); }),
                    [](const TQuavixModule& M) {
                        EXPECT_EQ(SampleOf(M, 1).Length, 1 << 21);
                        EXPECT_EQ(SampleOf(M, 1).Data[(1 << 21) - 1], (((1 << 21) - 1) % 200 - 100) * 256);
                    }}),
    TCaseName());

// Damaged files: a header cut short is refused, with the reason; a file cut
// in its samples or patterns loads with warnings; any cut and any byte
// changed loads or is refused without reading outside the file.
TEST(ItLoader, DamagedFiles) {
    TItSong Song = SmallIt();
    Song.Samples[0].Values = Ramp(3000, 7);
    Song.Samples[0].Compressed = true;
    Song.Patterns[0].Cells = {ItAt(0, 0, Note("C-4"), 1, 40, 'D', 0x0F)};
    const TBytes Whole = WriteIt(Song);
    TQuavixModule M;
    EXPECT_TRUE(LoadBytes(M, Whole).Warnings.empty());
    const TQuavixLoadResult Cut = LoadBytes(M, TBytes(Whole.begin(), Whole.begin() + 0x40));
    EXPECT_FALSE(Cut);
    EXPECT_EQ(Cut.Reason, "damaged Impulse Tracker file: its song header is cut short");
    const TQuavixLoadResult Short = LoadBytes(M, TBytes(Whole.begin(), Whole.end() - 100));
    ASSERT_TRUE(Short);
    EXPECT_EQ(Short.Warnings, std::vector<std::string>({"1 sample is cut short"}));
    // A sample header that claims 16 million frames loads what the file
    // holds, as one cut short.
    TBytes Lying = Whole;
    const size_t Header = static_cast<size_t>(
        std::search(Lying.begin(), Lying.end(), std::begin("IMPS"), std::end("IMPS") - 1) - Lying.begin());
    ASSERT_LT(Header, Lying.size());
    Lying[Header + 0x30] = 0xFF, Lying[Header + 0x31] = 0xFF, Lying[Header + 0x32] = 0xFF;
    TQuavixModule Claimed;
    const TQuavixLoadResult Claim = LoadBytes(Claimed, Lying);
    ASSERT_TRUE(Claim);
    EXPECT_EQ(Claim.Warnings, std::vector<std::string>({"1 sample is cut short"}));
    EXPECT_TRUE(SamplesWithinData(Claimed));
    EXPECT_LT(SampleOf(Claimed, 1).Length, 8 * static_cast<int32_t>(Whole.size()));
    for (size_t Size = 0; Size < Whole.size(); Size += 37) {
        TQuavixModule Each;
        LoadBytes(Each, TBytes(Whole.begin(), Whole.begin() + static_cast<std::ptrdiff_t>(Size)));
        EXPECT_TRUE(SamplesWithinData(Each)) << Size;
    }
    // Instruments read in the old form (its header is longer than the new
    // one's) from a file that ends with one.
    TItSong Old = Song;
    Old.Instruments.emplace_back();
    Old.CompatibleVersion = 0x100;
    Old.Samples.clear();
    TQuavixModule OldForm;
    EXPECT_TRUE(LoadBytes(OldForm, WriteIt(Old)));
    EXPECT_TRUE(SamplesWithinData(OldForm));
    for (size_t At = 0; At < Whole.size(); At += 11) {
        TBytes Changed = Whole;
        Changed[At] ^= 0xA5;
        TQuavixModule Each;
        LoadBytes(Each, Changed);
        EXPECT_TRUE(SamplesWithinData(Each)) << At;
    }
}

}  // namespace
