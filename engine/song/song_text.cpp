#include "song/song_text.h"

#include <cstddef>
#include <cstdint>

namespace {

// Length of the well-formed UTF-8 sequence at Pos, or 0 when there is none
// (no overlong forms, surrogates or code points past Unicode).
size_t Utf8SequenceLength(const std::string& Text, size_t Pos) {
    auto Byte = [&](size_t i) { return static_cast<uint8_t>(Text[i]); };
    const uint8_t Lead = Byte(Pos);
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
    if (Code < Min || (Code >= 0xD800 && Code <= 0xDFFF) || Code > 0x10FFFF) return 0;
    return Length;
}

}  // namespace

std::string SongTextToUtf8(const std::string& Text, bool ReplaceControls) {
    std::string Out;
    for (size_t Pos = 0; Pos < Text.size();) {
        const uint8_t Byte = static_cast<uint8_t>(Text[Pos]);
        if (Byte >= 0x80) {
            if (size_t Length = Utf8SequenceLength(Text, Pos)) {
                Out.append(Text, Pos, Length);
                Pos += Length;
                continue;
            }
            if (ReplaceControls && Byte < 0xA0) {
                Out += '?';  // a Latin-1 control character
            } else {
                // The Latin-1 character: U+0080..U+00FF in two UTF-8 bytes.
                Out += static_cast<char>(0xC0 | (Byte >> 6));
                Out += static_cast<char>(0x80 | (Byte & 0x3F));
            }
        } else if (ReplaceControls && (Byte < 0x20 || Byte == 0x7F)) {
            Out += '?';
        } else {
            Out += static_cast<char>(Byte);
        }
        ++Pos;
    }
    return Out;
}

std::string QuavixTrimBlanks(const std::string& Text) {
    auto Blank = [](char c) { return static_cast<uint8_t>(c) <= 32; };
    size_t First = 0;
    while (First < Text.size() && Blank(Text[First])) ++First;
    size_t Last = Text.size();
    while (Last > First && Blank(Text[Last - 1])) --Last;
    return Text.substr(First, Last - First);
}

std::vector<std::string> QuavixMessageLines(const std::string& Text) {
    std::vector<std::string> Result(1);
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\r' || Text[i] == '\n') {
            if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
            Result.emplace_back();
        } else {
            Result.back() += Text[i];
        }
    }
    while (!Result.empty() && Result.back().empty()) Result.pop_back();
    return Result;
}
