#include "shell_session.h"

#include <cstdint>
#include <exception>

#include "player/quavix.h"
#include "shell_files.h"
#include "song/song_text.h"

namespace quavix_shell {

// The web and e-mail lines name addresses under the reserved example.org
// domain until the project has addresses of its own; the icon is the
// project's own drawing (quavix-player.svg).
const char* const AboutText =
    "Quavix Player\r\n"
    "Copyright (c) 2010 the Quavix Player developers\r\n"
    "\r\n"
    "Web: http://quavix-player.example.org/\r\n"
    "E-mail: developers@quavix-player.example.org\r\n"
    "\r\n"
    "Program icon drawn by the Quavix Player developers\r\n";

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

std::string FailureStatus(const std::string& FileName, const std::string& Reason) {
    return DisplayText(FilePart(FileName) + ": " + Reason);
}

std::string TrackLabel(const std::string& Title, const std::string& FileName) {
    return QuavixTrimBlanks(Title).empty() ? FilePart(FileName) : Title;
}

std::string DisplayText(const std::string& Text) { return SongTextToUtf8(Text, true); }

}  // namespace quavix_shell
