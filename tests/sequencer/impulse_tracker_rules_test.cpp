// Impulse Tracker's rules, each family in one table: small IT songs written
// with the module writer, played tick by tick, one value read after each
// tick. SmallIt plays at speed 6; its sample loops 64 frames at volume 64.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "song/behaviours.h"
#include "song/commands.h"
#include "song_fixture.h"

using namespace quavix_test;
using quavix_song_test::Each;
using quavix_song_test::Join;
using quavix_song_test::Runs;
using quavix_song_test::TProbe;

namespace {

struct TItRuleCase : TNamedCase {
    TItSong Song;
    TProbe Probe;
    std::vector<int32_t> Expected;
    // The tick's length in frames the player gives the song.
    int32_t TickLength = 882;
};

TItSong Cells(std::vector<TItPlacedCell> Placed) {
    TItSong Song = SmallIt();
    Song.Patterns[0].Cells = std::move(Placed);
    return Song;
}

// A song in instrument mode: instrument 1 plays the sample with the given
// new-note action and fade-out, and a volume envelope that holds at 64.
TItSong WithInstrument(std::vector<TItPlacedCell> Placed, int32_t Action, int32_t FadeOut, bool Envelope = true) {
    TItSong Song = Cells(std::move(Placed));
    TItInstrument I;
    I.NewNoteAction = Action;
    I.FadeOut = FadeOut;
    I.VolumeEnvelope.Enabled = Envelope;
    I.VolumeEnvelope.Sustain = Envelope;
    I.VolumeEnvelope.Points = {{0, 64}, {10, 64}};
    Song.Instruments = {I};
    return Song;
}

int32_t Volume(const TQuavixModule& M) { return M.Channels[0]->Volume; }
int32_t Period(const TQuavixModule& M) { return M.Channels[0]->Period; }
int32_t RowPlayed(const TQuavixModule& M) { return M.PlayingRow; }
// The reserve bank's sounding voices.
int32_t Reserved(const TQuavixModule& M) {
    int32_t Count = 0;
    for (const auto& Voice : M.BackgroundChannels) Count += Voice->Active ? 1 : 0;
    return Count;
}

class ImpulseTrackerRule : public ::testing::TestWithParam<TItRuleCase> {
protected:
    void Check() {
        const TItRuleCase& T = GetParam();
        TQuavixModule Module{nullptr};
        ASSERT_TRUE(quavix_song_test::LoadRewound(Module, WriteIt(T.Song)));
        Module.TickLength = T.TickLength;
        EXPECT_EQ(quavix_song_test::PlayTicks(Module, static_cast<int32_t>(T.Expected.size()), T.Probe), T.Expected);
    }
};

// Each letter keeps its own memory (D, K and L one; E and F one), and
// TQuavixBehaviour::EdgeSlidesOnFirstTick is not Impulse Tracker's: D0F
// slides on the later ticks only.
class ImpulseTrackerEffectMemory : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerEffectMemory, ByLetter) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerEffectMemory, ::testing::Values(
    TItRuleCase{{"D00 repeats D02 across an E with its own memory"},
                Cells({ItAt(0, 0, Note("C-4"), 1, 40, 'D', 0x02), ItAt(1, 0, 0, 0, -1, 'E', 0x01),
                       ItAt(2, 0, 0, 0, -1, 'D', 0x00)}),
                Volume, {40, 38, 36, 34, 32, 30, 30, 30, 30, 30, 30, 30, 30, 28, 26, 24, 22, 20}},
    TItRuleCase{{"D0F on the later ticks only"}, Cells({ItAt(0, 0, Note("C-4"), 1, 60, 'D', 0x0F)}), Volume,
                {60, 45, 30, 15, 0, 0}},
    TItRuleCase{{"F00 repeats E's slide upwards"},
                Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'E', 0x02), ItAt(1, 0, 0, 0, -1, 'F', 0x00)}), Period,
                {4608, 4616, 4624, 4632, 4640, 4648, 4648, 4640, 4632, 4624, 4616, 4608}}),
    TCaseName());

// Rows and song: TQuavixBehaviour::BreakRowInHex, TQuavixBehaviour::TempoSlides,
// TQuavixBehaviour::ZeroRowDelayCounts, TQuavixBehaviour::SongWrapKeepsBreakRow,
// the global volume's range of 128 and Mxx.
class ImpulseTrackerSong : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerSong, AsImpulseTrackerPlaysIt) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerSong, ::testing::Values(
    TItRuleCase{{"C10 breaks to row 16"},
                [] {
                    TItSong Song = Cells({ItAt(0, 0, 0, 0, -1, 'C', 0x10)});
                    Song.Orders = {0, 0};
                    return Song;
                }(),
                RowPlayed, Runs({{0, 6}, {16, 6}})},
    TItRuleCase{{"a break on the last order goes on at its row of the first"},
                Cells({ItAt(0, 0, 0, 0, -1, 'C', 0x03)}), RowPlayed, Runs({{0, 6}, {3, 6}, {4, 6}})},
    TItRuleCase{{"after SE0 a second row delay in the row does nothing"},
                Cells({ItAt(0, 0, 0, 0, -1, 'S', 0xE0), ItAt(0, 1, 0, 0, -1, 'S', 0xE1)}), RowPlayed,
                Runs({{0, 6}, {1, 6}})},
    TItRuleCase{{"T12 slides the tempo up by 2"}, Cells({ItAt(0, 0, 0, 0, -1, 'T', 0x12)}),
                [](const TQuavixModule& M) { return static_cast<int32_t>(M.Tempo); }, {125, 127, 129, 131, 133, 135}},
    TItRuleCase{{"V80 is the full global volume"}, Cells({ItAt(0, 0, 0, 0, -1, 'V', 0x80)}),
                [](const TQuavixModule& M) { return M.GlobalVolume; }, Runs({{128, 3}})},
    TItRuleCase{{"M20 halves the channel's volume"}, Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'M', 0x20)}),
                [](const TQuavixModule& M) { return M.Channels[0]->ChannelVolume; }, Runs({{32, 3}})},
    TItRuleCase{{"the header's channel volume holds from the song's start"},
                [] {
                    TItSong Song = Cells({ItAt(0, 0, Note("C-4"), 1)});
                    Song.ChannelVolume[0] = 20;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->ChannelVolume; }, Runs({{20, 3}})},
    TItRuleCase{{"a surround channel of the header sounds in surround"},
                [] {
                    TItSong Song = Cells({ItAt(0, 0, Note("C-4"), 1)});
                    Song.ChannelPanning[0] = 100;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->Surround ? 1 : 0; }, Runs({{1, 3}})}),
    TCaseName());

// TQuavixBehaviour::NewNoteActions and TQuavixBehaviour::KeyOffFadesOut: the
// note a new one replaces goes to the reserve bank unless its action cuts
// it; the duplicate checks and S7x end the notes left there; a note fade, or
// a released note without volume envelope, fades out.
class ImpulseTrackerNotes : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerNotes, AsImpulseTrackerPlaysThem) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerNotes, ::testing::Values(
    // (To the hertz below: its period's would be 44188 Hz.)
    TItRuleCase{{"under Amiga slides a note plays at its exact frequency"},
                [] {
                    TItSong Song = Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C#4"), 1)});
                    Song.Flags = 0x01;
                    Song.Samples[0].C5Speed = 44100;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->Frequency; }, Join(Each({44099}, 6), {46722})},
    TItRuleCase{{"a cut leaves nothing in the reserve bank"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("E-4"), 1)}, 0, 0), Reserved,
                Runs({{0, 12}})},
    TItRuleCase{{"continue plays the old note on in the reserve bank"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("E-4"), 1)}, 1, 0), Reserved,
                Runs({{0, 6}, {1, 6}})},
    TItRuleCase{{"a duplicate check on the note cuts the same note left playing"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("E-4"), 1),
                                                   ItAt(2, 0, Note("C-4"), 1)},
                                                  1, 0);
                    Song.Instruments[0].DuplicateCheckType = 1;
                    return Song;
                }(),
                Reserved, Runs({{0, 6}, {1, 6}, {1, 6}})},
    TItRuleCase{{"a duplicate check on the instrument releases every note of it"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("E-4"), 1)}, 1, 0);
                    Song.Instruments[0].DuplicateCheckType = 3;
                    Song.Instruments[0].DuplicateCheckAction = 1;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.BackgroundChannels[0]->KeyOff ? 1 : 0; }, Runs({{0, 6}, {1, 6}})},
    TItRuleCase{{"S70 cuts the notes the channel left playing"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("E-4"), 1), ItAt(2, 0, 0, 0, -1, 'S', 0x70)},
                               1, 0),
                Reserved, Runs({{0, 6}, {1, 6}, {0, 6}})},
    TItRuleCase{{"S73 makes the sounding note's action a cut"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1, -1, 'S', 0x73), ItAt(1, 0, Note("E-4"), 1)}, 1, 0), Reserved,
                Runs({{0, 12}})},
    TItRuleCase{{"S77 turns the volume envelope off for the note"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, -1, 'S', 0x77)}, 0, 0);
                    Song.Instruments[0].VolumeEnvelope.Sustain = false;
                    Song.Instruments[0].VolumeEnvelope.Points = {{0, 32}, {100, 32}};
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->EnvelopeVolume; }, Runs({{32, 6}, {64, 6}})},
    TItRuleCase{{"note fade fades the note by the fade-out"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteFade)}, 0, 1024),
                [](const TQuavixModule& M) { return M.Channels[0]->FadeoutVolume; },
                {65536, 65536, 65536, 65536, 65536, 65536, 0, 0}},
    TItRuleCase{{"a note off without volume envelope fades out"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff)}, 0, 512, false),
                [](const TQuavixModule& M) { return M.Channels[0]->FinalVolume > 0 ? 1 : 0; },
                {1, 1, 1, 1, 1, 1, 1, 0}}),
    TCaseName());

// An instrument whose volume envelope falls from 64 to 0 over 12 ticks, with
// no sustain: a restart shows as a jump back to 64.
TItSong FallingEnvelope(std::vector<TItPlacedCell> Placed, uint16_t Flags = 0x09) {
    TItSong Song = WithInstrument(std::move(Placed), 0, 0);
    Song.Flags = Flags;
    Song.Instruments[0].VolumeEnvelope.Sustain = false;
    Song.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {12, 0}};
    return Song;
}

// Instrument 1 pans hard right by its own panning, instrument 2 has none.
TItSong PanningInstruments(std::vector<TItPlacedCell> Placed) {
    TItSong Song = WithInstrument(std::move(Placed), 0, 0, false);
    Song.Instruments[0].Panning = 64;
    Song.Instruments.push_back(Song.Instruments[0]);
    Song.Instruments[1].Panning = -1;
    return Song;
}

// C-4 on a sample with its own vibrato.
TItSong SampleVibrato(int32_t Speed, int32_t Depth, int32_t Rate, int32_t Type) {
    TItSong Song = Cells({ItAt(0, 0, Note("C-4"), 1)});
    Song.Samples[0].VibratoSpeed = Speed;
    Song.Samples[0].VibratoDepth = Depth;
    Song.Samples[0].VibratoRate = Rate;
    Song.Samples[0].VibratoType = Type;
    return Song;
}

// A note on each of Rows rows (by default the pitch-pan centre, C-4 here
// and C-5 in Impulse Tracker's naming), by an instrument whose panning or
// volume each note varies.
TItSong VariedNotes(int32_t Rows, const std::function<void(TItInstrument&)>& Set, int32_t Note = 49) {
    std::vector<TItPlacedCell> Placed;
    for (int32_t Row = 0; Row < Rows; ++Row) Placed.push_back(ItAt(Row, 0, Note, 1));
    TItSong Song = WithInstrument(std::move(Placed), 0, 0, false);
    Set(Song.Instruments[0]);
    return Song;
}

int32_t EnvelopeVolume(const TQuavixModule& M) { return M.Channels[0]->EnvelopeVolume; }
int32_t PeriodOffset(const TQuavixModule& M) { return M.Channels[0]->PeriodOffset; }
int32_t Sounding(const TQuavixModule& M) { return M.Channels[0]->Active ? 1 : 0; }
int32_t Panning(const TQuavixModule& M) { return M.Channels[0]->Panning; }
int32_t Fadeout(const TQuavixModule& M) { return M.Channels[0]->FadeoutVolume; }

// Instrument numbers, keyboards and envelope ends as Impulse Tracker plays
// them: TQuavixBehaviour::LoneInstrumentKeepsEnvelopes,
// TQuavixBehaviour::MissingInstrumentSilencesNotes,
// TQuavixBehaviour::PortamentoInstrumentResetsEnvelopes,
// TQuavixBehaviour::LoneInstrumentReplaysStoppedNote,
// TQuavixBehaviour::NotePanningLeavesChannel,
// TQuavixBehaviour::FadeStartsAtEnvelopeEnd, the keyboard's notes, the pitch
// envelope, the instrument's filter, the sample's sustain loop, C-5 speed and
// vibrato
// (TQuavixBehaviour::SampleAutoVibrato).
// Each note's own panning and volume offsets: the instrument's pitch-pan
// separation, and its random variation, which stays within its range, moves
// from note to note, leaves a note at volume 0 silent and plays the same in
// every render.
struct TVariationCase : TNamedCase {
    TItSong Song;
    TProbe Probe;
    int32_t Lowest, Highest;
    bool Varies;
};

class ImpulseTrackerNoteVariation : public ::testing::TestWithParam<TVariationCase> {};

TEST_P(ImpulseTrackerNoteVariation, StaysWithinItsRange) {
    const TVariationCase& C = GetParam();
    const quavix_test::TBytes File = WriteIt(C.Song);
    // One value per note: the rows' first ticks.
    std::vector<int32_t> Notes;
    const std::vector<int32_t> Ticks = quavix_song_test::PlayFile(File, 6 * 16, C.Probe);
    for (size_t t = 0; t < Ticks.size(); t += 6) Notes.push_back(Ticks[t]);
    EXPECT_EQ(quavix_song_test::PlayFile(File, 6 * 16, C.Probe), Ticks) << "a second render differs";
    for (int32_t Value : Notes) {
        EXPECT_GE(Value, C.Lowest);
        EXPECT_LE(Value, C.Highest);
    }
    EXPECT_EQ(std::adjacent_find(Notes.begin(), Notes.end(), std::not_equal_to<int32_t>()) != Notes.end(), C.Varies);
}

int32_t NotePanning(const TQuavixModule& M) { return M.Channels[0]->NotePanningOffset; }
int32_t NoteVolume(const TQuavixModule& M) { return M.Channels[0]->NoteVolumeOffset; }
int32_t PanningSteps(const TQuavixModule& M) { return M.Channels[0]->NotePanningOffset % 4; }

INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerNoteVariation, ::testing::Values(
    TVariationCase{{"a note an octave above the centre pans by 12 x separation / 8 steps"},
                   VariedNotes(16, [](TItInstrument& I) { I.PitchPanSeparation = 8; }, Note("C-5")), NotePanning, 48, 48, false},
    TVariationCase{{"below the centre it pans the other way"},
                   VariedNotes(16, [](TItInstrument& I) { I.PitchPanSeparation = 8; }, Note("C-3")),
                   [](const TQuavixModule& M) { return M.Channels[0]->FinalPanning; }, 128 - 48, 128 - 48, false},
    TVariationCase{{"the panning varies by up to its steps either way"},
                   VariedNotes(16, [](TItInstrument& I) { I.PanningSwing = 16; }), NotePanning, -64, 64, true},
    TVariationCase{{"in whole steps of the 0..64 scale"},
                   VariedNotes(16, [](TItInstrument& I) { I.PanningSwing = 16; }), PanningSteps, 0, 0, false},
    TVariationCase{{"the volume varies by up to its percentage of the note's"},
                   VariedNotes(16, [](TItInstrument& I) { I.VolumeSwing = 25; }), NoteVolume, -16, 16, true},
    TVariationCase{{"a note at volume 0 stays silent"},
                   [] {
                       TItSong Song = VariedNotes(16, [](TItInstrument& I) { I.VolumeSwing = 100; });
                       Song.Samples[0].Volume = 0;
                       return Song;
                   }(),
                   [](const TQuavixModule& M) { return M.Channels[0]->FinalVolume; }, 0, 0, false},
    TVariationCase{{"without variation the note keeps the channel's"},
                   VariedNotes(16, [](TItInstrument&) {}),
                   [](const TQuavixModule& M) { return NotePanning(M) + NoteVolume(M); }, 0, 0, false}),
    quavix_test::TCaseName());

class ImpulseTrackerInstruments : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerInstruments, AsImpulseTrackerPlaysThem) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerInstruments, ::testing::Values(
    TItRuleCase{{"a lone instrument number leaves the envelope running"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 1)}), EnvelopeVolume,
                {64, 58, 53, 48, 42, 37, 32, 26, 21, 16, 10, 5, 0, 0}},
    TItRuleCase{{"another instrument's lone number restarts the envelope"},
                [] {
                    TItSong Song = FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 2)});
                    Song.Instruments.push_back(Song.Instruments[0]);
                    return Song;
                }(),
                EnvelopeVolume, {64, 58, 53, 48, 42, 37, 64, 58, 53, 48, 42, 37, 32, 26}},
    TItRuleCase{{"a number naming no instrument is ignored"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("D-4"), 9)}), Sounding, Runs({{1, 12}})},
    TItRuleCase{{"with old effects it restarts the envelope"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 1)}, 0x19), EnvelopeVolume,
                {64, 58, 53, 48, 42, 37, 64, 58, 53, 48, 42, 37, 32, 26}},
    TItRuleCase{{"with linked Gxx memory a slide beside it restarts the envelope"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 1, -1, 'G', 0x01)}, 0x29), EnvelopeVolume,
                {64, 58, 53, 48, 42, 37, 64, 58, 53, 48, 42, 37, 32, 26}},
    TItRuleCase{{"an envelope that carries goes on under the next note"},
                [] {
                    TItSong Song = FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("D-4"), 1)});
                    Song.Instruments[0].VolumeEnvelope.Carry = true;
                    return Song;
                }(),
                EnvelopeVolume, {64, 58, 53, 48, 42, 37, 32, 26, 21, 16, 10, 5, 0, 0}},
    TItRuleCase{{"a note without instrument number restarts the envelope"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("D-4"))}), EnvelopeVolume,
                {64, 58, 53, 48, 42, 37, 64, 58, 53, 48, 42, 37, 32, 26}},
    TItRuleCase{{"a lone instrument number plays the ended note again"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(3, 0, 0, 1)}), Sounding,
                Runs({{1, 12}, {0, 6}, {1, 12}, {0, 2}})},
    TItRuleCase{{"after a note off a lone instrument number plays nothing"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff), ItAt(3, 0, 0, 1)}), Sounding,
                Runs({{1, 12}, {0, 12}})},
    TItRuleCase{{"without instruments a lone sample number switches the sample"},
                [] {
                    TItSong Song = Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 2)});
                    Song.Samples.push_back(Song.Samples[0]);
                    Song.Samples[1].Volume = 20;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->Sample ? M.Channels[0]->Sample->Volume : -1; },
                Runs({{64, 6}, {20, 6}})},
    TItRuleCase{{"without instruments a lone number naming no sample stops the voice"},
                Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 9)}), Sounding, Runs({{1, 6}, {0, 6}})},
    TItRuleCase{{"the keyboard plays C-4 an octave up"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1)}, 0, 0);
                    Song.Instruments[0].Transpose = 12;
                    return Song;
                }(),
                Period, Runs({{4608 - 768, 3}})},
    TItRuleCase{{"the next instrument without panning gets the channel's back"},
                PanningInstruments({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C-4"), 2)}), Panning,
                Runs({{256, 6}, {128, 6}})},
    TItRuleCase{{"a panning effect since sets the channel's"},
                PanningInstruments({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, -1, 'X', 0x40),
                                    ItAt(2, 0, Note("C-4"), 2)}),
                Panning, Runs({{256, 6}, {64, 12}})},
    TItRuleCase{{"a pitch envelope at +4 raises the note two semitones"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1)}, 0, 0);
                    Song.Instruments[0].PitchEnvelope.Enabled = true;
                    Song.Instruments[0].PitchEnvelope.Points = {{0, 4}, {10, 4}};
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->Period + M.Channels[0]->PeriodOffset; },
                Runs({{4608 - 128, 3}})},
    TItRuleCase{{"an instrument's cutoff filters its notes"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1)}, 0, 0);
                    Song.Instruments[0].FilterCutoff = 40;
                    Song.Instruments[0].FilterResonance = 10;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->FilterValid ? M.Channels[0]->FilterCutoff : -1; },
                Runs({{40, 3}})},
    TItRuleCase{{"a full cutoff without resonance leaves the filter off"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1)}, 0, 0);
                    Song.Instruments[0].FilterCutoff = 127;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->FilterValid ? 1 : 0; }, Runs({{0, 3}})},
    TItRuleCase{{"a filter envelope at its middle halves the cutoff"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1)}, 0, 0);
                    Song.Instruments[0].FilterCutoff = 100;
                    Song.Instruments[0].PitchEnvelope.Enabled = true;
                    Song.Instruments[0].PitchEnvelope.Filter = true;
                    Song.Instruments[0].PitchEnvelope.Points = {{0, 0}, {10, 0}};
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->FilterCutoff; }, Runs({{50, 3}})},
    TItRuleCase{{"a C-5 speed of 44100 Hz plays C-5 at exactly 44100 Hz"},
                [] {
                    TItSong Song = Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C-5"), 1)});
                    Song.Samples[0].C5Speed = 44100;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->Frequency; }, Runs({{44100, 6}, {88200, 6}})},
    TItRuleCase{{"the sample's square vibrato grows by its sweep"},
                SampleVibrato(64, 4, 255, 2), PeriodOffset, {0, 1, 2, -3, -4, 4}},
    TItRuleCase{{"the sample's sine vibrato swings as far up as down"},
                SampleVibrato(32, 3, 255, 0), PeriodOffset, {0, -1, -1, 0, 2, 3, 2, 0, -2, -3}},
    TItRuleCase{{"the sample's vibrato does nothing at speed 0"},
                SampleVibrato(0, 32, 255, 2), PeriodOffset, Runs({{0, 6}})},
    TItRuleCase{{"a sample's sustain loop plays until the key is released"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff)}, 0, 0);
                    Song.Samples[0].LoopStart = 32;
                    Song.Samples[0].SustainLoop = true;
                    Song.Samples[0].SustainStart = 8;
                    Song.Samples[0].SustainEnd = 16;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->Sample->LoopStart; }, Runs({{8, 6}, {32, 6}})},
    TItRuleCase{{"a released note fades once its envelope has ended"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff)}, 0, 512);
                    Song.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {8, 64}};
                    return Song;
                }(),
                Fadeout, Runs({{65536, 14}, {32768, 1}, {0, 3}})},
    TItRuleCase{{"an envelope that ends at 0 ends the note"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1)}), Sounding, Runs({{1, 12}, {0, 3}})}),
    TCaseName());

// An envelope's loops run through their end point, and whether they run back
// is decided on leaving it (TQuavixBehaviour::EnvelopeLoopsIncludeEnd): a
// note-off on the tick after the sustain loop's end comes too late for that
// round.
TItSong LoopingEnvelope(std::vector<TItPlacedCell> Placed, bool Sustain) {
    TItSong Song = WithInstrument(std::move(Placed), 0, 0);
    TItEnvelope& E = Song.Instruments[0].VolumeEnvelope;
    E.Points = {{0, 60}, {5, 0}, {9, 40}, {13, 0}};
    E.Sustain = Sustain;
    E.Loop = !Sustain;
    E.SustainEnd = E.LoopEnd = 1;
    return Song;
}

class ImpulseTrackerEnvelopes : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerEnvelopes, LoopThroughTheirEnds) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerEnvelopes, ::testing::Values(
    TItRuleCase{{"a loop plays its end point, then its start"},
                LoopingEnvelope({ItAt(0, 0, Note("C-4"), 1)}, false), EnvelopeVolume,
                {60, 48, 36, 24, 12, 0, 60, 48, 36, 24, 12, 0, 60}},
    TItRuleCase{{"a note off just after the sustain loop ran back plays it once more"},
                LoopingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff)}, true), EnvelopeVolume,
                {60, 48, 36, 24, 12, 0, 60, 48, 36, 24, 12, 0, 10, 20, 30, 40, 30, 20, 10, 0}},
    TItRuleCase{{"a note off inside the sustain loop leaves it at its end"},
                [] {
                    TItSong Song = LoopingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff)}, true);
                    Song.Instruments[0].VolumeEnvelope.Points = {{0, 60}, {8, 0}, {12, 40}, {16, 0}};
                    return Song;
                }(),
                EnvelopeVolume, {60, 52, 45, 37, 30, 22, 15, 7, 0, 10, 20, 30, 40}}),
    TCaseName());

// Two instruments over two samples of volumes 64 and 32 (instrument 1 plays
// sample 1 but maps D-4 to sample 2, and E-4 to none); row 0 plays C-4 on
// instrument 1.
TItSong TwoSamples(std::vector<TItPlacedCell> Placed) {
    TItSong Song = WithInstrument(std::move(Placed), 0, 0);
    Song.Samples.push_back(Song.Samples[0]);
    Song.Samples[1].Volume = 32;
    Song.Instruments.push_back(Song.Instruments[0]);
    Song.Instruments[1].Sample = 2;
    Song.Instruments[0].Keyboard.assign(120, 1);
    Song.Instruments[0].Keyboard[Note("D-4") + 11] = 2;
    Song.Instruments[0].Keyboard[Note("E-4") + 11] = 0;
    return Song;
}
// The volume, and the default volume of the sample sounding, as 100 x V + S.
int32_t VolumeAndSample(const TQuavixModule& M) {
    const TQuavixChannel& C = *M.Channels[0];
    return C.Volume * 100 + (C.Sample ? C.Sample->Volume : 0);
}
int32_t SampleFrame(const TQuavixModule& M) { return M.Channels[0]->Position >> QuavixFrameBits; }

// An instrument number without a note brings the sample the keyboard maps the
// last note to (TQuavixBehaviour::LoneInstrumentSwitchesSample); a note mapped
// to no sample is not played (TQuavixBehaviour::NoteWithoutSampleIgnored), nor
// is one after a number naming no instrument
// (TQuavixBehaviour::MissingInstrumentSilencesNotes); a key-off beside an
// instrument number fades the note out (TQuavixBehaviour::KeyOffFadesOut);
// only notes take a sample's panning
// (TQuavixBehaviour::NotePanningLeavesChannel); a slide where the voice has
// stopped starts its note (TQuavixBehaviour::PortamentoStartsStoppedNote); without
// instruments a number naming no sample stops the voice, beside a slide too
// (TQuavixBehaviour::LoneSampleNumberSwitchesSample).
class ImpulseTrackerKeyboards : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerKeyboards, MapNotesToSamples) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerKeyboards, ::testing::Values(
    TItRuleCase{{"another instrument's lone number starts its sample over"},
                TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 2)}), VolumeAndSample,
                Join(Each({6464}, 6), Each({3232}, 2))},
    TItRuleCase{{"the same instrument's lone number takes the mapped sample's volume only"},
                TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("D-4"), 0, -1, 'G', 0x01),
                            ItAt(2, 0, 0, 1)}),
                VolumeAndSample, Join(Each({6464}, 12), Each({3264}, 2))},
    TItRuleCase{{"a note mapped to no sample is not played, offset and all"},
                TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("E-4"), 1, -1, 'O', 0x01)}),
                [](const TQuavixModule& M) { return M.Channels[0]->LastNote * 1000 + SampleFrame(M) / 256; },
                Each({ItLoadedNote(Note("C-4")) * 1000}, 8)},
    TItRuleCase{{"after a number naming no instrument notes are not played"},
                TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 9), ItAt(2, 0, Note("D-4")),
                            ItAt(3, 0, Note("D-4"), 2)}),
                [](const TQuavixModule& M) { return M.Channels[0]->LastNote; },
                Join(Each({ItLoadedNote(Note("C-4"))}, 18), Each({ItLoadedNote(Note("D-4"))}, 2))},
    TItRuleCase{{"a slide beside another instrument's number starts its sample"},
                TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C-4"), 2, -1, 'G', 0x01)}), VolumeAndSample,
                Join(Each({6464}, 6), Each({3232}, 2))},
    TItRuleCase{{"with linked Gxx memory the slide keeps the sample"},
                [] {
                    TItSong Song = TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C-4"), 2, -1, 'G', 0x01)});
                    Song.Flags |= 0x20;
                    return Song;
                }(),
                VolumeAndSample, Each({6464}, 8)},
    TItRuleCase{{"a lone number on a cut channel starts nothing"},
                TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteCut), ItAt(2, 0, 0, 2)}), Sounding,
                Join(Each({1}, 6), Each({0}, 8))},
    TItRuleCase{{"a lone number leaves the panning to notes"},
                [] {
                    TItSong Song = TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, -1, 'X', 0x00),
                                               ItAt(2, 0, 0, 1), ItAt(3, 0, Note("C-4"), 1)});
                    Song.Samples[0].Panning = 64;
                    return Song;
                }(),
                Panning, Join(Join(Each({256}, 6), Each({0}, 12)), {256})},
    TItRuleCase{{"a slide after a note cut starts its note"},
                TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteCut), ItAt(2, 0, Note("D-4"), 0, -1, 'G', 0x01)}),
                Sounding, Join(Each({1}, 6), Join(Each({0}, 6), {1, 1}))},
    TItRuleCase{{"a slide where the envelope has ended the note starts it"},
                FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(3, 0, Note("D-4"), 0, -1, 'G', 0x01)}), Sounding,
                Join(Join(Each({1}, 12), Each({0}, 6)), {1, 1})},
    TItRuleCase{{"without instruments a slide beside a missing sample's number stops the voice"},
                [] {
                    TItSong Song = Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("D-4"), 9, -1, 'G', 0x01)});
                    return Song;
                }(),
                Sounding, Join(Each({1}, 6), {0, 0})},
    TItRuleCase{{"an offset beside a slide and an instrument number moves the sample"},
                [] {
                    // A tone portamento in the volume column (193 + 1) beside O02.
                    TItSong Song = TwoSamples({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C-4"), 1, 194, 'O', 0x02)});
                    Song.Samples[0].Values.assign(1024, 40);
                    Song.Samples[0].Loop = false;
                    return Song;
                }(),
                SampleFrame, Join(Each({0}, 6), {512, 512})},
    TItRuleCase{{"a lone number whose keyboard ignores the stopped note acts once as a lone number"},
                [] {
                    TItSong Song = FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(3, 0, 0, 2)});
                    Song.Instruments.push_back(Song.Instruments[0]);
                    Song.Instruments[1].Keyboard.assign(120, 0);
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->Instrument == M.Instruments[2].get() ? 1 : 0; },
                Join(Each({0}, 18), {1, 1})},
    TItRuleCase{{"a key-off beside an instrument number fades the note"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff, 1)}, 0, 1024, false), Fadeout,
                {65536, 65536, 65536, 65536, 65536, 65536, 0, 0}}),
    TCaseName());

// A step of the volume envelope ramps across the tick, 882 frames, other
// changes (and steps from or to silence) in 16 frames where they rise; with
// no mixing here, every gain counts as rising
// (TQuavixBehaviour::EnvelopeRampsAcrossTick), and so does a volume slide's
// step, over 2048 frames at most (TQuavixBehaviour::VolumeSlidesRampAcrossTick).
// A sample that starts starts
// its step's carried fraction over (TQuavixBehaviour::NoteRestartsStepCarry).
// A note cut by SCx fades out in the voice that takes it over, which runs
// the cut again and stays.
class ImpulseTrackerRamps : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerRamps, LastTheirLength) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerRamps, ::testing::Values(
    TItRuleCase{{"an envelope's steps ramp across the tick but from and to silence"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1)}, 0, 0);
                    Song.Instruments[0].VolumeEnvelope.Sustain = false;
                    Song.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {2, 64}, {3, 8},  {5, 8},
                                                                 {6, 0},  {8, 0},  {9, 64}, {12, 64}};
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->RampLength; },
                {16, 16, 16, 882, 16, 16, 16, 16, 16, 16, 16, 16}},
    TItRuleCase{{"a volume slide's steps ramp across the tick"},
                Cells({ItAt(0, 0, Note("C-4"), 1, 40, 'D', 0x02)}),
                [](const TQuavixModule& M) { return M.Channels[0]->RampLength; }, {16, 882, 882, 882, 882, 882}},
    TItRuleCase{{"a fine slide of the volume column ramps across its tick"},
                Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, 84)}),
                [](const TQuavixModule& M) { return M.Channels[0]->RampLength; }, Join(Each({16}, 6), {882, 16, 16})},
    TItRuleCase{{"a slide's step to silence ramps quickly"},
                Cells({ItAt(0, 0, Note("C-4"), 1, 20, 'D', 0x0F)}),
                [](const TQuavixModule& M) { return M.Channels[0]->RampLength; }, {16, 882, 16, 16, 16, 16}},
    TItRuleCase{{"in a long tick a slide's step ramps over 2048 frames"},
                Cells({ItAt(0, 0, Note("C-4"), 1, 40, 'D', 0x02)}),
                [](const TQuavixModule& M) { return M.Channels[0]->RampLength; }, {16, 2048, 2048}, 3445},
    TItRuleCase{{"a volume command ramps quickly"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, 20)}, 0, 0),
                [](const TQuavixModule& M) { return M.Channels[0]->RampLength; }, Each({16}, 8)},
    TItRuleCase{{"voices starting together step together"},
                Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("D-4"), 1), ItAt(1, 1, Note("D-4"), 1)}),
                [](const TQuavixModule& M) { return M.Channels[0]->IncrementCarry == M.Channels[1]->IncrementCarry ? 1 : 0; },
                Join(Each({0}, 6), Each({1}, 6))},
    TItRuleCase{{"a lone instrument number's volume ramps across the tick"},
                WithInstrument({ItAt(0, 0, Note("C-4"), 1, 20), ItAt(1, 0, 0, 1)}, 0, 0),
                [](const TQuavixModule& M) { return M.Channels[0]->RampLength; }, {16, 16, 16, 16, 16, 16, 882, 16}},
    TItRuleCase{{"a note cut by SCx ramps out in one fade voice"},
                Cells({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, 0, 0, -1, 'S', 0xC2)}),
                // Which fade voices fade out, a bit each.
                [](const TQuavixModule& M) {
                    int32_t Fading = 0;
                    for (size_t i = 0; i < M.FadeChannels.size(); ++i)
                        if (M.FadeChannels[i]->Active && M.FadeChannels[i]->FadeoutVolume == 0) Fading |= 1 << std::min<size_t>(i, 30);
                    return Fading;
                },
                Join(Each({0}, 8), Each({1}, 4))}),
    TCaseName());

// A fading note goes on fading under an instrument number, from full
// volume (TQuavixBehaviour::InstrumentNumberKeepsFade); with old effects a
// key-off beside an instrument number is taken first, and the number presses
// the key again (TQuavixBehaviour::KeyOffBeforeInstrument); an envelope
// carries only from a note still held; between its points the volume
// envelope keeps 256ths of a step (TQuavixBehaviour::FineEnvelopeSteps).
class ImpulseTrackerFades : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerFades, AsImpulseTrackerPlaysThem) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerFades, ::testing::Values(
    TItRuleCase{{"with old effects an instrument number leaves a note fade fading"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteFade), ItAt(2, 0, 0, 1)}, 0, 64);
                    Song.Flags |= 0x10;
                    return Song;
                }(),
                Fadeout,
                {65536, 65536, 65536, 65536, 65536, 65536, 61440, 57344, 53248, 49152, 45056, 40960, 61440, 57344}},
    TItRuleCase{{"with old effects a key-off beside a number leaves the key held"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff, 1)}, 0, 0);
                    Song.Flags |= 0x10;
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->VolumeEnvelope->KeyOn ? 1 : 0; },
                Each({1}, 8)},
    TItRuleCase{{"an envelope carries only from a note still held"},
                [] {
                    TItSong Song = FallingEnvelope({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, ItNoteOff),
                                                    ItAt(2, 0, Note("D-4"), 1)});
                    Song.Instruments[0].VolumeEnvelope.Carry = true;
                    Song.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {40, 0}};
                    return Song;
                }(),
                EnvelopeVolume, {64, 62, 60, 59, 57, 56, 54, 52, 51, 49, 48, 46, 64}},
    TItRuleCase{{"a slow slope falls in 256ths"},
                [] {
                    TItSong Song = FallingEnvelope({ItAt(0, 0, Note("C-4"), 1)});
                    Song.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {64, 63}};
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->FineEnvelopeVolume; },
                {16384, 16380, 16376, 16372, 16368}},
    TItRuleCase{{"a slow pitch slope moves the period in fractions of a step"},
                [] {
                    TItSong Song = WithInstrument({ItAt(0, 0, Note("C-4"), 1)}, 0, 0);
                    Song.Instruments[0].PitchEnvelope.Enabled = true;
                    Song.Instruments[0].PitchEnvelope.Points = {{0, 0}, {64, 1}};
                    return Song;
                }(),
                [](const TQuavixModule& M) { return M.Channels[0]->PeriodOffset; }, {0, 0, -1, -1, -2, -2, -3}}),
    TCaseName());

// A voice panned hard right sits at 256, the file's 64 times 4, wherever the
// panning comes from: nothing of it is left on the left side
// (TQuavixBehaviour::PanningReachesRight).
int32_t FinalPanning(const TQuavixModule& M) { return M.Channels[0]->FinalPanning; }
class ImpulseTrackerPanning : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerPanning, ReachesTheRightSide) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerPanning, ::testing::Values(
    TItRuleCase{{"a channel panned hard right"},
                [] {
                    TItSong Song = Cells({ItAt(0, 0, Note("C-4"), 1)});
                    Song.ChannelPanning[0] = 64;
                    return Song;
                }(),
                FinalPanning, Each({256}, 6)},
    TItRuleCase{{"the volume column's p64"}, Cells({ItAt(0, 0, Note("C-4"), 1, 192)}), FinalPanning, Each({256}, 6)},
    TItRuleCase{{"a slide right stops at 256"}, Cells({ItAt(0, 0, Note("C-4"), 1, -1, 'P', 0x0F)}), FinalPanning,
                {128, 188, 248, 256, 256, 256}}),
    TCaseName());

// Impulse Tracker's ten octaves, C-0..B-9 (TQuavixBehaviour::LinearOctaveBelowC0
// plays its lowest octave under linear slides), and a channel's last note is
// C-0 before its first note (TQuavixBehaviour::LastNoteStartsAtC0). The
// sample plays C-5 at 8363 Hz; the value read is the channel's frequency, 0
// while it is silent.
int32_t SoundingFrequency(const TQuavixModule& M) {
    return M.Channels[0]->Active ? M.Channels[0]->Frequency : 0;
}

class ImpulseTrackerNoteRange : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerNoteRange, TenOctaves) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerNoteRange, ::testing::Values(
    TItRuleCase{{"C-5 plays at the sample's C-5 speed"}, Cells({ItAt(0, 0, ItNoteAsStored + 60, 1)}),
                SoundingFrequency, Each({8363}, 2)},
    TItRuleCase{{"C-0 plays five octaves below"}, Cells({ItAt(0, 0, ItNoteAsStored + 0, 1)}), SoundingFrequency,
                Each({261}, 2)},
    TItRuleCase{{"C-1 plays four octaves below"}, Cells({ItAt(0, 0, ItNoteAsStored + 12, 1)}), SoundingFrequency,
                Each({522}, 2)},
    TItRuleCase{{"B-9 is the highest note"}, Cells({ItAt(0, 0, ItNoteAsStored + 119, 1)}), SoundingFrequency,
                Each({252594}, 2)},
    TItRuleCase{{"a lone number before any note plays C-0"}, Cells({ItAt(0, 0, 0, 1)}), SoundingFrequency,
                Each({261}, 2)},
    TItRuleCase{{"a lone number after a note plays that note"},
                Cells({ItAt(0, 0, ItNoteAsStored + 60, 1), ItAt(1, 0, ItNoteCut), ItAt(2, 0, ItNoteAsStored + 72, 1, -1, 'S', 0xC1),
                       ItAt(3, 0, 0, 1)}),
                SoundingFrequency, Runs({{8363, 6}, {0, 6}, {16726, 1}, {0, 5}, {16726, 2}})}),
    TCaseName());

// Pitch slides move the frequency in whole hertz, from the note's own whole
// hertz (TQuavixBehaviour::SlidesMoveFrequency):
// an Amiga slide truncates 1712 x 8363 x f / (1712 x 8363 + n x f), so that
// EFF and FFF do not come back to the note's 44100 Hz; a linear one
// multiplies by 2^(n/768) or 2^(n/192) in 16.16 to the nearest hertz; the
// tone portamento slides so too and lands on its note's own pitch. Speed 2,
// or 6 for the portamento; the value read is the channel's frequency.
TItSong SlideSong(std::vector<TItPlacedCell> Placed, bool Linear, int32_t Speed, uint32_t C5Speed = 8363) {
    TItSong Song = Cells(std::move(Placed));
    if (!Linear) Song.Flags &= ~0x08;
    Song.Speed = static_cast<uint8_t>(Speed);
    Song.Samples[0].C5Speed = C5Speed;
    return Song;
}

class ImpulseTrackerSlideFrequencies : public ImpulseTrackerRule {};
TEST_P(ImpulseTrackerSlideFrequencies, InWholeHertz) { Check(); }
INSTANTIATE_TEST_SUITE_P(ImpulseTracker, ImpulseTrackerSlideFrequencies, ::testing::Values(
    TItRuleCase{{"Amiga fine slides down and up drift from the note"},
                SlideSong({ItAt(0, 0, Note("C-4"), 1, -1, 'E', 0xFF), ItAt(1, 0, 0, 0, -1, 'F', 0xFF)}, false, 2, 44100),
                SoundingFrequency, Runs({{37221, 2}, {44099, 2}})},
    TItRuleCase{{"linear extra fine and fine slides round to the hertz"},
                SlideSong({ItAt(0, 0, Note("C-4"), 1, -1, 'F', 0xE1), ItAt(1, 0, 0, 0, -1, 'F', 0xE1),
                           ItAt(2, 0, 0, 0, -1, 'E', 0xF2)},
                          true, 2),
                SoundingFrequency, Runs({{8371, 2}, {8379, 2}, {8319, 2}})},
    TItRuleCase{{"a tone portamento slides the frequency and lands on the note"},
                SlideSong({ItAt(0, 0, Note("C-4"), 1), ItAt(1, 0, Note("C#4"), 0, -1, 'G', 0x04)}, true, 6),
                SoundingFrequency, Join(Each({8363}, 7), {8485, 8608, 8733, 8860, 8860})},
    // A note sounds at its C-5 speed times the 16.16 factor of its semitone,
    // shifted by its octave and truncated: 8463 x 82570 / 65536 (10662.7)
    // and 44100 x 73562 x 2 / 65536 (99001.9).
    TItRuleCase{{"a note sounds at the whole hertz below its pitch"},
                SlideSong({ItAt(0, 0, ItNoteAsStored + 64, 1)}, true, 6, 8463), SoundingFrequency, Each({10662}, 2)},
    TItRuleCase{{"and so does a note an octave up"},
                SlideSong({ItAt(0, 0, ItNoteAsStored + 74, 1)}, true, 6, 44100), SoundingFrequency, Each({99001}, 2)}),
    TCaseName());

}  // namespace
