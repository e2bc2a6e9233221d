// Loading Extended Module files: the song header, the three file layouts,
// packed patterns, instruments with their envelopes and sample headers,
// files cut short, and the files that must be refused.
#include <gtest/gtest.h>

#include <ostream>
#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "loader_checks.h"
#include "song/load_cursor.h"
#include "support/case_names.h"

using namespace quavix_test;

namespace {

// A song with two patterns and two instruments of different sample forms,
// written in any of the three layouts.
TXmSong TwoInstrumentSong(uint16_t Version) {
    TXmSong Song;
    Song.Version = Version;
    Song.Title = "  two of each  ";
    Song.Channels = 3;
    Song.Orders = {1, 0, 1};
    Song.RestartPosition = 1;
    Song.Speed = 4;
    Song.Tempo = 140;
    Song.LinearSlides = false;
    Song.ExtendedFilterRange = true;
    Song.Patterns.push_back({64, {At(0, 0, Note("C-4"), 1, 0x40, Fx('A'), 0x0F), At(63, 2, KeyOff)}});
    Song.Patterns.push_back({16, {At(5, 1, Note("D#5"), 2), At(6, 1, 0, 0, 0, Fx('F'), 3), At(7, 1, Note("B-7")),
                                  At(8, 1, 98)}});
    TXmInstrument Lead = Instrument(" lead ", Sample8({10, -20, 30, -40}, "lead sample"));
    Lead.FadeOut = 0x0400;
    Lead.VibratoType = 1;
    Lead.VibratoSweep = 2;
    Lead.VibratoDepth = 3;
    Lead.VibratoRate = 4;
    Song.Instruments.push_back(Lead);
    TXmInstrument Bass;
    Bass.Name = "bass";
    Bass.Samples.push_back(Sample16({1000, -1000, 32767}, "low"));
    Bass.Samples.push_back(Sample8({1, 2, 3}, "high"));
    for (int32_t n = 48; n < 96; ++n) Bass.NoteSamples[n] = 1;
    Song.Instruments.push_back(Bass);
    return Song;
}

TEST(XmLoader, ReadsTheSongHeader) {
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(TwoInstrumentSong(0x0104))));
    EXPECT_TRUE(M.Loaded);
    EXPECT_EQ(M.Name, "two of each");
    EXPECT_EQ(M.Format, TQuavixFormat::ExtendedModule);
    EXPECT_EQ(M.FormatVersion, 0x0104);
    EXPECT_EQ(M.FormatTag, "");
    EXPECT_EQ(M.Tracker, "Quavix module writer");
    EXPECT_EQ(M.SongLength, 3);
    EXPECT_EQ(M.RestartPosition, 1);
    EXPECT_EQ(M.NumChannels, 3);
    EXPECT_FALSE(M.LinearSlides);
    EXPECT_TRUE(M.ExtendedFilterRange);
    EXPECT_EQ(M.InitialSpeed, 4);
    EXPECT_EQ(M.InitialTempo, 140);
    EXPECT_EQ(M.Speed, 4);
    EXPECT_EQ(M.Tempo, 140);
    EXPECT_EQ(M.Orders[0], 1);
    EXPECT_EQ(M.Orders[2], 1);
    EXPECT_EQ(M.Orders[3], 0);
    for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(M.Channels[c]->DefaultPanning, 128) << c;
}

TEST(XmLoader, SpeedAndTempoZeroTakeTheDefaults) {
    TXmSong Song = SmallXm();
    Song.Speed = 0x0100;  // only the low byte counts
    Song.Tempo = 0;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(M.InitialSpeed, 6);
    EXPECT_EQ(M.InitialTempo, 125);
    Song.Speed = 0x0103;
    Song.Tempo = 0x01FF;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(M.InitialSpeed, 3);
    EXPECT_EQ(M.InitialTempo, 255);
}

// The file layouts, by the version word that selects them.
struct TLayoutCase : quavix_test::TNamedCase {
    uint16_t Version;
};

const TLayoutCase EveryLayout[] = {
    {"version 1.02", 0x0102},
    {"version 1.03", 0x0103},
    {"version 1.04", 0x0104},
    {"version 1.05", 0x0105},
};

// The older layout keeps the instrument headers before the patterns; the
// newer one puts each instrument after the patterns, with its data.
const TLayoutCase OlderAndNewerLayout[] = {
    {"older layout", 0x0103},
    {"newer layout", 0x0104},
};

class XmLoaderEveryLayoutGivesTheSameSong : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(XmLoaderEveryLayoutGivesTheSameSong, EveryLayoutGivesTheSameSong) {
    const uint16_t Version = GetParam().Version;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(TwoInstrumentSong(Version))));
    EXPECT_EQ(M.FormatVersion, Version);
    EXPECT_EQ(M.Patterns[0]->Rows, 64);
    EXPECT_EQ(M.Patterns[1]->Rows, 16);
    EXPECT_EQ(M.Patterns[0]->Channels, 3);
    EXPECT_EQ(CellAt(M, 0, 0, 0), MakeCell(49, 1, 0x40, 10, 0x0F));
    EXPECT_EQ(CellAt(M, 0, 63, 2), MakeCell(KeyOff));
    EXPECT_EQ(CellAt(M, 0, 1, 0), MakeCell(0));
    EXPECT_EQ(CellAt(M, 1, 5, 1), MakeCell(64, 2));
    EXPECT_EQ(CellAt(M, 1, 6, 1), MakeCell(0, 0, 0, 15, 3));
    // B-7 is the highest note; the bytes above the key-off play nothing.
    EXPECT_EQ(CellAt(M, 1, 7, 1), MakeCell(96));
    EXPECT_EQ(CellAt(M, 1, 8, 1), MakeCell(TQuavixNote::Unplayable));

    ASSERT_TRUE(M.Instruments[1] && M.Instruments[2]);
    EXPECT_EQ(M.Instruments[3], nullptr);
    const TQuavixInstrument& Lead = *M.Instruments[1];
    EXPECT_EQ(Lead.Name, "lead");
    EXPECT_EQ(Lead.FadeOut, 0x0400);
    EXPECT_EQ(Lead.VibratoType, 1);
    EXPECT_EQ(Lead.VibratoSweep, 2);
    EXPECT_EQ(Lead.VibratoDepth, 3);
    EXPECT_EQ(Lead.VibratoRate, 4);
    ASSERT_TRUE(Lead.Samples[0]);
    EXPECT_EQ(Lead.Samples[1], nullptr);
    EXPECT_EQ(Lead.Samples[0]->Name, "lead sample");
    EXPECT_EQ(Values(*Lead.Samples[0]), Scaled({10, -20, 30, -40}));

    const TQuavixInstrument& Bass = *M.Instruments[2];
    EXPECT_EQ(Bass.NoteSamples[47], 0);
    EXPECT_EQ(Bass.NoteSamples[48], 1);
    ASSERT_TRUE(Bass.Samples[0] && Bass.Samples[1]);
    EXPECT_EQ(Bass.Samples[0]->Bits, 16);
    EXPECT_EQ(Values(*Bass.Samples[0]), (std::vector<int32_t>{1000, -1000, 32767}));
    EXPECT_EQ(Values(*Bass.Samples[1]), Scaled({1, 2, 3}));
    EXPECT_TRUE(SamplesWithinData(M));
}
INSTANTIATE_TEST_SUITE_P(XmLoader, XmLoaderEveryLayoutGivesTheSameSong, ::testing::ValuesIn(EveryLayout),
                         quavix_test::TCaseName());

TEST(XmLoader, UnpacksCells) {
    TXmSong Song = SmallXm();
    Song.Channels = 2;
    TXmPattern Pattern(4, {At(0, 0, Note("C-0"), 1, 0x10, 1, 2),    // every field: written plainly
                           At(1, 1, 0, 0, 0x20),                   // the volume column alone
                           At(2, 0, 0, 255, 0, 0, 0),              // instrument 255 means none
                           At(3, 1, Note("B-7"), 0, 0, Fx('Z'), 0xFF)});
    Song.Patterns = {Pattern};
    Pattern.Unpacked = true;  // the same cells, every one written as five bytes
    Song.Patterns.push_back(Pattern);
    Song.Orders = {0, 1};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    for (int32_t p = 0; p < 2; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(CellAt(M, p, 0, 0), MakeCell(1, 1, 0x10, 1, 2));
        EXPECT_EQ(CellAt(M, p, 0, 1), MakeCell(0));
        EXPECT_EQ(CellAt(M, p, 1, 1), MakeCell(0, 0, 0x20));
        EXPECT_EQ(CellAt(M, p, 2, 0), MakeCell(0));
        EXPECT_EQ(CellAt(M, p, 3, 1), MakeCell(96, 0, 0, 35, 0xFF));
    }
}

struct TBlockCase : quavix_test::TNamedCase {
    TXmPattern First;
    int32_t Rows;
};

std::vector<TBlockCase> BlockCases() {
    return {
        // The data stops early: the rest of the cells are read from what
        // follows, and the next pattern still starts at its own header.
        {"data shorter than the rows", [] {
             TXmPattern P(8, {});
             P.PackedData = TBytes{0x81, 49};
             return P;
         }(), 8},
        // Bytes beyond the cells are passed over.
        {"data longer than the rows", [] {
             TXmPattern P(1, {});
             P.PackedData = TBytes{0x80, 0x80, 0x81, 13, 14, 15};
             return P;
         }(), 1},
        // More rows than a pattern can have: kept as empty rows, data skipped.
        {"300 rows", [] {
             TXmPattern P(300, {At(0, 0, Note("C-4"), 1)});
             return P;
         }(), 300},
        {"no rows", [] {
             TXmPattern P(0, {});
             P.PackedData = TBytes{0x81, 49, 0x81, 50};
             return P;
         }(), 0},
        {"no packed data", TXmPattern(32, {}), 32},
    };
}

class XmLoaderPatternBlocksEndWhereTheirSizeSays : public ::testing::TestWithParam<TBlockCase> {};

TEST_P(XmLoaderPatternBlocksEndWhereTheirSizeSays, PatternBlocksEndWhereTheirSizeSays) {
    const TBlockCase& Case = GetParam();
    TXmSong Song = SmallXm();
    Song.Channels = 2;
    Song.Patterns = {Case.First, TXmPattern(2, {At(1, 1, Note("A-4"), 1)})};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(M.Patterns[0]->Rows, Case.Rows);
    EXPECT_EQ(M.Patterns[1]->Rows, 2);
    EXPECT_EQ(CellAt(M, 1, 1, 1), MakeCell(58, 1));
    if (Case.Rows > 256) {
        for (int32_t r = 0; r < Case.Rows; ++r) ASSERT_EQ(CellAt(M, 0, r, 0), MakeCell(0)) << r;
    }
    ASSERT_TRUE(M.Instruments[1]);
    EXPECT_EQ(M.Instruments[1]->Name, "square");
}
INSTANTIATE_TEST_SUITE_P(XmLoader, XmLoaderPatternBlocksEndWhereTheirSizeSays, ::testing::ValuesIn(BlockCases()),
                         quavix_test::TCaseName());

TEST(XmLoader, CellsOfDataCutShortReadOnIntoTheFollowingBytes) {
    TXmSong Song = SmallXm();
    Song.Channels = 1;
    TXmPattern First(2, {});
    First.PackedData = TBytes{0x81, 49};
    // The second row's cell is read from the next pattern header, whose
    // first byte (the low byte of its header length, 9) has bit 7 clear.
    Song.Patterns = {First, TXmPattern(1, {})};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(CellAt(M, 0, 0, 0), MakeCell(49));
    EXPECT_EQ(CellAt(M, 0, 1, 0).Note, 9);
}

TEST(XmLoader, VersionOneTwoStoresRowsMinusOne) {
    TXmSong Song = SmallXm();
    Song.Version = 0x0102;
    Song.Patterns = {TXmPattern(64, {At(63, 1, Note("C-4"))}), TXmPattern(256, {At(255, 0, Note("D-4"))})};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(M.Patterns[0]->Rows, 64);
    EXPECT_EQ(CellAt(M, 0, 63, 1), MakeCell(49));
    EXPECT_EQ(M.Patterns[1]->Rows, 256);
    EXPECT_EQ(CellAt(M, 1, 255, 0), MakeCell(51));
}

class XmLoaderInstrumentHeaderSizePlacesWhatFollows : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(XmLoaderInstrumentHeaderSizePlacesWhatFollows, InstrumentHeaderSizePlacesWhatFollows) {
    TXmSong Song = SmallXm();
    TXmInstrument Empty;
    Empty.Name = "empty";
    Empty.HeaderSize = 40;  // eleven bytes past the first part are skipped
    TXmInstrument Wide = Instrument("wide", Sample8({5, 6, 7}, "w"));
    Wide.HeaderSize = 300;  // the sample headers start 57 bytes later
    TXmInstrument Narrow = Instrument("narrow", Sample8({8, 9}, "n"));
    Narrow.HeaderSize = 200;  // the sample headers start inside the second part
    Song.Instruments = {Empty, Wide, Narrow, Instrument("last", Sample8({1}, "l"))};
    Song.Version = GetParam().Version;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    ASSERT_TRUE(M.Instruments[1] && M.Instruments[2] && M.Instruments[3] && M.Instruments[4]);
    EXPECT_EQ(M.Instruments[1]->Name, "empty");
    EXPECT_EQ(M.Instruments[1]->Samples[0], nullptr);
    EXPECT_EQ(M.Instruments[2]->Name, "wide");
    ASSERT_TRUE(M.Instruments[2]->Samples[0]);
    EXPECT_EQ(Values(*M.Instruments[2]->Samples[0]), Scaled({5, 6, 7}));
    EXPECT_EQ(M.Instruments[3]->Name, "narrow");
    ASSERT_TRUE(M.Instruments[4]->Samples[0]);
    EXPECT_EQ(M.Instruments[4]->Name, "last");
    EXPECT_EQ(Values(*M.Instruments[4]->Samples[0]), Scaled({1}));
}
INSTANTIATE_TEST_SUITE_P(XmLoader, XmLoaderInstrumentHeaderSizePlacesWhatFollows,
                         ::testing::ValuesIn(OlderAndNewerLayout), quavix_test::TCaseName());

std::vector<int32_t> Positions(const TQuavixEnvelope& E, int32_t Count) {
    std::vector<int32_t> Result;
    for (int32_t k = 0; k < Count; ++k) Result.push_back(E.Points[k].Position);
    return Result;
}

struct TWrapCase : quavix_test::TNamedCase {
    std::vector<int32_t> Stored;
    std::vector<int32_t> Loaded;
};

const TWrapCase WrapCases[] = {
    {"behind a point below 256", {0, 200, 44}, {0, 200, 300}},
    {"rising points", {0, 44, 88}, {0, 44, 88}},
    {"previous high byte then one more", {0, 0x1F0, 0x010}, {0, 0x1F0, 0x210}},
    {"previous high byte alone", {0, 0x300, 0x2F0}, {0, 0x300, 0x3F0}},
    {"corrections build on corrected points", {10, 300, 20, 5}, {10, 300, 532, 773}},
};

class XmLoaderEnvelopePositionsThatGoBackAreTakenAsWrapped : public ::testing::TestWithParam<TWrapCase> {};

TEST_P(XmLoaderEnvelopePositionsThatGoBackAreTakenAsWrapped, EnvelopePositionsThatGoBackAreTakenAsWrapped) {
    const TWrapCase& Case = GetParam();
    TXmSong Song = SmallXm();
    TXmEnvelope Envelope;
    for (int32_t Position : Case.Stored) Envelope.Points.push_back({Position, 32});
    Song.Instruments[0].VolumeEnvelope = Envelope;
    Song.Instruments[0].PanningEnvelope = Envelope;
    // The correction runs over all 12 points whatever the count says.
    Song.Instruments[0].VolumeEnvelope.NumPoints = 1;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    const int32_t N = static_cast<int32_t>(Case.Stored.size());
    EXPECT_EQ(Positions(*M.Instruments[1]->VolumeEnvelope, N), Case.Loaded);
    EXPECT_EQ(Positions(*M.Instruments[1]->PanningEnvelope, N), Case.Loaded);
}
INSTANTIATE_TEST_SUITE_P(XmLoader, XmLoaderEnvelopePositionsThatGoBackAreTakenAsWrapped,
                         ::testing::ValuesIn(WrapCases), quavix_test::TCaseName());

TEST(XmLoader, UnusedEnvelopePointsAreTakenAsWrappedToo) {
    // The unused points after the last corrected one are 0, which is behind
    // it, and so follow the same rule.
    TXmSong Song = SmallXm();
    Song.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {0x250, 0}};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(M.Instruments[1]->VolumeEnvelope->Points[2].Position, 0x300);
    EXPECT_EQ(M.Instruments[1]->VolumeEnvelope->Points[11].Position, 0x300);
}

struct TEnvelopeCase : quavix_test::TNamedCase {
    bool Volume;  // which envelope is stored; the other one is left off
    TXmEnvelope Stored;
    bool Enabled, Sustain, Loop;
    int32_t NumPoints;
};

// Each envelope in turn, the other one left off.
std::vector<TEnvelopeCase> EnvelopeCases() {
    struct TSettings {
        const char* What;
        TXmEnvelope Stored;
        bool Enabled, Sustain, Loop;
        int32_t NumPoints;
    };
    auto Points = [](int32_t Count) {
        std::vector<TEnvelopePoint> Result;
        for (int32_t k = 0; k < Count; ++k) Result.push_back({k * 10, 64 - k});
        return Result;
    };
    const TSettings Settings[] = {
        {"plain", {Points(4), 1, 0, 2, {}, {}}, true, true, true, 4},
        {"one-point loop", {Points(4), -1, 2, 2, {}, {}}, true, false, false, 4},
        {"backwards loop", {Points(4), -1, 3, 1, {}, {}}, true, false, false, 4},
        {"no points", {Points(4), 1, 0, 2, {}, uint8_t(0)}, false, true, true, 0},
        {"sustain on point 12", {Points(4), 12, -1, -1, {}, {}}, true, true, false, 4},
        {"sustain past the points", {Points(4), 13, -1, -1, {}, {}}, true, false, false, 4},
        {"type bits off", {Points(4), 1, 0, 2, uint8_t(0), {}}, false, false, false, 4},
        // A count beyond the points in the file is held to those 12.
        {"count of 200", {Points(12), -1, -1, -1, {}, uint8_t(200)}, true, false, false, 12},
    };
    std::vector<TEnvelopeCase> Cases;
    for (bool Volume : {true, false})
        for (const TSettings& S : Settings)
            Cases.push_back({std::string(Volume ? "volume " : "panning ") + S.What, Volume, S.Stored, S.Enabled,
                             S.Sustain, S.Loop, S.NumPoints});
    return Cases;
}

class XmLoaderEnvelopeSettingsAndTheirCorrections : public ::testing::TestWithParam<TEnvelopeCase> {};

TEST_P(XmLoaderEnvelopeSettingsAndTheirCorrections, EnvelopeSettingsAndTheirCorrections) {
    const TEnvelopeCase& Case = GetParam();
    const bool Volume = Case.Volume;
    TXmSong Song = SmallXm();
    (Volume ? Song.Instruments[0].VolumeEnvelope : Song.Instruments[0].PanningEnvelope) = Case.Stored;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    const TQuavixEnvelope& E = Volume ? *M.Instruments[1]->VolumeEnvelope : *M.Instruments[1]->PanningEnvelope;
    EXPECT_EQ(E.Enabled, Case.Enabled);
    EXPECT_EQ(E.SustainEnabled, Case.Sustain);
    EXPECT_EQ(E.LoopEnabled, Case.Loop);
    EXPECT_EQ(E.NumPoints, Case.NumPoints);
    if (Case.Stored.SustainPoint >= 0) {
        EXPECT_EQ(E.SustainPoint, Case.Stored.SustainPoint);
    }
    if (Case.Stored.LoopStart >= 0) {
        EXPECT_EQ(E.LoopStart, Case.Stored.LoopStart);
    }
    if (Case.Stored.LoopEnd >= 0) {
        EXPECT_EQ(E.LoopEnd, Case.Stored.LoopEnd);
    }
    EXPECT_EQ(E.Points[1].Value, 63);
    EXPECT_FALSE((Volume ? M.Instruments[1]->PanningEnvelope : M.Instruments[1]->VolumeEnvelope)->Enabled);
}
INSTANTIATE_TEST_SUITE_P(XmLoader, XmLoaderEnvelopeSettingsAndTheirCorrections, ::testing::ValuesIn(EnvelopeCases()),
                         quavix_test::TCaseName());

TEST(XmLoader, EnvelopeValueIsTheLowByte) {
    TXmSong Song = SmallXm();
    Song.Instruments[0].VolumeEnvelope.Points = {{0, 0x0140}, {5, 64}};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(M.Instruments[1]->VolumeEnvelope->Points[0].Value, 0x40);
}

TEST(XmLoader, SampleHeaderFields) {
    TXmSample S = Sample8({1, 2, 3, 4, 5, 6, 7, 8}, "  sample name  ");
    S.Volume = 80;  // not limited to 64
    S.FineTune = -100;
    S.RelativeNote = -12;
    S.Panning = 7;
    S.Loop = TLoop::PingPong;
    S.LoopStart = 2;
    S.LoopLength = 3;
    TXmSong Song = SmallXm();
    Song.Instruments = {Instrument("i", S)};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    const TQuavixSample& L = *M.Instruments[1]->Samples[0];
    EXPECT_EQ(L.Name, "sample name");
    EXPECT_EQ(L.Volume, 80);
    EXPECT_EQ(L.FineTune, -100);
    EXPECT_EQ(L.RelativeNote, -12);
    EXPECT_EQ(L.Panning, 7);
    EXPECT_TRUE(L.HasPanning);
    EXPECT_TRUE(L.Loop);
    EXPECT_TRUE(L.PingPong);
    EXPECT_EQ(L.LoopStart, 2);
    EXPECT_EQ(L.LoopLength, 3);
    EXPECT_EQ(L.Length, 8);
    EXPECT_FALSE(L.Compressed);
}

struct TLoopCase : quavix_test::TNamedCase {
    uint32_t LoopStart, LoopLength;
    bool Loop;
    int32_t LoadedStart, LoadedLength;
};

std::vector<TLoopCase> LoopCases() {
    return {
        {"inside", 2, 4, true, 2, 4},
        {"to the end", 2, 8, true, 2, 8},
        {"past the end", 6, 10, true, 6, 4},
        {"start at the end", 10, 4, false, 10, 0},
        {"start beyond the length", 30, 4, false, 30, 0},
        {"no length", 3, 0, false, 3, 0},
        // The sum would wrap at 32 bits; it is taken as far past the end.
        {"length that wraps", 4, 0xFFFFFFFE, true, 4, 6},
    };
}

class XmLoaderSampleLoopsAreKeptWithinTheSample : public ::testing::TestWithParam<TLoopCase> {};

TEST_P(XmLoaderSampleLoopsAreKeptWithinTheSample, SampleLoopsAreKeptWithinTheSample) {
    const TLoopCase& Case = GetParam();
    TXmSample S = Sample8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    S.Loop = TLoop::Forward;
    S.LoopStartBytes = Case.LoopStart;
    S.LoopLengthBytes = Case.LoopLength;
    TXmSong Song = SmallXm();
    Song.Instruments = {Instrument("i", S)};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    const TQuavixSample& L = *M.Instruments[1]->Samples[0];
    EXPECT_EQ(L.Loop, Case.Loop);
    EXPECT_FALSE(L.PingPong);
    EXPECT_EQ(L.LoopStart, Case.LoadedStart);
    EXPECT_EQ(L.LoopLength, Case.LoadedLength);
    EXPECT_TRUE(SamplesWithinData(M));
}
INSTANTIATE_TEST_SUITE_P(XmLoader, XmLoaderSampleLoopsAreKeptWithinTheSample, ::testing::ValuesIn(LoopCases()),
                         quavix_test::TCaseName());

struct TRefusedCase : quavix_test::TNamedCase {
    TBytes File;
    TQuavixLoadError Error;
    const char* Reason;
};

std::vector<TRefusedCase> RefusedCases() {
    TXmSong WrongId = SmallXm();
    WrongId.Id = "Extended module: ";
    TXmSong ManyChannels = SmallXm();
    ManyChannels.Channels = 256;
    ManyChannels.Patterns.clear();
    TXmSong ManyInstruments = SmallXm();
    ManyInstruments.InstrumentCount = 256;
    TBytes CutHeader = WriteXm(SmallXm());
    CutHeader.resize(335);
    return {
        {"empty", {}, TQuavixLoadError::NotModule, "not a module file (the file is empty)"},
        {"short song header", CutHeader, TQuavixLoadError::Damaged,
         "damaged Extended Module file: its song header is cut short"},
        {"short of anything", TBytes(CutHeader.begin(), CutHeader.begin() + 16), TQuavixLoadError::NotModule,
         "not a module file (not an Extended Module, pattern-format, Scream Tracker 3 or Impulse Tracker file)"},
        // Not Extended Modules this player takes, nor pattern-format files.
        {"identification", WriteXm(WrongId), TQuavixLoadError::NotModule,
         "not a module file (not an Extended Module, pattern-format, Scream Tracker 3 or Impulse Tracker file)"},
        {"256 channels", WriteXm(ManyChannels), TQuavixLoadError::Unsupported,
         "unsupported Extended Module file: more than 255 channels"},
        {"256 instruments", WriteXm(ManyInstruments), TQuavixLoadError::Unsupported,
         "unsupported Extended Module file: more than 255 instruments"},
    };
}

class XmLoaderRefusesASongHeaderCutShortAndOtherBeginnings : public ::testing::TestWithParam<TRefusedCase> {};

TEST_P(XmLoaderRefusesASongHeaderCutShortAndOtherBeginnings, RefusesASongHeaderCutShortAndOtherBeginnings) {
    const TRefusedCase& Case = GetParam();
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(SmallXm())));
    TQuavixLoadResult Result = LoadBytes(M, Case.File);
    EXPECT_EQ(Result.Error, Case.Error);
    EXPECT_EQ(Result.Reason, Case.Reason);
    EXPECT_TRUE(IsCleared(M));
}
INSTANTIATE_TEST_SUITE_P(XmLoader, XmLoaderRefusesASongHeaderCutShortAndOtherBeginnings,
                         ::testing::ValuesIn(RefusedCases()), quavix_test::TCaseName());

TEST(XmLoader, RefusesNoMemoryAtAll) {
    TQuavixModule M;
    EXPECT_FALSE(M.LoadFromMemory(nullptr, 0));
    EXPECT_TRUE(IsCleared(M));
}

TEST(XmLoader, Takes255Channels) {
    TQuavixModule M;
    TXmSong MaxChannels = SmallXm();
    MaxChannels.Channels = 255;
    EXPECT_TRUE(LoadBytes(M, WriteXm(MaxChannels)));
    EXPECT_EQ(M.NumChannels, 255);
    EXPECT_EQ(M.Patterns[0]->Channels, 255);
    EXPECT_EQ(CellAt(M, 0, 32, 1), MakeCell(56, 1, 0x30));
}

// A file cut short after its song header loads what it holds: the patterns
// it names but lacks are 64 empty rows, the instruments it lacks are empty,
// and sample data cut short keeps its length.
enum class TCutPoint { FirstPattern, SecondPattern, FirstInstrument, SecondInstrument, End };

struct TXmCut {
    const char* Name;
    uint16_t Version;
    TCutPoint Where;
    int32_t Offset;  // where from that point the file ends (negative: before it)
    bool FirstPatternWhole;
    int32_t SecondPatternRows;
    bool SecondPatternWhole;
    // Values of the lead's sample and of the bass's second sample; none: no such sample.
    std::optional<std::vector<int32_t>> Lead;
    std::optional<std::vector<int32_t>> BassSecond;
};

void PrintTo(const TXmCut& Cut, std::ostream* Out) { *Out << Cut.Name; }

class XmFileCutShort : public ::testing::TestWithParam<TXmCut> {};

TEST_P(XmFileCutShort, LoadsWhatItHolds) {
    const TXmCut& Cut = GetParam();
    const TBytes Full = WriteXm(TwoInstrumentSong(Cut.Version));
    // Where each block starts in either layout: a pattern block is its header
    // and as many bytes as its packed size says; an instrument its 263-byte
    // header, 40 bytes per sample header and, in the newer layout, its data.
    const size_t HeaderEnd = 336;
    const bool Old = Cut.Version <= 0x0103;
    const size_t Patterns = Old ? HeaderEnd + (263 + 40) + (263 + 2 * 40) : HeaderEnd;
    const size_t Second = Patterns + 9 + (Full[Patterns + 7] | (Full[Patterns + 8] << 8));
    const size_t AfterPatterns = Second + 9 + (Full[Second + 7] | (Full[Second + 8] << 8));
    const size_t FirstInstrument = Old ? HeaderEnd : AfterPatterns;
    const size_t SecondInstrument = FirstInstrument + 263 + 40 + (Old ? 0 : 4);
    const size_t Point[] = {Patterns, Second, FirstInstrument, SecondInstrument, Full.size()};
    const size_t End = Point[static_cast<int>(Cut.Where)] + Cut.Offset;
    const TBytes File(Full.begin(), Full.begin() + static_cast<std::ptrdiff_t>(End));

    TQuavixModule M;
    TQuavixLoadResult Result = LoadBytes(M, File);
    ASSERT_TRUE(Result) << Result.Reason;
    EXPECT_EQ(M.Name, "two of each");
    EXPECT_EQ(M.Patterns[0]->Rows, 64);
    EXPECT_EQ(CellAt(M, 0, 0, 0), Cut.FirstPatternWhole ? MakeCell(49, 1, 0x40, 10, 0x0F) : MakeCell(0));
    EXPECT_EQ(CellAt(M, 0, 63, 2), Cut.FirstPatternWhole ? MakeCell(KeyOff) : MakeCell(0));
    EXPECT_EQ(M.Patterns[1]->Rows, Cut.SecondPatternRows);
    EXPECT_EQ(CellAt(M, 1, 5, 1), Cut.SecondPatternWhole ? MakeCell(64, 2) : MakeCell(0));
    EXPECT_EQ(M.Patterns[2]->Rows, 0) << "a pattern the file does not name";
    // Both instruments exist; what of them the file lacks is empty.
    ASSERT_TRUE(M.Instruments[1] && M.Instruments[2]);
    const TQuavixSample* Lead = M.Instruments[1]->Samples[0].get();
    EXPECT_EQ(Lead != nullptr, Cut.Lead.has_value());
    if (Lead && Cut.Lead) {
        EXPECT_EQ(Values(*Lead), *Cut.Lead);
    }
    const TQuavixSample* Bass = M.Instruments[2]->Samples[1].get();
    EXPECT_EQ(Bass != nullptr, Cut.BassSecond.has_value());
    if (Bass && Cut.BassSecond) {
        EXPECT_EQ(Values(*Bass), *Cut.BassSecond);
    }
    EXPECT_TRUE(SamplesWithinData(M));
}

const std::vector<int32_t> LeadValues = Scaled({10, -20, 30, -40});
const std::vector<int32_t> BassValues = Scaled({1, 2, 3});
const std::vector<int32_t> NoData = {};

INSTANTIATE_TEST_SUITE_P(
    XmLoader, XmFileCutShort,
    ::testing::Values(
        // The newer layout: the patterns, then each instrument with its data.
        TXmCut{"in_first_pattern_header", 0x0104, TCutPoint::FirstPattern, 8, false, 64, false, {}, {}},
        TXmCut{"in_second_pattern_data", 0x0104, TCutPoint::SecondPattern, 9 + 2, true, 16, false, {}, {}},
        TXmCut{"before_the_instruments", 0x0104, TCutPoint::FirstInstrument, 0, true, 16, true, {}, {}},
        TXmCut{"in_instrument_header", 0x0104, TCutPoint::FirstInstrument, 28, true, 16, true, {}, {}},
        TXmCut{"in_instrument_envelopes", 0x0104, TCutPoint::FirstInstrument, 242, true, 16, true, {}, {}},
        TXmCut{"in_sample_header", 0x0104, TCutPoint::FirstInstrument, 263 + 39, true, 16, true, {}, {}},
        // What the file lacks of the data is silence.
        TXmCut{"in_sample_data", 0x0104, TCutPoint::FirstInstrument, 263 + 40 + 2, true, 16, true,
               Scaled({10, -20, 0, 0}), {}},
        TXmCut{"in_last_instrument_header", 0x0104, TCutPoint::SecondInstrument, 100, true, 16, true, LeadValues, {}},
        TXmCut{"in_last_sample_data", 0x0104, TCutPoint::End, -2, true, 16, true, LeadValues, Scaled({1, 0, 0})},
        TXmCut{"whole", 0x0104, TCutPoint::End, 0, true, 16, true, LeadValues, BassValues},
        // The older layout: the instrument headers, the patterns, then all sample data.
        TXmCut{"old_layout_in_instrument_headers", 0x0103, TCutPoint::SecondInstrument, 100, false, 64, false, NoData,
               {}},
        TXmCut{"old_layout_in_patterns", 0x0103, TCutPoint::SecondPattern, 4, true, 64, false, NoData, NoData},
        TXmCut{"old_layout_in_last_sample_data", 0x0103, TCutPoint::End, -2, true, 16, true, LeadValues,
               Scaled({1, 0, 0})}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(XmLoader, InstrumentsTheFileDoesNotHoldAreEmpty) {
    // Trackers that do not save trailing empty instruments still count them:
    // the file ends before their headers.
    TXmSong Song = TwoInstrumentSong(0x0104);
    Song.InstrumentCount = 5;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(Values(*M.Instruments[2]->Samples[1]), BassValues);
    for (int32_t i = 3; i <= 5; ++i) {
        ASSERT_TRUE(M.Instruments[i]) << i;
        EXPECT_EQ(M.Instruments[i]->Samples[0], nullptr) << i;
        EXPECT_EQ(M.Instruments[i]->Name, "") << i;
    }
    EXPECT_EQ(M.Instruments[6], nullptr);
}

TEST(XmLoader, PatternsBeyondTheSlotsArePassedOver) {
    TXmSong Song = SmallXm();
    Song.Channels = 1;
    Song.Patterns.clear();
    for (int32_t p = 0; p < 258; ++p) Song.Patterns.push_back(TXmPattern(1, {At(0, 0, 1 + p % 96)}));
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    EXPECT_EQ(CellAt(M, 255, 0, 0), MakeCell(1 + 255 % 96));
    // The instrument after the last pattern block still loads.
    ASSERT_TRUE(M.Instruments[1]);
    EXPECT_EQ(M.Instruments[1]->Name, "square");
    EXPECT_EQ(M.Instruments[1]->Samples[0]->Length, 32);
}

class XmLoaderSamplesBeyondTheSlotsArePassedOver : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(XmLoaderSamplesBeyondTheSlotsArePassedOver, SamplesBeyondTheSlotsArePassedOver) {
    TXmSong Song = SmallXm();
    Song.Version = GetParam().Version;
    TXmInstrument Many;
    Many.Name = "many";
    for (int32_t s = 0; s < 258; ++s) Many.Samples.push_back(Sample8({s % 100, 1}));
    Song.Instruments = {Many, Instrument("after", Sample8({7, 8, 9}))};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    ASSERT_TRUE(M.Instruments[1]->Samples[255]);
    EXPECT_EQ(Values(*M.Instruments[1]->Samples[255]), Scaled({55, 1}));
    ASSERT_TRUE(M.Instruments[2]);
    EXPECT_EQ(M.Instruments[2]->Name, "after");
    EXPECT_EQ(Values(*M.Instruments[2]->Samples[0]), Scaled({7, 8, 9}));
}
INSTANTIATE_TEST_SUITE_P(XmLoader, XmLoaderSamplesBeyondTheSlotsArePassedOver, ::testing::ValuesIn(OlderAndNewerLayout),
                         quavix_test::TCaseName());

TEST(XmLoader, ASecondLoadStartsFromTheClearedSong) {
    TXmSong First = TwoInstrumentSong(0x0104);
    First.Chunks = {ChannelNamesChunk({"drums", "bass"}), TextChunk("notes")};
    TXmSong Second = SmallXm();
    Second.Channels = 1;
    Second.Patterns = {TXmPattern(64, {})};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(First)));
    EXPECT_EQ(*M.Channels[1]->Name, "bass");
    ASSERT_TRUE(LoadBytes(M, WriteXm(Second)));
    EXPECT_EQ(M.Instruments[2], nullptr);
    EXPECT_EQ(*M.Channels[1]->Name, "");
    EXPECT_EQ(M.Comment, "");
    EXPECT_EQ(CellAt(M, 1, 5, 1), MakeCell(0));
}

// Each test that makes a file names its own, since ctest may run them at
// the same time.
std::string PathInBuild(const char* File) { return std::string(QUAVIX_BINARY_DIR) + "/" + File; }

// A file that cannot be read leaves the song that was loaded before cleared.
void ExpectCannotRead(const std::string& File, const char* Reason) {
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(SmallXm())));
    TQuavixLoadResult Result = M.LoadFromFile(File);
    EXPECT_EQ(Result.Error, TQuavixLoadError::CannotRead);
    EXPECT_EQ(Result.Reason, Reason);
    EXPECT_TRUE(IsCleared(M));
}

TEST(XmLoader, LoadFromFileReadsTheWholeFile) {
    const std::string Path = PathInBuild("xm_loader_test.xm");
    SaveBytes(Path, WriteXm(TwoInstrumentSong(0x0104)));
    TQuavixModule M;
    EXPECT_TRUE(M.LoadFromFile(Path));
    EXPECT_EQ(M.Name, "two of each");
    std::remove(Path.c_str());
}

TEST(XmLoader, LoadFromFileRefusesAMissingFile) {
    const std::string Path = PathInBuild("xm_loader_test_missing.xm");
    std::remove(Path.c_str());
    ExpectCannotRead(Path, "cannot open: No such file or directory");
}

TEST(XmLoader, LoadFromFileRefusesADirectory) { ExpectCannotRead(QUAVIX_BINARY_DIR, "is a directory"); }

TEST(XmLoader, LoadFromFileRefusesAPipe) {
    // A pipe would keep the caller waiting for a writer.
    const std::string Fifo = PathInBuild("xm_loader_test_refused.fifo");
    std::remove(Fifo.c_str());
    ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
    ExpectCannotRead(Fifo, "cannot read: not a regular file");
    std::remove(Fifo.c_str());
}

TEST(XmLoader, ReadFileTakesWhatAPipeGivesUpToItsEnd) {
    // Reading alone takes what a pipe gives up to its end.
    const std::string Fifo = PathInBuild("xm_loader_test.fifo");
    std::remove(Fifo.c_str());
    ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
    const TBytes Song = WriteXm(SmallXm());
    std::thread Writer([&] { SaveBytes(Fifo, Song); });
    std::vector<uint8_t> Block;
    EXPECT_TRUE(TQuavixModule::ReadFile(Fifo, Block));
    Writer.join();
    EXPECT_EQ(Block, Song);
    std::remove(Fifo.c_str());
}

TEST(LoadCursor, ShortReadsYieldZeros) {
    const uint8_t Block[5] = {1, 2, 3, 4, 5};
    TQuavixLoadCursor Cursor(Block, sizeof(Block));
    uint8_t Buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(Cursor.ReadBytes(Buffer, 3), 3u);
    EXPECT_EQ(Cursor.Offset(), 3);
    // Two of four bytes are there: they are delivered, the rest is zero.
    EXPECT_EQ(Cursor.ReadBytes(Buffer, 4), 2u);
    EXPECT_EQ(Buffer[0], 4);
    EXPECT_EQ(Buffer[1], 5);
    EXPECT_EQ(Buffer[2], 0);
    EXPECT_EQ(Buffer[3], 0);
    EXPECT_EQ(Cursor.Offset(), 5);
    EXPECT_EQ(Cursor.ReadByte(), 0);
    Cursor.SetOffset(4);
    EXPECT_EQ(Cursor.ReadWord(), 5);  // the missing high byte is zero
    Cursor.SetOffset(3);
    EXPECT_EQ(Cursor.ReadWord(), 0x0504);
    Cursor.SetOffset(1);
    EXPECT_EQ(Cursor.ReadLongWord(), 0x05040302u);
    Cursor.SetOffset(0);
    EXPECT_EQ(Cursor.ReadSignedByte(), 1);

    // Offsets past the end stay there and read nothing; moving back from
    // there lands where the sum says.
    Cursor.SetOffset(0);
    Cursor.Skip(0xFFFFFFFFll);
    Cursor.Skip(0xFFFFFFFFll);
    EXPECT_EQ(Cursor.Remaining(), 0u);
    EXPECT_EQ(Cursor.ReadBytes(Buffer, 4), 0u);
    Cursor.SetOffset(7);
    Cursor.Skip(-4);
    EXPECT_EQ(Cursor.ReadByte(), 4);
    Cursor.Skip(-100);
    EXPECT_EQ(Cursor.Offset(), 0);
    TQuavixLoadCursor Empty(nullptr, 10);
    EXPECT_EQ(Empty.Length(), 0u);
    EXPECT_EQ(Empty.ReadLongWord(), 0u);
}

}  // namespace
