// How a cell's note and instrument start, change or release a voice, and how
// a replaced voice is handed to the fade bank.
#include <climits>

#include "voice_fixture.h"
#include "support/case_names.h"

namespace {

using namespace quavix_voice_test;
using quavix_test::Note;

// A voice sounding for a while: C-4 of instrument 1, moved on by the mixer,
// with its volume and panning changed by effects and its envelope advanced.
class NoteTrigger : public VoiceTest {
protected:
    static constexpr int32_t SoundingPosition = 5000 << 12;
    static constexpr int32_t SoundingGain = 1000;

    void SetUp() override {
        VoiceTest::SetUp();
        AddInstrument(1, 48, 200);
        AddInstrument(2, 20, 60);
        SetEnvelope(*Module.Instruments[1]->VolumeEnvelope, {{0, 64}, {100, 0}});
    }

    TQuavixChannel& StartSoundingVoice() {
        TQuavixChannel& C = Channel(0);
        C.TriggerNote(MakeCell(Note("C-4"), 1));
        C.Position = SoundingPosition;
        C.VolumeLeft = C.VolumeRight = SoundingGain;
        C.RampLeft = C.RampRight = C.RampTargetLeft = C.RampTargetRight = SoundingGain << 12;
        C.LastLeft = 300;
        C.LastRight = -200;
        C.FinalVolume = 1500;
        C.Volume = 10;
        C.Panning = 30;
        C.FadeoutVolume = 1234;
        C.VolumeEnvelope->SetPosition(7);
        return C;
    }
};

struct TTriggerCase : quavix_test::TNamedCase {
    TQuavixPatternNote Cell;
    bool HandedOver;      // a copy of the old voice fades out in the fade bank
    bool Restarts;        // the sample starts again from silence
    int32_t Period;
    int32_t TargetPeriod;
    int32_t Volume;
    int32_t Panning;
    int32_t EnvelopePosition;
    int32_t FadeoutVolume;
    bool Released;        // key off: envelopes released
};

std::vector<TTriggerCase> CellsOnASoundingVoiceCases() {
    const int32_t C4 = 4608, D4 = 4480;  // linear periods of C-4 and D-4
    // Only a note beside a tone portamento gives it a target (0: none yet,
    // the sounding C-4 was a plain note).
    const int32_t None = 0;
    return {
        {"note and instrument", MakeCell(Note("D-4"), 1), true, true, D4, None, 48, 200, 0, 65536, false},
        {"other instrument", MakeCell(Note("D-4"), 2), true, true, D4, None, 20, 60, 0, 65536, false},
        // A note alone keeps the volume and goes on in its envelope.
        {"note alone keeps volume", MakeCell(Note("D-4")), true, true, D4, None, 10, 30, 7, 1234, false},
        {"tone portamento", MakeCell(Note("D-4"), 0, 0, TonePortamento, 4), false, false, C4, D4, 10, 30, 7, 1234, false},
        {"volume-column portamento", MakeCell(Note("D-4"), 0, 0xF4), false, false, C4, D4, 10, 30, 7, 1234, false},
        {"volume column 0xFF", MakeCell(Note("D-4"), 0, 0xFF), false, false, C4, D4, 10, 30, 7, 1234, false},
        {"portamento and volume slide", MakeCell(Note("D-4"), 0, 0, TonePortamentoVolumeSlide, 1), false, false, C4, D4,
         10, 30, 7, 1234, false},
        {"volume column 0xEF is no portamento", MakeCell(Note("D-4"), 0, 0xEF), true, true, D4, None, 10, 30, 7, 1234, false},
        // An instrument number restarts envelopes, fade-out, volume and
        // panning on the voice that sounds, with no copy fading beside it.
        {"instrument alone", MakeCell(0, 1), false, false, C4, None, 48, 200, 0, 65536, false},
        {"portamento with instrument", MakeCell(Note("D-4"), 1, 0, TonePortamento, 4), false, false, C4, D4, 48, 200, 0,
         65536, false},
        {"key off", MakeCell(quavix_test::KeyOff), false, false, C4, None, 10, 30, 7, 1234, true},
        {"key off with instrument", MakeCell(quavix_test::KeyOff, 1), false, false, C4, None, 48, 200, 0, 65536, true},
        {"note out of range", MakeCell(TQuavixNote::Unplayable), false, false, C4, None, 10, 30, 7, 1234, false},
        {"effect only", MakeCell(0, 0, 0, TonePortamento, 4), false, false, C4, None, 10, 30, 7, 1234, false},
    };
}

class NoteTriggerCellsOnASoundingVoice : public NoteTrigger, public ::testing::WithParamInterface<TTriggerCase> {};

TEST_P(NoteTriggerCellsOnASoundingVoice, CellsOnASoundingVoice) {
    const TTriggerCase& T = GetParam();
    Module.Clear();
    SetUp();
    TQuavixChannel& C = StartSoundingVoice();
    C.TriggerNote(T.Cell);

    EXPECT_TRUE(C.Active);
    EXPECT_EQ(C.Instrument, Module.Instruments[T.Cell.Instrument ? T.Cell.Instrument : 1].get());
    EXPECT_EQ(C.Period, T.Period);
    EXPECT_EQ(C.TargetPeriod, T.TargetPeriod);
    EXPECT_EQ(C.Volume, T.Volume);
    EXPECT_EQ(C.Panning, T.Panning);
    EXPECT_EQ(C.VolumeEnvelope->Position, T.EnvelopePosition);
    EXPECT_EQ(C.FadeoutVolume, T.FadeoutVolume);
    EXPECT_EQ(C.KeyOff, T.Released);
    EXPECT_EQ(C.VolumeEnvelope->KeyOn, !T.Released);
    EXPECT_EQ(C.PanningEnvelope->KeyOn, !T.Released);
    if (T.Restarts) {
        EXPECT_EQ(C.Position, 0);
        EXPECT_EQ(C.RampLeft, 0);
        EXPECT_EQ(C.VolumeLeft, 0);
        EXPECT_EQ(C.VolumeRight, 0);
    } else {
        EXPECT_EQ(C.Position, SoundingPosition);
        EXPECT_EQ(C.RampLeft, SoundingGain << 12);
        EXPECT_EQ(C.VolumeLeft, SoundingGain);
    }
    // The old voice goes on in the first fade channel, fading from its gains.
    EXPECT_EQ(ActiveFadeChannels(), T.HandedOver ? 1 : 0);
    if (T.HandedOver) {
        EXPECT_EQ(Fade(0).Position, SoundingPosition);
        EXPECT_EQ(Fade(0).RampLeft, SoundingGain << 12);
        EXPECT_EQ(Fade(0).FadeoutVolume, 0);
    }
    // Nothing stopped abruptly.
    EXPECT_EQ(Module.ClickLeft, 0);
    EXPECT_EQ(Module.ClickRight, 0);
}
INSTANTIATE_TEST_SUITE_P(NoteTrigger, NoteTriggerCellsOnASoundingVoice, ::testing::ValuesIn(CellsOnASoundingVoiceCases()),
                         quavix_test::TCaseName());

TEST_F(NoteTrigger, HandedOverVoiceKeepsEverythingButItsBank) {
    TQuavixChannel& C = StartSoundingVoice();
    C.Name = std::make_shared<const std::string>("lead");
    C.VolumeEnvelope->KeyOn = false;
    C.CurrentNote = MakeCell(Note("C-4"), 1, 0, 4, 0x37);
    C.FilterValid = true;
    C.FilterHistory = {1, 2, 3, 4};
    C.Backwards = true;
    const TQuavixSample* OldSample = C.Sample;

    C.TriggerNote(MakeCell(Note("E-4"), 2));

    TQuavixChannel& F = Fade(0);
    EXPECT_TRUE(F.Active);
    EXPECT_TRUE(F.Background);
    EXPECT_TRUE(F.FadeBank);
    EXPECT_EQ(F.Index, 0);
    EXPECT_EQ(F.Name, C.Name);  // the same shared text
    EXPECT_EQ(*F.Name, "lead");
    EXPECT_EQ(F.Sample, OldSample);
    EXPECT_EQ(F.Instrument, Module.Instruments[1].get());
    EXPECT_EQ(F.Period, 4608);
    EXPECT_EQ(F.Volume, 10);
    EXPECT_EQ(F.Panning, 30);
    EXPECT_TRUE(F.Backwards);
    EXPECT_EQ(F.CurrentNote, MakeCell(Note("C-4"), 1, 0, 4, 0x37));
    EXPECT_TRUE(F.FilterValid);
    EXPECT_EQ(F.FilterHistory[3], 4);
    EXPECT_EQ(F.LastLeft, 300);
    EXPECT_EQ(F.LastRight, -200);
    EXPECT_EQ(F.FadeoutVolume, 0);
    // Its envelopes go on from where they were, in handlers of its own.
    EXPECT_NE(F.VolumeEnvelope.get(), C.VolumeEnvelope.get());
    EXPECT_EQ(F.VolumeEnvelope->Envelope, Module.Instruments[1]->VolumeEnvelope.get());
    EXPECT_EQ(F.VolumeEnvelope->Position, 7);
    EXPECT_FALSE(F.VolumeEnvelope->KeyOn);

    // The pattern channel starts the new note from silence.
    EXPECT_FALSE(C.FadeBank);
    EXPECT_EQ(C.Sample, Module.Instruments[2]->Samples[0].get());
    EXPECT_EQ(C.Position, 0);
    EXPECT_EQ(C.VolumeEnvelope->Position, 0);
    EXPECT_TRUE(C.VolumeEnvelope->KeyOn);
    EXPECT_EQ(C.Volume, 20);
}

TEST_F(NoteTrigger, SuccessiveNotesTakeSuccessiveFadeChannels) {
    TQuavixChannel& C = StartSoundingVoice();
    Fade(0).Active = true;
    Fade(1).Active = true;
    C.TriggerNote(MakeCell(Note("D-4"), 1));
    EXPECT_EQ(Fade(2).Position, SoundingPosition);
    EXPECT_EQ(ActiveFadeChannels(), 3);
    C.Position = 77;
    C.TriggerNote(MakeCell(Note("E-4")));
    EXPECT_EQ(Fade(3).Position, 77);
}

TEST_F(NoteTrigger, FullFadeBankStealsTheQuietestVoice) {
    for (int32_t i = 0; i < TQuavixModule::MaxChannels; ++i) {
        Fade(i).Active = true;
        Fade(i).FinalVolume = 1000 + i;
        Fade(i).LastLeft = 5;
        Fade(i).LastRight = 5;
    }
    // Two equally quiet voices: the lower number is taken.
    Fade(200).FinalVolume = Fade(90).FinalVolume = 3;
    Fade(90).LastLeft = 123;
    Fade(90).LastRight = -45;
    Module.ClickLeft = 10;
    TQuavixChannel& C = StartSoundingVoice();

    C.TriggerNote(MakeCell(Note("D-4"), 1));

    EXPECT_EQ(Fade(90).Position, SoundingPosition);
    EXPECT_EQ(Fade(90).FadeoutVolume, 0);
    EXPECT_EQ(Fade(90).LastLeft, 300);  // the handed-over voice's own level
    EXPECT_EQ(Fade(200).FinalVolume, 3);
    // The stolen voice's last output goes to click removal.
    EXPECT_EQ(Module.ClickLeft, 10 + 123);
    EXPECT_EQ(Module.ClickRight, -45);
    EXPECT_EQ(C.Position, 0);
    EXPECT_TRUE(C.Active);
}

TEST_F(NoteTrigger, ClickRemovalHoldsAtTheEndsOfItsRange) {
    for (auto& F : Module.FadeChannels) F->Active = true;
    Fade(0).FinalVolume = -1;  // the one to steal
    Fade(0).LastLeft = INT32_MAX;
    Fade(0).LastRight = INT32_MIN;
    Module.ClickLeft = 1000;
    Module.ClickRight = -1000;
    StartSoundingVoice().TriggerNote(MakeCell(Note("D-4"), 1));
    EXPECT_EQ(Module.ClickLeft, INT32_MAX);
    EXPECT_EQ(Module.ClickRight, INT32_MIN);
}

TEST_F(NoteTrigger, RestartWithoutHandOverPassesTheLastLevelToClickRemoval) {
    // A voice that has ended but left a level behind: nothing sounds to hand
    // over, so its last level goes to click removal as the note starts.
    TQuavixChannel& C = StartSoundingVoice();
    C.Active = false;
    Module.ClickLeft = 0;
    C.LastLeft = 77;
    C.LastRight = -5;
    C.TriggerNote(MakeCell(Note("D-4")));
    EXPECT_TRUE(C.Active);
    EXPECT_EQ(C.Period, 4480);
    EXPECT_EQ(Module.ClickLeft, 77);
    EXPECT_EQ(Module.ClickRight, -5);
    EXPECT_EQ(C.LastLeft, 0);
    EXPECT_EQ(C.LastRight, 0);
    EXPECT_EQ(ActiveFadeChannels(), 0);
}

TEST_F(NoteTrigger, NoteWithoutInstrumentOnAFreshChannelDoesNothing) {
    TQuavixChannel& C = Channel(0);
    C.TriggerNote(MakeCell(Note("C-4")));
    EXPECT_FALSE(C.Active);
    EXPECT_EQ(C.Period, 0);
    EXPECT_EQ(C.Sample, nullptr);
}

TEST_F(NoteTrigger, ReserveChannelsTriggerNothing) {
    TQuavixChannel& C = *Module.BackgroundChannels[3];
    C.TriggerNote(MakeCell(Note("C-4"), 1));
    EXPECT_FALSE(C.Active);
    EXPECT_EQ(C.Instrument, nullptr);
}

TEST_F(NoteTrigger, FadeChannelsTriggerNothing) {
    TQuavixChannel& C = Fade(3);
    C.TriggerNote(MakeCell(Note("C-4"), 1));
    EXPECT_FALSE(C.Active);
    EXPECT_EQ(C.Instrument, nullptr);
}

TEST_F(NoteTrigger, AHandedOverVoiceTakesItsLastLevelAlong) {
    // The fade voice carries the level to click removal when it ends; a note
    // started later on the channel has none left to add a second time.
    TQuavixChannel& C = StartSoundingVoice();
    C.LastLeft = 77;
    C.LastRight = -5;
    ASSERT_TRUE(C.MoveToFadeBank());
    EXPECT_EQ(Fade(0).LastLeft, 77);
    EXPECT_EQ(C.LastLeft, 0);
    EXPECT_EQ(C.LastRight, 0);
    Module.ClickLeft = 0;
    C.TriggerNote(MakeCell(Note("D-4")));
    EXPECT_EQ(Module.ClickLeft, 0);
}

TEST_F(NoteTrigger, SilentChannelHasNothingToHandOver) {
    EXPECT_FALSE(Channel(0).MoveToFadeBank());
    EXPECT_EQ(ActiveFadeChannels(), 0);
}

TEST_F(NoteTrigger, LocalFiltersTurnTheFilterOffAtANewNoteOnly) {
    TQuavixChannel& C = StartSoundingVoice();
    C.LocalFilters = true;
    C.FilterValid = true;
    C.TriggerNote(MakeCell(Note("D-4"), 0, 0, TonePortamento, 4));
    EXPECT_TRUE(C.FilterValid);
    C.TriggerNote(MakeCell(Note("D-4")));
    EXPECT_FALSE(C.FilterValid);
    EXPECT_TRUE(Fade(0).FilterValid);  // the fading copy keeps its filter
}

TEST_F(NoteTrigger, SampleTransposeAndFinetuneSetTheNote) {
    Module.LinearSlides = false;
    AddInstrument(3, 64, 128, 12, -8);
    TQuavixChannel& C = Channel(0);
    C.TriggerNote(MakeCell(Note("C-4"), 3));
    EXPECT_EQ(C.RealNote, 60);
    EXPECT_EQ(C.FineTune, -8);
    EXPECT_EQ(C.Period, 859);  // halfway between C-5 at finetune 0 (856) and -16 (862)

    // A slide keeps the sounding sample, even where the instrument maps the
    // note slid to elsewhere, and takes the semitone of that note transposed
    // by the sounding sample.
    auto* Low = new TQuavixSample();
    Low->RelativeNote = -24;
    Module.Instruments[3]->Samples[1].reset(Low);
    Module.Instruments[3]->NoteSamples[Note("E-4") - 1] = 1;
    C.TriggerNote(MakeCell(Note("E-4"), 0, 0, TonePortamento, 8));
    EXPECT_EQ(C.Sample, Module.Instruments[3]->Samples[0].get());
    EXPECT_EQ(C.RealNote, 64);
    EXPECT_EQ(C.Period, 859);
    EXPECT_EQ(C.TargetPeriod, Module.GetNotePeriod(64, -8));
}

// Instrument 2's sample (panning 60, volume 20) triggered on a sounding voice
// panned to 30, by a note with the instrument and by the instrument alone:
// the panning each leaves.
class NoteTriggerSamplePanning : public NoteTrigger {
protected:
    void ExpectPanningAfterEitherCell(bool HasPanning, int32_t Panning) {
        Module.Instruments[2]->Samples[0]->HasPanning = HasPanning;
        TQuavixChannel& C = StartSoundingVoice();
        for (const TQuavixPatternNote& Cell : {MakeCell(Note("D-4"), 2), MakeCell(0, 2)}) {
            C.Panning = 30;
            C.TriggerNote(Cell);
            EXPECT_EQ(C.Panning, Panning);
            EXPECT_EQ(C.Volume, 20);
        }
    }
};

TEST_F(NoteTriggerSamplePanning, ASampleWithPanningSetsIt) { ExpectPanningAfterEitherCell(true, 60); }

TEST_F(NoteTriggerSamplePanning, ASampleWithoutPanningKeepsTheChannels) {
    // Pattern-format samples have no panning: the channel keeps its own.
    ExpectPanningAfterEitherCell(false, 30);
}

TEST_F(NoteTrigger, WaveformsFourToSevenKeepTheirPhase) {
    for (int32_t Waveform = 0; Waveform < 8; ++Waveform) {
        SCOPED_TRACE(Waveform);
        TQuavixChannel& C = Channel(0);
        C.VibratoWaveform = Waveform;
        C.TremoloWaveform = 7 - Waveform;
        C.VibratoPosition = 17;
        C.TremoloPosition = 23;
        C.TriggerNote(MakeCell(Note("C-4"), 1));
        EXPECT_EQ(C.VibratoPosition, Waveform < 4 ? 0 : 17);
        EXPECT_EQ(C.TremoloPosition, 7 - Waveform < 4 ? 0 : 23);
    }
}

TEST_F(NoteTrigger, NotesPlayTheSampleTheInstrumentMapsThemTo) {
    TQuavixInstrument& I = AddInstrument(5);
    auto* High = new TQuavixSample();
    High->Volume = 33;
    I.Samples[7].reset(High);
    for (int32_t N = Note("C-5"); N <= 96; ++N) I.NoteSamples[N - 1] = 7;
    I.NoteSamples[Note("C-1") - 1] = 200;  // an empty sample slot

    TQuavixChannel& C = Channel(0);
    C.TriggerNote(MakeCell(Note("B-4"), 5));
    EXPECT_EQ(C.Sample, I.Samples[0].get());
    C.TriggerNote(MakeCell(Note("C-5"), 5));
    EXPECT_EQ(C.Sample, High);
    EXPECT_EQ(C.Volume, 33);
    C.TriggerNote(MakeCell(Note("C-1"), 5));
    EXPECT_EQ(C.Sample, nullptr);
}

}  // namespace
