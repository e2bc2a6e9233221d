// quavix play in a real terminal (tmux), with SDL's "disk" audio driver
// taking the sound: the title and status line, stopping with 'q' or Ctrl-C
// with the terminal restored, the end of a song, and no device at all.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sndfile.h>

#include "cli_run.h"
#include "support/case_names.h"
#include "support/module_writer.h"

namespace {

const std::string Song = QUAVIX_SOURCE_DIR "/songs/quavix-default.xm";

std::string ReadFile(const std::string& Path) {
    std::ifstream In(Path);
    std::stringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

bool WaitFor(const std::function<bool()>& Done) {
    // A deadline only against a hang; nothing here measures speed.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Done()) {
        if (std::chrono::steady_clock::now() > Deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// One tmux server of the test's own, running quavix play in one window.
class Terminal {
public:
    explicit Terminal(const std::string& Name) {
        Dir = std::string(QUAVIX_BINARY_DIR) + "/play-" + Name + "-" + std::to_string(getpid());
        std::system(("rm -rf '" + Dir + "' && mkdir -p '" + Dir + "'").c_str());
        Socket = "quavix-test-" + Name + "-" + std::to_string(getpid());
    }
    ~Terminal() {
        Tmux("kill-server");
        std::system(("rm -rf '" + Dir + "'").c_str());
    }

    // Starts quavix play with Arguments; when it ends, its status and the
    // terminal settings it left are written down. The disk driver writes a
    // buffer each DelayMs milliseconds (93 plays in real time); a UTF-8
    // terminal shows the meters in block characters.
    // Standard error goes to a file, unless ErrorsShown: then to the terminal too.
    void Start(const std::string& Arguments, int DelayMs = 20, int Width = 100, int Height = 12,
               bool ErrorsShown = false) {
        const std::string Errors = ErrorsShown ? "" : " 2> '" + Dir + "/stderr'";
        const std::string Inner = "LANG=C.UTF-8 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" + Dir +
                                  "/disk.raw' SDL_DISKAUDIODELAY=" + std::to_string(DelayMs) + " '" +
                                  QUAVIX_BINARY_DIR "/cli/quavix' play " + Arguments + Errors + "; echo \\$? > '" +
                                  Dir + "/status'; stty -a > '" + Dir + "/stty'; sleep 60";
        Tmux("-u new-session -d -x " + std::to_string(Width) + " -y " + std::to_string(Height) + " \"" + Inner + "\"");
    }
    void Keys(const std::string& Keys) { Tmux("send-keys " + Keys); }
    void Resize(int Width, int Height) {
        Tmux("resize-window -x " + std::to_string(Width) + " -y " + std::to_string(Height));
    }
    // The screen kept as a test artifact: its text, and a picture of it with
    // the highlighted lines in reverse video. Returns those lines.
    std::vector<std::string> Keep(const std::string& Name) {
        const std::string Artifacts = QUAVIX_BINARY_DIR "/tests/cli/artifacts";
        std::system(("mkdir -p '" + Artifacts + "'").c_str());
        const std::string Text = Artifacts + "/" + Name + ".txt";
        Tmux("capture-pane -p > '" + Text + "'");
        Tmux("capture-pane -p -e > '" + Dir + "/styled'");
        std::vector<std::string> Lines, Highlighted;
        std::vector<bool> Reverse;
        std::istringstream Plain(ReadFile(Text)), Styled(ReadFile(Dir + "/styled"));
        int Columns = 0;
        for (std::string Line, Style; std::getline(Plain, Line);) {
            std::getline(Styled, Style);
            Lines.push_back(Line);
            Reverse.push_back(Style.find("\033[7m") != std::string::npos);
            if (Reverse.back()) Highlighted.push_back(Line);
            int Width = 0;
            for (char c : Line) Width += (static_cast<uint8_t>(c) & 0xC0) != 0x80;
            Columns = std::max(Columns, Width);
        }
        // One line at a time in a font with the block characters, 17 pixels
        // apart; -annotate takes % and \\ as escapes and drops leading
        // blanks (no-break spaces stay), the shell takes ' as an end.
        const int PictureWidth = Columns * 17 / 2 + 16;
        std::string Command = "convert -size " + std::to_string(PictureWidth) + "x" +
                              std::to_string(static_cast<int>(Lines.size()) * 17 + 16) +
                              " xc:black -font DejaVu-Sans-Mono -pointsize 14";
        for (size_t i = 0; i < Lines.size(); ++i) {
            std::string Escaped;
            for (char c : Lines[i]) {
                if (c == '%' || c == '\\') Escaped += c;
                Escaped += c == '\'' ? std::string("'\\''") : c == ' ' ? std::string("\u00a0") : std::string(1, c);
            }
            const int Top = 8 + 17 * static_cast<int>(i);
            if (Reverse[i])
                Command += " -fill white -draw 'rectangle 4," + std::to_string(Top + 1) + " " +
                           std::to_string(PictureWidth - 4) + "," + std::to_string(Top + 17) + "' -fill black";
            else
                Command += " -fill white";
            Command += " -annotate +8+" + std::to_string(Top + 12) + " '" + Escaped + "'";
        }
        std::system((Command + " '" + Artifacts + "/" + Name + ".png'").c_str());
        return Highlighted;
    }
    std::string Folder() const { return Dir; }
    std::string Screen() {
        const std::string File = Dir + "/screen";
        Tmux("capture-pane -p > '" + File + "'");
        return ReadFile(File);
    }
    bool Ended() {
        struct stat Info;
        return stat((Dir + "/stty").c_str(), &Info) == 0 && Info.st_size > 0;
    }
    int Status() { return std::atoi(ReadFile(Dir + "/status").c_str()); }
    std::string Settings() { return ReadFile(Dir + "/stty"); }
    int64_t SoundBytes() {
        struct stat Info;
        return stat((Dir + "/disk.raw").c_str(), &Info) == 0 ? Info.st_size : 0;
    }
    // The sound written so far, 16-bit values (stereo, left first), from
    // byte From on.
    std::vector<int16_t> Sound(int64_t From = 0) {
        const std::string Bytes = ReadFile(Dir + "/disk.raw");
        std::vector<int16_t> Values;
        for (size_t i = static_cast<size_t>(From) & ~size_t(1); i + 1 < Bytes.size(); i += 2)
            Values.push_back(static_cast<int16_t>(static_cast<uint8_t>(Bytes[i]) | (static_cast<uint8_t>(Bytes[i + 1]) << 8)));
        return Values;
    }

private:
    void Tmux(const std::string& Command) { std::system(("tmux -L " + Socket + " " + Command + " 2>/dev/null").c_str()); }
    std::string Dir, Socket;
};

struct TStopCase : quavix_test::TNamedCase {
    const char* Keys;
    int Status;
};

std::vector<TStopCase> StopCases() {
    return {{"quit", "q", 0}, {"interrupt", "C-c", 130}};
}

class QuavixPlayShowsTheSongAndStopsOnAKeyOrCtrlC : public ::testing::TestWithParam<TStopCase> {};

TEST_P(QuavixPlayShowsTheSongAndStopsOnAKeyOrCtrlC, ShowsTheSongAndStopsOnAKeyOrCtrlC) {
    const TStopCase& C = GetParam();
    Terminal T(C.Name);
    T.Start("--seconds 600 '" + Song + "'");
    ASSERT_TRUE(WaitFor([&] { return T.Screen().find("order") != std::string::npos; })) << T.Screen();
    const std::string Screen = T.Screen();
    EXPECT_NE(Screen.find("Quavix default song"), std::string::npos) << Screen;
    EXPECT_NE(Screen.find("/ 10:00.000"), std::string::npos) << Screen;
    ASSERT_TRUE(WaitFor([&] { return T.SoundBytes() > 0; }));
    T.Keys(C.Keys);
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); })) << T.Screen();
    EXPECT_EQ(T.Status(), C.Status) << T.Screen();
    // The terminal is back in line mode with echo.
    const std::string Settings = T.Settings();
    EXPECT_NE(Settings.find(" icanon"), std::string::npos) << Settings;
    EXPECT_NE(Settings.find(" echo "), std::string::npos) << Settings;
}
INSTANTIATE_TEST_SUITE_P(QuavixPlay, QuavixPlayShowsTheSongAndStopsOnAKeyOrCtrlC, ::testing::ValuesIn(StopCases()),
                         quavix_test::TCaseName());

TEST(QuavixPlay, EndsByItselfAfterTheTimeAskedFor) {
    Terminal T("end");
    T.Start("--seconds 0.5 '" + Song + "' '" + Song + "'");
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); })) << T.Screen();
    EXPECT_EQ(T.Status(), 0);
    // Both songs were announced.
    const std::string Screen = T.Screen();
    EXPECT_NE(Screen.find("Quavix default song"), Screen.rfind("Quavix default song")) << Screen;

    // The pattern view's screen goes at the end; a file that did not load is
    // still reported where the terminal shows it.
    Terminal View("end-pattern");
    View.Start("--seconds 0.5 --pattern no-such-song.xm '" + Song + "'", 20, 100, 12, true);
    ASSERT_TRUE(WaitFor([&] { return View.Ended(); })) << View.Screen();
    EXPECT_EQ(View.Status(), 1);
    EXPECT_NE(View.Screen().find("quavix: no-such-song.xm: cannot open"), std::string::npos) << View.Screen();
}

bool Silent(const std::vector<int16_t>& Values) {
    for (int16_t Value : Values)
        if (Value != 0) return false;
    return true;
}

// Waits until the disk driver has written Bytes more than it had.
bool SoundGrows(Terminal& T, int64_t Bytes) {
    const int64_t Start = T.SoundBytes();
    return WaitFor([&] { return T.SoundBytes() >= Start + Bytes; });
}

// What the player may still hold when a key comes: the buffer being handed
// out and SDL's own, 4096 frames each, with room to spare.
constexpr int64_t Buffered = 4 * 4096 * 4;

TEST(QuavixPlay, PauseSilencesTheSoundAndResumeGoesOnWhereItStopped) {
    Terminal T("pause");
    T.Start("--seconds 600 '" + Song + "'");
    ASSERT_TRUE(WaitFor([&] { return T.SoundBytes() > 200000; }));
    T.Keys("Space");
    ASSERT_TRUE(WaitFor([&] { return T.Screen().find("  paused") != std::string::npos; })) << T.Screen();
    // While paused the driver writes silence, and the song time stands still.
    auto StatusLine = [&] {
        const std::string Screen = T.Screen();
        const size_t At = Screen.find("  order ");
        return At == std::string::npos ? std::string() : Screen.substr(At, Screen.find('\n', At) - At);
    };
    const std::string Paused = StatusLine();
    const int64_t From = T.SoundBytes() + Buffered;
    ASSERT_TRUE(SoundGrows(T, Buffered + 200000));
    EXPECT_TRUE(Silent(T.Sound(From)));
    EXPECT_EQ(StatusLine(), Paused);
    T.Keys("Space");
    ASSERT_TRUE(WaitFor([&] { return T.Screen().find("  paused") == std::string::npos; })) << T.Screen();
    ASSERT_TRUE(SoundGrows(T, 400000));
    T.Keys("q");
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); }));

    // The sound is the song's, with a stretch of silence where it paused:
    // after it, the song goes on from the very sample it stopped at.
    const std::string Reference = T.Folder() + "/reference.wav";
    ASSERT_EQ(std::system(("'" QUAVIX_BINARY_DIR "/cli/quavix' render --seconds 60 -o '" + Reference + "' '" + Song + "'").c_str()), 0);
    SF_INFO Info{};
    SNDFILE* File = sf_open(Reference.c_str(), SFM_READ, &Info);
    ASSERT_NE(File, nullptr);
    std::vector<int16_t> Rendered(static_cast<size_t>(Info.frames * 2));
    sf_readf_short(File, Rendered.data(), Info.frames);
    sf_close(File);
    std::vector<int16_t> Played = T.Sound();
    auto SkipSilence = [](const std::vector<int16_t>& Values, size_t From) {
        while (From < Values.size() && Values[From] == 0) ++From;
        return From;
    };
    // Before play starts the driver writes silence too.
    size_t P = SkipSilence(Played, 0), R = SkipSilence(Rendered, 0);
    while (P < Played.size() && R < Rendered.size() && Played[P] == Rendered[R]) ++P, ++R;
    EXPECT_GT(R, 10000u) << "the sound before the pause differs from the song";
    const size_t Stopped = P;
    P = SkipSilence(Played, P);
    EXPECT_GT(P - Stopped, 100000u) << "no silence while paused";
    size_t Same = 0;
    while (P < Played.size() && R < Rendered.size() && Played[P] == Rendered[R]) ++P, ++R, ++Same;
    EXPECT_GT(Same, 200000u) << "the sound after the pause is not the song from where it stopped";
}

TEST(QuavixPlay, KeysSeekToOrdersAndChangeFiles) {
    // Played nearly in real time: an order lasts some 15 seconds.
    const std::string Dir = std::string(QUAVIX_BINARY_DIR) + "/play-songs-" + std::to_string(getpid());
    std::system(("mkdir -p '" + Dir + "'").c_str());
    quavix_test::TXmSong First = quavix_test::SmallXm();
    First.Title = "first song";
    First.Speed = 12;
    First.Orders = {0, 0, 0};
    quavix_test::SaveBytes(Dir + "/first.xm", quavix_test::WriteXm(First));
    quavix_test::TXmSong Second = quavix_test::SmallXm();
    Second.Title = "second song";
    quavix_test::SaveBytes(Dir + "/second.xm", quavix_test::WriteXm(Second));

    Terminal T("keys");
    T.Start("'" + Dir + "/first.xm' '" + Dir + "/second.xm'", 90, 100, 40);
    auto Shows = [&](const std::string& Text) {
        return WaitFor([&] { return T.Screen().find(Text) != std::string::npos; });
    };
    auto Count = [&](const std::string& Text) {
        const std::string Screen = T.Screen();
        size_t N = 0;
        for (size_t At = Screen.find(Text); At != std::string::npos; At = Screen.find(Text, At + 1)) ++N;
        return N;
    };
    ASSERT_TRUE(Shows("order   0/3")) << T.Screen();
    T.Keys("f");
    // The song time is where order 1 begins in the song: 64 rows of 10584
    // frames in, 15.36 seconds.
    ASSERT_TRUE(Shows("order   1/3  row   0  00:15.")) << T.Screen();
    T.Keys("Right");
    ASSERT_TRUE(Shows("order   2/3")) << T.Screen();
    T.Keys("b");
    ASSERT_TRUE(Shows("order   1/3")) << T.Screen();
    T.Keys("n");
    ASSERT_TRUE(Shows("second song")) << T.Screen();
    T.Keys("p");
    ASSERT_TRUE(WaitFor([&] { return Count("first song") == 2; })) << T.Screen();
    T.Keys("Up");
    ASSERT_TRUE(WaitFor([&] { return Count("second song") == 2; })) << T.Screen();
    T.Keys("Escape");
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); })) << T.Screen();
    EXPECT_EQ(T.Status(), 0);
    std::system(("rm -rf '" + Dir + "'").c_str());
}

TEST(QuavixPlay, AMutedChannelIsSilent) {
    // One channel sounds; muted, the song is silent.
    const std::string File = std::string(QUAVIX_BINARY_DIR) + "/play-mute-" + std::to_string(getpid()) + ".xm";
    quavix_test::SaveBytes(File, quavix_test::WriteXm(quavix_test::SmallXm()));
    Terminal T("mute");
    T.Start("--seconds 600 --solo 1 '" + File + "'");
    ASSERT_TRUE(WaitFor([&] { return !Silent(T.Sound(T.SoundBytes() - 20000)); }));
    T.Keys("1");
    // The meter shows the channel muted.
    ASSERT_TRUE(WaitFor([&] { return T.Screen().find("  -- --") != std::string::npos; })) << T.Screen();
    int64_t From = T.SoundBytes() + Buffered;
    ASSERT_TRUE(SoundGrows(T, Buffered + 300000));
    EXPECT_TRUE(Silent(T.Sound(From)));
    T.Keys("!");
    ASSERT_TRUE(WaitFor([&] { return T.Screen().find("--") == std::string::npos; })) << T.Screen();
    From = T.SoundBytes() + Buffered;
    ASSERT_TRUE(SoundGrows(T, Buffered + 300000));
    EXPECT_FALSE(Silent(T.Sound(From)));
    T.Keys("q");
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); }));
    unlink(File.c_str());
}

TEST(QuavixPlay, MetersAndPatternViewFitTheTerminal) {
    {
        Terminal T("meters");
        // From order 1, where all channels play.
        T.Start("--start 1 '" + Song + "'", 93);
        ASSERT_TRUE(WaitFor([&] { return T.Screen().find("01 02 03 04 05 06 07 08") != std::string::npos; }))
            << T.Screen();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        T.Keep("play-meters");
        // The bars are the block characters of a UTF-8 terminal (U+2581 to U+2588).
        const std::string Kept = ReadFile(QUAVIX_BINARY_DIR "/tests/cli/artifacts/play-meters.txt");
        EXPECT_NE(Kept.find("\xe2\x96"), std::string::npos) << Kept;
        T.Keys("q");
        ASSERT_TRUE(WaitFor([&] { return T.Ended(); }));
    }
    Terminal T("pattern");
    T.Start("--start 1 --pattern '" + Song + "'", 93, 100, 30);
    // As many channels as fit in 100 columns: six of the eight.
    ASSERT_TRUE(WaitFor([&] { return T.Screen().find("| 6") != std::string::npos; })) << T.Screen();
    EXPECT_EQ(T.Screen().find("| 7"), std::string::npos);
    // A few rows into the order, for the picture.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    // The current row, and only it, is highlighted.
    const std::vector<std::string> Highlighted = T.Keep("play-pattern");
    std::string Screen = T.Screen();
    EXPECT_NE(Screen.find("Quavix default song"), std::string::npos) << Screen;
    ASSERT_EQ(Highlighted.size(), 1u) << Screen;
    EXPECT_EQ(Highlighted[0].rfind("> ", 0), 0u) << Highlighted[0];
    // Narrower: three channels fit.
    T.Resize(60, 20);
    // Until the program redraws, tmux shows the old lines cut short, their
    // top scrolled away: the new view names channel 3 and no fourth.
    ASSERT_TRUE(WaitFor([&] {
        const std::string Now = T.Screen();
        return Now.find("| 3") != std::string::npos && Now.find("| 4") == std::string::npos;
    })) << T.Screen();
    T.Keep("play-pattern-narrow");
    T.Keys("C-c");
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); }));
    EXPECT_EQ(T.Status(), 130);
    // The pattern view's screen is gone, and the terminal is as it was.
    EXPECT_EQ(T.Screen().find("| 1"), std::string::npos) << T.Screen();
    EXPECT_NE(T.Settings().find(" echo "), std::string::npos);
}

std::vector<int16_t> RenderedSamples(const std::string& Arguments, const std::string& Output) {
    if (std::system(("'" QUAVIX_BINARY_DIR "/cli/quavix' render " + Arguments + " -o '" + Output + "'").c_str()) != 0)
        return {};
    return quavix_test::ReadSamples(Output);
}

struct TSeparationCase : quavix_test::TNamedCase {
    const char* Percent;
};

class QuavixPlayStereoSeparationIsHeardAsRendered : public ::testing::TestWithParam<TSeparationCase> {};

TEST_P(QuavixPlayStereoSeparationIsHeardAsRendered, StereoSeparationIsHeardAsRendered) {
    // A pattern-format song whose one voice plays hard left.
    const std::string Percent = GetParam().Percent;
    Terminal T("separation-" + Percent);
    const std::string File = T.Folder() + "/left.mod";
    quavix_test::TModSong Left = quavix_test::SmallMod();
    Left.Patterns = {{{quavix_test::ModAt(0, 0, quavix_test::Note("C-3"), 1)}}};
    quavix_test::SaveBytes(File, quavix_test::WriteMod(Left));
    T.Start("--seconds 1 --stereo-separation " + Percent + " '" + File + "'");
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); })) << T.Screen();
    EXPECT_EQ(T.Status(), 0) << T.Screen();
    const std::vector<int16_t> Rendered =
        RenderedSamples("--seconds 1 --stereo-separation " + Percent + " '" + File + "'", T.Folder() + "/wide.wav");
    const std::vector<int16_t> AsThePanning = RenderedSamples("--seconds 1 '" + File + "'", T.Folder() + "/song.wav");
    ASSERT_EQ(Rendered.size(), 88200u);
    EXPECT_FALSE(Rendered == AsThePanning);
    // The device got the render's sound, after the silence it was given
    // before the song started.
    const std::vector<int16_t> Played = T.Sound();
    size_t P = 0;
    while (P < Played.size() && Played[P] == 0) ++P;
    P &= ~size_t(1);
    size_t R = 0;
    while (R < Rendered.size() && Rendered[R] == 0) ++R;
    R &= ~size_t(1);
    size_t Same = 0;
    while (P < Played.size() && R < Rendered.size() && Played[P] == Rendered[R]) ++P, ++R, ++Same;
    EXPECT_GT(Same, 80000u) << "the sound played is not the render's";
}
INSTANTIATE_TEST_SUITE_P(QuavixPlay, QuavixPlayStereoSeparationIsHeardAsRendered,
                         ::testing::Values(TSeparationCase{{"mono on both sides"}, "0"},
                                           TSeparationCase{{"twice the panning's width"}, "200"}),
                         quavix_test::TCaseName());

struct TPlayLineCase : quavix_test::TNamedCase {
    std::string Line;
    int Status;
    std::string Err;  // its one line
    const char* Out;  // a part of standard output; "": nothing there
};

std::vector<TPlayLineCase> PlayLineCases() {
    const std::string NoDevice =
        "quavix: play: no sound device could be opened (SDL audio: No available audio device; /nonexistent/dsp: No "
        "such file or directory); 'quavix render FILE' writes the song to a file instead";
    return {
        // Neither SDL nor the OSS device can open, whatever the machine has:
        // one line says what failed at each.
        {"no device", "SDL_AUDIODRIVER=no-such-driver QUAVIX_OSS_DEVICE=/nonexistent/dsp $Q play '" + Song + "'", 1,
         NoDevice, ""},
        // ALSA prints lines of its own for every device it cannot open (a
        // card that is not there, no configuration at all); they are not
        // shown.
        {"no sound card through ALSA",
         "SDL_AUDIODRIVER=alsa ALSA_CARD=NoSuchCard QUAVIX_OSS_DEVICE=/nonexistent/dsp $Q play '" + Song + "'", 1,
         NoDevice, ""},
        {"no ALSA configuration",
         "SDL_AUDIODRIVER=alsa ALSA_CONFIG_PATH=/dev/null QUAVIX_OSS_DEVICE=/nonexistent/dsp $Q play '" + Song + "'",
         1, NoDevice, ""},
        // No keys from a file: the song plays as asked and ends.
        {"input not a terminal", "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null $Q play --seconds 0.2 '" + Song +
                                     "' </dev/null",
         0, "", "Quavix default song"},
        {"channel beyond the song", "$Q play --mute 2,9 '" + Song + "'", 2,
         "quavix: play: " + Song + ": --mute 2,9: channel 9 is beyond the song's 8 channels", ""},
        // The channels are checked against every song before a device is
        // looked for: with none to be had, the channel is still what is said.
        {"channel beyond the song, no device",
         "SDL_AUDIODRIVER=no-such-driver QUAVIX_OSS_DEVICE=/nonexistent/dsp $Q play --solo 8 '" + Song + "' '" + Song +
             "' --mute 9 </dev/null",
         2, "quavix: play: " + Song + ": --mute 9: channel 9 is beyond the song's 8 channels", ""},
        {"start beyond the song", "$Q play --start 6 '" + Song + "'", 2,
         "quavix: play: " + Song + ": --start 6 is beyond the song, whose order positions run from 0 to 5", ""},
    };
}

class QuavixPlayLine : public ::testing::TestWithParam<TPlayLineCase> {};

TEST_P(QuavixPlayLine, WithoutATerminalOrADeviceOrWithAWrongCommandLine) {
    const TPlayLineCase& Case = GetParam();
    const std::string Err = std::string(QUAVIX_BINARY_DIR) + "/play-lines-" + quavix_test::TestNameOf(Case.Name) + ".err";
    quavix_test::TRun Run = quavix_test::RunShell(Case.Line, Err);
    EXPECT_EQ(Run.Status, Case.Status) << Run.Err;
    // SDL's disk driver announces itself on standard error; nothing else may.
    std::string Lines = Run.Err;
    for (size_t At; (At = Lines.find("WARNING: You are using the SDL disk")) != std::string::npos;)
        Lines.erase(At, Lines.find('\n', Lines.find('\n', At) + 1) + 1 - At);
    EXPECT_EQ(Lines, Case.Err.empty() ? "" : Case.Err + "\n") << Run.Err;
    if (*Case.Out)
        EXPECT_NE(Run.Out.find(Case.Out), std::string::npos) << Run.Out;
    else
        EXPECT_EQ(Run.Out, "");
    unlink(Err.c_str());
}
INSTANTIATE_TEST_SUITE_P(Cases, QuavixPlayLine, ::testing::ValuesIn(PlayLineCases()), quavix_test::TCaseName());

}  // namespace

namespace {

// Which songs play, and in what parts: subsongs, folders, play lists, a
// shuffled list. Each case names the lines it must show, each exactly once.
struct TPlayListCase : quavix_test::TNamedCase {
    std::string Arguments;  // with DIR for the test's folder
    std::vector<std::string> Shown;
};

std::vector<TPlayListCase> PlayListCases() {
    return {
        {"one subsong", "--subsong 2 DIR/tunes.xm", {"  three tunes  (subsong 2 of 3)"}},
        {"every subsong in turn",
         "--subsong all DIR/tunes.xm",
         {"  three tunes  (subsong 1 of 3)", "  three tunes  (subsong 2 of 3)", "  three tunes  (subsong 3 of 3)"}},
        {"a folder's songs and a play list's", "DIR/songs DIR/set.m3u",
         {"DIR/songs/a.xm\n", "DIR/songs/sub/b.xm\n", "DIR/./songs/a.xm\n"}},
        {"a shuffled folder plays every song once", "--shuffle DIR/songs DIR/tunes.xm",
         {"DIR/songs/a.xm\n", "DIR/songs/sub/b.xm\n", "DIR/tunes.xm\n"}},
    };
}

std::string WithDir(std::string Text, const std::string& Dir) {
    for (size_t At = Text.find("DIR"); At != std::string::npos; At = Text.find("DIR", At + Dir.size()))
        Text.replace(At, 3, Dir);
    return Text;
}

size_t Occurrences(const std::string& Screen, const std::string& Text) {
    size_t N = 0;
    for (size_t At = Screen.find(Text); At != std::string::npos; At = Screen.find(Text, At + 1)) ++N;
    return N;
}

// Songs of the test's own: three subsongs in one order list, a folder of two
// songs with a text beside them, and a play list.
std::string WriteSongs(const std::string& Name) {
    const std::string Dir = std::string(QUAVIX_BINARY_DIR) + "/play-songs-" + Name + "-" + std::to_string(getpid());
    std::system(("rm -rf '" + Dir + "' && mkdir -p '" + Dir + "/songs/sub'").c_str());
    quavix_test::SaveBytes(Dir + "/tunes.xm", quavix_test::WriteXm(quavix_test::ThreeSubsongsXm()));
    quavix_test::SaveBytes(Dir + "/songs/a.xm", quavix_test::WriteXm(quavix_test::SmallXm()));
    quavix_test::SaveBytes(Dir + "/songs/sub/b.xm", quavix_test::WriteXm(quavix_test::SmallXm()));
    quavix_test::SaveBytes(Dir + "/songs/readme.txt", quavix_test::TBytes(100, 'x'));
    const std::string List = "# the first song again\n./songs/a.xm\n";
    quavix_test::SaveBytes(Dir + "/set.m3u", quavix_test::TBytes(List.begin(), List.end()));
    return Dir;
}

class QuavixPlayGoesThroughTheSongsAskedFor : public ::testing::TestWithParam<TPlayListCase> {};

TEST_P(QuavixPlayGoesThroughTheSongsAskedFor, GoesThroughTheSongsAskedFor) {
    const TPlayListCase& C = GetParam();
    const std::string Dir = WriteSongs("list");
    Terminal T("list");
    T.Start("--seconds 0.2 " + WithDir(C.Arguments, Dir), 20, 200, 40);
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); })) << T.Screen();
    EXPECT_EQ(T.Status(), 0) << T.Screen();
    const std::string Screen = T.Screen();
    for (const std::string& Line : C.Shown) EXPECT_EQ(Occurrences(Screen, WithDir(Line, Dir)), 1u) << Line << "\n" << Screen;
    std::system(("rm -rf '" + Dir + "'").c_str());
}
INSTANTIATE_TEST_SUITE_P(QuavixPlay, QuavixPlayGoesThroughTheSongsAskedFor, ::testing::ValuesIn(PlayListCases()),
                         quavix_test::TCaseName());

TEST(QuavixPlay, LoopPlaysTheListAgainUntilQuit) {
    const std::string Dir = WriteSongs("loop");
    Terminal T("loop");
    T.Start("--loop --seconds 0.2 '" + Dir + "/songs'", 20, 200, 40);
    ASSERT_TRUE(WaitFor([&] { return Occurrences(T.Screen(), "/songs/sub/b.xm\n") >= 2; })) << T.Screen();
    T.Keys("q");
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); })) << T.Screen();
    EXPECT_EQ(T.Status(), 0);
    // The list started again from its first song.
    EXPECT_GE(Occurrences(T.Screen(), "/songs/a.xm\n"), 2u) << T.Screen();
    std::system(("rm -rf '" + Dir + "'").c_str());
}

}  // namespace
