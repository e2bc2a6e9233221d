// --interpolation, shared by render and play.
#include <CLI/CLI.hpp>

#include <string>

#include "cli.h"
#include "player/settings.h"

namespace quavix_cli {

void AddInterpolationOption(CLI::App& Command, TQuavixInterpolation& Interpolation) {
    Command
        .add_option_function<std::string>(
            "--interpolation",
            [&Interpolation](const std::string& Name) {
                Interpolation = Name == "none"    ? TQuavixInterpolation::None
                                : Name == "cubic" ? TQuavixInterpolation::Cubic
                                : Name == "sinc"  ? TQuavixInterpolation::Sinc
                                                  : TQuavixInterpolation::Linear;
            },
            "how samples are read between their points: none (the nearest point before),\n"
            "linear (default, as the window plays), cubic (a spline through 4 points) or\n"
            "sinc (8 points, windowed sinc: the least aliasing, the most time)")
        ->type_name("none|linear|cubic|sinc")
        ->check(CLI::IsMember({"none", "linear", "cubic", "sinc"}).description(""));
}

}  // namespace quavix_cli
