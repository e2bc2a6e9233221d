// The quavix command-line tool: shared pieces of its subcommands.
#pragma once

#include <string>
#include <vector>

class TQuavixModule;

namespace quavix_cli {

// Kept equal to the project version.
constexpr const char* Version = "0.1.0";

// Exit statuses: every file handled, some file failed, the command line was wrong.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Subcommands; Args holds the arguments after the subcommand's name.
int RunInfo(const std::vector<std::string>& Args);

// Reports a wrong command line on stderr ("quavix: MESSAGE" and a hint) and
// returns ExitUsage.
int UsageError(const std::string& Message, const std::string& Command = "");

// Reads a module file into Module. On failure returns false with Reason set to
// what a user can act on ("cannot open: No such file or directory", "not a
// module file", ...).
bool LoadModuleFile(const std::string& Path, TQuavixModule& Module, std::string& Reason);

// The text as a JSON string literal, quotes included. Bytes that do not form
// UTF-8 are taken as Latin-1, as older trackers stored names.
std::string JsonString(const std::string& Text);
// The text with control characters shown as '?', for a terminal.
std::string Printable(const std::string& Text);

}  // namespace quavix_cli
