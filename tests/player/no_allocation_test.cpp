// Rendering allocates nothing: every allocation made by the program is
// counted, and the count must not move across Render calls while songs play.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "player/quavix.h"
#include "support/case_names.h"
#include "support/module_writer.h"

namespace {
std::atomic<long> Allocations{0};
}

// The counting operators pair malloc with free themselves; some compilers
// see only the operator names and warn.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t Size) {
    ++Allocations;
    if (void* Block = std::malloc(Size ? Size : 1)) return Block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t Size) { return operator new(Size); }
void operator delete(void* Block) noexcept { std::free(Block); }
void operator delete[](void* Block) noexcept { std::free(Block); }
void operator delete(void* Block, std::size_t) noexcept { std::free(Block); }
void operator delete[](void* Block, std::size_t) noexcept { std::free(Block); }

using namespace quavix_test;

namespace {

struct TAllocationCase : quavix_test::TNamedCase {
    TBytes Song;  // none: the bundled song
    int32_t Bits;
    bool Stereo;
    bool Controls;  // meters on, a channel muted, seeks and pauses on the way
};

std::vector<TAllocationCase> AllocationCases() {
    TXmSong Busy = SmallXm();
    Busy.Channels = 8;
    Busy.Orders = {0, 0};
    Busy.Patterns[0].Cells.push_back(At(4, 2, Note("E-4"), 1, 0, Fx('4'), 0x44));
    Busy.Patterns[0].Cells.push_back(At(8, 3, Note("C-5"), 1, 0, Fx('Z'), 0x20));
    Busy.Patterns[0].Cells.push_back(At(12, 4, Note("G-3"), 1, 0, Fx('E'), 0x63));
    return {
        {"bundled song", {}, 16, true, false},
        {"busy written song", WriteXm(Busy), 8, false, false},
        {"pattern-format song", WriteMod(SmallMod()), 16, true, false},
        {"bundled song with the owner's controls", {}, 16, true, true},
    };
}

class RenderAllocationsNoneWhileSongsPlay : public ::testing::TestWithParam<TAllocationCase> {};

TEST_P(RenderAllocationsNoneWhileSongsPlay, NoneWhileSongsPlay) {
    const TAllocationCase& Case = GetParam();
    std::unique_ptr<TQuavix> Player = std::make_unique<TQuavix>(TQuavixSettings::Offline(44100, 4096, Case.Stereo, Case.Bits));
    if (Case.Song.empty())
        ASSERT_TRUE(Player->Module->LoadFromFile(QUAVIX_SOURCE_DIR "/songs/quavix-default.xm"));
    else
        ASSERT_TRUE(LoadBytes(*Player->Module, Case.Song));
    std::vector<uint8_t> Out(static_cast<size_t>(Player->OutputBufferBytes));
    Player->SetMeasureLevels(Case.Controls);
    Player->SetChannelMuted(1, Case.Controls);
    Player->Play();
    const long Before = Allocations.load();
    // About 40 seconds of song time.
    for (int Buffer = 0; Buffer < 430; ++Buffer) {
        if (Case.Controls && Buffer % 50 == 10) Player->RequestSeek(Buffer % 3, Buffer);
        if (Case.Controls && Buffer % 50 == 20) Player->Pause();
        if (Case.Controls && Buffer % 50 == 22) Player->Resume();
        if (Case.Controls && Buffer % 50 == 30) Player->RequestMasterVolume(Buffer);
        Player->Render(Out.data());
        Player->TakeChannelPeak(0);
    }
    EXPECT_EQ(Allocations.load() - Before, 0);
    Player->Stop();
}
INSTANTIATE_TEST_SUITE_P(RenderAllocations, RenderAllocationsNoneWhileSongsPlay, ::testing::ValuesIn(AllocationCases()),
                         quavix_test::TCaseName());

}  // namespace
