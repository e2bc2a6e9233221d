#include "player/subsongs.h"

#include <algorithm>
#include <memory>

#include "player/quavix.h"
#include "player/song_end.h"
#include "song/module.h"

std::vector<int64_t> QuavixMeasureSong(const uint8_t* Data, size_t Size, int32_t Rate, int32_t Passes,
                                       int32_t StartOrder, std::vector<int64_t>* OrderStarts) {
    // A player of its own: measuring plays the song through, and a rewind
    // does not undo all a song changes. Measuring needs no sound:
    // interpolation is left unset, which mixes next to nothing.
    TQuavixSettings Settings = TQuavixSettings::Offline(Rate);
    Settings.Interpolation = TQuavixInterpolation::Unset;
    auto Player = std::make_unique<TQuavix>(Settings);
    if (Size > UINT32_MAX || !Player->Module->LoadFromMemory(Data, static_cast<uint32_t>(Size))) return {};
    return TQuavixSongEnd::Measure(*Player, Passes, static_cast<int64_t>(QuavixMaxSongSeconds) * Player->SampleRate(),
                                   StartOrder, OrderStarts);
}

std::vector<TQuavixSubsong> QuavixFindSubsongs(const uint8_t* Data, size_t Size, int32_t Rate,
                                               std::vector<int64_t>* FirstOrderStarts) {
    std::vector<TQuavixSubsong> Subsongs;
    if (FirstOrderStarts) FirstOrderStarts->clear();
    auto Song = std::make_unique<TQuavixModule>();
    if (Size > UINT32_MAX || !Song->LoadFromMemory(Data, static_cast<uint32_t>(Size))) return Subsongs;
    const int32_t Length = std::min(Song->SongLength, TQuavixModule::MaxOrders);
    // The first subsong starts at the song's start; each next one at the
    // first order position that no subsong before it reached.
    std::vector<bool> Reached(static_cast<size_t>(std::max(Length, 0)), false);
    for (int32_t First = 0; First < Length;) {
        TQuavixSubsong Subsong;
        Subsong.FirstOrder = First;
        std::vector<int64_t> OrderStarts;
        const std::vector<int64_t> Ends = QuavixMeasureSong(Data, Size, Rate, 1, First, &OrderStarts);
        if (!Ends.empty()) Subsong.DurationFrames = Ends[0];
        if (Subsongs.empty() && FirstOrderStarts) *FirstOrderStarts = OrderStarts;
        Subsongs.push_back(Subsong);
        Reached[static_cast<size_t>(First)] = true;
        for (int32_t Order = 0; Order < Length && Order < static_cast<int32_t>(OrderStarts.size()); ++Order)
            if (OrderStarts[static_cast<size_t>(Order)] >= 0) Reached[static_cast<size_t>(Order)] = true;
        while (First < Length && Reached[static_cast<size_t>(First)]) ++First;
    }
    if (Subsongs.empty()) Subsongs.push_back(TQuavixSubsong());
    return Subsongs;
}
