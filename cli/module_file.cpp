// Reading a module file for a subcommand; when it does not load, the
// loader's reason is what the user is told.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "player/quavix.h"
#include "player/song_end.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

bool Report(const TQuavixLoadResult& Result, std::string& Reason) {
    if (!Result) Reason = Result.Reason;
    return static_cast<bool>(Result);
}

}  // namespace

bool ReadModuleData(const std::string& Path, std::vector<uint8_t>& Data, std::string& Reason) {
    return Report(TQuavixModule::ReadFile(Path, Data), Reason);
}

bool LoadModuleData(const std::vector<uint8_t>& Data, TQuavixModule& Module, std::string& Reason,
                    std::vector<std::string>* Warnings) {
    TQuavixLoadResult Result = Module.LoadFromMemory(Data.data(), static_cast<uint32_t>(Data.size()));
    if (Warnings) *Warnings = Result.Warnings;
    return Report(Result, Reason);
}

std::string WarningLine(const std::vector<std::string>& Warnings) {
    std::string Line;
    for (const std::string& Warning : Warnings) Line += (Line.empty() ? "" : ", ") + Warning;
    return Line;
}

bool LoadModuleFile(const std::string& Path, TQuavixModule& Module, std::string& Reason) {
    std::vector<uint8_t> Data;
    return ReadModuleData(Path, Data, Reason) && LoadModuleData(Data, Module, Reason);
}

std::vector<int64_t> MeasureSong(const std::vector<uint8_t>& Data, int32_t Rate, int32_t Passes, int32_t StartOrder,
                                 std::vector<int64_t>* OrderStarts) {
    // A player of its own: measuring plays the song through, and a rewind
    // does not undo all a song changes.
    // Measuring needs no sound: interpolation is left unset, which mixes
    // next to nothing.
    TQuavixSettings Settings = TQuavixSettings::Offline(Rate, RenderBufferFrames);
    Settings.Interpolation = TQuavixInterpolation::Unset;
    auto Player = std::make_unique<TQuavix>(Settings);
    if (!Player->Module->LoadFromMemory(Data.data(), static_cast<uint32_t>(Data.size()))) return {};
    return TQuavixSongEnd::Measure(*Player, Passes, static_cast<int64_t>(MaxSongSeconds) * Player->SampleRate(),
                                   StartOrder, OrderStarts);
}

}  // namespace quavix_cli
