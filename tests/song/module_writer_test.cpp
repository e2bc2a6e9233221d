// The module writer's own encoders: what the loader tests rely on must be
// right in the writer first.
#include <gtest/gtest.h>


#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

uint32_t ReadLe(const TBytes& Bytes, size_t Offset, int32_t Size) {
    uint32_t Value = 0;
    for (int32_t i = Size - 1; i >= 0; --i) Value = (Value << 8) | Bytes.at(Offset + i);
    return Value;
}

// Sums the deltas back up, wrapping at the point width.
std::vector<int32_t> DeltaDecode(const TBytes& Bytes, int32_t Bits) {
    std::vector<int32_t> Points;
    int32_t Accumulator = 0;
    int32_t Step = Bits / 8;
    for (size_t i = 0; i + Step <= Bytes.size(); i += Step) {
        uint32_t Delta = ReadLe(Bytes, i, Step);
        if (Bits == 16)
            Accumulator = static_cast<int16_t>(static_cast<uint16_t>(Accumulator + Delta));
        else
            Accumulator = static_cast<int8_t>(static_cast<uint8_t>(Accumulator + Delta));
        Points.push_back(Accumulator);
    }
    return Points;
}

struct TDeltaCase : quavix_test::TNamedCase {
    int32_t Bits;
    std::vector<int32_t> Points;
};

std::vector<TDeltaCase> DeltaCases() {
    return {
        {"8-bit, full-range jumps wrap", 8, {16, -16, 5, 127, -128, 127, 0}},
        {"16-bit, full-range jumps wrap", 16, {1000, -1000, 32767, -32768, 32767, 0, -1}},
    };
}

class ModuleWriterDeltaCodingRoundTrips : public ::testing::TestWithParam<TDeltaCase> {};

}  // namespace

TEST_P(ModuleWriterDeltaCodingRoundTrips, DeltaCodingRoundTrips) {
    const TDeltaCase& Case = GetParam();
    TBytes Bytes = DeltaEncode(Case.Points, Case.Bits);
    EXPECT_EQ(Bytes.size(), Case.Points.size() * Case.Bits / 8);
    EXPECT_EQ(DeltaDecode(Bytes, Case.Bits), Case.Points);
}
INSTANTIATE_TEST_SUITE_P(ModuleWriter, ModuleWriterDeltaCodingRoundTrips, ::testing::ValuesIn(DeltaCases()),
                         quavix_test::TCaseName());

TEST(ModuleWriter, DeltaCodingStoresEachStepFromTheLastPoint) {
    EXPECT_EQ(DeltaEncode({16, 0}, 8), (TBytes{0x10, 0xF0}));
}

TEST(ModuleWriter, PacksCellsByTheirPresentFields) {
    TXmPattern Pattern{2, {At(0, 0, Note("C-4"), 1, 0x40, Fx('A'), 0x0F), At(0, 1, Note("C-4")),
                           At(1, 1, 0, 0, 0, Fx('F'), 3)}};
    TBytes Expected = {49,   1,  0x40, 10, 0x0F,  // full cell: five plain bytes
                       0x81, 49,                  // note only
                       0x80,                      // empty
                       0x98, 15, 3};              // effect and parameter
    EXPECT_EQ(PackPattern(Pattern, 2), Expected);
    Pattern.Unpacked = true;
    EXPECT_EQ(PackPattern(Pattern, 2).size(), 2u * 2u * 5u);
    EXPECT_THROW(PackPattern({1, {At(1, 0, 1)}}, 2), std::invalid_argument);
}

TEST(ModuleWriter, AdpcmIsLosslessForStepsInTheTable) {
    std::vector<int32_t> Decoded;
    TBytes Bytes = AdpcmEncode({1, 3, 7, 15, 31, -1, -2}, DefaultAdpcmTable, &Decoded);
    EXPECT_EQ(Bytes.size(), 16u + 4u);
    EXPECT_EQ(Decoded, (std::vector<int32_t>{1, 3, 7, 15, 31, -1, -2}));
    EXPECT_EQ(Bytes[16], 0x21);  // +1 then +2, low nibble first
}

TEST(ModuleWriter, PlacesBlocksWhereTheSizesSay) {
    TXmSong Song = SmallXm();
    TXmSample Stereo = Sample16({100, -100, 200, -200}, "stereo");
    Stereo.NumChannels = 2;
    Stereo.Loop = TLoop::PingPong;
    Stereo.LoopStart = 1;
    Stereo.LoopLength = 1;
    Song.Instruments = {Instrument("st", Stereo)};
    Song.Instruments[0].HeaderSize = 300;
    TBytes Bytes = WriteXm(Song);

    size_t Pattern = 336;
    size_t PatternSize = ReadLe(Bytes, Pattern + 7, 2);
    size_t InstrumentStart = Pattern + 9 + PatternSize;
    size_t SampleHeader = InstrumentStart + 300;
    EXPECT_EQ(ReadLe(Bytes, SampleHeader, 4), 8u);      // 2 frames x 2 channels x 2 bytes
    EXPECT_EQ(ReadLe(Bytes, SampleHeader + 4, 4), 4u);  // loop fields in bytes too
    EXPECT_EQ(Bytes[SampleHeader + 14], 0x32);          // ping-pong, 16-bit, stereo
    // Left deltas, then right deltas, each channel starting from 0.
    auto Data = Bytes.begin() + SampleHeader + 40;
    EXPECT_EQ(DeltaDecode(TBytes(Data, Data + 4), 16), (std::vector<int32_t>{100, 200}));
    EXPECT_EQ(DeltaDecode(TBytes(Data + 4, Data + 8), 16), (std::vector<int32_t>{-100, -200}));

    Song.Version = 0x0102;
    Bytes = WriteXm(Song);
    // Older layout: instrument and sample headers first, then the pattern
    // with its row count minus one.
    EXPECT_EQ(ReadLe(Bytes, 336, 4), 300u);
    EXPECT_EQ(ReadLe(Bytes, 336 + 300 + 40, 4), 8u);
    EXPECT_EQ(Bytes[336 + 300 + 40 + 5], 63);
}

TEST(ModuleWriter, ModLengthMatchesHeaderPatternsAndSamples) {
    TModSong Song = SmallMod();
    EXPECT_EQ(WriteMod(Song).size(), 1084u + 1024u + 64u);
    Song.Tag = "6CHN";
    Song.Channels = 6;
    Song.ExtraBytes = 1;
    EXPECT_EQ(WriteMod(Song).size(), 1084u + 1536u + 64u + 1u);
    Song.Tag = "";
    Song.Channels = 4;
    Song.ExtraBytes = 0;
    EXPECT_EQ(WriteMod(Song).size(), 600u + 1024u + 64u);
    // Compressed data is padded to the announced lengths.
    Song = SmallMod();
    Song.Samples[0].Adpcm = true;
    EXPECT_EQ(WriteMod(Song).size(), 1084u + 1024u + 64u);
}

TEST(ModuleWriter, FifteenSampleHeaderHoldsFieldsAsGiven) {
    // Names of any bytes, zeros within them included; the tempo byte; order
    // entries after the song length naming patterns the file lacks.
    TModSong Song = SmallMod();
    Song.Tag = "";
    Song.Title = std::string("a\0\r\xff", 4);
    Song.Samples[0].Name = std::string("\x80\0b", 3);
    Song.RestartPosition = 120;
    Song.Orders = {0, 0, 77};
    Song.SongLength = 2;
    const TBytes Bytes = WriteMod(Song);
    EXPECT_EQ(Bytes.size(), 600u + 1024u + 64u);
    EXPECT_EQ(TBytes(Bytes.begin(), Bytes.begin() + 5), (TBytes{'a', 0, '\r', 0xFF, 0}));
    EXPECT_EQ(TBytes(Bytes.begin() + 20, Bytes.begin() + 24), (TBytes{0x80, 0, 'b', 0}));
    EXPECT_EQ(Bytes[470], 2);
    EXPECT_EQ(Bytes[471], 120);
    EXPECT_EQ(Bytes[474], 77);
}
