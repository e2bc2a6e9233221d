// Where a song ends. Playback itself never ends: past the last order the
// sequencer goes on at the restart position, and a backward jump repeats
// part of the song. A song has ended the first time the sequencer starts a
// row it has already played in the current pass, unless a pattern loop is
// repeating its section. The next pass begins with that row.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class TQuavix;
class TQuavixModule;

class TQuavixSongEnd {
public:
    // Forgets every row played: call before playback starts from the
    // beginning. StopFrame will hold where pass number StopAfter ends.
    void Start(int32_t AStopAfter = 1);
    // Call after each tick, with the frame at which the tick began. True when
    // this tick started a row already played in the current pass outside a
    // pattern loop: the pass has ended there, and a new one begins with this
    // row.
    bool AfterTick(const TQuavixModule& Module, int64_t Frame);
    // Call when playback has jumped to the start of order position Order:
    // the rows of the orders before it count as played in this pass, and
    // those from it on as not, so that the pass goes on from there and ends
    // where the song next comes back to a row it played since, or to an
    // order before the one jumped to.
    void AfterSeek(int32_t Order);
    // Passes ended since Start; the frame where the last one ended, and where
    // pass number StopAfter ended (-1 until they have).
    int32_t Ends = 0;
    int64_t LastEndFrame = -1;
    int32_t StopAfter = 1;
    // Written on the thread that renders, readable on any other.
    std::atomic<int64_t> StopFrame{-1};

    // The order position and row that play at Frame (a frame AfterTick could
    // have been given), from the rows started lately: an owner that hands a
    // render's frames out bit by bit tells where each bit lies. False when
    // no remembered row started at or before Frame.
    bool RowAt(int64_t Frame, int32_t& Order, int32_t& Row) const;

    // Plays the loaded song of Player from its beginning, tick by tick and
    // without mixing (the order of rows does not depend on the mix, so the
    // ends fall where a render finds them), and
    // returns the frame at which each of the first Passes passes ends; fewer
    // when the song does not end within MaxFrames. The player is rewound and
    // left stopped: give it a player of its own, since a rewind does not
    // restore everything a song changes (its global volume). With StartOrder
    // the song starts at that order position, as after a seek there.
    // OrderStarts, when given, gets one frame per order position: where the
    // first pass first started a row of it, or -1 where it never did.
    static std::vector<int64_t> Measure(TQuavix& Player, int32_t Passes, int64_t MaxFrames, int32_t StartOrder = 0,
                                        std::vector<int64_t>* OrderStarts = nullptr);

private:
    static constexpr int32_t Orders = 256;
    static constexpr int32_t Rows = 256;
    // One bit per order position and row played in the current pass.
    std::array<uint64_t, Orders * Rows / 64> Played{};
    // The order position of the last row started, and the lowest loop row of
    // the channels whose pattern loop was running after it (-1: none).
    int32_t LastOrder = -1;
    int32_t LoopRow = -1;

    // The last RecentRows rows started, each with the frame it began at;
    // RecentNext is where the next one goes, RecentCount how many there are.
    struct TRowStart {
        int64_t Frame;
        int32_t Order;
        int32_t Row;
    };
    static constexpr int32_t RecentRows = 256;
    std::array<TRowStart, RecentRows> Recent{};
    int32_t RecentNext = 0;
    int32_t RecentCount = 0;

    bool Test(int32_t Order, int32_t Row) const;
    void Mark(int32_t Order, int32_t Row);
};
