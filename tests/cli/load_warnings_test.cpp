// Files cut short: what they lack loads as silence, and info, render and
// play say so in one line per file, while the song still plays (exit 0).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_run.h"
#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

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
        {"a whole pattern-format song", "whole.mod", [] { return WriteMod(ThreeSampleMod()); }, {}},
        {"a pattern-format song cut to 2000 bytes", "cut.mod", [] { return CutTo(WriteMod(ThreeSampleMod()), 2000); },
         {"1 pattern is cut short", "1 pattern is missing", "3 samples are missing"}},
        {"a pattern-format song cut within its second sample", "samples.mod",
         [] { return CutTo(WriteMod(ThreeSampleMod()), 3132 + 1500); },
         {"1 sample is cut short", "1 sample is missing"}},
        {"a whole Extended Module", "whole.xm", [] { return WriteXm(ThreeInstrumentXm()); }, {}},
        {"an Extended Module cut within its second instrument's sample", "sample.xm",
         [XmLast] {
             TBytes Bytes = WriteXm(ThreeInstrumentXm());
             return CutTo(Bytes, Bytes.size() - XmLast - 500);
         },
         {"1 sample is cut short", "1 instrument is missing"}},
        // Trackers that leave them out counted them all the same.
        {"an Extended Module without its trailing unplayed instruments", "trailing.xm",
         [] {
             TXmSong Song = SmallXm();
             Song.InstrumentCount = 4;
             return WriteXm(Song);
         },
         {}},
        {"an Extended Module without a trailing instrument it plays", "played.xm",
         [] {
             TXmSong Song = SmallXm();
             Song.Patterns[0].Cells.push_back(At(8, 0, Note("C-5"), 3));
             Song.InstrumentCount = 4;
             return WriteXm(Song);
         },
         {"1 instrument is missing"}},
        {"an Extended Module cut within its patterns", "patterns.xm",
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
        {"a Scream Tracker 3 song cut within its last sample", "cut.s3m",
         [] {
             TS3mSong Song = TwoSampleS3m();
             Song.CutBytes = 500;
             return WriteS3m(Song);
         },
         {"1 sample is cut short"}},
    };
}

class QuavixLoadWarnings : public ::testing::TestWithParam<TCutCase> {
protected:
    static std::string Dir;
    static void SetUpTestSuite() {
        char Template[] = "/tmp/quavix-warnings-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Dir = Template;
    }
    static void TearDownTestSuite() { std::system(("rm -rf '" + Dir + "'").c_str()); }
    static TRun Quavix(const std::string& Arguments) {
        return RunShell("cd '" + Dir + "' && \"$Q\" " + Arguments, Dir + "/stderr.txt");
    }
};
std::string QuavixLoadWarnings::Dir;

TEST_P(QuavixLoadWarnings, ACutFileSaysWhatItLacks) {
    const TCutCase& Case = GetParam();
    SaveBytes(Dir + "/" + Case.File, Case.Bytes());
    std::string Line;
    for (const std::string& Warning : Case.Warnings) Line += (Line.empty() ? "" : ", ") + Warning;
    const std::string Said = Case.Warnings.empty() ? "" : "quavix: " + Case.File + ": " + Line + "\n";

    // info: a list in JSON, a line in text; the file loaded all the same.
    TRun Run = Quavix("info --json " + Case.File);
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Err, "");
    EXPECT_EQ(nlohmann::json::parse(Run.Out)["warnings"], nlohmann::json(Case.Warnings)) << Run.Out;
    Run = Quavix("info " + Case.File);
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    const size_t At = Run.Out.find("  warnings:    ");
    if (Case.Warnings.empty())
        EXPECT_EQ(At, std::string::npos) << Run.Out;
    else
        EXPECT_NE(Run.Out.find("  warnings:    " + Line + "\n"), std::string::npos) << Run.Out;

    // render: one line, and the file is written.
    Run = Quavix("render " + Case.File + " --seconds 0.5 -o out.wav");
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Err, Said);
    EXPECT_EQ(access((Dir + "/out.wav").c_str(), F_OK), 0);
    // One line for the file, not one per stem.
    Run = Quavix("render " + Case.File + " --seconds 0.1 --stems -o stem.wav");
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Err, Said);

    // play: the same line before the song plays.
    Run = RunShell("cd '" + Dir + "' && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null \"$Q\" play --seconds 0.1 " +
                       Case.File + " </dev/null",
                   Dir + "/stderr.txt");
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    // SDL's disk driver announces itself on standard error: only quavix's lines count.
    std::string Lines;
    for (size_t Start = 0, End; (End = Run.Err.find('\n', Start)) != std::string::npos; Start = End + 1)
        if (Run.Err.compare(Start, 8, "quavix: ") == 0) Lines += Run.Err.substr(Start, End + 1 - Start);
    EXPECT_EQ(Lines, Said) << Run.Err;
}
INSTANTIATE_TEST_SUITE_P(Cases, QuavixLoadWarnings, ::testing::ValuesIn(CutCases()), quavix_test::TCaseName());

}  // namespace
