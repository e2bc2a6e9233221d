// quavix: command-line front end of Quavix Player.
//
//   quavix info [--json] FILE...
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli.h"

namespace {

struct TCommand {
    const char* Name;
    const char* Summary;
    int (*Run)(const std::vector<std::string>& Args);
};

const TCommand Commands[] = {
    {"info", "show what module files hold (format, title, channels, ...)", quavix_cli::RunInfo},
};

void PrintHelp() {
    std::printf(
        "Usage: quavix COMMAND [OPTION]... [FILE]...\n"
        "Quavix Player's command-line tool for tracker modules (Extended Module .xm\n"
        "and pattern-format .mod files).\n"
        "\n"
        "Commands:\n");
    for (const TCommand& Command : Commands) std::printf("  %-8s %s\n", Command.Name, Command.Summary);
    std::printf(
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "'quavix COMMAND --help' describes a command.\n");
}

}  // namespace

namespace quavix_cli {

int UsageError(const std::string& Message, const std::string& Command) {
    std::fprintf(stderr, "quavix: %s\n", Message.c_str());
    std::fprintf(stderr, "Try 'quavix %s--help' for more information.\n",
                 Command.empty() ? "" : (Command + " ").c_str());
    return ExitUsage;
}

}  // namespace quavix_cli

int main(int argc, char** argv) {
    if (argc < 2) return quavix_cli::UsageError("missing command");
    std::string First = argv[1];
    if (First == "-h" || First == "--help" || First == "help") {
        PrintHelp();
        return quavix_cli::ExitOk;
    }
    if (First == "-V" || First == "--version") {
        std::printf("quavix %s\n", quavix_cli::Version);
        return quavix_cli::ExitOk;
    }
    for (const TCommand& Command : Commands)
        if (First == Command.Name) {
            std::vector<std::string> Args(argv + 2, argv + argc);
            try {
                return Command.Run(Args);
            } catch (const std::exception& Error) {
                std::fprintf(stderr, "quavix: %s\n", Error.what());
                return quavix_cli::ExitFailure;
            }
        }
    if (!First.empty() && First[0] == '-') return quavix_cli::UsageError("unknown option '" + First + "'");
    return quavix_cli::UsageError("unknown command '" + First + "'");
}
