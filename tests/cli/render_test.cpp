// quavix render, run as users run it: the built program on written songs.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_run.h"
#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

struct TAudio {
    bool Ok = false;
    int Format = 0;
    int Rate = 0;
    int Channels = 0;
    int64_t Frames = 0;
};

TAudio ReadAudio(const std::string& Path) {
    TAudio Audio;
    SF_INFO Info{};
    SNDFILE* File = sf_open(Path.c_str(), SFM_READ, &Info);
    if (!File) return Audio;
    Audio = {true, Info.format, Info.samplerate, Info.channels, Info.frames};
    sf_close(File);
    return Audio;
}

std::string ReadFile(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::stringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

class QuavixRender : public ::testing::Test {
protected:
    static std::string Dir;

    static void SetUpTestSuite() {
        char Template[] = "/tmp/quavix-render-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Dir = Template;
        SaveBytes(Path("song.xm"), WriteXm(SmallXm()));
        SaveBytes(Path("tune.mod"), WriteMod(SmallMod()));
        SaveBytes(Path("mod.title"), WriteMod(SmallMod()));
        SaveBytes(Path("notes.txt"), TBytes(2000, 'x'));
    }

    static void TearDownTestSuite() { std::system(("rm -rf '" + Dir + "'").c_str()); }

    static std::string Path(const std::string& Name) { return Dir + "/" + Name; }

    // A fresh empty folder to run in.
    static std::string Folder(const std::string& Name) {
        std::string Folder = Path(Name);
        std::system(("rm -rf '" + Folder + "' && mkdir -p '" + Folder + "'").c_str());
        return Folder;
    }

    static TRun Quavix(const std::string& Arguments, const std::string& WorkDir) {
        return RunShell("cd '" + WorkDir + "' && \"$Q\" " + Arguments, Path("stderr.txt"));
    }

    // Files in a folder, sorted, hidden ones included.
    static std::string Listing(const std::string& Folder) {
        return RunShell("ls -A '" + Folder + "' | tr '\\n' ' '", Path("ls.txt")).Out;
    }
};

std::string QuavixRender::Dir;

struct TOutputCase : quavix_test::TNamedCase {
    const char* Arguments;
    const char* Output;
    int Format, Rate, Channels;
    int64_t Frames;
};

std::vector<TOutputCase> OutputCases() {
    return {
        {"16-bit stereo wave at 44100 Hz by default", "../song.xm --seconds 1.5", "song.wav",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 66150},
        {"8-bit mono at 22050 Hz, the frames rounded", "../song.xm --seconds 0.25 --rate 22050 --mono --bits 8",
         "song.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 1, 5513},  // 5512.5 frames, rounded
        {"flac named by -o", "../song.xm --seconds 2 -o out.flac", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
         44100, 2, 88200},
        {"8-bit flac at 8000 Hz, its suffix in capitals", "../song.xm --seconds 1 --rate 8000 --bits 8 -o low.FLAC",
         "low.FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_S8, 8000, 2, 8000},
        {"a pattern-format song without interpolation", "../tune.mod --seconds 0.5 --interpolation none", "tune.wav",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 22050},
        {"cubic interpolation", "../song.xm --seconds 0.5 --interpolation cubic", "song.wav",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 22050},
        {"windowed-sinc interpolation, mono", "../tune.mod --seconds 0.5 --interpolation sinc --mono", "tune.wav",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 22050},
        {"a song name with a dot gets .wav added", "../mod.title --seconds 0.001", "mod.title.wav",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 44},
        {"an output name without a suffix is a wave file", "../song.xm --seconds 3 --rate 48000 -o plain", "plain",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 144000},
    };
}

class QuavixRenderWritesTheAudioFileTheOptionsAskFor : public QuavixRender,
                                                       public ::testing::WithParamInterface<TOutputCase> {};

TEST_P(QuavixRenderWritesTheAudioFileTheOptionsAskFor, WritesTheAudioFileTheOptionsAskFor) {
    const TOutputCase& Case = GetParam();
    std::string Work = Folder("out");
    TRun Run = Quavix(std::string("render ") + Case.Arguments, Work);
    EXPECT_EQ(Run.Status, 0) << Case.Arguments << ": " << Run.Err;
    // Quiet when standard error is no terminal, and nothing on stdout.
    EXPECT_EQ(Run.Err, "") << Case.Arguments;
    EXPECT_EQ(Run.Out, "") << Case.Arguments;
    EXPECT_EQ(Listing(Work), std::string(Case.Output) + " ") << Case.Arguments;
    TAudio Audio = ReadAudio(Work + "/" + Case.Output);
    ASSERT_TRUE(Audio.Ok) << Case.Arguments;
    EXPECT_EQ(Audio.Format, Case.Format) << Case.Arguments;
    EXPECT_EQ(Audio.Rate, Case.Rate) << Case.Arguments;
    EXPECT_EQ(Audio.Channels, Case.Channels) << Case.Arguments;
    EXPECT_EQ(Audio.Frames, Case.Frames) << Case.Arguments;
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderWritesTheAudioFileTheOptionsAskFor,
                         ::testing::ValuesIn(OutputCases()), quavix_test::TCaseName());

TEST_F(QuavixRender, StandardOutputTakesAWaveFile) {
    std::string Work = Folder("stdout");
    // Through a pipe, and straight into a file the shell opened.
    for (const char* Redirect : {"| cat > piped.wav", "> direct.wav"}) {
        TRun Run = Quavix(std::string("render ../song.xm --seconds 1.25 -o - ") + Redirect, Work);
        EXPECT_EQ(Run.Status, 0) << Redirect << ": " << Run.Err;
    }
    for (const char* Name : {"piped.wav", "direct.wav"}) {
        TAudio Audio = ReadAudio(Work + "/" + Name);
        EXPECT_EQ(Audio.Format, SF_FORMAT_WAV | SF_FORMAT_PCM_16) << Name;
        EXPECT_EQ(Audio.Frames, 55125) << Name;
    }
    EXPECT_EQ(ReadFile(Work + "/piped.wav"), ReadFile(Work + "/direct.wav"));
    // No temporary file is left where the piped audio waited.
    EXPECT_EQ(Listing(Work), "direct.wav piped.wav ");
}

struct TFailureCase : quavix_test::TNamedCase {
    std::string Arguments;
    int Status;
    std::string Err;  // start of the only line on stderr
};

std::vector<TFailureCase> FailureCases() {
    return {
        {"a missing song", "../missing.xm", 1, "quavix: ../missing.xm: cannot open: No such file or directory"},
        {"a file that is no module", "../notes.txt", 1, "quavix: ../notes.txt: not a module file"},
        {"an output folder that does not exist", "../song.xm --seconds 1 -o nowhere/x.wav", 1,
         "quavix: nowhere/x.wav: cannot write: No such file or directory"},
        {"an output folder that is a file", "../song.xm --seconds 1 -o ../notes.txt/x.wav", 1,
         "quavix: ../notes.txt/x.wav: cannot write: Not a directory"},
        {"an output that is a folder", "../song.xm --seconds 1 -o ..", 1, "quavix: ..: is a directory"},
        {"a full disk", "../song.xm --seconds 1 -o /dev/full", 1,
         "quavix: /dev/full: cannot write: No space left on device"},
        {"a full disk behind standard output", "../song.xm --seconds 1 -o - > /dev/full", 1,
         "quavix: standard output: cannot write: No space left"},
        {"an output suffix of no format written", "../song.xm -o song.aiff", 2,
         "quavix: render: song.aiff: cannot write '.aiff' files"},
        {"-o with two songs", "../song.xm ../tune.mod -o x.wav", 2, "quavix: render: -o names one output file"},
        {"two songs written to one name", "../song.xm sub/song.xm", 2,
         "quavix: render: ../song.xm and sub/song.xm would both be written to song.wav"},
        {"--bits of a sample size not written", "../song.xm --bits 12", 2, "quavix: render: --bits"},
        {"--seconds with --repeat", "../song.xm --seconds 2 --repeat 1", 2,
         "quavix: render: --seconds excludes --repeat"},
        {"--stereo-separation with --mono", "../song.xm --mono --stereo-separation 50", 2,
         "quavix: render: --mono excludes --stereo-separation"},
        {"--seconds beyond the longest render", "../song.xm --seconds 1801", 2, "quavix: render: --seconds"},
        {"--mute of a channel beyond the song", "../song.xm --mute 1,3", 2,
         "quavix: render: ../song.xm: --mute 1,3: channel 3 is beyond the song's 2 channels"},
        {"--solo of no channel list", "../song.xm --solo 2-", 2, "quavix: render: --solo: '2-' is no channel list"},
        {"--start beyond the song", "../song.xm --start 1", 2,
         "quavix: render: ../song.xm: --start 1 is beyond the song"},
        {"--format of no format written", "../song.xm --format aiff", 2, "quavix: render: --format: aiff not in"},
        {"--format against the output name", "../song.xm --format ogg -o x.flac", 2,
         "quavix: render: x.flac: the name says flac but --format says ogg"},
        {"no jobs", "../song.xm -j 0", 2, "quavix: render: --jobs: -j 0 renders nothing"},
        {"stems to standard output", "../song.xm --stems -o -", 2,
         "quavix: render: --stems writes one file per channel"},
        {"--quality of a lossless format", "../song.xm --quality 4", 2,
         "quavix: render: --quality is for the lossy formats"},
        {"--quality beyond its scale", "../song.xm --quality 11 -o x.ogg", 2, "quavix: render: --quality"},
        {"a rate opus does not take", "../song.xm --rate 44100 -o x.opus", 2,
         "quavix: render: --rate 44100: opus takes 8000, 12000"},
        {"no song", "", 2, "quavix: render: FILE is required"},
    };
}

class QuavixRenderEachFailureIsOneLineAndLeavesNoFile : public QuavixRender,
                                                        public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(QuavixRenderEachFailureIsOneLineAndLeavesNoFile, EachFailureIsOneLineAndLeavesNoFile) {
    const TFailureCase& Case = GetParam();
    std::string Work = Folder("errors");
    TRun Run = Quavix("render " + Case.Arguments, Work);
    EXPECT_EQ(Run.Status, Case.Status) << Case.Arguments << ": " << Run.Err;
    EXPECT_EQ(Run.Err.compare(0, Case.Err.size(), Case.Err), 0) << Case.Arguments << ": " << Run.Err;
    // One line; a wrong command line may add a hint where to read more.
    const auto Lines = std::count(Run.Err.begin(), Run.Err.end(), '\n');
    EXPECT_TRUE(Lines == 1 || (Case.Status == 2 && Lines == 2 && Run.Err.find("\nTry 'quavix ") != std::string::npos))
        << Case.Arguments << ": " << Run.Err;
    EXPECT_EQ(Listing(Work), "") << Case.Arguments;
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderEachFailureIsOneLineAndLeavesNoFile,
                         ::testing::ValuesIn(FailureCases()), quavix_test::TCaseName());

struct TNumberOptionCase : quavix_test::TNamedCase {
    std::string Command;  // after $Q
    std::string Err;      // the first line of standard error
};

std::vector<TNumberOptionCase> NumberOptionCases() {
    return {
        {"seconds that are no number", "render ../song.xm --seconds abc",
         "quavix: render: --seconds: abc is not a number of seconds"},
        {"seconds with trailing text", "render ../song.xm --seconds 2s",
         "quavix: render: --seconds: 2s is not a number of seconds"},
        {"seconds out of range", "render ../song.xm --seconds 0",
         "quavix: render: --seconds: 0 is out of range: give 0.001 to 1800 seconds"},
        {"seconds that are not a number at all", "render ../song.xm --seconds nan",
         "quavix: render: --seconds: nan is not a number of seconds"},
        {"play's seconds", "play ../song.xm --seconds abc", "quavix: play: --seconds: abc is not a number of seconds"},
        {"repeats that are no whole number", "render ../song.xm --repeat 1.5",
         "quavix: render: --repeat: 1.5 is not a whole number of repeats"},
        {"repeats below 0", "play ../song.xm --repeat -1",
         "quavix: play: --repeat: -1 is out of range: give 0 to 1000 repeats"},
        {"jobs that are no number", "render ../song.xm -j abc",
         "quavix: render: --jobs: abc is not a whole number of files at a time"},
        {"too many jobs", "render ../song.xm -j 2000",
         "quavix: render: --jobs: 2000 is out of range: give 1 to 1024 files at a time"},
        {"a rate that is no number", "render ../song.xm --rate fast",
         "quavix: render: --rate: fast is not a whole number of Hz"},
        {"a rate out of range", "render ../song.xm --rate 500",
         "quavix: render: --rate: 500 is out of range: give 8000 to 192000 Hz"},
        {"quality that is no number", "render ../song.xm -o x.ogg --quality high",
         "quavix: render: --quality: high is not a whole number"},
        {"a start that is no number", "play ../song.xm --start one",
         "quavix: play: --start: one is not a whole number"},
        {"a start with a leading zero is decimal, not octal", "render ../song.xm --start 010",
         "quavix: render: ../song.xm: --start 10 is beyond the song, whose order positions run from 0 to 0"},
        {"bits that are no number", "render ../song.xm --bits x", "quavix: render: --bits: x is not 8 or 16"},
        {"a stereo separation that is no number", "render ../song.xm --stereo-separation wide",
         "quavix: render: --stereo-separation: wide is not a whole number of percent"},
        {"a stereo separation past twice the song's", "play ../song.xm --stereo-separation 201",
         "quavix: play: --stereo-separation: 201 is out of range: give 0 to 200 percent"},
        {"a stereo separation below mono", "render ../song.xm --stereo-separation -10",
         "quavix: render: --stereo-separation: -10 is out of range: give 0 to 200 percent"},
    };
}

class QuavixNumberOptionsAreReportedInPlainWords : public QuavixRender,
                                                   public ::testing::WithParamInterface<TNumberOptionCase> {};

TEST_P(QuavixNumberOptionsAreReportedInPlainWords, NumberOptionsAreReportedInPlainWords) {
    const TNumberOptionCase& Case = GetParam();
    std::string Work = Folder("numbers");
    TRun Run = Quavix(Case.Command, Work);
    EXPECT_EQ(Run.Status, 2) << Run.Err;
    EXPECT_EQ(Run.Err.substr(0, Run.Err.find('\n')), Case.Err);
    EXPECT_EQ(Listing(Work), "");
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixNumberOptionsAreReportedInPlainWords,
                         ::testing::ValuesIn(NumberOptionCases()), quavix_test::TCaseName());

TEST_F(QuavixRender, HelpShowsEachOptionsValueOnce) {
    // The value's name alone: no parser type or range after it.
    std::string Work = Folder("help");
    const std::string Render = Quavix("render --help", Work).Out;
    const std::string Play = Quavix("play --help", Work).Out;
    for (const char* Line : {"  -j,--jobs N ", "  --seconds S ", "  --repeat N ", "  --rate HZ ", "  --start ORDER ",
                             "  --mute LIST ", "  --bits 8|16 ", "  --format wav|flac|ogg|opus|mp3\n",
                             "  --interpolation none|linear|cubic|sinc\n", "  --stereo-separation PERCENT "})
        EXPECT_NE(Render.find(Line), std::string::npos) << Line << "\n" << Render;
    for (const char* Line : {"  --seconds S ", "  --start ORDER ", "  --solo LIST ", "  --stereo-separation PERCENT ",
                             "  --interpolation none|linear|cubic|sinc\n"})
        EXPECT_NE(Play.find(Line), std::string::npos) << Line << "\n" << Play;
    for (const std::string* Help : {&Render, &Play})
        for (const char* Noise : {":INT", ":FLOAT", ":N", ":LIST", ":{", " in ["})
            EXPECT_EQ(Help->find(Noise), std::string::npos) << Noise << "\n" << *Help;
}

// A file-size limit stops the writing part way: the partial file goes.
TEST_F(QuavixRender, AFileSizeLimitLeavesNoPartOfTheFile) {
    std::string Work = Folder("limited");
    TRun Run = RunShell("cd '" + Work + "' && ulimit -f 100 && \"$Q\" render ../song.xm --seconds 5 -o big.wav",
                        Path("stderr.txt"));
    EXPECT_EQ(Run.Status, 1);
    EXPECT_EQ(Run.Err, "quavix: big.wav: cannot write: File too large\n");
    EXPECT_EQ(Listing(Work), "");
}

TEST_F(QuavixRender, OtherSongsStillGetRenderedAfterAFailure) {
    std::string Work = Folder("mixed");
    TRun Run = Quavix("render ../missing.xm ../tune.mod --seconds 0.5", Work);
    EXPECT_EQ(Run.Status, 1);
    EXPECT_EQ(Listing(Work), "tune.wav ");
}

// Songs of empty patterns, the rows of each given. At speed 6 and tempo 125,
// 882 frames a tick, 5292 a row.
TXmSong StraightSong() {
    TXmSong Song = SmallXm();
    Song.Orders = {0, 1};
    Song.Patterns = EmptyPatterns({16, 8});
    return Song;
}

TXmSong RestartSong() {
    TXmSong Song = SmallXm();
    Song.Orders = {0, 1, 2};
    Song.RestartPosition = 1;
    Song.Patterns = EmptyPatterns({8, 8, 4});
    return Song;
}

struct TSongEndCase : quavix_test::TNamedCase {
    TXmSong Song;
    const char* Duration;
    std::vector<int64_t> FramesByRepeat;  // --repeat 0, 1, 2
};

std::vector<TSongEndCase> SongEndCases() {
    // Order 1 row 5 jumps back to the start of order 1: the first pass plays
    // 8 + 6 rows, every later one the 6 rows of the jump.
    TXmSong Backward = SmallXm();
    Backward.Orders = {0, 1};
    Backward.Patterns = EmptyPatterns({8, 8});
    Backward.Patterns[1].Cells.push_back(At(5, 1, 0, 0, 0, Fx('B'), 1));

    // Rows 2..5 play three times, then 6 and 7: 16 rows, and no end inside.
    // Played again, the song starts at row 2, where the loop jumped back to
    // (as Fasttracker 2 carries the loop's row over): 14 rows a time.
    TXmSong Loop = SmallXm();
    Loop.Orders = {0};
    Loop.Patterns = EmptyPatterns({8});
    Loop.Patterns[0].Cells.push_back(At(2, 1, 0, 0, 0, Fx('E'), 0x60));
    Loop.Patterns[0].Cells.push_back(At(5, 1, 0, 0, 0, Fx('E'), 0x62));

    // Three ticks a row at tempo 150: 735 frames a tick.
    TXmSong Fast = SmallXm();
    Fast.Speed = 3;
    Fast.Tempo = 150;
    Fast.Orders = {0};
    Fast.Patterns = EmptyPatterns({10});

    return {
        {"straight through back to the first row", StraightSong(), "00:02.880", {24 * 5292, 48 * 5292, 72 * 5292}},
        {"back to the restart position", RestartSong(), "00:02.400", {20 * 5292, 32 * 5292, 44 * 5292}},
        {"a backward jump into an order played", Backward, "00:01.680", {14 * 5292, 20 * 5292, 26 * 5292}},
        {"a pattern loop plays rows again without an end", Loop, "00:01.920", {16 * 5292, 30 * 5292, 44 * 5292}},
        {"three ticks a row at tempo 150", Fast, "00:00.500", {10 * 3 * 735, 20 * 3 * 735, 30 * 3 * 735}},
    };
}

class QuavixRenderSongsEndWhereTheyFirstPlayARowAgain : public QuavixRender,
                                                         public ::testing::WithParamInterface<TSongEndCase> {};

TEST_P(QuavixRenderSongsEndWhereTheyFirstPlayARowAgain, SongsEndWhereTheyFirstPlayARowAgain) {
    const TSongEndCase& Case = GetParam();
    std::string Work = Folder("ends");
    const std::string File = Work + "/song.xm";
    SaveBytes(File, WriteXm(Case.Song));
    TRun Run = Quavix("info " + File, Work);
    EXPECT_NE(Run.Out.find(std::string("  duration:    ") + Case.Duration + "\n"), std::string::npos) << Run.Out;
    Run = Quavix("info --json " + File, Work);
    const double Seconds = nlohmann::json::parse(Run.Out)["duration"].get<double>();
    EXPECT_NEAR(Seconds, Case.FramesByRepeat[0] / 44100.0, 0.0005);
    for (size_t Repeat = 0; Repeat < Case.FramesByRepeat.size(); ++Repeat) {
        Run = Quavix("render " + File + " --repeat " + std::to_string(Repeat) + " -o out.wav", Work);
        EXPECT_EQ(Run.Status, 0) << Run.Err;
        EXPECT_EQ(ReadAudio(Work + "/out.wav").Frames, Case.FramesByRepeat[Repeat]) << "--repeat " << Repeat;
    }
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderSongsEndWhereTheyFirstPlayARowAgain,
                         ::testing::ValuesIn(SongEndCases()), quavix_test::TCaseName());

// A later start: the song plays from there until it comes back to a row it
// played, or to an order before the start.
struct TStartCase : quavix_test::TNamedCase {
    TXmSong Song;
    int32_t Order;
    int64_t Frames;
};

std::vector<TStartCase> StartCases() {
    return {
        {"straight from order 1 until the song wraps before it", StraightSong(), 1, 8 * 5292},
        {"from the last order until the restart leads before it", RestartSong(), 2, 4 * 5292},
        {"from the restart position round to it again", RestartSong(), 1, 12 * 5292},
    };
}

class QuavixRenderALaterStartEndsWhereItFirstPlaysARowAgain : public QuavixRender,
                                                              public ::testing::WithParamInterface<TStartCase> {};

TEST_P(QuavixRenderALaterStartEndsWhereItFirstPlaysARowAgain, ALaterStartEndsWhereItFirstPlaysARowAgain) {
    const TStartCase& Case = GetParam();
    std::string Work = Folder("starts");
    SaveBytes(Work + "/song.xm", WriteXm(Case.Song));
    TRun Run = Quavix("render song.xm --start " + std::to_string(Case.Order) + " -o out.wav", Work);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(ReadAudio(Work + "/out.wav").Frames, Case.Frames);
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderALaterStartEndsWhereItFirstPlaysARowAgain,
                         ::testing::ValuesIn(StartCases()), quavix_test::TCaseName());

// A song of three channels that never clips, each channel its own sound.
TXmSong ThreeVoices() {
    TXmSong Song = SmallXm();
    Song.Channels = 3;
    Song.Orders = {0};
    Song.Patterns = {TXmPattern(16, {At(0, 0, Note("C-4"), 1), At(4, 1, Note("G-4"), 1, 0x30),
                                     At(8, 2, Note("E-5"), 1, 0x28, Fx('4'), 0x46), At(12, 0, Note("D-4"), 1)})};
    return Song;
}

struct TFormatCase : quavix_test::TNamedCase {
    const char* Arguments;
    const char* Output;
    int Container, Encoding, Rate, Channels;
};

std::vector<TFormatCase> FormatCases() {
    return {
        {"wave", "-o t.wav", "t.wav", SF_FORMAT_WAV, SF_FORMAT_PCM_16, 44100, 2},
        {"flac in mono", "-o t.flac --mono", "t.flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_16, 44100, 1},
        {"ogg vorbis", "-o t.ogg", "t.ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS, 44100, 2},
        {"ogg vorbis at quality 0 and 22050 Hz", "-o t.ogg --quality 0 --rate 22050", "t.ogg", SF_FORMAT_OGG,
         SF_FORMAT_VORBIS, 22050, 2},
        // Opus takes 48000 Hz unless told another of its rates.
        {"opus at 48000 Hz unless told", "-o t.opus", "t.opus", SF_FORMAT_OGG, SF_FORMAT_OPUS, 48000, 2},
        {"opus at 24000 Hz and quality 10", "-o t.opus --rate 24000 --quality 10", "t.opus", SF_FORMAT_OGG,
         SF_FORMAT_OPUS, 24000, 2},
        {"mp3 from 8 bits, its suffix in capitals", "-o T.MP3 --bits 8", "T.MP3", SF_FORMAT_MPEG,
         SF_FORMAT_MPEG_LAYER_III, 44100, 2},
        {"mp3 by --format, named after the song", "--format mp3", "song.mp3", SF_FORMAT_MPEG,
         SF_FORMAT_MPEG_LAYER_III, 44100, 2},
        {"flac by --format through a pipe", "--format flac -o - | cat > piped", "piped", SF_FORMAT_FLAC,
         SF_FORMAT_PCM_16, 44100, 2},
        {"ogg by --format under a name without a suffix", "--format ogg -o named", "named", SF_FORMAT_OGG,
         SF_FORMAT_VORBIS, 44100, 2},
    };
}

class QuavixRenderEveryFormatReadsBack : public QuavixRender, public ::testing::WithParamInterface<TFormatCase> {};

TEST_P(QuavixRenderEveryFormatReadsBack, EveryFormatReadsBack) {
    const TFormatCase& Case = GetParam();
    std::string Work = Folder("formats");
    TRun Run = Quavix(std::string("render ../song.xm --seconds 1.5 ") + Case.Arguments, Work);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Listing(Work), std::string(Case.Output) + " ");
    TAudio Audio = ReadAudio(Work + "/" + Case.Output);
    ASSERT_TRUE(Audio.Ok);
    EXPECT_EQ(Audio.Format & SF_FORMAT_TYPEMASK, Case.Container);
    EXPECT_EQ(Audio.Format & SF_FORMAT_SUBMASK, Case.Encoding);
    EXPECT_EQ(Audio.Rate, Case.Rate);
    EXPECT_EQ(Audio.Channels, Case.Channels);
    EXPECT_EQ(Audio.Frames, Case.Rate * 3 / 2);
    const std::vector<int16_t> Samples = ReadSamples(Work + "/" + Case.Output);
    int32_t Loudest = 0;
    for (int16_t Value : Samples) Loudest = std::max(Loudest, std::abs(static_cast<int32_t>(Value)));
    EXPECT_GT(Loudest, 3000) << "silence";
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderEveryFormatReadsBack, ::testing::ValuesIn(FormatCases()),
                         quavix_test::TCaseName());

// Samples of a file as floats, interleaved; empty when it does not open.
std::vector<float> ReadFloats(const std::string& Path, int& Channels) {
    SF_INFO Info{};
    SNDFILE* File = sf_open(Path.c_str(), SFM_READ, &Info);
    if (!File) return {};
    Channels = Info.channels;
    std::vector<float> Samples(static_cast<size_t>(Info.frames * Info.channels));
    sf_readf_float(File, Samples.data(), Info.frames);
    sf_close(File);
    return Samples;
}

// The correlation of one channel of Decoded with the same channel of Wave,
// Decoded moved by the lag (within MaxLag frames either way) where the two
// agree best: encoders delay the sound by a few hundred frames and decoders
// do not always take all of it back.
double AlignedCorrelation(const std::vector<float>& Wave, const std::vector<float>& Decoded, int Channels, int Channel,
                          int64_t MaxLag) {
    const int64_t WaveFrames = static_cast<int64_t>(Wave.size()) / Channels;
    const int64_t DecodedFrames = static_cast<int64_t>(Decoded.size()) / Channels;
    auto Correlation = [&](int64_t Lag, int64_t First, int64_t Last) {
        double Sum = 0, WaveEnergy = 0, DecodedEnergy = 0;
        for (int64_t Frame = First; Frame < Last; ++Frame) {
            const int64_t Other = Frame + Lag;
            if (Other < 0 || Other >= DecodedFrames) continue;
            const double A = Wave[static_cast<size_t>(Frame * Channels + Channel)];
            const double B = Decoded[static_cast<size_t>(Other * Channels + Channel)];
            Sum += A * B;
            WaveEnergy += A * A;
            DecodedEnergy += B * B;
        }
        return WaveEnergy > 0 && DecodedEnergy > 0 ? Sum / std::sqrt(WaveEnergy * DecodedEnergy) : 0.0;
    };
    // The lag is found on a stretch from the middle, then judged on the whole.
    const int64_t Middle = WaveFrames / 2, Stretch = std::min<int64_t>(8192, WaveFrames / 4);
    int64_t BestLag = 0;
    double Best = -2;
    for (int64_t Lag = -MaxLag; Lag <= MaxLag; ++Lag) {
        const double Value = Correlation(Lag, Middle - Stretch, Middle + Stretch);
        if (Value > Best) {
            Best = Value;
            BestLag = Lag;
        }
    }
    return Correlation(BestLag, 0, WaveFrames);
}

struct TLossyCase : quavix_test::TNamedCase {
    const char* Arguments;  // given to both renders
    const char* Output;
    const char* Quality = "";  // given to the lossy render only
};

std::vector<TLossyCase> LossyCases() {
    return {
        {"ogg vorbis in stereo", "--rate 44100", "t.ogg"},
        {"ogg vorbis in mono", "--rate 44100 --mono", "t.ogg"},
        {"ogg vorbis at quality 0 and 22050 Hz", "--rate 22050", "t.ogg", "--quality 0"},
        {"opus in stereo", "--rate 48000", "t.opus"},
        {"opus in mono at 24000 Hz", "--rate 24000 --mono", "t.opus"},
        {"mp3 in stereo", "--rate 44100", "t.mp3"},
        {"mp3 in mono", "--rate 44100 --mono", "t.mp3"},
        {"mp3 in stereo from 8 bits", "--rate 44100 --bits 8", "t.mp3"},
        {"mp3 in stereo at 22050 Hz and quality 10", "--rate 22050", "t.mp3", "--quality 10"},
    };
}

class QuavixRenderLossyFilesDecodeToTheWave : public QuavixRender, public ::testing::WithParamInterface<TLossyCase> {};

TEST_P(QuavixRenderLossyFilesDecodeToTheWave, LossyFilesDecodeToTheWave) {
    const TLossyCase& Case = GetParam();
    std::string Work = Folder("lossy");
    // The same song at the same rate and width, as a wave and lossy.
    const std::string Song = std::string("render ../song.xm --seconds 1.5 ") + Case.Arguments;
    TRun Run = Quavix(Song + " -o t.wav", Work);
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    Run = Quavix(Song + " " + Case.Quality + " -o " + Case.Output, Work);
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    int WaveChannels = 0, DecodedChannels = 0;
    const std::vector<float> Wave = ReadFloats(Work + "/t.wav", WaveChannels);
    const std::vector<float> Decoded = ReadFloats(Work + "/" + Case.Output, DecodedChannels);
    ASSERT_FALSE(Wave.empty());
    ASSERT_EQ(DecodedChannels, WaveChannels);
    // A good encode follows the wave closely on every channel; noise in
    // place of samples (as 16-bit stereo frames once gave MP3) does not.
    for (int Channel = 0; Channel < WaveChannels; ++Channel)
        EXPECT_GE(AlignedCorrelation(Wave, Decoded, WaveChannels, Channel, 2048), 0.9) << "channel " << Channel;
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderLossyFilesDecodeToTheWave, ::testing::ValuesIn(LossyCases()),
                         quavix_test::TCaseName());

TEST_F(QuavixRender, StemsAddUpToTheSong) {
    SaveBytes(Path("voices.xm"), WriteXm(ThreeVoices()));
    std::string Work = Folder("stems");
    TRun Run = Quavix("render ../voices.xm -o whole.wav", Work);
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    Run = Quavix("render ../voices.xm --stems -j 2 -o part.wav", Work);
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Listing(Work), "part.01.wav part.02.wav part.03.wav whole.wav ");
    const std::vector<int16_t> Whole = ReadSamples(Work + "/whole.wav");
    ASSERT_GT(Whole.size(), 100000u);
    std::vector<int32_t> Sum(Whole.size(), 0);
    for (const char* Stem : {"part.01.wav", "part.02.wav", "part.03.wav"}) {
        const std::vector<int16_t> Part = ReadSamples(Work + "/" + Stem);
        ASSERT_EQ(Part.size(), Whole.size()) << Stem;
        bool Sound = false;
        for (size_t i = 0; i < Part.size(); ++i) {
            Sum[i] += Part[i];
            Sound = Sound || Part[i] != 0;
        }
        EXPECT_TRUE(Sound) << Stem;
    }
    // Each stem is rounded down on its own: within one step per stem.
    int32_t Worst = 0;
    for (size_t i = 0; i < Whole.size(); ++i) Worst = std::max(Worst, std::abs(Sum[i] - Whole[i]));
    EXPECT_LE(Worst, 3);

    // Only the channels heard get stems; a song's stems in FLAC.
    Work = Folder("solo-stems");
    Run = Quavix("render ../voices.xm --stems --solo 1,3 --format flac", Work);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Listing(Work), "voices.01.flac voices.03.flac ");
}

TEST_F(QuavixRender, ParallelRendersGiveTheBytesOfSerialOnes) {
    SaveBytes(Path("voices.xm"), WriteXm(ThreeVoices()));
    const std::string Songs = "../song.xm ../tune.mod ../voices.xm " QUAVIX_SOURCE_DIR "/songs/quavix-default.xm";
    std::string Serial = Folder("serial"), Parallel = Folder("parallel");
    TRun Run = Quavix("render -j 1 --format flac " + Songs, Serial);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    Run = Quavix("render -j 3 --format flac " + Songs, Parallel);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Err, "");
    const std::string Files = "quavix-default.flac song.flac tune.flac voices.flac ";
    EXPECT_EQ(Listing(Parallel), Files);
    for (const char* Name : {"quavix-default.flac", "song.flac", "tune.flac", "voices.flac"})
        EXPECT_TRUE(ReadFile(Serial + "/" + Name) == ReadFile(Parallel + "/" + Name)) << Name;

    // Stems in parallel, and a failure among the files: one line, exit 1,
    // the others written.
    Run = Quavix("render -j 4 --stems ../voices.xm", Parallel);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    Run = Quavix("render -j 1 --stems ../voices.xm -o one.wav", Serial);
    for (const char* Stem : {".01.wav", ".02.wav", ".03.wav"})
        EXPECT_TRUE(ReadFile(Serial + "/one" + Stem) == ReadFile(Parallel + "/voices" + Stem)) << Stem;
    std::string Mixed = Folder("parallel-mixed");
    Run = Quavix("render -j 2 ../missing.xm ../tune.mod ../notes.txt ../song.xm", Mixed);
    EXPECT_EQ(Run.Status, 1);
    EXPECT_EQ(std::count(Run.Err.begin(), Run.Err.end(), '\n'), 2) << Run.Err;
    EXPECT_EQ(Listing(Mixed), "song.wav tune.wav ");
}

TEST_F(QuavixRender, ProgressBarOnATerminalOnly) {
    std::string Work = Folder("progress");
    // script(1) gives the command a terminal.
    TRun Run = RunShell("cd '" + Work + "' && script -qec '\"$Q\" render ../song.xm --seconds 2' /dev/null",
                        Path("stderr.txt"));
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_NE(Run.Out.find("song.xm [##############################] 00:02.000 / 00:02.000"), std::string::npos)
        << Run.Out;
    EXPECT_EQ(ReadAudio(Work + "/song.wav").Frames, 88200);
}

TEST_F(QuavixRender, SameSongSameBytes) {
    // The whole bundled song, to its end, twice.
    std::string Work = Folder("twice");
    for (const char* Name : {"a.wav", "b.wav"}) {
        TRun Run = Quavix("render " QUAVIX_SOURCE_DIR "/songs/quavix-default.xm -o " + std::string(Name), Work);
        EXPECT_EQ(Run.Status, 0) << Run.Err;
    }
    std::string First = ReadFile(Work + "/a.wav");
    EXPECT_GT(First.size(), 44u + 10u * 44100u * 4u);
    EXPECT_TRUE(First == ReadFile(Work + "/b.wav"));
}

TEST_F(QuavixRender, AmigaClockLowersPatternFormatSongsOnly) {
    std::string Work = Folder("clock");
    TXmSong AmigaXm = SmallXm();
    AmigaXm.LinearSlides = false;
    SaveBytes(Path("amiga.xm"), WriteXm(AmigaXm));
    for (const char* Clock : {"ntsc", "pal"})
        for (const char* Song : {"tune.mod", "amiga.xm"}) {
            TRun Run = Quavix(std::string("render ../") + Song + " --seconds 1 --amiga-clock " + Clock + " -o " + Clock +
                                  "-" + Song + ".wav",
                              Work);
            EXPECT_EQ(Run.Status, 0) << Run.Err;
        }
    // The default is the NTSC clock.
    EXPECT_EQ(Quavix("render ../tune.mod --seconds 1 -o default.wav", Work).Status, 0);
    EXPECT_TRUE(ReadFile(Work + "/default.wav") == ReadFile(Work + "/ntsc-tune.mod.wav"));
    EXPECT_FALSE(ReadFile(Work + "/pal-tune.mod.wav") == ReadFile(Work + "/ntsc-tune.mod.wav"));
    EXPECT_TRUE(ReadFile(Work + "/pal-amiga.xm.wav") == ReadFile(Work + "/ntsc-amiga.xm.wav"));

    TRun Wrong = Quavix("render ../tune.mod --amiga-clock secam", Work);
    EXPECT_EQ(Wrong.Status, 2);
    EXPECT_NE(Wrong.Err.find("--amiga-clock"), std::string::npos) << Wrong.Err;
    for (const char* Command : {"render", "play"})
        EXPECT_NE(Quavix(std::string(Command) + " --help", Work).Out.find("--amiga-clock ntsc|pal"), std::string::npos)
            << Command;
}

}  // namespace

namespace {

// One voice on the first channel, which the Amiga plays hard left.
TModSong HardLeftMod() {
    TModSong Song;
    Song.Title = "hard left";
    Song.Orders = {0};
    Song.Patterns.push_back({{ModAt(0, 0, Note("C-3"), 1)}});
    TModSample Sample;
    Sample.Name = "saw";
    for (int32_t i = 0; i < 64; ++i) Sample.Values.push_back(i * 2 - 64);
    Sample.LoopLengthWords = 32;
    Song.Samples.push_back(Sample);
    return Song;
}

// The share of A in B: the projection of B on A, sample by sample, over A's
// energy (negative where B is A inverted).
double ShareOf(const std::vector<int16_t>& A, const std::vector<int16_t>& B) {
    double Cross = 0, Energy = 0;
    for (size_t i = 0; i < A.size() && i < B.size(); ++i) {
        Cross += static_cast<double>(A[i]) * B[i];
        Energy += static_cast<double>(A[i]) * A[i];
    }
    return Energy > 0 ? Cross / Energy : 0;
}

std::vector<int16_t> Side(const std::vector<int16_t>& Stereo, size_t Which) {
    std::vector<int16_t> Values;
    for (size_t i = Which; i < Stereo.size(); i += 2) Values.push_back(Stereo[i]);
    return Values;
}

struct TSeparationCase : quavix_test::TNamedCase {
    const char* Percent;
    // The hard-left voice's right side as a share of its left (negative:
    // inverted), and its left side against the song's own panning.
    double RightOfLeft, LeftOfSong;
};

std::vector<TSeparationCase> SeparationCases() {
    return {
        {"0 puts the mono mix on both sides", "0", 1.0, 0.5},
        {"50 gives the far side a third of the near one", "50", 1.0 / 3, 0.75},
        {"100 keeps the song's panning", "100", 0.0, 1.0},
        {"200 sounds the far side inverted", "200", -1.0 / 3, 1.5},
    };
}

class QuavixRenderStereoSeparationNarrowsOrWidensTheSides : public QuavixRender,
                                                            public ::testing::WithParamInterface<TSeparationCase> {};

TEST_P(QuavixRenderStereoSeparationNarrowsOrWidensTheSides, StereoSeparationNarrowsOrWidensTheSides) {
    const TSeparationCase& Case = GetParam();
    SaveBytes(Path("left.mod"), WriteMod(HardLeftMod()));
    std::string Work = Folder("separation");
    ASSERT_EQ(Quavix("render ../left.mod --seconds 1 -o song.wav", Work).Status, 0);
    ASSERT_EQ(Quavix("render ../left.mod --seconds 1 --mono -o mono.wav", Work).Status, 0);
    TRun Run = Quavix(std::string("render ../left.mod --seconds 1 --stereo-separation ") + Case.Percent + " -o t.wav",
                      Work);
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Err, "");
    const std::vector<int16_t> Song = ReadSamples(Work + "/song.wav"), Wide = ReadSamples(Work + "/t.wav");
    ASSERT_EQ(Wide.size(), 88200u);
    const std::vector<int16_t> Left = Side(Wide, 0), Right = Side(Wide, 1);
    ASSERT_TRUE(std::any_of(Left.begin(), Left.end(), [](int16_t Value) { return Value != 0; }));
    EXPECT_NEAR(ShareOf(Left, Right), Case.RightOfLeft, 0.01);
    EXPECT_NEAR(ShareOf(Side(Song, 0), Left), Case.LeftOfSong, 0.01);
    // The ends exactly: at 0 each side is the mono render, at 100 the file
    // is the one rendered without the option.
    if (Case.RightOfLeft == 1.0) {
        EXPECT_TRUE(Left == Right);
        EXPECT_TRUE(Left == ReadSamples(Work + "/mono.wav"));
    }
    if (Case.LeftOfSong == 1.0) {
        EXPECT_TRUE(ReadFile(Work + "/t.wav") == ReadFile(Work + "/song.wav"));
    }
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderStereoSeparationNarrowsOrWidensTheSides,
                         ::testing::ValuesIn(SeparationCases()), quavix_test::TCaseName());

struct TTagCase : quavix_test::TNamedCase {
    const char* Output;
    bool Software;  // MP3 files name their encoder there instead
};

std::vector<TTagCase> TagCases() {
    return {
        {"wave", "t.wav", true},       {"flac", "t.flac", true}, {"ogg vorbis", "t.ogg", true},
        {"opus", "t.opus", true},      {"mp3", "t.mp3", false},
    };
}

std::string StringOf(const std::string& Path, int Kind) {
    SF_INFO Info{};
    SNDFILE* File = sf_open(Path.c_str(), SFM_READ, &Info);
    if (!File) return "(does not open)";
    const char* Text = sf_get_string(File, Kind);
    // An ID3 tag has a comment field even when it is empty.
    const std::string Value = Text && *Text ? Text : "(none)";
    sf_close(File);
    return Value;
}

class QuavixRenderFilesCarryTheSongsTags : public QuavixRender, public ::testing::WithParamInterface<TTagCase> {};

TEST_P(QuavixRenderFilesCarryTheSongsTags, FilesCarryTheSongsTags) {
    const TTagCase& Case = GetParam();
    // A title padded with blanks, a message with carriage returns, a tab
    // and a Latin-1 letter, as trackers stored them.
    TXmSong Tagged = SmallXm();
    Tagged.Title = "  Tagged song\xe9  ";
    Tagged.Chunks.push_back(TextChunk("first line\rsecond\tline\r\r"));
    SaveBytes(Path("tagged.xm"), WriteXm(Tagged));
    TXmSong Untitled = SmallXm();
    Untitled.Title = "";
    SaveBytes(Path("untitled.xm"), WriteXm(Untitled));
    std::string Work = Folder("tags");
    for (const char* Song : {"tagged", "untitled"}) {
        TRun Run = Quavix(std::string("render ../") + Song + ".xm --seconds 0.5 -o " + Song + "." + Case.Output, Work);
        ASSERT_EQ(Run.Status, 0) << Run.Err;
    }
    const std::string File = Work + "/tagged." + Case.Output, Plain = Work + "/untitled." + Case.Output;
    EXPECT_EQ(StringOf(File, SF_STR_TITLE), "Tagged song\u00e9");
    EXPECT_EQ(StringOf(File, SF_STR_COMMENT), "first line\nsecond?line");
    // libsndfile adds its own name after the one given.
    const std::string Software = std::string("Quavix Player ") + QUAVIX_VERSION;
    if (Case.Software) {
        const std::string Written = StringOf(File, SF_STR_SOFTWARE);
        EXPECT_EQ(Written.rfind(Software, 0), 0u) << Written;
    }
    // Without a title of its own, the song is called by its file's name; no
    // message, no comment.
    EXPECT_EQ(StringOf(Plain, SF_STR_TITLE), "untitled.xm");
    EXPECT_EQ(StringOf(Plain, SF_STR_COMMENT), "(none)");
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderFilesCarryTheSongsTags, ::testing::ValuesIn(TagCases()),
                         quavix_test::TCaseName());

}  // namespace
