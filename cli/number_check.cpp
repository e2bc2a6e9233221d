// Checks of number options whose messages read as a person would write them:
// "--seconds: abc is not a number of seconds", and nothing added to the
// option's name in the help.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli.h"

namespace quavix_cli {

namespace {

std::string Shown(double Value) {
    char Text[32];
    std::snprintf(Text, sizeof(Text), "%g", Value);
    return Text;
}

}  // namespace

CLI::Validator NumberCheck(double Low, double High, const std::string& Unit, bool Whole) {
    return CLI::Validator(
        [=](std::string& Text) -> std::string {
            const std::string Of = Unit.empty() ? "" : " of " + Unit;
            const std::string Range = "give " + Shown(Low) + " to " + Shown(High) + (Unit.empty() ? "" : " " + Unit);
            const char* Start = Text.c_str();
            char* End = nullptr;
            errno = 0;
            double Value = 0;
            if (Whole) {
                const long long Number = std::strtoll(Start, &End, 10);
                Value = errno == ERANGE ? (Number < 0 ? -HUGE_VAL : HUGE_VAL) : static_cast<double>(Number);
            } else {
                Value = std::strtod(Start, &End);
            }
            // Leading blanks, trailing text, hexadecimal and "nan" are no
            // numbers a person means here.
            const bool Number = !Text.empty() && End == Start + Text.size() &&
                                Text.find_first_of(" \t\n") == std::string::npos &&
                                Text.find_first_of("xXnN") == std::string::npos;
            if (!Number) return Text + " is not a " + (Whole ? "whole number" : "number") + Of;
            if (!(Value >= Low && Value <= High)) return Text + " is out of range: " + Range;
            // The parser reads a leading 0 as octal: hand it plain decimal.
            if (Whole) Text = std::to_string(static_cast<long long>(Value));
            return "";
        },
        "");
}

}  // namespace quavix_cli
