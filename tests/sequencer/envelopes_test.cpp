// Volume and panning envelopes, the fade-out after key off, and the
// instrument's automatic vibrato.
#include <vector>

#include "sequencer/envelope_handler.h"
#include "sequencer/tables.h"
#include "voice_fixture.h"
#include "support/case_names.h"

namespace {

using namespace quavix_voice_test;
using quavix_test::Note;

using TPoints = std::vector<std::pair<int32_t, int32_t>>;

TQuavixEnvelope MakeEnvelope(const TPoints& Points, int32_t Sustain = -1, int32_t LoopStart = -1,
                             int32_t LoopEnd = -1) {
    TQuavixEnvelope E;
    E.Enabled = true;
    for (const auto& P : Points) E.Points[E.NumPoints++] = {P.first, P.second};
    if (Sustain >= 0) {
        E.SustainEnabled = true;
        E.SustainPoint = Sustain;
    }
    if (LoopStart >= 0) {
        E.LoopEnabled = true;
        E.LoopStart = LoopStart;
        E.LoopEnd = LoopEnd;
    }
    return E;
}

struct TEnvelopeRun : quavix_test::TNamedCase {
    TQuavixEnvelope Envelope;
    int32_t ReleaseAt;  // the key is let go before this tick; -1 never
    std::vector<int32_t> Values;
};

std::vector<TEnvelopeRun> ValuesTickByTickCases() {
    return {
        // 6.4 per tick in 16.16 steps, truncated, reaching 0 on the point.
        {"falling line", MakeEnvelope({{0, 64}, {10, 0}}), -1, {64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0, 0}},
        {"sustain holds while the key is held", MakeEnvelope({{0, 0}, {4, 64}, {8, 0}}, 1), -1,
         {0, 16, 32, 48, 64, 64, 64, 64, 64}},
        {"release leaves the sustain point", MakeEnvelope({{0, 0}, {4, 64}, {8, 0}}, 1), 7,
         {0, 16, 32, 48, 64, 64, 64, 64, 48, 32, 16, 0, 0}},
        {"release before the sustain point", MakeEnvelope({{0, 0}, {4, 64}, {8, 0}}, 1), 2,
         {0, 16, 32, 48, 64, 48, 32, 16, 0}},
        {"loop returns to the loop start's position and value",
         MakeEnvelope({{0, 0}, {2, 32}, {4, 64}, {6, 0}}, -1, 1, 2), -1, {0, 16, 32, 48, 32, 48, 32, 48}},
        {"loop ending on the sustain point holds there",
         MakeEnvelope({{0, 0}, {2, 32}, {4, 64}, {6, 0}}, 1, 1, 2), -1, {0, 16, 32, 32, 32}},
        {"one point", MakeEnvelope({{5, 40}}), -1, {40, 40, 40}},
        {"points beyond 64 read as 64", MakeEnvelope({{0, 200}, {2, 0}}), -1, {64, 64, 0}},
    };
}

class EnvelopeHandlerValuesTickByTick : public ::testing::TestWithParam<TEnvelopeRun> {};

TEST_P(EnvelopeHandlerValuesTickByTick, ValuesTickByTick) {
    const TEnvelopeRun& R = GetParam();
    TQuavixEnvelopeHandler H;
    H.Envelope = &R.Envelope;
    H.KeyOn = true;
    H.SetPosition(0);
    std::vector<int32_t> Got;
    for (size_t Tick = 0; Tick < R.Values.size(); ++Tick) {
        if (static_cast<int32_t>(Tick) == R.ReleaseAt) H.KeyOn = false;
        Got.push_back(H.Advance());
    }
    EXPECT_EQ(Got, R.Values);
}
INSTANTIATE_TEST_SUITE_P(EnvelopeHandler, EnvelopeHandlerValuesTickByTick, ::testing::ValuesIn(ValuesTickByTickCases()),
                         quavix_test::TCaseName());

struct TPositionCase : quavix_test::TNamedCase {
    TQuavixEnvelope Envelope;
    int32_t Position;
    int32_t Value;          // Advance right after the jump
    int32_t NewPosition;    // where the handler stands before that
    int32_t Next;           // the value one tick later
};

std::vector<TPositionCase> SetPositionCases() {
    const TQuavixEnvelope Rise = MakeEnvelope({{0, 0}, {8, 64}, {20, 40}});
    return {
        {"on a point", Rise, 8, 64, 8, 62},
        {"between points", Rise, 5, 40, 5, 48},
        {"between points, falling", Rise, 14, 52, 14, 50},
        {"past the last point", Rise, 300, 40, 300, 40},
        {"on the loop end", MakeEnvelope({{0, 0}, {10, 64}, {20, 0}}, -1, 0, 1), 12, 0, 0, 6},
        {"before the first point the slope goes on", MakeEnvelope({{10, 32}, {20, 0}}), 0, 63, 0, 60},
    };
}

class EnvelopeHandlerSetPosition : public ::testing::TestWithParam<TPositionCase> {};

TEST_P(EnvelopeHandlerSetPosition, SetPosition) {
    const TPositionCase& C = GetParam();
    TQuavixEnvelopeHandler H;
    H.Envelope = &C.Envelope;
    H.KeyOn = true;
    H.SetPosition(C.Position);
    EXPECT_EQ(H.Position, C.NewPosition);
    EXPECT_EQ(H.Advance(), C.Value);
    EXPECT_EQ(H.Advance(), C.Next);
}
INSTANTIATE_TEST_SUITE_P(EnvelopeHandler, EnvelopeHandlerSetPosition, ::testing::ValuesIn(SetPositionCases()),
                         quavix_test::TCaseName());

// The value an envelope gives right after a jump into it.
int32_t ValueAfterJump(const TQuavixEnvelope* E) {
    TQuavixEnvelopeHandler H;
    H.Envelope = E;
    H.SetPosition(3);
    return H.Advance();
}

TEST(EnvelopeHandler, ADisabledEnvelopeReadsZero) {
    TQuavixEnvelope Disabled = MakeEnvelope({{0, 64}, {10, 64}});
    Disabled.Enabled = false;
    EXPECT_EQ(ValueAfterJump(&Disabled), 0);
}

TEST(EnvelopeHandler, AnEnvelopeWithoutPointsReadsZero) {
    const TQuavixEnvelope Empty = MakeEnvelope({});
    EXPECT_EQ(ValueAfterJump(&Empty), 0);
}

TEST(EnvelopeHandler, NoEnvelopeReadsZero) { EXPECT_EQ(ValueAfterJump(nullptr), 0); }

TEST(EnvelopeHandler, DamagedEnvelopesStayWithinTheirPoints) {
    // More points claimed than there are slots: the last slot is the last point.
    TQuavixEnvelope Long = MakeEnvelope({});
    for (int32_t i = 0; i < TQuavixEnvelope::MaxPoints; ++i) Long.Points[i] = {i * 10, i == TQuavixEnvelope::MaxPoints - 1 ? 24 : 64};
    Long.NumPoints = 200;
    Long.SustainPoint = 100;
    Long.SustainEnabled = true;
    TQuavixEnvelopeHandler H;
    H.Envelope = &Long;
    H.KeyOn = true;
    H.SetPosition(1000);
    EXPECT_EQ(H.Advance(), 24);
    EXPECT_EQ(H.Advance(), 24);

    // A steep slope far before its first point and points out of order: the
    // values stay in range however long the envelope runs.
    TQuavixEnvelope Steep = MakeEnvelope({{30000, 255}, {30001, 0}});
    H.Envelope = &Steep;
    H.SetPosition(0);
    EXPECT_EQ(H.Advance(), 64);
    TQuavixEnvelope Backwards = MakeEnvelope({{0, 0}, {100, 255}, {1, 0}});
    H.Envelope = &Backwards;
    H.SetPosition(50);
    for (int32_t Tick = 0; Tick < 100000; ++Tick) {
        int32_t V = H.Advance();
        ASSERT_GE(V, 0);
        ASSERT_LE(V, 64);
    }
}

// ---------------------------------------------------------------------------
// Per-tick envelope update of a voice.

class VoiceEnvelopes : public VoiceTest {
protected:
    TQuavixInstrument* Lead = nullptr;
    void SetUp() override {
        VoiceTest::SetUp();
        Lead = &AddInstrument(1);
    }
    std::vector<int32_t> Ticks(int32_t Count, int32_t TQuavixChannel::*Field) {
        std::vector<int32_t> Values;
        for (int32_t i = 0; i < Count; ++i) {
            Channel().UpdateEnvelopes();
            Values.push_back(Channel().*Field);
        }
        return Values;
    }
};

TEST_F(VoiceEnvelopes, KeyOffWithoutVolumeEnvelopeSilencesAtOnce) {
    Lead->FadeOut = 0;
    Channel().TriggerNote(MakeCell(Note("C-4"), 1));
    EXPECT_EQ(Ticks(2, &TQuavixChannel::EnvelopeVolume), (std::vector<int32_t>{64, 64}));
    Channel().TriggerNote(MakeCell(quavix_test::KeyOff));
    EXPECT_EQ(Ticks(2, &TQuavixChannel::EnvelopeVolume), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(Channel().FadeoutVolume, 65536);
}

struct TFadeOutCase : quavix_test::TNamedCase {
    int32_t FadeOut;
    std::vector<int32_t> Levels;  // the fade-out volume on the three ticks after key off
};

std::vector<TFadeOutCase> FadeOutCases() {
    return {
        {"1000 takes twice its value a tick", 1000, {63536, 61536, 59536}},
        {"20000 ends on the second tick", 20000, {25536, 0, 0}},
        {"32768 ends in one tick", 32768, {0, 0, 0}},
        {"0 never fades", 0, {65536, 65536, 65536}},
    };
}

class VoiceEnvelopesFadeOutRunsOnlyAfterKeyOff : public VoiceEnvelopes,
                                                 public ::testing::WithParamInterface<TFadeOutCase> {};

TEST_P(VoiceEnvelopesFadeOutRunsOnlyAfterKeyOff, FadeOutRunsOnlyAfterKeyOff) {
    const TFadeOutCase& C = GetParam();
    Lead->FadeOut = C.FadeOut;
    SetEnvelope(*Lead->VolumeEnvelope, {{0, 64}, {10, 64}});
    Channel().TriggerNote(MakeCell(Note("C-4"), 1));
    EXPECT_EQ(Ticks(3, &TQuavixChannel::FadeoutVolume), (std::vector<int32_t>{65536, 65536, 65536}));
    Channel().TriggerNote(MakeCell(quavix_test::KeyOff));
    EXPECT_EQ(Ticks(3, &TQuavixChannel::FadeoutVolume), C.Levels);
    EXPECT_EQ(Channel().EnvelopeVolume, 64);  // the envelope itself goes on
}
INSTANTIATE_TEST_SUITE_P(VoiceEnvelopes, VoiceEnvelopesFadeOutRunsOnlyAfterKeyOff, ::testing::ValuesIn(FadeOutCases()),
                         quavix_test::TCaseName());

TEST_F(VoiceEnvelopes, DisabledVolumeEnvelopeSilencesAtKeyOffAndFades) {
    Lead->FadeOut = 1000;
    SetEnvelope(*Lead->VolumeEnvelope, {{0, 32}, {10, 32}});
    Lead->VolumeEnvelope->Enabled = false;
    Channel().TriggerNote(MakeCell(Note("C-4"), 1));
    EXPECT_EQ(Ticks(2, &TQuavixChannel::EnvelopeVolume), (std::vector<int32_t>{64, 64}));
    Channel().TriggerNote(MakeCell(quavix_test::KeyOff));
    EXPECT_EQ(Ticks(2, &TQuavixChannel::EnvelopeVolume), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(Ticks(2, &TQuavixChannel::FadeoutVolume), (std::vector<int32_t>{59536, 57536}));
}

TEST_F(VoiceEnvelopes, BothEnvelopesFollowTheInstrument) {
    SetEnvelope(*Lead->VolumeEnvelope, {{0, 64}, {2, 32}});
    SetEnvelope(*Lead->PanningEnvelope, {{0, 0}, {4, 64}});
    Channel().TriggerNote(MakeCell(Note("C-4"), 1));
    std::vector<int32_t> Volume, Panning;
    for (int32_t i = 0; i < 5; ++i) {
        Channel().UpdateEnvelopes();
        Volume.push_back(Channel().EnvelopeVolume);
        Panning.push_back(Channel().EnvelopePanning);
    }
    EXPECT_EQ(Volume, (std::vector<int32_t>{64, 48, 32, 32, 32}));
    EXPECT_EQ(Panning, (std::vector<int32_t>{0, 16, 32, 48, 64}));

    // Switched off, they leave full volume and the centre.
    Lead->VolumeEnvelope->Enabled = false;
    Lead->PanningEnvelope->Enabled = false;
    Channel().UpdateEnvelopes();
    EXPECT_EQ(Channel().EnvelopeVolume, 64);
    EXPECT_EQ(Channel().EnvelopePanning, 32);
}

TEST_F(VoiceEnvelopes, InstrumentWithoutNoteRestartsTheEnvelopes) {
    SetEnvelope(*Lead->VolumeEnvelope, {{0, 64}, {4, 0}});
    Channel().TriggerNote(MakeCell(Note("C-4"), 1));
    EXPECT_EQ(Ticks(3, &TQuavixChannel::EnvelopeVolume), (std::vector<int32_t>{64, 48, 32}));
    Channel().TriggerNote(MakeCell(0, 1));
    EXPECT_EQ(Ticks(2, &TQuavixChannel::EnvelopeVolume), (std::vector<int32_t>{64, 48}));
}

// ---------------------------------------------------------------------------
// Automatic vibrato.

TEST(AutoVibratoTableTest, IsANegatedRoundedSine) {
    const int8_t Start[] = {0, -2, -3, -5, -6, -8};
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(AutoVibratoTable[i], Start[i]) << i;
    EXPECT_EQ(AutoVibratoTable[32], -45);
    EXPECT_EQ(AutoVibratoTable[64], -64);
    EXPECT_EQ(AutoVibratoTable[128], 0);
    EXPECT_EQ(AutoVibratoTable[192], 64);
    for (int32_t i = 1; i < 128; ++i) {
        EXPECT_EQ(AutoVibratoTable[256 - i], -AutoVibratoTable[i]) << i;
        EXPECT_EQ(AutoVibratoTable[128 - i], AutoVibratoTable[i]) << i;
    }
}

class AutoVibrato : public VoiceTest {
protected:
    TQuavixInstrument* Lead = nullptr;
    void SetUp() override {
        VoiceTest::SetUp();
        Lead = &AddInstrument(1);
        Channel().TriggerNote(MakeCell(Note("C-4"), 1));
    }
    // The offset one update adds at the given phase.
    int32_t OffsetAt(int32_t Type, int32_t Depth, int32_t Position) {
        Lead->VibratoType = Type;
        Lead->VibratoDepth = Depth;
        Lead->VibratoRate = 0;  // the phase stays where it is put
        Channel().AutoVibratoPosition = Position;
        Channel().PeriodOffset = 0;
        Channel().UpdateAutoVibrato();
        return Channel().PeriodOffset;
    }
};

struct TWaveformCase : quavix_test::TNamedCase {
    int32_t Type, Depth, Position, Offset;
};

std::vector<TWaveformCase> WaveformCases() {
    return {
        {"sine at the start", 0, 64, 0, 0},
        {"sine at a quarter", 0, 64, 64, -64},
        {"sine at three quarters", 0, 64, 192, 64},
        {"sine at an eighth", 0, 64, 32, -45},
        {"sine of depth 1 at a quarter", 0, 1, 64, -1},
        {"sine of depth 1 at three quarters", 0, 1, 192, 1},
        // Square.
        {"square at the start", 1, 64, 0, 64},
        {"square at the end of its first half", 1, 64, 127, 64},
        {"square at its second half", 1, 64, 128, -64},
        {"square at the end", 1, 64, 255, -64},
        // Falls from 0 to -64, jumps to 64 and falls back to 0.
        {"falling ramp at the start", 2, 64, 0, 0},
        {"falling ramp one step on", 2, 64, 1, -1},
        {"falling ramp at the end of its first half", 2, 64, 127, -64},
        {"falling ramp jumps to 64", 2, 64, 128, 64},
        {"falling ramp at the end", 2, 64, 255, 0},
        // Rises from 0 to 64, jumps to -64 and rises back to 0.
        {"rising ramp at the start", 3, 64, 0, 0},
        {"rising ramp two steps on", 3, 64, 2, 1},
        {"rising ramp at the end of its first half", 3, 64, 128, 64},
        {"rising ramp jumps to -64", 3, 64, 129, -64},
        {"rising ramp at the end", 3, 64, 255, -1},
        // The depth scales, then the offset is shifted down arithmetically.
        {"square of depth 8", 1, 8, 0, 8},
        {"square of depth 8 in its second half", 1, 8, 200, -8},
        // (wave x depth) / 64 goes toward 0, as Fasttracker 2 has it: a shift
        // would lower every negative offset by one, and the pitch with it.
        {"falling ramp of depth 1 goes toward 0", 2, 1, 3, 0},
        {"rising ramp of depth 1 goes toward 0", 3, 1, 2, 0},
        {"falling ramp of depth 33 goes toward 0", 2, 33, 3, -1},
        // Unknown waveforms do nothing.
        {"waveform 4 does nothing", 4, 64, 64, 0},
        {"waveform -1 does nothing", -1, 64, 64, 0},
    };
}

class AutoVibratoWaveforms : public AutoVibrato, public ::testing::WithParamInterface<TWaveformCase> {};

TEST_P(AutoVibratoWaveforms, Waveforms) {
    const TWaveformCase& C = GetParam();
    EXPECT_EQ(OffsetAt(C.Type, C.Depth, C.Position), C.Offset);
}
INSTANTIATE_TEST_SUITE_P(AutoVibrato, AutoVibratoWaveforms, ::testing::ValuesIn(WaveformCases()),
                         quavix_test::TCaseName());

// The phase moves on by the rate before the tick reads the wave: from 100
// by 100 the square is read at 200, in its second half.
TEST_F(AutoVibrato, AdvancesItsPhaseThenAddsToTheTickOffset) {
    Lead->VibratoType = 1;
    Lead->VibratoDepth = 16;
    Lead->VibratoRate = 100;
    Channel().PeriodOffset = 100;  // an effect's vibrato of this tick
    Channel().AutoVibratoPosition = 100;
    Channel().UpdateAutoVibrato();
    EXPECT_EQ(Channel().PeriodOffset, 84);
    EXPECT_EQ(Channel().AutoVibratoPosition, 200);
    Channel().UpdateAutoVibrato();
    EXPECT_EQ(Channel().PeriodOffset, 84 + 16) << "300 wraps to 44, in the first half";
    EXPECT_EQ(Channel().AutoVibratoPosition, 44);
}

TEST_F(AutoVibrato, SweepFadesInAndFreezesAtKeyOff) {
    Lead->VibratoType = 1;  // 64 for the first half of the phase
    Lead->VibratoDepth = 64;
    Lead->VibratoRate = 0;
    Lead->VibratoSweep = 10;
    std::vector<int32_t> Offsets;
    for (int32_t Tick = 0; Tick < 13; ++Tick) {
        Channel().PeriodOffset = 0;
        Channel().UpdateAutoVibrato();
        Offsets.push_back(Channel().PeriodOffset);
    }
    // 4096 * ticks / 10, shifted down by 6.
    EXPECT_EQ(Offsets, (std::vector<int32_t>{0, 6, 12, 19, 25, 32, 38, 44, 51, 57, 64, 64, 64}));

    // Released at a third of the sweep, the depth stays there.
    Channel().TriggerNote(MakeCell(Note("C-4"), 1));
    for (int32_t Tick = 0; Tick < 3; ++Tick) Channel().UpdateAutoVibrato();
    Channel().TriggerNote(MakeCell(quavix_test::KeyOff));
    for (int32_t Tick = 0; Tick < 5; ++Tick) {
        Channel().PeriodOffset = 0;
        Channel().UpdateAutoVibrato();
        EXPECT_EQ(Channel().PeriodOffset, 19) << Tick;
    }
}

TEST_F(AutoVibrato, NothingWithoutInstrument) {
    Lead->VibratoType = 1;
    Lead->VibratoDepth = 64;
    Channel().Instrument = nullptr;
    Channel().PeriodOffset = 5;
    Channel().UpdateAutoVibrato();
    EXPECT_EQ(Channel().PeriodOffset, 5);
    EXPECT_EQ(Channel().AutoVibratoPosition, 0);
}

}  // namespace
