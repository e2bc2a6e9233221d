// How long a song plays, and the songs within a song. Game songs often keep
// several tunes in one order list, each reached by a jump of the game and
// never by playing from the start; each ends where it comes back to a row it
// played, usually with a jump back to its own first order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The longest a song plays when it is rendered or measured until its end:
// a song that never comes back to a row it played stops there.
constexpr int32_t QuavixMaxSongSeconds = 30 * 60;

// The frames at which the first Passes passes of the song in Data end, played
// at Rate from the start of order position StartOrder; fewer when it does not
// end within QuavixMaxSongSeconds, none when the data does not load.
// OrderStarts, when given, gets for each order position the frame at which
// the first pass first reached it (-1: never).
std::vector<int64_t> QuavixMeasureSong(const uint8_t* Data, size_t Size, int32_t Rate, int32_t Passes,
                                       int32_t StartOrder = 0, std::vector<int64_t>* OrderStarts = nullptr);

// One of the songs that share a song's order list: where it starts and how
// long it plays until it comes back to a row it played (-1: it does not end
// within QuavixMaxSongSeconds), in frames at the rate it was measured at.
struct TQuavixSubsong {
    int32_t FirstOrder = 0;
    int64_t DurationFrames = -1;
};
// The subsongs of the song in Data, measured at Rate: the first starts at the
// song's start, and each next one at the first order position that no
// subsong before it reached. At least one, even for a song that has no
// orders; none when the data does not load. FirstOrderStarts, when given, gets the first subsong's OrderStarts
// (see QuavixMeasureSong).
std::vector<TQuavixSubsong> QuavixFindSubsongs(const uint8_t* Data, size_t Size, int32_t Rate,
                                               std::vector<int64_t>* FirstOrderStarts = nullptr);
