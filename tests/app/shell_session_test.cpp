// What an open and a stop do with the window's player, and the texts the
// window shows: the frame's label and the status line under it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "shell_session.h"
#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_shell;
using namespace quavix_test;

namespace {

class ShellSession : public ::testing::Test {
protected:
    static std::string Dir;

    static void SetUpTestSuite() {
        // Players made here need no sound device.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        char Template[] = "/tmp/quavix-session-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Dir = Template;

        TXmSong Titled = SmallXm();
        Titled.Title = "Night Drive";
        SaveBytes(Dir + "/titled.xm", WriteXm(Titled));
        TXmSong Blank = SmallXm();
        Blank.Title = "    ";
        SaveBytes(Dir + "/blank.xm", WriteXm(Blank));
        TModSong Untitled = SmallMod();
        Untitled.Title = "";
        SaveBytes(Dir + "/untitled.mod", WriteMod(Untitled));
        TXmSong Latin = SmallXm();
        Latin.Title = "caf\xe9";
        SaveBytes(Dir + "/latin.xm", WriteXm(Latin));
        SaveBytes(Dir + "/notes.txt", TBytes(3000, 'x'));
        mkdir((Dir + "/folder.xm").c_str(), 0700);
    }
    static void TearDownTestSuite() { std::system(("rm -rf '" + Dir + "'").c_str()); }
};
std::string ShellSession::Dir;

struct TOpenCase : quavix_test::TNamedCase {
    std::string File;
    std::string Label;   // empty: "No track loaded", and no player
    std::string Status;  // empty while a song plays
};

std::vector<TOpenCase> OpenCases() {
    return {
        {"a title", "titled.xm", "Night Drive", ""},
        {"a title of spaces shows the file name", "blank.xm", "blank.xm", ""},
        {"an empty title shows the file name", "untitled.mod", "untitled.mod", ""},
        {"a Latin-1 title shown in UTF-8", "latin.xm", "caf\xc3\xa9", ""},
        {"a file that is no module", "notes.txt", "",
         "notes.txt: not a module file (not an Extended Module, pattern-format, Scream Tracker 3 or Impulse Tracker file)"},
        {"a missing file", "missing.xm", "", "missing.xm: cannot open: No such file or directory"},
        {"a folder", "folder.xm", "", "folder.xm: is a directory"},
        {"a Latin-1 file name shown in UTF-8", "caf\xe9.xm", "",
         "caf\xc3\xa9.xm: cannot open: No such file or directory"},
    };
}

class ShellSessionOpeningShowsTheTitleOrFileNameOrNoTrackAndWhy : public ShellSession,
                                                                  public ::testing::WithParamInterface<TOpenCase> {};

TEST_P(ShellSessionOpeningShowsTheTitleOrFileNameOrNoTrackAndWhy, OpeningShowsTheTitleOrFileNameOrNoTrackAndWhy) {
    const TOpenCase& C = GetParam();
    // Every open starts from a playing song, which it replaces.
    TShellSession Session;
    ASSERT_EQ(OpenTrack(Session, Dir + "/titled.xm").Label, "Night Drive");
    Session.LastPath = "/elsewhere/";

    const TTrackView View = OpenTrack(Session, Dir + "/" + C.File);
    // The folder is remembered whether or not the file loads.
    EXPECT_EQ(Session.LastPath, Dir + "/") << C.File;
    EXPECT_EQ(View.Status, C.Status) << C.File;
    if (C.Label.empty()) {
        EXPECT_EQ(View.Label, NoTrackLabel) << C.File;
        EXPECT_EQ(Session.Player, nullptr) << C.File;
        return;
    }
    EXPECT_EQ(View.Label, C.Label) << C.File;
    ASSERT_NE(Session.Player, nullptr) << C.File;
    EXPECT_TRUE(Session.Player->Module->Loaded) << C.File;
    EXPECT_TRUE(Session.Player->Playing) << C.File;
}
INSTANTIATE_TEST_SUITE_P(ShellSession, ShellSessionOpeningShowsTheTitleOrFileNameOrNoTrackAndWhy,
                         ::testing::ValuesIn(OpenCases()), quavix_test::TCaseName());

TEST_F(ShellSession, StopDestroysThePlayerAndDoesNothingWithoutOne) {
    TShellSession Session;
    StopTrack(Session);  // no player: nothing happens
    EXPECT_EQ(Session.Player, nullptr);
    OpenTrack(Session, Dir + "/titled.xm");
    ASSERT_NE(Session.Player, nullptr);
    StopTrack(Session);
    EXPECT_EQ(Session.Player, nullptr);
    EXPECT_EQ(Session.LastPath, Dir + "/");  // stopping forgets no folder
}

struct TLabelCase : quavix_test::TNamedCase {
    std::string Title, FileName, Want;
};

std::vector<TLabelCase> LabelCases() {
    return {
        {"a title", "Night Drive", "/music/a.xm", "Night Drive"},
        {"spaces around a title shown as stored", " spaced ", "/music/a.xm", " spaced "},
        {"an empty title gives the file name", "", "/home/user/music/song.xm", "song.xm"},
        {"a title of spaces gives the file name", "   ", "/home/user/music/song.xm", "song.xm"},
        {"a title of a zero byte and a tab gives the file name", std::string("\0\t", 2), "/m/x.mod", "x.mod"},
        {"a file name without a folder", "", "song.xm", "song.xm"},
    };
}

class ShellTextsLabelIsTheTitleAsStoredUnlessBlank : public ::testing::TestWithParam<TLabelCase> {};

TEST_P(ShellTextsLabelIsTheTitleAsStoredUnlessBlank, LabelIsTheTitleAsStoredUnlessBlank) {
    const TLabelCase& C = GetParam();
    EXPECT_EQ(TrackLabel(C.Title, C.FileName), C.Want) << C.Title;
}
INSTANTIATE_TEST_SUITE_P(ShellTexts, ShellTextsLabelIsTheTitleAsStoredUnlessBlank, ::testing::ValuesIn(LabelCases()),
                         quavix_test::TCaseName());

struct TDisplayTextCase : quavix_test::TNamedCase {
    std::string Text, Want;
};

std::vector<TDisplayTextCase> DisplayTextCases() {
    return {
        {"plain text and markup characters stay", "plain <b>&", "plain <b>&"},
        {"UTF-8 stays", "na\xc3\xafve \xe2\x99\xaa", "na\xc3\xafve \xe2\x99\xaa"},
        {"a Latin-1 letter", "caf\xe9", "caf\xc3\xa9"},
        {"a Latin-1 no-break space and y with diaeresis", "\xa0\xff", "\xc2\xa0\xc3\xbf"},
        {"control characters become question marks", "a\tb\x01\x7f", "a?b??"},
        {"a Latin-1 control character", "\x85", "?"},
        {"a sequence cut short is Latin-1", "\xc3", "\xc3\x83"},
        {"no surrogates", "\xed\xa0\x80", "\xc3\xad\xc2\xa0?"},
        {"no text", "", ""},
    };
}

class ShellTextsDisplayTextIsUtf8ForTheLabel : public ::testing::TestWithParam<TDisplayTextCase> {};

TEST_P(ShellTextsDisplayTextIsUtf8ForTheLabel, DisplayTextIsUtf8ForTheLabel) {
    const TDisplayTextCase& C = GetParam();
    EXPECT_EQ(DisplayText(C.Text), C.Want) << C.Text;
}
INSTANTIATE_TEST_SUITE_P(ShellTexts, ShellTextsDisplayTextIsUtf8ForTheLabel, ::testing::ValuesIn(DisplayTextCases()),
                         quavix_test::TCaseName());

TEST(ShellTexts, AboutTextNamesThePlayerAndItsVersion) {
    const std::string Text = AboutText;
    std::vector<std::string> Lines;
    size_t Start = 0;
    for (size_t End; (End = Text.find("\r\n", Start)) != std::string::npos; Start = End + 2)
        Lines.push_back(Text.substr(Start, End - Start));
    EXPECT_EQ(Start, Text.size()) << "text after the last line end";
    ASSERT_GE(Lines.size(), 3u);
    EXPECT_EQ(Lines[0], std::string("Quavix Player ") + ProjectVersion);
    EXPECT_EQ(ProjectVersion, std::string(QUAVIX_PROJECT_VERSION));
    EXPECT_NE(Text.find("Copyright (c) 2010 the Quavix Player developers"), std::string::npos);
    // No placeholder addresses: the project has no web site or e-mail yet.
    for (const char* Placeholder : {"example.org", "http", "@"})
        EXPECT_EQ(Text.find(Placeholder), std::string::npos) << Placeholder;
    for (const std::string& Line : Lines) EXPECT_EQ(Line.find_first_of("\r\n%"), std::string::npos) << Line;
}

struct TWindowCommandLineCase : quavix_test::TNamedCase {
    std::vector<std::string> Arguments;
    TWindowCommandLine::TAction Action;
    const char* File;
    const char* Text;  // a part of the text to print
    int ExitStatus;
};

std::vector<TWindowCommandLineCase> WindowCommandLineCases() {
    using A = TWindowCommandLine::TAction;
    return {
        {"nothing: the window alone", {}, A::Window, "", "", 0},
        {"a song", {"song.xm"}, A::Window, "song.xm", "", 0},
        {"help", {"--help"}, A::Help, "", "Usage: quavix-player [OPTION]... [FILE]\n", 0},
        {"help, short", {"-h"}, A::Help, "", "  -V, --version", 0},
        {"help after a song", {"song.xm", "--help"}, A::Help, "", "Usage:", 0},
        {"version", {"--version"}, A::Version, "", "quavix-player " QUAVIX_PROJECT_VERSION "\n", 0},
        {"version, short", {"-V"}, A::Version, "", "quavix-player " QUAVIX_PROJECT_VERSION "\n", 0},
        {"an unknown option", {"--loud"}, A::Wrong, "",
         "quavix-player: unknown option '--loud'\nTry 'quavix-player --help' for more information.\n", 2},
        {"an unknown option after a song", {"song.xm", "-x"}, A::Wrong, "", "unknown option '-x'", 2},
        {"two songs", {"a.xm", "b.mod"}, A::Wrong, "", "one song at a time: 'a.xm' and 'b.mod'", 2},
        {"an empty name", {""}, A::Wrong, "", "an empty file name", 2},
        {"a file named like an option after --", {"--", "--help"}, A::Window, "--help", "", 0},
        {"a lone dash is a file name", {"-"}, A::Window, "-", "", 0},
    };
}

class ShellTextsWindowCommandLineIsReadBeforeTheWindowOpens
    : public ::testing::TestWithParam<TWindowCommandLineCase> {};

TEST_P(ShellTextsWindowCommandLineIsReadBeforeTheWindowOpens, WindowCommandLineIsReadBeforeTheWindowOpens) {
    const TWindowCommandLineCase& C = GetParam();
    const TWindowCommandLine Read = ReadWindowCommandLine(C.Arguments);
    EXPECT_EQ(Read.Action, C.Action);
    EXPECT_EQ(Read.File, C.File);
    EXPECT_NE(Read.Text.find(C.Text), std::string::npos) << Read.Text;
    if (std::string(C.Text).empty()) {
        EXPECT_EQ(Read.Text, "");
    }
    EXPECT_EQ(Read.ExitStatus, C.ExitStatus);
}
INSTANTIATE_TEST_SUITE_P(ShellTexts, ShellTextsWindowCommandLineIsReadBeforeTheWindowOpens,
                         ::testing::ValuesIn(WindowCommandLineCases()), quavix_test::TCaseName());

}  // namespace
