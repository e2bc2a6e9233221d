// The sound outputs for real: SDL 1.2 through its own "disk" audio driver,
// which writes what the callback hands it to a file, and the OSS writer
// thread against a stand-in for "/dev/dsp" (a file or a FIFO).
#include <gtest/gtest.h>

#ifdef QUAVIX_HAVE_SDL
#include <SDL/SDL.h>
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "player/quavix.h"
#include "support/case_names.h"

namespace {

const char* const Song = QUAVIX_SOURCE_DIR "/songs/quavix-default.xm";

std::string TempPath(const std::string& Name) {
    return std::string(QUAVIX_BINARY_DIR) + "/" + Name + "-" + std::to_string(getpid());
}

std::vector<uint8_t> ReadAll(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

int64_t FileSize(const std::string& Path) {
    struct stat Info;
    return stat(Path.c_str(), &Info) == 0 ? Info.st_size : -1;
}

// Waits until Done holds; a generous deadline only keeps a broken player
// from hanging the test.
bool WaitUntil(const std::function<bool()>& Done) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Done()) {
        if (std::chrono::steady_clock::now() > Deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A player as the window creates it, with the window's settings.
std::unique_ptr<TQuavix> WindowPlayer() { return std::make_unique<TQuavix>(TQuavixSettings{}); }

// The same song rendered offline, Buffers buffers of it.
std::vector<uint8_t> OfflineRender(int32_t Buffers) {
    auto Player = std::make_unique<TQuavix>(TQuavixSettings::Offline());
    EXPECT_TRUE(Player->Module->LoadFromFile(Song));
    Player->Play();
    std::vector<uint8_t> Bytes(static_cast<size_t>(Player->OutputBufferBytes) * Buffers);
    for (int32_t i = 0; i < Buffers; ++i) Player->Render(Bytes.data() + static_cast<size_t>(i) * Player->OutputBufferBytes);
    return Bytes;
}

// Makes SDL audio start afresh with the driver the environment names.
void RestartSdlAudio() {
#ifdef QUAVIX_HAVE_SDL
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
#endif
}

#ifdef QUAVIX_HAVE_SDL

class SdlOutput : public ::testing::Test {
protected:
    void SetUp() override {
        DiskFile = TempPath("sdl-disk");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", DiskFile.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "5", 1);
        RestartSdlAudio();
    }
    void TearDown() override {
        RestartSdlAudio();
        unlink(DiskFile.c_str());
    }
    std::string DiskFile;
};

struct TFormatCase : quavix_test::TNamedCase {
    int32_t Rate, Frames;
    bool Stereo;
    int32_t Bits;
    uint16_t Format;
    uint32_t Size;
};

std::vector<TFormatCase> FormatCases() {
    return {
        {"16-bit stereo at 44100 Hz", 44100, 4096, true, 16, AUDIO_S16LSB, 16384},
        {"8-bit mono at 22050 Hz", 22050, 1024, false, 8, AUDIO_U8, 1024},
    };
}

class SdlOutputOpensPausedWithTheRequestedFormat : public SdlOutput,
                                                   public ::testing::WithParamInterface<TFormatCase> {};

TEST_P(SdlOutputOpensPausedWithTheRequestedFormat, OpensPausedWithTheRequestedFormat) {
    const TFormatCase& C = GetParam();
    TQuavixSettings Settings;
    Settings.SampleRate = C.Rate;
    Settings.BufferFrames = C.Frames;
    Settings.Stereo = C.Stereo;
    Settings.Bits = C.Bits;
    auto Player = std::make_unique<TQuavix>(Settings);
    ASSERT_EQ(Player->OutputDevice, TQuavixOutputDevice::Sdl);
    EXPECT_EQ(Player->AudioSpec.freq, C.Rate);
    EXPECT_EQ(Player->AudioSpec.format, C.Format);
    EXPECT_EQ(Player->AudioSpec.channels, C.Stereo ? 2 : 1);
    EXPECT_EQ(Player->AudioSpec.samples, C.Frames);
    EXPECT_EQ(Player->AudioSpec.size, C.Size);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    EXPECT_FALSE(Player->HasWriter());
    Player.reset();
}
INSTANTIATE_TEST_SUITE_P(SdlOutput, SdlOutputOpensPausedWithTheRequestedFormat, ::testing::ValuesIn(FormatCases()),
                         quavix_test::TCaseName());

TEST_F(SdlOutput, CallbackHandsOutWholeAndPartBuffers) {
    auto Player = WindowPlayer();
    ASSERT_EQ(Player->OutputDevice, TQuavixOutputDevice::Sdl);
    ASSERT_TRUE(Player->Module->LoadFromFile(Song));
    const std::vector<uint8_t> Want = OfflineRender(2);
    // Called here directly, with SDL paused: nothing else renders meanwhile.
    std::vector<uint8_t> Request(16384 + 1, 7);
    TQuavix::AudioCallback(Player.get(), Request.data(), 16384 + 1);  // too large: untouched
    EXPECT_EQ(Request[0], 7);
    TQuavix::AudioCallback(Player.get(), Request.data(), 0);
    EXPECT_EQ(Request[0], 7);
    TQuavix::AudioCallback(Player.get(), Request.data(), 100);  // paused: silence
    EXPECT_EQ(Request[99], 0);
    EXPECT_EQ(Request[100], 7);
    Request.assign(Request.size(), 7);
    Player->Fill(Request.data(), 100);  // not playing: silence
    EXPECT_EQ(Request[99], 0);
    EXPECT_EQ(Request[100], 7);

    Player->Module->ResetPlayback();
    Player->Flush();
    Player->UpdateTickLength();
    Player->SamplesLeft = 0;
    Player->Playing = true;
    // A small request renders once and leaves the rest for the next ones.
    std::vector<uint8_t> Got(2 * 16384);
    Player->Fill(Got.data(), 1000);
    Player->Fill(Got.data() + 1000, 16384);
    Player->Fill(Got.data() + 17384, 2 * 16384 - 17384);
    EXPECT_EQ(Got, Want);
    Player->Playing = false;
}

TEST_F(SdlOutput, PlaysWhatTheOfflineRendererGivesThenSilence) {
    auto Player = WindowPlayer();
    ASSERT_EQ(Player->OutputDevice, TQuavixOutputDevice::Sdl);
    ASSERT_TRUE(Player->Module->LoadFromFile(Song));
    ASSERT_TRUE(Player->Play());
    const int64_t Buffer = Player->OutputBufferBytes;
    ASSERT_TRUE(WaitUntil([&] { return FileSize(DiskFile) >= 40 * Buffer; }));
    Player->Stop();
    const int64_t Stopped = FileSize(DiskFile);
    ASSERT_TRUE(WaitUntil([&] { return FileSize(DiskFile) >= Stopped + 3 * Buffer; }));
    Player.reset();

    const std::vector<uint8_t> Disk = ReadAll(DiskFile);
    const std::vector<uint8_t> Want = OfflineRender(20);
    // Silent buffers while paused, then the song from its first buffer on.
    size_t Start = 0;
    while (Start + Buffer <= Disk.size() && !std::equal(Want.begin(), Want.begin() + Buffer, Disk.begin() + Start))
        Start += Buffer;
    ASSERT_LT(Start, Disk.size()) << "the song's first buffer never reached the device";
    for (size_t i = 0; i < Start; ++i) ASSERT_EQ(Disk[i], 0) << i;
    ASSERT_GE(Disk.size(), Start + Want.size());
    EXPECT_TRUE(std::equal(Want.begin(), Want.end(), Disk.begin() + Start));
    // After Stop, only silence.
    for (size_t i = static_cast<size_t>(Stopped) + Buffer; i < Disk.size(); ++i) ASSERT_EQ(Disk[i], 0) << i;
}

#endif  // QUAVIX_HAVE_SDL

// The OSS output, with SDL made to fail so that the player falls back to it.
class OssOutput : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        RestartSdlAudio();
        Device = TempPath("oss-device");
        setenv("QUAVIX_OSS_DEVICE", Device.c_str(), 1);
        std::ofstream(Device).close();
    }
    void TearDown() override {
        unsetenv("QUAVIX_OSS_DEVICE");
        RestartSdlAudio();
        unlink(Device.c_str());
    }
    std::unique_ptr<TQuavix> OssPlayer(int32_t Prefill = 0, int32_t SleepMs = 10) {
        TQuavixSettings Settings;
        Settings.PrefillBuffers = Prefill;
        Settings.WriterSleepMs = SleepMs;
        auto Player = std::make_unique<TQuavix>(Settings);
        EXPECT_EQ(Player->OutputDevice, TQuavixOutputDevice::Oss);
        // SDL failed first; once a device opened, nothing failed.
        EXPECT_EQ(Player->OutputProblem, "");
        EXPECT_TRUE(Player->HasWriter());
        return Player;
    }
    std::string Device;
};

TEST_F(OssOutput, WritesWholeBuffersAndParksOnStop) {
    auto Player = OssPlayer();
    ASSERT_TRUE(Player->Module->LoadFromFile(Song));
    EXPECT_EQ(FileSize(Device), 0);  // born parked: nothing before Play
    ASSERT_TRUE(Player->Play());
    const int64_t Buffer = Player->OutputBufferBytes;
    ASSERT_TRUE(WaitUntil([&] { return FileSize(Device) >= 5 * Buffer; }));
    Player->Stop();
    // Parked before Stop returned: nothing more is written, and the writes
    // were whole buffers of the song.
    EXPECT_TRUE(Player->WriterParked());
    const int64_t Stopped = FileSize(Device);
    EXPECT_EQ(Stopped % Buffer, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(FileSize(Device), Stopped);
    const std::vector<uint8_t> Want = OfflineRender(5);
    const std::vector<uint8_t> Written = ReadAll(Device);
    EXPECT_TRUE(std::equal(Want.begin(), Want.end(), Written.begin()));

    // Play resumes the writer from the song's start.
    ASSERT_TRUE(Player->Play());
    ASSERT_TRUE(WaitUntil([&] { return FileSize(Device) >= Stopped + Buffer; }));
    Player->Stop();
    const int64_t Again = FileSize(Device);
    // Destroying a stopped player wakes the parked writer, which ends
    // without writing again.
    Player.reset();
    EXPECT_EQ(FileSize(Device), Again);
    const std::vector<uint8_t> After = ReadAll(Device);
    EXPECT_TRUE(std::equal(Want.begin(), Want.begin() + Buffer, After.begin() + Stopped));
}

TEST_F(OssOutput, PrefillBuffersGoOutOnceWithTheFirstWrite) {
    auto Player = OssPlayer(2);
    ASSERT_TRUE(Player->Module->LoadFromFile(Song));
    // The writer is parked; the buffers are written here, on this thread.
    const int64_t Buffer = Player->OutputBufferBytes;
    Player->WriteBuffer();
    EXPECT_EQ(FileSize(Device), 3 * Buffer);
    Player->WriteBuffer();
    EXPECT_EQ(FileSize(Device), 4 * Buffer);
    EXPECT_EQ(Player->PrefillCount, 2);
}

TEST_F(OssOutput, StopRightAfterCreateAndAFifoDevice) {
    // A FIFO paces the writer like a device queue: each write waits for the
    // reader.
    unlink(Device.c_str());
    ASSERT_EQ(mkfifo(Device.c_str(), 0600), 0);
    std::thread Reader;
    std::atomic<int64_t> Read{0};
    Reader = std::thread([&] {
        const int Fd = open(Device.c_str(), O_RDONLY);
        std::vector<uint8_t> Chunk(65536);
        for (;;) {
            const ssize_t N = read(Fd, Chunk.data(), Chunk.size());
            if (N <= 0) break;
            Read += N;
        }
        close(Fd);
    });
    {
        auto Player = OssPlayer();
        Player->Stop();  // the writer may still be on its way into its first park
        EXPECT_TRUE(Player->WriterParked());
        ASSERT_TRUE(Player->Module->LoadFromFile(Song));
        ASSERT_TRUE(Player->Play());
        ASSERT_TRUE(WaitUntil([&] { return Read >= 3 * 16384; }));
        Player->Stop();
        // Parked: destroying the player closes the FIFO without another
        // write, and the reader then drains what is left and sees its end.
    }
    Reader.join();
    EXPECT_EQ(Read % 16384, 0);
}

TEST_F(OssOutput, WithoutADeviceThePlayerHasNoOutput) {
    setenv("QUAVIX_OSS_DEVICE", (TempPath("no-such-dir") + "/dsp").c_str(), 1);
    auto Player = WindowPlayer();
    EXPECT_EQ(Player->OutputDevice, TQuavixOutputDevice::None);
    // What failed at each output, for the owner to say (SDL's part only in
    // builds that have SDL).
    const std::string Oss = TempPath("no-such-dir") + "/dsp: No such file or directory";
#ifdef QUAVIX_HAVE_SDL
    EXPECT_EQ(Player->OutputProblem, "SDL audio: No available audio device; " + Oss);
#else
    EXPECT_EQ(Player->OutputProblem, Oss);
#endif
    EXPECT_FALSE(Player->HasWriter());
    ASSERT_TRUE(Player->Module->LoadFromFile(Song));
    EXPECT_TRUE(Player->Play());
    Player->Stop();
}

TEST_F(OssOutput, AFailedWriteEndsTheWriterAndSaysSoOnce) {
    // Every write to /dev/full fails (no space left on the device).
    setenv("QUAVIX_OSS_DEVICE", "/dev/full", 1);
    testing::internal::CaptureStdout();
    {
        auto Player = OssPlayer(1);
        ASSERT_TRUE(Player->Module->LoadFromFile(Song));
        // The writer ends at its first write; stopping, playing again and
        // destroying the player then go through without waiting for it.
        ASSERT_TRUE(Player->Play());
        ASSERT_TRUE(WaitUntil([&] { return Player->PlayedFrameCount() > 0; }));
        Player->Stop();
        ASSERT_TRUE(Player->Play());
        Player->Pause();
        Player->Resume();
        Player->Stop();
    }
    const std::string Said = testing::internal::GetCapturedStdout();
    const std::string Want = "/dev/full: the sound device cannot be written (";
    const size_t First = Said.find(Want);
    ASSERT_NE(First, std::string::npos) << Said;
    EXPECT_EQ(Said.find(Want, First + 1), std::string::npos) << Said;
}

// Many players one after another, as a user opens song after song: each
// made on the output the environment leaves, played and stopped. Device is
// the OSS stand-in, emptied after each player.
void FiveHundredCycles(TQuavixOutputDevice Output, const std::string& Device) {
    RestartSdlAudio();
    for (int32_t Cycle = 0; Cycle < 500; ++Cycle) {
        TQuavixSettings Settings;
        Settings.BufferFrames = 1024;
        Settings.WriterSleepMs = 1;
        Settings.PrefillBuffers = Cycle % 3;
        auto Player = std::make_unique<TQuavix>(Settings);
        ASSERT_EQ(Player->OutputDevice, Output) << Cycle;
        ASSERT_TRUE(Player->Module->LoadFromFile(Song));
        ASSERT_TRUE(Player->Play());
        if (Cycle % 5 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        Player->Stop();
        if (Output == TQuavixOutputDevice::Oss) {
            ASSERT_TRUE(Player->WriterParked()) << Cycle;
            std::ofstream(Device, std::ios::trunc).close();
        }
    }
}

#ifdef QUAVIX_HAVE_SDL
TEST(OutputStress, FiveHundredCyclesOnSdl) {
    const std::string DiskFile = TempPath("stress-disk");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", DiskFile.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);
    FiveHundredCycles(TQuavixOutputDevice::Sdl, "");
    RestartSdlAudio();
    unlink(DiskFile.c_str());
}
#endif

TEST(OutputStress, FiveHundredCyclesOnOss) {
    const std::string Device = TempPath("stress-device");
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    setenv("QUAVIX_OSS_DEVICE", Device.c_str(), 1);
    std::ofstream(Device).close();
    FiveHundredCycles(TQuavixOutputDevice::Oss, Device);
    unsetenv("QUAVIX_OSS_DEVICE");
    RestartSdlAudio();
    unlink(Device.c_str());
}

}  // namespace
