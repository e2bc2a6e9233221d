// What an open and a stop do with the window's player, and the texts the
// window shows: the frame's label and the status line under it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "shell_session.h"
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

TEST_F(ShellSession, OpeningShowsTheTitleOrFileNameOrNoTrackAndWhy) {
    struct Case {
        std::string File;
        std::string Label;   // empty: "No track loaded", and no player
        std::string Status;  // empty while a song plays
    };
    const std::vector<Case> Cases = {
        {"titled.xm", "Night Drive", ""},
        {"blank.xm", "blank.xm", ""},          // a title of spaces shows the file name
        {"untitled.mod", "untitled.mod", ""},  // so does an empty one
        {"latin.xm", "caf\xc3\xa9", ""},       // a Latin-1 title shown in UTF-8
        {"notes.txt", "", "notes.txt: not a module file (neither an Extended Module nor a pattern-format file)"},
        {"missing.xm", "", "missing.xm: cannot open: No such file or directory"},
        {"folder.xm", "", "folder.xm: is a directory"},
        {"caf\xe9.xm", "", "caf\xc3\xa9.xm: cannot open: No such file or directory"},  // shown in UTF-8
    };
    for (const Case& C : Cases) {
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
            continue;
        }
        EXPECT_EQ(View.Label, C.Label) << C.File;
        ASSERT_NE(Session.Player, nullptr) << C.File;
        EXPECT_TRUE(Session.Player->Module->Loaded) << C.File;
        EXPECT_TRUE(Session.Player->Playing) << C.File;
    }
}

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

TEST(ShellTexts, LabelIsTheTitleAsStoredUnlessBlank) {
    struct Case {
        std::string Title, FileName, Want;
    };
    const Case Cases[] = {
        {"Night Drive", "/music/a.xm", "Night Drive"},
        {" spaced ", "/music/a.xm", " spaced "},  // shown as stored
        {"", "/home/user/music/song.xm", "song.xm"},
        {"   ", "/home/user/music/song.xm", "song.xm"},
        {std::string("\0\t", 2), "/m/x.mod", "x.mod"},
        {"", "song.xm", "song.xm"},
    };
    for (const Case& C : Cases) EXPECT_EQ(TrackLabel(C.Title, C.FileName), C.Want) << C.Title;
}

TEST(ShellTexts, DisplayTextIsUtf8ForTheLabel) {
    struct Case {
        std::string Text, Want;
    };
    const Case Cases[] = {
        {"plain <b>&", "plain <b>&"},
        {"na\xc3\xafve \xe2\x99\xaa", "na\xc3\xafve \xe2\x99\xaa"},  // UTF-8 stays
        {"caf\xe9", "caf\xc3\xa9"},                                  // Latin-1 letter
        {"\xa0\xff", "\xc2\xa0\xc3\xbf"},
        {"a\tb\x01\x7f", "a?b??"},  // control characters
        {"\x85", "?"},              // a Latin-1 control character
        {"\xc3", "\xc3\x83"},        // a sequence cut short is Latin-1
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0?"},  // no surrogates
        {"", ""},
    };
    for (const Case& C : Cases) EXPECT_EQ(DisplayText(C.Text), C.Want) << C.Text;
}

TEST(ShellTexts, AboutTextHasSevenLinesEndedByCrLf) {
    const std::string Text = AboutText;
    std::vector<std::string> Lines;
    size_t Start = 0;
    for (size_t End; (End = Text.find("\r\n", Start)) != std::string::npos; Start = End + 2)
        Lines.push_back(Text.substr(Start, End - Start));
    EXPECT_EQ(Start, Text.size()) << "text after the last line end";
    ASSERT_EQ(Lines.size(), 7u);
    EXPECT_EQ(Lines[0], "Quavix Player");
    EXPECT_NE(Lines[1].find("2010"), std::string::npos);
    EXPECT_EQ(Lines[2], "");
    EXPECT_EQ(Lines[5], "");
    for (size_t i : {1, 3, 4, 6}) EXPECT_FALSE(Lines[i].empty()) << i;
    EXPECT_NE(Lines[4].find('@'), std::string::npos);  // the e-mail line
    for (const std::string& Line : Lines) EXPECT_EQ(Line.find_first_of("\r\n%"), std::string::npos) << Line;
}

}  // namespace
