#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "player/quavix.h"
#include "support/case_names.h"

namespace {

struct TFormatCase : quavix_test::TNamedCase {
    int32_t Rate, Frames;
    bool Stereo;
    int32_t Bits;
    int32_t WantRate, WantChannels, WantBits, WantMixBytes, WantOutputBytes, WantRamp;
};

std::vector<TFormatCase> FormatCases() {
    return {
        {"the window's", 44100, 4096, true, 16, 44100, 2, 16, 32768, 16384, 128},
        {"rate 0 means 44100 Hz", 0, 4096, true, 16, 44100, 2, 16, 32768, 16384, 128},
        {"8-bit mono at half the rate", 22050, 1024, false, 8, 22050, 1, 8, 4096, 1024, 64},
        {"24 bits give 16", 48000, 100, true, 24, 48000, 2, 16, 800, 400, 139},
        {"32 bits give 16", 8000, 3, false, 32, 8000, 1, 16, 12, 6, 23},
        {"8-bit stereo, five frames", 11025, 5, true, 8, 11025, 2, 8, 40, 10, 32},
    };
}

class PlayerCreateDerivesTheFormatAndPreparesTheSong : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(PlayerCreateDerivesTheFormatAndPreparesTheSong, DerivesTheFormatAndPreparesTheSong) {
    const TFormatCase& C = GetParam();
    auto Player = std::make_unique<TQuavix>(C.Rate, C.Frames, 4, C.Stereo, 10, C.Bits, 2);
    EXPECT_EQ(Player->SampleRate(), C.WantRate) << C.Rate;
    EXPECT_EQ(Player->OutputChannels(), C.WantChannels) << C.Rate;
    EXPECT_EQ(Player->OutputBits, C.WantBits) << C.Rate;
    EXPECT_EQ(Player->MixBufferBytes, C.WantMixBytes) << C.Rate;
    EXPECT_EQ(Player->OutputBufferBytes, C.WantOutputBytes) << C.Rate;
    ASSERT_NE(Player->Module, nullptr);
    EXPECT_EQ(Player->Module->Owner, Player.get());
    EXPECT_EQ(Player->Module->SampleRate, C.WantRate) << C.Rate;
    EXPECT_EQ(Player->Module->NormalRampLength, C.WantRamp) << C.Rate;
    EXPECT_EQ(Player->Module->FadeRampLength, C.WantRamp) << C.Rate;
}
INSTANTIATE_TEST_SUITE_P(PlayerCreate, PlayerCreateDerivesTheFormatAndPreparesTheSong, ::testing::ValuesIn(FormatCases()),
                         quavix_test::TCaseName());

// Renders the bundled song's first buffers.
std::vector<uint8_t> FirstBuffers(TQuavix& Player, int32_t Buffers) {
    EXPECT_TRUE(Player.Module->LoadFromFile(QUAVIX_SOURCE_DIR "/songs/quavix-default.xm"));
    Player.Play();
    std::vector<uint8_t> Out(static_cast<size_t>(Player.OutputBufferBytes) * Buffers);
    for (int32_t i = 0; i < Buffers; ++i) Player.Render(Out.data() + static_cast<size_t>(i) * Player.OutputBufferBytes);
    Player.Stop();
    return Out;
}

TEST(PlayerCreate, DefaultSettingsPlayAsTheBarePlayerOnceItIsSetUp) {
    // No sound device opens here: the test renders by itself.
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    setenv("QUAVIX_OSS_DEVICE", "/nonexistent/dsp", 1);
    // The bare construction chooses no mixing loop, so the song is silent
    // until interpolation, clipping and the master volume are given.
    TQuavix Bare(44100, 4096, 4, true, 10, 16, 0);
    ASSERT_EQ(Bare.OutputDevice, TQuavixOutputDevice::None);
    EXPECT_EQ(Bare.Interpolation, TQuavixInterpolation::Unset);
    EXPECT_EQ(FirstBuffers(Bare, 4), std::vector<uint8_t>(4 * 16384, 0));
    Bare.Interpolation = TQuavixInterpolation::Linear;
    Bare.Clipping = 1;
    Bare.Module->MasterVolume = 128;
    const std::vector<uint8_t> SetUp = FirstBuffers(Bare, 4);
    EXPECT_NE(SetUp, std::vector<uint8_t>(4 * 16384, 0));

    // Default settings need none of that, with a device or offline.
    TQuavix Default{TQuavixSettings{}};
    EXPECT_EQ(FirstBuffers(Default, 4), SetUp);
    TQuavix Offline{TQuavixSettings::Offline()};
    EXPECT_EQ(FirstBuffers(Offline, 4), SetUp);
    unsetenv("QUAVIX_OSS_DEVICE");
    unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
