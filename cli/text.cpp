// Text for the terminal, for JSON output and for the tags of rendered files.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "song/song_text.h"

namespace quavix_cli {

std::string ToUtf8(const std::string& Text) { return SongTextToUtf8(Text, false); }

std::string Printable(const std::string& Text) {
    std::string Out = Text;
    for (char& c : Out)
        if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) c = '?';
    return Out;
}

std::vector<std::string> MessageLines(const std::string& Text) { return QuavixMessageLines(Text); }

std::string ClockTime(int64_t Frames, int32_t Rate) {
    const int64_t Ms = Rate > 0 ? (Frames * 1000 + Rate / 2) / Rate : 0;
    char Text[32];
    std::snprintf(Text, sizeof(Text), "%02lld:%02lld.%03lld", static_cast<long long>(Ms / 60000),
                  static_cast<long long>(Ms / 1000 % 60), static_cast<long long>(Ms % 1000));
    return Text;
}

std::string ZeroPadded(int64_t Value, int Width) {
    std::string Digits = std::to_string(Value);
    if (static_cast<int>(Digits.size()) < Width) Digits.insert(0, static_cast<size_t>(Width) - Digits.size(), '0');
    return Digits;
}

void ReportError(const std::string& What, const std::string& Why) {
    std::fflush(stdout);
    std::fprintf(stderr, "quavix: %s: %s\n", Printable(What).c_str(), Why.c_str());
}

}  // namespace quavix_cli
