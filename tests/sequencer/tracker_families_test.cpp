// Behaviours where stored songs rely on how their trackers played them,
// one family per test, played tick by tick in small written songs. Each case
// is what FT2-style players (for Extended Modules) and the Amiga trackers
// (for pattern-format songs) do with the same cells.
#include <utility>

#include "song_fixture.h"

namespace {

using namespace quavix_song_test;
using quavix_test::KeyOff;
using quavix_test::ModAt;
using quavix_test::TBytes;
using quavix_test::TModPlacedCell;
using quavix_test::TModSong;
using TChannel = TQuavixChannelState;

const int32_t C4 = Note("C-4"), D4 = Note("D-4"), G4 = Note("G-4"), C5 = Note("C-5");
const int32_t E = Fx('E'), K = Fx('K'), T = Fx('T'), B = Fx('B');
constexpr int32_t Empty = 7;  // an instrument number the songs have no instrument for

// Speed 4. Instrument 1 is a looping wave at volume 40 (MakeSong); 2 the
// same at volume 20 panned to 60; 3 has a volume envelope (0, 64), (4, 32),
// (8, 0) sustained at its middle point and a fade-out of 8192 per tick; 4
// has no samples.
TBytes Xm(std::vector<TPlacedCell> Cells, int32_t Rows = 8, uint16_t Channels = 1) {
    TXmSong Song = MakeSong(std::move(Cells), 4, Rows, Channels);
    quavix_test::TXmInstrument Second = Song.Instruments[0];
    Second.Samples[0].Volume = 20;
    Second.Samples[0].Panning = 60;
    quavix_test::TXmInstrument Enveloped = Song.Instruments[0];
    Enveloped.VolumeEnvelope.Points = {{0, 64}, {4, 32}, {8, 0}};
    Enveloped.VolumeEnvelope.SustainPoint = 1;
    Enveloped.FadeOut = 4096;
    quavix_test::TXmInstrument NoSamples;
    NoSamples.Name = "none";
    Song.Instruments.insert(Song.Instruments.end(), {Second, Enveloped, NoSamples});
    return quavix_test::WriteXm(Song);
}

// Speed 4 (set on the first row); sample 1 a looping wave at volume 64, 2
// the same at volume 32.
TBytes Mod(std::vector<TModPlacedCell> Cells) {
    TModSong Song = ModAtSpeedFour(std::move(Cells));
    Song.Samples.push_back(Song.Samples[0]);
    Song.Samples[1].Volume = 32;
    return quavix_test::WriteMod(Song);
}

using TFamilyCase = TFileCase;
using TrackerFamily = FileCaseTest;
const auto CaseName = FileCaseName;

// Probes.
int32_t Sounding(const TQuavixModule& M) { return M.Channels[0]->Active && M.Channels[0]->Sample ? 1 : 0; }
int32_t VolumeAndFrames(const TQuavixModule& M) { return M.Channels[0]->Volume * 1000 + Frames(M); }
int32_t SilencedByTremor(const TQuavixModule& M) { return M.Channels[0]->VolumeOffset < 0 ? 1 : 0; }
const TProbe Envelope = Of(&TChannel::EnvelopeVolume), Volume = Of(&TChannel::Volume), Period = Of(&TChannel::Period);

// The envelope of instrument 3 from a note on, reaching its sustain.
const std::vector<int32_t> Attack = {64, 56, 48, 40, 32, 32, 32, 32};

// ---------------------------------------------------------------------------

class NoteDelay : public TrackerFamily {};
TEST_P(NoteDelay, ActsOnItsTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, NoteDelay, ::testing::Values(
    // 901 moves the first note 256 frames in; the delayed cell starts the
    // sample again from its beginning at tick 2.
    TFamilyCase{"InstrumentWithoutNote", Xm({At(0, 0, C4, 1, 0x20, 9, 1), At(1, 0, 0, 1, 0, E, 0xD2)}), VolumeAndFrames,
                Join(Each({16256}, 6), {40000, 40000})},
    TFamilyCase{"VolumeColumnWithoutNote", Xm({At(0, 0, C4, 1, 0, 9, 1), At(1, 0, 0, 0, 0x30, E, 0xD2)}),
                VolumeAndFrames, Join(Each({40256}, 6), {32000, 32000})},
    // Without a note the sounding note plays again, envelopes and all.
    TFamilyCase{"WithoutNote", Xm({At(0, 0, C4, 3, 0, 9, 1), At(2, 0, 0, 0, 0, E, 0xD2)}), Envelope,
                Join(Attack, {32, 32, 64, 56, 48, 40})},
    TFamilyCase{"WithoutNoteFromTheStart", Xm({At(0, 0, C4, 3, 0, 9, 1), At(2, 0, 0, 0, 0, E, 0xD2)}), Frames,
                Join(Each({256}, 10), {0, 0})},
    // A delayed note presses the key again without an instrument number too.
    TFamilyCase{"NoteWithoutInstrument", Xm({At(0, 0, C4, 3), At(2, 0, D4, 0, 0, E, 0xD2)}), Envelope,
                Join(Attack, {32, 32, 64, 56, 48, 40})},
    TFamilyCase{"NoteAfterKeyOff", Xm({At(0, 0, C4, 3), At(1, 0, KeyOff), At(2, 0, D4, 0, 0, E, 0xD2)}), Envelope,
                {64, 56, 48, 40, 32, 24, 16, 8, 0, 0, 64, 56}},
    // A key-off silences a note without volume envelope through its volume;
    // on an envelope the key is pressed again.
    TFamilyCase{"KeyOffWithoutEnvelope", Xm({At(0, 0, C4, 1), At(1, 0, KeyOff, 0, 0, E, 0xD2)}), Volume,
                Join(Each({40}, 6), {0, 0, 0, 0})},
    TFamilyCase{"KeyOffOnAnEnvelope", Xm({At(0, 0, C4, 3), At(1, 0, KeyOff, 0, 0, E, 0xD2)}), Envelope,
                {64, 56, 48, 40, 32, 32, 64, 56, 48, 40, 32, 32}},
    // The Amiga trackers replay nothing (a replay hands the old voice to the
    // fade bank).
    TFamilyCase{"PatternFormatWithoutNote", Mod({ModAt(0, 0, Note("C-3"), 1), ModAt(1, 0, 0, 0, 0xE, 0xD2)}),
                ActiveFadeChannels, Each({0}, 8)}), CaseName);

// ---------------------------------------------------------------------------

class Retrigger : public TrackerFamily {};
TEST_P(Retrigger, PlaysTheCellAgain) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, Retrigger, ::testing::Values(
    // E92 on a cell without a note starts the last note again at tick 2 of
    // its row, and its envelope from the start.
    TFamilyCase{"WithoutNote", Xm({At(0, 0, C4, 1, 0, 9, 1), At(1, 0, 0, 0, 0, E, 0x92)}), Frames,
                Join(Each({256}, 6), {0, 0})},
    TFamilyCase{"WithoutNoteRestartsTheEnvelope", Xm({At(0, 0, C4, 3), At(2, 0, 0, 0, 0, E, 0x92)}), Envelope,
                Join(Attack, {32, 32, 64, 56})},
    // The Amiga trackers play the channel's sample again too, from the row's
    // first tick on (each start hands the old voice to the fade bank).
    TFamilyCase{"PatternFormatWithoutNote", Mod({ModAt(0, 0, Note("C-3"), 1), ModAt(1, 0, 0, 0, 0xE, 0x92)}),
                ActiveFadeChannels, Join(Each({0}, 4), {1, 1, 2, 2})}), CaseName);

// ---------------------------------------------------------------------------

class EmptyInstrument : public TrackerFamily {};
TEST_P(EmptyInstrument, HasNoSamples) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, EmptyInstrument, ::testing::Values(
    TFamilyCase{"NoteOnAnEmptySlot", Xm({At(0, 0, C4, 1), At(1, 0, D4, Empty)}), Sounding, Join(Each({1}, 4), Each({0}, 4))},
    // Alone it leaves the sounding note playing; the next note plays nothing.
    TFamilyCase{"EmptySlotAlone", Xm({At(0, 0, C4, 1), At(1, 0, 0, Empty), At(2, 0, C4)}), Sounding,
                Join(Each({1}, 8), Each({0}, 4))},
    TFamilyCase{"InstrumentWithoutSamplesAlone", Xm({At(0, 0, C4, 1), At(1, 0, 0, 4), At(2, 0, C4)}), Sounding,
                Join(Each({1}, 8), Each({0}, 4))},
    TFamilyCase{"OnAFreshChannel", Xm({At(0, 0, C4, Empty), At(1, 0, C4)}), Sounding, Each({0}, 8)},
    // A pattern-format sample slot without data is silent: its volume is 0.
    TFamilyCase{"PatternFormatEmptySampleAlone", Mod({ModAt(0, 0, Note("C-3"), 1), ModAt(1, 0, 0, 9)}), Volume,
                Join(Each({64}, 4), Each({0}, 4))}), CaseName);

// ---------------------------------------------------------------------------

class InstrumentWithoutNote : public TrackerFamily {};
TEST_P(InstrumentWithoutNote, RestartsInPlace) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, InstrumentWithoutNote, ::testing::Values(
    TFamilyCase{"RestartsTheEnvelope", Xm({At(0, 0, C4, 3), At(2, 0, 0, 3)}), Envelope, Join(Attack, {64, 56, 48, 40})},
    TFamilyCase{"RestartsTheFadeOutAndHoldsTheKey", Xm({At(0, 0, C4, 3), At(1, 0, KeyOff), At(2, 0, 0, 3)}),
                Of(&TChannel::FadeoutVolume), Join(Each({65536}, 4), {57344, 49152, 40960, 32768, 65536, 65536})},
    // Volume restored, the sample going on, and no copy fading beside it.
    TFamilyCase{"KeepsTheSample", Xm({At(0, 0, C4, 1, 0x20, 9, 1), At(1, 0, 0, 1)}), VolumeAndFrames,
                Join(Each({16256}, 4), Each({40256}, 4))},
    // Another instrument: the sounding sample keeps its own volume.
    TFamilyCase{"AnotherInstrument", Xm({At(0, 0, C4, 1), At(1, 0, 0, 2)}), Volume, Each({40}, 8)},
    // In a pattern-format song the number gives its sample's volume.
    TFamilyCase{"PatternFormatAnotherSample", Mod({ModAt(0, 0, Note("C-3"), 1), ModAt(1, 0, 0, 2), ModAt(2, 0, Note("C-3"))}),
                Volume, Join(Each({64}, 4), Each({32}, 8))}), CaseName);

// ---------------------------------------------------------------------------

class KeyOffs : public TrackerFamily {};
TEST_P(KeyOffs, ReleaseTheKey) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, KeyOffs, ::testing::Values(
    // Without volume envelope the note is silenced at once, through its volume.
    TFamilyCase{"NoteWithoutEnvelope", Xm({At(0, 0, C4, 1), At(1, 0, KeyOff)}), Volume, Join(Each({40}, 4), Each({0}, 4))},
    // With an instrument number the instrument's reset wins: it plays on.
    TFamilyCase{"WithInstrumentWithoutEnvelope", Xm({At(0, 0, C4, 1), At(1, 0, KeyOff, 1)}), Envelope, Each({64}, 8)},
    // On an envelope the instrument number restores the volume only: the
    // envelope goes on where it is, released.
    TFamilyCase{"WithInstrumentOnAnEnvelope", Xm({At(0, 0, C4, 3), At(2, 0, KeyOff, 3)}), Envelope,
                Join(Attack, {32, 24, 16, 8, 0, 0, 0, 0})},
    // K00 beside a note plays neither the note nor its instrument.
    TFamilyCase{"K00WithANote", Xm({At(0, 0, C4, 3), At(2, 0, D4, 3, 0, K, 0)}), Envelope,
                Join(Attack, {32, 24, 16, 8, 0, 0})},
    TFamilyCase{"K00KeepsThePitch", Xm({At(0, 0, C4, 3), At(2, 0, D4, 3, 0, K, 0)}), Period, Each({4608}, 12)},
    TFamilyCase{"K02WithANote", Xm({At(0, 0, C4, 3), At(2, 0, D4, 3, 0, K, 2)}), Envelope,
                Join(Attack, {64, 56, 48, 40, 32, 24})}), CaseName);

// ---------------------------------------------------------------------------

class Tremor : public TrackerFamily {};
TEST_P(Tremor, CountsAcrossRows) { Check(); }
// 1 where the tremor silences the tick. Speed 5: rows start at ticks 0, 5,
// 10, 15. T21 sounds for 3 ticks and is silent for 2, counted on the other
// ticks of each row; a row's first tick keeps the state of the tick before.
INSTANTIATE_TEST_SUITE_P(Cells, Tremor, ::testing::Values(
    TFamilyCase{"T21OverFourRows",
                quavix_test::WriteXm(MakeSong({At(0, 0, C4, 1, 0, T, 0x21), At(1, 0, 0, 0, 0, T, 0x21),
                                               At(2, 0, 0, 0, 0, T, 0x21), At(3, 0, 0, 0, 0, T, 0x21)}, 5)),
                SilencedByTremor, {0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0}},
    // An instrument number starts the count again; a note alone does not.
    TFamilyCase{"NewNotes",
                quavix_test::WriteXm(MakeSong({At(0, 0, C4, 1, 0, T, 0x21), At(1, 0, C4, 1, 0, T, 0x21),
                                               At(2, 0, C4, 0, 0, T, 0x21), At(3, 0, 0, 1, 0, T, 0x21)}, 5)),
                SilencedByTremor, {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1}},
    // T13 leaves the voice silent: it stays so past the tremor, a C40 does
    // not bring it back, an instrument number does.
    TFamilyCase{"SilenceOutlastsTheTremor",
                quavix_test::WriteXm(MakeSong({At(0, 0, C4, 1, 0, T, 0x13), At(1, 0, 0, 0, 0, T, 0x13),
                                               At(2, 0, 0, 0, 0, Fx('C'), 0x40), At(3, 0, 0, 1)})),
                SilencedByTremor, Join({0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 1, 1}, Join(Each({1}, 6), Each({0}, 6)))}), CaseName);

// ---------------------------------------------------------------------------

class TonePortamento : public TrackerFamily {};
TEST_P(TonePortamento, SlidesToItsTarget) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, TonePortamento, ::testing::Values(
    // Linear periods: C-4 4608, G-4 4160, C-5 3840. A second 3xx before the
    // target is reached takes the new target and speed from where it is.
    TFamilyCase{"SecondSlideBeforeTheTarget",
                Xm({At(0, 0, C4, 1), At(1, 0, C5, 0, 0, 3, 4), At(2, 0, G4, 0, 0, 3, 8), At(3, 0, 0, 0, 0, 3, 0)}), Period,
                Join(Each({4608}, 5), {4592, 4576, 4560, 4560, 4528, 4496, 4464, 4464, 4432, 4400, 4368})},
    // A slide to a note on an empty instrument slides the sounding note.
    TFamilyCase{"OntoAnEmptyInstrument", Xm({At(0, 0, C4, 1), At(1, 0, C5, Empty, 0, 3, 0x10)}), Period,
                Join(Each({4608}, 5), {4544, 4480, 4416})},
    // In an Extended Module a slide never starts a note.
    TFamilyCase{"NothingSounding", Xm({At(0, 0, C4, 1, 0, 3, 0x10), At(1, 0, C5, 0, 0, 3, 0x10), At(2, 0, C4, 1)}), Sounding,
                Join(Each({0}, 8), {1})},
    // The Amiga trackers start it where the channel has no pitch yet.
    TFamilyCase{"PatternFormatNothingSounding", Mod({ModAt(0, 0, Note("C-3"), 1, 3, 0x10)}), Sounding, Each({1}, 4)},
    // Beside a slide 9xx neither moves the sample nor gives an offset to 900.
    TFamilyCase{"SampleOffset", Xm({At(0, 0, C4, 1, 0, 9, 2), At(1, 0, D4, 0, 0xF8, 9, 4), At(2, 0, C4, 1, 0, 9, 0)}),
                Frames, Join(Each({512}, 8), {512})}), CaseName);

// ---------------------------------------------------------------------------

class LoopAndJump : public TrackerFamily {};
TEST_P(LoopAndJump, GoesToItsRow) { Check(); }

// Speed 1, three channels, orders 0 and 1 (pattern 0 twice, or pattern 1
// second): the rows played, as order * 1000 + row.
TBytes Rows(std::vector<TPlacedCell> Cells, bool SecondPattern = false) {
    TXmSong Song = MakeSong(std::move(Cells), 1, 8, 3);
    Song.Orders = {0, static_cast<uint8_t>(SecondPattern ? 1 : 0)};
    if (SecondPattern) Song.Patterns.push_back({8, {At(3, 1, 0, 0, 0, E, 0x62)}});
    return quavix_test::WriteXm(Song);
}

INSTANTIATE_TEST_SUITE_P(Cells, LoopAndJump, ::testing::Values(
    // E60 at row 1; E62 and B01 on row 3. A position jump starts its order
    // at row 0, whichever channel the loop is in: the loop counts, but its
    // row does not count against the jump.
    TFamilyCase{"LoopThenJump", Rows({At(1, 1, 0, 0, 0, E, 0x60), At(3, 1, 0, 0, 0, E, 0x62), At(3, 2, 0, 0, 0, B, 1)}),
                Playing, {0, 1, 2, 3, 1000, 1001, 1002, 1003, 1000, 1001, 1002, 1003}},
    TFamilyCase{"JumpThenLoop", Rows({At(1, 2, 0, 0, 0, E, 0x60), At(3, 2, 0, 0, 0, E, 0x62), At(3, 1, 0, 0, 0, B, 1)}),
                Playing, {0, 1, 2, 3, 1000, 1001, 1002, 1003, 1000, 1001, 1002, 1003}},
    // A break in a later channel moves on to the next order, at its own row.
    TFamilyCase{"LoopThenBreak", Rows({At(1, 1, 0, 0, 0, E, 0x60), At(3, 1, 0, 0, 0, E, 0x62), At(3, 2, 0, 0, 0, Fx('D'), 5)}),
                Playing, {0, 1, 2, 3, 1005, 1006, 1007, 0}},
    // A loop start is not reset by a jump: E62 in the next pattern goes back
    // to the row the E60 of the pattern before marked.
    TFamilyCase{"LoopAfterAJump", Rows({At(5, 1, 0, 0, 0, E, 0x60), At(6, 1, 0, 0, 0, B, 1)}, true), Playing,
                {0, 1, 2, 3, 4, 5, 6, 1000, 1001, 1002, 1003, 1005, 1006, 1007}}), CaseName);

// ---------------------------------------------------------------------------

// TQuavixBehaviour::PatternLoopRowCarriesOver and SongWrapKeepsBreakRow: the
// row a loop jumped back to, or a break chose, is where the next order
// starts, as Fasttracker 2 plays it; the Amiga trackers start it at row 0.
class BreakRow : public TrackerFamily {};
TEST_P(BreakRow, StartsTheNextOrder) { Check(); }

// Speed 1, three channels; orders of pattern 0 (8 rows) and pattern 1 of
// Second rows: the rows played, as order * 1000 + row.
TBytes Orders(std::vector<TPlacedCell> Cells, std::vector<uint8_t> List, int32_t Second = 8) {
    TXmSong Song = MakeSong(std::move(Cells), 1, 8, 3);
    Song.Orders = std::move(List);
    Song.Patterns.push_back({Second, {}});
    return quavix_test::WriteXm(Song);
}

INSTANTIATE_TEST_SUITE_P(Cells, BreakRow, ::testing::Values(
    // E60 at row 1, E61 at row 2: after the loop has run out, the next order
    // starts at row 1, where the loop jumped to; the order after it at 0.
    TFamilyCase{"LoopRowStartsTheNextOrder", Orders({At(1, 1, 0, 0, 0, E, 0x60), At(2, 1, 0, 0, 0, E, 0x61)}, {0, 1, 1}),
                Playing, {0, 1, 2, 1, 2, 3, 4, 5, 6, 7, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 2000}},
    // The loop's row lies past the end of the next pattern: that row plays
    // without cells, and the order after it starts at row 0.
    TFamilyCase{"CarriedRowPastThePatternsEnd", Orders({At(5, 1, 0, 0, 0, E, 0x60), At(6, 1, 0, 0, 0, E, 0x61)}, {0, 1, 0}, 4),
                Playing, {0, 1, 2, 3, 4, 5, 6, 5, 6, 7, 1005, 2000, 2001}},
    // A position jump after the loop starts its order at row 0.
    TFamilyCase{"PositionJumpStartsAtRow0",
                Orders({At(1, 1, 0, 0, 0, E, 0x60), At(2, 1, 0, 0, 0, E, 0x61), At(3, 2, 0, 0, 0, B, 1)}, {0, 1, 1}),
                Playing, {0, 1, 2, 1, 2, 3, 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 2000}},
    // D03 on the last order: the song goes round to row 3 of its first.
    TFamilyCase{"BreakOnTheLastOrderKeepsItsRow", Orders({At(1, 1, 0, 0, 0, Fx('D'), 3)}, {0}), Playing,
                {0, 1, 3, 4, 5, 6, 7, 0, 1, 3}},
    // In a pattern-format song the next order starts at row 0 (speed 4).
    TFamilyCase{"PatternFormatLoopRowDoesNotCarry",
                Mod({ModAt(1, 0, 0, 0, 0xE, 0x60), ModAt(2, 0, 0, 0, 0xE, 0x61), ModAt(3, 0, 0, 0, 0xD, 0)}), Playing,
                Each({0, 1, 2, 1, 2, 3, 0, 1, 2, 1}, 4)}), CaseName);

// ---------------------------------------------------------------------------

// The song's loop: at the end of the order list the song starts over, and a
// note sounding over the end plays on into the start (speed 4, two rows, the
// note on the second). Both trackers play it so.
class SongLoop : public TrackerFamily {};
TEST_P(SongLoop, KeepsTheVoicesSounding) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, SongLoop, ::testing::Values(
    TFamilyCase{"ExtendedModule", Xm({At(1, 0, C4, 1)}, 2), Sounding, Join(Each({0}, 4), Each({1}, 12))},
    TFamilyCase{"PatternFormat", Mod({ModAt(1, 0, Note("C-3"), 1), ModAt(2, 0, 0, 0, 0xD, 0)}), Sounding,
                Join(Each({0}, 4), Each({1}, 12))}), CaseName);

// ---------------------------------------------------------------------------

// Panning slides: Pxy and the volume column's slides (Dx left, Ex right),
// speed 4, from the centre (128) where the note starts.
// TQuavixBehaviour::PanningSlideRightFirst: Pxy slides right by x where x is
// given, else left by y. TQuavixBehaviour::PanningSlideLeftByZeroHardLeft: a
// volume-column slide left by 0 pans hard left on the later ticks. Each step
// holds the panning within 0..255; the volume column goes first.
class PanningSlide : public TrackerFamily {};
TEST_P(PanningSlide, MovesThePanning) { Check(); }
const TProbe Panning = Of(&TChannel::Panning);
const int32_t P = Fx('P');
INSTANTIATE_TEST_SUITE_P(Cells, PanningSlide, ::testing::Values(
    TFamilyCase{"RightByXWhereXIsGiven", Xm({At(0, 0, C4, 1, 0, P, 0x53)}), Panning, {128, 133, 138, 143}},
    TFamilyCase{"LeftByYWhereXIs0", Xm({At(0, 0, C4, 1, 0, P, 0x03)}), Panning, {128, 125, 122, 119}},
    TFamilyCase{"VolumeColumnLeftBy0PansHardLeft", Xm({At(0, 0, C4, 1, 0xD0)}), Panning, {128, 0, 0, 0}},
    TFamilyCase{"VolumeColumnRightBy0StaysPut", Xm({At(0, 0, C4, 1, 0xE0)}), Panning, {128, 128, 128, 128}},
    // Hard left by the volume column, then 5 right by P50: 5 on every tick.
    TFamilyCase{"VolumeColumnFirst", Xm({At(0, 0, C4, 1, 0xD0, P, 0x50)}), Panning, {128, 5, 5, 5}},
    // The volume column's slides have no memory and leave Pxy's alone: P00
    // after E9 slides left by 3 as the P03 before it.
    TFamilyCase{"VolumeColumnLeavesTheMemory", Xm({At(0, 0, C4, 1, 0, P, 0x03), At(1, 0, 0, 0, 0xE9, P, 0)}), Panning,
                {128, 125, 122, 119, 119, 125, 131, 137}},
    // From panning 2, left by 3 stops at 0 before P30 adds 3.
    TFamilyCase{"EachStepStopsAtTheEnds", Xm({At(0, 0, C4, 1, 0, 8, 2), At(1, 0, 0, 0, 0xD3, P, 0x30)}), Panning,
                {2, 2, 2, 2, 2, 3, 3, 3}}), CaseName);

// ---------------------------------------------------------------------------

// A 15-sample song with its tempo byte; speed 6. Its cells replace those of
// SmallMod's one pattern: sample 1 a looping wave at volume 64.
TBytes FifteenSample(std::vector<TModPlacedCell> Cells, uint8_t TempoByte = 120) {
    TModSong Song = quavix_test::SmallMod();
    Song.Tag = "";
    Song.RestartPosition = TempoByte;
    Song.Patterns[0].Cells = std::move(Cells);
    return quavix_test::WriteMod(Song);
}

int32_t TickPeriod(const TQuavixModule& M) { return M.Channels[0]->Period + M.Channels[0]->PeriodOffset; }

class UltimateSoundtrackerEffects : public TrackerFamily {};
TEST_P(UltimateSoundtrackerEffects, BendThePitch) { Check(); }
// C-3 is Amiga period 856, 3424 in the engine's quarter units; +3 semitones
// 720 (2880) and +7 570 (2280). Row 1 holds the effect, row 2 nothing.
const TModPlacedCell C3 = ModAt(0, 0, Note("C-3"), 1);
INSTANTIATE_TEST_SUITE_P(Cells, UltimateSoundtrackerEffects, ::testing::Values(
    // TQuavixBehaviour::UltimateSoundtrackerEffects: 1xy is an arpeggio...
    TFamilyCase{"Arpeggio", FifteenSample({C3, ModAt(1, 0, 0, 0, 1, 0x37)}), TickPeriod,
                Join(Each({3424}, 6), {3424, 2880, 2280, 3424, 2880, 2280, 3424})},
    // ... and 2xy bends the pitch by y Amiga periods a tick up, or else by x down.
    TFamilyCase{"PitchBendUp", FifteenSample({C3, ModAt(1, 0, 0, 0, 2, 0x03)}), TickPeriod,
                Join(Each({3424}, 6), {3424, 3412, 3400, 3388, 3376, 3364, 3364})},
    TFamilyCase{"PitchBendDown", FifteenSample({C3, ModAt(1, 0, 0, 0, 2, 0x30)}), TickPeriod,
                Join(Each({3424}, 6), {3424, 3436, 3448, 3460, 3472, 3484, 3484})},
    TFamilyCase{"PitchBendBothWaysGoesUp", FifteenSample({C3, ModAt(1, 0, 0, 0, 2, 0x33)}), TickPeriod,
                Join(Each({3424}, 6), {3424, 3412, 3400, 3388, 3376, 3364, 3364})},
    // Without the tempo byte Ultimate Soundtracker wrote, or beside an
    // effect it did not have, 1xx is the later trackers' portamento up.
    TFamilyCase{"OtherTempoBytePortamento", FifteenSample({C3, ModAt(1, 0, 0, 0, 1, 0x37)}, 0), TickPeriod,
                Join(Each({3424}, 6), {3424, 3204, 2984, 2764, 2544, 2324, 2324})},
    TFamilyCase{"OtherEffectPortamento", FifteenSample({C3, ModAt(1, 0, 0, 0, 1, 0x37), ModAt(9, 1, 0, 0, 0xC, 0x20)}),
                TickPeriod, Join(Each({3424}, 6), {3424, 3204, 2984, 2764, 2544, 2324, 2324})}), CaseName);

// ---------------------------------------------------------------------------

// Volume ramps, in frames at 44100 Hz with ticks of 882 frames; speed 4.
// TQuavixBehaviour::VolumeRampsAcrossTick: the gains ramp across the whole
// tick to each tick's volume and panning; a note that starts (or an
// instrument number that restarts the envelopes) fades in over 5 ms, 220
// frames, and so does the voice a new note cuts fade out.
// TQuavixBehaviour::QuickNoteRamps (songs OpenMPT saved): those two ramps
// take 16 and 42 frames, a change of a quarter of the full gain or more
// takes 16 too, and a fall to silence 42.
TBytes RampSong(std::vector<TPlacedCell> Cells, const char* Tracker) {
    TXmSong Song = MakeSong(std::move(Cells), 4, 4);
    Song.Tracker = Tracker;
    return quavix_test::WriteXm(Song);
}
const char* const Ft2 = "FastTracker v2.00";
const char* const OpenMpt = "OpenMPT 1.20.00.40";
const TProbe Ramp = Of(&TChannel::RampLength);
// The ramp of the voice fading out in the fade bank; 0 where none is.
int32_t FadeRamp(const TQuavixModule& M) {
    for (const auto& C : M.FadeChannels)
        if (C->Active) return C->RampLength;
    return 0;
}

class VolumeRamp : public TrackerFamily {};
TEST_P(VolumeRamp, LastsItsLength) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, VolumeRamp, ::testing::Values(
    TFamilyCase{"NoteFadesInOver5Ms", RampSong({At(0, 0, C4, 1)}, Ft2), Ramp, {220, 882, 882, 882}},
    TFamilyCase{"InstrumentNumberFadesIn", RampSong({At(0, 0, C4, 1), At(1, 0, 0, 1)}, Ft2), Ramp,
                {220, 882, 882, 882, 220, 882, 882, 882}},
    TFamilyCase{"SlideAcrossTheTick", RampSong({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, 0xA, 0x04)}, Ft2), Ramp,
                {220, 882, 882, 882, 882, 882, 882, 882}},
    TFamilyCase{"CutVoiceFadesOutOver5Ms", RampSong({At(0, 0, C4, 1), At(1, 0, C4, 1)}, Ft2), FadeRamp,
                {0, 0, 0, 0, 220}},
    TFamilyCase{"OpenMptNoteFadesInOver16Frames", RampSong({At(0, 0, C4, 1), At(1, 0, 0, 1)}, OpenMpt), Ramp,
                {16, 882, 882, 882, 16, 882, 882, 882}},
    // Volume 40 down by 4 a tick: small changes.
    TFamilyCase{"OpenMptSmallChangeAcrossTheTick",
                RampSong({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, 0xA, 0x04)}, OpenMpt), Ramp,
                {16, 882, 882, 882, 882, 882, 882, 882}},
    // C00 on row 1.
    TFamilyCase{"FallToSilenceAcrossTheTick", RampSong({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, 0xC, 0)}, Ft2), Ramp,
                {220, 882, 882, 882, 882, 882, 882, 882}},
    TFamilyCase{"OpenMptFallToSilenceIn42Frames", RampSong({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, 0xC, 0)}, OpenMpt),
                Ramp, {16, 882, 882, 882, 42, 42, 42, 42}},
    TFamilyCase{"OpenMptCutVoiceFadesOutOver42Frames", RampSong({At(0, 0, C4, 1), At(1, 0, C4, 1)}, OpenMpt),
                FadeRamp, {0, 0, 0, 0, 42}}), CaseName);

}  // namespace
