// Sample data: the decoders, byte lengths to frames, the size limit and the
// guard frames the interpolating mixer reads.
#include <gtest/gtest.h>

#include <vector>
#include "loader_checks.h"
#include "song/load_cursor.h"
#include "song/sample_decode.h"
#include "support/case_names.h"

using namespace quavix_test;

namespace {

std::vector<int32_t> AllValues(const TQuavixSample& S) {
    if (!S.Data) return {};
    return std::vector<int32_t>(S.Data, S.Data + S.DataCount());
}

// Left points followed by right points, as the stereo forms store them.
TBytes StereoDeltas(const std::vector<int32_t>& Left, const std::vector<int32_t>& Right, int32_t Bits) {
    TBytes Bytes = DeltaEncode(Left, Bits);
    TBytes More = DeltaEncode(Right, Bits);
    Bytes.insert(Bytes.end(), More.begin(), More.end());
    return Bytes;
}

enum TKind { Delta8, Delta16, Adpcm };

struct TDecodersCase : quavix_test::TNamedCase {
    TKind Kind;
    int32_t Channels;
    TBytes Source;
    int32_t Count;
    std::vector<int32_t> Expected;
    uint32_t Consumed;
};

std::vector<TDecodersCase> DecodersCases() {
    const std::array<int8_t, 16> Table = {0, 1, 2, 4, 8, 16, 32, 64, -1, -2, -4, -8, -16, -32, -64, -128};
    return {
        {"8-bit", Delta8, 1, DeltaEncode({16, 0, 5}, 8), 3, {4096, 0, 1280}, 3},
        {"8-bit wraps", Delta8, 1, DeltaEncode({127, -128}, 8), 2, {32512, -32768}, 2},
        {"8-bit stereo", Delta8, 2, StereoDeltas({1, 2}, {-3, -4}, 8), 4, Scaled({1, -3, 2, -4}), 4},
        // An odd count leaves one byte (and one value) unused.
        {"8-bit stereo, odd count", Delta8, 2, StereoDeltas({1, 2}, {-3, -4}, 8), 5, {256, -768, 512, -1024, 0}, 4},
        {"8-bit stereo, no frame", Delta8, 2, {7}, 1, {0}, 0},
        {"16-bit", Delta16, 1, DeltaEncode({1000, -1000, 32767}, 16), 6, {1000, -1000, 32767}, 6},
        {"16-bit wraps", Delta16, 1, DeltaEncode({32767, -32768}, 16), 4, {32767, -32768}, 4},
        {"16-bit stereo", Delta16, 2, StereoDeltas({100, 200}, {-100, -200}, 16), 8, {100, -100, 200, -200}, 8},
        {"16-bit, odd count", Delta16, 1, DeltaEncode({5, 6}, 16), 3, {5}, 2},
        {"16-bit, one byte", Delta16, 1, {9}, 1, {}, 0},
        {"adpcm", Adpcm, 1, AdpcmEncode({1, 3, 7, -1}, Table), 4, Scaled({1, 3, 7, -1}), 18},
        {"adpcm, odd count", Adpcm, 1, AdpcmEncode({-1, -3, 61}, Table), 3, Scaled({-1, -3, 61}), 18},
        {"adpcm wraps", Adpcm, 1, AdpcmEncode({-128, 0, -1}, Table), 3, Scaled({-128, 0, -1}), 18},
    };
}

class SampleDecodeDecoders : public ::testing::TestWithParam<TDecodersCase> {};

TEST_P(SampleDecodeDecoders, Decoders) {
    const TDecodersCase& Case = GetParam();
    TBytes Source = Case.Source;
    Source.push_back(0x55);  // a byte of whatever follows
    TQuavixLoadCursor Cursor(Source.data(), static_cast<uint32_t>(Source.size()));
    TQuavixSample S;
    S.NumChannels = Case.Channels;
    if (Case.Kind == Delta8) DecodeDelta8(Cursor, Case.Count, S);
    if (Case.Kind == Delta16) DecodeDelta16(Cursor, Case.Count, S);
    if (Case.Kind == Adpcm) DecodeAdpcm(Cursor, Case.Count, S);
    EXPECT_EQ(AllValues(S), Case.Expected);
    EXPECT_EQ(Cursor.Offset(), Case.Consumed);
}
INSTANTIATE_TEST_SUITE_P(SampleDecode, SampleDecodeDecoders, ::testing::ValuesIn(DecodersCases()),
                         quavix_test::TCaseName());

TEST(SampleDecode, DataCutShortEndsInSilence) {
    // Delta data that stops early: the points it lacks are silence, not the
    // last level held on.
    TBytes Bytes = DeltaEncode({10, 20}, 8);
    TQuavixLoadCursor Cursor(Bytes.data(), static_cast<uint32_t>(Bytes.size()));
    TQuavixSample S;
    DecodeDelta8(Cursor, 4, S);
    EXPECT_EQ(AllValues(S), Scaled({10, 20, 0, 0}));

    // A 16-bit word cut in half keeps its low byte: the delta from 300 to
    // 258 is -42 (0xFFD6), of which 0xD6 = 214 is left.
    Bytes = DeltaEncode({300, 258}, 16);
    Bytes.pop_back();
    TQuavixLoadCursor Cursor16(Bytes.data(), static_cast<uint32_t>(Bytes.size()));
    DecodeDelta16(Cursor16, 6, S);
    EXPECT_EQ(AllValues(S), (std::vector<int32_t>{300, 514, 0}));

    // ADPCM codes cut short: the points of the missing codes are silence.
    Bytes = AdpcmEncode({1, 2, 3, 4, 5}, DefaultAdpcmTable);
    Bytes.resize(16 + 1);
    TQuavixLoadCursor CursorCodes(Bytes.data(), static_cast<uint32_t>(Bytes.size()));
    DecodeAdpcm(CursorCodes, 5, S);
    EXPECT_EQ(AllValues(S), Scaled({1, 2, 0, 0, 0}));

    // ADPCM whose table is cut short reads an all-zero table.
    Bytes = AdpcmEncode({1, 2, 3}, DefaultAdpcmTable);
    Bytes.resize(15);
    TQuavixLoadCursor CursorAdpcm(Bytes.data(), static_cast<uint32_t>(Bytes.size()));
    DecodeAdpcm(CursorAdpcm, 3, S);
    EXPECT_EQ(AllValues(S), (std::vector<int32_t>{0, 0, 0}));
}

// One instrument holding the given samples, followed by a marker sample
// whose data tells where the reader stood afterwards.
TXmSong SongOf(std::vector<TXmSample> Samples) {
    Samples.push_back(Sample8({77, 78}, "marker"));
    TXmInstrument I;
    I.Name = "i";
    I.Samples = std::move(Samples);
    TXmSong Song = SmallXm();
    Song.Instruments = {I};
    return Song;
}

const TQuavixSample& LoadedSample(const TQuavixModule& M, int32_t Slot) { return *M.Instruments[1]->Samples[Slot]; }

TEST(SampleDecode, AFileCutShortKeepsTheSampleItReachesAndDropsTheRest) {
    // One instrument with two samples of 1000 points each; the file ends 400
    // bytes into the first one's data, so the second one's data is not in
    // the file at all.
    std::vector<int32_t> Ramp(1000);
    for (size_t i = 0; i < Ramp.size(); ++i) Ramp[i] = static_cast<int32_t>(i % 100);
    TXmSample Looped = Sample8(Ramp, "second");
    Looped.Loop = TLoop::Forward;
    Looped.LoopStart = 10;
    Looped.LoopLength = 500;
    TXmSong Song = SongOf({Sample8(Ramp, "first"), Looped});
    Song.CutBytes = 1600 + 2;  // the second sample's data and the marker's
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(Song)));
    ASSERT_TRUE(SamplesWithinData(M));

    const TQuavixSample& Reached = LoadedSample(M, 0);
    EXPECT_EQ(Reached.Length, 1000) << "a sample cut short keeps its length";
    EXPECT_EQ(Reached.Data[399], 99 * 256);
    EXPECT_EQ(Reached.Data[400], 0) << "what the file lacks is silence";
    EXPECT_EQ(Reached.Data[999], 0);

    const TQuavixSample& Missing = LoadedSample(M, 1);
    EXPECT_EQ(Missing.Name, "second") << "the header is kept";
    EXPECT_EQ(Missing.Length, 0);
    EXPECT_EQ(Missing.Data, nullptr);
    EXPECT_FALSE(Missing.Loop);
}


struct TLengthCase : quavix_test::TNamedCase {
    int32_t Bits, Channels;
    std::vector<int32_t> Points;
    int32_t LoopStart, LoopLength;  // frames, as written
    int32_t Frames;
};

std::vector<TLengthCase> LengthCases() {
    return {
        {"8-bit mono", 8, 1, {1, 2, 3, 4}, 1, 3, 4},
        {"8-bit stereo", 8, 2, {1, 2, 3, 4, 5, 6}, 1, 2, 3},
        {"16-bit mono", 16, 1, {100, 200, 300}, 1, 2, 3},
        {"16-bit stereo", 16, 2, {100, -100, 200, -200}, 1, 1, 2},
    };
}

class SampleDecodeByteLengthsBecomeFrames : public ::testing::TestWithParam<TLengthCase> {};

TEST_P(SampleDecodeByteLengthsBecomeFrames, ByteLengthsBecomeFrames) {
    const TLengthCase& Case = GetParam();
    TXmSample S = Case.Bits == 16 ? Sample16(Case.Points) : Sample8(Case.Points);
    S.NumChannels = Case.Channels;
    S.Loop = TLoop::Forward;
    S.LoopStart = Case.LoopStart;
    S.LoopLength = Case.LoopLength;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(SongOf({S}))));
    const TQuavixSample& L = LoadedSample(M, 0);
    EXPECT_EQ(L.Length, Case.Frames);
    EXPECT_EQ(L.LoopStart, Case.LoopStart);
    EXPECT_EQ(L.LoopLength, Case.LoopLength);
    EXPECT_EQ(L.NumChannels, Case.Channels);
    EXPECT_EQ(Values(L), Case.Bits == 16 ? Case.Points : Scaled(Case.Points));
    EXPECT_EQ(Values(LoadedSample(M, 1)), Scaled({77, 78}));
}
INSTANTIATE_TEST_SUITE_P(SampleDecode, SampleDecodeByteLengthsBecomeFrames, ::testing::ValuesIn(LengthCases()),
                         quavix_test::TCaseName());

TEST(SampleDecode, OddByteCountsRoundDown) {
    // 16-bit stereo: 9 bytes give 2 frames, the loop fields divided by 4;
    // a loop that is left without a whole frame is off.
    TXmSample S = Sample16({100, -100, 200, -200});
    S.NumChannels = 2;
    S.LengthBytes = 9;
    S.Loop = TLoop::Forward;
    S.LoopStartBytes = 6;
    S.LoopLengthBytes = 3;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(SongOf({S}))));
    const TQuavixSample& L = LoadedSample(M, 0);
    EXPECT_EQ(L.Length, 2);
    EXPECT_EQ(L.LoopStart, 1);
    EXPECT_EQ(L.LoopLength, 0);
    EXPECT_FALSE(L.Loop);
    EXPECT_TRUE(SamplesWithinData(M));
}

// The most sample data kept, in bytes.
const int32_t Limit = 524288;

struct TLimitCase : quavix_test::TNamedCase {
    TLoop Loop;
    int32_t LoopStart, LoopLength;
    bool LoadedLoop;
    int32_t LoadedStart, LoadedLength;
};

const TLimitCase LimitCases[] = {
    {"no loop", TLoop::None, 0, 0, false, 0, 0},
    {"loop inside the kept part", TLoop::Forward, 1000, 2000, true, 1000, 2000},
    {"loop starting past the cut", TLoop::Forward, Limit + 10, 50, false, 0, 50},
    // A loop that runs past the cut ends with the kept data.
    {"loop across the cut", TLoop::PingPong, Limit - 100, 200, true, Limit - 100, 100},
    {"loop starting at the cut", TLoop::Forward, Limit, 50, false, Limit, 0},
};

class SampleDecodeSampleDataIsLimitedTo512KiB : public ::testing::TestWithParam<TLimitCase> {};

TEST_P(SampleDecodeSampleDataIsLimitedTo512KiB, SampleDataIsLimitedTo512KiB) {
    const TLimitCase& Case = GetParam();
    std::vector<int32_t> Points(Limit + 300);
    for (size_t k = 0; k < Points.size(); ++k) Points[k] = static_cast<int32_t>(k % 200) - 100;
    TXmSample Long = Sample8(Points);
    Long.Loop = Case.Loop;
    Long.LoopStart = Case.LoopStart;
    Long.LoopLength = Case.LoopLength;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(SongOf({Long}))));
    const TQuavixSample& L = LoadedSample(M, 0);
    EXPECT_EQ(L.Length, Limit);
    EXPECT_EQ(L.Data[Limit - 1], Points[Limit - 1] * 256);
    EXPECT_EQ(L.Loop, Case.LoadedLoop);
    EXPECT_EQ(L.LoopStart, Case.LoadedStart);
    EXPECT_EQ(L.LoopLength, Case.LoadedLength);
    // The next sample's data starts after the whole stored data.
    EXPECT_EQ(Values(LoadedSample(M, 1)), Scaled({77, 78}));
    EXPECT_TRUE(SamplesWithinData(M));
}
INSTANTIATE_TEST_SUITE_P(SampleDecode, SampleDecodeSampleDataIsLimitedTo512KiB, ::testing::ValuesIn(LimitCases),
                         quavix_test::TCaseName());

struct TWidthCase : quavix_test::TNamedCase {
    int32_t Bits;
};

const TWidthCase Widths[] = {
    {"8-bit", 8},
    {"16-bit", 16},
};

class SampleDecodeStereoDataOverTheLimitKeepsTheStartOfBothChannels : public ::testing::TestWithParam<TWidthCase> {};

TEST_P(SampleDecodeStereoDataOverTheLimitKeepsTheStartOfBothChannels,
       StereoDataOverTheLimitKeepsTheStartOfBothChannels) {
    // A stereo sample stores all its left deltas, then all its right ones.
    // The limit keeps the first frames of each channel, so the right channel
    // still starts with its own first frame.
    const int32_t Bits = GetParam().Bits;
    const int32_t BytesPerFrame = 2 * Bits / 8;
    const int32_t Kept = Limit / BytesPerFrame;
    std::vector<int32_t> Points;
    for (int32_t f = 0; f < Kept + 1000; ++f) {
        Points.push_back(f % 100);
        Points.push_back(-1 - f % 77);
    }
    TXmSample S = Bits == 16 ? Sample16(Points) : Sample8(Points);
    S.NumChannels = 2;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(SongOf({S}))));
    const TQuavixSample& L = LoadedSample(M, 0);
    ASSERT_EQ(L.Length, Kept);
    std::vector<int32_t> Expected(Points.begin(), Points.begin() + 2 * Kept);
    if (Bits == 8) Expected = Scaled(Expected);
    const std::vector<int32_t> Loaded = Values(L);
    EXPECT_EQ(Loaded[1], Expected[1]) << "first right frame";
    EXPECT_EQ(Loaded[2 * Kept - 1], Expected[2 * Kept - 1]) << "last right frame";
    EXPECT_TRUE(Loaded == Expected);
    EXPECT_EQ(Values(LoadedSample(M, 1)), Scaled({77, 78}));
}
INSTANTIATE_TEST_SUITE_P(SampleDecode, SampleDecodeStereoDataOverTheLimitKeepsTheStartOfBothChannels,
                         ::testing::ValuesIn(Widths), quavix_test::TCaseName());

TEST(SampleDecode, DataAfterAnAdpcmSampleStartsWhereItsCodesEnd) {
    TXmSample Packed = Sample8({1, 3, 7, 15, 31});
    Packed.Adpcm = true;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteXm(SongOf({Packed}))));
    const TQuavixSample& L = LoadedSample(M, 0);
    EXPECT_TRUE(L.Compressed);
    EXPECT_EQ(L.Length, 5);
    EXPECT_EQ(Values(L), Scaled({1, 3, 7, 15, 31}));
    // 16 table bytes and 3 code bytes, not the 5 the length gives.
    EXPECT_EQ(Values(LoadedSample(M, 1)), Scaled({77, 78}));
}

TEST(SampleDecode, PackingByteMeansAdpcmOnlyFor8BitMono) {
    TXmSample Wide = Sample16({500, 600});
    Wide.Adpcm = false;
    TXmSong Song = SongOf({Wide});
    TBytes Bytes = WriteXm(Song);
    // Sets the packing byte of the 16-bit sample's header to 0xAD.
    const size_t SampleHeader = 336 + 9 + (Bytes[336 + 7] | (Bytes[336 + 8] << 8)) + 263;
    ASSERT_EQ(Bytes[SampleHeader + 14], 0x10);
    Bytes[SampleHeader + 17] = 0xAD;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, Bytes));
    EXPECT_FALSE(LoadedSample(M, 0).Compressed);
    EXPECT_EQ(Values(LoadedSample(M, 0)), (std::vector<int32_t>{500, 600}));
}

// A sample of Frames frames whose frame f holds the value (f + 1) * 100 on
// every channel (the right channel negated).
TQuavixSample& Ramp(TQuavixSample& S, int32_t Frames, int32_t Channels) {
    S.NumChannels = Channels;
    S.Length = Frames;
    S.AllocateData(Frames * Channels);
    for (int32_t f = 0; f < Frames; ++f)
        for (int32_t c = 0; c < Channels; ++c) S.Data[f * Channels + c] = (c == 0 ? 1 : -1) * (f + 1) * 100;
    return S;
}

// The frame values from frame From (may be negative) to To - 1, left channel.
std::vector<int32_t> Frames(const TQuavixSample& S, int32_t From, int32_t To, int32_t Channel = 0) {
    std::vector<int32_t> Result;
    for (int32_t f = From; f < To; ++f) Result.push_back(S.Data[f * S.NumChannels + Channel]);
    return Result;
}

struct TGuardCase : quavix_test::TNamedCase {
    int32_t Channels;
    bool Loop, PingPong;
    int32_t LoopStart, LoopLength;
    std::vector<int32_t> After;  // frames 10..13 of the left channel, in units of 100
    std::vector<int32_t> AtLoopEnd;  // frames 6..9
    std::vector<int32_t> Before = {1, 1, 1, 1};  // frames -4..-1
};

std::vector<TGuardCase> GuardCases() {
    return {
        {"no loop", 1, false, false, 2, 4, {10, 10, 10, 10}, {7, 8, 9, 10}},
        {"forward loop", 1, true, false, 2, 4, {10, 10, 10, 10}, {3, 4, 5, 6}},
        {"forward loop, stereo", 2, true, false, 2, 4, {10, 10, 10, 10}, {3, 4, 5, 6}},
        // A ping-pong loop's end mirrors its last frames, and a short one
        // turns back and forth.
        {"ping-pong loop", 1, true, true, 2, 4, {10, 10, 10, 10}, {6, 5, 4, 3}},
        {"short ping-pong loop", 1, true, true, 5, 2, {7, 10, 10, 10}, {7, 7, 6, 6}},
        // A loop from frame 0 gets its copy like any other, and the frames
        // before the first are those the loop comes back from: its last
        // frames, or ping-pong the ones after its first.
        {"loop from the start", 1, true, false, 0, 6, {10, 10, 10, 10}, {1, 2, 3, 4}, {3, 4, 5, 6}},
        {"whole sample looped from the start", 1, true, false, 0, 10, {1, 2, 3, 4}, {7, 8, 9, 10}, {7, 8, 9, 10}},
        {"ping-pong loop from the start", 1, true, true, 0, 4, {10, 10, 10, 10}, {2, 1, 9, 10}, {4, 4, 3, 2}},
        // A loop ending with the sample replaces the repeats of the last frame.
        {"loop to the end", 1, true, false, 3, 7, {4, 5, 6, 7}, {7, 8, 9, 10}},
        // A loop of one frame repeats that frame.
        {"one-frame loop", 1, true, false, 5, 1, {10, 10, 10, 10}, {6, 6, 6, 6}},
        {"loop past the end", 1, true, false, 8, 4, {10, 10, 10, 10}, {7, 8, 9, 10}},
    };
}

class SampleDecodePrepareDataWritesGuardFrames : public ::testing::TestWithParam<TGuardCase> {};

TEST_P(SampleDecodePrepareDataWritesGuardFrames, PrepareDataWritesGuardFrames) {
    const TGuardCase& Case = GetParam();
    TQuavixSample S;
    Ramp(S, 10, Case.Channels);
    S.Loop = Case.Loop;
    S.PingPong = Case.PingPong;
    S.LoopStart = Case.LoopStart;
    S.LoopLength = Case.LoopLength;
    S.PrepareData();
    std::vector<int32_t> Before, After, AtLoopEnd;
    for (int32_t Value : Frames(S, -4, 0)) Before.push_back(Value / 100);
    EXPECT_EQ(Before, Case.Before);
    for (int32_t Value : Frames(S, 10, 14)) After.push_back(Value / 100);
    for (int32_t Value : Frames(S, 6, 10)) AtLoopEnd.push_back(Value / 100);
    EXPECT_EQ(After, Case.After);
    EXPECT_EQ(AtLoopEnd, Case.AtLoopEnd);
    if (Case.Channels == 2) {
        EXPECT_EQ(Frames(S, -4, 0, 1), (std::vector<int32_t>{-100, -100, -100, -100}));
        EXPECT_EQ(Frames(S, 6, 10, 1), (std::vector<int32_t>{-300, -400, -500, -600}));
    }
}
INSTANTIATE_TEST_SUITE_P(SampleDecode, SampleDecodePrepareDataWritesGuardFrames, ::testing::ValuesIn(GuardCases()),
                         quavix_test::TCaseName());

TEST(SampleDecode, PrepareDataLeavesUnusableSamplesAlone) {
    TQuavixSample NoData;
    NoData.Length = 10;
    NoData.PrepareData();  // nothing to write to
    EXPECT_EQ(NoData.Data, nullptr);

    // More frames than values: nothing is written outside the block.
    TQuavixSample Short;
    Short.AllocateData(4);
    Short.Length = 100;
    Short.PrepareData();
    EXPECT_EQ(Short.Data[-1], 0);

    TQuavixSample OneFrame;
    Ramp(OneFrame, 1, 1);
    OneFrame.PrepareData();
    EXPECT_EQ(Frames(OneFrame, -4, 5), (std::vector<int32_t>(9, 100)));
}

}  // namespace
