// What a song handle of the C interface (quavix/quavix.h) holds: a copy of
// the module file, the player rendering it, the watch that finds its end
// and tells where each frame handed out lies, and what the song is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "player/song_end.h"
#include "player/subsongs.h"
#include "quavix/quavix.h"

struct quavix_song {
    // The module file as opened: the player is loaded from it again when the
    // output channels change, and the song's duration is measured on it.
    std::vector<uint8_t> Data;
    int32_t Rate = 44100;
    int32_t Channels = 2;
    std::unique_ptr<TQuavix> Player;
    TQuavixSongEnd Watch;

    // What the next player would be made with; the player itself follows
    // each change at once.
    TQuavixInterpolation Interpolation = TQuavixInterpolation::Linear;
    int32_t StereoSeparation = 100;
    TQuavixAmigaClock AmigaClock = TQuavixAmigaClock::Ntsc;
    int32_t MasterVolume = 128;
    bool LevelMeters = false;
    // Passes past the first: 0 plays once, -1 for ever. The watch's pass
    // count when the count last started over (the start, a seek).
    int32_t Repeat = 0;
    int32_t PassBase = 0;

    // Rendered or sought: the output channels are fixed from then on.
    bool Started = false;
    // Every frame up to the end has been handed out.
    bool Ended = false;
    // One render of the player: BufferFrames frames, of which those from
    // BufferPosition to BufferLength are still to be handed out.
    // BufferStart is the player's frame count (the watch's frames) at its
    // first frame.
    std::vector<int16_t> Buffer;
    int32_t BufferPosition = 0;
    int32_t BufferLength = 0;
    int64_t BufferStart = 0;
    // An order seek not yet taken by a render: where the position stands.
    int32_t SeekOrder = 0;
    int64_t SeekFrame = 0;

    // What the song is, as the C interface returns it (UTF-8).
    std::string Title, Format, Tracker, Message;
    int32_t ChannelCount = 0;
    int32_t OrderCount = 0;
    std::vector<std::string> InstrumentNames, SampleNames;
    // Measured when first asked: the subsongs, and for the song from its
    // start the frame at which each order position is first reached.
    bool Measured = false;
    std::vector<TQuavixSubsong> Subsongs;
    std::vector<int64_t> OrderStarts;

    quavix_error LastError{};
};

namespace quavix_c_api {

// The frames of one player render.
constexpr int32_t RenderFrames = 4096;

// Fills an error (when not null): code and text.
void FillError(quavix_error* Error, int Code, const std::string& Text);
// The song's last error; returns Code.
int Fail(quavix_song* Song, int Code, const std::string& Text);
// Clears the song's last error; returns QUAVIX_OK.
int Succeed(quavix_song* Song);
// Makes the song's player anew, as its settings say, from the start of the
// song; false with Reason set when the song does not load.
bool MakePlayer(quavix_song& Song, std::string& Reason, int& Code);
// Measures the song's subsongs and order starts, once.
void Measure(quavix_song& Song);
// Starts the count of passes over: the song ends after Repeat more passes
// from here.
void ArmEnd(quavix_song& Song, bool StartOver);

// Renders and drops up to Frames frames, as a render hands them out;
// returns the frames dropped (fewer at the song's end).
size_t Skip(quavix_song& Song, size_t Frames);

}  // namespace quavix_c_api
