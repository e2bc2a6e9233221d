// Checks shared by the loader tests: the cleared song that every failed load
// leaves, and the promises the loaders make to the mixer about sample data.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sequencer/channel.h"
#include "song/module.h"
#include "support/module_writer.h"

namespace quavix_test {

inline ::testing::AssertionResult IsCleared(const TQuavixModule& M) {
    if (M.Loaded) return ::testing::AssertionFailure() << "still loaded";
    if (!M.Name.empty() || !M.Comment.empty() || !M.Tracker.empty() || M.Format != TQuavixFormat::None || !M.FormatTag.empty() ||
        M.FormatVersion != 0 || M.Behaviours != TQuavixBehaviours())
        return ::testing::AssertionFailure() << "texts, format or behaviours left: \"" << M.Name << "\" "
                                             << QuavixFormatName(M.Format);
    for (const auto& Instrument : M.Instruments)
        if (Instrument) return ::testing::AssertionFailure() << "an instrument is left";
    for (const auto& Pattern : M.Patterns)
        if (!Pattern->Notes.empty() || !Pattern->Name.empty() || Pattern->Rows != 0)
            return ::testing::AssertionFailure() << "a pattern is left";
    for (uint8_t Order : M.Orders)
        if (Order != 0) return ::testing::AssertionFailure() << "orders are left";
    if (M.SongLength != 0 || M.RestartPosition != 0 || M.InitialSpeed != 6 || M.InitialTempo != 125 ||
        !M.LinearSlides || M.ExtendedFilterRange || M.MidiMacrosEmbedded)
        return ::testing::AssertionFailure() << "song settings are left";
    for (const auto& Channel : M.Channels)
        if (!Channel->Name->empty() || Channel->PluginIndex != 0)
            return ::testing::AssertionFailure() << "channel " << Channel->Index << " keeps its name or plug-in";
    if (M.EqualizerData->GetSize() != 0 || M.ExtensionData->GetSize() != 0)
        return ::testing::AssertionFailure() << "stored chunks are left";
    return ::testing::AssertionSuccess();
}

// Every sample's frames lie within its data, and a loop within its frames,
// so the mixer and its guard frames never reach past the allocation.
inline ::testing::AssertionResult SamplesWithinData(const TQuavixModule& M) {
    for (size_t i = 1; i < M.Instruments.size(); ++i) {
        if (!M.Instruments[i]) continue;
        for (size_t s = 0; s < M.Instruments[i]->Samples.size(); ++s) {
            const TQuavixSample* S = M.Instruments[i]->Samples[s].get();
            if (!S) continue;
            auto Fail = [&]() {
                return ::testing::AssertionFailure() << "instrument " << i << " sample " << s << ": length " << S->Length
                                                     << ", values " << S->DataCount() << ", loop " << S->Loop << " "
                                                     << S->LoopStart << "+" << S->LoopLength;
            };
            if (S->NumChannels != 1 && S->NumChannels != 2) return Fail();
            if (S->Length < 0 || static_cast<int64_t>(S->Length) * S->NumChannels > S->DataCount()) return Fail();
            if (!S->Data && S->Length != 0) return Fail();
            if (S->Loop && (S->LoopStart < 0 || S->LoopLength <= 0 ||
                            static_cast<int64_t>(S->LoopStart) + S->LoopLength > S->Length))
                return Fail();
        }
    }
    return ::testing::AssertionSuccess();
}

inline TQuavixPatternNote CellAt(const TQuavixModule& M, int32_t Pattern, int32_t Row, int32_t Channel) {
    TQuavixPatternNote Cell;
    M.Patterns[Pattern]->GetNote(Cell, Row, Channel);
    return Cell;
}

// The values of a sample's frames, interleaved as stored.
inline std::vector<int32_t> Values(const TQuavixSample& S) {
    if (!S.Data) return {};
    return std::vector<int32_t>(S.Data, S.Data + static_cast<size_t>(S.Length) * S.NumChannels);
}

// Points scaled the way 8-bit sources are stored.
inline std::vector<int32_t> Scaled(const std::vector<int32_t>& Points) {
    std::vector<int32_t> Result;
    for (int32_t Point : Points) Result.push_back(Point * 256);
    return Result;
}

}  // namespace quavix_test

inline std::ostream& operator<<(std::ostream& Out, const TQuavixPatternNote& Cell) {
    return Out << "{" << int(Cell.Note) << ", " << int(Cell.Instrument) << ", " << int(Cell.VolumeCommand) << ":" << int(Cell.VolumeParameter) << ", " << int(Cell.Effect) << ", "
               << int(Cell.EffectParameter) << "}";
}
