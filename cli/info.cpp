// quavix info: what module files hold.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

// One sample as --samples lists it.
struct TSampleInfo {
    int32_t Index = 0;  // within its instrument, from 0
    std::string Name;
    int32_t Length = 0;  // frames
    std::string Loop;    // "none", "forward" or "ping-pong"
    int32_t LoopStart = 0;
    int32_t LoopLength = 0;
    int32_t Bits = 8;
    bool Stereo = false;
    int32_t Volume = 0;
    int32_t FineTune = 0;
};

struct TInstrumentInfo {
    int32_t Number = 0;  // from 1
    std::string Name;
    std::string Kind;  // an instrument that does not play ("AdLib melody"); empty for sampled ones
    std::vector<TSampleInfo> Samples;
};

struct TSongInfo {
    std::string Format;   // "xm" or "mod"
    std::string Version;  // "1.04" for xm files
    std::string Tag;      // tag of mod files; empty for the 15-sample form
    std::string Title;
    int32_t Channels = 0;
    int32_t SongLength = 0;
    int32_t RestartPosition = 0;
    int32_t Patterns = 0;
    int32_t Instruments = 0;
    int32_t Samples = 0;  // samples that have data
    bool LinearSlides = true;
    std::string Tracker;  // the tracker the file names, if it does
    std::string Rules;    // whose rules the song plays by
    std::string Message;
    // Frames at 44100 Hz until the song ends; -1 when it does not end
    // within the longest time a song is played.
    int64_t DurationFrames = -1;
    // The songs that share the order list; the first is the one above.
    std::vector<TSubsong> Subsongs;
    // With --samples: the instruments that have a name or samples.
    std::vector<TInstrumentInfo> InstrumentList;
    // What the file announces but does not hold ("3 samples are cut short").
    std::vector<std::string> Warnings;
};

std::vector<TInstrumentInfo> ListInstruments(const TQuavixModule& Module) {
    std::vector<TInstrumentInfo> List;
    for (int32_t i = 1; i <= TQuavixModule::MaxInstruments; ++i) {
        const TQuavixInstrument* Instrument = Module.Instruments[i].get();
        if (!Instrument) continue;
        TInstrumentInfo Info;
        Info.Number = i;
        Info.Name = Instrument->Name;
        Info.Kind = Instrument->Kind;
        for (int32_t k = 0; k < TQuavixInstrument::MaxSamples; ++k) {
            const TQuavixSample* Sample = Instrument->Samples[k].get();
            if (!Sample) continue;
            TSampleInfo S;
            S.Index = k;
            S.Name = Sample->Name;
            S.Length = Sample->Data ? Sample->Length : 0;
            S.Loop = !Sample->Loop || Sample->LoopLength <= 0 ? "none" : Sample->PingPong ? "ping-pong" : "forward";
            S.LoopStart = S.Loop == "none" ? 0 : Sample->LoopStart;
            S.LoopLength = S.Loop == "none" ? 0 : Sample->LoopLength;
            S.Bits = Sample->Bits;
            S.Stereo = Sample->NumChannels == 2;
            S.Volume = Sample->Volume;
            S.FineTune = Sample->FineTune;
            // A sample slot with neither sound nor name says nothing.
            if (S.Length > 0 || !S.Name.empty()) Info.Samples.push_back(S);
        }
        if (!Info.Name.empty() || !Info.Kind.empty() || !Info.Samples.empty()) List.push_back(Info);
    }
    return List;
}

TSongInfo Describe(const TQuavixModule& Module, const std::vector<uint8_t>& Data, bool Samples,
                   const std::vector<std::string>& Warnings) {
    TSongInfo Info;
    Info.Warnings = Warnings;
    Info.Format = Module.Format == TQuavixFormat::None ? "unknown" : QuavixFormatName(Module.Format);
    if (Info.Format == "xm") {
        char Text[16];
        std::snprintf(Text, sizeof(Text), "%d.%02x", (Module.FormatVersion >> 8) & 0xFF, Module.FormatVersion & 0xFF);
        Info.Version = Text;
    }
    Info.Tag = Module.FormatTag;
    Info.Title = Module.Name;
    Info.Channels = Module.NumChannels;
    Info.SongLength = Module.SongLength;
    Info.RestartPosition = Module.RestartPosition;
    // The module keeps all its pattern slots; the file's patterns are those up
    // to the last one that got rows (the module is fresh, so no other has).
    for (int32_t i = 0; i < TQuavixModule::MaxPatterns; ++i)
        if (Module.Patterns[i]->Rows > 0 || !Module.Patterns[i]->Notes.empty()) Info.Patterns = i + 1;
    for (int32_t i = 1; i <= TQuavixModule::MaxInstruments; ++i) {
        const TQuavixInstrument* Instrument = Module.Instruments[i].get();
        if (!Instrument) continue;
        Info.Instruments = i;
        for (const auto& Sample : Instrument->Samples)
            if (Sample && Sample->Data && Sample->Length > 0) ++Info.Samples;
    }
    Info.LinearSlides = Module.LinearSlides;
    Info.Tracker = Module.Tracker;
    Info.Rules = Module.Rules;
    Info.Message = Module.Comment;
    Info.Subsongs = FindSubsongs(Data, DefaultRate);
    Info.DurationFrames = Info.Subsongs[0].DurationFrames;
    if (Samples) Info.InstrumentList = ListInstruments(Module);
    return Info;
}

std::string FormatText(const TSongInfo& Info) {
    if (Info.Format == "xm") return "xm " + Info.Version;
    if (Info.Format == "mod") return Info.Tag.empty() ? "mod (15 samples, no tag)" : "mod \"" + Printable(Info.Tag) + "\"";
    if (Info.Format == "s3m" || Info.Format == "it")
        return Info.Tracker.empty() ? Info.Format : Info.Format + " (" + Printable(Info.Tracker) + ")";
    return Info.Format;
}

// A name in quotes, so that blanks at its ends show.
std::string Quoted(const std::string& Name) { return "\"" + Printable(Name) + "\""; }

void PrintText(const std::string& Path, const TSongInfo& Info, bool WithSamples) {
    std::printf("%s\n", Printable(Path).c_str());
    std::printf("  format:      %s\n", FormatText(Info).c_str());
    std::printf("  title:       %s\n", Printable(Info.Title).c_str());
    std::printf("  channels:    %d\n", Info.Channels);
    std::printf("  length:      %d orders\n", Info.SongLength);
    std::printf("  restart:     %d\n", Info.RestartPosition);
    std::printf("  patterns:    %d\n", Info.Patterns);
    std::printf("  instruments: %d\n", Info.Instruments);
    std::printf("  samples:     %d with data\n", Info.Samples);
    std::printf("  slides:      %s\n", Info.LinearSlides ? "linear" : "amiga");
    // The tracker only where the file names one.
    if (!Info.Tracker.empty()) std::printf("  tracker:     %s\n", Printable(Info.Tracker).c_str());
    std::printf("  rules:       %s\n", Info.Rules.c_str());
    if (Info.DurationFrames >= 0)
        std::printf("  duration:    %s\n", ClockTime(Info.DurationFrames, DefaultRate).c_str());
    else
        std::printf("  duration:    none (plays on past %d minutes)\n", MaxSongSeconds / 60);
    // Only for a song that holds more than one: each with its first order
    // position and its duration.
    if (Info.Subsongs.size() > 1) {
        std::printf("  subsongs:    %zu\n", Info.Subsongs.size());
        for (size_t i = 0; i < Info.Subsongs.size(); ++i) {
            const TSubsong& Subsong = Info.Subsongs[i];
            const std::string Duration = Subsong.DurationFrames >= 0 ? ClockTime(Subsong.DurationFrames, DefaultRate)
                                                                     : std::string("none");
            std::printf("    %2zu  order %3d  %s\n", i + 1, Subsong.FirstOrder, Duration.c_str());
        }
    }
    // Only for a file that lacks something; what it lacks plays as silence.
    if (!Info.Warnings.empty()) std::printf("  warnings:    %s\n", WarningLine(Info.Warnings).c_str());
    std::vector<std::string> Message = MessageLines(Info.Message);
    if (!Message.empty()) {
        std::printf("  message:\n");
        for (const std::string& Line : Message) std::printf("    %s\n", Printable(Line).c_str());
    }
    if (!WithSamples) return;
    // One line per instrument, then one per sample: length in frames, the
    // loop as start+length in frames, then width, layout, volume, finetune.
    std::printf("  instruments and samples:\n");
    if (Info.InstrumentList.empty()) std::printf("    none\n");
    auto SampleLine = [](const TSampleInfo& S) {
        const std::string Loop = S.Loop == "none" ? "no loop"
                                                  : S.Loop + " loop " + std::to_string(S.LoopStart) + "+" +
                                                        std::to_string(S.LoopLength);
        char Line[256];
        std::snprintf(Line, sizeof(Line), "%2d %-24s %7d frames, %s, %d-bit %s, volume %d, finetune %d", S.Index,
                      Quoted(S.Name).c_str(), S.Length, Loop.c_str(), S.Bits, S.Stereo ? "stereo" : "mono", S.Volume,
                      S.FineTune);
        return std::string(Line);
    };
    for (const TInstrumentInfo& Instrument : Info.InstrumentList) {
        // An instrument without a name that is just one sample (as in
        // pattern-format songs) takes one line.
        if (Instrument.Name.empty() && Instrument.Samples.size() == 1) {
            std::printf("    %3d %s\n", Instrument.Number, SampleLine(Instrument.Samples[0]).c_str());
            continue;
        }
        if (!Instrument.Kind.empty()) {
            std::printf("    %3d %s %s, silent here\n", Instrument.Number, Quoted(Instrument.Name).c_str(),
                        Instrument.Kind.c_str());
            continue;
        }
        std::printf("    %3d %s\n", Instrument.Number, Quoted(Instrument.Name).c_str());
        for (const TSampleInfo& S : Instrument.Samples) std::printf("        %s\n", SampleLine(S).c_str());
    }
}

void PrintJson(const std::string& Path, const TSongInfo& Info, bool WithSamples) {
    using json = nlohmann::ordered_json;  // keys in the order written
    json Object = json::object();
    auto Optional = [](const std::string& Text, bool Present) { return Present ? json(ToUtf8(Text)) : json(); };
    Object["file"] = ToUtf8(Path);
    Object["format"] = Info.Format;
    Object["version"] = Optional(Info.Version, Info.Format == "xm");
    Object["tag"] = Optional(Info.Tag, Info.Format == "mod");
    Object["title"] = ToUtf8(Info.Title);
    Object["channels"] = Info.Channels;
    Object["song_length"] = Info.SongLength;
    Object["restart_position"] = Info.RestartPosition;
    Object["patterns"] = Info.Patterns;
    Object["instruments"] = Info.Instruments;
    Object["samples"] = Info.Samples;
    Object["linear_slides"] = Info.LinearSlides;
    Object["tracker"] = Optional(Info.Tracker, !Info.Tracker.empty());
    Object["rules"] = Info.Rules;
    Object["message"] = ToUtf8(Info.Message);
    // Seconds, to the millisecond; null for a song that does not end.
    auto Seconds = [](int64_t Frames) {
        return Frames >= 0 ? json(static_cast<double>((Frames * 1000 + DefaultRate / 2) / DefaultRate) / 1000.0) : json();
    };
    Object["duration"] = Seconds(Info.DurationFrames);
    // Every song has at least one: the song from its start.
    json Subsongs = json::array();
    for (size_t i = 0; i < Info.Subsongs.size(); ++i)
        Subsongs.push_back({{"subsong", i + 1},
                            {"first_order", Info.Subsongs[i].FirstOrder},
                            {"duration", Seconds(Info.Subsongs[i].DurationFrames)}});
    Object["subsongs"] = Subsongs;
    Object["warnings"] = Info.Warnings;
    if (WithSamples) {
        json Instruments = json::array();
        for (const TInstrumentInfo& Instrument : Info.InstrumentList) {
            json Samples = json::array();
            for (const TSampleInfo& S : Instrument.Samples)
                Samples.push_back({{"index", S.Index},
                                   {"name", ToUtf8(S.Name)},
                                   {"length", S.Length},
                                   {"loop", S.Loop},
                                   {"loop_start", S.LoopStart},
                                   {"loop_length", S.LoopLength},
                                   {"bits", S.Bits},
                                   {"stereo", S.Stereo},
                                   {"volume", S.Volume},
                                   {"finetune", S.FineTune}});
            // "kind": "sample", or what the instrument is where it does not play.
            Instruments.push_back({{"number", Instrument.Number},
                                   {"name", ToUtf8(Instrument.Name)},
                                   {"kind", Instrument.Kind.empty() ? std::string("sample") : Instrument.Kind},
                                   {"samples", Samples}});
        }
        Object["instrument_list"] = Instruments;
    }
    std::printf("%s\n", Object.dump().c_str());
}

struct TInfoOptions {
    bool Json = false;
    bool Samples = false;
    std::vector<std::string> Files;
};
TInfoOptions Options;

int RunInfo() {
    int Status = ExitOk;
    bool First = true;
    for (const TListedFile& Listed : ListSongFiles(Options.Files)) {
        const std::string& Path = Listed.Path;
        // A fresh module per file, so nothing of an earlier song shows.
        std::unique_ptr<TQuavixModule> Module(new TQuavixModule());
        std::vector<uint8_t> Data;
        std::string Reason = Listed.Problem;
        std::vector<std::string> Warnings;
        if (!Reason.empty() || !ReadModuleData(Path, Data, Reason) || !LoadModuleData(Data, *Module, Reason, &Warnings)) {
            ReportError(Path, Reason);
            Status = ExitFailure;
            continue;
        }
        TSongInfo Info = Describe(*Module, Data, Options.Samples, Warnings);
        if (Options.Json) {
            PrintJson(Path, Info, Options.Samples);
        } else {
            if (!First) std::printf("\n");
            PrintText(Path, Info, Options.Samples);
        }
        First = false;
        std::fflush(stdout);
    }
    return Status;
}

}  // namespace

TRunCommand AddInfo(CLI::App& App) {
    CLI::App* Info = App.add_subcommand("info", "show what module files hold: format, title, channels, duration, ...");
    Info->footer(
        "Shows each module file's format (xm with its version, or mod with its\n"
        "tag), title, channels, song length in orders, restart position, patterns,\n"
        "instruments, samples with data, linear or Amiga slides, the tracker that\n"
        "wrote the file (where it says), whose rules the song plays by, how long\n"
        "the song plays until it comes back to a row it played (mm:ss.mmm), and\n"
        "the song message when there is one. --samples adds the instruments and their\n"
        "samples (where songs often keep their greetings). A file cut short gets a\n"
        "warnings line saying what it lacks (samples cut short, patterns missing),\n"
        "which plays as silence. A song that holds several subsongs (game songs\n"
        "often do: tunes reached by jumps, never from the start) lists each with\n"
        "the order position it starts at and its duration.\n"
        "\n"
        "A folder stands for the songs in it and in its folders, in name order,\n"
        "recognised by what they hold; a play list (.m3u) for the files it names.\n"
        "\n"
        "Exit status: 0 when every file loaded, 1 when some did not (each gets a\n"
        "line on standard error), 2 for a wrong command line.");
    Info->add_flag("--json", Options.Json, "one JSON object per file, on one line each");
    Info->add_flag("--samples", Options.Samples,
                   "also list the instruments and samples: names, lengths, loops, bits, volume, finetune");
    Info->add_option("FILE", Options.Files, "module files (.xm, .mod, .s3m, .it), folders of them, .m3u play lists")
        ->required();
    return RunInfo;
}

}  // namespace quavix_cli
