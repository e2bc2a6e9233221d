// The bundled song renders to the same bytes on every machine: the engine is
// integer arithmetic, so the 32-bit ARM build must give what x86-64 gives. A
// stored checksum of its first seconds guards against unnoticed change;
// update it only with the reason in the commit message.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "player/quavix.h"
#include "support/case_names.h"

namespace {

// FNV-1a, 64 bits.
uint64_t Checksum(const std::vector<uint8_t>& Bytes, uint64_t Hash = 14695981039346656037ull) {
    for (uint8_t Byte : Bytes) Hash = (Hash ^ Byte) * 1099511628211ull;
    return Hash;
}

// The first Seconds of the bundled song at the window's settings, as one
// checksum over all rendered buffers.
uint64_t RenderBundledSong(int32_t Seconds, int32_t Bits, TQuavixInterpolation Interpolation) {
    TQuavixSettings Settings = TQuavixSettings::Offline(44100, 4096, true, Bits);
    Settings.Interpolation = Interpolation;
    std::unique_ptr<TQuavix> Player = std::make_unique<TQuavix>(Settings);
    EXPECT_TRUE(Player->Module->LoadFromFile(QUAVIX_SOURCE_DIR "/songs/quavix-default.xm"));
    Player->Play();
    std::vector<uint8_t> Out(static_cast<size_t>(Player->OutputBufferBytes));
    uint64_t Hash = 14695981039346656037ull;
    bool Sound = false;
    for (int32_t Done = 0; Done < Seconds * 44100; Done += 4096) {
        Player->Render(Out.data());
        Hash = Checksum(Out, Hash);
        for (uint8_t Byte : Out) Sound = Sound || Byte != (Bits == 8 ? 128 : 0);
    }
    EXPECT_TRUE(Sound) << "the song rendered silence";
    return Hash;
}

struct TChecksumCase : quavix_test::TNamedCase {
    int32_t Bits;
    TQuavixInterpolation Interpolation;
    uint64_t Expected;
};

std::vector<TChecksumCase> ChecksumCases() {
    return {
        {"16-bit, linear interpolation", 16, TQuavixInterpolation::Linear, 0x386101db6eff4c6cull},
        {"8-bit, no interpolation", 8, TQuavixInterpolation::None, 0x0e3e010d32092034ull},
    };
}

class BundledSongFirstSecondsKeepTheirChecksum : public ::testing::TestWithParam<TChecksumCase> {};

TEST_P(BundledSongFirstSecondsKeepTheirChecksum, FirstSecondsKeepTheirChecksum) {
    const TChecksumCase& Case = GetParam();
    const uint64_t Hash = RenderBundledSong(8, Case.Bits, Case.Interpolation);
    EXPECT_EQ(Hash, Case.Expected) << "0x" << std::hex << Hash;
    EXPECT_EQ(RenderBundledSong(8, Case.Bits, Case.Interpolation), Hash) << "a second render differs";
}
INSTANTIATE_TEST_SUITE_P(BundledSong, BundledSongFirstSecondsKeepTheirChecksum, ::testing::ValuesIn(ChecksumCases()),
                         quavix_test::TCaseName());

}  // namespace
