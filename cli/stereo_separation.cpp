// --stereo-separation, shared by render and play.
#include <CLI/CLI.hpp>

#include <cstdint>

#include "cli.h"

namespace quavix_cli {

CLI::Option* AddStereoSeparationOption(CLI::App& Command, int32_t& Percent) {
    return Command
        .add_option("--stereo-separation", Percent,
                    "stereo width in percent: 0 mono on both sides, 100 as the song pans\n"
                    "(default, as the window plays), up to 200; 50 softens the hard Amiga panning\n"
                    "of .mod songs on headphones")
        ->type_name("PERCENT")
        ->transform(NumberCheck(0, 200, "percent", true));
}

}  // namespace quavix_cli
