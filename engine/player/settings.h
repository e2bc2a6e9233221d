// How a player is made: its output format, its sound output and the mixing
// settings it starts with. A player made from default settings plays as the
// window plays: 44100 Hz, 4096-frame buffers, stereo, 16-bit, linear
// interpolation, clipping on, master volume 128, stereo separation 100 %.
#pragma once

#include <cstdint>

#include "song/module.h"

// How the mixer reads between sample frames: None takes the nearest frame
// before, Linear interpolates between it and the next, Cubic fits a spline
// through the 4 frames around the position and Sinc weighs the 8 around it
// by a windowed sinc. Unset is what a bare construction leaves: it selects
// no mixing loop, so a voice adds nothing to the mix unless it steps exactly
// one frame at a time (which needs no interpolation). Other values select no
// loop either.
enum class TQuavixInterpolation : uint8_t { None = 0, Linear = 1, Cubic = 2, Sinc = 3, Unset = 4 };

// The sound output a player has: none, the OSS device or SDL audio.
enum class TQuavixOutputDevice : uint8_t { None = 0, Oss = 1, Sdl = 2 };

// With a sound device (SDL, else OSS, else none), or for offline rendering:
// no device is ever opened, and the owner calls Render itself.
enum class TQuavixOutputChoice : uint8_t { Device, Offline };

struct TQuavixSettings {
    int32_t SampleRate = 44100;  // Hz; 0 means 44100
    int32_t BufferFrames = 4096; // frames per render
    int32_t BufferCount = 4;     // kept with the player; nothing reads it
    bool Stereo = true;
    int32_t WriterSleepMs = 10;  // the OSS writer's pause after each write
    int32_t Bits = 16;           // 8 or 16; other values give 16
    int32_t PrefillBuffers = 0;  // extra buffers the OSS writer sends first
    TQuavixInterpolation Interpolation = TQuavixInterpolation::Linear;
    bool Clipping = true;        // clamp to 16 bits on conversion, else wrap
    int32_t MasterVolume = 128;  // 0..256
    // How wide the stereo output is, in percent: 0 mono on both sides, 100
    // as the song pans, up to 200; held to 0..200.
    int32_t StereoSeparation = 100;
    // The clock pattern-format songs play by.
    TQuavixAmigaClock AmigaClock = TQuavixAmigaClock::Ntsc;
    TQuavixOutputChoice Output = TQuavixOutputChoice::Device;

    // The default settings for offline rendering in the given format.
    static TQuavixSettings Offline(int32_t Rate = 44100, int32_t Frames = 4096, bool InStereo = true,
                                   int32_t OutputBits = 16) {
        TQuavixSettings Settings;
        Settings.SampleRate = Rate;
        Settings.BufferFrames = Frames;
        Settings.Stereo = InStereo;
        Settings.Bits = OutputBits;
        Settings.Output = TQuavixOutputChoice::Offline;
        return Settings;
    }
};
