#include "sequencer/channel.h"

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
