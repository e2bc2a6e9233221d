// quavix play in a real terminal (tmux), with SDL's "disk" audio driver
// taking the sound: the title and status line, stopping with 'q' or Ctrl-C
// with the terminal restored, the end of a song, and no device at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "cli_run.h"

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
    // terminal settings it left are written down.
    void Start(const std::string& Arguments) {
        const std::string Inner = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" + Dir + "/disk.raw' SDL_DISKAUDIODELAY=20 '" +
                                  QUAVIX_BINARY_DIR "/cli/quavix' play " + Arguments + "; echo \\$? > '" + Dir +
                                  "/status'; stty -a > '" + Dir + "/stty'; sleep 60";
        Tmux("new-session -d -x 100 -y 12 \"" + Inner + "\"");
    }
    void Keys(const std::string& Keys) { Tmux("send-keys " + Keys); }
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

private:
    void Tmux(const std::string& Command) { std::system(("tmux -L " + Socket + " " + Command + " 2>/dev/null").c_str()); }
    std::string Dir, Socket;
};

TEST(QuavixPlay, ShowsTheSongAndStopsOnAKeyOrCtrlC) {
    struct Case {
        const char* Name;
        const char* Keys;
        int Status;
    };
    const Case Cases[] = {{"quit", "q", 0}, {"interrupt", "C-c", 130}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
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
}

TEST(QuavixPlay, EndsByItselfAfterTheTimeAskedFor) {
    Terminal T("end");
    T.Start("--seconds 0.5 '" + Song + "' '" + Song + "'");
    ASSERT_TRUE(WaitFor([&] { return T.Ended(); })) << T.Screen();
    EXPECT_EQ(T.Status(), 0);
    // Both songs were announced.
    const std::string Screen = T.Screen();
    EXPECT_NE(Screen.find("Quavix default song"), Screen.rfind("Quavix default song")) << Screen;
}

TEST(QuavixPlay, WithoutADeviceItSaysSoAndSuggestsRender) {
    const std::string Err = std::string(QUAVIX_BINARY_DIR) + "/play-nodevice.err";
    quavix_test::TRun Run = quavix_test::RunShell("SDL_AUDIODRIVER=no-such-driver $Q play '" + Song + "'", Err);
    EXPECT_EQ(Run.Status, 1);
    EXPECT_NE(Run.Err.find("no audio device"), std::string::npos) << Run.Err;
    EXPECT_NE(Run.Err.find("quavix render"), std::string::npos) << Run.Err;
    EXPECT_EQ(std::count(Run.Err.begin(), Run.Err.end(), '\n'), 1) << Run.Err;
    unlink(Err.c_str());
}

}  // namespace
