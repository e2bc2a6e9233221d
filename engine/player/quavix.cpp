#include "player/quavix.h"

#include "player/writer_event.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#endif

#include "player/song_end.h"

void TQuavix::ClipMixTo16(const int32_t* Mix, int16_t* Out, int32_t Values, bool Round) {
    // The vector units hold a value within the 16-bit range in one step: a
    // narrowing with saturation (SSE2 packssdw, NEON vqmovn). Rounding adds
    // the half's bit (bit 11) after the shift, as MixToSample16 does.
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i Half = _mm_set1_epi32(Round ? 1 : 0);
    const auto Convert = [Half](const int32_t* From) {
        const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(From));
        return _mm_add_epi32(_mm_srai_epi32(V, 12), _mm_and_si128(_mm_srai_epi32(V, 11), Half));
    };
    for (; i + 8 <= Values; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + i), _mm_packs_epi32(Convert(Mix + i), Convert(Mix + i + 4)));
#elif defined(__ARM_NEON)
    const int32x4_t Half = vdupq_n_s32(Round ? 1 : 0);
    for (; i + 4 <= Values; i += 4) {
        const int32x4_t V = vld1q_s32(Mix + i);
        vst1_s16(Out + i, vqmovn_s32(vaddq_s32(vshrq_n_s32(V, 12), vandq_s32(vshrq_n_s32(V, 11), Half))));
    }
#endif
    for (; i < Values; ++i) Out[i] = MixToSample16(Mix[i], true, Round);
}

TQuavix::TQuavix(int32_t ASampleRate, int32_t ABufferFrames, int32_t ABufferCount, bool Stereo,
                 int32_t AWriterSleepMs, int32_t Bits, int32_t APrefillBuffers)
    : BufferCount(ABufferCount),
      PrefillBuffers(APrefillBuffers),
      WriterSleepMs(AWriterSleepMs),
      BufferFrames(ABufferFrames) {
    Build(ASampleRate, Stereo, Bits, TQuavixOutputChoice::Device);
}

TQuavix::TQuavix(const TQuavixSettings& Settings)
    : BufferCount(Settings.BufferCount),
      PrefillBuffers(Settings.PrefillBuffers),
      WriterSleepMs(Settings.WriterSleepMs),
      BufferFrames(Settings.BufferFrames) {
    // The mixing settings follow the bare construction; the output opened
    // paused, so nothing renders before Play with the bare ones.
    Build(Settings.SampleRate, Settings.Stereo, Settings.Bits, Settings.Output);
    Interpolation = Settings.Interpolation;
    Clipping = Settings.Clipping ? 1 : 0;
    Module->AmigaClock = Settings.AmigaClock;
    Module->MasterVolume = Settings.MasterVolume;
    Module->StereoSeparation = std::clamp(Settings.StereoSeparation, 0, 200);
}

void TQuavix::Build(int32_t ASampleRate, bool Stereo, int32_t Bits, TQuavixOutputChoice Output) {
    OutputDevice = TQuavixOutputDevice::None;
    Module.reset(new TQuavixModule(this));
    if (ASampleRate == 0) ASampleRate = 44100;
    Module->SampleRate = ASampleRate;
    Module->OutputChannels = Stereo ? 2 : 1;
    // 128 frames at 44100 Hz. The product stays within 32 bits for every rate
    // up to 16 MHz; a wider intermediate keeps larger rates defined.
    const int32_t RampLength = static_cast<int32_t>(static_cast<int64_t>(ASampleRate) * 128 / 44100);
    Module->NormalRampLength = RampLength;
    Module->FadeRampLength = RampLength;
    Interpolation = TQuavixInterpolation::Unset;
    Clipping = 1;
    Playing = false;
    Module->Clear();

    // The module was just cleared, so the table gets the normal cutoff range.
    BuildFilterTable(SampleRate());

    OutputBits = (Bits == 8 || Bits == 16) ? Bits : 16;
    MixBufferBytes = BufferFrames * 4 * OutputChannels();
    OutputBufferBytes = BufferFrames * OutputBits * OutputChannels() / 8;

    // Every buffer the audio thread uses exists from here on: rendering
    // allocates nothing.
    const size_t MixValues = BufferFrames > 0 ? static_cast<size_t>(BufferFrames) * OutputChannels() : 0;
    MixBuffer.reset(new int32_t[MixValues + 1]());
    WideMixBuffer.reset(new int64_t[MixValues + 1]());
    MixTarget = MixBuffer.get();

    // Nothing rendered is waiting for the device yet.
    PrefillCount = 0;
    FillBuffer.reset();
    FillSize = static_cast<uint32_t>(std::max(OutputBufferBytes, 0));
    FillPosition = FillSize;

    // The sound device is chosen last. An offline player has none: its owner
    // takes the audio through Render.
    Offline = Output == TQuavixOutputChoice::Offline;
    if (Offline) return;
    // SDL audio, else the OSS device with its writer thread, else none.
    try {
        OutputProblem.clear();
        if (OpenSDL()) {
            OutputDevice = TQuavixOutputDevice::Sdl;
        } else if (OpenOSS()) {
            OutputDevice = TQuavixOutputDevice::Oss;
            StartWriter();
        }
        if (OutputDevice != TQuavixOutputDevice::None) OutputProblem.clear();
    } catch (...) {
        CloseOutput();
        throw;
    }
}

void TQuavix::UpdateTickLength() {
    if (Module->Tempo == 0) Module->Tempo = 125;
    // SampleRate x 2.5 / Tempo frames, in unsigned 32-bit arithmetic.
    const uint32_t Frames = (static_cast<uint32_t>(SampleRate()) * 640u) / (static_cast<uint32_t>(Module->Tempo) * 256u);
    // A tick lasts at least one frame, or the render loop would make no
    // progress: rates below 102 Hz would otherwise give 0 at tempo 255. The
    // length is also held within the signed range the fields use.
    SamplesPerTick = static_cast<int32_t>(std::min<uint32_t>(std::max<uint32_t>(Frames, 1u), INT32_MAX));
    SamplesLeft = SamplesPerTick;
    Module->TickLength = SamplesPerTick;
}

void TQuavix::NextTick() {
    Module->ProcessTick();
    UpdateTickLength();
    PlayedOrder.store(Module->PlayingOrder, std::memory_order_relaxed);
    PlayedRow.store(Module->PlayingRow, std::memory_order_relaxed);
}

uint8_t TQuavix::Sample16To8(int16_t Sample) { return static_cast<uint8_t>((Sample + 32768) >> 8); }

void TQuavix::Render(void* Dest) {
    const int32_t Values = BufferFrames > 0 ? BufferFrames * OutputChannels() : 0;
    MixTarget = MixBuffer.get();
    std::fill(MixTarget, MixTarget + Values, 0);

    if (Playing && !PlaybackPaused.load(std::memory_order_relaxed)) {
        TakeRequests();
        int32_t Position = 0;
        while (Position < BufferFrames) {
            if (SamplesLeft == 0) {
                NextTick();
                if (SongEnd) SongEnd->AfterTick(*Module, PlayedFrames.load(std::memory_order_relaxed) + Position);
            }
            // The mixer lowers SamplesLeft by the frames it mixed; a tick cut
            // by the end of the buffer carries on in the next render.
            const int32_t Mixed = MixChannels(Position, SamplesLeft);
            if (Mixed <= 0) break;  // a mixer that takes nothing would loop forever
            Position += Mixed;
        }
        PlayedFrames.fetch_add(BufferFrames, std::memory_order_relaxed);
        SongClock.fetch_add(BufferFrames, std::memory_order_relaxed);
    }

    const int32_t* Mix = MixBuffer.get();
    const bool Clip = Clipping != 0;
    const bool Round = Module->Has(TQuavixBehaviour::OutputRoundsToNearest);
    if (OutputBits == 16 && reinterpret_cast<uintptr_t>(Dest) % alignof(int16_t) == 0) {
        // Native byte order. Plain loops, which the compiler turns into vector
        // code where it can.
        int16_t* Out = static_cast<int16_t*>(Dest);
        if (Clip) {
            ClipMixTo16(Mix, Out, Values, Round);
        } else {
            for (int32_t i = 0; i < Values; ++i) Out[i] = MixToSample16(Mix[i], false, Round);
        }
    } else if (OutputBits == 16) {
        uint8_t* Out = static_cast<uint8_t*>(Dest);
        for (int32_t i = 0; i < Values; ++i) {
            // A Dest at an odd address: stored through memcpy.
            const int16_t Sample = MixToSample16(Mix[i], Clip, Round);
            std::memcpy(Out + 2 * i, &Sample, sizeof(Sample));
        }
    } else {
        uint8_t* Out = static_cast<uint8_t*>(Dest);
        for (int32_t i = 0; i < Values; ++i) Out[i] = Sample16To8(MixToSample16(Mix[i], Clip, Round));
    }
}

bool TQuavix::Play() {
    Module->ResetPlayback();
    Flush();
    UpdateTickLength();
    SamplesLeft = 0;  // the first render begins with a tick
    PlayedFrames = 0;
    SongClock = 0;
    PlayedOrder = -1;
    PlayedRow = -1;
    PlaybackPaused = false;
    Playing = true;
    if (Module->Loaded && Threaded) ResumeWriter();
    if (OutputDevice == TQuavixOutputDevice::Sdl) ResumeSDL();
    return Module->Loaded;
}

void TQuavix::Stop() {
    if (OutputDevice == TQuavixOutputDevice::Sdl) PauseSDL();
    if (Threaded) ParkWriter();
    Playing = false;
    PlaybackPaused = false;
    SeekRequest = -1;
    Flush();
}

void TQuavix::Pause() {
    if (!Playing || PlaybackPaused) return;
    // The output goes quiet as Stop makes it, but the song and the rendered
    // output not yet handed to the device stay: Resume goes on with them.
    if (OutputDevice == TQuavixOutputDevice::Sdl) PauseSDL();
    if (Threaded) ParkWriter();
    PlaybackPaused = true;
}

void TQuavix::Resume() {
    if (!Playing || !PlaybackPaused) return;
    PlaybackPaused = false;
    if (Threaded) ResumeWriter();
    if (OutputDevice == TQuavixOutputDevice::Sdl) ResumeSDL();
}

void TQuavix::SetChannelMuted(int32_t Channel, bool Muted) {
    if (Channel < 0 || Channel >= TQuavixModule::MaxChannels) return;
    const uint64_t Bit = uint64_t(1) << (Channel & 63);
    if (Muted)
        MutedChannels[Channel >> 6].fetch_or(Bit, std::memory_order_relaxed);
    else
        MutedChannels[Channel >> 6].fetch_and(~Bit, std::memory_order_relaxed);
}

int32_t TQuavix::TakeChannelPeak(int32_t Channel) {
    if (Channel < 0 || Channel >= TQuavixModule::MaxChannels) return 0;
    return ChannelPeaks[Channel].exchange(0, std::memory_order_relaxed);
}

void TQuavix::NoteLevel(int32_t Channel, int32_t Level) {
    if (Channel < 0 || Channel >= TQuavixModule::MaxChannels) return;
    // Only the audio thread raises a peak; the owner only takes it back to 0,
    // and a peak it takes meanwhile shows in the next reading.
    std::atomic<int32_t>& Peak = ChannelPeaks[Channel];
    if (Level > Peak.load(std::memory_order_relaxed)) Peak.store(Level, std::memory_order_relaxed);
}

void TQuavix::RequestSeek(int32_t Order, int64_t SongFrame) {
    if (Order < 0 || Order >= TQuavixModule::MaxOrders || SongFrame < 0) return;
    SeekRequest.store((SongFrame << 8) | Order, std::memory_order_release);
}

void TQuavix::RequestMasterVolume(int32_t Volume) {
    MasterVolumeRequest.store(std::clamp(Volume, 0, 256), std::memory_order_relaxed);
}

void TQuavix::TakeRequests() {
    const int32_t Volume = MasterVolumeRequest.exchange(-1, std::memory_order_relaxed);
    if (Volume >= 0) Module->MasterVolume = Volume;
    const int64_t Seek = SeekRequest.load(std::memory_order_acquire);
    if (Seek < 0) return;
    const int32_t Order = static_cast<int32_t>(Seek & 255);
    Module->JumpToOrder(Order);
    // The order starts at this render's first frame, cutting the tick short.
    SamplesLeft = 0;
    SongClock.store(Seek >> 8, std::memory_order_relaxed);
    PlayedOrder.store(Order, std::memory_order_relaxed);
    PlayedRow.store(0, std::memory_order_relaxed);
    if (SongEnd) SongEnd->AfterSeek(Order);
    // Taken, and seen so by the owner only now that the position shows it.
    // A newer request given meanwhile stays for the next render.
    int64_t Taken = Seek;
    SeekRequest.compare_exchange_strong(Taken, -1, std::memory_order_release, std::memory_order_relaxed);
}

void TQuavix::Flush() { FillPosition = FillSize; }

TQuavix::~TQuavix() {
    EndWriter();
    Module->Clear();
    CloseOutput();
}
