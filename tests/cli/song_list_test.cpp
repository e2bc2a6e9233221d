// Subsongs, folders and play lists through the quavix program: which songs
// a command line reaches and which part of each plays.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_run.h"
#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

// Empty rows at speed 6 and tempo 125: 5292 frames a row.
constexpr int64_t RowFrames = 5292;

int64_t Frames(const std::string& Path) {
    SF_INFO Info{};
    SNDFILE* File = sf_open(Path.c_str(), SFM_READ, &Info);
    if (!File) return -1;
    sf_close(File);
    return Info.frames;
}

class QuavixSongList : public ::testing::Test {
protected:
    static std::string Dir;

    // songs/ holds two songs, one in a folder of its own, one without a
    // module's extension, and files that are no songs whatever their names
    // say; a hidden folder; play lists naming songs relative to themselves.
    static void SetUpTestSuite() {
        char Template[] = "/tmp/quavix-lists-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Dir = Template;
        std::system(("mkdir -p '" + Dir + "/songs/sub' '" + Dir + "/songs/.hidden' '" + Dir + "/lists' '" + Dir +
                     "/empty'")
                        .c_str());
        SaveBytes(Path("subsongs.xm"), WriteXm(ThreeSubsongsXm()));
        SaveBytes(Path("songs/b.xm"), WriteXm(SmallXm()));
        SaveBytes(Path("songs/a.mod"), WriteMod(SmallMod()));
        SaveBytes(Path("songs/sub/c.xm"), WriteXm(ThreeSubsongsXm()));
        SaveBytes(Path("songs/tune"), WriteMod(SmallMod()));
        SaveBytes(Path("songs/.hidden/d.xm"), WriteXm(SmallXm()));
        SaveBytes(Path("songs/cover.xm"), TBytes(3000, 'x'));
        SaveBytes(Path("songs/notes.txt"), TBytes(100, 'y'));
        const std::string List = "# a comment\n\n../songs/sub/c.xm\r\n  ../songs/a.mod\n";
        SaveBytes(Path("lists/set.m3u"), TBytes(List.begin(), List.end()));
        const std::string Missing = "../songs/b.xm\nnothing.xm\n";
        SaveBytes(Path("lists/missing.m3u"), TBytes(Missing.begin(), Missing.end()));
    }

    static void TearDownTestSuite() { std::system(("rm -rf '" + Dir + "'").c_str()); }

    static std::string Path(const std::string& Name) { return Dir + "/" + Name; }

    // Runs quavix in the test's folder, after emptying out/.
    static TRun Quavix(const std::string& Arguments) {
        return RunShell("cd '" + Dir + "' && rm -rf out && mkdir out && \"$Q\" " + Arguments, Path("stderr.txt"));
    }

    // The files under out/, sorted, one a line.
    static std::string Written() { return RunShell("cd '" + Dir + "/out' && find . -type f | sort", Path("ls.txt")).Out; }
};

std::string QuavixSongList::Dir;

TEST_F(QuavixSongList, InfoListsEachSubsongWithItsFirstOrderAndDuration) {
    TRun Run = Quavix("info subsongs.xm");
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_NE(Run.Out.find("  duration:    00:00.960\n"
                           "  subsongs:    3\n"
                           "     1  order   0  00:00.960\n"
                           "     2  order   1  00:01.920\n"
                           "     3  order   3  00:00.480\n"),
              std::string::npos)
        << Run.Out;
    // A song of one subsong lists none in text, and itself in JSON.
    Run = Quavix("info songs/b.xm");
    EXPECT_EQ(Run.Out.find("subsongs"), std::string::npos) << Run.Out;
    Run = Quavix("info --json subsongs.xm songs/b.xm");
    const size_t Break = Run.Out.find('\n');
    const nlohmann::ordered_json Three = nlohmann::ordered_json::parse(Run.Out.substr(0, Break));
    EXPECT_EQ(Three["subsongs"].dump(),
              R"([{"subsong":1,"first_order":0,"duration":0.96},{"subsong":2,"first_order":1,"duration":1.92},)"
              R"({"subsong":3,"first_order":3,"duration":0.48}])");
    const nlohmann::ordered_json One = nlohmann::ordered_json::parse(Run.Out.substr(Break + 1));
    EXPECT_EQ(One["subsongs"].dump(), R"([{"subsong":1,"first_order":0,"duration":)" + One["duration"].dump() + "}]");
}

// What render writes for --subsong: each subsong ends where it comes back to
// a row it played.
struct TSubsongRenderCase : TNamedCase {
    std::string Arguments;
    int Status;
    std::string Files;  // under out/, sorted
    std::vector<int64_t> Rows;  // of each file, in that order
    std::string Err;
};

std::vector<TSubsongRenderCase> SubsongRenderCases() {
    return {
        {"one subsong, numbered in its name", "render subsongs.xm --subsong 2 -o out/", 0, "./subsongs-2.wav\n", {16}, ""},
        {"every subsong to a file of its own", "render subsongs.xm --subsong all -o out/", 0,
         "./subsongs-1.wav\n./subsongs-2.wav\n./subsongs-3.wav\n", {8, 16, 4}, ""},
        {"the name -o gives, for one subsong", "render subsongs.xm --subsong 3 -o out/third.wav", 0, "./third.wav\n",
         {4}, ""},
        {"the name -o gives, numbered for all", "render subsongs.xm --subsong all -o out/tune.flac", 0,
         "./tune-1.flac\n./tune-2.flac\n./tune-3.flac\n", {8, 16, 4}, ""},
        {"a song of one subsong keeps its name", "render songs/b.xm --subsong all -o out/", 0, "./b.wav\n", {64}, ""},
        {"a subsong beyond the song", "render subsongs.xm --subsong 4 -o out/", 2, "", {},
         "quavix: render: subsongs.xm: --subsong 4 is beyond the song, which holds 3 subsongs\n"},
        {"all subsongs cannot go to standard output", "render subsongs.xm --subsong all -o -", 2, "", {},
         "quavix: render: --subsong all writes one file per subsong, which standard output cannot take; name a "
         "file with -o\n"},
        {"a subsong is no number", "render subsongs.xm --subsong first", 2, "", {},
         "quavix: render: --subsong: first is neither all nor a subsong number: give all, or 1 to 256\n"
         "Try 'quavix render --help' for more information.\n"},
    };
}

class QuavixRenderPlaysTheSubsongsAskedFor : public QuavixSongList,
                                            public ::testing::WithParamInterface<TSubsongRenderCase> {};

TEST_P(QuavixRenderPlaysTheSubsongsAskedFor, PlaysTheSubsongsAskedFor) {
    const TSubsongRenderCase& Case = GetParam();
    TRun Run = Quavix(Case.Arguments);
    EXPECT_EQ(Run.Status, Case.Status) << Run.Err;
    EXPECT_EQ(Run.Err, Case.Err);
    const std::string Files = Written();
    EXPECT_EQ(Files, Case.Files);
    size_t At = 0;
    for (int64_t Rows : Case.Rows) {
        const size_t End = Files.find('\n', At);
        ASSERT_NE(End, std::string::npos);
        EXPECT_EQ(Frames(Path("out/" + Files.substr(At + 2, End - At - 2))), Rows * RowFrames)
            << Files.substr(At, End - At);
        At = End + 1;
    }
}
INSTANTIATE_TEST_SUITE_P(QuavixRender, QuavixRenderPlaysTheSubsongsAskedFor, ::testing::ValuesIn(SubsongRenderCases()),
                         TCaseName());

// Which songs folders and play lists stand for, as info lists them and
// render writes them.
struct TListCase : TNamedCase {
    std::string Arguments;
    int Status;
    std::string Out;  // info: its lines that name files; render: the files under out/
    std::string Err;
};

std::vector<TListCase> ListCases() {
    return {
        {"a folder's songs in name order, found by what they hold", "info songs", 0,
         "songs/a.mod\nsongs/b.xm\nsongs/sub/c.xm\nsongs/tune\n", ""},
        {"a play list's files, relative to the list", "info lists/set.m3u", 0,
         "lists/../songs/sub/c.xm\nlists/../songs/a.mod\n", ""},
        {"a play list's missing file is reported in its turn", "info lists/missing.m3u songs/tune", 1,
         "lists/../songs/b.xm\nsongs/tune\n", "quavix: lists/nothing.xm: cannot open: No such file or directory\n"},
        {"a folder without songs", "info empty songs/tune", 1, "songs/tune\n",
         "quavix: empty: no module files in this folder\n"},
        {"a folder's layout kept under -o DIR/", "render songs -o out/ --seconds 0.01", 0,
         "./a.wav\n./b.wav\n./sub/c.wav\n./tune.wav\n", ""},
        {"a play list's songs side by side", "render lists/set.m3u -o out/ --seconds 0.01", 0, "./a.wav\n./c.wav\n", ""},
        {"a folder's layout kept under the current folder", "render songs --seconds 0.01 && mv a.wav b.wav sub tune.wav out/",
         0, "./a.wav\n./b.wav\n./sub/c.wav\n./tune.wav\n", ""},
        {"subsongs of a folder's songs", "render songs/sub --subsong all -o out/ --seconds 0.01", 0,
         "./c-1.wav\n./c-2.wav\n./c-3.wav\n", ""},
        {"one output file for several songs", "render songs -o out/x.wav", 2, "",
         "quavix: render: -o names one output file; give one song with it, or a folder ending in /: -o DIR/\n"},
    };
}

class QuavixFoldersAndPlayListsStandForTheirSongs : public QuavixSongList,
                                                    public ::testing::WithParamInterface<TListCase> {};

TEST_P(QuavixFoldersAndPlayListsStandForTheirSongs, FoldersAndPlayListsStandForTheirSongs) {
    const TListCase& Case = GetParam();
    TRun Run = Quavix(Case.Arguments);
    EXPECT_EQ(Run.Status, Case.Status) << Run.Err;
    EXPECT_EQ(Run.Err, Case.Err);
    if (Case.Arguments.rfind("info", 0) == 0) {
        std::string Named;
        size_t At = 0;
        for (size_t End; (End = Run.Out.find('\n', At)) != std::string::npos; At = End + 1)
            if (End > At && Run.Out[At] != ' ') Named += Run.Out.substr(At, End - At + 1);
        EXPECT_EQ(Named, Case.Out) << Run.Out;
    } else {
        EXPECT_EQ(Written(), Case.Out);
    }
}
INSTANTIATE_TEST_SUITE_P(QuavixSongList, QuavixFoldersAndPlayListsStandForTheirSongs, ::testing::ValuesIn(ListCases()),
                         TCaseName());

}  // namespace
