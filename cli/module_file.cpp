// Reading a module file for a subcommand; when it does not load, the
// loader's reason is what the user is told.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "player/subsongs.h"
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
    return QuavixMeasureSong(Data.data(), Data.size(), Rate, Passes, StartOrder, OrderStarts);
}

}  // namespace quavix_cli
