// quavix: command-line front end of Quavix Player.
//
// FILE is a module file, a folder of them or a .m3u play list.
//   quavix info [--json] [--samples] FILE...
//   quavix render FILE... [-o OUT|DIR/] [--format F] [--quality Q] [--stems] [-j N]
//                 [--seconds S] [--repeat N] [--start ORDER | --subsong N|all] [--mute LIST]
//                 [--solo LIST] [--rate HZ] [--bits 8|16] [--mono]
//                 [--interpolation none|linear|cubic|sinc] [--amiga-clock ntsc|pal]
//                 [--stereo-separation PERCENT]
//   quavix play FILE... [--repeat N] [--seconds S] [--start ORDER | --subsong N|all]
//               [--mute LIST] [--solo LIST] [--shuffle] [--loop] [--pattern] [--no-meters]
//               [--interpolation none|linear|cubic|sinc] [--amiga-clock ntsc|pal]
//               [--stereo-separation PERCENT]
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

#include "cli.h"

namespace {

// The subcommand a wrong command line was meant for, for the hint.
std::string ChosenCommand(const CLI::App& App) {
    for (const CLI::App* Command : App.get_subcommands({})) {
        if (Command->parsed()) return Command->get_name();
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App App("Quavix Player's command-line tool for tracker modules (Extended Module .xm,\n"
                 "pattern-format .mod, Scream Tracker 3 .s3m and Impulse Tracker .it files).",
                 "quavix");
    App.set_version_flag("-V,--version", std::string("quavix ") + quavix_cli::Version);
    App.require_subcommand(1);
    App.footer("'quavix COMMAND --help' describes a command.");
    const quavix_cli::TRunCommand RunInfo = quavix_cli::AddInfo(App);
    const quavix_cli::TRunCommand RunRender = quavix_cli::AddRender(App);
    const quavix_cli::TRunCommand RunPlay = quavix_cli::AddPlay(App);

    // A first word that names no command gets a plainer message than the
    // parser's "a subcommand is required".
    if (argc >= 2) {
        const std::string First = argv[1];
        const bool Known = First == "-h" || First == "--help" || First == "-V" || First == "--version" ||
                           First == "info" || First == "render" || First == "play";
        if (!Known) {
            std::fprintf(stderr, "quavix: unknown %s '%s'\n", !First.empty() && First[0] == '-' ? "option" : "command",
                         First.c_str());
            std::fprintf(stderr, "Try 'quavix --help' for more information.\n");
            return quavix_cli::ExitUsage;
        }
    }
    try {
        App.parse(argc, argv);
    } catch (const CLI::CallForHelp& Help) {
        return App.exit(Help);
    } catch (const CLI::CallForAllHelp& Help) {
        return App.exit(Help);
    } catch (const CLI::CallForVersion& Version) {
        return App.exit(Version);
    } catch (const CLI::ParseError& Error) {
        // One line that says what is wrong, and where to read more.
        std::string Command = ChosenCommand(App);
        std::string Message = Error.what();
        if (argc < 2) Message = "missing command";
        std::fprintf(stderr, "quavix: %s%s\n", Command.empty() ? "" : (Command + ": ").c_str(), Message.c_str());
        std::fprintf(stderr, "Try 'quavix %s--help' for more information.\n",
                     Command.empty() ? "" : (Command + " ").c_str());
        return quavix_cli::ExitUsage;
    }

    try {
        for (const CLI::App* Command : App.get_subcommands()) {
            if (Command->get_name() == "info") return RunInfo();
            if (Command->get_name() == "render") return RunRender();
            if (Command->get_name() == "play") return RunPlay();
        }
    } catch (const std::exception& Error) {
        std::fflush(stdout);
        std::fprintf(stderr, "quavix: %s\n", Error.what());
        return quavix_cli::ExitFailure;
    }
    return quavix_cli::ExitUsage;
}
