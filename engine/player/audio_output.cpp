// The player's two sound outputs: SDL 1.2 audio, whose audio thread pulls
// bytes through a callback, and the OSS device, into which a writer thread of
// the player's own pushes whole buffers. Both take their data from Render.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/soundcard.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "player/quavix.h"
#include "player/writer_event.h"

#ifdef QUAVIX_HAVE_SDL
#include <SDL/SDL.h>
#include <dlfcn.h>
#endif

namespace {

void SleepMs(int32_t Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }

// Adds what failed at one output to the player's account of them.
void AddProblem(std::string& Problems, const std::string& Problem) {
    Problems += (Problems.empty() ? "" : "; ") + Problem;
}

#ifdef QUAVIX_HAVE_SDL

// SDL 1.2 is loaded the first time a player opens it, not when the program
// starts: SDL brings some twenty libraries with it (X11, PulseAudio, ALSA, a
// text-mode video driver), and a program that only renders files, as
// `quavix render` does, then never maps them (their start-up time and about
// 3.5 MB of resident memory). A machine without the library has the OSS
// output only. Once loaded it stays for the life of the program.
struct TSdlAudio {
    decltype(&SDL_WasInit) WasInit = nullptr;
    decltype(&SDL_Init) Init = nullptr;
    decltype(&SDL_GetError) GetError = nullptr;
    decltype(&SDL_OpenAudio) OpenAudio = nullptr;
    decltype(&SDL_PauseAudio) PauseAudio = nullptr;
    decltype(&SDL_LockAudio) LockAudio = nullptr;
    decltype(&SDL_UnlockAudio) UnlockAudio = nullptr;
    decltype(&SDL_CloseAudio) CloseAudio = nullptr;
    std::string Error;  // why the library could not be loaded

    TSdlAudio() {
        void* Library = dlopen("libSDL-1.2.so.0", RTLD_NOW | RTLD_GLOBAL);
        if (!Library) {
            const char* Why = dlerror();
            Error = Why ? Why : "libSDL-1.2.so.0 cannot be loaded";
            return;
        }
        auto Take = [&](auto& Function, const char* Name) {
            Function = reinterpret_cast<std::remove_reference_t<decltype(Function)>>(dlsym(Library, Name));
            if (!Function && Error.empty()) Error = std::string("libSDL-1.2.so.0 has no ") + Name;
        };
        Take(WasInit, "SDL_WasInit");
        Take(Init, "SDL_Init");
        Take(GetError, "SDL_GetError");
        Take(OpenAudio, "SDL_OpenAudio");
        Take(PauseAudio, "SDL_PauseAudio");
        Take(LockAudio, "SDL_LockAudio");
        Take(UnlockAudio, "SDL_UnlockAudio");
        Take(CloseAudio, "SDL_CloseAudio");
    }
    bool Loaded() const { return Error.empty(); }
};

// Loaded on first use, by whichever thread first creates a player.
const TSdlAudio& Sdl() {
    static const TSdlAudio Library;
    return Library;
}

// Standard error goes to /dev/null while SDL looks for a sound device: the
// libraries under it (ALSA above all) print lines of their own for every
// device they try and cannot open, where the player's owner says in one line
// what failed. The whole process's standard error is redirected, so nothing
// else should write there meanwhile; players open their devices on the
// owner's thread before anything plays.
class TQuietStandardError {
public:
    TQuietStandardError() {
        std::fflush(stderr);
        Saved = dup(STDERR_FILENO);
        const int Null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (Saved >= 0 && Null >= 0) dup2(Null, STDERR_FILENO);
        if (Null >= 0) close(Null);
    }
    ~TQuietStandardError() {
        if (Saved < 0) return;
        std::fflush(stderr);
        dup2(Saved, STDERR_FILENO);
        close(Saved);
    }
    TQuietStandardError(const TQuietStandardError&) = delete;
    TQuietStandardError& operator=(const TQuietStandardError&) = delete;

private:
    int Saved = -1;
};

#endif

}  // namespace

// ---------------------------------------------------------------------------
// SDL

#ifdef QUAVIX_HAVE_SDL

bool TQuavix::OpenSDL() {
    try {
        const TSdlAudio& SDL = Sdl();
        if (!SDL.Loaded()) {
            AddProblem(OutputProblem, "SDL audio: " + SDL.Error);
            return false;
        }
        TQuietStandardError Quiet;
        if (SDL.WasInit(SDL_INIT_AUDIO) == 0 && SDL.Init(SDL_INIT_AUDIO) < 0) {
            AddProblem(OutputProblem, std::string("SDL audio: ") + SDL.GetError());
            return false;
        }
        std::memset(&AudioSpec, 0, sizeof(AudioSpec));
        AudioSpec.channels = static_cast<Uint8>(OutputChannels());
        AudioSpec.format = OutputBits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
        AudioSpec.freq = Module->SampleRate;
        AudioSpec.callback = &TQuavix::AudioCallback;
        AudioSpec.silence = 0;
        AudioSpec.samples = static_cast<Uint16>(BufferFrames);
        AudioSpec.size = static_cast<Uint32>(OutputBufferBytes);
        AudioSpec.userdata = this;
        FillBuffer.reset(new uint8_t[std::max(OutputBufferBytes, 1)]());
        // Nothing asked back: SDL converts when the device differs.
        if (SDL.OpenAudio(&AudioSpec, nullptr) < 0) {
            AddProblem(OutputProblem, std::string("SDL audio: ") + SDL.GetError());
            FillBuffer.reset();
            return false;
        }
        // SDL computes its buffer size itself. Each render fills
        // OutputBufferBytes of FillBuffer, so no more than that is handed out.
        FillSize = std::min<uint32_t>(AudioSpec.size, static_cast<uint32_t>(std::max(OutputBufferBytes, 0)));
        FillPosition = FillSize;
        SdlQuiet = true;
        SDL.PauseAudio(1);
        return true;
    } catch (...) {
        return false;
    }
}

// SDL 1.2 only sets a flag when pausing, and its audio thread tests that
// flag before it takes its audio lock: a callback may be running, or about to
// run, when the pause returns. The player's own flag, changed under SDL's
// audio lock (which every callback holds), closes that gap: once Stop has
// paused, a late callback hands out silence and leaves the song alone.
void TQuavix::PauseSDL() {
    const TSdlAudio& SDL = Sdl();
    SDL.LockAudio();
    SDL.PauseAudio(1);
    SdlQuiet = true;
    SDL.UnlockAudio();
}

void TQuavix::ResumeSDL() {
    const TSdlAudio& SDL = Sdl();
    SDL.LockAudio();
    SdlQuiet = false;
    SDL.PauseAudio(0);
    SDL.UnlockAudio();
}

#else

bool TQuavix::OpenSDL() { return false; }
void TQuavix::PauseSDL() {}
void TQuavix::ResumeSDL() {}

#endif

void TQuavix::AudioCallback(void* UserData, uint8_t* Stream, int Length) {
    try {
        TQuavix* Player = static_cast<TQuavix*>(UserData);
        // A request larger than one buffer is left as it is.
        if (!Player || Length <= 0 || Player->AudioSpec.size < static_cast<uint32_t>(Length)) return;
        if (Player->SdlQuiet)
            std::memset(Stream, Player->OutputBits == 8 ? 128 : 0, static_cast<size_t>(Length));
        else
            Player->Fill(Stream, static_cast<uint32_t>(Length));
    } catch (...) {
        // Nothing may propagate into SDL's thread.
    }
}

void TQuavix::Fill(uint8_t* Dest, uint32_t Count) {
    if (!Playing) {
        std::memset(Dest, OutputBits == 8 ? 128 : 0, Count);
        return;
    }
    uint32_t Done = 0;
    while (Count > 0) {
        if (FillPosition >= FillSize) {
            if (FillSize == 0) {  // nothing can be rendered into an empty buffer
                std::memset(Dest + Done, OutputBits == 8 ? 128 : 0, Count);
                return;
            }
            FillPosition = 0;
            Render(FillBuffer.get());
            continue;
        }
        // Rendered bytes left over from the last request go out first.
        const uint32_t N = std::min(FillSize - FillPosition, Count);
        std::memcpy(Dest + Done, FillBuffer.get() + FillPosition, N);
        FillPosition += N;
        Done += N;
        Count -= N;
    }
}

// ---------------------------------------------------------------------------
// OSS

std::string TQuavix::OssDevicePath() {
    const char* StandIn = std::getenv("QUAVIX_OSS_DEVICE");
    return StandIn && *StandIn ? StandIn : "/dev/dsp";
}

bool TQuavix::OpenOSS() {
    try {
        DeviceBuffer.reset(new uint8_t[std::max(OutputBufferBytes, 1)]());
        // Write-only and blocking: a full device queue sets the writer's pace.
        OssDevice = OssDevicePath();
        DeviceHandle = open(OssDevice.c_str(), O_WRONLY);
        // A device that cannot be opened leaves the player without output,
        // rather than selecting an output whose every write fails.
        if (DeviceHandle < 0) {
            const int Error = errno;
            AddProblem(OutputProblem, OssDevice + ": " + std::strerror(Error));
            DeviceBuffer.reset();
            return false;
        }
        // The format, channel count and rate are asked for; what the driver
        // answers does not change the choice of output. A device that refuses
        // a setting plays on its own, and a stand-in such as a file or a FIFO
        // takes no ioctl at all yet accepts the writes. The values the driver
        // writes back are not used either: the mix is rendered as created.
        int Format = OutputBits == 8 ? AFMT_U8 : AFMT_S16_LE;
        int Channels = OutputChannels();
        int Rate = SampleRate();
        (void)ioctl(DeviceHandle, SNDCTL_DSP_SETFMT, &Format);
        (void)ioctl(DeviceHandle, SNDCTL_DSP_CHANNELS, &Channels);
        (void)ioctl(DeviceHandle, SNDCTL_DSP_SPEED, &Rate);
        return true;
    } catch (...) {
        if (DeviceHandle >= 0) close(DeviceHandle);
        DeviceHandle = -1;
        DeviceBuffer.reset();
        return false;
    }
}

bool TQuavix::WriteBuffer() {
    // Whole buffers. A short write is not retried: the device is blocking, so
    // it writes less only when interrupted, and the next buffer follows as
    // usual. A write that fails (the device went away, a stand-in was closed)
    // ends the writer, which says so once.
    auto WriteOne = [this] {
        Render(DeviceBuffer.get());
        const ssize_t Written = write(DeviceHandle, DeviceBuffer.get(), static_cast<size_t>(OutputBufferBytes));
        if (Written >= 0 || errno == EINTR) return true;
        std::printf("%s: the sound device cannot be written (%s); playback output ends\n", OssDevice.c_str(),
                    std::strerror(errno));
        std::fflush(stdout);
        return false;
    };
    while (PrefillCount < PrefillBuffers) {
        if (!WriteOne()) return false;
        ++PrefillCount;
    }
    return WriteOne();
}

void TQuavix::StartWriter() {
    Terminating = false;
    PauseRequested = true;  // born parking: it parks at once and waits for Play
    Paused = false;
    WriterEnded = false;
    ResumeEvent.reset(new TQuavixEvent());
    ParkedEvent.reset(new TQuavixEvent());
    ResumedEvent.reset(new TQuavixEvent());
    WriterThread = std::thread(&TQuavix::WriterThreadProc, this);
    Threaded = true;
    // The writer keeps the normal priority of the owner's threads. A raised
    // priority would need privileges the player does not have, and the
    // device's blocking writes, not the scheduler, set the writer's pace.
}

void TQuavix::WriterThreadProc(TQuavix* Player) {
    TQuavix& P = *Player;
    while (!P.Terminating) {
        if (P.Paused != P.PauseRequested) {
            if (P.PauseRequested) {
                // A resume given before this park (while Paused was clear)
                // must not end it.
                P.ResumeEvent->Reset();
                // Once the player is ending, no park begins: its wake-up
                // may already have been given.
                if (P.Terminating) break;
                // A request withdrawn meanwhile has had its wake-up given
                // (and just dropped): do not park for it.
                if (P.PauseRequested) {
                    P.Paused = true;
                    P.ParkedEvent->Signal();
                    P.ResumeEvent->Wait();
                }
            }
            P.Paused = false;
            P.ResumedEvent->Signal();
            if (P.Terminating) break;
        }
        bool Written;
        {
            std::lock_guard<std::mutex> Guard(P.WriterLock);
            Written = P.WriteBuffer();
        }
        if (!Written) {
            // The device takes no more: the writer ends, never parked, and
            // answers a park the owner may be waiting for right now. From
            // here on the owner's park, resume and end return at once.
            P.WriterEnded = true;
            P.ParkedEvent->Signal();
            return;
        }
        SleepMs(P.WriterSleepMs);
    }
}

void TQuavix::WakeParkedWriter() {
    ResumedEvent->Reset();
    PauseRequested = false;
    ResumeEvent->Signal();
    ResumedEvent->Wait();
}

void TQuavix::ResumeWriter() {
    if (WriterEnded) return;
    if (Paused && PauseRequested) {
        // Parked: wake it and wait until it runs again.
        WakeParkedWriter();
    } else {
        // Still on its way into the park: it finds the request withdrawn, or
        // the wake-up waiting for it.
        PauseRequested = false;
        ResumeEvent->Signal();
        while (Paused) SleepMs(10);
    }
}

void TQuavix::ParkWriter() {
    if (!Paused && !PauseRequested) {
        // Running: only a park that begins after this request answers it.
        ParkedEvent->Reset();
        PauseRequested = true;
        // A writer that ended before the reset gave its answer too early;
        // one that ends after it answers this wait.
        if (WriterEnded) return;
        ParkedEvent->Wait();
    } else {
        PauseRequested = true;
        while (!Paused && !WriterEnded) SleepMs(10);
    }
}

void TQuavix::EndWriter() {
    if (!Threaded) return;
    {
        std::lock_guard<std::mutex> Guard(WriterLock);
        Terminating = true;
    }
    if (Paused && PauseRequested) {
        WakeParkedWriter();
    } else {
        // Running or on its way into a park: it sees Terminating at its next
        // test, and this wake-up ends a park it is entering right now.
        ResumeEvent->Signal();
    }
    WriterThread.join();
    Threaded = false;
    ResumeEvent.reset();
    ParkedEvent.reset();
    ResumedEvent.reset();
}

void TQuavix::CloseOutput() {
    if (OutputDevice == TQuavixOutputDevice::Oss || DeviceHandle >= 0) {
        if (DeviceHandle >= 0) close(DeviceHandle);
        DeviceHandle = -1;
        DeviceBuffer.reset();
    }
#ifdef QUAVIX_HAVE_SDL
    if (OutputDevice == TQuavixOutputDevice::Sdl) {
        Sdl().CloseAudio();
        FillBuffer.reset();
    }
#endif
    OutputDevice = TQuavixOutputDevice::None;
}
