// The songs within a song. Game songs often keep several tunes in one order
// list, each reached by a jump of the game and never by playing from the
// start; each ends where it comes back to a row it played, usually with a
// jump back to its own first order.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "cli.h"
#include "song/module.h"

namespace quavix_cli {

std::vector<TSubsong> FindSubsongs(const std::vector<uint8_t>& Data, int32_t Rate) {
    std::vector<TSubsong> Subsongs;
    TQuavixModule Song;
    if (!Song.LoadFromMemory(Data.data(), static_cast<uint32_t>(Data.size()))) return Subsongs;
    const int32_t Length = std::min(Song.SongLength, TQuavixModule::MaxOrders);
    // The first subsong starts at the song's start; each next one at the
    // first order position that no subsong before it reached.
    std::vector<bool> Reached(static_cast<size_t>(std::max(Length, 0)), false);
    for (int32_t First = 0; First < Length;) {
        TSubsong Subsong;
        Subsong.FirstOrder = First;
        std::vector<int64_t> OrderStarts;
        const std::vector<int64_t> Ends = MeasureSong(Data, Rate, 1, First, &OrderStarts);
        if (!Ends.empty()) Subsong.DurationFrames = Ends[0];
        Subsongs.push_back(Subsong);
        Reached[static_cast<size_t>(First)] = true;
        for (int32_t Order = 0; Order < Length && Order < static_cast<int32_t>(OrderStarts.size()); ++Order)
            if (OrderStarts[static_cast<size_t>(Order)] >= 0) Reached[static_cast<size_t>(Order)] = true;
        while (First < Length && Reached[static_cast<size_t>(First)]) ++First;
    }
    if (Subsongs.empty()) Subsongs.push_back(TSubsong());
    return Subsongs;
}

}  // namespace quavix_cli
