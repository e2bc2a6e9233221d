// Text for the terminal and for JSON output.
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli.h"

namespace quavix_cli {

namespace {

// Length of the well-formed UTF-8 sequence at Pos, or 0 when there is none.
size_t Utf8SequenceLength(const std::string& Text, size_t Pos) {
    auto Byte = [&](size_t i) { return static_cast<uint8_t>(Text[i]); };
    uint8_t Lead = Byte(Pos);
    size_t Length;
    uint32_t Min;
    if (Lead >= 0xC2 && Lead <= 0xDF) {
        Length = 2;
        Min = 0x80;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
        Length = 3;
        Min = 0x800;
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
        Length = 4;
        Min = 0x10000;
    } else {
        return 0;
    }
    if (Pos + Length > Text.size()) return 0;
    uint32_t Code = Lead & (0x7F >> Length);
    for (size_t i = 1; i < Length; ++i) {
        if ((Byte(Pos + i) & 0xC0) != 0x80) return 0;
        Code = (Code << 6) | (Byte(Pos + i) & 0x3F);
    }
    // No overlong forms, surrogates or code points beyond Unicode.
    if (Code < Min || (Code >= 0xD800 && Code <= 0xDFFF) || Code > 0x10FFFF) return 0;
    return Length;
}

}  // namespace

std::string ToUtf8(const std::string& Text) {
    std::string Out;
    for (size_t Pos = 0; Pos < Text.size();) {
        uint8_t Byte = static_cast<uint8_t>(Text[Pos]);
        if (Byte < 0x80) {
            Out += static_cast<char>(Byte);
            ++Pos;
            continue;
        }
        size_t Length = Utf8SequenceLength(Text, Pos);
        if (Length > 0) {
            Out.append(Text, Pos, Length);
            Pos += Length;
        } else {
            // A stray high byte: the Latin-1 character of that number.
            Out += static_cast<char>(0xC0 | (Byte >> 6));
            Out += static_cast<char>(0x80 | (Byte & 0x3F));
            ++Pos;
        }
    }
    return Out;
}

std::string Printable(const std::string& Text) {
    std::string Out = Text;
    for (char& c : Out)
        if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) c = '?';
    return Out;
}

std::string ClockTime(int64_t Frames, int32_t Rate) {
    const int64_t Ms = Rate > 0 ? (Frames * 1000 + Rate / 2) / Rate : 0;
    char Text[32];
    std::snprintf(Text, sizeof(Text), "%02lld:%02lld.%03lld", static_cast<long long>(Ms / 60000),
                  static_cast<long long>(Ms / 1000 % 60), static_cast<long long>(Ms % 1000));
    return Text;
}

void ReportError(const std::string& What, const std::string& Why) {
    std::fflush(stdout);
    std::fprintf(stderr, "quavix: %s: %s\n", Printable(What).c_str(), Why.c_str());
}

}  // namespace quavix_cli
