// The player: owns the song, the mix buffer and the resonant-filter
// coefficient table, and turns the sequencer and the mixer into buffers of
// PCM in the output format it was created with.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "player/settings.h"
#include "song/module.h"

#ifdef QUAVIX_HAVE_SDL
#include <SDL/SDL_audio.h>
using TQuavixAudioSpec = SDL_AudioSpec;
#else
// A build without SDL (the engine alone, as on the handheld's cross build)
// keeps the request in the same form and never opens SDL audio.
struct TQuavixAudioSpec {
    int freq;
    uint16_t format;
    uint8_t channels;
    uint8_t silence;
    uint16_t samples;
    uint16_t padding;
    uint32_t size;
    void (*callback)(void* userdata, uint8_t* stream, int len);
    void* userdata;
};
#endif

class TQuavixChannel;
class TQuavixEvent;
class TQuavixSongEnd;

class TQuavix {
public:
    // Cutoff and resonance both have 128 steps.
    static constexpr int32_t FilterSteps = 128;
    // One table entry, 4096 = 1.0: A0 (input), B0 (last output), B1 (output before it).
    using TFilterCoefficients = std::array<int32_t, 3>;
    using TFilterRow = std::array<TFilterCoefficients, FilterSteps>;  // by cutoff
    using TFilterTable = std::array<TFilterRow, FilterSteps>;         // by resonance

    // The output's rate in Hz and its channels (1 mono, 2 stereo), which the
    // player was created with; the song keeps them, as the sequencer and the
    // mixer read them there.
    int32_t SampleRate() const { return Module->SampleRate; }
    int32_t OutputChannels() const { return Module->OutputChannels; }
    int32_t OutputBits = 16;     // 8 or 16
    int32_t MixBufferBytes = 0;
    int32_t OutputBufferBytes = 0;
    int32_t BufferCount = 0;
    int32_t PrefillBuffers = 0;
    // True from Play to Stop; while false, renders are silent and run no tick.
    bool Playing = false;
    // The OSS device and the buffer its writer renders into.
    int32_t DeviceHandle = -1;
    std::unique_ptr<uint8_t[]> DeviceBuffer;
    // The request handed to SDL; after a successful open, its size is SDL's
    // buffer size in bytes.
    TQuavixAudioSpec AudioSpec{};
    // Rendered output waiting to be handed to the device: the bytes of
    // FillBuffer from FillPosition up to FillSize. FillPosition >= FillSize
    // means nothing is waiting.
    std::unique_ptr<uint8_t[]> FillBuffer;
    uint32_t FillPosition = 0;
    uint32_t FillSize = 0;
    int32_t PrefillCount = 0;
    // The writer's pause after each write, in milliseconds.
    int32_t WriterSleepMs = 0;
    int32_t SamplesPerTick = 0;
    int32_t SamplesLeft = 0;
    // BufferFrames x OutputChannels values, frames in order, left before
    // right: 16-bit audio scaled by 4096. Allocated by the constructor.
    std::unique_ptr<int32_t[]> MixBuffer;
    // Where the mixer accumulates; MixBuffer while a render runs.
    int32_t* MixTarget = nullptr;
    // The coefficient table as BuildFilterTable last asked for it, filled
    // when it is first read: most songs never filter a voice, and a player
    // that plays only those never spends the time. It reads as the table
    // itself: [resonance][cutoff], its rows in turn, or a copy.
    class TLazyFilterTable {
    public:
        explicit TLazyFilterTable(TQuavix& AOwner) : Owner(AOwner) {}
        const TFilterRow& operator[](size_t Resonance) const { return Table()[Resonance]; }
        TFilterTable::const_iterator begin() const { return Table().begin(); }
        TFilterTable::const_iterator end() const { return Table().end(); }
        operator const TFilterTable&() const { return Table(); }
        bool operator==(const TFilterTable& Other) const { return Table() == Other; }
        const TFilterTable& Table() const {
            if (!Filled) Owner.FillFilterTable();
            return Entries;
        }

    private:
        friend class TQuavix;
        TQuavix& Owner;
        mutable TFilterTable Entries{};
        mutable bool Filled = false;
        // What the table is designed for: the output rate BuildFilterTable
        // was given, and the module's rate and cutoff range then.
        int32_t Rate = 0;
        int32_t ModuleRate = 0;
        bool ExtendedRange = false;
    };
    // Indexed [resonance][cutoff]; asked for by the constructor.
    TLazyFilterTable FilterTable{*this};
    TQuavixOutputDevice OutputDevice = TQuavixOutputDevice::None;
    // Why no sound device opened, each output tried and what failed there:
    // "SDL audio: No available audio device; /dev/dsp: No such file or
    // directory". Empty once one opened, and for an offline player.
    std::string OutputProblem;
    int32_t BufferFrames = 0;
    std::unique_ptr<TQuavixModule> Module;
    TQuavixInterpolation Interpolation = TQuavixInterpolation::Unset;
    uint8_t Clipping = 1;       // 1 clamps to 16 bits on conversion, 0 wraps
    // Created for offline rendering: no sound device is ever opened, and the
    // owner calls Render itself to take the song's audio.
    bool Offline = false;

    // Settings and requests the owner may give while the song plays, on its
    // own thread; the audio thread reads them without a lock.
    //
    // A muted channel goes on running its notes and effects (so global
    // volume, jumps and timing stay as they are) but adds nothing to the mix,
    // nor do the voices it hands to the fade bank, which keep its channel
    // number.
    void SetChannelMuted(int32_t Channel, bool Muted);
    bool ChannelMuted(int32_t Channel) const {
        if (Channel < 0 || Channel >= TQuavixModule::MaxChannels) return false;
        return (MutedChannels[Channel >> 6].load(std::memory_order_relaxed) >> (Channel & 63)) & 1;
    }
    // Channel meters: while on, the mixer notes the largest output of each
    // song channel's voices (the fade-bank voices it handed over included),
    // in 16-bit sample units, for TakeChannelPeak. Off, it costs nothing.
    void SetMeasureLevels(bool On) { MeasureLevels.store(On, std::memory_order_relaxed); }
    // The largest output of the channel's voices since the last call.
    int32_t TakeChannelPeak(int32_t Channel);
    // What the audio thread has played, for a display on the owner's thread:
    // frames rendered while playing since Play, the song time in frames
    // (which a seek sets to the time its owner gives), and the order position
    // and row of the last row started (-1 before the first).
    int64_t PlayedFrameCount() const { return PlayedFrames.load(std::memory_order_relaxed); }
    int64_t SongTime() const { return SongClock.load(std::memory_order_relaxed); }
    int32_t PlayedOrderPosition() const { return PlayedOrder.load(std::memory_order_relaxed); }
    int32_t PlayedRowNumber() const { return PlayedRow.load(std::memory_order_relaxed); }
    // Holds the song where it stands: the output falls silent at once and no
    // tick runs, so nothing moves on (a song end included) until Resume goes
    // on from the very frame it stopped at. Only while playing.
    void Pause();
    void Resume();
    // At the start of the next render, playback moves to row 0 of order
    // position Order through the sequencer's jump, and SongClock becomes
    // SongFrame. A later request before that render replaces it; Stop
    // drops it.
    void RequestSeek(int32_t Order, int64_t SongFrame);
    bool SeekPending() const { return SeekRequest.load(std::memory_order_acquire) >= 0; }
    // The module's master volume (0..256) from the next render on.
    void RequestMasterVolume(int32_t Volume);

    // A player made and set up as the settings say, ready to load and play.
    explicit TQuavix(const TQuavixSettings& Settings);
    // The bare construction: SampleRate 0 means 44100 Hz, Bits other than 8
    // or 16 give 16-bit output, and the player has a sound device if one
    // opens. Interpolation is left Unset, which mixes next to nothing until
    // the owner chooses; clipping is on and the master volume 128.
    TQuavix(int32_t ASampleRate, int32_t ABufferFrames, int32_t ABufferCount, bool Stereo,
            int32_t AWriterSleepMs, int32_t Bits, int32_t APrefillBuffers);
    ~TQuavix();
    TQuavix(const TQuavix&) = delete;
    TQuavix& operator=(const TQuavix&) = delete;

    // Fills FilterTable for the given output rate, with the cutoff range of
    // the module as it is now (when the table is first read).
    void BuildFilterTable(int32_t ASampleRate);
    // The filter entry of a cutoff (0..127) scaled by a filter envelope's
    // Modifier (-256 none .. 256 whole) at a resonance, designed with half
    // the damping (TQuavixBehaviour::HalfFilterDamping) at the output rate,
    // in the filter's 24-bit fixed point (FilterUnit = 1.0), not the table's 12.
    TFilterCoefficients HalfDampedFilter(int32_t Cutoff, int32_t Modifier, int32_t Resonance) const;

    // Render loop: one buffer of BufferFrames frames in the output format,
    // exactly OutputBufferBytes bytes at Dest. Allocates nothing.
    void Render(void* Dest);
    // Conversion of one mix value: shifted to 16-bit range, clamped when
    // Clip is set, else cut to its low 16 bits.
    static int16_t MixToSample16(int32_t Value, bool Clip, bool Round = false) {
        // The mix holds 16-bit audio scaled by 4096; the arithmetic shift
        // takes the floor, so -1 becomes -1 and 4095 becomes 0. With Round
        // (TQuavixBehaviour::OutputRoundsToNearest) the nearest, halves up,
        // the half's bit added after the shift so that nothing overflows.
        const int32_t Sample = (Value >> 12) + (Round ? (Value >> 11) & 1 : 0);
        if (Clip) return static_cast<int16_t>(Sample < -32768 ? -32768 : Sample > 32767 ? 32767 : Sample);
        // Wrap: keep the low 16 bits as a two's-complement value.
        return static_cast<int16_t>(((Sample & 0xFFFF) ^ 0x8000) - 0x8000);
    }
    // MixToSample16 with clipping, of Values mix values at once.
    static void ClipMixTo16(const int32_t* Mix, int16_t* Out, int32_t Values, bool Round = false);
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

    // The OSS device path: "/dev/dsp", unless the environment variable
    // QUAVIX_OSS_DEVICE names another. Only tests set it, to point the
    // player at a stand-in (a file, a FIFO, a path that cannot be opened);
    // it is read each time a player opens the OSS output.
    static std::string OssDevicePath();
    // The OSS writer thread exists, and is parked (the song is stopped or
    // paused, or the player was just made).
    bool HasWriter() const { return Threaded; }
    bool WriterParked() const { return Paused.load(); }

    // Outputs. Create opens SDL audio (paused), else the OSS device with a
    // parked writer thread, else none.
    bool OpenSDL();
    bool OpenOSS();
    // SDL's callback (on SDL's audio thread); UserData is the player.
    static void AudioCallback(void* UserData, uint8_t* Stream, int Length);
    // Copies Count bytes of rendered output into Dest, rendering as needed.
    void Fill(uint8_t* Dest, uint32_t Count);
    // Renders and writes to the OSS device (on the writer thread). False
    // when the device takes no more writes.
    bool WriteBuffer();
    static void WriterThreadProc(TQuavix* Player);

    // Mixer: adds every sounding voice into MixTarget for Count frames from
    // StartFrame and returns the frames mixed (SamplesLeft falls by as many).
    int32_t MixChannels(int32_t StartFrame, int32_t Count);
    void MixChannel(TQuavixChannel& Channel, int32_t StartFrame, int32_t Count);
    void ApplyClickRemoval(int32_t StartFrame, int32_t Count);
    // Hands the level of a voice that stops Count frames before the span's
    // end to click removal, decaying from Out (the frame after its last).
    void EndClickAt(TQuavixChannel& Channel, int32_t* Out, int32_t Count);
    // What those voices' levels come to at the span's end, joined to the
    // module's offset once the span's click removal is done.
    int64_t PendingClickLeft = 0;
    int64_t PendingClickRight = 0;
    // The frame of the tick the current MixChannels call starts at.
    int32_t MixTickFrame = 0;

    // When set, told of every tick and the frame it began at, to find where
    // the song ends without changing how it plays. The owner sets it before
    // Play, or while the song is stopped.
    void SetSongEnd(TQuavixSongEnd* Watch) { SongEnd = Watch; }
    TQuavixSongEnd* SongEndWatch() const { return SongEnd; }

private:
    TQuavixSongEnd* SongEnd = nullptr;
    // What the accessors above read; written by the audio thread.
    std::atomic<int64_t> PlayedFrames{0};
    std::atomic<int32_t> PlayedOrder{-1};
    std::atomic<int32_t> PlayedRow{-1};
    std::atomic<int64_t> SongClock{0};
    // True between Pause and Resume (or Stop).
    std::atomic<bool> PlaybackPaused{false};
    // Muted song channels: bit i of word i / 64 mutes channel i.
    std::array<std::atomic<uint64_t>, TQuavixModule::MaxChannels / 64> MutedChannels{};
    std::atomic<bool> MeasureLevels{false};
    std::array<std::atomic<int32_t>, TQuavixModule::MaxChannels> ChannelPeaks{};

    // The OSS writer thread and its park/resume handshake: the writer holds
    // WriterLock around each write; the flags are each written by one side at
    // a time as the handshake orders it; the events carry the answers.
    // WriterEnded is set by a writer that left for good after a failed write.
    bool Threaded = false;
    std::string OssDevice;  // the path the OSS output was opened with
    std::thread WriterThread;
    std::mutex WriterLock;
    std::atomic<bool> Terminating{false};
    std::atomic<bool> PauseRequested{false};
    std::atomic<bool> Paused{false};
    std::atomic<bool> WriterEnded{false};
    std::unique_ptr<TQuavixEvent> ResumeEvent;  // owner -> writer: leave the park
    std::unique_ptr<TQuavixEvent> ParkedEvent;  // writer -> owner: parked
    std::unique_ptr<TQuavixEvent> ResumedEvent; // writer -> owner: running again
    // The construction both constructors share.
    void Build(int32_t ASampleRate, bool Stereo, int32_t Bits, TQuavixOutputChoice Output);

    // The writer thread's life: started parked, resumed by Play, parked by
    // Stop, ended by the destructor.
    void StartWriter();
    // Wakes the parked writer and waits until it runs again.
    void WakeParkedWriter();
    void ResumeWriter();
    void ParkWriter();
    void EndWriter();
    // Set while SDL output is paused; changed and read under SDL's audio lock.
    bool SdlQuiet = true;
    // SDL's pause flag, set so that the audio thread leaves the song alone on
    // return.
    void PauseSDL();
    void ResumeSDL();
    void CloseOutput();

    // Requests waiting for the next render: -1 for none. A seek packs its
    // song frame above the order position's 8 bits, so that both travel in
    // one value and a render never takes one without the other.
    std::atomic<int64_t> SeekRequest{-1};
    std::atomic<int32_t> MasterVolumeRequest{-1};
    void TakeRequests();
    // Adds a voice's largest output in a span to its channel's peak.
    void NoteLevel(int32_t Channel, int32_t Level);

    // 64-bit side buffer of the mix, as large as MixBuffer and zero between
    // mixes: a loud mix moves its 32-bit sums here before they could pass the
    // 32-bit range, and takes them back when the mix is done.
    std::unique_ptr<int64_t[]> WideMixBuffer;
    void MoveMixToWide(int32_t StartFrame, int32_t Count);
    void TakeBackWideMix(int32_t StartFrame, int32_t Count);
    // Fills FilterTable's entries as BuildFilterTable asked.
    void FillFilterTable();

public:
    // Cutoff frequency in Hz of a cutoff index 0..127 (others are clamped).
    // Modifier 256 gives the plain scale. The result is held within
    // 120..20000 Hz; a frequency inside that range is also held to half the
    // module's rate.
    int32_t CutoffToFrequency(int32_t Cutoff, int32_t Modifier) const;
};
