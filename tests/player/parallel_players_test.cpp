// Players on several threads at once share nothing that changes: each
// renders what it renders alone. Run under ThreadSanitizer by the test
// command, which reports any memory two players touch without order.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "player/quavix.h"
#include "player/song_end.h"
#include "support/module_writer.h"

using namespace quavix_test;

namespace {

// FNV-1a over all the rendered bytes of the song to its end.
uint64_t RenderToEnd(const TBytes& Song, bool Metered) {
    std::unique_ptr<TQuavix> Player = std::make_unique<TQuavix>(TQuavixSettings::Offline());
    Player->SetMeasureLevels(Metered);
    if (Song.empty())
        EXPECT_TRUE(Player->Module->LoadFromFile(QUAVIX_SOURCE_DIR "/songs/quavix-default.xm"));
    else
        EXPECT_TRUE(LoadBytes(*Player->Module, Song));
    TQuavixSongEnd Watch;
    Watch.Start();
    Player->SetSongEnd(&Watch);
    Player->Play();
    std::vector<uint8_t> Out(static_cast<size_t>(Player->OutputBufferBytes));
    uint64_t Hash = 14695981039346656037ull;
    for (int32_t Buffer = 0; Buffer < 2000 && Watch.StopFrame < 0; ++Buffer) {
        Player->Render(Out.data());
        for (uint8_t Byte : Out) Hash = (Hash ^ Byte) * 1099511628211ull;
        Player->TakeChannelPeak(0);
    }
    Player->Stop();
    Player->SetSongEnd(nullptr);
    return Hash;
}

TEST(ParallelPlayers, RenderWhatTheyRenderAlone) {
    TXmSong Busy = SmallXm();
    Busy.Channels = 6;
    Busy.Orders = {0, 0};
    Busy.Patterns[0].Cells.push_back(At(4, 2, Note("E-4"), 1, 0, Fx('4'), 0x44));
    Busy.Patterns[0].Cells.push_back(At(8, 3, Note("C-5"), 1, 0, Fx('Z'), 0x20));
    const std::vector<TBytes> Songs = {{}, WriteXm(Busy), WriteMod(SmallMod()), {}};
    std::vector<uint64_t> Alone;
    for (size_t i = 0; i < Songs.size(); ++i) Alone.push_back(RenderToEnd(Songs[i], i % 2 == 1));
    // Each song twice at once, the bundled song on four threads.
    std::vector<uint64_t> Together(Songs.size() * 2);
    std::vector<std::thread> Threads;
    for (size_t i = 0; i < Together.size(); ++i)
        Threads.emplace_back([&, i] { Together[i] = RenderToEnd(Songs[i % Songs.size()], i % 2 == 1); });
    for (std::thread& Thread : Threads) Thread.join();
    for (size_t i = 0; i < Together.size(); ++i) EXPECT_EQ(Together[i], Alone[i % Songs.size()]) << "song " << i % Songs.size();
    EXPECT_EQ(Alone[0], Alone[3]) << "the meters changed what is heard";
}

}  // namespace
