// The player: owns the song, the mix buffer and the resonant-filter
// coefficient table, and turns the sequencer and the mixer into buffers of
// PCM in the output format it was created with.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "song/module.h"

class TQuavixChannel;

class TQuavix {
public:
    // Cutoff and resonance both have 128 steps.
    static constexpr int32_t FilterSteps = 128;
    // One table entry, 4096 = 1.0: A0 (input), B0 (last output), B1 (output before it).
    using TFilterCoefficients = std::array<int32_t, 3>;
    using TFilterRow = std::array<TFilterCoefficients, FilterSteps>;  // by cutoff
    using TFilterTable = std::array<TFilterRow, FilterSteps>;         // by resonance

    int32_t SampleRate = 44100;  // Hz
    int32_t OutputChannels = 2;  // 1 mono, 2 stereo
    int32_t OutputBits = 16;     // 8 or 16
    int32_t MixBufferBytes = 0;
    int32_t OutputBufferBytes = 0;
    int32_t BufferCount = 0;
    int32_t PrefillBuffers = 0;
    // True from Play to Stop; while false, renders are silent and run no tick.
    bool Playing = false;
    // Rendered output waiting to be handed to the device: the bytes of
    // FillBuffer from FillPosition up to FillSize. FillPosition >= FillSize
    // means nothing is waiting.
    std::unique_ptr<uint8_t[]> FillBuffer;
    uint32_t FillPosition = 0;
    uint32_t FillSize = 0;
    int32_t PrefillCount = 0;
    int32_t WriterSleepMs = 0;
    int32_t SamplesPerTick = 0;
    int32_t SamplesLeft = 0;
    // BufferFrames x OutputChannels values, frames in order, left before
    // right: 16-bit audio scaled by 4096. Allocated by the constructor.
    std::unique_ptr<int32_t[]> MixBuffer;
    // Where the mixer accumulates; MixBuffer while a render runs.
    int32_t* MixTarget = nullptr;
    // Indexed [resonance][cutoff]; filled once by the constructor.
    TFilterTable FilterTable{};
    uint8_t OutputDevice = 0;  // 0 none, 1 OSS device, 2 SDL
    int32_t BufferFrames = 0;
    std::unique_ptr<TQuavixModule> Module;
    uint8_t Interpolation = 3;  // 0 none, 1 linear
    uint8_t Clipping = 1;       // 1 clamps to 16 bits on conversion, 0 wraps
    // Created for offline rendering: no sound device is ever opened, and the
    // owner calls Render itself to take the song's audio.
    bool Offline = false;

    // How a player is created: with a sound device, or for offline rendering.
    enum class TOutputChoice { Device, Offline };

    // SampleRate 0 means 44100 Hz; Bits other than 8 or 16 give 16-bit output.
    // With TOutputChoice::Offline the player never opens a sound device.
    TQuavix(int32_t ASampleRate, int32_t ABufferFrames, int32_t ABufferCount, bool Stereo,
            int32_t AWriterSleepMs, int32_t Bits, int32_t APrefillBuffers,
            TOutputChoice Output = TOutputChoice::Device);
    // A player for offline rendering: BufferFrames frames per Render.
    static std::unique_ptr<TQuavix> CreateOffline(int32_t ASampleRate, int32_t ABufferFrames, bool Stereo,
                                                  int32_t Bits);
    ~TQuavix();
    TQuavix(const TQuavix&) = delete;
    TQuavix& operator=(const TQuavix&) = delete;

    // Fills FilterTable for the given output rate, with the cutoff range of
    // the module as it is now.
    void BuildFilterTable(int32_t ASampleRate);

    // Render loop: one buffer of BufferFrames frames in the output format,
    // exactly OutputBufferBytes bytes at Dest. Allocates nothing.
    void Render(void* Dest);
    // Conversion of one mix value: shifted to 16-bit range, clamped when
    // Clip is set, else cut to its low 16 bits.
    static int16_t MixToSample16(int32_t Value, bool Clip);
    // 16-bit sample to unsigned 8-bit: its high byte, made unsigned.
    static uint8_t Sample16To8(int16_t Sample);
    // One sequencer tick, then the tick length for the tempo it left.
    void NextTick();
    void UpdateTickLength();
    // Starts the song from its beginning; false when nothing is loaded.
    bool Play();
    void Stop();
    // Drops rendered output not yet handed to the device.
    void Flush();

    // Mixer: adds every sounding voice into MixTarget for Count frames from
    // StartFrame and returns the frames mixed (SamplesLeft falls by as many).
    int32_t MixChannels(int32_t StartFrame, int32_t Count);
    void MixChannel(TQuavixChannel& Channel, int32_t StartFrame, int32_t Count);
    void ApplyClickRemoval(int32_t StartFrame, int32_t Count);

private:
    // 64-bit side buffer of the mix, as large as MixBuffer and zero between
    // mixes: a loud mix moves its 32-bit sums here before they could pass the
    // 32-bit range, and takes them back when the mix is done.
    std::unique_ptr<int64_t[]> WideMixBuffer;
    void MoveMixToWide(int32_t StartFrame, int32_t Count);
    void TakeBackWideMix(int32_t StartFrame, int32_t Count);

public:
    // Cutoff frequency in Hz of a cutoff index 0..127 (others are clamped).
    // Modifier 256 gives the plain scale. The result is held within
    // 120..20000 Hz; a frequency inside that range is also held to half the
    // module's rate.
    int32_t CutoffToFrequency(int32_t Cutoff, int32_t Modifier) const;
};
