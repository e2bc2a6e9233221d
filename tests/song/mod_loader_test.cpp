// Loading pattern-format files: tags and channel counts, the 15-sample form
// and what tells it from other data, the pattern count, files of any length,
// periods, finetune and samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "loader_checks.h"
#include "support/case_names.h"

using namespace quavix_test;

namespace {

// A song of Count patterns of the given channel count, pattern p holding one
// note on its first row, and one sample.
TModSong SongWith(const std::string& Tag, int32_t Channels, int32_t Count) {
    TModSong Song = SmallMod();
    Song.Tag = Tag;
    Song.Channels = Channels;
    Song.Patterns.clear();
    for (int32_t p = 0; p < Count; ++p)
        Song.Patterns.push_back({{ModAt(0, p % Channels, 25 + p % 60, 1)}});
    Song.Orders.clear();
    for (int32_t p = 0; p < Count; ++p) Song.Orders.push_back(static_cast<uint8_t>(p));
    return Song;
}

TEST(ModLoader, LoadsATaggedSong) {
    TModSong Song = SmallMod();
    Song.Title = " spaced ";
    Song.Orders = {0, 1, 0};
    Song.RestartPosition = 2;
    Song.Patterns.push_back({{ModAt(63, 3, Note("B-6"), 2, 0xF, 0x7D)}});
    TModSample Second;
    Second.Values = {1, 2, 3, 4};
    Second.Volume = 70;
    Second.FineTune = 0x0F;
    Song.Samples.push_back(Second);
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    EXPECT_TRUE(M.Loaded);
    EXPECT_EQ(M.Name, " spaced ");  // not trimmed
    EXPECT_EQ(M.Format, TQuavixFormat::PatternFormat);
    EXPECT_EQ(M.FormatTag, "M.K.");
    EXPECT_EQ(M.NumChannels, 4);
    EXPECT_FALSE(M.LinearSlides);
    EXPECT_EQ(M.SongLength, 3);
    EXPECT_EQ(M.RestartPosition, 2);
    EXPECT_EQ(M.Orders[1], 1);
    EXPECT_EQ(M.Patterns[0]->Rows, 64);
    EXPECT_EQ(M.Patterns[1]->Rows, 64);
    EXPECT_TRUE(M.Patterns[2]->Notes.empty());
    EXPECT_EQ(CellAt(M, 0, 0, 0), MakeCell(Note("C-3"), 1));
    EXPECT_EQ(CellAt(M, 0, 16, 3), MakeCell(Note("E-3"), 1, 0, 0xC, 0x20));
    EXPECT_EQ(CellAt(M, 1, 63, 3), MakeCell(Note("B-6"), 2, 0, 0xF, 0x7D));

    for (int32_t i = 1; i <= 31; ++i) {
        ASSERT_TRUE(M.Instruments[i]) << i;
        const TQuavixInstrument& I = *M.Instruments[i];
        EXPECT_EQ(I.FadeOut, 65536);
        EXPECT_FALSE(I.VolumeEnvelope->Enabled);
        EXPECT_FALSE(I.PanningEnvelope->Enabled);
        ASSERT_TRUE(I.Samples[0]);
        EXPECT_EQ(I.Samples[1], nullptr);
        EXPECT_FALSE(I.Samples[0]->HasPanning);
        EXPECT_EQ(I.Samples[0]->Panning, 128);
        EXPECT_EQ(I.Samples[0]->Bits, 8);
    }
    EXPECT_EQ(M.Instruments[32], nullptr);
    const TQuavixSample& Saw = *M.Instruments[1]->Samples[0];
    EXPECT_EQ(Saw.Length, 64);
    EXPECT_EQ(Saw.Data[0], -128 * 256);
    EXPECT_EQ(Saw.Data[63], 124 * 256);
    EXPECT_EQ(Saw.Volume, 64);
    EXPECT_TRUE(Saw.Loop);
    const TQuavixSample& Small = *M.Instruments[2]->Samples[0];
    EXPECT_EQ(Values(Small), Scaled({1, 2, 3, 4}));
    EXPECT_EQ(Small.Volume, 70);
    EXPECT_EQ(Small.FineTune, -16);
    EXPECT_FALSE(Small.Loop);
    EXPECT_EQ(M.Instruments[3]->Samples[0]->Length, 0);
    EXPECT_EQ(M.Instruments[3]->Samples[0]->Data, nullptr);
    EXPECT_TRUE(SamplesWithinData(M));
}

// Name: the tag, its marks spelt out where two tags differ only in them.
struct TTagCase : quavix_test::TNamedCase {
    std::string Tag;
    int32_t Channels;
};

const TTagCase TagCases[] = {
    {"M.K. with dots", "M.K.", 4},
    {"M!K! with exclamation marks", "M!K!", 4},
    {"M&K! with an ampersand", "M&K!", 4},
    {"N.T.", "N.T.", 4},
    {"OCTA", "OCTA", 8},
    {"OKTA", "OKTA", 8},
    {"CD81", "CD81", 8},
    {"WOW!", "WOW!", 8},
    {"TDZ3", "TDZ3", 3},
    {"FLT8", "FLT8", 8},
    {"EXO6", "EXO6", 6},
    {"6CHN", "6CHN", 6},
    {"1CHN", "1CHN", 1},
    {"16CH", "16CH", 16},
    {"32CN", "32CN", 32},
    {"EX12", "EX12", 12},
};

class ModLoaderTagsNameTheChannelCount : public ::testing::TestWithParam<TTagCase> {};

TEST_P(ModLoaderTagsNameTheChannelCount, TagsNameTheChannelCount) {
    const TTagCase& Case = GetParam();
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(SongWith(Case.Tag, Case.Channels, 2))));
    EXPECT_EQ(M.NumChannels, Case.Channels);
    EXPECT_EQ(M.FormatTag, Case.Tag);
    EXPECT_EQ(M.Patterns[1]->Channels, Case.Channels);
    EXPECT_EQ(CellAt(M, 1, 0, 1 % Case.Channels), MakeCell(26, 1));
}
INSTANTIATE_TEST_SUITE_P(ModLoader, ModLoaderTagsNameTheChannelCount, ::testing::ValuesIn(TagCases),
                         quavix_test::TCaseName());

TEST(ModLoader, DefaultPanningByGroupsOfFour) {
    TQuavixModule M;
    for (auto& Channel : M.Channels) Channel->DefaultPanning = 77;
    ASSERT_TRUE(LoadBytes(M, WriteMod(SongWith("6CHN", 6, 1))));
    const int32_t Expected[] = {0, 255, 255, 0, 77, 77};
    for (int32_t c = 0; c < 6; ++c) EXPECT_EQ(M.Channels[c]->DefaultPanning, Expected[c]) << c;
    ASSERT_TRUE(LoadBytes(M, WriteMod(SongWith("OCTA", 8, 1))));
    for (int32_t c = 0; c < 8; ++c) EXPECT_EQ(M.Channels[c]->DefaultPanning, (c % 4 == 1 || c % 4 == 2) ? 255 : 0);
}

TEST(ModLoader, FourChannelTagWithRoomForTwiceThePatternsIsEightChannels) {
    // The patterns the order list names fill the file when read as 8 channels.
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(SongWith("M.K.", 8, 3))));
    EXPECT_EQ(M.NumChannels, 8);
    EXPECT_EQ(CellAt(M, 2, 0, 2), MakeCell(27, 1));
}

TEST(ModLoader, FifteenSampleForm) {
    TModSong Song = SongWith("", 4, 2);
    for (int32_t i = 1; i < 15; ++i) {
        TModSample S;
        S.Values = {i, -i};
        Song.Samples.push_back(S);
    }
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    EXPECT_EQ(M.NumChannels, 4);
    EXPECT_EQ(M.Format, TQuavixFormat::PatternFormat);
    EXPECT_EQ(M.FormatTag, "");
    EXPECT_EQ(M.SongLength, 2);
    ASSERT_TRUE(M.Instruments[15]);
    EXPECT_EQ(M.Instruments[16], nullptr);
    EXPECT_EQ(Values(*M.Instruments[15]->Samples[0]), Scaled({14, -14}));
    EXPECT_EQ(CellAt(M, 1, 0, 1), MakeCell(26, 1));

    // The Soundtrackers had 4 channels: a length that would hold the named
    // patterns as 8-channel ones does not make them so.
    Song = SongWith("", 4, 4);
    Song.Orders = {0, 1};
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    EXPECT_EQ(M.NumChannels, 4);
    EXPECT_EQ(M.Patterns[1]->Rows, 64);
    EXPECT_EQ(M.Patterns[2]->Rows, 0);
}

TEST(ModLoader, NoFileOfOneRepeatedByteIsASong) {
    // Long enough for every pattern and sample such a header would announce.
    for (int32_t Byte = 0; Byte < 256; ++Byte) {
        TQuavixModule M;
        EXPECT_FALSE(LoadBytes(M, TBytes(40000, static_cast<uint8_t>(Byte)))) << Byte;
    }
}

TEST(ModLoader, TagBytesSpellingAnUnusableCountAreSongData) {
    // A tagless file whose pattern data at the tag's place reads "ZZCH",
    // which would name 462 channels: it loads as the 15-sample form.
    TModSong Song = SongWith("", 4, 1);
    TModPlacedCell Cell = ModAt(30, 0, 0, 0x54, 3, 'H');
    Cell.Cell.Period = 0xA5A;  // with the instrument's high nibble: 'Z', 'Z'
    Song.Patterns[0].Cells.push_back(Cell);
    TBytes Bytes = WriteMod(Song);
    ASSERT_EQ(std::string(Bytes.begin() + 1080, Bytes.begin() + 1084), "ZZCH");
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, Bytes));
    EXPECT_EQ(M.NumChannels, 4);
    EXPECT_EQ(M.FormatTag, "");
    EXPECT_EQ(CellAt(M, 0, 30, 0), MakeCell(25, 0x54, 0, 3, 'H'));
}

struct TRefusedFilesCase : quavix_test::TNamedCase {
    TBytes File;
    TQuavixLoadError Error;
};

std::vector<TRefusedFilesCase> RefusedFilesCases() {
    return {
        {"tag starting with two P", WriteMod(SongWith("PP20", 4, 1)), TQuavixLoadError::Unsupported},
        // Tags no song has leave the file to be the 15-sample form, which its
        // header then is not.
        {"unknown tag with 31 samples", WriteMod(SongWith("ABCD", 4, 1)), TQuavixLoadError::NotModule},
        {"count below one", WriteMod(SongWith("FLT/", 4, 1)), TQuavixLoadError::NotModule},
        {"letters for the count", WriteMod(SongWith("EXAM", 4, 1)), TQuavixLoadError::NotModule},
        {"a letter in the count", WriteMod(SongWith("1ACH", 4, 1)), TQuavixLoadError::NotModule},
        // Neither reference player reads the character after 9 as 10.
        {"the character after 9", WriteMod(SongWith("FLT:", 10, 1)), TQuavixLoadError::NotModule},
        {"zero channels", WriteMod(SongWith("TDZ0", 4, 1)), TQuavixLoadError::NotModule},
        {"shorter than a header", TBytes(599, 0), TQuavixLoadError::NotModule},
        {"only a header", TBytes(600, 0), TQuavixLoadError::NotModule},
    };
}

class ModLoaderRefusedFiles : public ::testing::TestWithParam<TRefusedFilesCase> {};

TEST_P(ModLoaderRefusedFiles, RefusedFiles) {
    const TRefusedFilesCase& Case = GetParam();
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(SmallMod())));
    EXPECT_EQ(LoadBytes(M, Case.File).Error, Case.Error);
    EXPECT_TRUE(IsCleared(M));
}
INSTANTIATE_TEST_SUITE_P(ModLoader, ModLoaderRefusedFiles, ::testing::ValuesIn(RefusedFilesCases()),
                         quavix_test::TCaseName());

struct TPatternCountChoiceCase : quavix_test::TNamedCase {
    std::string Tag;
    int32_t Highest;  // highest pattern the order list names
    int32_t Written;  // patterns in the file
    int32_t Loaded;   // patterns loaded
    // The order entry after the song length: above 127 it names no pattern.
    uint8_t Unplayed = 200;
};

std::vector<TPatternCountChoiceCase> PatternCountChoiceCases() {
    return {
        {"as named", "M.K.", 1, 2, 2},
        // Patterns past the named ones are taken for sample data.
        {"more than named", "M.K.", 0, 3, 1},
        // The file ends early: the patterns the order list names are read
        // as far as the file goes.
        {"fewer than named", "M.K.", 2, 2, 3},
        {"fewer than named, past 64", "M.K.", 70, 64, 64},
        {"fewer than named, past 64, M!K!", "M!K!", 70, 64, 71},
        {"as named, past 64, M!K!", "M!K!", 70, 71, 71},
        {"128", "M.K.", 127, 128, 128},
        {"more than 128", "M.K.", 127, 129, 128},
        // An entry the song does not play counts like the others.
        {"unplayed entry names a pattern the file lacks", "M.K.", 1, 2, 41, 40},
        {"15 samples, as named", "", 1, 2, 2},
        {"15 samples, more than named", "", 1, 3, 2},
        // The Soundtrackers left the entries after the song length as memory
        // held them: where the file has no room for the patterns they name,
        // the played entries count.
        {"15 samples, unplayed entry names a pattern the file lacks", "", 1, 2, 2, 40},
        {"15 samples, unplayed entry names a pattern the file holds", "", 1, 3, 3, 2},
        {"15 samples, unplayed entry names the last pattern", "", 1, 128, 128, 127},
    };
}

class ModLoaderPatternCountChoice : public ::testing::TestWithParam<TPatternCountChoiceCase> {};

TEST_P(ModLoaderPatternCountChoice, PatternCountChoice) {
    const TPatternCountChoiceCase& Case = GetParam();
    TModSong Song = SongWith(Case.Tag, 4, Case.Written);
    Song.Orders = {0, static_cast<uint8_t>(Case.Highest), Case.Unplayed};
    Song.SongLength = 2;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    const int32_t Last = Case.Loaded - 1;
    EXPECT_EQ(M.Patterns[Last]->Rows, 64);
    if (Last < Case.Written) {
        EXPECT_EQ(CellAt(M, Last, 0, Last % 4), MakeCell(25 + Last % 60, 1));
    }
    EXPECT_TRUE(M.Patterns[Case.Loaded]->Notes.empty());
    // Counted as the file holds them, the patterns leave the sample data
    // where it is.
    if (Case.Loaded == Case.Written) {
        EXPECT_EQ(Values(*M.Instruments[1]->Samples[0]), Scaled(Song.Samples[0].Values));
    }
    EXPECT_TRUE(SamplesWithinData(M));
}
INSTANTIATE_TEST_SUITE_P(ModLoader, ModLoaderPatternCountChoice, ::testing::ValuesIn(PatternCountChoiceCases()),
                         quavix_test::TCaseName());

// A tagged file loads whatever its length: the tag says what it is.
struct TTaggedLength : quavix_test::TNamedCase {
    int32_t ExtraBytes;       // appended (positive) or cut (negative)
    int32_t SamplePoints;     // points of the 200 of sample 2 that are in the file
    bool SecondPatternWhole;  // the second pattern's last cell is in the file
};

class TaggedFileLength : public ::testing::TestWithParam<TTaggedLength> {};

TEST_P(TaggedFileLength, LoadsWhatItHolds) {
    TModSong Song = SongWith("M.K.", 4, 2);
    Song.Patterns[1].Cells.push_back(ModAt(63, 3, Note("G-4"), 2));
    TModSample Long;
    for (int32_t k = 0; k < 200; ++k) Long.Values.push_back(k % 100 - 50);
    Long.LoopStartWords = 10;
    Long.LoopLengthWords = 90;  // to the end of the sample
    Song.Samples.push_back(Long);
    Song.ExtraBytes = GetParam().ExtraBytes;
    TQuavixModule M;
    TQuavixLoadResult Result = LoadBytes(M, WriteMod(Song));
    ASSERT_TRUE(Result) << Result.Reason;
    EXPECT_EQ(M.FormatTag, "M.K.");
    EXPECT_EQ(M.Patterns[1]->Rows, 64);
    EXPECT_EQ(CellAt(M, 1, 63, 3), GetParam().SecondPatternWhole ? MakeCell(Note("G-4"), 2) : MakeCell(0));
    // The sample keeps its length and loop; what the file lacks is silence.
    const TQuavixSample& S = *M.Instruments[2]->Samples[0];
    ASSERT_EQ(S.Length, 200);
    EXPECT_TRUE(S.Loop);
    EXPECT_EQ(S.LoopLength, 180);
    std::vector<int32_t> Expected = Scaled(Long.Values);
    std::fill(Expected.begin() + GetParam().SamplePoints, Expected.end(), 0);
    EXPECT_EQ(Values(S), Expected);
    EXPECT_TRUE(SamplesWithinData(M));
}

INSTANTIATE_TEST_SUITE_P(ModLoader, TaggedFileLength,
                         ::testing::Values(TTaggedLength{"exact", 0, 200, true},
                                           TTaggedLength{"trailing_bytes", 71, 200, true},
                                           TTaggedLength{"last_sample_cut", -50, 150, true},
                                           TTaggedLength{"samples_missing", -200 - 64, 0, true},
                                           TTaggedLength{"patterns_cut", -200 - 64 - 8, 0, false}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// The 15-sample form has no tag: its header tells it from other data, and
// then its length may run past its samples or stop in the last one.
struct TFifteenSampleCase : quavix_test::TNamedCase {
    TBytes File;
    TQuavixLoadError Error;  // None: it loads
};

TModSong FifteenSampleSong() {
    TModSong Song = SongWith("", 4, 2);
    Song.Title = "st-song";
    Song.Samples[0].Name = "st-01:bass";
    TModSample Last;
    Last.Name = "st-01:snare";
    Last.Values.assign(100, 40);
    Last.Volume = 48;
    Song.Samples.push_back(Last);
    return Song;
}

TBytes FifteenSample(void (*Change)(TModSong&)) {
    TModSong Song = FifteenSampleSong();
    Change(Song);
    return WriteMod(Song);
}

// Other kinds of file, each as its first bytes and enough of what follows
// them. Noise comes from a fixed sequence, so every run sees the same bytes.
class TNoise {
public:
    uint8_t Next() { return static_cast<uint8_t>((FState = FState * 1103515245u + 12345u) >> 24); }
    void Fill(TBytes& Bytes, size_t Size) {
        while (Bytes.size() < Size) Bytes.push_back(Next());
    }

private:
    uint32_t FState = 12345;
};

void PutLittleEndian(TBytes& Bytes, uint64_t Value, int32_t Size) {
    for (int32_t i = 0; i < Size; ++i) Bytes.push_back(static_cast<uint8_t>(Value >> (8 * i)));
}

// A picture: the PNG signature, then bytes as compressed data has them.
TBytes PictureFile() {
    TBytes File = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    TNoise Noise;
    Noise.Fill(File, 6000);
    return File;
}

// A sound: the RIFF header of 16-bit stereo at 44100 Hz, a moment of
// silence, then a tone that swells.
TBytes WaveFile() {
    TBytes File = {'R', 'I', 'F', 'F'};
    PutLittleEndian(File, 36 + 8000, 4);
    for (char c : std::string("WAVEfmt ")) File.push_back(static_cast<uint8_t>(c));
    PutLittleEndian(File, 16, 4);
    PutLittleEndian(File, 1, 2);
    PutLittleEndian(File, 2, 2);
    PutLittleEndian(File, 44100, 4);
    PutLittleEndian(File, 44100 * 4, 4);
    PutLittleEndian(File, 4, 2);
    PutLittleEndian(File, 16, 2);
    for (char c : std::string("data")) File.push_back(static_cast<uint8_t>(c));
    PutLittleEndian(File, 8000, 4);
    for (int32_t Frame = 0; Frame < 2000; ++Frame) {
        const int32_t Level = Frame < 100 ? 0 : (Frame % 50 < 25 ? Frame : -Frame);
        PutLittleEndian(File, static_cast<uint16_t>(Level), 2);
        PutLittleEndian(File, static_cast<uint16_t>(Level / 2), 2);
    }
    return File;
}

// A gzip stream: its header, then compressed data.
TBytes GzipFile() {
    TBytes File = {0x1F, 0x8B, 8, 0, 0x5E, 0x3A, 0x21, 0x65, 0, 3};
    TNoise Noise;
    Noise.Fill(File, 6000);
    return File;
}

// A program: a 64-bit ELF header, the program headers a linker writes
// (mostly zeros and small numbers), then code.
TBytes ProgramFile() {
    TBytes File = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    PutLittleEndian(File, 3, 2);      // a shared object
    PutLittleEndian(File, 0x3E, 2);   // x86-64
    PutLittleEndian(File, 1, 4);
    PutLittleEndian(File, 0x1040, 8);  // entry
    PutLittleEndian(File, 64, 8);      // program headers
    PutLittleEndian(File, 14000, 8);   // section headers
    PutLittleEndian(File, 0, 4);
    for (uint32_t Field : {64u, 56u, 11u, 64u, 30u, 29u}) PutLittleEndian(File, Field, 2);
    struct TSegment {
        uint32_t Type, Flags;
        uint64_t Offset, Size, Align;
    };
    const TSegment Segments[] = {{6, 4, 64, 0x268, 8},          {3, 4, 0x2A8, 0x1C, 1},
                                 {1, 4, 0, 0x6F8, 0x1000},        {1, 5, 0x1000, 0x1A5, 0x1000},
                                 {1, 4, 0x2000, 0x11C, 0x1000},   {1, 6, 0x2DB8, 0x260, 0x1000},
                                 {2, 6, 0x2DC8, 0x1F0, 8},        {4, 4, 0x2C4, 0x44, 4},
                                 {0x6474E550, 4, 0x2004, 0x3C, 4}, {0x6474E551, 6, 0, 0, 16},
                                 {0x6474E552, 4, 0x2DB8, 0x248, 1}};
    for (const TSegment& Segment : Segments) {
        PutLittleEndian(File, Segment.Type, 4);
        PutLittleEndian(File, Segment.Flags, 4);
        PutLittleEndian(File, Segment.Offset, 8);
        PutLittleEndian(File, Segment.Offset, 8);  // virtual address
        PutLittleEndian(File, Segment.Offset, 8);  // physical address
        PutLittleEndian(File, Segment.Size, 8);
        PutLittleEndian(File, Segment.Size, 8);
        PutLittleEndian(File, Segment.Align, 8);
    }
    File.resize(0x1000, 0);
    TNoise Noise;
    Noise.Fill(File, 16000);
    return File;
}

TBytes TextFile() {
    std::string Text;
    while (Text.size() < 6000) Text += "Songs as their trackers played them.\n\tSecond line, 0123456789.\n";
    return TBytes(Text.begin(), Text.end());
}

TBytes RandomFile() {
    TBytes File;
    TNoise Noise;
    for (int32_t i = 0; i < 100; ++i) Noise.Next();
    Noise.Fill(File, 6000);
    return File;
}

std::vector<TFifteenSampleCase> FifteenSampleCases() {
    const TQuavixLoadError Loads = TQuavixLoadError::None;
    const TQuavixLoadError NotModule = TQuavixLoadError::NotModule;
    const TQuavixLoadError Damaged = TQuavixLoadError::Damaged;
    return {
        {"exact", FifteenSample([](TModSong&) {}), Loads},
        {"trailing_bytes", FifteenSample([](TModSong& S) { S.ExtraBytes = 71; }), Loads},
        {"last_sample_cut", FifteenSample([](TModSong& S) { S.ExtraBytes = -60; }), Loads},
        {"last_sample_missing", FifteenSample([](TModSong& S) { S.ExtraBytes = -100; }), Loads},
        {"earlier_sample_cut", FifteenSample([](TModSong& S) { S.ExtraBytes = -101; }), Damaged},
        {"patterns_cut", FifteenSample([](TModSong& S) { S.ExtraBytes = -100 - 64 - 1; }), Damaged},
        // Names hold whatever bytes lay in the tracker's memory.
        {"names_of_any_bytes", FifteenSample([](TModSong& S) { S.Title = "caf\xe9 ~!"; }), Loads},
        {"control_in_title", FifteenSample([](TModSong& S) { S.Title = "st\x01song"; }), Loads},
        {"control_in_sample_name", FifteenSample([](TModSong& S) { S.Samples[1].Name = "\tsnare"; }), Loads},
        {"names_of_leftover_bytes", FifteenSample([](TModSong& S) {
             S.Title = std::string("\x7f\x80\xff\r\n\x01\x02\x03\x04\x05\x06\x07\x08\x0b\x0c\x0e\x0f\x10\x11\x12", 20);
             S.Samples[0].Name = std::string("bass\r\0\xe4\x9c\x01\x7f garbage\xff\xfe\x80", 22);
             S.Samples[1].Name = std::string(22, '\r');
         }), Loads},
        // Each field on both sides of its range.
        {"song_length_1", FifteenSample([](TModSong& S) { S.Orders = {0, 1}; S.SongLength = 1; }), Loads},
        {"no_song_length", FifteenSample([](TModSong& S) { S.SongLength = 0; }), NotModule},
        {"song_length_128", FifteenSample([](TModSong& S) { S.Orders.resize(128, 1); }), Loads},
        {"song_length_129", FifteenSample([](TModSong& S) { S.SongLength = 129; }), NotModule},
        {"order_127", FifteenSample([](TModSong& S) { S.Patterns.resize(128); S.Orders = {0, 127}; }), Loads},
        {"order_past_127", FifteenSample([](TModSong& S) { S.Orders = {0, 128}; }), NotModule},
        {"unplayed_order_past_127", FifteenSample([](TModSong& S) { S.Orders = {0, 1, 255}; S.SongLength = 2; }), Loads},
        {"volume_64", FifteenSample([](TModSong& S) { S.Samples[1].Volume = 64; }), Loads},
        {"volume_65", FifteenSample([](TModSong& S) { S.Samples[1].Volume = 65; }), NotModule},
        // No finetune: its byte is the high byte of the volume word.
        {"finetune_1", FifteenSample([](TModSong& S) { S.Samples[1].FineTune = 1; }), NotModule},
        {"finetune_16", FifteenSample([](TModSong& S) { S.Samples[1].FineTune = 16; }), NotModule},
        {"longest_sample", FifteenSample([](TModSong& S) { S.Samples[1].LengthWords = 32768; }), Loads},
        {"sample_past_64_KiB", FifteenSample([](TModSong& S) { S.Samples[0].LengthWords = 32769; }), NotModule},
        // The last sample has 50 words; loop starts count bytes. A loop past
        // the sample's end is cut there, as both reference players load it.
        {"loop_to_the_end", FifteenSample([](TModSong& S) { S.Samples[1].LoopStartWords = 20; S.Samples[1].LoopLengthWords = 40; }), Loads},
        {"loop_start_past_the_end_in_words", FifteenSample([](TModSong& S) { S.Samples[1].LoopStartWords = 60; S.Samples[1].LoopLengthWords = 20; }), Loads},
        {"loop_past_the_end", FifteenSample([](TModSong& S) { S.Samples[1].LoopStartWords = 22; S.Samples[1].LoopLengthWords = 40; }), Loads},
        {"loop_longer_than_the_sample", FifteenSample([](TModSong& S) { S.Samples[1].LoopStartWords = 0; S.Samples[1].LoopLengthWords = 51; }), Loads},
        {"loop_past_64_KiB", FifteenSample([](TModSong& S) { S.Samples[1].LoopLengthWords = 32769; }), NotModule},
        {"loop_on_a_sample_without_data", FifteenSample([](TModSong& S) {
             S.Samples.push_back({});
             S.Samples.back().LoopStartWords = 10;
             S.Samples.back().LoopLengthWords = 20;
         }), Loads},
        {"no_sample_with_data", FifteenSample([](TModSong& S) {
             S.Samples.resize(2);
             for (TModSample& Sample : S.Samples) Sample = TModSample();
         }), NotModule},
        // Other kinds of file.
        {"empty", {}, NotModule},
        {"text", TextFile(), NotModule},
        {"picture", PictureFile(), NotModule},
        {"sound", WaveFile(), NotModule},
        {"compressed", GzipFile(), NotModule},
        {"program", ProgramFile(), NotModule},
        {"random_bytes", RandomFile(), NotModule},
        {"zeros", TBytes(6000, 0), NotModule},
    };
}

class FifteenSampleRecognition : public ::testing::TestWithParam<TFifteenSampleCase> {};

TEST_P(FifteenSampleRecognition, HeaderAndLengthDecide) {
    TQuavixModule M;
    TQuavixLoadResult Result = LoadBytes(M, GetParam().File);
    EXPECT_EQ(Result.Error, GetParam().Error) << Result.Reason;
    if (!Result) {
        EXPECT_TRUE(IsCleared(M));
        return;
    }
    EXPECT_EQ(M.FormatTag, "");
    EXPECT_EQ(M.NumChannels, 4);
    EXPECT_EQ(CellAt(M, 1, 0, 1), MakeCell(26, 1));
    ASSERT_TRUE(M.Instruments[15]);
    EXPECT_EQ(Values(*M.Instruments[1]->Samples[0]), Scaled(SmallMod().Samples[0].Values));
    EXPECT_TRUE(SamplesWithinData(M));
}

INSTANTIATE_TEST_SUITE_P(ModLoader, FifteenSampleRecognition, ::testing::ValuesIn(FifteenSampleCases()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ModLoader, CellsAndPeriods) {
    TModSong Song = SmallMod();
    auto WithPeriod = [](int32_t Row, int32_t Period, int32_t Instrument) {
        TModPlacedCell Cell = ModAt(Row, 2, 0, Instrument, 0x9, 0xAB);
        Cell.Cell.Period = Period;
        return Cell;
    };
    Song.Patterns[0].Cells = {WithPeriod(0, 428, 0x1F), WithPeriod(1, 0xFFF, 0x10), WithPeriod(2, 55, 0xF0),
                              WithPeriod(3, 0, 0), WithPeriod(4, 57, 1)};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    EXPECT_EQ(CellAt(M, 0, 0, 2), MakeCell(49, 31, 0, 9, 0xAB));
    EXPECT_EQ(CellAt(M, 0, 1, 2), MakeCell(25, 16, 0, 9, 0xAB));
    EXPECT_EQ(CellAt(M, 0, 2, 2), MakeCell(0, 0xF0, 0, 9, 0xAB));
    EXPECT_EQ(CellAt(M, 0, 3, 2), MakeCell(0, 0, 0, 9, 0xAB));
    EXPECT_EQ(CellAt(M, 0, 4, 2), MakeCell(84, 1, 0, 9, 0xAB));
}

// A value in and the value it gives.
struct TConversionCase : quavix_test::TNamedCase {
    int32_t Value, Converted;
};

// Note 25 is C-2, the table's longest period; note 84 is B-6, its shortest.
const TConversionCase PeriodCases[] = {
    {"no period", 0, 0},
    {"the period of C-4", 428, 49},
    {"just longer than C-4's", 429, 49},
    {"just shorter than C-4's", 427, 50},
    {"the longest of the table", 1712, 25},
    {"longer than the table", 4095, 25},
    {"the shortest of the table", 56, 84},
    {"just longer than the shortest", 57, 84},
    {"just shorter than the table", 55, 0},
    {"far shorter than the table", 1, 0},
    {"the period of B-5", 113, 72},
    {"below zero", -5, 0},
};

class ModLoaderPeriodToNote : public ::testing::TestWithParam<TConversionCase> {};

TEST_P(ModLoaderPeriodToNote, PeriodToNote) {
    EXPECT_EQ(TQuavixModule::PeriodToNote(GetParam().Value), GetParam().Converted);
}
INSTANTIATE_TEST_SUITE_P(ModLoader, ModLoaderPeriodToNote, ::testing::ValuesIn(PeriodCases), quavix_test::TCaseName());

TEST(ModLoader, EveryPeriodOfTheTableGivesItsOwnNote) {
    for (int32_t Note = 25; Note <= 84; ++Note) EXPECT_EQ(TQuavixModule::PeriodToNote(ModPeriod(Note)), Note);
}

const TConversionCase FineTuneCases[] = {
    {"none", 0, 0},
    {"one up", 1, 16},
    {"seven up, the most", 7, 112},
    {"8 is eight down", 8, -128},
    {"15 is one down", 15, -16},
    {"16 is held to 15", 16, -16},
    {"255 is held to 15", 255, -16},
    {"below zero is held to 0", -3, 0},
};

class ModLoaderConvertFineTune : public ::testing::TestWithParam<TConversionCase> {};

TEST_P(ModLoaderConvertFineTune, ConvertFineTune) {
    EXPECT_EQ(TQuavixModule::ConvertFineTune(GetParam().Value), GetParam().Converted);
}
INSTANTIATE_TEST_SUITE_P(ModLoader, ModLoaderConvertFineTune, ::testing::ValuesIn(FineTuneCases),
                         quavix_test::TCaseName());

// A sample of 20 points (10 words) with the loop fields as stored, in the
// tagged form (the start in words) or the 15-sample form, where the start
// counts bytes (TQuavixBehaviour::LoopStartInBytes) and a looped sample
// keeps its loop alone (TQuavixBehaviour::LoopOnlySounds).
struct TSampleLoopsCase : quavix_test::TNamedCase {
    std::string Tag;
    int32_t StartField, LengthWords;
    bool Loop;
    int32_t LoopStart, LoopLength;
    int32_t FirstPoint, Points;  // the points kept
};

std::vector<TSampleLoopsCase> SampleLoopsCases() {
    // In the 15-sample form a loop keeps Points points from FirstPoint on,
    // and starts the sample.
    auto Looped = [](const char* Name, int32_t StartBytes, int32_t LengthWords, int32_t FirstPoint) {
        return TSampleLoopsCase{{Name}, "", StartBytes, LengthWords, true, 0, 2 * LengthWords, FirstPoint, 2 * LengthWords};
    };
    return {
        {"one word means none", "M.K.", 0, 1, false, 0, 2, 0, 20},
        {"no length", "M.K.", 0, 0, false, 0, 2, 0, 20},
        {"two words", "M.K.", 0, 2, true, 0, 4, 0, 20},
        {"inside", "M.K.", 3, 4, true, 6, 8, 0, 20},
        {"past the end", "M.K.", 6, 10, true, 12, 8, 0, 20},
        {"start past the end", "M.K.", 11, 2, false, 0, 2, 0, 20},
        {"start at the end", "M.K.", 10, 2, false, 20, 2, 0, 20},
        {"15 samples, no loop", "", 0, 1, false, 0, 2, 0, 20},
        Looped("15 samples, the whole sample", 0, 10, 0),
        Looped("15 samples, from an even byte", 6, 4, 6),
        Looped("15 samples, from an odd byte", 5, 4, 5),
        Looped("15 samples, up to the end", 12, 4, 12),
        Looped("15 samples, ending before the sample does", 0, 3, 0),
    };
}

class ModLoaderSampleLoops : public ::testing::TestWithParam<TSampleLoopsCase> {};

TEST_P(ModLoaderSampleLoops, SampleLoops) {
    const TSampleLoopsCase& Case = GetParam();
    TModSong Song = SongWith(Case.Tag, 4, 1);
    Song.Samples[0].Values.clear();
    for (int32_t k = 0; k < 20; ++k) Song.Samples[0].Values.push_back(5 * k - 50);
    Song.Samples[0].LoopStartWords = Case.StartField;
    Song.Samples[0].LoopLengthWords = Case.LengthWords;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    EXPECT_EQ(M.Has(TQuavixBehaviour::LoopStartInBytes), Case.Tag.empty());
    EXPECT_EQ(M.Has(TQuavixBehaviour::LoopOnlySounds), Case.Tag.empty());
    const TQuavixSample& S = *M.Instruments[1]->Samples[0];
    EXPECT_EQ(S.Loop, Case.Loop);
    EXPECT_EQ(S.LoopStart, Case.LoopStart);
    EXPECT_EQ(S.LoopLength, Case.LoopLength);
    // The points heard: up to the loop's end (past it the guard frames
    // repeat the loop's start).
    ASSERT_EQ(S.Length, Case.Points);
    const int32_t Heard = S.Loop ? S.LoopStart + S.LoopLength : S.Length;
    const std::vector<int32_t>& All = Song.Samples[0].Values;
    EXPECT_EQ(std::vector<int32_t>(S.Data, S.Data + Heard),
              Scaled(std::vector<int32_t>(All.begin() + Case.FirstPoint, All.begin() + Case.FirstPoint + Heard)));
    EXPECT_TRUE(SamplesWithinData(M));
}
INSTANTIATE_TEST_SUITE_P(ModLoader, ModLoaderSampleLoops, ::testing::ValuesIn(SampleLoopsCases()),
                         quavix_test::TCaseName());

TEST(ModLoader, SampleDataWithGuardFrames) {
    TModSong Song = SmallMod();
    TModSample Looped;
    Looped.Values = {10, 20, 30, 40, 50, 60, 70, 80};
    Looped.LoopStartWords = 1;
    Looped.LoopLengthWords = 2;
    Song.Samples = {Looped};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    const TQuavixSample& S = *M.Instruments[1]->Samples[0];
    EXPECT_EQ(S.Data[-1], 10 * 256);
    // The frames after the loop end (frame 6) repeat the loop's start.
    EXPECT_EQ(S.Data[6], 30 * 256);
    EXPECT_EQ(S.Data[7], 40 * 256);
    EXPECT_EQ(S.Data[8], 50 * 256);
}

TEST(ModLoader, AdpcmSamples) {
    TModSong Song = SmallMod();
    // Compressed data is shorter than the length it gives; the data of the
    // next sample follows it directly.
    TModSample Packed;
    for (int32_t k = 0; k < 64; ++k) Packed.Values.push_back(k % 2 == 0 ? 8 : -8);
    Packed.Adpcm = true;
    TModSample Plain;
    Plain.Values = {-5, 6};
    Song.Samples = {Packed, Plain};
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    EXPECT_EQ(Values(*M.Instruments[1]->Samples[0]), Scaled(Packed.Values));
    EXPECT_EQ(Values(*M.Instruments[2]->Samples[0]), Scaled({-5, 6}));
}

// The restart position stored in a song of two orders, and the one loaded.
struct TRestartCase : quavix_test::TNamedCase {
    uint8_t Restart;
    int32_t Loaded;
};

const TRestartCase RestartCases[] = {
    {"inside the song", 1, 1},
    {"at the song length", 2, 2},
    {"past the song", 3, 0},
};

class ModLoaderRestartPositionPastTheSongIsZero : public ::testing::TestWithParam<TRestartCase> {};

TEST_P(ModLoaderRestartPositionPastTheSongIsZero, RestartPositionPastTheSongIsZero) {
    TModSong Song = SongWith("M.K.", 4, 2);
    Song.RestartPosition = GetParam().Restart;
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(Song)));
    EXPECT_EQ(M.RestartPosition, GetParam().Loaded);
}
INSTANTIATE_TEST_SUITE_P(ModLoader, ModLoaderRestartPositionPastTheSongIsZero, ::testing::ValuesIn(RestartCases),
                         quavix_test::TCaseName());

// ProTracker's rules are those of the files ProTracker can have written:
// four channels, no sample with data and a loop of no words, no note beyond
// C-1..B-3 ("C-3".."B-5" as cells hold them). Other files play by the rules
// the format's players share.
struct TWriterCase : quavix_test::TNamedCase {
    TModSong Song;
    bool ProTracker;
};

std::vector<TWriterCase> WriterCases() {
    auto With = [](auto Change) {
        TModSong Song = SmallMod();
        Change(Song);
        return Song;
    };
    return {
        {"four channels, notes and loops as ProTracker writes them", SmallMod(), true},
        {"a loop of no words", With([](TModSong& S) { S.Samples[0].LoopLengthWords = 0; }), false},
        {"an empty slot's loop of no words", With([](TModSong& S) {
             S.Samples.push_back(TModSample());
             S.Samples.back().LoopLengthWords = 0;
         }), true},
        {"a note below C-1", With([](TModSong& S) { S.Patterns[0].Cells.push_back(ModAt(1, 0, Note("B-2"), 1)); }), false},
        {"a note above B-3", With([](TModSong& S) { S.Patterns[0].Cells.push_back(ModAt(1, 0, Note("C-6"), 1)); }), false},
        {"B-3", With([](TModSong& S) { S.Patterns[0].Cells.push_back(ModAt(1, 0, Note("B-5"), 1)); }), true},
        {"eight channels", With([](TModSong& S) {
             S.Tag = "8CHN";
             S.Channels = 8;
         }), false},
    };
}

class ModLoaderProTrackersRulesForItsFiles : public ::testing::TestWithParam<TWriterCase> {};

TEST_P(ModLoaderProTrackersRulesForItsFiles, ProTrackersRulesForItsFiles) {
    TQuavixModule M;
    ASSERT_TRUE(LoadBytes(M, WriteMod(GetParam().Song)));
    EXPECT_EQ(M.Behaviours, GetParam().ProTracker ? QuavixProTrackerBehaviours() : QuavixPatternFormatBehaviours());
}
INSTANTIATE_TEST_SUITE_P(ModLoader, ModLoaderProTrackersRulesForItsFiles, ::testing::ValuesIn(WriterCases()),
                         quavix_test::TCaseName());

}  // namespace
