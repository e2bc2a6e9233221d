// Impulse Tracker's resonant filter as notes and Zxx switch it, each family
// in one table: small IT songs written with the module writer, played tick
// by tick, one value read after each tick. SmallIt plays at speed 6.
#include <gtest/gtest.h>

#include <vector>

#include "song/behaviours.h"
#include "song/commands.h"
#include "song_fixture.h"

using namespace quavix_test;
using quavix_song_test::PlayFile;
using quavix_song_test::Runs;

namespace {

// The cells of channel 0 in SmallIt's pattern, and whether the channel
// filters after each tick.
struct TItFilterCase : TNamedCase {
    std::vector<TItPlacedCell> Placed;
    std::vector<int32_t> Filtering;
};

class ImpulseTrackerFilter : public ::testing::TestWithParam<TItFilterCase> {
protected:
    void Check() {
        const TItFilterCase& T = GetParam();
        TItSong Song = SmallIt();
        Song.Patterns[0].Cells = T.Placed;
        const auto Filtering = [](const TQuavixModule& M) { return M.Channels[0]->FilterValid ? 1 : 0; };
        EXPECT_EQ(PlayFile(WriteIt(Song), static_cast<int32_t>(T.Filtering.size()), Filtering), T.Filtering);
    }
};

// TQuavixBehaviour::FullCutoffLeavesFilter and NoteResetsFilter: a full
// cutoff without resonance turns the filter off only beside a note that
// starts; otherwise it leaves the filter as it runs, and the next note sets
// the filter up from the settings then.
TEST_P(ImpulseTrackerFilter, SwitchesAsImpulseTrackerDoes) { Check(); }
INSTANTIATE_TEST_SUITE_P(
    ImpulseTracker, ImpulseTrackerFilter,
    ::testing::Values(
        TItFilterCase{{"Z7F beside a note turns the filter off"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, Note("C-4"), 1, -1, 'Z', 0x7F)}},
                      Runs({{1, 6}, {0, 3}})},
        TItFilterCase{{"Z7F on its own leaves the filter running"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, 0, 0, -1, 'Z', 0x7F)}},
                      Runs({{1, 9}})},
        TItFilterCase{{"the next note at full cutoff turns the filter off"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, 0, 0, -1, 'Z', 0x7F),
                        ItAt(2, 0, Note("D-4"), 1)}},
                      Runs({{1, 12}, {0, 3}})},
        TItFilterCase{{"the next note below full cutoff filters again"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x7F), ItAt(1, 0, 0, 0, -1, 'Z', 0x30),
                        ItAt(2, 0, Note("D-4"), 1)}},
                      Runs({{0, 6}, {1, 9}})},
        TItFilterCase{{"resonance keeps a full cutoff filtering"},
                      {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, 0, 0, -1, 'Z', 0x7F),
                        ItAt(2, 0, 0, 0, -1, 'Z', 0x8F), ItAt(3, 0, Note("D-4"), 1)}},
                      Runs({{1, 21}})}),
    TCaseName());

}  // namespace

namespace {

// The cells of SmallIt's pattern with the song's own macro table, and the
// filter settings of one channel after each tick: cutoff x 256 + resonance.
struct TItMacroCase : TNamedCase {
    std::vector<TItPlacedCell> Placed;
    std::vector<std::pair<int32_t, std::string>> Macros;
    std::vector<int32_t> Settings;
    int32_t Channel = 0;
    int32_t EditHistory = 0;
    std::vector<TItInstrument> Instruments = {};  // none: the song plays samples
};

// An instrument of SmallIt's square whose volume envelope falls from 64 to
// 16 over 12 ticks.
TItInstrument FallingVolume() {
    TItInstrument Instrument;
    Instrument.VolumeEnvelope.Enabled = true;
    Instrument.VolumeEnvelope.Points = {{0, 64}, {12, 16}};
    return Instrument;
}

// An instrument with a resonance of its own, no cutoff, and a flat filter
// envelope at its middle: the filter takes half the channel's cutoff.
TItInstrument HalvedCutoff() {
    TItInstrument Instrument;
    Instrument.FilterResonance = 10;
    Instrument.PitchEnvelope.Enabled = true;
    Instrument.PitchEnvelope.Filter = true;
    Instrument.PitchEnvelope.Points = {{0, 0}, {4, 0}};
    return Instrument;
}

class ImpulseTrackerMacro : public ::testing::TestWithParam<TItMacroCase> {
protected:
    void Check() {
        const TItMacroCase& T = GetParam();
        TItSong Song = SmallIt();
        Song.Patterns[0].Cells = T.Placed;
        Song.Macros = T.Macros;
        Song.EditHistory = T.EditHistory;
        Song.Instruments = T.Instruments;
        const int32_t Channel = T.Channel;
        const auto Settings = [Channel](const TQuavixModule& M) {
            const TQuavixChannel& C = *M.Channels[Channel];
            return C.FilterCutoff * 256 + C.FilterResonance;
        };
        EXPECT_EQ(PlayFile(WriteIt(Song), static_cast<int32_t>(T.Settings.size()), Settings), T.Settings);
    }
};

// The table Impulse Tracker starts from: Z00..Z7F set the cutoff, Z80..Z8F
// the resonance, and the song's own slots after it.
std::vector<std::pair<int32_t, std::string>> MacroTable(std::vector<std::pair<int32_t, std::string>> Own) {
    std::vector<std::pair<int32_t, std::string>> Table = {{TQuavixMacroSlot::FirstParameterised, "F0F000z"}};
    for (int32_t i = 0; i < 16; ++i) {
        static const char Hex[] = "0123456789ABCDEF";
        Table.push_back({TQuavixMacroSlot::FirstFixed + i, std::string("F0F001") + Hex[i / 2] + (i % 2 ? '8' : '0')});
    }
    Table.insert(Table.end(), Own.begin(), Own.end());
    return Table;
}

constexpr int32_t Z80 = TQuavixMacroSlot::FirstFixed;
constexpr int32_t Z00 = TQuavixMacroSlot::FirstParameterised;

// TQuavixBehaviour::MacroMessages: a macro is MIDI bytes, its letters the
// voice's values, sent on the row's first tick only; every filter message
// in it acts, and the realtime messages reset every channel's settings.
TEST_P(ImpulseTrackerMacro, SendsItsMessagesAsImpulseTrackerDoes) { Check(); }
INSTANTIATE_TEST_SUITE_P(
    ImpulseTracker, ImpulseTrackerMacro,
    ::testing::Values(
        TItMacroCase{{"the default table: Z40 the cutoff, Z84 the resonance"},
                     {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, 0, 0, -1, 'Z', 0x84)}},
                     {},
                     Runs({{64 * 256, 6}, {64 * 256 + 32, 3}})},
        TItMacroCase{{"two messages in one macro"},
                     {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x90)}},
                     MacroTable({{Z80 + 0x10, "F0F0007F F0F00108"}}),
                     Runs({{127 * 256 + 8, 3}})},
        TItMacroCase{{"the table after an edit history"},
                     {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x90)}},
                     MacroTable({{Z80 + 0x10, "F0F00030 F0F00140"}}),
                     Runs({{48 * 256 + 64, 3}}), 0, 3},
        TItMacroCase{{"a fixed macro's z is its parameter"},
                     {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0xF0)}},
                     MacroTable({{Z80 + 0x70, "zz0060 zz0160"}}),
                     Runs({{0x60 * 256 + 0x60, 3}})},
        TItMacroCase{{"a value of 80 or more starts a message over"},
                     {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x90)}},
                     MacroTable({{Z80 + 0x10, "F0F00090"}}),
                     Runs({{127 * 256, 3}})},
        TItMacroCase{{"v is the volume, sent on the first tick only"},
                     // Volume column 99: a slide down by 4 on the later ticks,
                     // to silence by the row's end; v follows on the next row.
                     {{ItAt(0, 0, Note("C-4"), 1, 16, 'Z', 0x00), ItAt(1, 0, 0, 0, 99, 'Z', 0x00),
                       ItAt(2, 0, 0, 0, -1, 'Z', 0x00)}},
                     {{Z00, "F0F000v"}},
                     Runs({{32 * 256, 12}, {256, 3}})},
        TItMacroCase{{"v of silence is 1"},
                     {{ItAt(0, 0, Note("C-4"), 1, 0, 'Z', 0x00)}},
                     {{Z00, "F0F000v"}},
                     Runs({{256, 3}})},
        TItMacroCase{{"u is the volume the voice plays at"},
                     // Mxx: channel volume 16, a quarter of 2 x volume 40.
                     {{ItAt(0, 0, Note("C-4"), 1, 40, 'M', 16), ItAt(1, 0, 0, 0, -1, 'Z', 0x00)}},
                     {{Z00, "F0F000u"}},
                     Runs({{127 * 256, 6}, {20 * 256, 3}})},
        TItMacroCase{{"u takes the global volume"},
                     // Vxx: global volume 64 of 128, half of 2 x volume 40.
                     {{ItAt(0, 0, Note("C-4"), 1, 40, 'V', 64), ItAt(1, 0, 0, 0, -1, 'Z', 0x00)}},
                     {{Z00, "F0F000u"}},
                     Runs({{127 * 256, 6}, {40 * 256, 3}})},
        TItMacroCase{{"u takes the volume envelope of the tick it is sent on"},
                     // Tick 6 of an envelope falling by 4 a tick: 40 of 64,
                     // 80 of 2 x volume 64.
                     {{ItAt(0, 0, Note("C-4"), 1, 64), ItAt(1, 0, 0, 0, -1, 'Z', 0x00)}},
                     {{Z00, "F0F000u"}},
                     Runs({{127 * 256, 6}, {80 * 256, 3}}), 0, 0, {FallingVolume()}},
        TItMacroCase{{"SFy picks the macro Z00..Z7F send"},
                     {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 0, 0, 0, -1, 'S', 0xF1),
                       ItAt(2, 0, 0, 0, -1, 'Z', 0x20)}},
                     {{Z00, "F0F000z"}, {Z00 + 1, "F0F001z"}},
                     Runs({{64 * 256, 12}, {64 * 256 + 0x20, 3}})},
        TItMacroCase{{"a note under a filter envelope starts from the channel's own cutoff"},
                     {{ItAt(0, 0, Note("C-4"), 1, -1, 'Z', 0x60), ItAt(1, 0, Note("D-4"), 1)}},
                     {{Z00, "F0F000z"}},
                     Runs({{48 * 256 + 10, 12}}), 0, 0, {HalvedCutoff()}},
        TItMacroCase{{"h is the channel"},
                     {{ItAt(0, 2, Note("C-4"), 1, -1, 'Z', 0x00)}},
                     {{Z00, "F0F000h"}},
                     Runs({{2 * 256, 3}}), 2},
        TItMacroCase{{"o is the last offset"},
                     {{ItAt(0, 0, Note("C-4"), 1, -1, 'O', 0x01), ItAt(1, 0, 0, 0, -1, 'Z', 0x00)}},
                     {{Z00, "F0F000o"}},
                     Runs({{127 * 256, 6}, {256, 3}})},
        TItMacroCase{{"FF resets every channel's cutoff and resonance"},
                     {{ItAt(0, 1, Note("C-4"), 1, -1, 'Z', 0x40), ItAt(1, 1, 0, 0, -1, 'Z', 0x88),
                       ItAt(2, 0, 0, 0, -1, 'Z', 0xFF)}},
                     MacroTable({{Z80 + 0x7F, "FF"}}),
                     Runs({{64 * 256, 6}, {64 * 256 + 64, 6}, {127 * 256, 3}}), 1}),
    TCaseName());

// The filter envelope of an instrument whose cutoff is 100, and the modifier
// it gives the cutoff's slope after each tick.
struct TItFilterEnvelopeCase : TNamedCase {
    std::vector<std::pair<int32_t, int32_t>> Points;
    std::vector<int32_t> Modifiers;
};

class ImpulseTrackerFilterEnvelope : public ::testing::TestWithParam<TItFilterEnvelopeCase> {
protected:
    void Check() {
        const TItFilterEnvelopeCase& T = GetParam();
        TItSong Song = SmallIt();
        TItInstrument Instrument;
        Instrument.FilterCutoff = 100;
        Instrument.PitchEnvelope.Enabled = true;
        Instrument.PitchEnvelope.Filter = true;
        Instrument.PitchEnvelope.Points = T.Points;
        Song.Instruments.push_back(Instrument);
        Song.Patterns[0].Cells = {ItAt(0, 0, Note("C-4"), 1)};
        const auto Modifier = [](const TQuavixModule& M) { return M.Channels[0]->FilterModifier; };
        EXPECT_EQ(PlayFile(WriteIt(Song), static_cast<int32_t>(T.Modifiers.size()), Modifier), T.Modifiers);
    }
};

// TQuavixBehaviour::FineFilterEnvelope: the envelope moves the slope in
// 256ths of its steps, -256 at its bottom, 256 at its top.
TEST_P(ImpulseTrackerFilterEnvelope, MovesTheSlopeInFineSteps) { Check(); }
INSTANTIATE_TEST_SUITE_P(
    ImpulseTracker, ImpulseTrackerFilterEnvelope,
    ::testing::Values(
        TItFilterEnvelopeCase{{"a step of 8 a tick"}, {{0, -32}, {8, 32}}, {-256, -192, -128, -64, 0, 64, 128, 192, 256}},
        TItFilterEnvelopeCase{{"an eighth of a step a tick"}, {{0, -32}, {64, -24}}, {-256, -255, -254, -253, -252, -251}},
        TItFilterEnvelopeCase{{"the top leaves the whole slope"}, {{0, 32}, {4, 32}}, {256, 256, 256}}),
    TCaseName());

}  // namespace
