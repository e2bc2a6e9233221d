// The quavix command-line tool: shared pieces of its subcommands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/subsongs.h"

namespace CLI {
class App;
class Option;
class Validator;
}
class TQuavix;
class TQuavixModule;
enum class TQuavixAmigaClock : uint8_t;
enum class TQuavixInterpolation : uint8_t;

namespace quavix_cli {

// The project's version (CMakeLists.txt's project() line).
constexpr const char* Version = QUAVIX_VERSION;

// Exit statuses: every file handled, some file failed, the command line was wrong.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
// Stopped by an interrupt (Ctrl-C) or a termination request.
constexpr int ExitInterrupted = 130;

// The longest a song plays when it is rendered or measured until its end:
// a song that never comes back to a row it played stops there.
constexpr int32_t MaxSongSeconds = QuavixMaxSongSeconds;

// The window's settings, which the tool uses unless told otherwise.
constexpr int32_t DefaultRate = 44100;
constexpr int32_t RenderBufferFrames = 4096;

// Subcommands: each adds itself to the application and returns the function
// that runs it once the command line is parsed.
using TRunCommand = int (*)();
TRunCommand AddInfo(CLI::App& App);
TRunCommand AddRender(CLI::App& App);
TRunCommand AddPlay(CLI::App& App);

// Adds --amiga-clock ntsc|pal to a command, read into Clock.
void AddAmigaClockOption(CLI::App& Command, TQuavixAmigaClock& Clock);
// Adds --interpolation none|linear|cubic|sinc to a command, read into Interpolation.
void AddInterpolationOption(CLI::App& Command, TQuavixInterpolation& Interpolation);
// Adds --stereo-separation PERCENT (0..200) to a command, read into Percent.
CLI::Option* AddStereoSeparationOption(CLI::App& Command, int32_t& Percent);

// Reads a whole module file. On failure returns false with Reason set to what
// a user can act on ("cannot open: No such file or directory", ...).
bool ReadModuleData(const std::string& Path, std::vector<uint8_t>& Data, std::string& Reason);
// Loads read data into Module; on failure Reason says why the data is not a
// song ("not a module file", "damaged Extended Module file: ..."). Warnings,
// when given, gets what a song that loaded lacks ("3 samples are cut short").
bool LoadModuleData(const std::vector<uint8_t>& Data, TQuavixModule& Module, std::string& Reason,
                    std::vector<std::string>* Warnings = nullptr);
// A load's warnings as one line: "3 samples are cut short, 2 patterns are missing".
std::string WarningLine(const std::vector<std::string>& Warnings);
// Both at once.
bool LoadModuleFile(const std::string& Path, TQuavixModule& Module, std::string& Reason);

// The frames at which the first Passes passes of the song end, played at Rate
// from the start of order position StartOrder; fewer when it does not end
// within MaxSongSeconds. OrderStarts, when given, gets for each order
// position the frame at which the first pass first reached it (-1: never).
std::vector<int64_t> MeasureSong(const std::vector<uint8_t>& Data, int32_t Rate, int32_t Passes,
                                 int32_t StartOrder = 0, std::vector<int64_t>* OrderStarts = nullptr);

// One of the songs that share a song's order list (see player/subsongs.h).
using TSubsong = TQuavixSubsong;
// The subsongs of a song (its data as read), measured at Rate: the first
// starts at the song's start, and each next one at the first order position
// that no subsong before it reached. At least one, even for a song that has
// no orders.
std::vector<TSubsong> FindSubsongs(const std::vector<uint8_t>& Data, int32_t Rate);

// One song file of the command line's list: named as it is, found in a
// folder, or named by a play list.
struct TListedFile {
    std::string Path;  // as it is opened
    // Where the file lies under the folder named ("sub/song.xm"); for a file
    // named as it is or by a play list, its name alone.
    std::string Relative;
    // A folder or play list that gave no songs: what went wrong. Path is
    // then no song, and this is reported when its turn comes.
    std::string Problem;
};
// The files that Arguments name, in turn: a file as it is; a folder's songs,
// walked through its folders in name order and recognised by what they hold
// (not by their names); the entries of a play list (.m3u, .m3u8: a path a
// line, relative to the list's folder; lines starting with # are passed over).
std::vector<TListedFile> ListSongFiles(const std::vector<std::string>& Arguments);

// Channel lists of --mute and --solo: channels from 1 and ranges, "1,3-5".
// False with Reason set when Text is no such list.
bool ParseChannelList(const std::string& Text, std::vector<int32_t>& Channels, std::string& Reason);
// What --mute and --solo ask for: the lists as given (empty for none).
struct TChannelChoice {
    std::string Mute, Solo;
    bool Empty() const { return Mute.empty() && Solo.empty(); }
    // Which of a song's Count channels are muted (index from 0): with a solo
    // list all but its channels, then those of the mute list. False with
    // Reason set when a list names a channel beyond the song's.
    bool MutedIn(int32_t Count, std::vector<bool>& Muted, std::string& Reason) const;
};
// Mutes exactly the channels marked in Muted.
void ApplyMutes(TQuavix& Player, const std::vector<bool>& Muted);
// What --subsong asks for: nothing (the song from its start, or from
// --start), one subsong by its number from 1, or "all" of them in turn.
struct TSubsongChoice {
    std::string Text;
    bool Given() const { return !Text.empty(); }
    bool All() const { return Text == "all"; }
    // The subsongs chosen among a song's Found ones (indexes from 0); false
    // with Reason set when the song has no subsong of the number asked for.
    bool Pick(const std::vector<TSubsong>& Found, std::vector<size_t>& Picked, std::string& Reason) const;
};
// Adds --start ORDER, --subsong N|all, --mute LIST and --solo LIST to a
// subcommand; --start and --subsong exclude each other.
void AddSongChoice(CLI::App& Command, TChannelChoice& Channels, int32_t& Start, TSubsongChoice& Subsong);

// The check of a number option from Low to High (whole numbers only when
// Whole), in Unit (may be empty). Its messages read "abc is not a number of
// seconds" and "0 is out of range: give 0.001 to 1800 seconds"; it adds
// nothing to the option's name in the help. A transform: a whole number goes
// on in plain decimal ("010" is 10, where the parser would read octal).
CLI::Validator NumberCheck(double Low, double High, const std::string& Unit, bool Whole);
// Why an order position cannot start a song of SongLength orders ("" when it can).
std::string StartProblem(int32_t StartOrder, int32_t SongLength);

// One line "quavix: WHAT: WHY" on standard error (stdout flushed first).
void ReportError(const std::string& What, const std::string& Why);

// The text with bytes that do not form UTF-8 taken as Latin-1, as older
// trackers stored names: valid UTF-8 for JSON.
std::string ToUtf8(const std::string& Text);
// The text with control characters shown as '?', for a terminal.
std::string Printable(const std::string& Text);
// The lines of a song's message, whatever line ends it uses; trailing empty
// lines dropped.
std::vector<std::string> MessageLines(const std::string& Text);
// mm:ss.mmm of a frame count at a rate.
std::string ClockTime(int64_t Frames, int32_t Rate);
// A number from 0 with leading zeros to Width digits: "07".
std::string ZeroPadded(int64_t Value, int Width);

}  // namespace quavix_cli
