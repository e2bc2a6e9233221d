// Extension chunks after an Extended Module song: what each kind fills in,
// and chunks of the wrong size, of unknown kinds or cut short.
#include <gtest/gtest.h>

#include <vector>
#include <cstring>
#include <string>

#include "loader_checks.h"
#include "support/case_names.h"

using namespace quavix_test;

namespace {

TQuavixModule& Load(TQuavixModule& M, std::vector<TXmChunk> Chunks, uint16_t Channels = 4, uint32_t CutBytes = 0) {
    TXmSong Song = SmallXm();
    Song.Channels = Channels;
    Song.Chunks = std::move(Chunks);
    Song.CutBytes = CutBytes;
    EXPECT_TRUE(LoadBytes(M, WriteXm(Song)));
    return M;
}

std::string StreamText(const TQuavixStream& Stream) {
    return std::string(reinterpret_cast<const char*>(Stream.Memory()), static_cast<size_t>(Stream.GetSize()));
}

TBytes Text(const std::string& Value) { return TBytes(Value.begin(), Value.end()); }

TEST(ExtensionChunks, SongMessageGetsLineFeedsAfterCarriageReturns) {
    TQuavixModule M;
    Load(M, {TextChunk(std::string("a\rb\r\nc"))});
    EXPECT_EQ(M.Comment, std::string("a\r\nb\r\n\nc"));
    // A later message replaces an earlier one.
    Load(M, {TextChunk("first"), TextChunk("second")});
    EXPECT_EQ(M.Comment, "second");
}

TEST(ExtensionChunks, MidiMacrosOfExactlyTheTableSize) {
    TQuavixModule M;
    Load(M, {MidiChunk({{0, "F0F0"}, {9, "F0F000z"}, {152, std::string(32, 'A')}})});
    EXPECT_TRUE(M.MidiMacrosEmbedded);
    EXPECT_EQ(M.GetMidiMacro(0), "F0F0");
    EXPECT_EQ(M.GetMidiMacro(3), "");  // the whole table is replaced
    EXPECT_EQ(M.GetMidiMacro(152), std::string(32, 'A'));
}

// How many bytes a table's payload is off its size.
struct TMacroSizeCase : quavix_test::TNamedCase {
    int32_t Change;
};

const TMacroSizeCase MacroSizeCases[] = {
    {"one byte short", -1},
    {"one byte over", 1},
};

class ExtensionChunksMidiMacrosOfAnotherSizeAreSkipped : public ::testing::TestWithParam<TMacroSizeCase> {};

TEST_P(ExtensionChunksMidiMacrosOfAnotherSizeAreSkipped, MidiMacrosOfAnotherSizeAreSkipped) {
    // The song loaded before embedded its own table.
    TQuavixModule M;
    Load(M, {MidiChunk({{0, "F0F0"}})});
    TXmChunk Wrong = MidiChunk({{3, "XX"}});
    Wrong.Payload.resize(Wrong.Payload.size() + GetParam().Change);
    Load(M, {Wrong, TextChunk("after")});
    EXPECT_FALSE(M.MidiMacrosEmbedded);
    EXPECT_EQ(M.GetMidiMacro(3), "9c n v");
    EXPECT_EQ(M.Comment, "after");
}
INSTANTIATE_TEST_SUITE_P(ExtensionChunks, ExtensionChunksMidiMacrosOfAnotherSizeAreSkipped,
                         ::testing::ValuesIn(MacroSizeCases), quavix_test::TCaseName());

TEST(ExtensionChunks, MidiMacrosCutShortLeaveEveryMacroEmpty) {
    // A table cut short by the end of the file leaves every macro empty,
    // the default ones the song loaded before had too.
    TQuavixModule M;
    Load(M, {});
    ASSERT_EQ(M.GetMidiMacro(3), "9c n v");
    Load(M, {MidiChunk({{3, "XX"}})}, 4, 1);
    EXPECT_FALSE(M.MidiMacrosEmbedded);
    for (int32_t Slot : {0, 3, 9, 25}) EXPECT_EQ(M.GetMidiMacro(Slot), "") << Slot;
}

TEST(ExtensionChunks, PatternNames) {
    TQuavixModule M;
    TXmChunk Names = PatternNamesChunk({" intro ", "verse"});
    Names.Payload.resize(70, 'x');  // six bytes more: not a whole name
    Load(M, {Names});
    EXPECT_EQ(M.Patterns[0]->Name, "intro");
    EXPECT_EQ(M.Patterns[1]->Name, "verse");
    EXPECT_EQ(M.Patterns[2]->Name, "");
}

// A pattern-names payload of the given size, its first name "name".
struct TNamesSizeCase : quavix_test::TNamedCase {
    size_t Size;
    bool Read;
};

const TNamesSizeCase NamesSizeCases[] = {
    {"shorter than a name", 31, false},
    {"255 names", 8160, true},
    {"256 names", 8192, false},
};

class ExtensionChunksPatternNamesUpTo255 : public ::testing::TestWithParam<TNamesSizeCase> {};

TEST_P(ExtensionChunksPatternNamesUpTo255, PatternNamesUpTo255) {
    const TNamesSizeCase& Case = GetParam();
    // The song loaded before named its first pattern.
    TQuavixModule M;
    Load(M, {PatternNamesChunk({"intro"})});
    TXmChunk Chunk = PatternNamesChunk({"name"});
    Chunk.Payload.resize(Case.Size, 0);
    Load(M, {Chunk});
    EXPECT_EQ(M.Patterns[0]->Name, Case.Read ? "name" : "");
}
INSTANTIATE_TEST_SUITE_P(ExtensionChunks, ExtensionChunksPatternNamesUpTo255, ::testing::ValuesIn(NamesSizeCases),
                         quavix_test::TCaseName());

struct TChannelNamesCase : quavix_test::TNamedCase {
    std::vector<std::string> Names;
    std::vector<std::string> Loaded;  // channels 0..3
};

std::vector<TChannelNamesCase> ChannelNamesCases() {
    return {
        {"two names", {"drums", " bass\t"}, {"drums", "bass", "", ""}},
        {"one per channel", {"a", "b", "c", "d"}, {"a", "b", "c", "d"}},
        // Longer than the channels: skipped entirely.
        {"one too many", {"a", "b", "c", "d", "e"}, {"", "", "", ""}},
    };
}

class ExtensionChunksChannelNamesUpToTheChannelCount : public ::testing::TestWithParam<TChannelNamesCase> {};

TEST_P(ExtensionChunksChannelNamesUpToTheChannelCount, ChannelNamesUpToTheChannelCount) {
    const TChannelNamesCase& Case = GetParam();
    TQuavixModule M;
    Load(M, {ChannelNamesChunk(Case.Names)});
    for (int32_t c = 0; c < 4; ++c) EXPECT_EQ(*M.Channels[c]->Name, Case.Loaded[c]) << c;
    EXPECT_EQ(*M.Channels[4]->Name, "");
    EXPECT_EQ(*M.BackgroundChannels[0]->Name, "");
}
INSTANTIATE_TEST_SUITE_P(ExtensionChunks, ExtensionChunksChannelNamesUpToTheChannelCount,
                         ::testing::ValuesIn(ChannelNamesCases()), quavix_test::TCaseName());

TEST(ExtensionChunks, AFullChannelNameHasNoZeroByte) {
    // A full 20-character name has no zero byte.
    TQuavixModule M;
    Load(M, {ChannelNamesChunk({std::string(20, 'n')})});
    EXPECT_EQ(*M.Channels[0]->Name, std::string(20, 'n'));
}

struct TPluginCase : quavix_test::TNamedCase {
    std::vector<uint32_t> Plugins;
    uint16_t Channels;
    std::vector<int32_t> Loaded;  // channels 0..3
};

std::vector<TPluginCase> PluginCases() {
    return {
        {"two", {5, 7}, 4, {5, 7, 0, 0}},
        {"more than channels", {1, 2, 3, 4}, 2, {1, 2, 0, 0}},
        // The file ends within the second value: it is not taken.
        {"a partial value", {9, 0x01020304}, 4, {9, 0, 0, 0}},
    };
}

class ExtensionChunksChannelPluginsForTheChannelsThereAre : public ::testing::TestWithParam<TPluginCase> {};

TEST_P(ExtensionChunksChannelPluginsForTheChannelsThereAre, ChannelPluginsForTheChannelsThereAre) {
    const TPluginCase& Case = GetParam();
    TXmChunk Chunk = ChannelPluginsChunk(Case.Plugins);
    if (std::string(Case.Name) == "a partial value") Chunk.Payload.resize(5);  // one byte of the second
    TQuavixModule M;
    Load(M, {Chunk}, Case.Channels);
    for (int32_t c = 0; c < 4; ++c) EXPECT_EQ(M.Channels[c]->PluginIndex, Case.Loaded[c]) << c;
}
INSTANTIATE_TEST_SUITE_P(ExtensionChunks, ExtensionChunksChannelPluginsForTheChannelsThereAre,
                         ::testing::ValuesIn(PluginCases()), quavix_test::TCaseName());

TEST(ExtensionChunks, OpaqueChunksAreStored) {
    TQuavixModule M;
    Load(M, {OpaqueChunk("EQFX", Text("equalizer")), OpaqueChunk("FX00", Text("first")),
             OpaqueChunk("FX42", Text("middle")), OpaqueChunk("FX99", Text("last")),
             OpaqueChunk("MODU", Text("extension")), OpaqueChunk("FX4A", Text("not a plug-in"))});
    EXPECT_EQ(StreamText(*M.EqualizerData), "equalizer");
    EXPECT_EQ(StreamText(*M.ExtensionData), "extension");
    EXPECT_EQ(StreamText(*M.PluginData[0]), "first");
    EXPECT_EQ(StreamText(*M.PluginData[42]), "middle");
    EXPECT_EQ(StreamText(*M.PluginData[99]), "last");
    EXPECT_EQ(M.PluginData[4]->GetSize(), 0);
    EXPECT_EQ(M.EqualizerData->GetPosition(), 0);
    EXPECT_EQ(M.PluginData[42]->GetPosition(), 0);

    // A payload running past the end keeps the bytes that are there.
    TXmChunk Cut = OpaqueChunk("MODU", Text("whole"));
    Cut.Length = 1000;
    Load(M, {Cut});
    EXPECT_EQ(StreamText(*M.ExtensionData), "whole");
}

TEST(ExtensionChunks, UnknownChunksAreSkippedByTheirLength) {
    TQuavixModule M;
    Load(M, {OpaqueChunk("XTRA", TBytes(13, 'x')), OpaqueChunk("text", TBytes()), TextChunk("found")});
    EXPECT_EQ(M.Comment, "found");
}

struct TCutCase : quavix_test::TNamedCase {
    std::vector<TXmChunk> Chunks;
    uint32_t CutBytes;
    std::string Comment;
    std::string FirstPatternName;
};

std::vector<TCutCase> CutCases() {
    std::vector<TCutCase> Cases = {
        // Exactly 8 bytes after the song: a header with nothing after it is no chunk.
        {"a bare chunk header", {TextChunk("")}, 0, "", ""},
        {"a header of nine bytes", {TextChunk("x")}, 0, "x", ""},
        {"message cut", {PatternNamesChunk({"p"}), TextChunk("message")}, 3, "mess", "p"},
        {"names cut", {TextChunk("kept"), PatternNamesChunk({"a", "b"})}, 1, "kept", "a"},
        {"length far past the end", {TextChunk("kept"), OpaqueChunk("XTRA", {})}, 0, "kept", ""},
    };
    Cases[4].Chunks[1].Length = 0xFFFFFFFF;
    return Cases;
}

class ExtensionChunksChunksCutShort : public ::testing::TestWithParam<TCutCase> {};

TEST_P(ExtensionChunksChunksCutShort, ChunksCutShort) {
    const TCutCase& Case = GetParam();
    TQuavixModule M;
    Load(M, Case.Chunks, 4, Case.CutBytes);
    EXPECT_TRUE(M.Loaded);
    EXPECT_EQ(M.Comment, Case.Comment);
    EXPECT_EQ(M.Patterns[0]->Name, Case.FirstPatternName);
    EXPECT_TRUE(SamplesWithinData(M));
}
INSTANTIATE_TEST_SUITE_P(ExtensionChunks, ExtensionChunksChunksCutShort, ::testing::ValuesIn(CutCases()),
                         quavix_test::TCaseName());

}  // namespace
