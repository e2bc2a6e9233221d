// quavix render: songs to audio files, as the window would play them.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio_file.h"
#include "cli.h"
#include "player/quavix.h"
#include "player/song_end.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

struct TRenderOptions {
    std::vector<std::string> Files;
    std::string Output;
    double Seconds = 0;  // 0: until the song ends
    int32_t Repeat = 0;
    int32_t Rate = DefaultRate;
    int32_t Bits = 16;
    bool Mono = false;
    std::string Interpolation = "linear";
    TQuavixAmigaClock AmigaClock = TQuavixAmigaClock::Ntsc;
};
TRenderOptions Options;

volatile std::sig_atomic_t StopRequest = 0;
void OnStopSignal(int) { StopRequest = 1; }

// The output name for an input when -o is not given: the input's name in the
// current folder, its module extension replaced by ".wav". Names in the
// Amiga style ("mod.title") keep their whole name: "mod.title.wav".
std::string DefaultOutputName(const std::string& Input) {
    size_t Slash = Input.find_last_of('/');
    std::string Name = Slash == std::string::npos ? Input : Input.substr(Slash + 1);
    size_t Dot = Name.find_last_of('.');
    if (Dot != std::string::npos && Dot > 0) {
        std::string Extension = Name.substr(Dot + 1);
        for (char& c : Extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (Extension == "xm" || Extension == "mod") Name.erase(Dot);
    }
    return Name + ".wav";
}

// The progress bar on a terminal: song time rendered against the whole.
class TProgress {
public:
    TProgress(const std::string& AName, int64_t ATotal, int32_t ARate, bool AShown)
        : Name(Printable(AName)), Total(ATotal), Rate(ARate), Shown(AShown) {}

    void Update(int64_t Done) {
        if (!Shown) return;
        auto Now = std::chrono::steady_clock::now();
        if (Done < Total && Now - Last < std::chrono::milliseconds(100)) return;
        Last = Now;
        const int Width = 30;
        int Filled = Total > 0 ? static_cast<int>(std::min<int64_t>(Done, Total) * Width / Total) : Width;
        std::string Bar(static_cast<size_t>(Filled), '#');
        Bar.resize(Width, '-');
        std::fprintf(stderr, "\r\033[K%s [%s] %s / %s", Name.c_str(), Bar.c_str(), ClockTime(Done, Rate).c_str(),
                     ClockTime(Total, Rate).c_str());
        std::fflush(stderr);
    }

    // Clears the bar so that the next line starts clean.
    void Finish() {
        if (!Shown) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }

private:
    std::string Name;
    int64_t Total;
    int32_t Rate;
    bool Shown;
    std::chrono::steady_clock::time_point Last{};
};

// Renders one song into one file. True when the file is complete.
bool RenderOne(const std::string& Input, const std::string& Output) {
    std::vector<uint8_t> Data;
    std::string Reason;
    // The window's settings unless told otherwise: linear interpolation,
    // clipping on, master volume 128.
    std::unique_ptr<TQuavix> Player =
        TQuavix::CreateOffline(Options.Rate, RenderBufferFrames, !Options.Mono, Options.Bits);
    Player->Interpolation = Options.Interpolation == "none" ? 0 : 1;
    Player->AmigaClock = Options.AmigaClock;
    Player->Clipping = 1;
    Player->Module->MasterVolume = 128;
    if (!ReadModuleData(Input, Data, Reason) || !LoadModuleData(Data, *Player->Module, Reason)) {
        ReportError(Input, Reason);
        return false;
    }

    TAudioFileWriter Writer;
    const std::string Shown = Output == "-" ? "standard output" : Output;
    if (!Writer.Open(Output, Player->SampleRate, Player->OutputChannels, Player->OutputBits, Reason)) {
        ReportError(Shown, Reason);
        return false;
    }

    // How many frames: exactly the seconds asked for, or up to where the
    // pass asked for ends, as the render finds it; at most the longest time
    // a song plays.
    const bool UntilEnd = Options.Seconds <= 0;
    int64_t Frames = UntilEnd ? static_cast<int64_t>(MaxSongSeconds) * Player->SampleRate
                              : std::llround(Options.Seconds * Player->SampleRate);
    TQuavixSongEnd Watch;
    if (UntilEnd) {
        Watch.Start(Options.Repeat + 1);
        Player->SongEnd = &Watch;
    }
    // The bar needs the whole length at the start: on a terminal the song is
    // measured first, by playing through its rows without mixing.
    int64_t Total = Frames;
    const bool Terminal = isatty(STDERR_FILENO) == 1;
    if (UntilEnd && Terminal) {
        std::vector<int64_t> Ends = MeasureSong(Data, Player->SampleRate, Options.Repeat + 1);
        if (static_cast<int32_t>(Ends.size()) == Options.Repeat + 1) Total = Ends.back();
    }

    std::vector<uint8_t> Rendered(Player->OutputBits == 8 ? static_cast<size_t>(Player->OutputBufferBytes) : 0);
    std::vector<int16_t> Samples(static_cast<size_t>(RenderBufferFrames) * Player->OutputChannels);
    TProgress Progress(Input, Total, Player->SampleRate, Terminal);
    Player->Play();
    int64_t Done = 0;
    while (Done < Frames) {
        if (StopRequest) {
            Progress.Finish();
            Writer.Abandon();
            ReportError(Shown, "interrupted; nothing written");
            return false;
        }
        // 16-bit output goes straight into the samples libsndfile takes.
        Player->Render(Player->OutputBits == 16 ? static_cast<void*>(Samples.data()) : Rendered.data());
        // The song's end may fall inside this buffer: the file stops there.
        if (Watch.StopFrame >= 0) Frames = std::min(Frames, Watch.StopFrame);
        const int64_t Count = std::min<int64_t>(RenderBufferFrames, Frames - Done);
        const size_t Values = static_cast<size_t>(Count) * Player->OutputChannels;
        if (Player->OutputBits == 8) {
            // libsndfile takes 16-bit samples and keeps their high byte.
            for (size_t i = 0; i < Values; ++i) Samples[i] = static_cast<int16_t>((Rendered[i] - 128) * 256);
        }
        if (!Writer.Write(Samples.data(), Count, Reason)) {
            Progress.Finish();
            Writer.Abandon();
            ReportError(Shown, Reason);
            return false;
        }
        Done += Count;
        Progress.Update(Done);
    }
    Player->Stop();
    Player->SongEnd = nullptr;
    Progress.Finish();
    if (!Writer.Commit(Reason)) {
        ReportError(Shown, Reason);
        return false;
    }
    if (UntilEnd && Watch.StopFrame < 0) {
        // Not a failure: the file holds the song's first 30 minutes.
        std::fflush(stdout);
        std::fprintf(stderr, "quavix: %s: the song does not end within %d minutes; stopped there\n",
                     Printable(Input).c_str(), MaxSongSeconds / 60);
    }
    return true;
}

int RunRender() {
    if (!Options.Output.empty() && Options.Files.size() > 1) {
        std::fprintf(stderr, "quavix: render: -o names one output file; give one FILE with it\n");
        return ExitUsage;
    }
    if (Options.Output == "-" && isatty(STDOUT_FILENO) == 1) {
        std::fprintf(stderr, "quavix: render: standard output is a terminal; send it to a file or a pipe\n");
        return ExitUsage;
    }
    std::vector<std::string> Outputs;
    std::map<std::string, std::string> Taken;
    for (const std::string& Input : Options.Files) {
        std::string Output = Options.Output.empty() ? DefaultOutputName(Input) : Options.Output;
        int Format;
        std::string Reason;
        if (!AudioFormatFor(Output, Options.Bits, Format, Reason)) {
            std::fprintf(stderr, "quavix: render: %s: %s\n", Printable(Output).c_str(), Reason.c_str());
            return ExitUsage;
        }
        auto Found = Taken.find(Output);
        if (Found != Taken.end()) {
            std::fprintf(stderr, "quavix: render: %s and %s would both be written to %s\n",
                         Printable(Found->second).c_str(), Printable(Input).c_str(), Printable(Output).c_str());
            return ExitUsage;
        }
        Taken[Output] = Input;
        Outputs.push_back(Output);
    }

    // Interrupts end the render cleanly, without a partial file; a reader
    // that goes away, or a file-size limit, becomes a write error.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    int Status = ExitOk;
    for (size_t i = 0; i < Options.Files.size() && !StopRequest; ++i)
        if (!RenderOne(Options.Files[i], Outputs[i])) Status = ExitFailure;
    return StopRequest ? ExitInterrupted : Status;
}

}  // namespace

TRunCommand AddRender(CLI::App& App) {
    CLI::App* Render = App.add_subcommand("render", "render songs to audio files (WAV or FLAC)");
    Render->footer(
        "Renders each song as the window plays it (44100 Hz, 16-bit stereo, linear\n"
        "interpolation, clipping on, master volume 128) until it ends: the first\n"
        "time it comes back to a row it has played. Without -o, FILE.xm becomes\n"
        "FILE.wav in the current folder. A song that never ends stops after 30\n"
        "minutes.\n"
        "\n"
        "Exit status: 0 when every file was written, 1 when some was not (each gets\n"
        "a line on standard error), 2 for a wrong command line, 130 when\n"
        "interrupted. A file that could not be completed is not left behind.");
    Render->add_option("FILE", Options.Files, "module files (.xm, .mod)")->required();
    Render->add_option("-o,--output", Options.Output,
                       "output file: .wav or .flac by its extension, '-' for WAV on standard output")
        ->type_name("OUT");
    CLI::Option* Seconds =
        Render->add_option("--seconds", Options.Seconds, "render exactly S seconds, whatever the song does")
            ->type_name("S")
            ->check(CLI::Range(0.001, static_cast<double>(MaxSongSeconds)));
    Render->add_option("--repeat", Options.Repeat, "play the song N more times after its end")
        ->type_name("N")
        ->check(CLI::Range(0, 1000))
        ->excludes(Seconds);
    Render->add_option("--rate", Options.Rate, "output rate in Hz (default 44100)")
        ->type_name("HZ")
        ->check(CLI::Range(8000, 192000));
    Render->add_option("--bits", Options.Bits, "bits per sample: 8 or 16 (default 16)")
        ->type_name("8|16")
        ->check(CLI::IsMember({8, 16}));
    Render->add_flag("--mono", Options.Mono, "one channel instead of stereo");
    Render->add_option("--interpolation", Options.Interpolation, "none or linear (default linear)")
        ->type_name("none|linear")
        ->check(CLI::IsMember({"none", "linear"}));
    AddAmigaClockOption(*Render, Options.AmigaClock);
    return RunRender;
}

}  // namespace quavix_cli
