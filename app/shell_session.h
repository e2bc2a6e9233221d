// What the window does with a player, without the window: opening a file
// with the window's player settings, stopping, and the text the frame shows.
// All of it runs on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TQuavix;

namespace quavix_shell {

// The frame's label while nothing plays.
constexpr const char* NoTrackLabel = "No track loaded";

// The window's player and the folder of the last file chosen (with its
// trailing "/", empty while none is remembered).
struct TShellSession {
    std::unique_ptr<TQuavix> Player;
    std::string LastPath;

    TShellSession();
    ~TShellSession();
    TShellSession(const TShellSession&) = delete;
    TShellSession& operator=(const TShellSession&) = delete;
};

// Stops and destroys the player, if there is one; errors raised while doing
// so are ignored. Afterwards there is no player.
void StopTrack(TShellSession& Session);

// What the window shows after an open: the frame's label, and the status
// line under the frame, which says why a chosen file does not play (empty
// while a song plays).
struct TTrackView {
    std::string Label;
    std::string Status;
};

// Opens a chosen file: the previous player is stopped and destroyed, the
// file's folder is remembered, and a fresh player loads the file and plays
// it. The label becomes the song's title, or its file name when the title is
// blank; a file that does not load, or a player that gets no sound device,
// leaves NoTrackLabel, the status says why, and there is no player.
TTrackView OpenTrack(TShellSession& Session, const std::string& FileName);

// The status line when no sound device opens: "no sound device could be
// opened: " and what failed at each output (TQuavix::OutputProblem).
std::string NoDeviceStatus(const std::string& Problem);

// The status line of a file that does not play: its file name and why,
// "notes.txt: not a module file (...)", made fit for a label.
std::string FailureStatus(const std::string& FileName, const std::string& Reason);

// The label of a loaded song: its title as stored when the title holds more
// than blanks, else the file part of FileName.
std::string TrackLabel(const std::string& Title, const std::string& FileName);

// Text made fit for a GTK label, which takes UTF-8 only: well-formed UTF-8
// stays, other bytes are read as Latin-1 (as older trackers stored names),
// and control characters show as "?".
std::string DisplayText(const std::string& Text);

// The about box: the player's name and version, what it plays, who made it
// and the icon; each line ended by "\r\n".
extern const char* const AboutText;

// The project's version, as `quavix --version` shows it too.
extern const char* const ProjectVersion;

// What the window's command line (without GTK's own options, and without the
// program's name) asks for: the window, with at most one song to play at
// once; the usage text or the version, on standard output; or nothing, for a
// wrong command line, which Text then describes for standard error.
struct TWindowCommandLine {
    enum class TAction { Window, Help, Version, Wrong };
    TAction Action = TAction::Window;
    std::string File;  // as given; empty when none
    std::string Text;  // what to print for Help, Version and Wrong
    int ExitStatus = 0;
};
TWindowCommandLine ReadWindowCommandLine(const std::vector<std::string>& Arguments);

}  // namespace quavix_shell
