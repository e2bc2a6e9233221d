// Files cut short at every length: each prefix from the first length that
// holds what the format cannot do without loads as a song whose sample data
// the mixer can play safely; each shorter one is refused and leaves the song
// cleared. Every prefix is copied into a block of its own length, so a read
// past its end is caught by the address sanitizer.
#include <gtest/gtest.h>

#include <string>

#include "loader_checks.h"

using namespace quavix_test;

namespace {

// Two patterns and two instruments with every sample form and envelopes.
TXmSong RichXm(uint16_t Version) {
    TXmSong Song;
    Song.Version = Version;
    Song.Title = "cut";
    Song.Channels = 2;
    Song.Orders = {0, 1};
    Song.Patterns.push_back({4, {At(0, 0, Note("C-4"), 1, 0x40, 1, 2), At(3, 1, KeyOff)}});
    Song.Patterns.push_back({2, {At(1, 1, Note("E-5"), 2)}});
    TXmSample Looped = Sample8({0, 30, 60, 30, 0, -30, -60, -30}, "looped");
    Looped.Loop = TLoop::Forward;
    Looped.LoopStart = 2;
    Looped.LoopLength = 4;
    TXmSample Stereo = Sample16({1000, -1000, 2000, -2000, 3000, -3000}, "stereo");
    Stereo.NumChannels = 2;
    Stereo.Loop = TLoop::PingPong;
    Stereo.LoopStart = 1;
    Stereo.LoopLength = 2;
    TXmInstrument First;
    First.Name = "first";
    First.Samples = {Looped, Stereo};
    First.VolumeEnvelope.Points = {{0, 64}, {10, 32}, {20, 0}};
    First.VolumeEnvelope.SustainPoint = 1;
    First.PanningEnvelope.Points = {{0, 0}, {200, 64}, {44, 32}};
    First.PanningEnvelope.LoopStart = 0;
    First.PanningEnvelope.LoopEnd = 2;
    TXmSample Packed = Sample8({1, 3, 7, 15, 31, 15, 7});
    Packed.Adpcm = true;
    Packed.Loop = TLoop::Forward;
    Packed.LoopStart = 1;
    Packed.LoopLength = 5;
    TXmInstrument Second = Instrument("second", Packed);
    Second.Samples.push_back(Sample8({-1, -2}));
    Song.Instruments = {First, Second, TXmInstrument()};
    return Song;
}

TModSong RichMod(const std::string& Tag) {
    TModSong Song = SmallMod();
    Song.Tag = Tag;
    Song.Orders = {0, 1};
    Song.Patterns.push_back({{ModAt(5, 2, Note("A-4"), 2, 0xE, 0x12)}});
    TModSample Packed;
    for (int32_t k = 0; k < 48; ++k) Packed.Values.push_back(k % 2 == 0 ? 4 : -4);
    Packed.Adpcm = true;
    Packed.LoopStartWords = 2;
    Packed.LoopLengthWords = 8;
    TModSample Tail;
    Tail.Values = {9, 8, 7, 6};
    Song.Samples.push_back(Packed);
    Song.Samples.push_back(Tail);
    return Song;
}

void LoadEveryPrefix(const TBytes& Bytes, size_t FirstLoaded) {
    TQuavixModule M;
    for (size_t Size = 0; Size <= Bytes.size(); ++Size) {
        TBytes Prefix(Bytes.begin(), Bytes.begin() + static_cast<std::ptrdiff_t>(Size));
        const bool Result = static_cast<bool>(LoadBytes(M, Prefix));
        ASSERT_EQ(Result, Size >= FirstLoaded) << Size;
        ASSERT_EQ(Result, M.Loaded) << Size;
        if (Result) {
            ASSERT_TRUE(SamplesWithinData(M)) << Size;
        } else {
            ASSERT_TRUE(IsCleared(M)) << Size;
        }
    }
}

// An Extended Module loads once its song header is whole.
constexpr size_t XmSongHeader = 336;

TEST(Truncation, ExtendedModulePrefixes) {
    for (uint16_t Version : {0x0102, 0x0103, 0x0104}) {
        SCOPED_TRACE(Version);
        LoadEveryPrefix(WriteXm(RichXm(Version)), XmSongHeader);
    }
}

TEST(Truncation, ExtendedModuleWithChunksPrefixes) {
    TXmSong Song = RichXm(0x0104);
    Song.Chunks = {TextChunk("line\rnext"), PatternNamesChunk({"a", "b"}), ChannelNamesChunk({"l", "r"}),
                   ChannelPluginsChunk({1, 2}), OpaqueChunk("FX01", TBytes(5, 1)), OpaqueChunk("EQFX", TBytes(3, 2)),
                   MidiChunk({{0, "FF"}}), OpaqueChunk("MODU", TBytes(4, 3))};
    LoadEveryPrefix(WriteXm(Song), XmSongHeader);
}

TEST(Truncation, PatternFormatPrefixes) {
    // A tagged file loads once it holds its tag; the 15-sample form once it
    // holds its two patterns and the data of every sample but the last: the
    // 64 bytes of the first and the 48 the second announces.
    LoadEveryPrefix(WriteMod(RichMod("M.K.")), 1084);
    LoadEveryPrefix(WriteMod(RichMod("")), 600 + 2 * 1024 + 64 + 48);
}

}  // namespace
