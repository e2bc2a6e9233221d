// Loading Scream Tracker 3 modules: the header's fields and the tracker that
// wrote the file, the order list's markers, channel settings and panning,
// PCM samples in every stored form, AdLib instruments, packed cells and the
// effects they become, files cut short; and a note played at its sample's
// C2 speed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "loader_checks.h"
#include "sequencer/song_fixture.h"
#include "support/case_names.h"

using namespace quavix_test;
using quavix_song_test::PlayFile;

namespace {

using TCheck = std::function<void(const TQuavixModule&)>;

// A written song and what the loaded module holds.
struct TLoadCase : TNamedCase {
    TS3mSong Song;
    TCheck Check;
};

TS3mSong With(const std::function<void(TS3mSong&)>& Change) {
    TS3mSong Song = SmallS3m();
    Change(Song);
    return Song;
}

const TQuavixSample& SampleOf(const TQuavixModule& M, int32_t Instrument) { return *M.Instruments[Instrument]->Samples[0]; }

class S3mLoads : public ::testing::TestWithParam<TLoadCase> {};

TEST_P(S3mLoads, WhatTheFileHolds) {
    TQuavixModule M;
    const TQuavixLoadResult Result = LoadBytes(M, WriteS3m(GetParam().Song));
    ASSERT_TRUE(Result) << Result.Reason;
    EXPECT_EQ(M.Format, TQuavixFormat::ScreamTracker3);
    EXPECT_FALSE(M.LinearSlides);
    EXPECT_TRUE(M.Behaviours == QuavixScreamTracker3Behaviours(GetParam().Song.TrackerVersion, GetParam().Song.Flags));
    EXPECT_FALSE(M.Has(TQuavixBehaviour::AmigaClockChoice));
    EXPECT_TRUE(SamplesWithinData(M));
    GetParam().Check(M);
}

INSTANTIATE_TEST_SUITE_P(
    S3mLoader, S3mLoads,
    ::testing::Values(
        TLoadCase{{"header fields"},
                  With([](TS3mSong& S) {
                      S.Title = "  title  ";
                      S.Speed = 3;
                      S.Tempo = 150;
                      S.GlobalVolume = 48;
                  }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(M.Name, "title");
                      EXPECT_EQ(M.Tracker, "Scream Tracker 3.20");
                      EXPECT_EQ(M.Rules, "Scream Tracker 3");
                      EXPECT_EQ(M.InitialSpeed, 3);
                      EXPECT_EQ(M.InitialTempo, 150);
                      EXPECT_EQ(M.InitialGlobalVolume, 48);
                      EXPECT_EQ(M.NumChannels, 4);
                  }},
        TLoadCase{{"speed 0 and tempo below 33 take the usual values"},
                  With([](TS3mSong& S) {
                      S.Speed = 0;
                      S.Tempo = 32;
                      S.GlobalVolume = 90;
                  }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(M.InitialSpeed, 6);
                      EXPECT_EQ(M.InitialTempo, 125);
                      EXPECT_EQ(M.InitialGlobalVolume, 64);
                  }},
        TLoadCase{{"trackers by the version word"},
                  With([](TS3mSong& S) { S.TrackerVersion = 0x3216; }),
                  [](const TQuavixModule& M) { EXPECT_EQ(M.Tracker, "Impulse Tracker 2.16"); }},
        TLoadCase{{"Schism Tracker"}, With([](TS3mSong& S) { S.TrackerVersion = 0x4123; }),
                  [](const TQuavixModule& M) { EXPECT_EQ(M.Tracker, "Schism Tracker"); }},
        TLoadCase{{"orders without skip markers up to the end marker"},
                  With([](TS3mSong& S) {
                      S.Orders = {0, 254, 1, 254, 0, 255, 1, 1};
                      S.Patterns.push_back({{S3mAt(0, 0, 0, 0, -1, 'B', 4)}});
                  }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(M.SongLength, 3);
                      EXPECT_EQ(M.Orders[0], 0);
                      EXPECT_EQ(M.Orders[1], 1);
                      EXPECT_EQ(M.Orders[2], 0);
                      // B04 names file position 4, the third entry kept.
                      EXPECT_EQ(CellAt(M, 1, 0, 0).Effect, TQuavixLetterEffect::B);
                      EXPECT_EQ(CellAt(M, 1, 0, 0).EffectParameter, 2);
                  }},
        TLoadCase{{"channels left right and mono"},
                  With([](TS3mSong& S) { S.ChannelSettings = {0, 8, 255, 9, 0x81, 3}; }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(M.NumChannels, 6);
                      EXPECT_EQ(M.Channels[0]->DefaultPanning, 0x3 * 16 + 8);
                      EXPECT_EQ(M.Channels[1]->DefaultPanning, 0xC * 16 + 8);
                      EXPECT_EQ(M.Channels[3]->DefaultPanning, 0xC * 16 + 8);
                      EXPECT_EQ(M.Channels[5]->DefaultPanning, 0x3 * 16 + 8);
                  }},
        TLoadCase{{"mono songs pan to the middle"}, With([](TS3mSong& S) { S.MasterVolume = 0x30; }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(M.Channels[0]->DefaultPanning, 128);
                      EXPECT_EQ(M.Channels[1]->DefaultPanning, 128);
                  }},
        TLoadCase{{"default panning table"},
                  With([](TS3mSong& S) { S.DefaultPanning = std::vector<uint8_t>{0x20, 0x2F, 0x07, 0x27}; }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(M.Channels[0]->DefaultPanning, 8);
                      EXPECT_EQ(M.Channels[1]->DefaultPanning, 0xF * 16 + 8);
                      EXPECT_EQ(M.Channels[2]->DefaultPanning, 0x3 * 16 + 8);  // bit 5 clear: the default
                      EXPECT_EQ(M.Channels[3]->DefaultPanning, 0x7 * 16 + 8);
                  }},
        TLoadCase{{"AdLib and disabled channels hold no cells"},
                  With([](TS3mSong& S) {
                      S.ChannelSettings = {0, 0x88, 16, 9};
                      S.Patterns[0].Cells = {S3mAt(0, 0, Note("C-4"), 1), S3mAt(0, 1, Note("D-4"), 1),
                                             S3mAt(0, 2, Note("E-4"), 1), S3mAt(0, 3, Note("F-4"), 1)};
                  }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(CellAt(M, 0, 0, 0), MakeCell(Note("C-4"), 1, 0, TQuavixLetterEffect::Base));
                      EXPECT_TRUE(CellAt(M, 0, 0, 1).IsEmpty());
                      EXPECT_TRUE(CellAt(M, 0, 0, 2).IsEmpty());
                      EXPECT_EQ(CellAt(M, 0, 0, 3), MakeCell(Note("F-4"), 1, 0, TQuavixLetterEffect::Base));
                  }},
        TLoadCase{{"unsigned 8-bit sample with loop"},
                  With([](TS3mSong& S) {
                      S.Instruments[0] = S3mSample8({-128, -1, 0, 1, 127}, "eight");
                      S.Instruments[0].FileName = "EIGHT.SMP";
                      S.Instruments[0].Loop = true;
                      S.Instruments[0].LoopStart = 1;
                      S.Instruments[0].LoopEnd = 4;
                      S.Instruments[0].Volume = 70;
                  }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(M.Instruments[1]->Name, "eight");
                      const TQuavixSample& S = SampleOf(M, 1);
                      EXPECT_EQ(S.Name, "EIGHT.SMP");
                      // The sample ends with its loop, whose start follows it.
                      EXPECT_EQ(Values(S), Scaled({-128, -1, 0, 1}));
                      EXPECT_EQ(S.Data[4], S.Data[1]);
                      EXPECT_TRUE(S.Loop);
                      EXPECT_FALSE(S.PingPong);
                      EXPECT_EQ(S.LoopStart, 1);
                      EXPECT_EQ(S.LoopLength, 3);
                      EXPECT_EQ(S.Volume, 64);
                      EXPECT_FALSE(S.HasPanning);
                      EXPECT_EQ(M.Instruments[1]->Samples[1], nullptr);
                  }},
        TLoadCase{{"signed 8-bit sample"},
                  With([](TS3mSong& S) {
                      S.UnsignedSamples = false;
                      S.Instruments[0] = S3mSample8({-128, -1, 0, 1, 127});
                  }),
                  [](const TQuavixModule& M) { EXPECT_EQ(Values(SampleOf(M, 1)), Scaled({-128, -1, 0, 1, 127})); }},
        TLoadCase{{"16-bit stereo sample, loop end past the data"},
                  With([](TS3mSong& S) {
                      TS3mInstrument I;
                      I.Bits = 16;
                      I.NumChannels = 2;
                      I.Values = {-32768, 32767, 1000, -1000, 0, 5};
                      I.Loop = true;
                      I.LoopStart = 1;
                      I.LoopEnd = 9;
                      S.Instruments[0] = I;
                  }),
                  [](const TQuavixModule& M) {
                      const TQuavixSample& S = SampleOf(M, 1);
                      EXPECT_EQ(S.Bits, 16);
                      EXPECT_EQ(S.NumChannels, 2);
                      EXPECT_EQ(S.Length, 3);
                      EXPECT_EQ(Values(S), std::vector<int32_t>({-32768, 32767, 1000, -1000, 0, 5}));
                      EXPECT_EQ(S.LoopStart, 1);
                      EXPECT_EQ(S.LoopLength, 2);
                  }},
        TLoadCase{{"loop flag without a loop length plays through"},
                  With([](TS3mSong& S) {
                      S.Instruments[0].LoopStart = 10;
                      S.Instruments[0].LoopEnd = 10;
                  }),
                  [](const TQuavixModule& M) { EXPECT_FALSE(SampleOf(M, 1).Loop); }},
        TLoadCase{{"AdLib and empty instruments are silent and keep their names and kinds"},
                  With([](TS3mSong& S) {
                      TS3mInstrument AdLib;
                      AdLib.Type = 2;
                      AdLib.Name = "organ";
                      TS3mInstrument Empty;
                      Empty.Type = 0;
                      Empty.Name = "a message";
                      S.Instruments.push_back(AdLib);
                      S.Instruments.push_back(Empty);
                  }),
                  [](const TQuavixModule& M) {
                      ASSERT_TRUE(M.Instruments[2]);
                      EXPECT_EQ(M.Instruments[2]->Name, "organ");
                      EXPECT_EQ(M.Instruments[2]->Kind, "AdLib melody");
                      EXPECT_EQ(M.Instruments[3]->Kind, "");
                      EXPECT_EQ(M.Instruments[1]->Kind, "");
                      EXPECT_EQ(M.Instruments[2]->Samples[0], nullptr);
                      EXPECT_EQ(M.Instruments[3]->Name, "a message");
                      EXPECT_EQ(M.Instruments[3]->Samples[0], nullptr);
                  }},
        TLoadCase{{"C2 speed kept as the finetune, 0 as 8363"},
                  With([](TS3mSong& S) {
                      S.Instruments.push_back(S.Instruments[0]);
                      S.Instruments.push_back(S.Instruments[0]);
                      S.Instruments[0].C2Speed = 16726;
                      S.Instruments[1].C2Speed = 4181;
                      S.Instruments[2].C2Speed = 0;
                  }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(SampleOf(M, 1).RelativeNote, 0);
                      EXPECT_EQ(SampleOf(M, 1).FineTune, 16726);
                      EXPECT_EQ(SampleOf(M, 2).FineTune, 4181);
                      EXPECT_EQ(SampleOf(M, 3).FineTune, 8363);
                  }},
        TLoadCase{{"cells notes cut volume and effects"},
                  With([](TS3mSong& S) {
                      S.Patterns[0].Cells = {
                          S3mAt(0, 0, Note("C-0"), 1, 80),          S3mAt(0, 1, S3mNoteCut),
                          S3mAt(0, 2, 0, 0, 20),                    S3mAt(0, 3, Note("B-7"), 99, -1, 'A', 0x40),
                          S3mAt(1, 0, 0, 0, -1, 'C', 0x12),         S3mAt(1, 1, 0, 0, -1, 'D', 0x3F),
                          S3mAt(1, 2, 0, 0, -1, 'D', 0xF2),         S3mAt(1, 3, 0, 0, -1, 'D', 0x0F),
                          S3mAt(2, 0, 0, 0, -1, 'E', 0xF3),         S3mAt(2, 1, 0, 0, -1, 'F', 0xE4),
                          S3mAt(2, 2, 0, 0, -1, 'F', 0x21),         S3mAt(2, 3, 0, 0, -1, 'T', 0x10),
                          S3mAt(3, 0, 0, 0, -1, 'S', 0xB2),         S3mAt(3, 1, 0, 0, -1, 'S', 0x8F),
                          S3mAt(3, 2, 0, 0, -1, 'X', 0x40),         S3mAt(3, 3, 0, 0, -1, 'Q', 0x13),
                          S3mAt(4, 0, 0, 0, -1, 'J', 0x37),         S3mAt(4, 1, 0, 0, -1, 'T', 0x80),
                          S3mAt(4, 2, 0, 0, -1, 'S', 0x20),         S3mAt(4, 3, 0, 0, -1, 'V', 0x30),
                          S3mAt(5, 0, 0, 0, -1, 'D', 0x32),         S3mAt(5, 1, 0, 0, -1, 'D', 0x30),
                          S3mAt(5, 2, 0, 0, -1, 'K', 0x21),         S3mAt(5, 3, 0, 0, -1, 'L', 0x20),
                      };
                  }),
                  [](const TQuavixModule& M) {
                      // Every cell keeps its letter and parameter (a letter
                      // without one too); Bxx names the engine's order.
                      using L = TQuavixLetterEffect;
                      struct TExpected {
                          int32_t Row, Channel;
                          TQuavixPatternNote Cell;
                      };
                      auto Letter = [](char C, int32_t P) { return MakeCell(0, 0, 0, L::Base + C - 'A' + 1, P); };
                      const TExpected Cells[] = {
                          {0, 0, MakeCell(Note("C-0"), 1, 0x10 + 64, L::Base)},
                          {0, 1, MakeCell(TQuavixNote::NoteCut, 0, 0, L::Base)},
                          {0, 2, MakeCell(0, 0, 0x10 + 20, L::Base)},
                          {0, 3, MakeCell(Note("B-7"), 99, 0, L::A, 0x40)},
                          {1, 0, Letter('C', 0x12)},
                          {1, 1, Letter('D', 0x3F)},
                          {1, 3, Letter('D', 0x0F)},
                          {2, 1, Letter('F', 0xE4)},
                          {3, 0, Letter('S', 0xB2)},
                          {4, 1, Letter('T', 0x80)},
                          {5, 3, Letter('L', 0x20)},
                          {6, 0, TQuavixPatternNote{}},
                      };
                      for (const TExpected& X : Cells)
                          EXPECT_EQ(CellAt(M, 0, X.Row, X.Channel), X.Cell) << X.Row << " " << X.Channel;
                  }},
        TLoadCase{{"patterns the file lacks are empty"},
                  With([](TS3mSong& S) {
                      S.Patterns.push_back({});
                      S.Patterns.back().Missing = true;
                      S.Orders = {0, 1, 5};
                  }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(M.Patterns[1]->Rows, 64);
                      EXPECT_TRUE(CellAt(M, 1, 0, 0).IsEmpty());
                      EXPECT_EQ(M.Patterns[5]->Rows, 64);
                  }},
        TLoadCase{{"a pattern cut short keeps its whole cells"},
                  With([](TS3mSong& S) {
                      // Row 0: a note on channel 0; row 1: a volume cut before its byte
                      // (the pattern ends the file).
                      S.Instruments.clear();
                      S.Patterns[0].PackedData = TBytes{0x20, 0x40, 1, 0, 0x41};
                  }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(CellAt(M, 0, 0, 0), MakeCell(Note("C-4"), 1, 0, TQuavixLetterEffect::Base));
                      EXPECT_TRUE(CellAt(M, 0, 1, 1).IsEmpty());
                  }},
        TLoadCase{{"a sample cut short keeps the frames there are"},
                  With([](TS3mSong& S) {
                      S.Instruments[0].LoopStart = 8;
                      S.Instruments[0].LoopEnd = 64;
                      S.CutBytes = 24;
                  }),
                  [](const TQuavixModule& M) {
                      const TQuavixSample& S = SampleOf(M, 1);
                      EXPECT_EQ(S.Length, 40);
                      EXPECT_EQ(S.LoopStart, 8);
                      EXPECT_EQ(S.LoopLength, 32);
                  }},
        TLoadCase{{"a sample the file does not reach has no data"},
                  With([](TS3mSong& S) { S.CutBytes = 64; }),
                  [](const TQuavixModule& M) {
                      EXPECT_EQ(SampleOf(M, 1).Length, 0);
                      EXPECT_FALSE(SampleOf(M, 1).Loop);
                      EXPECT_EQ(CellAt(M, 0, 0, 0), MakeCell(Note("C-4"), 1, 0, TQuavixLetterEffect::Base));
                  }}),
    TCaseName());

// Files the loader refuses, and why.
struct TRefusedCase : TNamedCase {
    TBytes File;
    TQuavixLoadError Error;
    std::string Reason;
};

class S3mRefuses : public ::testing::TestWithParam<TRefusedCase> {};

TEST_P(S3mRefuses, AndLeavesTheSongCleared) {
    TQuavixModule M;
    const TQuavixLoadResult Result = LoadBytes(M, GetParam().File);
    EXPECT_EQ(Result.Error, GetParam().Error);
    EXPECT_NE(Result.Reason.find(GetParam().Reason), std::string::npos) << Result.Reason;
    EXPECT_TRUE(IsCleared(M));
}

TBytes Cut(TBytes File, size_t Size) {
    File.resize(Size);
    return File;
}

TBytes TooManyInstruments() {
    TBytes File = WriteS3m(SmallS3m());
    File[0x22] = 0x00;
    File[0x23] = 0x01;  // 256
    File.resize(File.size() + 1024);
    return File;
}

INSTANTIATE_TEST_SUITE_P(
    S3mLoader, S3mRefuses,
    ::testing::Values(
        TRefusedCase{{"cut within the header"}, Cut(WriteS3m(SmallS3m()), 0x50), TQuavixLoadError::Damaged,
                     "damaged Scream Tracker 3 module file: its song header is cut short"},
        TRefusedCase{{"cut within the pointers"}, Cut(WriteS3m(SmallS3m()), 0x63), TQuavixLoadError::Damaged,
                     "its song header is cut short"},
        TRefusedCase{{"more than 255 instruments"}, TooManyInstruments(), TQuavixLoadError::Unsupported,
                     "more than 255 instruments"}),
    TCaseName());

// Every prefix from the end of the pointers on loads, and plays safely.
TEST(S3mLoader, EveryPrefixAfterTheHeaderLoads) {
    TS3mSong Song = SmallS3m();
    Song.Instruments.push_back(Song.Instruments[0]);
    Song.Instruments[1].Bits = 16;
    Song.Instruments[1].NumChannels = 2;
    const TBytes File = WriteS3m(Song);
    const size_t HeaderEnd = 0x60 + Song.Orders.size() + 2 * Song.Instruments.size() + 2 * Song.Patterns.size();
    for (size_t Size = HeaderEnd; Size <= File.size(); ++Size) {
        const TBytes Prefix(File.begin(), File.begin() + static_cast<std::ptrdiff_t>(Size));
        TQuavixModule M;
        ASSERT_TRUE(LoadBytes(M, Prefix)) << Size;
        EXPECT_TRUE(SamplesWithinData(M)) << Size;
    }
}

// A note plays at its sample's C2 speed: C-4 at the C2 speed, an octave up
// at twice it, other notes by ST3's period table (A-4 at 1712 / 1016 of
// C-4's), to within a quarter period.
struct TPitchCase : TNamedCase {
    uint32_t C2Speed;
    int32_t Note;
    int32_t Hertz;
};

class S3mPitch : public ::testing::TestWithParam<TPitchCase> {};

TEST_P(S3mPitch, NotePlaysAtTheC2Speed) {
    TS3mSong Song = SmallS3m();
    Song.Instruments[0].C2Speed = GetParam().C2Speed;
    Song.Patterns[0].Cells = {S3mAt(0, 0, GetParam().Note, 1)};
    const std::vector<int32_t> Frequencies =
        PlayFile(WriteS3m(Song), 12, [](const TQuavixModule& M) { return M.Channels[0]->Frequency; });
    for (int32_t Frequency : Frequencies)
        EXPECT_LE(std::abs(Frequency - GetParam().Hertz), GetParam().Hertz / 1000) << Frequency;
}

INSTANTIATE_TEST_SUITE_P(S3mLoader, S3mPitch,
                         ::testing::Values(TPitchCase{{"C-4 at 8363"}, 8363, Note("C-4"), 8363},
                                           TPitchCase{{"C-4 at 22050"}, 22050, Note("C-4"), 22050},
                                           TPitchCase{{"C-5 at 11025"}, 11025, Note("C-5"), 22050},
                                           TPitchCase{{"C-3 at 10000"}, 10000, Note("C-3"), 5000},
                                           TPitchCase{{"A-4 at 8363"}, 8363, Note("A-4"), 14092}),
                         TCaseName());

// A note cut stops the voice on its row's first tick; a volume after it
// brings nothing back.
TEST(S3mLoader, NoteCutStopsTheVoice) {
    TS3mSong Song = SmallS3m();
    Song.Patterns[0].Cells = {S3mAt(0, 0, Note("C-4"), 1), S3mAt(1, 0, S3mNoteCut), S3mAt(2, 0, 0, 0, 40)};
    const std::vector<int32_t> Active =
        PlayFile(WriteS3m(Song), 18, [](const TQuavixModule& M) { return M.Channels[0]->Active ? 1 : 0; });
    EXPECT_EQ(Active, std::vector<int32_t>({1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// A tone portamento with a note on a silent channel plays the note
// (TQuavixBehaviour::PortamentoStartsSilentNote).
TEST(S3mLoader, TonePortamentoStartsASilentChannel) {
    TS3mSong Song = SmallS3m();
    Song.Patterns[0].Cells = {S3mAt(0, 0, Note("C-4"), 1, -1, 'G', 0x10)};
    const std::vector<int32_t> Frequencies =
        PlayFile(WriteS3m(Song), 6, [](const TQuavixModule& M) { return M.Channels[0]->Frequency; });
    EXPECT_EQ(Frequencies, std::vector<int32_t>(6, 8363));
}

}  // namespace
