// What the player's owner can change while a song plays: muted channels,
// the channel meters, pausing, and seeking to another order, with the song
// end still found after a seek.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "player/song_end.h"
#include "sequencer/channel.h"
#include "support/module_writer.h"
#include "support/case_names.h"

using namespace quavix_test;

namespace {

// A sample that holds one value: its output is a known level.
TXmInstrument Steady(int32_t Value) {
    TXmSample Sample = Sample8(std::vector<int32_t>(64, Value));
    Sample.Loop = TLoop::Forward;
    Sample.LoopLength = 64;
    return Instrument("steady", Sample);
}

std::unique_ptr<TQuavix> Player(const TBytes& Song, int32_t Frames = 4096) {
    std::unique_ptr<TQuavix> P = std::make_unique<TQuavix>(TQuavixSettings::Offline(44100, Frames));
    EXPECT_TRUE(LoadBytes(*P->Module, Song));
    return P;
}

std::vector<int16_t> RenderFrames(TQuavix& P, int32_t Buffers) {
    std::vector<int16_t> Out;
    std::vector<int16_t> Buffer(static_cast<size_t>(P.BufferFrames) * 2);
    for (int32_t i = 0; i < Buffers; ++i) {
        P.Render(Buffer.data());
        Out.insert(Out.end(), Buffer.begin(), Buffer.end());
    }
    return Out;
}

// Three channels. Channel 1 plays two notes (the first goes to the fade bank
// when the second comes), slides the global volume down and jumps to order
// 1; channels 2 and 3 hold notes of their own. With Without, the notes of
// those channels are left out and only their effects stay.
TBytes MuteSong(const std::vector<int32_t>& Without) {
    TXmSong Song;
    Song.Channels = 3;
    Song.Orders = {0, 1, 0};
    auto Left = [&](int32_t Channel) {
        for (int32_t C : Without)
            if (C == Channel) return false;
        return true;
    };
    auto Cell = [&](int32_t Row, int32_t Channel, const char* Name, int32_t Effect, int32_t Parameter) {
        return At(Row, Channel, Left(Channel) ? Note(Name) : 0, Left(Channel) ? Channel + 1 : 0, 0, Effect, Parameter);
    };
    Song.Patterns.push_back(TXmPattern(16, {Cell(0, 0, "C-4", Fx('H'), 0x02), Cell(8, 0, "E-4", Fx('B'), 1),
                                            Cell(0, 1, "G-3", 0, 0), Cell(4, 2, "C-5", 0, 0)}));
    Song.Patterns.push_back(TXmPattern(16, {Cell(2, 1, "A-3", 0, 0), Cell(6, 2, "D-5", 0, 0)}));
    Song.Instruments = {Steady(90), Steady(-70), Steady(50)};
    return WriteXm(Song);
}

struct TMuteCase : quavix_test::TNamedCase {
    std::vector<int32_t> Muted;  // from 0
    std::vector<int32_t> Without;
};

std::vector<TMuteCase> MuteCases() {
    return {
        // Its first note also sounds on in the fade bank, muted too.
        {"channel 1, whose global volume slide and jump still act", {0}, {0}},
        {"channels 2 and 3", {1, 2}, {1, 2}},
    };
}

class ChannelMutesMutedChannelsAddNothingButKeepTheirEffects : public ::testing::TestWithParam<TMuteCase> {};

TEST_P(ChannelMutesMutedChannelsAddNothingButKeepTheirEffects, MutedChannelsAddNothingButKeepTheirEffects) {
    const TMuteCase& Case = GetParam();
    std::unique_ptr<TQuavix> Muted = Player(MuteSong({}));
    for (int32_t Channel : Case.Muted) Muted->SetChannelMuted(Channel, true);
    Muted->Play();
    std::unique_ptr<TQuavix> Reference = Player(MuteSong(Case.Without));
    Reference->Play();
    std::unique_ptr<TQuavix> Full = Player(MuteSong({}));
    Full->Play();
    // Three seconds: through the jump and back to order 0.
    const std::vector<int16_t> Heard = RenderFrames(*Muted, 33);
    EXPECT_TRUE(Heard == RenderFrames(*Reference, 33));
    EXPECT_FALSE(Heard == RenderFrames(*Full, 33)) << "the muted channels made no sound anyway";
}
INSTANTIATE_TEST_SUITE_P(ChannelMutes, ChannelMutesMutedChannelsAddNothingButKeepTheirEffects, ::testing::ValuesIn(MuteCases()),
                         quavix_test::TCaseName());

TEST(ChannelMeters, LevelsAreWhatTheVoicesAddToTheMix) {
    // Channel 1 plays a steady 8-bit 100 at full volume, channel 2 a silent
    // sample at full volume, channel 3 the loud sample while muted.
    TXmSong Song;
    Song.Channels = 3;
    Song.Orders = {0};
    Song.Patterns.push_back(TXmPattern(64, {At(0, 0, Note("C-4"), 1), At(0, 1, Note("C-4"), 2), At(0, 2, Note("C-4"), 1)}));
    Song.Instruments = {Steady(100), Steady(0)};
    const TBytes Bytes = WriteXm(Song);
    std::unique_ptr<TQuavix> Metered = Player(Bytes);
    Metered->SetMeasureLevels(true);
    Metered->SetChannelMuted(2, true);
    Metered->Play();
    std::unique_ptr<TQuavix> Plain = Player(Bytes);
    Plain->SetChannelMuted(2, true);
    Plain->Play();
    EXPECT_TRUE(RenderFrames(*Metered, 2) == RenderFrames(*Plain, 2)) << "measuring changed the sound";
    // 100 x 256 at gain 2048 (master volume 128), centred: by the square-root
    // pan law of Extended Modules each side gets 1448/2048 of it (46341/65536),
    // 9050 in 16-bit units.
    EXPECT_EQ(Metered->TakeChannelPeak(0), 9050);
    EXPECT_EQ(Metered->TakeChannelPeak(1), 0);
    EXPECT_EQ(Metered->TakeChannelPeak(2), 0);
    EXPECT_EQ(Metered->TakeChannelPeak(0), 0) << "a peak taken starts again from 0";
    EXPECT_EQ(Plain->TakeChannelPeak(0), 0) << "levels taken with the meters off";
}

// A song that ends 8 rows in (speed 1: one 882-frame tick a row).
TBytes EightRows() {
    TXmSong Song;
    Song.Channels = 1;
    Song.Speed = 1;
    Song.Orders = {0};
    Song.Patterns.push_back(TXmPattern(8, {At(0, 0, Note("C-4"), 1)}));
    Song.Instruments = {Steady(100)};
    return WriteXm(Song);
}

TEST(PauseAndResume, PausingHoldsTheSongWhereItStands) {
    std::unique_ptr<TQuavix> Paused = Player(EightRows(), 1000);
    TQuavixSongEnd Watch;
    Watch.Start();
    Paused->SetSongEnd(&Watch);
    Paused->Play();
    std::unique_ptr<TQuavix> Straight = Player(EightRows(), 1000);
    Straight->Play();
    const std::vector<int16_t> Before = RenderFrames(*Paused, 3);
    EXPECT_TRUE(Before == RenderFrames(*Straight, 3));

    Paused->Pause();
    const int64_t Frames = Paused->PlayedFrameCount(), Clock = Paused->SongTime();
    const int32_t Row = Paused->PlayedRowNumber();
    // Long past where the song ends: still nothing moves, and it does not end.
    for (int16_t Value : RenderFrames(*Paused, 20)) ASSERT_EQ(Value, 0);
    EXPECT_EQ(Paused->PlayedFrameCount(), Frames);
    EXPECT_EQ(Paused->SongTime(), Clock);
    EXPECT_EQ(Paused->PlayedRowNumber(), Row);
    EXPECT_EQ(Watch.StopFrame, -1);

    Paused->Resume();
    EXPECT_TRUE(RenderFrames(*Paused, 5) == RenderFrames(*Straight, 5)) << "resumed elsewhere";
    EXPECT_EQ(Watch.StopFrame, 8 * 882);
    Paused->SetSongEnd(nullptr);
}

struct TSeekCase : quavix_test::TNamedCase {
    int32_t RowsBefore;  // rows played before the seek
    int32_t Order;       // where to
    int64_t End;         // where the song then ends
};

// Orders 0, 1, 2 of 8 rows, a row being one 882-frame buffer; the note of
// order 0 holds on until a seek ends it. Played straight, the song ends 24
// rows in, coming back to order 0.
constexpr int64_t Row = 882;
TBytes SeekSong() {
    TXmSong Song;
    Song.Channels = 2;
    Song.Speed = 1;
    Song.Orders = {0, 1, 2};
    Song.Patterns.push_back(TXmPattern(8, {At(0, 0, Note("C-4"), 1)}));
    Song.Patterns.push_back(TXmPattern(8, {At(0, 1, Note("C-4"), 1)}));
    Song.Patterns.push_back(TXmPattern(8, {}));
    Song.Instruments = {Steady(100)};
    return WriteXm(Song);
}

std::vector<TSeekCase> SeekCases() {
    return {
        // Order 0 counts as played: the song ends when it wraps back there.
        {"forward over an order", 2, 2, (2 + 8) * Row},
        // The rows played before count no more: the song plays on to its end.
        {"back to the start", 12, 0, (12 + 24) * Row},
        {"the order playing, from its start", 11, 1, (11 + 16) * Row},
    };
}

class SeekingAnotherOrderStartsAtOnceAndTheSongStillEnds : public ::testing::TestWithParam<TSeekCase> {};

TEST_P(SeekingAnotherOrderStartsAtOnceAndTheSongStillEnds, AnotherOrderStartsAtOnceAndTheSongStillEnds) {
    const TSeekCase& Case = GetParam();
    std::unique_ptr<TQuavix> P = Player(SeekSong(), static_cast<int32_t>(Row));
    TQuavixSongEnd Watch;
    Watch.Start();
    P->SetSongEnd(&Watch);
    P->Play();
    const std::vector<int16_t> Before = RenderFrames(*P, Case.RowsBefore);
    P->RequestSeek(Case.Order, 123456);
    EXPECT_TRUE(P->SeekPending());
    const std::vector<int16_t> After = RenderFrames(*P, 1);
    EXPECT_FALSE(P->SeekPending());
    EXPECT_EQ(P->PlayedOrderPosition(), Case.Order);
    EXPECT_EQ(P->PlayedRowNumber(), 0);
    EXPECT_EQ(P->SongTime(), 123456 + Row);
    // The sounding note fades out from where it stood: no step larger
    // than a fade step, and silence once the fade is over.
    if (Case.Order == 2) {
        EXPECT_LE(std::abs(After[1] - Before.back()), 100);
        for (size_t i = 1; i < After.size() / 2; ++i) EXPECT_LE(std::abs(After[2 * i + 1] - After[2 * i - 1]), 100);
        EXPECT_EQ(After[2 * 400 + 1], 0);
    }
    RenderFrames(*P, 40);
    EXPECT_EQ(Watch.StopFrame, Case.End);
    P->SetSongEnd(nullptr);
}
INSTANTIATE_TEST_SUITE_P(Seeking, SeekingAnotherOrderStartsAtOnceAndTheSongStillEnds, ::testing::ValuesIn(SeekCases()),
                         quavix_test::TCaseName());

}  // namespace
