#include "shell_session.h"

#include <cstdint>
#include <exception>

#include "player/quavix.h"
#include "shell_files.h"
#include "song/song_text.h"

namespace quavix_shell {

const char* const ProjectVersion = QUAVIX_VERSION;

// The icon is the project's own drawing (quavix-player.svg).
const char* const AboutText =
    "Quavix Player " QUAVIX_VERSION "\r\n"
    "A player for tracker modules: Extended Module (.xm) and\r\n"
    "pattern-format (.mod) files.\r\n"
    "\r\n"
    "Copyright (c) 2010 the Quavix Player developers\r\n"
    "Program icon drawn by the Quavix Player developers\r\n";

namespace {

const char* const WindowUsage =
    "Usage: quavix-player [OPTION]... [FILE]\n"
    "The Quavix Player window, for tracker modules (Extended Module .xm and\n"
    "pattern-format .mod files). Given a FILE, it plays that song at once.\n"
    "\n"
    "  -h, --help     show this text and end\n"
    "  -V, --version  show the version and end\n"
    "  --             take what follows as a file name, even if it starts with '-'\n"
    "\n"
    "GTK's own options, such as --display=DISPLAY, are taken as well.\n"
    "'quavix --help' describes the command-line tool.\n";

TWindowCommandLine Wrong(const std::string& What) {
    TWindowCommandLine Result;
    Result.Action = TWindowCommandLine::TAction::Wrong;
    Result.Text = "quavix-player: " + What + "\nTry 'quavix-player --help' for more information.\n";
    Result.ExitStatus = 2;
    return Result;
}

}  // namespace

TWindowCommandLine ReadWindowCommandLine(const std::vector<std::string>& Arguments) {
    TWindowCommandLine Result;
    bool OptionsEnd = false;
    for (const std::string& Argument : Arguments) {
        if (!OptionsEnd && Argument == "--") {
            OptionsEnd = true;
        } else if (!OptionsEnd && (Argument == "-h" || Argument == "--help")) {
            return {TWindowCommandLine::TAction::Help, "", WindowUsage, 0};
        } else if (!OptionsEnd && (Argument == "-V" || Argument == "--version")) {
            return {TWindowCommandLine::TAction::Version, "", std::string("quavix-player ") + QUAVIX_VERSION + "\n", 0};
        } else if (!OptionsEnd && Argument.size() > 1 && Argument[0] == '-') {
            return Wrong("unknown option '" + Argument + "'");
        } else if (!Result.File.empty()) {
            return Wrong("one song at a time: '" + Result.File + "' and '" + Argument + "'");
        } else if (Argument.empty()) {
            return Wrong("an empty file name");
        } else {
            Result.File = Argument;
        }
    }
    return Result;
}

TShellSession::TShellSession() = default;
TShellSession::~TShellSession() = default;

namespace {

// Stop, then destroy. A destructor cannot pass an error on, so only Stop can
// raise one here; it is dropped and the player is destroyed all the same.
void StopAndDestroy(std::unique_ptr<TQuavix>& Player) {
    if (!Player) return;
    try {
        Player->Stop();
    } catch (...) {
    }
    Player.reset();
}

}  // namespace

void StopTrack(TShellSession& Session) { StopAndDestroy(Session.Player); }

TTrackView OpenTrack(TShellSession& Session, const std::string& FileName) {
    StopAndDestroy(Session.Player);
    try {
        // The folder is remembered even when the file then fails to load.
        Session.LastPath = FolderPart(FileName);
        // The default settings are the window's.
        Session.Player = std::make_unique<TQuavix>(TQuavixSettings{});
        if (Session.Player->OutputDevice == TQuavixOutputDevice::None) {
            // A song that cannot be heard is not shown as playing.
            const std::string Problem = Session.Player->OutputProblem;
            Session.Player.reset();
            return {NoTrackLabel, DisplayText(NoDeviceStatus(Problem))};
        }
        const TQuavixLoadResult Loaded = Session.Player->Module->LoadFromFile(FileName);
        if (Loaded) {
            // The title is read before the audio thread starts on the song.
            std::string Label = DisplayText(TrackLabel(Session.Player->Module->Name, FileName));
            Session.Player->Play();
            return {Label, ""};
        }
        Session.Player.reset();
        return {NoTrackLabel, FailureStatus(FileName, Loaded.Reason)};
    } catch (...) {
        // No player could be made for it (no memory, no thread).
        StopAndDestroy(Session.Player);
        return {NoTrackLabel, FailureStatus(FileName, "cannot be played")};
    }
}

std::string NoDeviceStatus(const std::string& Problem) {
    return "no sound device could be opened" + (Problem.empty() ? "" : ": " + Problem);
}

std::string FailureStatus(const std::string& FileName, const std::string& Reason) {
    return DisplayText(FilePart(FileName) + ": " + Reason);
}

std::string TrackLabel(const std::string& Title, const std::string& FileName) {
    return QuavixTrimBlanks(Title).empty() ? FilePart(FileName) : Title;
}

std::string DisplayText(const std::string& Text) { return SongTextToUtf8(Text, true); }

}  // namespace quavix_shell
