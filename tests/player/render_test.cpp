// The render loop: tick lengths, ticks at exact frames, the carried frames
// of a cut tick, the conversion to 16-bit and 8-bit output, and silence
// while the player is stopped.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "player/quavix.h"
#include "support/module_writer.h"
#include "support/case_names.h"

using namespace quavix_test;

namespace {

std::unique_ptr<TQuavix> PlayerWithSong(int32_t Rate, int32_t Frames, bool Stereo, int32_t Bits) {
    std::unique_ptr<TQuavix> Player = std::make_unique<TQuavix>(TQuavixSettings::Offline(Rate, Frames, Stereo, Bits));
    EXPECT_TRUE(LoadBytes(*Player->Module, WriteXm(SmallXm())));
    return Player;
}

struct TTickLengthCase : quavix_test::TNamedCase {
    int32_t Rate, Tempo, Frames, TempoAfter;
};

std::vector<TTickLengthCase> TickLengthCases() {
    return {
        {"44100 Hz at 125", 44100, 125, 882, 125},
        {"44100 Hz at 255", 44100, 255, 432, 255},
        {"tempo 0 is taken as 125", 44100, 0, 882, 125},
        {"22050 Hz at 125", 22050, 125, 441, 125},
        {"48000 Hz at 32", 48000, 32, 3750, 32},
        {"102 Hz at 255", 102, 255, 1, 255},
        {"a tick lasts at least one frame", 50, 255, 1, 255},
    };
}

class RenderTickLengthFollowsRateAndTempo : public ::testing::TestWithParam<TTickLengthCase> {};

TEST_P(RenderTickLengthFollowsRateAndTempo, TickLengthFollowsRateAndTempo) {
    const TTickLengthCase& Case = GetParam();
    std::unique_ptr<TQuavix> Player = std::make_unique<TQuavix>(TQuavixSettings::Offline(Case.Rate, 64));
    Player->Module->Tempo = static_cast<uint8_t>(Case.Tempo);
    Player->UpdateTickLength();
    EXPECT_EQ(Player->SamplesPerTick, Case.Frames) << Case.Rate << " Hz, tempo " << Case.Tempo;
    EXPECT_EQ(Player->SamplesLeft, Case.Frames);
    EXPECT_EQ(Player->Module->TickLength, Case.Frames);
    EXPECT_EQ(Player->Module->Tempo, Case.TempoAfter);
}
INSTANTIATE_TEST_SUITE_P(Render, RenderTickLengthFollowsRateAndTempo, ::testing::ValuesIn(TickLengthCases()),
                         quavix_test::TCaseName());

// 882 frames per tick: the first 4096-frame buffer holds ticks at frames
// 0, 882, 1764, 2646 and 3528 and ends 314 frames before the next one.
struct TCarryCase : quavix_test::TNamedCase {
    int32_t Frames;
    std::vector<int32_t> LeftAfterEachRender;
};

std::vector<TCarryCase> CarryCases() {
    return {
        {"4096-frame buffers", 4096, {314, 628, 60}},  // 314 + 4 x 882 + 254 ...
        {"buffers that end on tick boundaries", 882, {0, 0, 0}},
        {"1000-frame buffers", 1000, {764, 646, 528}},
        {"100-frame buffers", 100, {782, 682, 582}},
    };
}

class RenderTicksFallOnExactFramesAndCarryAcrossBuffers : public ::testing::TestWithParam<TCarryCase> {};

TEST_P(RenderTicksFallOnExactFramesAndCarryAcrossBuffers, TicksFallOnExactFramesAndCarryAcrossBuffers) {
    const TCarryCase& Case = GetParam();
    std::unique_ptr<TQuavix> Player = PlayerWithSong(44100, Case.Frames, true, 16);
    ASSERT_TRUE(Player->Play());
    EXPECT_EQ(Player->SamplesLeft, 0);  // the first render begins with a tick
    std::vector<uint8_t> Out(static_cast<size_t>(Player->OutputBufferBytes));
    for (int32_t Left : Case.LeftAfterEachRender) {
        Player->Render(Out.data());
        EXPECT_EQ(Player->SamplesLeft, Left);
        EXPECT_EQ(Player->SamplesPerTick, 882);
    }
}
INSTANTIATE_TEST_SUITE_P(Render, RenderTicksFallOnExactFramesAndCarryAcrossBuffers, ::testing::ValuesIn(CarryCases()),
                         quavix_test::TCaseName());

TEST(Render, ABufferPlaysTheTicksThatStartInIt) {
    // The first 4096 frames run five ticks: row 0's ticks 0 to 4 at speed 6.
    std::unique_ptr<TQuavix> Player = PlayerWithSong(44100, 4096, true, 16);
    Player->Play();
    std::vector<uint8_t> Out(static_cast<size_t>(Player->OutputBufferBytes));
    Player->Render(Out.data());
    EXPECT_EQ(Player->Module->PlayingRow, 0);
    EXPECT_EQ(Player->Module->TickCounter, 4);
    // The next one finishes row 0 (tick 5 at frame 4410) and starts row 1 at 5292.
    Player->Render(Out.data());
    EXPECT_EQ(Player->Module->PlayingRow, 1);
    EXPECT_EQ(Player->Module->TickCounter, 3);
}

struct TMixCase : quavix_test::TNamedCase {
    int32_t Mix;
    int16_t Clipped, Wrapped;
    int16_t Rounded;  // clipped, rounded to the nearest (OutputRoundsToNearest)
};

std::vector<TMixCase> MixCases() {
    return {
        {"the top", 32767 * 4096, 32767, 32767, 32767},
        {"past the top: clamped, or wrapped round", 32768 * 4096, 32767, -32768, 32767},
        {"the bottom", -32768 * 4096, -32768, -32768, -32768},
        {"past the bottom", -32768 * 4096 - 1, -32768, 32767, -32768},
        {"the arithmetic shift takes the floor", 4095, 0, 0, 1},
        {"just below 0", -1, -1, -1, 0},
        {"0", 0, 0, 0, 0},
        {"far past the top", 100000 * 4096, 32767, static_cast<int16_t>(100000 - 131072), 32767},
        {"the smallest mix", INT32_MIN, -32768, 0, -32768},
        {"the largest mix rounds without overflow", INT32_MAX, 32767, -1, 32767},
        // Rounding: halves go up.
        {"just below a half", 2047, 0, 0, 0},
        {"a half", 2048, 0, 0, 1},
        {"a half below 0", -2048, -1, -1, 0},
        {"just past a half below 0", -2049, -1, -1, -1},
    };
}

class RenderConvertsTheMixTo16Bits : public ::testing::TestWithParam<TMixCase> {};

TEST_P(RenderConvertsTheMixTo16Bits, ConvertsTheMixTo16Bits) {
    const TMixCase& Case = GetParam();
    EXPECT_EQ(TQuavix::MixToSample16(Case.Mix, true), Case.Clipped);
    EXPECT_EQ(TQuavix::MixToSample16(Case.Mix, false), Case.Wrapped);
    EXPECT_EQ(TQuavix::MixToSample16(Case.Mix, true, true), Case.Rounded);
}
INSTANTIATE_TEST_SUITE_P(Render, RenderConvertsTheMixTo16Bits, ::testing::ValuesIn(MixCases()),
                         quavix_test::TCaseName());

TEST(Render, ClipsAWholeBufferAsEachMixAlone) {
    // A whole buffer at once, each case in every place of a vector's lanes
    // and in the values left over after the last whole vector; floored and
    // rounded.
    const std::vector<TMixCase> Cases = MixCases();
    const size_t Count = Cases.size();
    std::vector<int32_t> Mix;
    std::vector<int16_t> Want, WantRounded;
    for (size_t i = 0; i < 8 * Count + 5; ++i) {
        Mix.push_back(Cases[(i * 5 + i / Count) % Count].Mix);
        Want.push_back(Cases[(i * 5 + i / Count) % Count].Clipped);
        WantRounded.push_back(Cases[(i * 5 + i / Count) % Count].Rounded);
    }
    std::vector<int16_t> Clipped(Mix.size()), Rounded(Mix.size());
    TQuavix::ClipMixTo16(Mix.data(), Clipped.data(), static_cast<int32_t>(Mix.size()));
    TQuavix::ClipMixTo16(Mix.data(), Rounded.data(), static_cast<int32_t>(Mix.size()), true);
    EXPECT_EQ(Clipped, Want);
    EXPECT_EQ(Rounded, WantRounded);
}

struct TByteCase : quavix_test::TNamedCase {
    int16_t Sample;
    uint8_t Byte;
};

std::vector<TByteCase> ByteCases() {
    return {
        {"the bottom", -32768, 0},
        {"just below 0", -1, 127},
        {"0 is the centre", 0, 128},
        {"the low byte is dropped", 255, 128},
        {"the next high byte", 256, 129},
        {"the top", 32767, 255},
        {"-256 shares the byte of -1", -256, 127},
        {"-257 is the next byte down", -257, 126},
    };
}

class RenderConvertsTo8BitsByTheHighByte : public ::testing::TestWithParam<TByteCase> {};

TEST_P(RenderConvertsTo8BitsByTheHighByte, ConvertsTo8BitsByTheHighByte) {
    const TByteCase& Case = GetParam();
    EXPECT_EQ(TQuavix::Sample16To8(Case.Sample), Case.Byte);
}
INSTANTIATE_TEST_SUITE_P(Render, RenderConvertsTo8BitsByTheHighByte, ::testing::ValuesIn(ByteCases()),
                         quavix_test::TCaseName());

struct TSilenceCase : quavix_test::TNamedCase {
    int32_t Bits;
    bool Stereo;
    uint8_t Silence;
};

std::vector<TSilenceCase> SilenceCases() {
    return {{"16-bit stereo", 16, true, 0},
                 {"16-bit mono", 16, false, 0},
                 {"8-bit stereo", 8, true, 128},
                 {"8-bit mono", 8, false, 128}};
}

class RenderSilentAndTicklessWhileNotPlaying : public ::testing::TestWithParam<TSilenceCase> {};

TEST_P(RenderSilentAndTicklessWhileNotPlaying, SilentAndTicklessWhileNotPlaying) {
    const TSilenceCase& Case = GetParam();
    std::unique_ptr<TQuavix> Player = PlayerWithSong(44100, 512, Case.Stereo, Case.Bits);
    // Never started, and stopped after playing: both are silent and run no tick.
    for (int Round = 0; Round < 2; ++Round) {
        const int32_t LeftBefore = Player->SamplesLeft;
        const int32_t TickLengthBefore = Player->Module->TickLength;
        std::vector<uint8_t> Out(static_cast<size_t>(Player->OutputBufferBytes) + 1, 0x5A);
        Player->Render(Out.data());
        for (size_t i = 0; i + 1 < Out.size(); ++i)
            ASSERT_EQ(Out[i], Case.Silence) << Case.Bits << " bits, byte " << i << ", round " << Round;
        EXPECT_EQ(Out.back(), 0x5A) << "wrote past OutputBufferBytes";
        EXPECT_EQ(Player->SamplesLeft, LeftBefore);
        EXPECT_EQ(Player->Module->TickLength, TickLengthBefore);
        Player->Play();
        Player->Render(Out.data());
        Player->Stop();
    }
}
INSTANTIATE_TEST_SUITE_P(Render, RenderSilentAndTicklessWhileNotPlaying, ::testing::ValuesIn(SilenceCases()),
                         quavix_test::TCaseName());

TEST(Render, PlayReportsWhetherASongIsLoaded) {
    std::unique_ptr<TQuavix> Empty = std::make_unique<TQuavix>(TQuavixSettings::Offline(44100, 256));
    EXPECT_FALSE(Empty->Play());
    EXPECT_TRUE(Empty->Playing);
    std::unique_ptr<TQuavix> Loaded = PlayerWithSong(44100, 256, true, 16);
    EXPECT_TRUE(Loaded->Play());
    EXPECT_EQ(Loaded->OutputDevice, TQuavixOutputDevice::None);
    Loaded->Stop();
    EXPECT_FALSE(Loaded->Playing);
    EXPECT_GE(Loaded->FillPosition, Loaded->FillSize);  // nothing left waiting
}

}  // namespace
