// Reading a module file for a subcommand, with a reason a user can act on
// when it does not load.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "player/quavix.h"
#include "player/song_end.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

const char XmIdentification[] = "Extended Module: ";
constexpr size_t XmHeaderSize = 336;
constexpr size_t ModTagOffset = 1080;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A tag at byte 1080 that names a channel count.
bool IsPatternFormatTag(const std::string& Tag) {
    static const char* Fixed[] = {"M.K.", "M!K!", "M&K!", "N.T.", "OCTA", "OKTA", "CD81", "WOW!"};
    for (const char* Name : Fixed)
        if (Tag == Name) return true;
    if (Tag.size() != 4) return false;
    std::string Head = Tag.substr(0, 3), Tail = Tag.substr(2);
    if ((Head == "TDZ" || Head == "FLT" || Head == "EXO") && IsDigit(Tag[3])) return true;
    if (Tag.substr(1) == "CHN" && IsDigit(Tag[0])) return true;
    if ((Tail == "CN" || Tail == "CH") && IsDigit(Tag[0]) && IsDigit(Tag[1])) return true;
    return Tag.compare(0, 2, "EX") == 0 && IsDigit(Tag[2]) && IsDigit(Tag[3]);
}

uint32_t Word(const std::vector<uint8_t>& Data, size_t Offset) { return Data[Offset] | (Data[Offset + 1] << 8); }

// Why data that the loaders refused is not a song, judged from its first bytes.
std::string RefusalReason(const std::vector<uint8_t>& Data) {
    if (Data.empty()) return "empty file, not a module file";
    size_t IdLength = sizeof(XmIdentification) - 1;
    if (Data.size() >= IdLength && std::memcmp(Data.data(), XmIdentification, IdLength) == 0) {
        if (Data.size() < XmHeaderSize) return "damaged Extended Module file: its header is cut short";
        if (Word(Data, 68) > 255) return "unsupported Extended Module file: more than 255 channels";
        if (Word(Data, 72) > 255) return "unsupported Extended Module file: more than 255 instruments";
        return "damaged Extended Module file: a pattern, instrument or sample header is cut short";
    }
    if (Data.size() >= ModTagOffset + 4) {
        std::string Tag(reinterpret_cast<const char*>(Data.data()) + ModTagOffset, 4);
        if (Tag.compare(0, 2, "PP") == 0) return "unsupported pattern-format file (tag \"" + Printable(Tag) + "\")";
        if (IsPatternFormatTag(Tag))
            return "damaged pattern-format file (tag \"" + Tag +
                   "\"): its length does not match its patterns and samples";
    }
    return "not a module file (neither an Extended Module nor a pattern-format file)";
}

// Reads the whole file; false with Reason set when that is not possible.
bool ReadWholeFile(const std::string& Path, std::vector<uint8_t>& Data, std::string& Reason) {
    int Handle = open(Path.c_str(), O_RDONLY);
    if (Handle < 0) {
        Reason = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat Info;
    bool Ok = fstat(Handle, &Info) == 0;
    if (Ok && S_ISDIR(Info.st_mode)) {
        Reason = "is a directory";
        Ok = false;
    } else if (Ok && static_cast<uint64_t>(Info.st_size) >= UINT32_MAX) {
        // The loaders take sizes as 32-bit counts; no module comes near that.
        Reason = "too large to be a module file";
        Ok = false;
    }
    while (Ok) {
        uint8_t Buffer[65536];
        ssize_t Count = read(Handle, Buffer, sizeof(Buffer));
        if (Count < 0 && errno == EINTR) continue;
        if (Count < 0) {
            Reason = std::string("cannot read: ") + std::strerror(errno);
            Ok = false;
        } else if (Count == 0) {
            break;
        } else if (Data.size() + static_cast<size_t>(Count) >= UINT32_MAX) {
            Reason = "too large to be a module file";
            Ok = false;
        } else {
            Data.insert(Data.end(), Buffer, Buffer + Count);
        }
    }
    close(Handle);
    return Ok;
}

}  // namespace

bool ReadModuleData(const std::string& Path, std::vector<uint8_t>& Data, std::string& Reason) {
    Data.clear();
    return ReadWholeFile(Path, Data, Reason);
}

bool LoadModuleData(const std::vector<uint8_t>& Data, TQuavixModule& Module, std::string& Reason) {
    if (Module.LoadFromMemory(Data.data(), static_cast<uint32_t>(Data.size()))) return true;
    Reason = RefusalReason(Data);
    return false;
}

bool LoadModuleFile(const std::string& Path, TQuavixModule& Module, std::string& Reason) {
    std::vector<uint8_t> Data;
    return ReadModuleData(Path, Data, Reason) && LoadModuleData(Data, Module, Reason);
}

std::vector<int64_t> MeasureSong(const std::vector<uint8_t>& Data, int32_t Rate, int32_t Passes, int32_t StartOrder,
                                 std::vector<int64_t>* OrderStarts) {
    // A player of its own: measuring plays the song through, and a rewind
    // does not undo all a song changes.
    std::unique_ptr<TQuavix> Player = TQuavix::CreateOffline(Rate, RenderBufferFrames, true, 16);
    if (!Player->Module->LoadFromMemory(Data.data(), static_cast<uint32_t>(Data.size()))) return {};
    return TQuavixSongEnd::Measure(*Player, Passes, static_cast<int64_t>(MaxSongSeconds) * Player->SampleRate,
                                   StartOrder, OrderStarts);
}

}  // namespace quavix_cli
