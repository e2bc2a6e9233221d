#include "sequencer/channel.h"

#include "song/instrument.h"
#include "song/module.h"

TQuavixChannel::TQuavixChannel(TQuavixModule* AModule, int32_t AIndex, bool ABackground, bool AFadeBank)
    : Background(ABackground),
      FadeBank(AFadeBank),
      Name(std::make_shared<const std::string>()),
      Module(AModule),
      Index(AIndex),
      VolumeEnvelope(new TQuavixEnvelopeHandler()),
      PanningEnvelope(new TQuavixEnvelopeHandler()) {
    PluginIndex = 0;
    DefaultPanning = 128;
    Reset();
}

TQuavixChannel::~TQuavixChannel() = default;

void TQuavixChannel::ResetVoice() {
    Active = false;
    for (TQuavixEnvelopeHandler* Handler : {VolumeEnvelope.get(), PanningEnvelope.get()}) {
        Handler->Envelope = nullptr;
        Handler->SetPosition(0);
        Handler->KeyOn = true;
    }
    KeyOff = false;
    AutoVibratoSweep = 0;
    AutoVibratoPosition = 0;
    // Waveforms 4..7 keep their phase across notes.
    if (VibratoWaveform < 4) VibratoPosition = 0;
    if (TremoloWaveform < 4) TremoloPosition = 0;
    TremorCounter = 0;
    FadeoutVolume = 65536;
}

void TQuavixChannel::Reset() {
    ResetVoice();
    Instrument = nullptr;
    Sample = nullptr;
    Panning = DefaultPanning;
    LastLeft = 0;
    LastRight = 0;
    VolumeLeft = 0;
    VolumeRight = 0;
    RampLeft = 0;
    RampRight = 0;
    RampTargetLeft = 0;
    RampTargetRight = 0;
    RampStepLeft = 0;
    RampStepRight = 0;
    RealNote = 0;
    CurrentNote = TQuavixPatternNote();
    FilterCutoff = 127;
    FilterResonance = 0;
    ActiveMacro = 0;
    FilterValid = false;
    FilterMode = 0;
    Surround = false;
    LocalFilters = false;
}

namespace {

// Adds a voice's last output level to a click-removal offset. Many voices
// stolen in the same tick could carry the offset past the 32-bit range, so
// the sum is formed in 64 bits and held at the range's ends.
void AddClick(int32_t& Click, int32_t Level) {
    int64_t Sum = static_cast<int64_t>(Click) + Level;
    if (Sum > INT32_MAX) Sum = INT32_MAX;
    if (Sum < INT32_MIN) Sum = INT32_MIN;
    Click = static_cast<int32_t>(Sum);
}

// Moves a voice's last output level into the module's click removal, where
// it decays instead of dropping to 0 at once.
void HandClickToModule(TQuavixChannel& Channel) {
    if (Channel.Module) {
        AddClick(Channel.Module->ClickLeft, Channel.LastLeft);
        AddClick(Channel.Module->ClickRight, Channel.LastRight);
    }
    Channel.LastLeft = 0;
    Channel.LastRight = 0;
}

}  // namespace

void TQuavixChannel::Assign(const TQuavixChannel& Source) {
    if (&Source == this) return;
    // Everything but the bank flags; keep this list complete when fields are added.
    Name = Source.Name;
    Active = Source.Active;
    Module = Source.Module;
    Index = Source.Index;
    PluginIndex = Source.PluginIndex;
    Sample = Source.Sample;
    Instrument = Source.Instrument;
    Increment = Source.Increment;
    Step = Source.Step;
    Position = Source.Position;
    Backwards = Source.Backwards;
    FinalVolume = Source.FinalVolume;
    FinalPanning = Source.FinalPanning;
    Frequency = Source.Frequency;
    EnvelopeVolume = Source.EnvelopeVolume;
    EnvelopePanning = Source.EnvelopePanning;
    VolumeEnvelope->Assign(*Source.VolumeEnvelope);
    PanningEnvelope->Assign(*Source.PanningEnvelope);
    CurrentNote = Source.CurrentNote;
    CurrentTick = Source.CurrentTick;
    VibratoWaveform = Source.VibratoWaveform;
    VibratoSpeed = Source.VibratoSpeed;
    VibratoDepth = Source.VibratoDepth;
    VibratoPosition = Source.VibratoPosition;
    TremoloSpeed = Source.TremoloSpeed;
    TremoloDepth = Source.TremoloDepth;
    TremoloPosition = Source.TremoloPosition;
    TremorCounter = Source.TremorCounter;
    TremorOnTime = Source.TremorOnTime;
    TremorOffTime = Source.TremorOffTime;
    AutoVibratoSweep = Source.AutoVibratoSweep;
    AutoVibratoPosition = Source.AutoVibratoPosition;
    RetrigVolumeChange = Source.RetrigVolumeChange;
    RetrigInterval = Source.RetrigInterval;
    Period = Source.Period;
    ArpeggioOffsets = Source.ArpeggioOffsets;
    PeriodOffset = Source.PeriodOffset;
    TargetPeriod = Source.TargetPeriod;
    Volume = Source.Volume;
    DefaultPanning = Source.DefaultPanning;
    Panning = Source.Panning;
    FadeoutVolume = Source.FadeoutVolume;
    VolumeSlide = Source.VolumeSlide;
    GlobalVolumeSlide = Source.GlobalVolumeSlide;
    PortamentoSpeed = Source.PortamentoSpeed;
    PortamentoUp = Source.PortamentoUp;
    PortamentoDown = Source.PortamentoDown;
    FinePortamentoUp = Source.FinePortamentoUp;
    FinePortamentoDown = Source.FinePortamentoDown;
    ExtraFinePortamentoUp = Source.ExtraFinePortamentoUp;
    ExtraFinePortamentoDown = Source.ExtraFinePortamentoDown;
    FineVolumeSlideUp = Source.FineVolumeSlideUp;
    FineVolumeSlideDown = Source.FineVolumeSlideDown;
    PanningSlide = Source.PanningSlide;
    VolumeOffset = Source.VolumeOffset;
    Glissando = Source.Glissando;
    TremoloWaveform = Source.TremoloWaveform;
    FineTune = Source.FineTune;
    KeyOff = Source.KeyOff;
    PatternLoopRow = Source.PatternLoopRow;
    PatternLoopCount = Source.PatternLoopCount;
    PatternLoopActive = Source.PatternLoopActive;
    LastLeft = Source.LastLeft;
    LastRight = Source.LastRight;
    VolumeLeft = Source.VolumeLeft;
    VolumeRight = Source.VolumeRight;
    RampLeft = Source.RampLeft;
    RampRight = Source.RampRight;
    RampTargetLeft = Source.RampTargetLeft;
    RampTargetRight = Source.RampTargetRight;
    RampStepLeft = Source.RampStepLeft;
    RampStepRight = Source.RampStepRight;
    RampLength = Source.RampLength;
    RealNote = Source.RealNote;
    FilterCutoff = Source.FilterCutoff;
    FilterResonance = Source.FilterResonance;
    ActiveMacro = Source.ActiveMacro;
    FilterValid = Source.FilterValid;
    FilterMode = Source.FilterMode;
    FilterCoefficients = Source.FilterCoefficients;
    FilterHistory = Source.FilterHistory;
    SmoothStart = Source.SmoothStart;
    SmoothStep = Source.SmoothStep;
    Surround = Source.Surround;
    LocalFilters = Source.LocalFilters;
}

bool TQuavixChannel::MoveToFadeBank() {
    if (!Active) return false;
    // The first idle fade channel; when every one sounds, the quietest (the
    // lowest number among equally quiet ones).
    TQuavixChannel* Chosen = nullptr;
    if (Module) {
        for (auto& Fade : Module->FadeChannels)
            if (Fade && !Fade->Active) {
                Chosen = Fade.get();
                break;
            }
        if (!Chosen)
            for (auto& Fade : Module->FadeChannels)
                if (Fade && Fade.get() != this && (!Chosen || Fade->FinalVolume < Chosen->FinalVolume))
                    Chosen = Fade.get();
    }
    if (!Chosen) {
        HandClickToModule(*this);
        Active = false;
        return false;
    }
    // A stolen voice stops in the middle of its output.
    if (Chosen->Active) HandClickToModule(*Chosen);
    Chosen->Assign(*this);
    // Full gains now, silence at the next tick: the voice ramps out over the
    // fade ramp length and the mixer then ends it.
    Chosen->FadeoutVolume = 0;
    Active = false;
    return true;
}

void TQuavixChannel::TriggerNote(const TQuavixPatternNote& Cell) {
    if (Background || !Module) return;
    const bool Portamento = Cell.Effect == 3 || Cell.Effect == 5 || (Cell.Volume >= 0xF0 && Cell.Volume <= 0xFF);
    const bool HasInstrument = Cell.Instrument >= 1 && Cell.Instrument <= TQuavixModule::MaxInstruments;
    const bool HasNote = Cell.Note >= 1 && Cell.Note <= TQuavixInstrument::NoteCount;
    TQuavixInstrument* NewInstrument = HasInstrument ? Module->Instruments[Cell.Instrument].get() : nullptr;

    // A new instrument, or a new note that is not a slide into it, replaces
    // the sounding voice: the old one fades out in the fade bank.
    bool HandedOver = HasInstrument ? NewInstrument != nullptr
                                    : Instrument != nullptr && HasNote && (!Portamento || !Sample);
    if (HandedOver) MoveToFadeBank();

    if (HasInstrument) {
        ResetVoice();
        Instrument = NewInstrument;
        if (Instrument) {
            VolumeEnvelope->Envelope = Instrument->VolumeEnvelope.get();
            PanningEnvelope->Envelope = Instrument->PanningEnvelope.get();
            for (TQuavixEnvelopeHandler* Handler : {VolumeEnvelope.get(), PanningEnvelope.get()}) {
                Handler->SetPosition(0);
                Handler->KeyOn = true;
            }
            KeyOff = false;
            FadeoutVolume = 65536;
        }
    }

    if (Instrument && HasNote) {
        // A slide keeps the sample that sounds; anything else takes the one
        // the instrument maps to the note.
        if (!(Portamento && Sample))
            Sample = Instrument->Samples[Instrument->NoteSamples[Cell.Note - 1]].get();
        if (Sample) {
            // A slide keeps this semitone index too, so that arpeggio works
            // around the note being slid to.
            RealNote = Sample->RelativeNote + Cell.Note - 1;
            FineTune = Sample->FineTune;
            TargetPeriod = Module->GetNotePeriod(RealNote, FineTune);
        }
        if (Period == 0 || !Portamento) {
            // The note starts from silence.
            if (LocalFilters) FilterValid = false;
            VolumeEnvelope->SetPosition(0);
            PanningEnvelope->SetPosition(0);
            Period = TargetPeriod;
            Position = 0;
            Backwards = false;
            if (!HandedOver) HandClickToModule(*this);
            VolumeLeft = 0;
            VolumeRight = 0;
            RampLeft = 0;
            RampRight = 0;
            Active = true;
        }
        // Otherwise a slide from a sounding period only moves its target.
    }

    if (HasInstrument && Sample) {
        Active = true;
        Volume = Sample->Volume;
        if (Sample->HasPanning) Panning = Sample->Panning;
    }

    if (Cell.Note == 97) {
        VolumeEnvelope->KeyOn = false;
        PanningEnvelope->KeyOn = false;
        KeyOff = true;
    }
}
