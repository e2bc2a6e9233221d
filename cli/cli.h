// The quavix command-line tool: shared pieces of its subcommands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
}
class TQuavixModule;
enum class TQuavixAmigaClock : uint8_t;

namespace quavix_cli {

// Kept equal to the project version.
constexpr const char* Version = "0.1.0";

// Exit statuses: every file handled, some file failed, the command line was wrong.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
// Stopped by an interrupt (Ctrl-C) or a termination request.
constexpr int ExitInterrupted = 130;

// The longest a song plays when it is rendered or measured until its end:
// a song that never comes back to a row it played stops there.
constexpr int32_t MaxSongSeconds = 30 * 60;

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

// Reads a whole module file. On failure returns false with Reason set to what
// a user can act on ("cannot open: No such file or directory", ...).
bool ReadModuleData(const std::string& Path, std::vector<uint8_t>& Data, std::string& Reason);
// Loads read data into Module; on failure Reason says why the data is not a
// song ("not a module file", "damaged Extended Module file: ...").
bool LoadModuleData(const std::vector<uint8_t>& Data, TQuavixModule& Module, std::string& Reason);
// Both at once.
bool LoadModuleFile(const std::string& Path, TQuavixModule& Module, std::string& Reason);

// The frames at which the first Passes passes of the song end, played at Rate
// from its beginning; fewer when it does not end within MaxSongSeconds.
std::vector<int64_t> MeasureSong(const std::vector<uint8_t>& Data, int32_t Rate, int32_t Passes);

// One line "quavix: WHAT: WHY" on standard error (stdout flushed first).
void ReportError(const std::string& What, const std::string& Why);

// The text with bytes that do not form UTF-8 taken as Latin-1, as older
// trackers stored names: valid UTF-8 for JSON.
std::string ToUtf8(const std::string& Text);
// The text with control characters shown as '?', for a terminal.
std::string Printable(const std::string& Text);
// mm:ss.mmm of a frame count at a rate.
std::string ClockTime(int64_t Frames, int32_t Rate);

}  // namespace quavix_cli
