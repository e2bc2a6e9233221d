// quavix info, run as users run it: the built program on written files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

class QuavixInfo : public ::testing::Test {
protected:
    static std::string Dir;

    static void SetUpTestSuite() {
        char Template[] = "/tmp/quavix-cli-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Dir = Template;

        TXmSong Song = SmallXm();
        Song.Title = "Night \"drive\" \\ 2";
        Song.Channels = 6;
        Song.Orders = {0, 1, 2, 1};
        Song.RestartPosition = 2;
        Song.Patterns.push_back({32, {}});
        Song.Patterns.push_back({16, {At(0, 5, Note("A-3"), 2)}});
        Song.Instruments.push_back(Instrument("empty", TXmSample{}));  // a sample without data
        Song.Instruments.push_back(TXmInstrument{});                  // no samples at all
        Song.Chunks.push_back(TextChunk("first line\rsecond\tline"));
        SaveBytes(Path("song.xm"), WriteXm(Song));

        TXmSong Amiga = SmallXm();
        Amiga.Version = 0x0103;
        Amiga.LinearSlides = false;
        SaveBytes(Path("amiga.xm"), WriteXm(Amiga));

        SaveBytes(Path("mk.mod"), WriteMod(SmallMod()));
        TModSong Old = SmallMod();
        Old.Tag = "";
        SaveBytes(Path("old.mod"), WriteMod(Old));
        TModSong Eight = SmallMod();
        Eight.Tag = "8CHN";
        Eight.Channels = 8;
        SaveBytes(Path("eight.mod"), WriteMod(Eight));

        TXmSong Latin = SmallXm();
        Latin.Title = "caf\xe9 \x01 na\xc3\xafve";  // a Latin-1 byte, a control byte, UTF-8
        SaveBytes(Path("latin.xm"), WriteXm(Latin));

        TBytes Cut = WriteXm(SmallXm());
        Cut.resize(300);  // into the song header
        SaveBytes(Path("cut.xm"), Cut);
        TXmSong Wide = SmallXm();
        Wide.Channels = 256;
        SaveBytes(Path("wide.xm"), WriteXm(Wide));
        TModSong Long = SmallMod();
        Long.ExtraBytes = 71;
        SaveBytes(Path("long.mod"), WriteMod(Long));
        SaveBytes(Path("notes.txt"), TBytes(2000, 'x'));
        SaveBytes(Path("small.s3m"), WriteS3m(SmallS3m()));
        TS3mSong Impulse = SmallS3m();
        Impulse.TrackerVersion = 0x3214;
        SaveBytes(Path("impulse.s3m"), WriteS3m(Impulse));
        SaveBytes(Path("empty.xm"), {});
    }

    static void TearDownTestSuite() { std::system(("rm -rf '" + Dir + "'").c_str()); }

    static std::string Path(const std::string& Name) { return Dir + "/" + Name; }

    // Runs quavix with the arguments (already quoted as needed), in WorkDir
    // when one is given.
    static TRun Quavix(const std::string& Arguments, const std::string& WorkDir = "") {
        const std::string Command = "$Q " + Arguments;
        return quavix_test::RunShell(WorkDir.empty() ? Command : "cd '" + WorkDir + "' && " + Command,
                                     Path("stderr.txt"));
    }
};

std::string QuavixInfo::Dir;

TEST_F(QuavixInfo, TextShowsWhatTheSongHolds) {
    TRun Run = Quavix("info " + Path("song.xm"));
    EXPECT_EQ(Run.Status, 0);
    EXPECT_EQ(Run.Err, "");
    // How long the song plays is checked with the song ends.
    std::string Out = std::regex_replace(Run.Out, std::regex("  duration:    [^\n]*\n"), "  duration:    *\n");
    EXPECT_EQ(Out, Path("song.xm") +
                           "\n"
                           "  format:      xm 1.04\n"
                           "  title:       Night \"drive\" \\ 2\n"
                           "  channels:    6\n"
                           "  length:      4 orders\n"
                           "  restart:     2\n"
                           "  patterns:    3\n"
                           "  instruments: 3\n"
                           "  samples:     1 with data\n"
                           "  slides:      linear\n"
                           "  tracker:     Quavix module writer\n"
                           "  rules:       Fasttracker 2\n"
                           "  duration:    *\n"
                           "  message:\n"
                           "    first line\n"
                           "    second?line\n");
}

struct TFormatLineCase : quavix_test::TNamedCase {
    const char* File;
    const char* Format;
    const char* Slides;
    const char* Rules;  // whose rules the song plays by
};

std::vector<TFormatLineCase> FormatLineCases() {
    return {
        {"an Extended Module gives its version", "amiga.xm", "xm 1.03", "amiga", "Fasttracker 2"},
        {"a pattern-format file gives its tag", "mk.mod", "mod \"M.K.\"", "amiga", "ProTracker"},
        {"a pattern-format file of 15 samples has no tag", "old.mod", "mod (15 samples, no tag)", "amiga",
         "Soundtracker"},
        {"bytes after the song are no matter", "long.mod", "mod \"M.K.\"", "amiga", "ProTracker"},
        // ProTracker wrote four channels only: other trackers' files play by
        // the rules the format's players share.
        {"eight channels are another tracker's", "eight.mod", "mod \"8CHN\"", "amiga", "pattern format"},
        // A Scream Tracker 3 module names the tracker that wrote it.
        {"a Scream Tracker 3 module gives its tracker", "small.s3m", "s3m (Scream Tracker 3.20)", "amiga",
         "Scream Tracker 3"},
        {"Impulse Tracker wrote Scream Tracker 3 modules too", "impulse.s3m", "s3m (Impulse Tracker 2.14)", "amiga",
         "Scream Tracker 3"},
    };
}

class QuavixInfoFormatLineNamesVersionOrTag : public QuavixInfo,
                                              public ::testing::WithParamInterface<TFormatLineCase> {};

TEST_P(QuavixInfoFormatLineNamesVersionOrTag, FormatLineNamesVersionOrTag) {
    const TFormatLineCase& Case = GetParam();
    TRun Run = Quavix("info " + Path(Case.File));
    EXPECT_EQ(Run.Status, 0) << Case.File;
    EXPECT_NE(Run.Out.find(std::string("  format:      ") + Case.Format + "\n"), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Out.find(std::string("  slides:      ") + Case.Slides + "\n"), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Out.find(std::string("  rules:       ") + Case.Rules + "\n"), std::string::npos) << Run.Out;
    EXPECT_EQ(Run.Out.find("message:"), std::string::npos) << Case.File;
}
INSTANTIATE_TEST_SUITE_P(QuavixInfo, QuavixInfoFormatLineNamesVersionOrTag, ::testing::ValuesIn(FormatLineCases()),
                         quavix_test::TCaseName());

TEST_F(QuavixInfo, JsonGivesOneEscapedObjectPerFile) {
    TRun Run = Quavix("info --json " + Path("song.xm") + " " + Path("mk.mod"));
    EXPECT_EQ(Run.Status, 0);
    // One object per line, its fields in this order.
    std::istringstream Lines(Run.Out);
    std::string Line;
    std::vector<nlohmann::ordered_json> Objects;
    while (std::getline(Lines, Line)) Objects.push_back(nlohmann::ordered_json::parse(Line));
    ASSERT_EQ(Objects.size(), 2u) << Run.Out;
    std::vector<std::string> Keys;
    for (const auto& Item : Objects[0].items()) Keys.push_back(Item.key());
    EXPECT_EQ(Keys, (std::vector<std::string>{"file", "format", "version", "tag", "title", "channels", "song_length",
                                              "restart_position", "patterns", "instruments", "samples",
                                              "linear_slides", "tracker", "rules", "message", "duration",
                                              "subsongs", "warnings"}));
    // The subsongs' durations are the song's (song_list_test.cpp).
    for (auto& Object : Objects) {
        Object.erase("duration");
        Object.erase("subsongs");
    }
    EXPECT_EQ(Objects[0], nlohmann::ordered_json::parse(
                              "{\"file\":\"" + Path("song.xm") +
                              "\",\"format\":\"xm\",\"version\":\"1.04\",\"tag\":null,"
                              "\"title\":\"Night \\\"drive\\\" \\\\ 2\",\"channels\":6,\"song_length\":4,"
                              "\"restart_position\":2,\"patterns\":3,\"instruments\":3,\"samples\":1,"
                              "\"linear_slides\":true,\"tracker\":\"Quavix module writer\",\"rules\":\"Fasttracker 2\","
                              "\"message\":\"first line\\r\\nsecond\\tline\",\"warnings\":[]}"));
    EXPECT_EQ(Objects[1], nlohmann::ordered_json::parse(
                              "{\"file\":\"" + Path("mk.mod") +
                              "\",\"format\":\"mod\",\"version\":null,\"tag\":\"M.K.\","
                              "\"title\":\"small mod\",\"channels\":4,\"song_length\":1,\"restart_position\":0,"
                              "\"patterns\":1,\"instruments\":31,\"samples\":1,\"linear_slides\":false,\"tracker\":null,"
                              "\"rules\":\"ProTracker\","
                              "\"message\":\"\",\"warnings\":[]}"));

    // A Latin-1 byte becomes its character in UTF-8; control bytes are escaped.
    Run = Quavix("info --json " + Path("latin.xm"));
    EXPECT_NE(Run.Out.find("\"title\":\"caf\xc3\xa9 \\u0001 na\xc3\xafve\""), std::string::npos) << Run.Out;
    Run = Quavix("info " + Path("latin.xm"));
    EXPECT_NE(Run.Out.find("  title:       caf\xe9 ? na\xc3\xafve\n"), std::string::npos) << Run.Out;
}

struct TNoLoadCase : quavix_test::TNamedCase {
    const char* File;
    const char* Reason;
};

std::vector<TNoLoadCase> NoLoadCases() {
    return {
        {"a missing file", "missing.xm", "cannot open: No such file or directory"},
        {"a file of text", "notes.txt", "not a module file (not an Extended Module, pattern-format, Scream Tracker 3 or Impulse Tracker file)"},
        {"an empty file", "empty.xm", "not a module file (the file is empty)"},
        {"a song header cut short", "cut.xm", "damaged Extended Module file: its song header is cut short"},
        {"more than 255 channels", "wide.xm", "unsupported Extended Module file: more than 255 channels"},
    };
}

class QuavixInfoFilesThatDoNotLoadGetOneLineEach : public QuavixInfo,
                                                   public ::testing::WithParamInterface<TNoLoadCase> {};

TEST_P(QuavixInfoFilesThatDoNotLoadGetOneLineEach, FilesThatDoNotLoadGetOneLineEach) {
    const TNoLoadCase& Case = GetParam();
    // As text and as JSON alike.
    for (const char* Mode : {"", "--json "}) {
        SCOPED_TRACE(std::string("info ") + Mode);
        TRun Run = Quavix(std::string("info ") + Mode + Path("mk.mod") + " " + Path(Case.File));
        EXPECT_EQ(Run.Status, 1) << Case.File;
        // The good file is still shown; the bad one gets a single line.
        EXPECT_NE(Run.Out.find("M.K."), std::string::npos) << Case.File;
        std::string Prefix = "quavix: " + Path(Case.File) + ": " + Case.Reason;
        EXPECT_EQ(Run.Err.compare(0, Prefix.size(), Prefix), 0) << Run.Err;
        EXPECT_EQ(std::count(Run.Err.begin(), Run.Err.end(), '\n'), 1) << Run.Err;
    }
}
INSTANTIATE_TEST_SUITE_P(QuavixInfo, QuavixInfoFilesThatDoNotLoadGetOneLineEach, ::testing::ValuesIn(NoLoadCases()),
                         quavix_test::TCaseName());

// A folder stands for the songs in it, in name order: the damaged and the
// unsupported ones, which their signatures name Extended Modules, get their
// lines; the empty file and the text are no songs and are passed over.
TEST_F(QuavixInfo, AFolderStandsForTheSongsInIt) {
    const TRun Run = Quavix("info " + Dir);
    EXPECT_EQ(Run.Status, 1);
    EXPECT_EQ(Run.Err, "quavix: " + Dir + "/cut.xm: damaged Extended Module file: its song header is cut short\n" +
                           "quavix: " + Dir + "/wide.xm: unsupported Extended Module file: more than 255 channels\n");
    EXPECT_NE(Run.Out.find(Dir + "/small.s3m\n"), std::string::npos) << Run.Out;
    EXPECT_EQ(Run.Out.find("notes.txt"), std::string::npos) << Run.Out;
    EXPECT_EQ(Run.Out.find("empty.xm"), std::string::npos) << Run.Out;
}

struct TCommandLineCase : quavix_test::TNamedCase {
    const char* Arguments;
    int Status;
    const char* Out;  // expected at the start of stdout
    const char* Err;  // expected at the start of stderr
};

std::vector<TCommandLineCase> CommandLineCases() {
    return {
        {"the tool's help", "--help", 0, "Quavix Player's command-line tool", ""},
        {"the help of info", "info --help", 0, "show what module files hold", ""},
        {"the version", "--version", 0, "quavix 0.", ""},
        {"no command", "", 2, "", "quavix: missing command"},
        {"an unknown command", "frobnicate", 2, "", "quavix: unknown command 'frobnicate'"},
        {"an unknown option", "--frobnicate", 2, "", "quavix: unknown option '--frobnicate'"},
        {"info without a file", "info", 2, "", "quavix: info: FILE is required"},
        {"an option info does not take", "info --fast x.xm", 2, "",
         "quavix: info: The following argument was not expected: --fast"},
    };
}

class QuavixInfoCommandLine : public QuavixInfo, public ::testing::WithParamInterface<TCommandLineCase> {};

TEST_P(QuavixInfoCommandLine, CommandLine) {
    const TCommandLineCase& Case = GetParam();
    TRun Run = Quavix(Case.Arguments);
    EXPECT_EQ(Run.Status, Case.Status) << Case.Arguments;
    EXPECT_EQ(Run.Out.compare(0, std::string(Case.Out).size(), Case.Out), 0) << Case.Arguments << ": " << Run.Out;
    EXPECT_EQ(Run.Err.compare(0, std::string(Case.Err).size(), Case.Err), 0) << Case.Arguments << ": " << Run.Err;
}
INSTANTIATE_TEST_SUITE_P(QuavixInfo, QuavixInfoCommandLine, ::testing::ValuesIn(CommandLineCases()),
                         quavix_test::TCaseName());

TEST_F(QuavixInfo, AFileNamedLikeAnOptionComesAfterTheDoubleDash) {
    SaveBytes(Path("-odd.xm"), WriteXm(SmallXm()));
    EXPECT_EQ(Quavix("info -- -odd.xm", Dir).Status, 0);
    EXPECT_EQ(Quavix("info -odd.xm", Dir).Status, 2);
}

TEST_F(QuavixInfo, SamplesListNamesLoopsAndFormats) {
    TXmSong Song = SmallXm();
    TXmSample Pad = Sample16(std::vector<int32_t>(200, 1000), "pad \xe9");
    Pad.NumChannels = 2;
    Pad.Loop = TLoop::PingPong;
    Pad.LoopStart = 10;
    Pad.LoopLength = 40;
    Pad.Volume = 32;
    Pad.FineTune = -16;
    TXmInstrument Two = Instrument("two", Sample8({1, 2, 3, 4}, "plain"));
    Two.Samples.push_back(Pad);
    Song.Instruments.push_back(Two);
    TXmInstrument Greetings;
    Greetings.Name = "greetings to all";  // a name and nothing else
    Song.Instruments.push_back(Greetings);
    SaveBytes(Path("samples.xm"), WriteXm(Song));
    TModSong Mod = SmallMod();
    Mod.Samples[0].Name = "hello from the mod";
    TModSample Empty;
    Empty.Name = "  second line";
    Mod.Samples.push_back(Empty);
    SaveBytes(Path("samples.mod"), WriteMod(Mod));

    TRun Run = Quavix("info --samples " + Path("samples.xm"));
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    const std::string List = Run.Out.substr(Run.Out.find("  instruments and samples:\n"));
    EXPECT_EQ(List,
              "  instruments and samples:\n"
              "      1 \"square\"\n"
              "         0 \"square\"                      32 frames, forward loop 0+32, 8-bit mono, volume 64, finetune 0\n"
              "      2 \"two\"\n"
              "         0 \"plain\"                        4 frames, no loop, 8-bit mono, volume 64, finetune 0\n"
              "         1 \"pad \xe9\"                      100 frames, ping-pong loop 10+40, 16-bit stereo, volume 32, "
              "finetune -16\n"
              "      3 \"greetings to all\"\n");
    Run = Quavix("info --samples " + Path("samples.mod"));
    EXPECT_NE(Run.Out.find("      1  0 \"hello from the mod\""), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Out.find("      2  0 \"  second line\"                0 frames"), std::string::npos) << Run.Out;

    Run = Quavix("info --json --samples " + Path("samples.xm"));
    const nlohmann::json Object = nlohmann::json::parse(Run.Out);
    ASSERT_EQ(Object["instrument_list"].size(), 3u) << Run.Out;
    EXPECT_EQ(Object["instrument_list"][1], nlohmann::json::parse(
        "{\"number\":2,\"name\":\"two\",\"kind\":\"sample\",\"samples\":["
        "{\"index\":0,\"name\":\"plain\",\"length\":4,\"loop\":\"none\",\"loop_start\":0,\"loop_length\":0,"
        "\"bits\":8,\"stereo\":false,\"volume\":64,\"finetune\":0},"
        "{\"index\":1,\"name\":\"pad \xc3\xa9\",\"length\":100,\"loop\":\"ping-pong\",\"loop_start\":10,"
        "\"loop_length\":40,\"bits\":16,\"stereo\":true,\"volume\":32,\"finetune\":-16}]}"));
    // Without --samples, no list.
    EXPECT_EQ(Quavix("info --json " + Path("samples.xm")).Out.find("instrument_list"), std::string::npos);

    // An AdLib voice of a Scream Tracker 3 song is listed with its kind.
    TS3mSong Adlib = SmallS3m();
    Adlib.Instruments.emplace_back();
    Adlib.Instruments.back().Type = 2;
    Adlib.Instruments.back().Name = "organ";
    SaveBytes(Path("adlib.s3m"), WriteS3m(Adlib));
    Run = Quavix("info --samples " + Path("adlib.s3m"));
    EXPECT_NE(Run.Out.find("      2 \"organ\" AdLib melody, silent here\n"), std::string::npos) << Run.Out;
    Run = Quavix("info --json --samples " + Path("adlib.s3m"));
    EXPECT_EQ(nlohmann::json::parse(Run.Out)["instrument_list"][1]["kind"], "AdLib melody") << Run.Out;
}

TEST_F(QuavixInfo, BundledSongLoads) {
    TRun Run = Quavix("info " QUAVIX_SOURCE_DIR "/songs/quavix-default.xm");
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_NE(Run.Out.find("  title:       Quavix default song\n"), std::string::npos);
    EXPECT_NE(Run.Out.find("  channels:    8\n"), std::string::npos);
}

// Points of a sample with sound in every one of them.
std::vector<int32_t> Saw(int32_t Count) {
    std::vector<int32_t> Points;
    for (int32_t i = 0; i < Count; ++i) Points.push_back(i % 64 * 2 - 64);
    return Points;
}

// Two patterns and three samples of 1000 bytes: the file is the 1084-byte
// header, the patterns from byte 1084 to 3132, then the samples.
TModSong ThreeSampleMod() {
    TModSong Song = SmallMod();
    Song.Orders = {0, 1};
    Song.Patterns = {TModPattern{{ModAt(0, 0, Note("C-3"), 1), ModAt(0, 1, Note("E-3"), 2)}},
                     TModPattern{{ModAt(0, 2, Note("G-3"), 3)}}};
    Song.Samples.clear();
    for (int32_t i = 0; i < 3; ++i) {
        TModSample Sample;
        Sample.Name = "part";
        Sample.Values = Saw(1000);
        Song.Samples.push_back(Sample);
    }
    return Song;
}

TBytes CutTo(TBytes Bytes, size_t Size) {
    Bytes.resize(Size);
    return Bytes;
}

// Three instruments of one 1000-point sample each, all of them played; the
// last instrument (header, sample header and data) takes the file's last
// 263 + 40 + 1000 bytes.
TXmSong ThreeInstrumentXm() {
    TXmSong Song = SmallXm();
    Song.Channels = 3;
    Song.Patterns = {TXmPattern(16, {At(0, 0, Note("C-4"), 1), At(0, 1, Note("E-4"), 2), At(0, 2, Note("G-4"), 3)})};
    Song.Instruments.clear();
    for (const char* Name : {"one", "two", "three"}) Song.Instruments.push_back(Instrument(Name, Sample8(Saw(1000))));
    return Song;
}

TS3mSong TwoSampleS3m() {
    TS3mSong Song = SmallS3m();
    Song.Instruments = {S3mSample8(Saw(1000), "one"), S3mSample8(Saw(1000), "two")};
    return Song;
}

struct TCutCase : quavix_test::TNamedCase {
    std::string File;
    std::function<TBytes()> Bytes;
    std::vector<std::string> Warnings;  // empty: a whole file
};

std::vector<TCutCase> CutCases() {
    const size_t XmLast = 263 + 40 + 1000;
    return {
        {"a whole pattern-format song", "whole-song.mod", [] { return WriteMod(ThreeSampleMod()); }, {}},
        {"a pattern-format song cut to 2000 bytes", "cut-2000.mod", [] { return CutTo(WriteMod(ThreeSampleMod()), 2000); },
         {"1 pattern is cut short", "1 pattern is missing", "3 samples are missing"}},
        {"a pattern-format song cut within its second sample", "cut-samples.mod",
         [] { return CutTo(WriteMod(ThreeSampleMod()), 3132 + 1500); },
         {"1 sample is cut short", "1 sample is missing"}},
        {"a whole Extended Module", "whole-song.xm", [] { return WriteXm(ThreeInstrumentXm()); }, {}},
        {"an Extended Module cut within its second instrument's sample", "cut-sample.xm",
         [XmLast] {
             TBytes Bytes = WriteXm(ThreeInstrumentXm());
             return CutTo(Bytes, Bytes.size() - XmLast - 500);
         },
         {"1 sample is cut short", "1 instrument is missing"}},
        // Trackers that leave them out counted them all the same.
        {"an Extended Module without its trailing unplayed instruments", "no-trailing.xm",
         [] {
             TXmSong Song = SmallXm();
             Song.InstrumentCount = 4;
             return WriteXm(Song);
         },
         {}},
        {"an Extended Module without a trailing instrument it plays", "no-played.xm",
         [] {
             TXmSong Song = SmallXm();
             Song.Patterns[0].Cells.push_back(At(8, 0, Note("C-5"), 3));
             Song.InstrumentCount = 4;
             return WriteXm(Song);
         },
         {"1 instrument is missing"}},
        {"an Extended Module cut within its patterns", "cut-patterns.xm",
         [] {
             TXmSong Song = ThreeInstrumentXm();
             Song.Orders = {0, 1, 2};
             Song.Patterns.push_back(Song.Patterns[0]);
             Song.Patterns.push_back(Song.Patterns[0]);
             // The song header (336 bytes after the first 60) and a few
             // bytes of the first pattern.
             return CutTo(WriteXm(Song), 60 + 276 + 9 + 4);
         },
         {"1 pattern is cut short", "2 patterns are missing", "3 instruments are missing"}},
        {"a Scream Tracker 3 song cut within its last sample", "cut-sample.s3m",
         [] {
             TS3mSong Song = TwoSampleS3m();
             Song.CutBytes = 500;
             return WriteS3m(Song);
         },
         {"1 sample is cut short"}},
    };
}

// Files cut short: what they lack loads as silence, and info, render and
// play say so in one line per file, while the song still plays (exit 0).
class QuavixInfoLoadWarnings : public QuavixInfo, public ::testing::WithParamInterface<TCutCase> {};

TEST_P(QuavixInfoLoadWarnings, ACutFileSaysWhatItLacks) {
    const TCutCase& Case = GetParam();
    SaveBytes(Path(Case.File), Case.Bytes());
    std::string Line;
    for (const std::string& Warning : Case.Warnings) Line += (Line.empty() ? "" : ", ") + Warning;
    const std::string Said = Case.Warnings.empty() ? "" : "quavix: " + Case.File + ": " + Line + "\n";

    // info: a list in JSON, a line in text; the file loaded all the same.
    TRun Run = Quavix("info --json " + Case.File, Dir);
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Err, "");
    EXPECT_EQ(nlohmann::json::parse(Run.Out)["warnings"], nlohmann::json(Case.Warnings)) << Run.Out;
    Run = Quavix("info " + Case.File, Dir);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    const size_t At = Run.Out.find("  warnings:    ");
    if (Case.Warnings.empty())
        EXPECT_EQ(At, std::string::npos) << Run.Out;
    else
        EXPECT_NE(Run.Out.find("  warnings:    " + Line + "\n"), std::string::npos) << Run.Out;

    // render: one line, and the file is written.
    Run = Quavix("render " + Case.File + " --seconds 0.5 -o out.wav", Dir);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Err, Said);
    EXPECT_EQ(access(Path("out.wav").c_str(), F_OK), 0);
    // One line for the file, not one per stem.
    Run = Quavix("render " + Case.File + " --seconds 0.1 --stems -o stem.wav", Dir);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Err, Said);

    // play: the same line before the song plays.
    Run = RunShell("cd '" + Dir + "' && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null \"$Q\" play --seconds 0.1 " +
                       Case.File + " </dev/null",
                   Path("stderr.txt"));
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    // Nothing else: what SDL's disk driver says of itself is not shown either.
    EXPECT_EQ(Run.Err, Said);
}
INSTANTIATE_TEST_SUITE_P(QuavixInfo, QuavixInfoLoadWarnings, ::testing::ValuesIn(CutCases()),
                         quavix_test::TCaseName());

}  // namespace
