#include "sequencer/channel.h"

#include "song/instrument.h"
#include "song/module.h"

const std::shared_ptr<const std::string>& QuavixEmptyChannelName() {
    static const std::shared_ptr<const std::string> Empty = std::make_shared<const std::string>();
    return Empty;
}

TQuavixChannel::TQuavixChannel(TQuavixModule* AModule, int32_t AIndex, bool ABackground, bool AFadeBank)
    : Background(ABackground),
      FadeBank(AFadeBank),
      VolumeEnvelope(new TQuavixEnvelopeHandler()),
      PanningEnvelope(new TQuavixEnvelopeHandler()) {
    Name = QuavixEmptyChannelName();
    Module = AModule;
    Index = AIndex;
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

}  // namespace

void TQuavixChannel::HandClickToModule() {
    if (Module) {
        AddClick(Module->ClickLeft, LastLeft);
        AddClick(Module->ClickRight, LastRight);
    }
    LastLeft = 0;
    LastRight = 0;
}

void TQuavixChannel::Assign(const TQuavixChannel& Source) {
    if (&Source == this) return;
    // Everything but the bank flags, in one copy; the handlers copy their state.
    static_cast<TQuavixChannelState&>(*this) = Source;
    VolumeEnvelope->Assign(*Source.VolumeEnvelope);
    PanningEnvelope->Assign(*Source.PanningEnvelope);
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
        HandClickToModule();
        Active = false;
        return false;
    }
    // A stolen voice stops in the middle of its output.
    if (Chosen->Active) Chosen->HandClickToModule();
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
            // The note starts from silence. Only an instrument number presses
            // the key again: a note without one after a key-off plays
            // released, its envelopes restarting in their release and the
            // fade-out going on, as trackers play such songs.
            if (LocalFilters) FilterValid = false;
            VolumeEnvelope->SetPosition(0);
            PanningEnvelope->SetPosition(0);
            Period = TargetPeriod;
            Position = 0;
            Backwards = false;
            if (!HandedOver) HandClickToModule();
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
