// quavix info: what module files hold.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

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
    std::string Message;
};

TSongInfo Describe(const TQuavixModule& Module) {
    TSongInfo Info;
    Info.Format = Module.FormatName.empty() ? "unknown" : Module.FormatName;
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
    Info.Message = Module.Comment;
    return Info;
}

std::string FormatText(const TSongInfo& Info) {
    if (Info.Format == "xm") return "xm " + Info.Version;
    if (Info.Format == "mod") return Info.Tag.empty() ? "mod (15 samples, no tag)" : "mod \"" + Printable(Info.Tag) + "\"";
    return Info.Format;
}

// The message's lines, whatever line ends it uses; trailing empty lines dropped.
std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> Result(1);
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\r' || Text[i] == '\n') {
            if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
            Result.emplace_back();
        } else {
            Result.back() += Text[i];
        }
    }
    while (!Result.empty() && Result.back().empty()) Result.pop_back();
    return Result;
}

void PrintText(const std::string& Path, const TSongInfo& Info) {
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
    std::vector<std::string> Message = Lines(Info.Message);
    if (!Message.empty()) {
        std::printf("  message:\n");
        for (const std::string& Line : Message) std::printf("    %s\n", Printable(Line).c_str());
    }
}

void PrintJson(const std::string& Path, const TSongInfo& Info) {
    auto Optional = [](const std::string& Text, bool Present) { return Present ? JsonString(Text) : "null"; };
    std::printf(
        "{\"file\":%s,\"format\":%s,\"version\":%s,\"tag\":%s,\"title\":%s,\"channels\":%d,"
        "\"song_length\":%d,\"restart_position\":%d,\"patterns\":%d,\"instruments\":%d,"
        "\"samples\":%d,\"linear_slides\":%s,\"message\":%s}\n",
        JsonString(Path).c_str(), JsonString(Info.Format).c_str(),
        Optional(Info.Version, Info.Format == "xm").c_str(), Optional(Info.Tag, Info.Format == "mod").c_str(),
        JsonString(Info.Title).c_str(), Info.Channels, Info.SongLength, Info.RestartPosition, Info.Patterns,
        Info.Instruments, Info.Samples, Info.LinearSlides ? "true" : "false", JsonString(Info.Message).c_str());
}

void PrintHelp() {
    std::printf(
        "Usage: quavix info [--json] FILE...\n"
        "Show what each module file holds: its format (xm with its version, or mod\n"
        "with its tag), title, channels, song length in orders, restart position,\n"
        "patterns, instruments, samples with data, linear or Amiga slides, and the\n"
        "song message when there is one.\n"
        "\n"
        "Options:\n"
        "  --json      one JSON object per file, on one line each\n"
        "  -h, --help  show this help and exit\n"
        "\n"
        "Exit status: 0 when every file loaded, 1 when some did not (each gets a\n"
        "line on standard error), 2 for a wrong command line.\n");
}

}  // namespace

int RunInfo(const std::vector<std::string>& Args) {
    bool Json = false;
    bool OptionsEnded = false;
    std::vector<std::string> Files;
    for (const std::string& Arg : Args) {
        if (OptionsEnded || Arg.empty() || Arg[0] != '-' || Arg == "-") {
            Files.push_back(Arg);
        } else if (Arg == "--") {
            OptionsEnded = true;
        } else if (Arg == "--json") {
            Json = true;
        } else if (Arg == "-h" || Arg == "--help") {
            PrintHelp();
            return ExitOk;
        } else {
            return UsageError("info: unknown option '" + Arg + "'", "info");
        }
    }
    if (Files.empty()) return UsageError("info: no module file given", "info");

    int Status = ExitOk;
    bool First = true;
    for (const std::string& Path : Files) {
        // A fresh module per file, so nothing of an earlier song shows.
        std::unique_ptr<TQuavixModule> Module(new TQuavixModule());
        std::string Reason;
        if (!LoadModuleFile(Path, *Module, Reason)) {
            std::fflush(stdout);
            std::fprintf(stderr, "quavix: %s: %s\n", Printable(Path).c_str(), Reason.c_str());
            Status = ExitFailure;
            continue;
        }
        TSongInfo Info = Describe(*Module);
        if (Json) {
            PrintJson(Path, Info);
        } else {
            if (!First) std::printf("\n");
            PrintText(Path, Info);
        }
        First = false;
        std::fflush(stdout);
    }
    return Status;
}

}  // namespace quavix_cli
