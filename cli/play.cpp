// quavix play: songs through the sound device (SDL audio, else the OSS
// device), with the title, a status line that updates in place, the channel
// meters and, on request, the pattern view; xmp's keys pause, seek, change
// the file, mute channels and set the volume.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "play_control.h"
#include "play_screen.h"
#include "player/quavix.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

struct TPlayOptions {
    std::vector<std::string> Files;
    double Seconds = 0;  // 0: until the song ends
    int32_t Repeat = 0;
    int32_t Start = 0;
    TChannelChoice Channels;
    bool Pattern = false;
    bool NoMeters = false;
    TQuavixAmigaClock AmigaClock = TQuavixAmigaClock::Ntsc;
    int32_t StereoSeparation = 100;  // percent
};
TPlayOptions Options;

std::atomic<bool> StopRequest{false};
void OnStopSignal(int) { StopRequest = true; }

// How often the screen is drawn and the keys are read.
constexpr int FrameMs = 50;

// The lines of one frame of the display.
std::vector<TScreenLine> Frame(const TTerminal& Terminal, const TPlayControl& Control, const TQuavix& Player,
                               const TChannelMeters* Meters, const std::string& Path, int Width, int Height) {
    const TQuavixModule& Module = *Player.Module;
    std::vector<TScreenLine> Lines;
    if (Options.Pattern) {
        // The pattern view has the screen to itself: the song's name heads it.
        Lines.push_back({Printable(Path)});
        const std::string Title = Printable(Module.Name);
        Lines.push_back({"  " + (Title.find_first_not_of(' ') == std::string::npos ? "(no title)" : Title)});
    }
    TPlayStatus Status;
    Status.Order = Control.Order();
    Status.SongLength = Module.SongLength;
    Status.Row = Player.PlayedRowNumber();
    Status.Elapsed = Control.Elapsed();
    Status.Total = Control.Total();
    Status.Rate = Player.SampleRate();
    Status.VolumePercent = Control.VolumePercent();
    Status.Paused = Control.Paused();
    Lines.push_back({StatusLine(Status)});
    if (Control.ShowingHelp()) {
        for (const std::string& Line : KeyHelp()) Lines.push_back({"  " + Line});
    } else if (Meters) {
        for (const std::string& Line : Meters->Lines(Width, Control.Muted(), Terminal.Utf8())) Lines.push_back({Line});
    }
    if (Options.Pattern) {
        Lines.emplace_back();
        int Current = -1;
        const int Rows = Height - static_cast<int>(Lines.size());
        std::vector<std::string> View = PatternView(Module, Status.Order, Status.Row, Width, Rows, Control.Muted(), Current);
        for (int i = 0; i < static_cast<int>(View.size()); ++i) Lines.push_back({View[i], i == Current});
    }
    return Lines;
}

// Plays one loaded song until its end (after the repeats), for the seconds
// asked for, or until a key or a signal ends it.
TPlayOutcome PlayOne(TQuavix& Player, const std::string& Path, const std::vector<uint8_t>& Data,
                     const std::vector<bool>& Muted, TTerminal& Terminal, TKeyDecoder& Keys, TPlayVolume& Volume) {
    const TSongTimes Times = MeasureSongTimes(Data, Player.SampleRate(), Options.Repeat + 1);
    if (!Terminal.ScreenOn() || Terminal.InlineBlock()) {
        const std::string Title = Printable(Player.Module->Name);
        std::printf("%s\n", Printable(Path).c_str());
        std::printf("  %s\n", Title.find_first_not_of(' ') == std::string::npos ? "(no title)" : Title.c_str());
        std::fflush(stdout);
    }
    TPlayControl Control(Player, Times, Options.Repeat + 1, Options.Seconds, Muted, Options.Start, Volume);
    // The meters, on a terminal unless turned off, take the levels the
    // mixer notes; without them the mixer notes nothing.
    const bool Metering = Terminal.ScreenOn() && !Options.NoMeters;
    Player.SetMeasureLevels(Metering);
    TChannelMeters Meters;
    Control.Start();

    TPlayOutcome Outcome = TPlayOutcome::Playing;
    while (Outcome == TPlayOutcome::Playing) {
        int Width, Height;
        Terminal.Size(Width, Height);
        if (Metering)
            Meters.Take(Player.Module->NumChannels,
                        [&Player](int32_t Channel) { return Player.TakeChannelPeak(Channel); });
        Terminal.Show(Frame(Terminal, Control, Player, Metering ? &Meters : nullptr, Path, Width, Height), Width,
                      Height);
        std::string Bytes;
        std::vector<TPlayKey> Pressed;
        if (Terminal.ReadKeys(FrameMs, Bytes))
            Keys.Feed(Bytes.data(), Bytes.size(), Pressed);
        else
            Keys.Idle(Pressed);
        for (const TPlayKey& Key : Pressed) {
            Outcome = Control.Handle(Key);
            if (Outcome != TPlayOutcome::Playing) break;
        }
        if (StopRequest) Outcome = TPlayOutcome::Quit;
        if (Outcome == TPlayOutcome::Playing) Outcome = Control.Check();
    }
    Player.Stop();
    if (Terminal.InlineBlock()) {
        // The status line stays as the song left it; the meters go.
        int Width, Height;
        Terminal.Size(Width, Height);
        std::vector<TScreenLine> Last = Frame(Terminal, Control, Player, nullptr, Path, Width, Height);
        Last.resize(1);
        Terminal.Show(Last, Width, Height);
        Terminal.EndBlock();
    }
    return Outcome;
}

// The mutes each song starts with, checked before anything plays: a channel
// or a start beyond a song is a wrong command line. Files that do not load
// are reported when their turn comes.
int CheckSongs(std::vector<std::vector<bool>>& Muted) {
    for (const std::string& Path : Options.Files) {
        Muted.emplace_back();
        if (Options.Channels.Empty() && Options.Start == 0) continue;
        std::unique_ptr<TQuavixModule> Song(new TQuavixModule());
        std::string Reason;
        if (!LoadModuleFile(Path, *Song, Reason)) continue;
        std::string Problem = StartProblem(Options.Start, Song->SongLength);
        if (Problem.empty())
            Options.Channels.MutedIn(std::clamp(Song->NumChannels, 0, TQuavixModule::MaxChannels), Muted.back(),
                                     Problem);
        if (!Problem.empty()) {
            std::fprintf(stderr, "quavix: play: %s: %s\n", Printable(Path).c_str(), Problem.c_str());
            return ExitUsage;
        }
    }
    return ExitOk;
}

int RunPlay() {
    std::vector<std::vector<bool>> Muted;
    const int Checked = CheckSongs(Muted);
    if (Checked != ExitOk) return Checked;
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGHUP, OnStopSignal);
    // Restored by its destructor on every way out of here, exceptions too.
    TTerminal Terminal(Options.Pattern);
    TKeyDecoder Keys;
    TPlayVolume Volume;
    int Status = ExitOk;
    // n and p move through the files; a file that does not load is passed
    // over in the direction of travel.
    int Direction = 1;
    for (size_t i = 0; i < Options.Files.size();) {
        const std::string& Path = Options.Files[i];
        std::vector<uint8_t> Data;
        std::string Reason;
        // The window's settings: 44100 Hz, 4096-frame buffers, 16-bit stereo,
        // linear interpolation, clipping on, master volume 128 (changed by
        // the volume keys), stereo separation 100 % unless told otherwise.
        TQuavixSettings Settings;
        Settings.AmigaClock = Options.AmigaClock;
        Settings.StereoSeparation = Options.StereoSeparation;
        auto Player = std::make_unique<TQuavix>(Settings);
        if (Player->OutputDevice == TQuavixOutputDevice::None) {
            Terminal.Report("play", "no sound device could be opened (" + Player->OutputProblem +
                                        "); 'quavix render FILE' writes the song to a file instead");
            return ExitFailure;
        }
        std::vector<std::string> Warnings;
        if (!ReadModuleData(Path, Data, Reason) || !LoadModuleData(Data, *Player->Module, Reason, &Warnings)) {
            Terminal.Report(Path, Reason);
            Status = ExitFailure;
            if (Direction < 0 && i == 0) Direction = 1;
            i = Direction > 0 ? i + 1 : i - 1;
            continue;
        }
        // Not a failure: what the file lacks plays as silence.
        if (!Warnings.empty()) Terminal.Report(Path, WarningLine(Warnings));
        switch (PlayOne(*Player, Path, Data, Muted[i], Terminal, Keys, Volume)) {
            case TPlayOutcome::Quit: return StopRequest ? ExitInterrupted : Status;
            case TPlayOutcome::PreviousFile:
                // Before the first file, the first plays again.
                Direction = i > 0 ? -1 : 1;
                if (i > 0) --i;
                break;
            default:
                Direction = 1;
                ++i;
                break;
        }
    }
    return Status;
}

}  // namespace

TRunCommand AddPlay(CLI::App& App) {
    CLI::App* Play = App.add_subcommand("play", "play songs through the sound device");
    Play->footer(
        "Plays each song in turn as the window plays it, through SDL audio or else\n"
        "the OSS device, until it ends (the first time it comes back to a row it\n"
        "has played). On a terminal, channel meters show what each channel plays.\n"
        "\n"
        "Keys: space pause, f/right next order, b/left previous order, n/up next\n"
        "file, p/down previous file, 1-9 and 0 mute channels 1-10, ! unmute all,\n"
        "+/- volume, h/? the key list, q/Esc quit (as does Ctrl-C).\n"
        "\n"
        "Exit status: 0 when every song played, 1 when some file did not load or\n"
        "no sound device could be opened, 2 for a wrong command line, 130 when\n"
        "interrupted by a signal.");
    Play->add_option("FILE", Options.Files, "module files (.xm, .mod, .s3m)")->required();
    CLI::Option* Seconds = Play->add_option("--seconds", Options.Seconds, "play S seconds of each song")
                               ->type_name("S")
                               ->transform(NumberCheck(0.001, MaxSongSeconds, "seconds", false));
    Play->add_option("--repeat", Options.Repeat, "play each song N more times after its end")
        ->type_name("N")
        ->transform(NumberCheck(0, 1000, "repeats", true))
        ->excludes(Seconds);
    AddSongChoice(*Play, Options.Channels, Options.Start);
    Play->add_flag("--pattern", Options.Pattern, "show the pattern as it plays, tracker style");
    Play->add_flag("--no-meters", Options.NoMeters, "no channel meters");
    AddAmigaClockOption(*Play, Options.AmigaClock);
    AddStereoSeparationOption(*Play, Options.StereoSeparation);
    return RunPlay;
}

}  // namespace quavix_cli
