// What the window does with a player, without the window: opening a file
// with the window's player settings, stopping, and the text the frame shows.
// All of it runs on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TQuavix;

namespace quavix_shell {

// The frame's label while nothing plays.
constexpr const char* NoTrackLabel = "No track loaded";

// The player settings of the window: 44100 Hz, 4096-frame buffers, four
// buffers, stereo, 10 ms writer sleep, 16-bit output, no prefill; then
// linear interpolation, clipping and the normal master volume.
constexpr int32_t PlayerSampleRate = 44100;
constexpr int32_t PlayerBufferFrames = 4096;
constexpr int32_t PlayerBufferCount = 4;
constexpr bool PlayerStereo = true;
constexpr int32_t PlayerWriterSleepMs = 10;
constexpr int32_t PlayerBits = 16;
constexpr int32_t PlayerPrefillBuffers = 0;
constexpr uint8_t PlayerInterpolation = 1;
constexpr uint8_t PlayerClipping = 1;
constexpr int32_t PlayerMasterVolume = 128;

// The window's player and the folder of the last file chosen (with its
// trailing "/", empty while none is remembered).
struct TShellSession {
    std::unique_ptr<TQuavix> Player;
    std::string LastPath;

    TShellSession();
    ~TShellSession();
    TShellSession(const TShellSession&) = delete;
    TShellSession& operator=(const TShellSession&) = delete;
};

// Stops and destroys the player, if there is one; errors raised while doing
// so are ignored. Afterwards there is no player.
void StopTrack(TShellSession& Session);

// Opens a chosen file: the previous player is stopped and destroyed, the
// file's folder is remembered, and a fresh player loads the file and plays
// it. Returns the frame's new label: the song's title, its file name when
// the title is blank, or NoTrackLabel when the file does not load (then
// there is no player).
std::string OpenTrack(TShellSession& Session, const std::string& FileName);

// The label of a loaded song: its title as stored when the title holds more
// than blanks, else the file part of FileName.
std::string TrackLabel(const std::string& Title, const std::string& FileName);

// Text made fit for a GTK label, which takes UTF-8 only: well-formed UTF-8
// stays, other bytes are read as Latin-1 (as older trackers stored names),
// and control characters show as "?".
std::string DisplayText(const std::string& Text);

// The about box: seven lines, each ended by "\r\n".
extern const char* const AboutText;

}  // namespace quavix_shell
