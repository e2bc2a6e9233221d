// The C interface: where the song stands, seeking, and its channels' mutes
// and levels.
#include <algorithm>
#include <cmath>

#include "player/c_api_song.h"
#include "song/module.h"

namespace quavix_c_api {

namespace {

// The frame, counted as the song's watch counts them, of the next frame to
// be handed out.
int64_t NextFrame(const quavix_song& Song) { return Song.BufferStart + Song.BufferPosition; }

// The song time of the first row of order position Order, as the song from
// its start reaches it: where it first reaches that order, or the nearest
// order before it that it reaches.
int64_t OrderTime(const quavix_song& Song, int32_t Order) {
    for (int32_t o = std::min<int32_t>(Order, static_cast<int32_t>(Song.OrderStarts.size()) - 1); o >= 0; --o)
        if (Song.OrderStarts[static_cast<size_t>(o)] >= 0) return Song.OrderStarts[static_cast<size_t>(o)];
    return 0;
}

// Jumps to row 0 of Order at song time Frame, drops what was rendered ahead,
// and starts the count of passes over.
void JumpTo(quavix_song& Song, int32_t Order, int64_t Frame) {
    Song.Started = true;
    Song.Player->RequestSeek(Order, Frame);
    Song.SeekOrder = Order;
    Song.SeekFrame = Frame;
    // The next render starts where this one ended, in the watch's count.
    Song.BufferStart += Song.BufferLength;
    Song.BufferPosition = Song.BufferLength = 0;
    ArmEnd(Song, true);
}

bool ChannelInRange(quavix_song* Song, int Channel) {
    if (Channel >= 0 && Channel < Song->ChannelCount) return true;
    Fail(Song, QUAVIX_ERROR_ARGUMENT,
         "channel " + std::to_string(Channel) + ": the song has channels 0 to " + std::to_string(Song->ChannelCount - 1));
    return false;
}

}  // namespace

}  // namespace quavix_c_api

using namespace quavix_c_api;

extern "C" {

int quavix_position_order(const quavix_song* song) {
    if (!song) return -1;
    if (song->Player->SeekPending()) return song->SeekOrder;
    int32_t Order = -1, Row = -1;
    song->Watch.RowAt(NextFrame(*song), Order, Row);
    return Order;
}

int quavix_position_row(const quavix_song* song) {
    if (!song) return -1;
    if (song->Player->SeekPending()) return 0;
    int32_t Order = -1, Row = -1;
    song->Watch.RowAt(NextFrame(*song), Order, Row);
    return Row;
}

int64_t quavix_position_frames(const quavix_song* song) {
    if (!song) return 0;
    if (song->Player->SeekPending()) return song->SeekFrame;
    // The song time runs on with every render; what is not handed out yet
    // lies ahead.
    return song->Player->SongTime() - (song->BufferLength - song->BufferPosition);
}

double quavix_position_seconds(const quavix_song* song) {
    if (!song) return 0.0;
    return static_cast<double>(quavix_position_frames(song)) / song->Rate;
}

int quavix_seek_order(quavix_song* song, int order) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    if (order < 0 || order >= song->OrderCount)
        return Fail(song, QUAVIX_ERROR_ARGUMENT,
                    "order " + std::to_string(order) + ": the song has orders 0 to " + std::to_string(song->OrderCount - 1));
    Measure(*song);
    JumpTo(*song, order, OrderTime(*song, order));
    return Succeed(song);
}

int quavix_seek_frames(quavix_song* song, int64_t frame) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    Measure(*song);
    const int64_t Duration = song->Subsongs[0].DurationFrames;
    const int64_t Last = Duration >= 0 ? Duration : static_cast<int64_t>(QuavixMaxSongSeconds) * song->Rate;
    if (frame < 0 || frame > Last)
        return Fail(song, QUAVIX_ERROR_ARGUMENT,
                    "frame " + std::to_string(frame) + ": give 0 to the song's length, " + std::to_string(Last) + " frames");
    if (song->OrderCount <= 0) return Fail(song, QUAVIX_ERROR_STATE, "the song has no orders to seek in");
    // The order playing at that time: the one reached last at or before it.
    int32_t Order = 0;
    int64_t Start = -1;
    for (size_t o = 0; o < song->OrderStarts.size() && o < static_cast<size_t>(song->OrderCount); ++o) {
        const int64_t At = song->OrderStarts[o];
        if (At >= 0 && At <= frame && At > Start) {
            Start = At;
            Order = static_cast<int32_t>(o);
        }
    }
    if (Start < 0) Start = 0;
    JumpTo(*song, Order, Start);
    // Up to the very frame: the render takes the jump, and the frames before
    // the time asked for are dropped.
    Skip(*song, static_cast<size_t>(frame - Start));
    return Succeed(song);
}

int quavix_seek_seconds(quavix_song* song, double seconds) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    if (!std::isfinite(seconds) || seconds < 0 || seconds > QuavixMaxSongSeconds)
        return Fail(song, QUAVIX_ERROR_ARGUMENT, "time " + std::to_string(seconds) + " s is out of range");
    return quavix_seek_frames(song, std::llround(seconds * song->Rate));
}

int quavix_set_channel_muted(quavix_song* song, int channel, int muted) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    if (!ChannelInRange(song, channel)) return QUAVIX_ERROR_ARGUMENT;
    song->Player->SetChannelMuted(channel, muted != 0);
    return Succeed(song);
}

int quavix_channel_muted(const quavix_song* song, int channel) {
    return song && song->Player->ChannelMuted(channel) ? 1 : 0;
}

int quavix_set_level_meters(quavix_song* song, int on) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    song->LevelMeters = on != 0;
    song->Player->SetMeasureLevels(song->LevelMeters);
    return Succeed(song);
}

int quavix_channel_level(quavix_song* song, int channel) {
    if (!song) return 0;
    if (!ChannelInRange(song, channel)) return 0;
    Succeed(song);
    return std::min(song->Player->TakeChannelPeak(channel), 32768);
}

}  // extern "C"
