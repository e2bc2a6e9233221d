// The playback logic of quavix play, apart from the terminal: what the keys
// mean, pausing, seeking to other orders with the song time kept true,
// mutes, the master volume, and when a song is over. Everything here works
// on a player and its song, so it is tested without a terminal or a device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/song_end.h"

class TQuavix;

namespace quavix_cli {

// What a key asks for (xmp's keys).
enum class TPlayAction {
    Quit,           // q, Esc
    Pause,          // space: pause or resume
    NextOrder,      // f, right arrow
    PreviousOrder,  // b, left arrow
    NextFile,       // n, up arrow
    PreviousFile,   // p, down arrow
    ToggleMute,     // 1..9, 0: channels 1..10
    UnmuteAll,      // !
    VolumeUp,       // +
    VolumeDown,     // -
    Help,           // h, ?
};

struct TPlayKey {
    TPlayAction Action = TPlayAction::Quit;
    int32_t Channel = 0;  // ToggleMute: the channel, from 0
};

// The key list that h shows, one line per key.
std::vector<std::string> KeyHelp();

// Turns the bytes a terminal sends into keys. Arrow keys come as escape
// sequences (Esc [ A, or Esc O A); Esc alone is a key of its own, told apart
// by nothing following it: Idle settles an Esc that ended the last read.
class TKeyDecoder {
public:
    void Feed(const char* Bytes, size_t Count, std::vector<TPlayKey>& Keys);
    // No byte came for a while.
    void Idle(std::vector<TPlayKey>& Keys);

private:
    std::string Pending;  // an escape sequence begun
};

// How a song's play ended.
enum class TPlayOutcome { Playing, Ended, Quit, NextFile, PreviousFile };

// The master volume as the status line shows it, in percent of the window's
// 128, changed by + and - in steps of 10 up to 200% (the player's 256).
class TPlayVolume {
public:
    int32_t Percent = 100;
    void Up() { Percent = Percent + Step > Most ? Most : Percent + Step; }
    void Down() { Percent = Percent - Step < 0 ? 0 : Percent - Step; }
    int32_t MasterVolume() const { return Percent * 128 / 100; }

private:
    static constexpr int32_t Step = 10;
    static constexpr int32_t Most = 200;
};

// What is known of a song before it plays, from playing it through without
// mixing.
struct TSongTimes {
    // Frames at which each order position is first reached when the song
    // plays from its start (-1 where it never is).
    std::vector<int64_t> OrderStarts;
    // The song time of its end after the repeats, -1 when it does not end
    // within the longest time a song plays.
    int64_t Total = -1;
};

// Measures a song (its data as read) for play at Rate, from the start of
// order position From (a subsong's first order; its times count from there).
TSongTimes MeasureSongTimes(const std::vector<uint8_t>& Data, int32_t Rate, int32_t Passes, int32_t From = 0);

// One song playing on a player, with what the keys change.
class TPlayControl {
public:
    // The song is loaded into Player, which is not playing yet. Passes: the
    // passes to play (--repeat + 1); Seconds > 0 plays that long instead.
    // Muted: the channels muted at the start (--mute, --solo); StartOrder:
    // where the song starts (--start).
    TPlayControl(TQuavix& APlayer, const TSongTimes& ATimes, int32_t Passes, double Seconds,
                 const std::vector<bool>& AMuted, int32_t StartOrder, TPlayVolume& AVolume);
    ~TPlayControl();
    TPlayControl(const TPlayControl&) = delete;
    TPlayControl& operator=(const TPlayControl&) = delete;

    // Starts the song; false when it cannot play.
    bool Start();
    // A key; returns what it ends, or Playing.
    TPlayOutcome Handle(const TPlayKey& Key);
    // Ended once the song has played to its end (or for the seconds asked),
    // and the device has had time to play the last of it.
    TPlayOutcome Check() const;

    // For the display. With the seconds asked for, the time played against
    // them; else the song time (where the song stands, seeks included)
    // against the time of its end.
    int64_t Elapsed() const;
    int64_t Total() const;    // the song time at its end (30 minutes when it has none), or the seconds asked
    bool Paused() const { return IsPaused; }
    bool ShowingHelp() const { return Help; }
    const std::vector<bool>& Muted() const { return ChannelsMuted; }
    int32_t VolumePercent() const { return Volume.Percent; }
    // The order position shown: the one a seek asked for until it is played.
    int32_t Order() const;

    // The song time at which order position Order begins: where the song
    // first reaches it, or for an order the song never reaches by itself,
    // where it reached the nearest order before it.
    int64_t OrderTime(int32_t Order) const;

private:
    TQuavix& Player;
    TSongTimes Times;
    int64_t SecondsFrames = 0;  // > 0: play this many frames
    std::vector<bool> ChannelsMuted;
    int32_t StartOrder;
    TPlayVolume& Volume;
    TQuavixSongEnd Watch;
    bool IsPaused = false;
    bool Help = false;
    int32_t SeekTarget = -1;

    void Seek(int32_t Order);
};

}  // namespace quavix_cli
