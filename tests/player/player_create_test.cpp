#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "player/quavix.h"

namespace {

TEST(PlayerCreate, DerivesTheFormatAndPreparesTheSong) {
    struct Case {
        int32_t Rate, Frames;
        bool Stereo;
        int32_t Bits;
        int32_t WantRate, WantChannels, WantBits, WantMixBytes, WantOutputBytes, WantRamp;
    };
    const Case Cases[] = {
        {44100, 4096, true, 16, 44100, 2, 16, 32768, 16384, 128},
        {0, 4096, true, 16, 44100, 2, 16, 32768, 16384, 128},     // 0 means 44100 Hz
        {22050, 1024, false, 8, 22050, 1, 8, 4096, 1024, 64},
        {48000, 100, true, 24, 48000, 2, 16, 800, 400, 139},      // unsupported widths give 16 bits
        {8000, 3, false, 32, 8000, 1, 16, 12, 6, 23},
        {11025, 5, true, 8, 11025, 2, 8, 40, 10, 32},
    };
    for (const Case& C : Cases) {
        auto Player = std::make_unique<TQuavix>(C.Rate, C.Frames, 4, C.Stereo, 10, C.Bits, 2);
        EXPECT_EQ(Player->SampleRate, C.WantRate) << C.Rate;
        EXPECT_EQ(Player->OutputChannels, C.WantChannels) << C.Rate;
        EXPECT_EQ(Player->OutputBits, C.WantBits) << C.Rate;
        EXPECT_EQ(Player->MixBufferBytes, C.WantMixBytes) << C.Rate;
        EXPECT_EQ(Player->OutputBufferBytes, C.WantOutputBytes) << C.Rate;
        ASSERT_NE(Player->Module, nullptr);
        EXPECT_EQ(Player->Module->Owner, Player.get());
        EXPECT_EQ(Player->Module->SampleRate, C.WantRate) << C.Rate;
        EXPECT_EQ(Player->Module->NormalRampLength, C.WantRamp) << C.Rate;
        EXPECT_EQ(Player->Module->FadeRampLength, C.WantRamp) << C.Rate;
    }
}

TEST(PlayerCreate, StoresTheSettingsAndStartsIdle) {
    auto Player = std::make_unique<TQuavix>(44100, 4096, 7, true, 25, 16, 3);
    EXPECT_EQ(Player->BufferFrames, 4096);
    EXPECT_EQ(Player->BufferCount, 7);
    EXPECT_EQ(Player->WriterSleepMs, 25);
    EXPECT_EQ(Player->PrefillBuffers, 3);
    EXPECT_FALSE(Player->Playing);
    EXPECT_EQ(Player->OutputDevice, 0);
    EXPECT_EQ(Player->Interpolation, 3);
    EXPECT_EQ(Player->Clipping, 1);
    EXPECT_FALSE(Player->Module->Loaded);
    EXPECT_FALSE(Player->Module->ExtendedFilterRange);
    EXPECT_EQ(Player->Module->MasterVolume, 128);
    // The filter table is ready: cutoff 127 at 44100 Hz is 5124 Hz.
    EXPECT_EQ(Player->CutoffToFrequency(127, 256), 5124);
    EXPECT_NE(Player->FilterTable[0][127], (TQuavix::TFilterCoefficients{0, 0, 0}));
}

}  // namespace
