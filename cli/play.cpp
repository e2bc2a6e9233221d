// quavix play: songs through the sound device (SDL audio, else the OSS
// device), with the title and a status line that updates in place.
#include <CLI/CLI.hpp>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli.h"
#include "player/quavix.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

struct TPlayOptions {
    std::vector<std::string> Files;
    double Seconds = 0;  // 0: until the song ends
    int32_t Repeat = 0;
    TQuavixAmigaClock AmigaClock = TQuavixAmigaClock::Ntsc;
};
TPlayOptions Options;

volatile std::sig_atomic_t StopRequest = 0;
void OnStopSignal(int) { StopRequest = 1; }

// The terminal in single-key mode while a song plays (so that 'q' needs no
// Enter and is not echoed), restored whatever way play ends.
class TKeyboard {
public:
    TKeyboard() {
        if (isatty(STDIN_FILENO) != 1 || tcgetattr(STDIN_FILENO, &Saved) != 0) return;
        termios Raw = Saved;
        Raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        Raw.c_cc[VMIN] = 0;
        Raw.c_cc[VTIME] = 0;
        Active = tcsetattr(STDIN_FILENO, TCSANOW, &Raw) == 0;
    }
    ~TKeyboard() {
        if (Active) tcsetattr(STDIN_FILENO, TCSANOW, &Saved);
    }
    TKeyboard(const TKeyboard&) = delete;
    TKeyboard& operator=(const TKeyboard&) = delete;

    // Waits up to Ms milliseconds for a key; true when 'q' (or Q) came.
    bool QuitPressed(int Ms) {
        pollfd In{STDIN_FILENO, POLLIN, 0};
        if (!Active) {
            std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
            return false;
        }
        if (poll(&In, 1, Ms) <= 0) return false;
        char Key = 0;
        while (read(STDIN_FILENO, &Key, 1) == 1)
            if (Key == 'q' || Key == 'Q') return true;
        return false;
    }

private:
    termios Saved{};
    bool Active = false;
};

// Plays one loaded song until its end (after the repeats), for the seconds
// asked for, or until the user stops it. Returns false when the user did.
bool PlayOne(TQuavix& Player, const std::string& Path, const std::vector<uint8_t>& Data, TKeyboard& Keyboard) {
    const int32_t Rate = Player.SampleRate;
    int64_t Total;
    if (Options.Seconds > 0) {
        Total = std::llround(Options.Seconds * Rate);
    } else {
        const std::vector<int64_t> Ends = MeasureSong(Data, Rate, Options.Repeat + 1);
        Total = static_cast<int64_t>(Ends.size()) == Options.Repeat + 1 ? Ends.back()
                                                                         : static_cast<int64_t>(MaxSongSeconds) * Rate;
    }
    const TQuavixModule& Module = *Player.Module;
    const std::string Title = Printable(Module.Name);
    std::printf("%s\n", Printable(Path).c_str());
    std::printf("  %s\n", Title.find_first_not_of(' ') == std::string::npos ? "(no title)" : Title.c_str());
    std::fflush(stdout);
    const bool Terminal = isatty(STDOUT_FILENO) == 1;

    Player.Play();
    // The song's time is the frames rendered; the device plays them a little
    // later, so the end waits one more buffer before stopping.
    const int64_t Latency = static_cast<int64_t>(Player.BufferFrames) * 2;
    bool Stopped = false;
    for (;;) {
        const int64_t Played = std::min(Player.PlayedFrames.load(), Total);
        if (Terminal) {
            const int32_t Order = Player.PlayedOrder.load(), Row = Player.PlayedRow.load();
            std::printf("\r\033[K  order %3d/%d  row %3d  %s / %s", std::max(Order, 0), Module.SongLength,
                        std::max(Row, 0), ClockTime(Played, Rate).c_str(), ClockTime(Total, Rate).c_str());
            std::fflush(stdout);
        }
        if (StopRequest || Keyboard.QuitPressed(50)) {
            Stopped = true;
            break;
        }
        if (Player.PlayedFrames.load() >= Total + Latency) break;
    }
    Player.Stop();
    if (Terminal) std::printf("\n");
    std::fflush(stdout);
    return !Stopped;
}

int RunPlay() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    TKeyboard Keyboard;
    int Status = ExitOk;
    for (const std::string& Path : Options.Files) {
        std::vector<uint8_t> Data;
        std::string Reason;
        // The window's settings: 44100 Hz, 4096-frame buffers, 16-bit stereo,
        // linear interpolation, clipping on, master volume 128.
        std::unique_ptr<TQuavix> Player(new TQuavix(DefaultRate, RenderBufferFrames, 4, true, 10, 16, 0));
        if (Player->OutputDevice == 0) {
            std::fflush(stdout);
            std::fprintf(stderr,
                         "quavix: play: no audio device could be opened; 'quavix render FILE' writes the song to a "
                         "file instead\n");
            return ExitFailure;
        }
        Player->Interpolation = 1;
        Player->AmigaClock = Options.AmigaClock;
        Player->Clipping = 1;
        Player->Module->MasterVolume = 128;
        if (!ReadModuleData(Path, Data, Reason) || !LoadModuleData(Data, *Player->Module, Reason)) {
            ReportError(Path, Reason);
            Status = ExitFailure;
            continue;
        }
        if (!PlayOne(*Player, Path, Data, Keyboard)) return StopRequest ? ExitInterrupted : Status;
    }
    return Status;
}

}  // namespace

TRunCommand AddPlay(CLI::App& App) {
    CLI::App* Play = App.add_subcommand("play", "play songs through the sound device");
    Play->footer(
        "Plays each song in turn as the window plays it, through SDL audio or else\n"
        "the OSS device, until it ends (the first time it comes back to a row it\n"
        "has played). 'q' or Ctrl-C stops.\n"
        "\n"
        "Exit status: 0 when every song played, 1 when some file did not load or\n"
        "no audio device could be opened, 2 for a wrong command line, 130 when\n"
        "interrupted by a signal.");
    Play->add_option("FILE", Options.Files, "module files (.xm, .mod)")->required();
    CLI::Option* Seconds = Play->add_option("--seconds", Options.Seconds, "play S seconds of each song")
                               ->type_name("S")
                               ->check(CLI::Range(0.001, static_cast<double>(MaxSongSeconds)));
    Play->add_option("--repeat", Options.Repeat, "play each song N more times after its end")
        ->type_name("N")
        ->check(CLI::Range(0, 1000))
        ->excludes(Seconds);
    AddAmigaClockOption(*Play, Options.AmigaClock);
    return RunPlay;
}

}  // namespace quavix_cli
