// Fasttracker 2's rules for key-offs, the note range, retriggers, note
// delays and the envelope position, one family per behaviour, played tick by
// tick in small written Extended Modules. Where a family has a pattern-format
// case, it shows that ProTracker's songs play as before.
#include <utility>

#include "song_fixture.h"

namespace {

using namespace quavix_song_test;
using namespace quavix_test;
using TChannel = TQuavixChannelState;

const int32_t C4 = Note("C-4"), D4 = Note("D-4"), C7 = Note("C-7");
const int32_t E = Fx('E'), K = Fx('K'), L = Fx('L'), R = Fx('R'), C = Fx('C');

// Volume-column bytes.
constexpr int32_t V16 = 0x20, V32 = 0x30;
constexpr int32_t FineDown4 = 0x84, SlideDown2 = 0x62, Pan4 = 0xC4, Portamento4 = 0xF4;

// Speed 4. Instrument 1 is a looping wave at volume 40 (MakeSong); 2 the
// same with a volume envelope (0, 64), (4, 32), (8, 0) sustained at its
// middle point and a fade-out of 4096 (8192 a tick); 3 without envelope,
// with a fade-out of 8192; 4 transposed up 40 semitones, at volume 20; 5 a
// panning envelope (0, 0), (8, 64) and no volume envelope; 6 the same
// panning envelope beside instrument 2's volume envelope.
TBytes Xm(std::vector<TPlacedCell> Cells, int32_t Rows = 8, uint16_t Channels = 1) {
    TXmSong Song = MakeSong(std::move(Cells), 4, Rows, Channels);
    const quavix_test::TXmInstrument Lead = Song.Instruments[0];
    quavix_test::TXmInstrument Enveloped = Lead;
    Enveloped.VolumeEnvelope.Points = {{0, 64}, {4, 32}, {8, 0}};
    Enveloped.VolumeEnvelope.SustainPoint = 1;
    Enveloped.FadeOut = 4096;
    quavix_test::TXmInstrument Fading = Lead;
    Fading.FadeOut = 8192;
    quavix_test::TXmInstrument High = Lead;
    High.Samples[0].RelativeNote = 40;
    High.Samples[0].Volume = 20;
    quavix_test::TXmInstrument Panned = Lead;
    Panned.PanningEnvelope.Points = {{0, 0}, {8, 64}};
    quavix_test::TXmInstrument PannedSustained = Enveloped;
    PannedSustained.PanningEnvelope.Points = {{0, 0}, {8, 64}};
    Song.Instruments.insert(Song.Instruments.end(), {Enveloped, Fading, High, Panned, PannedSustained});
    return quavix_test::WriteXm(Song);
}

// Speed 4; sample 1 a looping wave at volume 64.
TBytes Mod(std::vector<TModPlacedCell> Cells) { return quavix_test::WriteMod(ModAtSpeedFour(std::move(Cells))); }

using TRuleCase = TFileCase;
using NoteRule = FileCaseTest;
const auto CaseName = FileCaseName;

const TProbe Volume = Of(&TChannel::Volume), Period = Of(&TChannel::Period), Envelope = Of(&TChannel::EnvelopeVolume),
             Fadeout = Of(&TChannel::FadeoutVolume), Panning = Of(&TChannel::Panning),
             EnvelopePanning = Of(&TChannel::EnvelopePanning);

// Linear periods: C-4 4608, D-4 4480.

// ---------------------------------------------------------------------------
// TQuavixBehaviour::KeyOffZeroesVolume

class KeyOffZeroesVolume : public NoteRule {};
TEST_P(KeyOffZeroesVolume, SilencesThroughTheVolume) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, KeyOffZeroesVolume, ::testing::Values(
    // A volume command after the key-off brings the note back.
    TRuleCase{"VolumeComesBack", Xm({At(0, 0, C4, 1), At(1, 0, KeyOff), At(2, 0, 0, 0, 0, C, 0x20)}), Volume,
              Join(Each({40}, 4), Join(Each({0}, 4), Each({32}, 4)))},
    // The fade-out runs without volume envelope too, from the key-off on.
    TRuleCase{"FadeOutWithoutEnvelope", Xm({At(0, 0, C4, 3), At(1, 0, KeyOff), At(2, 0, 0, 0, V32)}), Fadeout,
              Join(Each({65536}, 4), {49152, 32768, 16384, 0, 0, 0})},
    // An instrument number beside it restores the volume, and the fade-out
    // goes on.
    TRuleCase{"InstrumentRestoresTheVolume", Xm({At(0, 0, C4, 3, V16), At(1, 0, KeyOff, 3)}), Volume,
              Join(Each({16}, 4), Each({40}, 4))},
    TRuleCase{"InstrumentLeavesTheFadeOut", Xm({At(0, 0, C4, 3), At(1, 0, KeyOff, 3)}), Fadeout,
              Join(Each({65536}, 4), {49152, 32768, 16384, 0})},
    // A note without instrument number brings neither volume nor key back.
    TRuleCase{"NoteStaysSilent", Xm({At(0, 0, C4, 1), At(1, 0, KeyOff), At(2, 0, D4)}), Volume,
              Join(Each({40}, 4), Each({0}, 8))}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::NoteRangeChecked

class NoteRangeChecked : public NoteRule {};
TEST_P(NoteRangeChecked, IgnoresNotesOutOfRange) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, NoteRangeChecked, ::testing::Values(
    // C-7 transposed up 40 semitones is beyond A#9: the sounding note plays
    // on at its pitch, while the instrument number restores its volume.
    TRuleCase{"PitchStays", Xm({At(0, 0, C4, 1, V16), At(1, 0, C7, 4)}), Period, Each({4608}, 8)},
    TRuleCase{"InstrumentActs", Xm({At(0, 0, C4, 1, V16), At(1, 0, C7, 4)}), Volume,
              Join(Each({16}, 4), Each({40}, 4))},
    TRuleCase{"SampleGoesOn", Xm({At(0, 0, C4, 1, 0, 9, 1), At(1, 0, C7, 4)}), Frames, Each({256}, 8)},
    // C-4 transposed so is in range.
    TRuleCase{"InRange", Xm({At(0, 0, C4, 4)}), Period, Each({4608 - 40 * 64}, 4)}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::RetriggerPlaysLastNote

class RetriggerPlaysLastNote : public NoteRule {};
TEST_P(RetriggerPlaysLastNote, StartsTheLastNoteAgain) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, RetriggerPlaysLastNote, ::testing::Values(
    // The volume the row set stays through the retriggers.
    TRuleCase{"E93KeepsTheRowsVolume", Xm({At(0, 0, C4, 1), At(1, 0, C4, 1, V32, E, 0x92)}), Volume,
              Join(Each({40}, 4), Each({32}, 4))},
    TRuleCase{"R02KeepsTheRowsVolume", Xm({At(0, 0, C4, 1), At(1, 0, C4, 1, V32, R, 0x02)}), Volume,
              Join(Each({40}, 4), Each({32}, 4))},
    // A slide ends where the note starts again.
    TRuleCase{"PitchReturnsToTheNote", Xm({At(0, 0, C4, 1), At(1, 0, 0, 0, 0, 1, 0x10), At(2, 0, 0, 0, 0, E, 0x92)}),
              Period, Join(Each({4608}, 5), {4544, 4480, 4416, 4416, 4416, 4608, 4608})},
    // E9y presses the key again; Rxy does not.
    TRuleCase{"E92RestartsTheFadeOut", Xm({At(0, 0, C4, 2), At(1, 0, KeyOff), At(2, 0, 0, 0, 0, E, 0x92)}), Fadeout,
              Join(Each({65536}, 4), {57344, 49152, 40960, 32768, 24576, 16384, 65536, 65536})},
    TRuleCase{"R02LeavesTheFadeOut", Xm({At(0, 0, C4, 2), At(1, 0, KeyOff), At(2, 0, 0, 0, 0, R, 0x02)}), Fadeout,
              Join(Each({65536}, 4), {57344, 49152, 40960, 32768, 24576, 16384, 8192, 0})}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::RetriggerZeroOnFirstTick

class RetriggerZeroOnFirstTick : public NoteRule {};
TEST_P(RetriggerZeroOnFirstTick, E90PlaysTheNoteAgain) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, RetriggerZeroOnFirstTick, ::testing::Values(
    TRuleCase{"WithoutNote", Xm({At(0, 0, C4, 1, 0, 9, 1), At(1, 0, 0, 0, 0, E, 0x90)}), Frames,
              Join(Each({256}, 4), Each({0}, 4))},
    // Beside a note the note itself starts; nothing more.
    TRuleCase{"WithANote", Xm({At(0, 0, C4, 1), At(1, 0, D4, 0, 0, E, 0x90)}), Period,
              Join(Each({4608}, 4), Each({4480}, 4))},
    // A pattern-format song plays nothing again (a start would hand the
    // voice before it to the fade bank).
    TRuleCase{"PatternFormat", Mod({ModAt(0, 0, Note("C-3"), 1), ModAt(1, 0, 0, 0, 0xE, 0x90)}), ActiveFadeChannels,
              Each({0}, 8)}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::DelayedNoteIgnoresPortamento, DelayedVolumeColumnSetsOnly,
// DelayedKeyOffPressesKey

class DelayedCell : public NoteRule {};
TEST_P(DelayedCell, PlaysOnItsTick) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, DelayedCell, ::testing::Values(
    // The delayed note starts at its own pitch beside a volume-column slide.
    TRuleCase{"NoteBesidePortamento", Xm({At(0, 0, C4, 1), At(1, 0, D4, 0, Portamento4, E, 0xD2)}), Period,
              Join(Each({4608}, 6), {4480, 4480})},
    // A fine slide beside a delay never acts; a volume is set on the
    // delayed tick.
    TRuleCase{"FineSlideNever", Xm({At(0, 0, C4, 1), At(1, 0, 0, 1, FineDown4, E, 0xD2)}), Volume, Each({40}, 8)},
    TRuleCase{"VolumeOnTheDelayedTick", Xm({At(0, 0, C4, 1), At(1, 0, D4, 0, V16, E, 0xD2)}), Volume,
              Join(Each({40}, 6), {16, 16})},
    TRuleCase{"PanningOnTheDelayedTick", Xm({At(0, 0, C4, 1), At(1, 0, D4, 0, Pan4, E, 0xD2)}), Panning,
              Join(Each({128}, 6), {64, 64})},
    // Slides run from the row's second tick, before the delayed note; its
    // instrument number then restores the volume.
    TRuleCase{"SlidesBeforeTheNote", Xm({At(0, 0, C4, 1), At(1, 0, D4, 0, SlideDown2, E, 0xD2)}), Volume,
              Join(Each({40}, 4), {40, 38, 36, 34})},
    TRuleCase{"SlidesUnderTheInstrument", Xm({At(0, 0, C4, 1), At(1, 0, D4, 1, SlideDown2, E, 0xD2)}), Volume,
              Join(Each({40}, 4), {40, 38, 40, 38})},
    // A delayed key-off presses the key again at once: the envelope starts
    // over and no fade-out runs.
    TRuleCase{"KeyOffRestartsTheEnvelope", Xm({At(0, 0, C4, 2), At(2, 0, KeyOff, 0, 0, E, 0xD2)}), Envelope,
              Join({64, 56, 48, 40, 32, 32, 32, 32}, {32, 32, 64, 56, 48, 40, 32, 32})},
    TRuleCase{"KeyOffStartsNoFadeOut", Xm({At(0, 0, C4, 3), At(1, 0, KeyOff, 0, V32, E, 0xD2)}), Fadeout,
              Each({65536}, 10)},
    TRuleCase{"KeyOffSetsTheVolumeAgain", Xm({At(0, 0, C4, 3), At(1, 0, KeyOff, 0, V32, E, 0xD2)}), Volume,
              Join(Each({40}, 6), {32, 32, 32, 32})},
    // In a pattern-format song the delayed note starts on its tick (handing
    // the voice before it to the fade bank).
    TRuleCase{"PatternFormat", Mod({ModAt(0, 0, Note("C-3"), 1), ModAt(1, 0, Note("C-3"), 0, 0xE, 0xD2)}),
              ActiveFadeChannels, Join(Each({0}, 6), {1, 1})}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::EnvelopePositionNeedsSustain

class EnvelopePositionNeedsSustain : public NoteRule {};
TEST_P(EnvelopePositionNeedsSustain, MovesThePanningEnvelope) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, EnvelopePositionNeedsSustain, ::testing::Values(
    // Without volume envelope L04 moves neither envelope.
    TRuleCase{"WithoutVolumeSustain", Xm({At(0, 0, C4, 5, 0, L, 4)}), EnvelopePanning, {0, 8, 16, 24}},
    // Beside a sustained volume envelope both move.
    TRuleCase{"BesideVolumeSustain", Xm({At(0, 0, C4, 6, 0, L, 4)}), EnvelopePanning, {32, 40, 48, 56}},
    TRuleCase{"VolumeEnvelope", Xm({At(0, 0, C4, 6, 0, L, 6)}), Envelope, {16, 8, 0, 0}}), CaseName);

// ---------------------------------------------------------------------------
// TQuavixBehaviour::MultiRetrigCountsTicks

class MultiRetrigCountsTicks : public NoteRule {};
TEST_P(MultiRetrigCountsTicks, CountsAcrossRows) { Check(); }
// R93 raises the volume by 1 at every third tick counted.
INSTANTIATE_TEST_SUITE_P(Cells, MultiRetrigCountsTicks, ::testing::Values(
    // The first row after the instrument number leaves its first tick out;
    // the rows after it count theirs.
    TRuleCase{"AcrossRows",
              Xm({At(0, 0, C4, 1, V16), At(1, 0, 0, 0, 0, R, 0x93), At(2, 0, 0, 0, 0, R, 0x93), At(3, 0, 0, 0, 0, R, 0x93)}),
              Volume, Join(Each({16}, 4), {16, 16, 16, 17, 17, 17, 18, 18, 18, 19, 19, 19})},
    // A row without Rxy pauses the count; the next Rxy row counts its first
    // tick.
    TRuleCase{"Paused", Xm({At(0, 0, C4, 1, V16), At(1, 0, 0, 0, 0, R, 0x93), At(3, 0, 0, 0, 0, R, 0x93)}), Volume,
              Join(Each({16}, 7), Join(Each({17}, 7), {18, 18}))},
    // Beside a volume-column command that leaves something of its byte the
    // first tick is not counted; beside v00 it is.
    TRuleCase{"BesideASlide",
              Xm({At(0, 0, C4, 1, V16), At(1, 0, 0, 0, 0, R, 0x93), At(2, 0, 0, 0, 0x60 + 0, R, 0x93)}),
              Volume, Join(Each({16}, 7), {17, 17, 17, 17, 18})},
    // The volume column's volume is set again at every retrigger.
    TRuleCase{"VolumeSetAgain", Xm({At(0, 0, C4, 1), At(1, 0, 0, 0, V16, R, 0x91)}), Volume,
              Join(Each({40}, 4), Each({16}, 4))}), CaseName);

// ---------------------------------------------------------------------------
// Row repetitions (EEy) count their ticks from 0 again, in both trackers.

class RowRepetition : public NoteRule {};
TEST_P(RowRepetition, CountsTicksAfresh) { Check(); }
INSTANTIATE_TEST_SUITE_P(Cells, RowRepetition, ::testing::Values(
    // ED2 plays its note again in every repetition of the row: each start
    // hands the voice before it to the fade bank.
    TRuleCase{"NoteDelay", Xm({At(0, 0, C4, 1), At(1, 0, C4, 1, 0, E, 0xD2), At(1, 1, 0, 0, 0, E, 0xE1)}, 8, 2),
              ActiveFadeChannels, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2}},
    TRuleCase{"PatternFormatNoteDelay",
              Mod({ModAt(0, 0, Note("C-3"), 1), ModAt(1, 0, Note("C-3"), 1, 0xE, 0xD2), ModAt(1, 1, 0, 0, 0xE, 0xE1)}),
              ActiveFadeChannels, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2}},
    // A delay at or past the speed never comes, however long the row.
    TRuleCase{"DelayPastTheSpeed", Xm({At(0, 0, C4, 1, 0, E, 0xD5), At(0, 1, 0, 0, 0, E, 0xE1)}, 8, 2),
              Of(&TChannel::Active), Each({0}, 12)}), CaseName);

}  // namespace
