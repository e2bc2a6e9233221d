// --amiga-clock, shared by render and play.
#include <CLI/CLI.hpp>

#include <string>

#include "cli.h"
#include "song/module.h"

namespace quavix_cli {

void AddAmigaClockOption(CLI::App& Command, TQuavixAmigaClock& Clock) {
    Command
        .add_option_function<std::string>(
            "--amiga-clock",
            [&Clock](const std::string& Name) { Clock = Name == "pal" ? TQuavixAmigaClock::Pal : TQuavixAmigaClock::Ntsc; },
            "pitch of pattern-format (.mod) songs: ntsc (default, as the window plays them)\n"
            "or pal, 0.9 % lower, as a PAL Amiga played them; Extended Module songs keep theirs")
        ->type_name("ntsc|pal")
        ->check(CLI::IsMember({"ntsc", "pal"}).description(""));
}

}  // namespace quavix_cli
