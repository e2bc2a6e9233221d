#include "player/song_end.h"

#include <algorithm>

#include "player/quavix.h"
#include "sequencer/channel.h"
#include "song/module.h"

void TQuavixSongEnd::Start(int32_t AStopAfter) {
    Played.fill(0);
    LastOrder = -1;
    LoopRow = -1;
    Ends = 0;
    LastEndFrame = -1;
    StopAfter = AStopAfter;
    StopFrame = -1;
    RecentNext = 0;
    RecentCount = 0;
}

bool TQuavixSongEnd::Test(int32_t Order, int32_t Row) const {
    const int32_t Bit = Order * Rows + Row;
    return (Played[Bit >> 6] >> (Bit & 63)) & 1;
}

void TQuavixSongEnd::Mark(int32_t Order, int32_t Row) {
    const int32_t Bit = Order * Rows + Row;
    Played[Bit >> 6] |= uint64_t(1) << (Bit & 63);
}

bool TQuavixSongEnd::AfterTick(const TQuavixModule& Module, int64_t Frame) {
    // The tick counter is 0 exactly on a tick that started a new row; the
    // other ticks, pattern-delay repeats among them, play the same row on.
    if (Module.TickCounter != 0) return false;
    const int32_t Order = Module.PlayingOrder, Row = Module.PlayingRow;
    // No row found (a song without playable patterns): nothing to mark.
    if (Order < 0 || Order >= Orders || Row < 0 || Row >= Rows) return false;
    Recent[static_cast<size_t>(RecentNext)] = {Frame, Order, Row};
    RecentNext = (RecentNext + 1) % RecentRows;
    RecentCount = std::min(RecentCount + 1, RecentRows);

    // A pattern loop jumps back within its order position to its loop row,
    // and its rows play again up to the row that ends the loop. Whether a
    // loop was running is judged by the channels as the previous row left
    // them: the row that ends a loop clears its flag while it plays again.
    // A channel's loop state outlives a jump out of its pattern, so the row
    // must also lie in the same order position, at or after the loop row.
    const bool InLoop = LoopRow >= 0 && Order == LastOrder && Row >= LoopRow;
    LastOrder = Order;
    LoopRow = -1;
    const int32_t Count = Module.NumChannels < TQuavixModule::MaxChannels ? Module.NumChannels
                                                                         : TQuavixModule::MaxChannels;
    for (int32_t i = 0; i < Count; ++i) {
        const TQuavixChannel* Channel = Module.Channels[i].get();
        if (Channel && Channel->PatternLoopActive && (LoopRow < 0 || Channel->PatternLoopRow < LoopRow))
            LoopRow = Channel->PatternLoopRow;
    }

    if (!Test(Order, Row)) {
        Mark(Order, Row);
        return false;
    }
    if (InLoop) return false;
    ++Ends;
    LastEndFrame = Frame;
    if (Ends == StopAfter) StopFrame = Frame;
    Played.fill(0);
    Mark(Order, Row);
    return true;
}

bool TQuavixSongEnd::RowAt(int64_t Frame, int32_t& Order, int32_t& Row) const {
    // Newest first: the first row that began at or before Frame plays there.
    for (int32_t i = 1; i <= RecentCount; ++i) {
        const TRowStart& Start = Recent[static_cast<size_t>((RecentNext - i + RecentRows) % RecentRows)];
        if (Start.Frame <= Frame) {
            Order = Start.Order;
            Row = Start.Row;
            return true;
        }
    }
    return false;
}

void TQuavixSongEnd::AfterSeek(int32_t Order) {
    Played.fill(0);
    // Each order position holds Rows bits: whole words.
    const int32_t Words = std::clamp(Order, 0, Orders) * (Rows / 64);
    std::fill(Played.begin(), Played.begin() + Words, ~uint64_t(0));
    LastOrder = -1;
    LoopRow = -1;
}

std::vector<int64_t> TQuavixSongEnd::Measure(TQuavix& Player, int32_t Passes, int64_t MaxFrames, int32_t StartOrder,
                                             std::vector<int64_t>* OrderStarts) {
    std::vector<int64_t> EndFrames;
    TQuavixSongEnd Watch;
    Watch.Start(Passes);
    TQuavixSongEnd* Watching = Player.SongEndWatch();
    Player.SetSongEnd(nullptr);
    Player.Play();
    if (StartOrder > 0) {
        Player.Module->JumpToOrder(StartOrder);
        Watch.AfterSeek(StartOrder);
    }
    if (OrderStarts) OrderStarts->assign(Orders, -1);
    // Each tick starts where the ticks before it have used their frames, as
    // it does in a render.
    int64_t Frame = 0;
    while (static_cast<int32_t>(EndFrames.size()) < Passes && Frame <= MaxFrames) {
        Player.NextTick();
        if (Watch.AfterTick(*Player.Module, Frame)) EndFrames.push_back(Frame);
        const int32_t Order = Player.Module->PlayingOrder;
        if (OrderStarts && EndFrames.empty() && Order >= 0 && Order < Orders && (*OrderStarts)[Order] < 0)
            (*OrderStarts)[Order] = Frame;
        Frame += Player.SamplesPerTick;
    }
    Player.Stop();
    Player.SetSongEnd(Watching);
    return EndFrames;
}
