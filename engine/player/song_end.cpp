#include "player/song_end.h"

#include "player/quavix.h"
#include "sequencer/channel.h"
#include "song/module.h"

void TQuavixSongEnd::Start() {
    Played.fill(0);
    LastOrder = -1;
    Ends = 0;
}

bool TQuavixSongEnd::Test(int32_t Order, int32_t Row) const {
    const int32_t Bit = Order * Rows + Row;
    return (Played[Bit >> 6] >> (Bit & 63)) & 1;
}

void TQuavixSongEnd::Mark(int32_t Order, int32_t Row) {
    const int32_t Bit = Order * Rows + Row;
    Played[Bit >> 6] |= uint64_t(1) << (Bit & 63);
}

bool TQuavixSongEnd::AfterTick(const TQuavixModule& Module) {
    // The tick counter is 0 exactly on a tick that started a new row; the
    // other ticks, pattern-delay repeats among them, play the same row on.
    if (Module.TickCounter != 0) return false;
    const int32_t Order = Module.PlayingOrder, Row = Module.PlayingRow;
    // No row found (a song without playable patterns): nothing to mark.
    if (Order < 0 || Order >= Orders || Row < 0 || Row >= Rows) return false;
    const int32_t PreviousOrder = LastOrder;
    LastOrder = Order;
    if (!Test(Order, Row)) {
        Mark(Order, Row);
        return false;
    }
    // A pattern loop jumps back within its order position to its loop row.
    // A channel's loop state outlives a jump out of its pattern, so an active
    // flag alone would also hide a real end; the loop must lead back to this
    // very row of the same order position.
    const int32_t Count = Module.NumChannels < TQuavixModule::MaxChannels ? Module.NumChannels
                                                                         : TQuavixModule::MaxChannels;
    for (int32_t i = 0; i < Count; ++i) {
        const TQuavixChannel* Channel = Module.Channels[i].get();
        if (Channel && Channel->PatternLoopActive && Channel->PatternLoopRow == Row && Order == PreviousOrder)
            return false;
    }
    ++Ends;
    Played.fill(0);
    Mark(Order, Row);
    return true;
}

std::vector<int64_t> TQuavixSongEnd::Measure(TQuavix& Player, int32_t Passes, int64_t MaxFrames) {
    std::vector<int64_t> EndFrames;
    TQuavixSongEnd Watch;
    Watch.Start();
    Player.Play();
    // Each tick starts where the ticks before it have used their frames, as
    // it does in a render.
    int64_t Frame = 0;
    while (static_cast<int32_t>(EndFrames.size()) < Passes && Frame <= MaxFrames) {
        Player.NextTick();
        if (Watch.AfterTick(*Player.Module)) EndFrames.push_back(Frame);
        Frame += Player.SamplesPerTick;
    }
    Player.Stop();
    return EndFrames;
}
