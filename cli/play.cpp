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
#include <random>
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
    TSubsongChoice Subsong;
    TChannelChoice Channels;
    bool Shuffle = false;
    bool Loop = false;
    bool Pattern = false;
    bool NoMeters = false;
    TQuavixAmigaClock AmigaClock = TQuavixAmigaClock::Ntsc;
    TQuavixInterpolation Interpolation = TQuavixInterpolation::Linear;
    int32_t StereoSeparation = 100;  // percent
};
TPlayOptions Options;

// One song of the play list: a file, or one subsong of it.
struct TPlayEntry {
    std::string Path;
    // A folder without songs or a play list that cannot be read: why.
    std::string Problem;
    // The channels muted at the start (--mute, --solo).
    std::vector<bool> Muted;
    // Where it starts: --start's order position, or its subsong's.
    int32_t StartOrder = 0;
    // For one of several subsongs: its number (from 1) and how many there are.
    int32_t Subsong = 0;
    int32_t Subsongs = 0;
    // Which subsongs --subsong asks for is settled when the file's turn
    // comes: finding them plays the song through.
    bool Settled = false;
};

std::atomic<bool> StopRequest{false};
void OnStopSignal(int) { StopRequest = true; }

// How often the screen is drawn and the keys are read.
constexpr int FrameMs = 50;

// The title as shown: the song's name, and the subsong of a song that holds several.
std::string TitleLine(const TQuavixModule& Module, const TPlayEntry& Entry) {
    const std::string Title = Printable(Module.Name);
    std::string Line = Title.find_first_not_of(' ') == std::string::npos ? "(no title)" : Title;
    if (Entry.Subsongs > 1)
        Line += "  (subsong " + std::to_string(Entry.Subsong) + " of " + std::to_string(Entry.Subsongs) + ")";
    return Line;
}

// The lines of one frame of the display.
std::vector<TScreenLine> Frame(const TTerminal& Terminal, const TPlayControl& Control, const TQuavix& Player,
                               const TChannelMeters* Meters, const TPlayEntry& Entry, int Width, int Height) {
    const std::string& Path = Entry.Path;
    const TQuavixModule& Module = *Player.Module;
    std::vector<TScreenLine> Lines;
    if (Options.Pattern) {
        // The pattern view has the screen to itself: the song's name heads it.
        Lines.push_back({Printable(Path)});
        Lines.push_back({"  " + TitleLine(Module, Entry)});
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
TPlayOutcome PlayOne(TQuavix& Player, const TPlayEntry& Entry, std::vector<uint8_t>& Data, TTerminal& Terminal,
                     TKeyDecoder& Keys, TPlayVolume& Volume) {
    // A subsong's time runs from its own start; --start keeps the song's.
    const TSongTimes Times =
        MeasureSongTimes(Data, Player.SampleRate(), Options.Repeat + 1, Entry.Subsong > 0 ? Entry.StartOrder : 0);
    // The song holds all it plays: the file's bytes are not needed again.
    std::vector<uint8_t>().swap(Data);
    if (!Terminal.ScreenOn() || Terminal.InlineBlock()) {
        std::printf("%s\n", Printable(Entry.Path).c_str());
        std::printf("  %s\n", TitleLine(*Player.Module, Entry).c_str());
        std::fflush(stdout);
    }
    TPlayControl Control(Player, Times, Options.Repeat + 1, Options.Seconds, Entry.Muted, Entry.StartOrder, Volume);
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
        Terminal.Show(Frame(Terminal, Control, Player, Metering ? &Meters : nullptr, Entry, Width, Height), Width,
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
        std::vector<TScreenLine> Last = Frame(Terminal, Control, Player, nullptr, Entry, Width, Height);
        Last.resize(1);
        Terminal.Show(Last, Width, Height);
        Terminal.EndBlock();
    }
    return Outcome;
}

// The play list, each song with the mutes it starts with, checked before
// anything plays: a channel, a start or a subsong beyond a song is a wrong
// command line. Files that do not load are reported when their turn comes.
int PlanSongs(std::vector<TPlayEntry>& Entries) {
    for (const TListedFile& File : ListSongFiles(Options.Files)) {
        TPlayEntry Entry;
        Entry.Path = File.Path;
        Entry.Problem = File.Problem;
        Entry.StartOrder = Options.Start;
        // "all" is settled when the file's turn comes.
        Entry.Settled = !Options.Subsong.All();
        const bool Check = !Options.Channels.Empty() || Options.Start > 0 ||
                           (Options.Subsong.Given() && !Options.Subsong.All());
        std::vector<uint8_t> Data;
        std::unique_ptr<TQuavixModule> Song(new TQuavixModule());
        std::string Reason;
        if (!Check || !Entry.Problem.empty() || !ReadModuleData(File.Path, Data, Reason) ||
            !LoadModuleData(Data, *Song, Reason)) {
            Entries.push_back(Entry);
            continue;
        }
        std::string Problem = StartProblem(Options.Start, Song->SongLength);
        if (Problem.empty())
            Options.Channels.MutedIn(std::clamp(Song->NumChannels, 0, TQuavixModule::MaxChannels), Entry.Muted,
                                     Problem);
        if (Problem.empty() && Options.Subsong.Given() && !Options.Subsong.All()) {
            const std::vector<TSubsong> Found = FindSubsongs(Data, DefaultRate);
            std::vector<size_t> Picked;
            if (Options.Subsong.Pick(Found, Picked, Problem)) {
                Entry.StartOrder = Found[Picked[0]].FirstOrder;
                Entry.Subsong = static_cast<int32_t>(Picked[0]) + 1;
                Entry.Subsongs = static_cast<int32_t>(Found.size());
            }
        }
        if (!Problem.empty()) {
            std::fprintf(stderr, "quavix: play: %s: %s\n", Printable(File.Path).c_str(), Problem.c_str());
            return ExitUsage;
        }
        Entries.push_back(Entry);
    }
    return ExitOk;
}

// --subsong all: the entry of a song that holds several becomes one entry
// per subsong, in their order.
void SettleSubsongs(std::vector<TPlayEntry>& Entries, size_t At, const std::vector<uint8_t>& Data) {
    TPlayEntry Entry = Entries[At];
    Entry.Settled = true;
    const std::vector<TSubsong> Found = FindSubsongs(Data, DefaultRate);
    std::vector<TPlayEntry> Subsongs;
    for (size_t i = 0; i < Found.size(); ++i) {
        TPlayEntry Subsong = Entry;
        Subsong.StartOrder = Found[i].FirstOrder;
        Subsong.Subsong = Found.size() > 1 ? static_cast<int32_t>(i) + 1 : 0;
        Subsong.Subsongs = static_cast<int32_t>(Found.size());
        Subsongs.push_back(Subsong);
    }
    Entries.erase(Entries.begin() + static_cast<std::ptrdiff_t>(At));
    Entries.insert(Entries.begin() + static_cast<std::ptrdiff_t>(At), Subsongs.begin(), Subsongs.end());
}

int RunPlay() {
    std::vector<TPlayEntry> Entries;
    const int Planned = PlanSongs(Entries);
    if (Planned != ExitOk) return Planned;
    std::mt19937 Random(std::random_device{}());
    if (Options.Shuffle) std::shuffle(Entries.begin(), Entries.end(), Random);
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGHUP, OnStopSignal);
    // Restored by its destructor on every way out of here, exceptions too.
    TTerminal Terminal(Options.Pattern);
    TKeyDecoder Keys;
    TPlayVolume Volume;
    int Status = ExitOk;
    // n and p move through the songs; a file that does not load is passed
    // over in the direction of travel.
    int Direction = 1;
    // With --loop, the list starts again after its last song, as long as
    // some song of it played (shuffled anew each time with --shuffle).
    bool AnyPlayed = false;
    for (size_t i = 0;;) {
        if (i >= Entries.size()) {
            if (!Options.Loop || !AnyPlayed || Entries.empty()) break;
            AnyPlayed = false;
            if (Options.Shuffle) std::shuffle(Entries.begin(), Entries.end(), Random);
            i = 0;
            Direction = 1;
        }
        const TPlayEntry& Entry = Entries[i];
        std::vector<uint8_t> Data;
        std::string Reason = Entry.Problem;
        // The window's settings: 44100 Hz, 4096-frame buffers, 16-bit stereo,
        // linear interpolation, clipping on, master volume 128 (changed by
        // the volume keys), stereo separation 100 % unless told otherwise.
        TQuavixSettings Settings;
        Settings.AmigaClock = Options.AmigaClock;
        Settings.Interpolation = Options.Interpolation;
        Settings.StereoSeparation = Options.StereoSeparation;
        auto Player = std::make_unique<TQuavix>(Settings);
        if (Player->OutputDevice == TQuavixOutputDevice::None) {
            Terminal.Report("play", "no sound device could be opened (" + Player->OutputProblem +
                                        "); 'quavix render FILE' writes the song to a file instead");
            return ExitFailure;
        }
        std::vector<std::string> Warnings;
        if (!Reason.empty() || !ReadModuleData(Entry.Path, Data, Reason) ||
            !LoadModuleData(Data, *Player->Module, Reason, &Warnings)) {
            Terminal.Report(Entry.Path, Reason);
            Status = ExitFailure;
            if (Direction < 0 && i == 0) Direction = 1;
            i = Direction > 0 ? i + 1 : i - 1;
            continue;
        }
        if (!Entry.Settled) {
            // Going back, the last subsong comes first.
            const size_t Before = Entries.size();
            SettleSubsongs(Entries, i, Data);
            if (Direction < 0) i += Entries.size() - Before;
            continue;
        }
        // Not a failure: what the file lacks plays as silence (said once
        // for a file of several subsongs).
        if (!Warnings.empty() && Entry.Subsong <= 1) Terminal.Report(Entry.Path, WarningLine(Warnings));
        AnyPlayed = true;
        switch (PlayOne(*Player, Entry, Data, Terminal, Keys, Volume)) {
            case TPlayOutcome::Quit: return StopRequest ? ExitInterrupted : Status;
            case TPlayOutcome::PreviousFile:
                // Before the first song, the first plays again.
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
        "A folder stands for the songs in it and its folders, in name order,\n"
        "recognised by what they hold; a play list (.m3u) for the files it names.\n"
        "--subsong N plays subsong N of a song that holds several (game songs often\n"
        "do; 'quavix info' lists them), --subsong all each of them in turn.\n"
        "\n"
        "Keys: space pause, f/right next order, b/left previous order, n/up next\n"
        "song, p/down previous song, 1-9 and 0 mute channels 1-10, ! unmute all,\n"
        "+/- volume, h/? the key list, q/Esc quit (as does Ctrl-C).\n"
        "\n"
        "Exit status: 0 when every song played, 1 when some file did not load or\n"
        "no sound device could be opened, 2 for a wrong command line, 130 when\n"
        "interrupted by a signal.");
    Play->add_option("FILE", Options.Files, "module files (.xm, .mod, .s3m, .it), folders of them, .m3u play lists")
        ->required();
    CLI::Option* Seconds = Play->add_option("--seconds", Options.Seconds, "play S seconds of each song")
                               ->type_name("S")
                               ->transform(NumberCheck(0.001, MaxSongSeconds, "seconds", false));
    Play->add_option("--repeat", Options.Repeat, "play each song N more times after its end")
        ->type_name("N")
        ->transform(NumberCheck(0, 1000, "repeats", true))
        ->excludes(Seconds);
    AddSongChoice(*Play, Options.Channels, Options.Start, Options.Subsong);
    Play->add_flag("--shuffle", Options.Shuffle, "play the songs in a random order");
    Play->add_flag("--loop", Options.Loop, "play the whole list again and again, until you quit");
    Play->add_flag("--pattern", Options.Pattern, "show the pattern as it plays, tracker style");
    Play->add_flag("--no-meters", Options.NoMeters, "no channel meters");
    AddAmigaClockOption(*Play, Options.AmigaClock);
    AddInterpolationOption(*Play, Options.Interpolation);
    AddStereoSeparationOption(*Play, Options.StereoSeparation);
    return RunPlay;
}

}  // namespace quavix_cli
