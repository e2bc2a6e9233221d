// The C interface: rendering in each output format, and the settings.
#include <algorithm>
#include <new>

#include "player/c_api_song.h"
#include "song/module.h"

namespace quavix_c_api {

// Hands out up to Frames frames of the song, as 16-bit values, to Take
// (called with the values, the count of frames, and the frames handed out
// before them), rendering as needed; stops at the song's end. Returns the
// frames handed out.
template <typename TTake>
size_t HandOut(quavix_song& Song, size_t Frames, TTake&& Take) {
    size_t Done = 0;
    const int32_t Channels = Song.Channels;
    while (Done < Frames && !Song.Ended) {
        if (Song.BufferPosition == Song.BufferLength) {
            Song.Player->Render(Song.Buffer.data());
            Song.BufferStart = Song.Player->PlayedFrameCount() - RenderFrames;
            Song.BufferPosition = 0;
            Song.BufferLength = RenderFrames;
        }
        // The end may lie in this render: nothing after it is handed out.
        int64_t Limit = Song.BufferLength;
        const int64_t Stop = Song.Watch.StopFrame.load();
        if (Stop >= 0) Limit = std::min<int64_t>(Limit, Stop - Song.BufferStart);
        if (Limit <= Song.BufferPosition) {
            Song.Ended = true;
            break;
        }
        const size_t Count = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(Frames - Done), Limit - Song.BufferPosition));
        Take(Song.Buffer.data() + static_cast<size_t>(Song.BufferPosition) * static_cast<size_t>(Channels), Count, Done);
        Song.BufferPosition += static_cast<int32_t>(Count);
        Done += Count;
    }
    return Done;
}

size_t Skip(quavix_song& Song, size_t Frames) {
    return HandOut(Song, Frames, [](const int16_t*, size_t, size_t) {});
}

namespace {

// The checks every render makes; false with the song's error set.
bool CanRender(quavix_song* Song, const void* Out, size_t Frames) {
    if (!Song) return false;
    if (!Out && Frames > 0) {
        Fail(Song, QUAVIX_ERROR_ARGUMENT, "no buffer to render into (a NULL pointer)");
        return false;
    }
    Song->Started = true;
    Succeed(Song);
    return true;
}

}  // namespace

}  // namespace quavix_c_api

using namespace quavix_c_api;

extern "C" {

size_t quavix_render_s16(quavix_song* song, int16_t* interleaved_stereo, size_t frames) {
    if (!CanRender(song, interleaved_stereo, frames)) return 0;
    const size_t Channels = static_cast<size_t>(song->Channels);
    return HandOut(*song, frames, [&](const int16_t* Values, size_t Count, size_t Before) {
        std::copy(Values, Values + Count * Channels, interleaved_stereo + Before * Channels);
    });
}

size_t quavix_render_u8(quavix_song* song, uint8_t* interleaved, size_t frames) {
    if (!CanRender(song, interleaved, frames)) return 0;
    const size_t Channels = static_cast<size_t>(song->Channels);
    return HandOut(*song, frames, [&](const int16_t* Values, size_t Count, size_t Before) {
        uint8_t* Out = interleaved + Before * Channels;
        for (size_t i = 0; i < Count * Channels; ++i) Out[i] = TQuavix::Sample16To8(Values[i]);
    });
}

size_t quavix_render_float(quavix_song* song, float* interleaved, size_t frames) {
    if (!CanRender(song, interleaved, frames)) return 0;
    const size_t Channels = static_cast<size_t>(song->Channels);
    return HandOut(*song, frames, [&](const int16_t* Values, size_t Count, size_t Before) {
        float* Out = interleaved + Before * Channels;
        for (size_t i = 0; i < Count * Channels; ++i) Out[i] = static_cast<float>(Values[i]) / 32768.0f;
    });
}

int quavix_set_channels(quavix_song* song, int channels) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    if (channels != 1 && channels != 2)
        return Fail(song, QUAVIX_ERROR_ARGUMENT, "channels " + std::to_string(channels) + ": give 1 (mono) or 2 (stereo)");
    if (channels == song->Channels) return Succeed(song);
    if (song->Started)
        return Fail(song, QUAVIX_ERROR_STATE,
                    "the output channels are chosen before the first render or seek; open the song again");
    const int32_t Before = song->Channels;
    song->Channels = channels;
    std::string Reason;
    int Code = QUAVIX_OK;
    try {
        if (MakePlayer(*song, Reason, Code)) return Succeed(song);
    } catch (const std::bad_alloc&) {
        Code = QUAVIX_ERROR_TOO_LARGE;
        Reason = "too large a song: more memory than there is";
    }
    song->Channels = Before;
    return Fail(song, Code, Reason);
}

int quavix_channels(const quavix_song* song) { return song ? song->Channels : 0; }

int quavix_set_repeat(quavix_song* song, int count) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    if (count < -1) return Fail(song, QUAVIX_ERROR_ARGUMENT, "repeat count " + std::to_string(count) + ": give -1 (for ever) or more");
    song->Repeat = count;
    ArmEnd(*song, false);
    return Succeed(song);
}

int quavix_set_interpolation(quavix_song* song, int interpolation) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    switch (interpolation) {
        case QUAVIX_INTERPOLATION_NONE: song->Interpolation = TQuavixInterpolation::None; break;
        case QUAVIX_INTERPOLATION_LINEAR: song->Interpolation = TQuavixInterpolation::Linear; break;
        case QUAVIX_INTERPOLATION_CUBIC: song->Interpolation = TQuavixInterpolation::Cubic; break;
        case QUAVIX_INTERPOLATION_SINC: song->Interpolation = TQuavixInterpolation::Sinc; break;
        default:
            return Fail(song, QUAVIX_ERROR_ARGUMENT, "interpolation " + std::to_string(interpolation) + " is none of QUAVIX_INTERPOLATION_*");
    }
    song->Player->Interpolation = song->Interpolation;
    return Succeed(song);
}

int quavix_set_stereo_separation(quavix_song* song, int percent) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    if (percent < 0 || percent > 200)
        return Fail(song, QUAVIX_ERROR_ARGUMENT, "stereo separation " + std::to_string(percent) + " %: give 0 to 200");
    song->StereoSeparation = percent;
    song->Player->Module->StereoSeparation = percent;
    return Succeed(song);
}

int quavix_set_amiga_clock(quavix_song* song, int clock) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    if (clock != QUAVIX_AMIGA_CLOCK_NTSC && clock != QUAVIX_AMIGA_CLOCK_PAL)
        return Fail(song, QUAVIX_ERROR_ARGUMENT, "Amiga clock " + std::to_string(clock) + " is none of QUAVIX_AMIGA_CLOCK_*");
    song->AmigaClock = clock == QUAVIX_AMIGA_CLOCK_PAL ? TQuavixAmigaClock::Pal : TQuavixAmigaClock::Ntsc;
    song->Player->Module->AmigaClock = song->AmigaClock;
    return Succeed(song);
}

int quavix_set_master_volume(quavix_song* song, int volume) {
    if (!song) return QUAVIX_ERROR_ARGUMENT;
    if (volume < 0 || volume > 256)
        return Fail(song, QUAVIX_ERROR_ARGUMENT, "master volume " + std::to_string(volume) + ": give 0 to 256");
    song->MasterVolume = volume;
    song->Player->Module->MasterVolume = volume;
    return Succeed(song);
}

}  // extern "C"
