// quavix render: songs to audio files, as the window would play them; whole
// songs or one file per channel (stems), several at a time.
#include <CLI/CLI.hpp>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio_file.h"
#include "cli.h"
#include "player/quavix.h"
#include "player/song_end.h"
#include "render_progress.h"
#include "song/module.h"
#include "song/song_text.h"

namespace quavix_cli {

namespace {

struct TRenderOptions {
    std::vector<std::string> Files;
    std::string Output;
    double Seconds = 0;  // 0: until the song ends
    int32_t Repeat = 0;
    int32_t Rate = DefaultRate;
    bool RateGiven = false;
    int32_t Bits = 16;
    bool Mono = false;
    int32_t StereoSeparation = 100;  // percent
    TQuavixInterpolation Interpolation = TQuavixInterpolation::Linear;
    std::string Format;  // empty: by the output's extension
    int32_t Quality = -1;
    bool Stems = false;
    int32_t Jobs = 0;  // 0: one per processor
    int32_t Start = 0;
    TSubsongChoice Subsong;
    TChannelChoice Channels;
    TQuavixAmigaClock AmigaClock = TQuavixAmigaClock::Ntsc;
};
TRenderOptions Options;

std::atomic<bool> StopRequest{false};
void OnStopSignal(int) { StopRequest = true; }

// One file to write: a whole song, or the stem of one channel.
struct TRenderJob {
    std::string Input;
    std::string Output;
    TAudioFormat Format;
    int32_t Rate = DefaultRate;
    // The order position the song starts at: --start's, or the subsong's.
    int32_t StartOrder = 0;
    // Channels muted (from 0); empty: none.
    std::vector<bool> Muted;
    // What the progress line calls the job.
    std::string Shown;
    // Says what the song lacks, if anything: one job (the first stem) per file.
    bool Warn = true;
    // The output's folders are made as needed (for -o DIR/ and the folders
    // of songs found in a folder).
    bool MakeFolders = false;
    // Not a song: a folder without songs or a play list that cannot be read.
    std::string Problem;
};

// The processors this program may run on.
int32_t ProcessorCount() {
    cpu_set_t Set;
    if (sched_getaffinity(0, sizeof(Set), &Set) == 0) return std::max(CPU_COUNT(&Set), 1);
    return static_cast<int32_t>(std::max(std::thread::hardware_concurrency(), 1u));
}

// The output name for an input when -o is not given: the input's name in the
// current folder, its module extension replaced by the format's. Names in the
// Amiga style ("mod.title") keep their whole name: "mod.title.wav".
std::string DefaultOutputName(const std::string& Input, const std::string& Extension) {
    std::string Name = std::filesystem::path(Input).filename().string();
    const std::string Own = FileExtension(Name);
    if (Own == ".xm" || Own == ".mod" || Own == ".s3m" || Own == ".it") Name.erase(Name.size() - Own.size());
    return Name + "." + Extension;
}

// The stem of channel Channel (from 0) of a song with Count channels:
// NAME.01.wav for the output NAME.wav, the number as wide as the largest.
std::string StemName(const std::string& Output, int32_t Channel, int32_t Count) {
    const std::string Extension = FileExtension(Output);
    TAudioFormat Format;
    const bool Audio = !Extension.empty() && FindAudioFormat(Extension.substr(1), Format);
    const std::string Base = Audio ? Output.substr(0, Output.size() - Extension.size()) : Output;
    const int Width = std::max(2, static_cast<int>(std::to_string(Count).size()));
    return Base + "." + ZeroPadded(Channel + 1, Width) + (Audio ? Extension : "");
}

// The tags of a song's file: the song's title (its file's name when it has
// none), its message as the comment, and the program that wrote it. Texts
// are UTF-8 with control characters shown as '?', the message's lines
// joined by line feeds.
TAudioTags SongTags(const TQuavixModule& Module, const std::string& Input) {
    TAudioTags Tags;
    Tags.Title = SongTextToUtf8(QuavixTrimBlanks(Module.Name), true);
    if (Tags.Title.empty()) Tags.Title = SongTextToUtf8(std::filesystem::path(Input).filename().string(), true);
    const std::vector<std::string> Lines = MessageLines(Module.Comment);
    for (size_t i = 0; i < Lines.size(); ++i) Tags.Comment += (i == 0 ? "" : "\n") + SongTextToUtf8(Lines[i], true);
    Tags.Software = std::string("Quavix Player ") + Version;
    return Tags;
}

// The file of subsong Number (from 1) of a song with Count: NAME-2.wav for
// the output NAME.wav, the number as wide as the largest.
std::string SubsongName(const std::string& Output, int32_t Number, int32_t Count) {
    const std::string Extension = FileExtension(Output);
    TAudioFormat Format;
    const bool Audio = !Extension.empty() && FindAudioFormat(Extension.substr(1), Format);
    const std::string Base = Audio ? Output.substr(0, Output.size() - Extension.size()) : Output;
    const int Width = static_cast<int>(std::to_string(Count).size());
    return Base + "-" + ZeroPadded(Number, Width) + (Audio ? Extension : "");
}

// Renders one job into its file. True when the file is complete.
bool RenderJob(const TRenderJob& Job, TRenderProgress& Progress) {
    std::vector<uint8_t> Data;
    std::string Reason;
    // The window's settings unless told otherwise: linear interpolation,
    // clipping on, master volume 128, stereo separation 100 %.
    TQuavixSettings Settings = TQuavixSettings::Offline(Job.Rate, RenderBufferFrames, !Options.Mono, Options.Bits);
    Settings.Interpolation = Options.Interpolation;
    Settings.AmigaClock = Options.AmigaClock;
    Settings.StereoSeparation = Options.StereoSeparation;
    auto Player = std::make_unique<TQuavix>(Settings);
    std::vector<std::string> Warnings;
    if (!Job.Problem.empty()) {
        Progress.Report(Job.Input, Job.Problem);
        Progress.End(-1);
        return false;
    }
    if (!ReadModuleData(Job.Input, Data, Reason) || !LoadModuleData(Data, *Player->Module, Reason, &Warnings)) {
        Progress.Report(Job.Input, Reason);
        Progress.End(-1);
        return false;
    }
    // Not a failure: what the file lacks plays as silence.
    if (Job.Warn && !Warnings.empty()) Progress.Report(Job.Input, WarningLine(Warnings));
    ApplyMutes(*Player, Job.Muted);

    TAudioFileWriter Writer;
    const std::string Shown = Job.Output == "-" ? "standard output" : Job.Output;
    if (Job.MakeFolders) {
        // A folder that cannot be made shows as the file that cannot be written.
        std::error_code Error;
        const std::filesystem::path Folder = std::filesystem::path(Job.Output).parent_path();
        if (!Folder.empty()) std::filesystem::create_directories(Folder, Error);
    }
    if (!Writer.Open(Job.Output, Job.Format, Player->SampleRate(), Player->OutputChannels(), Player->OutputBits,
                     Options.Quality, Reason)) {
        Progress.Report(Shown, Reason);
        Progress.End(-1);
        return false;
    }
    Writer.Tag(SongTags(*Player->Module, Job.Input));

    // How many frames: exactly the seconds asked for, or up to where the
    // pass asked for ends, as the render finds it; at most the longest time
    // a song plays.
    const bool UntilEnd = Options.Seconds <= 0;
    int64_t Frames = UntilEnd ? static_cast<int64_t>(MaxSongSeconds) * Player->SampleRate()
                              : std::llround(Options.Seconds * Player->SampleRate());
    TQuavixSongEnd Watch;
    if (UntilEnd) {
        Watch.Start(Options.Repeat + 1);
        Player->SetSongEnd(&Watch);
    }
    // The bar needs the whole length at the start: on a terminal the song is
    // measured first, by playing through its rows without mixing.
    int64_t Total = Frames;
    if (UntilEnd && isatty(STDERR_FILENO) == 1) {
        std::vector<int64_t> Ends = MeasureSong(Data, Player->SampleRate(), Options.Repeat + 1, Job.StartOrder);
        if (static_cast<int32_t>(Ends.size()) == Options.Repeat + 1) Total = Ends.back();
    }
    // The song holds all it plays: the file's bytes are not needed again.
    std::vector<uint8_t>().swap(Data);

    std::vector<uint8_t> Rendered(Player->OutputBits == 8 ? static_cast<size_t>(Player->OutputBufferBytes) : 0);
    // Several buffers are written at once: one large write costs the system
    // less than many small ones. Four (64 KiB of 16-bit stereo) are enough
    // for that; more only make the program touch more memory, which costs a
    // short song more than the writes save.
    constexpr int32_t BuffersPerWrite = 4;
    const size_t BufferValues = static_cast<size_t>(RenderBufferFrames) * Player->OutputChannels();
    std::vector<int16_t> Samples(BufferValues * BuffersPerWrite);
    int64_t Pending = 0;  // frames rendered into Samples, not yet written
    const int Line = Progress.Begin(Job.Shown, Total, Player->SampleRate());
    // The song starts at the order asked for, from the first frame on.
    if (Job.StartOrder > 0) Player->RequestSeek(Job.StartOrder, 0);
    Player->Play();
    int64_t Done = 0;
    bool Ok = true;
    while (Ok && Done < Frames) {
        if (StopRequest) {
            Reason = "interrupted; nothing written";
            Ok = false;
            break;
        }
        // 16-bit output goes straight into the samples the writer takes.
        int16_t* Into = Samples.data() + static_cast<size_t>(Pending) * Player->OutputChannels();
        Player->Render(Player->OutputBits == 16 ? static_cast<void*>(Into) : Rendered.data());
        // The song's end may fall inside this buffer: the file stops there.
        if (Watch.StopFrame >= 0) Frames = std::min(Frames, Watch.StopFrame.load());
        const int64_t Count = std::min<int64_t>(RenderBufferFrames, Frames - Done);
        const size_t Values = static_cast<size_t>(Count) * Player->OutputChannels();
        if (Player->OutputBits == 8) {
            // The writer takes 16-bit samples and keeps their high byte.
            for (size_t i = 0; i < Values; ++i) Into[i] = static_cast<int16_t>((Rendered[i] - 128) * 256);
        }
        Pending += Count;
        Done += Count;
        if (Pending * Player->OutputChannels() + static_cast<int64_t>(BufferValues) > static_cast<int64_t>(Samples.size()) ||
            Done >= Frames) {
            Ok = Writer.Write(Samples.data(), Pending, Reason);
            Pending = 0;
        }
        Progress.Update(Line, Done);
    }
    Player->Stop();
    Player->SetSongEnd(nullptr);
    Progress.End(Line);
    if (!Ok) {
        Writer.Abandon();
        Progress.Report(Shown, Reason);
        return false;
    }
    if (!Writer.Commit(Reason)) {
        Progress.Report(Shown, Reason);
        return false;
    }
    if (UntilEnd && Watch.StopFrame < 0) {
        // Not a failure: the file holds the song's first 30 minutes.
        Progress.Report(Job.Input, "the song does not end within " + std::to_string(MaxSongSeconds / 60) +
                                       " minutes; stopped there");
    }
    return true;
}

// A wrong command line: one line, exit status 2.
int UsageError(const std::string& Message) {
    std::fflush(stdout);
    std::fprintf(stderr, "quavix: render: %s\n", Message.c_str());
    return ExitUsage;
}

// The jobs the command line asks for, or a usage error. Songs are loaded
// here only when the channels or the start must be checked against them or
// stems need their channel count; a file that does not load is reported when
// its turn comes.
int PlanJobs(std::vector<TRenderJob>& Jobs) {
    // -o DIR/ names a folder: the files go there, those found in a folder
    // keeping their place under it.
    const bool IntoFolder = !Options.Output.empty() && Options.Output.back() == '/';
    const std::vector<TListedFile> Listed = ListSongFiles(Options.Files);
    if (!Options.Output.empty() && !IntoFolder && Listed.size() > 1)
        return UsageError("-o names one output file; give one song with it, or a folder ending in /: -o DIR/");
    if (Options.Output == "-" && isatty(STDOUT_FILENO) == 1)
        return UsageError("standard output is a terminal; send it to a file or a pipe");
    if (Options.Stems && Options.Output == "-")
        return UsageError("--stems writes one file per channel, which standard output cannot take; name a file with -o");
    if (Options.Subsong.All() && Options.Output == "-")
        return UsageError("--subsong all writes one file per subsong, which standard output cannot take; name a file "
                          "with -o");
    const bool NeedSong = Options.Stems || !Options.Channels.Empty() || Options.Start > 0 || Options.Subsong.Given();
    std::map<std::string, std::string> Taken;
    for (const TListedFile& File : Listed) {
        const std::string& Input = File.Path;
        TRenderJob Whole;
        Whole.Input = Input;
        if (!File.Problem.empty()) {
            // Reported when its turn comes, as a file that does not load is.
            Whole.Problem = File.Problem;
            Jobs.push_back(Whole);
            continue;
        }
        std::string Reason;
        // Without -o, the format chosen (WAV by default) names the file, in
        // the current folder or the one -o names, at the place the file has
        // under the folder it was found in.
        if (Options.Output.empty() || IntoFolder) {
            const std::filesystem::path Place = std::filesystem::path(File.Relative).parent_path();
            Whole.Output = (std::filesystem::path(IntoFolder ? Options.Output : "") / Place /
                            DefaultOutputName(Input, Options.Format.empty() ? "wav" : Options.Format))
                               .string();
            Whole.MakeFolders = IntoFolder || !Place.empty();
        } else {
            Whole.Output = Options.Output;
        }
        if (!AudioFormatFor(Whole.Output, Options.Format, Whole.Format, Reason))
            return UsageError(Printable(Whole.Output) + ": " + Reason);
        if (Options.Quality >= 0 && !Whole.Format.Lossy)
            return UsageError("--quality is for the lossy formats (ogg, opus, mp3); " + Whole.Format.Name +
                              " keeps every sample as it is");
        // A format that cannot take 44100 Hz (Opus) gets its highest rate,
        // unless another rate it takes is asked for.
        const std::vector<int32_t>& Rates = Whole.Format.Rates;
        auto Takes = [&Rates](int32_t Rate) { return Rates.empty() || std::find(Rates.begin(), Rates.end(), Rate) != Rates.end(); };
        Whole.Rate = Options.RateGiven || Takes(Options.Rate) ? Options.Rate : Rates.back();
        if (!Takes(Whole.Rate)) {
            std::string List;
            for (size_t i = 0; i < Rates.size(); ++i)
                List += (i == 0 ? "" : i + 1 == Rates.size() ? " or " : ", ") + std::to_string(Rates[i]);
            return UsageError("--rate " + std::to_string(Whole.Rate) + ": " + Whole.Format.Name + " takes " + List +
                              " Hz");
        }
        Whole.Shown = Input;

        std::vector<TRenderJob> ForInput;
        std::vector<uint8_t> Data;
        // The song is read here only where the options need to know it: a
        // module is costly to build for a render that lasts a moment.
        std::unique_ptr<TQuavixModule> Song(NeedSong ? new TQuavixModule() : nullptr);
        if (!NeedSong || !ReadModuleData(Input, Data, Reason) || !LoadModuleData(Data, *Song, Reason)) {
            // Not checked here: rendered whole, or reported when its turn comes.
            ForInput.push_back(Whole);
        } else {
            const int32_t Count = std::clamp(Song->NumChannels, 0, TQuavixModule::MaxChannels);
            if (!Options.Channels.MutedIn(Count, Whole.Muted, Reason))
                return UsageError(Printable(Input) + ": " + Reason);
            const std::string Start = StartProblem(Options.Start, Song->SongLength);
            if (!Start.empty()) return UsageError(Printable(Input) + ": " + Start);
            Whole.StartOrder = Options.Start;
            // Each subsong asked for is a song of its own; a song that holds
            // several gets the subsong's number in its file's name.
            std::vector<TRenderJob> Songs;
            if (!Options.Subsong.Given()) {
                Songs.push_back(Whole);
            } else {
                const std::vector<TSubsong> Found = FindSubsongs(Data, DefaultRate);
                std::vector<size_t> Picked;
                if (!Options.Subsong.Pick(Found, Picked, Reason)) return UsageError(Printable(Input) + ": " + Reason);
                const int32_t Total = static_cast<int32_t>(Found.size());
                for (size_t Index : Picked) {
                    TRenderJob Subsong = Whole;
                    const int32_t Number = static_cast<int32_t>(Index) + 1;
                    Subsong.StartOrder = Found[Index].FirstOrder;
                    if (Total > 1) {
                        if (Options.Output.empty() || IntoFolder || Options.Subsong.All())
                            Subsong.Output = SubsongName(Whole.Output, Number, Total);
                        Subsong.Shown = Input + " subsong " + std::to_string(Number);
                    }
                    Subsong.Warn = Songs.empty();
                    Songs.push_back(Subsong);
                }
            }
            for (const TRenderJob& Song : Songs) {
                if (!Options.Stems) {
                    ForInput.push_back(Song);
                    continue;
                }
                // One stem per channel heard, each on its own player with
                // every other channel muted.
                for (int32_t Channel = 0; Channel < Count; ++Channel) {
                    if (Song.Muted[static_cast<size_t>(Channel)]) continue;
                    TRenderJob Stem = Song;
                    Stem.Output = StemName(Song.Output, Channel, Count);
                    Stem.Muted.assign(static_cast<size_t>(Count), true);
                    Stem.Muted[static_cast<size_t>(Channel)] = false;
                    Stem.Shown = Song.Shown + " channel " + std::to_string(Channel + 1);
                    Stem.Warn = ForInput.empty();
                    ForInput.push_back(Stem);
                }
            }
        }
        for (TRenderJob& Job : ForInput) {
            auto Found = Taken.find(Job.Output);
            if (Found != Taken.end() && Job.Output != "-")
                return UsageError(Printable(Found->second) + " and " + Printable(Input) + " would both be written to " +
                                  Printable(Job.Output));
            Taken[Job.Output] = Input;
            Jobs.push_back(std::move(Job));
        }
    }
    return ExitOk;
}

int RunRender() {
    std::vector<TRenderJob> Jobs;
    const int Planned = PlanJobs(Jobs);
    if (Planned != ExitOk) return Planned;

    // Interrupts end the render cleanly, without partial files; a reader
    // that goes away, or a file-size limit, becomes a write error.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    // Each job renders on a player of its own; the players share nothing,
    // so a file's bytes do not depend on what renders beside it.
    TRenderProgress Progress(isatty(STDERR_FILENO) == 1, Jobs.size());
    std::atomic<size_t> Next{0};
    std::atomic<bool> Failed{false};
    auto Work = [&] {
        for (size_t i = Next++; i < Jobs.size() && !StopRequest; i = Next++)
            if (!RenderJob(Jobs[i], Progress)) Failed = true;
    };
    const size_t Threads = std::min<size_t>(static_cast<size_t>(Options.Jobs > 0 ? Options.Jobs : ProcessorCount()),
                                            Jobs.size());
    std::vector<std::thread> Workers;
    for (size_t i = 1; i < Threads; ++i) Workers.emplace_back(Work);
    Work();
    for (std::thread& Worker : Workers) Worker.join();
    Progress.Finish();
    return StopRequest ? ExitInterrupted : Failed ? ExitFailure : ExitOk;
}

}  // namespace

TRunCommand AddRender(CLI::App& App) {
    CLI::App* Render = App.add_subcommand("render", "render songs to audio files (WAV, FLAC, Ogg, Opus, MP3)");
    Render->footer(
        "Renders each song as the window plays it (44100 Hz, 16-bit stereo, linear\n"
        "interpolation, clipping on, master volume 128) until it ends: the first\n"
        "time it comes back to a row it has played. Without -o, FILE.xm becomes\n"
        "FILE.wav in the current folder (or the --format's extension). A song that\n"
        "never ends stops after 30 minutes. Opus files are rendered at 48000 Hz\n"
        "unless --rate names another rate Opus takes. Files are tagged with the\n"
        "song's title (else the file's name), its message and the program's name.\n"
        "\n"
        "--stems writes one file per channel heard, NAME.01.wav, NAME.02.wav ...,\n"
        "each rendered with only that channel: together they add up to the song.\n"
        "\n"
        "--subsong N renders subsong N of a song that holds several (game songs\n"
        "often do; 'quavix info' lists them), --subsong all each of them: the\n"
        "files are named NAME-1.wav, NAME-2.wav ... A folder stands for the songs\n"
        "in it and its folders, in name order, recognised by what they hold; a play\n"
        "list (.m3u) for the files it names. -o DIR/ (ending in /) writes into\n"
        "that folder, a folder's songs keeping their places under it (as they do\n"
        "under the current folder without -o).\n"
        "\n"
        "Exit status: 0 when every file was written, 1 when some was not (each gets\n"
        "a line on standard error), 2 for a wrong command line, 130 when\n"
        "interrupted. A file that could not be completed is not left behind.");
    Render->add_option("FILE", Options.Files, "module files (.xm, .mod, .s3m, .it), folders of them, .m3u play lists")
        ->required();
    Render->add_option("-o,--output", Options.Output,
                       "output file, its format by its extension (.wav .flac .ogg .opus .mp3); '-' for standard "
                       "output; DIR/ (ending in /) for a folder")
        ->type_name("OUT");
    Render->add_option("--format", Options.Format, "the output format where the name has no extension")
        ->type_name("wav|flac|ogg|opus|mp3")
        ->check(CLI::IsMember({"wav", "flac", "ogg", "opus", "mp3"}).description(""));
    Render->add_option("--quality", Options.Quality, "quality of ogg, opus and mp3: 0 (smallest) to 10 (best)")
        ->type_name("0..10")
        ->transform(NumberCheck(0, 10, "", true));
    CLI::Option* Seconds =
        Render->add_option("--seconds", Options.Seconds, "render exactly S seconds, whatever the song does")
            ->type_name("S")
            ->transform(NumberCheck(0.001, MaxSongSeconds, "seconds", false));
    Render->add_option("--repeat", Options.Repeat, "play the song N more times after its end")
        ->type_name("N")
        ->transform(NumberCheck(0, 1000, "repeats", true))
        ->excludes(Seconds);
    AddSongChoice(*Render, Options.Channels, Options.Start, Options.Subsong);
    Render->add_flag("--stems", Options.Stems, "one file per channel: NAME.01.wav, NAME.02.wav ...");
    Render->add_option("-j,--jobs", Options.Jobs, "render N files at a time (default: one per processor)")
        ->type_name("N")
        ->transform(CLI::Validator(
            [Number = NumberCheck(1, 1024, "files at a time", true)](std::string& Text) {
                return Text == "0" ? std::string("-j 0 renders nothing: give 1 or more") : Number(Text);
            },
            ""));
    Render->add_option("--rate", Options.Rate, "output rate in Hz (default 44100)")
        ->type_name("HZ")
        ->transform(NumberCheck(8000, 192000, "Hz", true))
        ->each([](const std::string&) { Options.RateGiven = true; });
    Render->add_option("--bits", Options.Bits, "bits per sample: 8 or 16 (default 16)")
        ->type_name("8|16")
        ->check(CLI::Validator(
            [](std::string& Text) { return Text == "8" || Text == "16" ? std::string() : Text + " is not 8 or 16"; },
            ""));
    CLI::Option* Mono = Render->add_flag("--mono", Options.Mono, "one channel instead of stereo");
    AddStereoSeparationOption(*Render, Options.StereoSeparation)->excludes(Mono);
    AddInterpolationOption(*Render, Options.Interpolation);
    AddAmigaClockOption(*Render, Options.AmigaClock);
    return RunRender;
}

}  // namespace quavix_cli
