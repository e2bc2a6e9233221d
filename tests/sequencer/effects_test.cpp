// Effect commands played tick by tick in small songs: each family checked
// through one value of the channel after every tick.
#include <cmath>

#include "sequencer/tables.h"
#include "song_fixture.h"

namespace {

using namespace quavix_song_test;
using TChannel = TQuavixChannelState;

const int32_t C4 = Note("C-4"), D4 = Note("D-4");
const int32_t E = Fx('E'), X = Fx('X');

TXmSong Amiga(TXmSong Song) {
    Song.LinearSlides = false;
    return Song;
}

// A volume envelope (0, 64), (4, 32), (8, 0) sustained at its middle point,
// and a fade-out of 8192 per tick.
TXmSong Sustained(TXmSong Song) {
    auto& I = Song.Instruments[0];
    I.VolumeEnvelope.Points = {{0, 64}, {4, 32}, {8, 0}};
    I.VolumeEnvelope.SustainPoint = 1;
    I.FadeOut = 4096;
    return Song;
}

class Effects : public SongTest {};

std::vector<TTickCase> PitchCases() {
    const TProbe Period = Of(&TChannel::Period), Offset = Of(&TChannel::PeriodOffset);
    const TProbe Played = [](const TQuavixModule& M) { return M.Channels[0]->Period + M.Channels[0]->PeriodOffset; };
    return {
        // Linear periods: C-4 4608, D-4 4480. Amiga: C-4 1712, D#4 1440, G-4 1140.
        // The ticks left in the row choose the note: at speed 6 + y comes
        // first.
        {"037", MakeSong({At(0, 0, C4, 1, 0, 0, 0x37)}), Offset, {0, -448, -192, 0, -448, -192}},
        {"037, Amiga", Amiga(MakeSong({At(0, 0, C4, 1, 0, 0, 0x37)})), Offset, {0, -572, -272, 0, -572, -272}},
        {"102, 100", MakeSong({At(0, 0, C4, 1, 0, 1, 2), At(1, 0, 0, 0, 0, 1, 0)}, 3), Period,
         {4608, 4600, 4592, 4592, 4584, 4576}},
        {"305, 300", MakeSong({At(0, 0, C4, 1), At(1, 0, D4, 0, 0, 3, 5), At(2, 0, 0, 0, 0, 3, 0)}, 3), Period,
         {4608, 4608, 4608, 4608, 4588, 4568, 4568, 4548, 4528}},
        {"310 stops on its note", MakeSong({At(0, 0, C4, 1), At(1, 0, D4, 0, 0, 3, 0x10)}, 3), Period,
         {4608, 4608, 4608, 4608, 4544, 4480, 4480}},
        // The volume column's F8 slides by 8 * 16 * 4: D-4 at once.
        {"volume-column F8", MakeSong({At(0, 0, C4, 1), At(1, 0, D4, 0, 0xF8)}, 3), Period,
         {4608, 4608, 4608, 4608, 4480, 4480}},
        // Glissando: the slide goes on smoothly (by 36 a tick) while the
        // nearest note sounds, on the row's first tick too.
        {"E31 up", MakeSong({At(0, 0, C4, 1, 0, E, 0x31), At(1, 0, D4, 0, 0, 3, 9), At(2, 0, 0, 0, 0, 3, 9)}, 3),
         Played, {4608, 4608, 4608, 4608, 4544, 4544, 4544, 4480, 4480}},
        {"E31 down", MakeSong({At(0, 0, D4, 1, 0, E, 0x31), At(1, 0, C4, 0, 0, 3, 9), At(2, 0, 0, 0, 0, 3, 9)}, 3),
         Played, {4480, 4480, 4480, 4480, 4544, 4544, 4544, 4608, 4608}},
        // Vibrato plays on the row's first tick where it stands, moving on
        // from the next tick; 400 goes on with speed and depth. Sine 0, 97,
        // 180, 235, 255, (s * 8) / 32, with the negative half as the
        // positive one turned.
        {"448, 400", MakeSong({At(0, 0, C4, 1, 0, 4, 0x48), At(1, 0, 0, 0, 0, 4, 0)}), Offset,
         {0, 0, 24, 45, 58, 63, 58, 58, 45, 24, 0, -24}},
        // Ramp waveform, vibrato from the volume column's Bx (the column
        // plays before E41 changes the waveform).
        {"E41 with B8", MakeSong({At(0, 0, C4, 1, 0, 4, 0x48), At(1, 0, 0, 0, 0xB8, E, 0x41)}, 4), Offset,
         {0, 0, 24, 45, 58, 24, 32, 40}},
        {"E12, E10, E23, E20",
         MakeSong({At(0, 0, C4, 1, 0, E, 0x12), At(1, 0, 0, 0, 0, E, 0x10), At(2, 0, 0, 0, 0, E, 0x23),
                   At(3, 0, 0, 0, 0, E, 0x20)}, 1),
         Period, {4600, 4592, 4604, 4616}},
        {"X13, X10, X25",
         MakeSong({At(0, 0, C4, 1, 0, X, 0x13), At(1, 0, 0, 0, 0, X, 0x10), At(2, 0, 0, 0, 0, X, 0x25)}, 1), Period,
         {4605, 4602, 4607}},
        {"E50: the note at the lowest finetune", MakeSong({At(0, 0, C4, 1, 0, E, 0x50)}, 1), Period, {4672}},
    };
}

class EffectsPitch : public TickCaseTest {};
TEST_P(EffectsPitch, TickByTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Effects, EffectsPitch, ::testing::ValuesIn(PitchCases()), quavix_test::TCaseName());

std::vector<TTickCase> VolumeCases() {
    const TProbe Volume = Of(&TChannel::Volume);
    return {
        {"A0F", MakeSong({At(0, 0, C4, 1, 0, Fx('A'), 0x0F)}), Volume, {40, 25, 10, 0, 0, 0}},
        {"AF0", MakeSong({At(0, 0, C4, 1, 0x10, Fx('A'), 0xF0)}), Volume, {0, 15, 30, 45, 60, 64}},
        // Up takes the high nibble whenever it is set: A31 slides up by 3.
        {"A31, A00", MakeSong({At(0, 0, C4, 1, 0, Fx('A'), 0x31), At(1, 0, 0, 0, 0, Fx('A'), 0)}, 3), Volume,
         {40, 43, 46, 46, 49, 52}},
        {"volume column: fine down, fine up, down, up",
         MakeSong({At(0, 0, C4, 1, 0x83), At(1, 0, 0, 0, 0x94), At(2, 0, 0, 0, 0x65), At(3, 0, 0, 0, 0x72)}, 3),
         Volume, {37, 37, 37, 41, 41, 41, 41, 36, 31, 31, 33, 35}},
        {"EA5, EA0, EB3, EB0",
         MakeSong({At(0, 0, C4, 1, 0, E, 0xA5), At(1, 0, 0, 0, 0, E, 0xA0), At(2, 0, 0, 0, 0, E, 0xB3),
                   At(3, 0, 0, 0, 0, E, 0xB0)}, 1),
         Volume, {45, 50, 47, 44}},
        {"C50 is held to 64", MakeSong({At(0, 0, C4, 1, 0, Fx('C'), 0x50)}, 1), Volume, {64}},
        {"EC2", MakeSong({At(0, 0, C4, 1, 0, E, 0xC2)}, 4), Volume, {40, 40, 0, 0}},
        // Tremolo starts on the tick after the note.
        {"748", MakeSong({At(0, 0, C4, 1, 0, 7, 0x48)}), Of(&TChannel::VolumeOffset), {0, 0, 12, 22, 29, 31}},
        // Three ticks sounding, two silent, counted from the tick after the note;
        // a silent tick takes away the whole volume range.
        {"T21", MakeSong({At(0, 0, C4, 1, 0, Fx('T'), 0x21)}), Of(&TChannel::VolumeOffset), {0, 0, 0, 0, -64, -64}},
        // An empty cell restarts nothing, but the volume changes every 3 ticks.
        // The ticks are counted across rows: the first row after the
        // instrument number leaves its first tick out, the next counts it.
        {"R23, R00 on empty cells",
         MakeSong({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, Fx('R'), 0x23), At(2, 0, 0, 0, 0, Fx('R'), 0)}), Volume,
         Join(Each({40}, 9), Join(Each({38}, 3), Join(Each({36}, 3), Each({34}, 3))))},
        // Without a note the last note starts again: the voice it replaces
        // fades out in the fade bank.
        {"R23 restarts the last note", MakeSong({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, Fx('R'), 0x23)}), ActiveFadeChannels,
         Join(Each({0}, 9), {1, 1, 1})},
        // With a note each restart hands the old voice to the fade bank; the
        // instrument restores the volume, which then rises by 1.
        {"R93 with a note", MakeSong({At(0, 0, C4, 1, 0, Fx('R'), 0x93)}), Volume, {40, 40, 40, 41, 41, 41}},
        {"R93 restarts", MakeSong({At(0, 0, C4, 1, 0, Fx('R'), 0x93)}), ActiveFadeChannels, {0, 0, 0, 1, 1, 1}},
        {"E92 restarts", MakeSong({At(0, 0, C4, 1, 0, E, 0x92)}), ActiveFadeChannels, {0, 0, 1, 1, 2, 2}},
        // 9xx moves the note it starts, even past the sample's end (the
        // mixer then ends the voice); without a note it only gives the
        // offset that 900 repeats.
        {"902, 901, 900", MakeSong({At(0, 0, C4, 1, 0, 9, 2), At(1, 0, 0, 0, 0, 9, 1), At(2, 0, C4, 1, 0, 9, 0)}, 1),
         Of(&TChannel::Position), {2 << 20, 2 << 20, 1 << 20}},
    };
}

class EffectsVolume : public TickCaseTest {};
TEST_P(EffectsVolume, TickByTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Effects, EffectsVolume, ::testing::ValuesIn(VolumeCases()), quavix_test::TCaseName());

TEST_F(Effects, RetrigVolumeChanges) {
    // From 32, for x = 0..15.
    const int32_t Expected[16] = {32, 31, 30, 28, 24, 16, 21, 16, 32, 33, 34, 36, 40, 48, 48, 64};
    for (int32_t x = 0; x < 16; ++x) {
        SCOPED_TRACE(x);
        Load(MakeSong({At(0, 0, C4, 1, 0x30), At(1, 0, 0, 0, 0, Fx('R'), x * 16 + 1)}, 2));
        EXPECT_EQ(Play(4, Of(&TChannel::Volume)), (std::vector<int32_t>{32, 32, 32, Expected[x]}));
    }
}

std::vector<TTickCase> PanningAndGlobalVolumeCases() {
    const TProbe Panning = Of(&TChannel::Panning);
    const TProbe Global = [](const TQuavixModule& M) { return M.GlobalVolume; };
    return {
        {"840", MakeSong({At(0, 0, C4, 1, 0, 8, 0x40)}, 1), Panning, {64}},
        {"P0F, P40, P00",
         MakeSong({At(0, 0, C4, 1, 0, Fx('P'), 0x0F), At(1, 0, 0, 0, 0, Fx('P'), 0x40), At(2, 0, 0, 0, 0, Fx('P'), 0)}, 3),
         Panning, {128, 113, 98, 98, 102, 106, 106, 110, 114}},
        {"volume column: set, left, right", MakeSong({At(0, 0, C4, 1, 0xC4), At(1, 0, 0, 0, 0xD3), At(2, 0, 0, 0, 0xE2)}, 3),
         Panning, {64, 64, 64, 64, 61, 58, 58, 60, 62}},
        {"held to 255", MakeSong({At(0, 0, C4, 1, 0, 8, 0xF8), At(1, 0, 0, 0, 0, Fx('P'), 0xF0)}, 3), Panning,
         {248, 248, 248, 248, 255, 255}},
        {"X90, X91", MakeSong({At(0, 0, C4, 1, 0, X, 0x90), At(1, 0, 0, 0, 0, X, 0x91)}, 1), Of(&TChannel::Surround),
         {1, 0}},
        // Held to 0..64 while a voice sounds.
        {"G20, H0F, H00",
         MakeSong({At(0, 0, C4, 1, 0, Fx('G'), 0x20), At(1, 0, 0, 0, 0, Fx('H'), 0x0F), At(2, 0, 0, 0, 0, Fx('H'), 0)}, 3),
         Global, {32, 32, 32, 32, 17, 2, 2, 0, 0}},
        // Held there whether or not anything sounds.
        {"H0F with nothing sounding",
         MakeSong({At(0, 0, 0, 0, 0, Fx('H'), 0x0F), At(1, 0, 0, 0, 0, Fx('H'), 0x0F), At(2, 0, 0, 0, 0, Fx('H'), 0x0F),
                   At(3, 0, 0, 0, 0, Fx('H'), 0x0F), At(4, 0, 0, 0, 0, Fx('H'), 0x0F), At(5, 0, C4, 1)}, 2),
         Global, {64, 49, 49, 34, 34, 19, 19, 4, 4, 0, 0, 0}},
        {"G50 with nothing sounding", MakeSong({At(0, 0, 0, 0, 0, Fx('G'), 0x50)}, 1), Global, {64}},
        // The copy fading out beside the new note slides nothing.
        {"H04 through a hand-over", MakeSong({At(0, 0, C4, 1, 0, Fx('H'), 0x04), At(1, 0, C4, 1, 0, Fx('H'), 0)}, 3),
         Global, {64, 60, 56, 56, 52, 48}},
    };
}

class EffectsPanningAndGlobalVolume : public TickCaseTest {};
TEST_P(EffectsPanningAndGlobalVolume, TickByTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Effects, EffectsPanningAndGlobalVolume, ::testing::ValuesIn(PanningAndGlobalVolumeCases()), quavix_test::TCaseName());

std::vector<TTickCase> KeyOffAndEnvelopesCases() {
    const TProbe Envelope = Of(&TChannel::EnvelopeVolume);
    const std::vector<int32_t> Attack = {64, 56, 48, 40, 32, 32, 32, 32};
    const int32_t K = Fx('K');
    return {
        {"K02", Sustained(MakeSong({At(0, 0, C4, 1), At(2, 0, 0, 0, 0, K, 2)}, 4)), Envelope,
         Join(Attack, {32, 32, 32, 24, 16, 8, 0, 0})},
        {"fade-out after K02", Sustained(MakeSong({At(0, 0, C4, 1), At(2, 0, 0, 0, 0, K, 2)}, 4)),
         Of(&TChannel::FadeoutVolume), Join(Each({65536}, 10), {57344, 49152, 40960, 32768, 24576, 16384})},
        {"K00", Sustained(MakeSong({At(0, 0, C4, 1), At(2, 0, 0, 0, 0, K, 0)}, 4)), Envelope,
         Join(Attack, {32, 24, 16, 8, 0, 0})},
        {"key-off note", Sustained(MakeSong({At(0, 0, C4, 1), At(2, 0, quavix_test::KeyOff)}, 4)), Envelope,
         Join(Attack, {32, 24, 16, 8, 0, 0})},
        // A tick at or past the row's end never comes.
        {"K04 at speed 4", Sustained(MakeSong({At(0, 0, C4, 1), At(2, 0, 0, 0, 0, K, 4)}, 4)), Envelope,
         Join(Attack, Each({32}, 8))},
        // Between points 1 and 2, where the sustain does not hold.
        {"L06", Sustained(MakeSong({At(0, 0, C4, 1), At(2, 0, 0, 0, 0, Fx('L'), 6)}, 4)), Envelope,
         Join(Attack, {16, 8, 0, 0})},
        // A note without instrument after a key-off stays released: its
        // envelope goes on where it is and the fade-out goes on.
        {"a note after key-off",
         Sustained(MakeSong({At(0, 0, C4, 1), At(1, 0, quavix_test::KeyOff), At(2, 0, C4)}, 4)), Envelope,
         {64, 56, 48, 40, 32, 24, 16, 8, 0, 0, 0, 0}},
        {"its fade-out", Sustained(MakeSong({At(0, 0, C4, 1), At(1, 0, quavix_test::KeyOff), At(2, 0, C4)}, 4)),
         Of(&TChannel::FadeoutVolume), Join(Each({65536}, 4), {57344, 49152, 40960, 32768, 24576, 16384, 8192, 0})},
    };
}

class EffectsKeyOffAndEnvelopes : public TickCaseTest {};
TEST_P(EffectsKeyOffAndEnvelopes, TickByTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Effects, EffectsKeyOffAndEnvelopes, ::testing::ValuesIn(KeyOffAndEnvelopesCases()), quavix_test::TCaseName());

std::vector<TTickCase> FiltersCases() {
    const TProbe Cutoff = [](const TQuavixModule& M) {
        return M.Channels[0]->FilterValid ? M.Channels[0]->FilterCutoff : -1;
    };
    const int32_t Z = Fx('Z');
    return {
        // The default parameterised macro sets the cutoff from the parameter.
        {"Z10, Z20, Z30",
         MakeSong({At(0, 0, C4, 1, 0, Z, 0x10), At(1, 0, 0, 0, 0, Z, 0x20), At(2, 0, 0, 0, 0, Z, 0x30)}, 1), Cutoff,
         {16, 32, 48}},
        {"no macro, no filter", MakeSong({At(0, 0, C4, 1)}, 1), Cutoff, {-1}},
        // From 127 to 32 over 4 ticks: 103.25, 79.5, 55.75, 32, halves to even.
        {"smooth macro", MakeSong({At(0, 0, C4, 1, 0, 37, 0x20)}, 4), Cutoff, {103, 80, 56, 32}},
        // At speed 0 (set by the first channel) the value is reached at once.
        {"smooth macro at speed 0",
         MakeSong({At(0, 0, 0, 0, 0, Fx('F'), 0), At(0, 1, C4, 1, 0, 37, 0x20)}, 6, 8, 2),
         [](const TQuavixModule& M) { return M.Channels[1]->FilterCutoff; }, {32}},
        {"Q40", MakeSong({At(0, 0, C4, 1, 0, Fx('Q'), 0x40)}, 1), Of(&TChannel::FilterResonance), {64}},
    };
}

class EffectsFilters : public TickCaseTest {};
TEST_P(EffectsFilters, TickByTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Effects, EffectsFilters, ::testing::ValuesIn(FiltersCases()), quavix_test::TCaseName());

TEST(ModulationTablesTest, HoldTheTrackersSines) {
    const double Pi = std::acos(-1.0);
    // The vibrato and tremolo sine is rounded down, not to the nearest.
    for (int32_t i = 0; i < 32; ++i)
        EXPECT_EQ(ModulationSine[i], static_cast<int32_t>(std::floor(255.0 * std::sin(Pi * i / 32.0) + 1e-9))) << i;
    for (int32_t i = 0; i < 256; ++i)
        EXPECT_EQ(AutoVibratoTable[i], std::lround(-64.0 * std::sin(2.0 * Pi * i / 256.0))) << i;
}

}  // namespace
