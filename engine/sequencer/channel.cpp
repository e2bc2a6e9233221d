#include "sequencer/channel.h"

#include <algorithm>

#include "sequencer/effect_steps.h"
#include "sequencer/tables.h"
#include "song/commands.h"
#include "song/instrument.h"
#include "song/module.h"
#include "song/units.h"

const std::shared_ptr<const std::string>& QuavixEmptyChannelName() {
    static const std::shared_ptr<const std::string> Empty = std::make_shared<const std::string>();
    return Empty;
}

TQuavixChannel::TQuavixChannel(TQuavixModule* AModule, int32_t AIndex, bool ABackground, bool AFadeBank)
    : Background(ABackground),
      FadeBank(AFadeBank),
      VolumeEnvelope(new TQuavixEnvelopeHandler()),
      PanningEnvelope(new TQuavixEnvelopeHandler()),
      PitchEnvelope(new TQuavixEnvelopeHandler()) {
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
    for (TQuavixEnvelopeHandler* Handler : {VolumeEnvelope.get(), PanningEnvelope.get(), PitchEnvelope.get()}) {
        Handler->Envelope = nullptr;
        Handler->SetPosition(0);
        Handler->KeyOn = true;
    }
    KeyOff = false;
    Fading = false;
    AutoVibratoSweep = 0;
    AutoVibratoPosition = 0;
    TremorCounter = 0;
    TremorSilent = false;
    TremorOn = false;
    FadeoutVolume = QuavixFullFadeout;
}

void TQuavixChannel::Reset() {
    ResetVoice();
    VibratoPosition = 0;
    TremoloPosition = 0;
    Instrument = nullptr;
    Sample = nullptr;
    Panning = DefaultPanning;
    ChannelVolume = DefaultChannelVolume;
    LetterMemory.fill(0);
    HighOffset = 0;
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
    NoteVolumeOffset = 0;
    NotePanningOffset = 0;
    VolumeSlid = false;
    CurrentNote = TQuavixPatternNote();
    FilterCutoff = 127;
    FilterResonance = 0;
    ActiveMacro = 0;
    FilterValid = false;
    FilterMode = 0;
    Surround = DefaultSurround;
    LocalFilters = false;
    NoteWasCut = false;
    // With LastNoteStartsAtC0 a lone instrument number before any note plays C-0.
    const bool StartsAtC0 = Module && Module->Has(TQuavixBehaviour::LastNoteStartsAtC0);
    LastNote = StartsAtC0 ? TQuavixNote::First : 0;
    LastNoteValid = StartsAtC0;
    InstrumentMissing = false;
    RestorePanning = -1;
    NotePanning = -1;
    FilterBaseCutoff = -1;
    FilterModifier = 256;
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
    PitchEnvelope->Assign(*Source.PitchEnvelope);
}

bool TQuavixChannel::MoveToFadeBank() {
    if (!Active) return false;
    // A fade voice is already where a stopped note goes: the cut it was
    // handed over with (SCx runs again on the voice that took the note)
    // leaves it ramping out, instead of moving it on from one fade voice to
    // the next until none is left and the last one stops with a click.
    if (FadeBank) {
        FadeoutVolume = 0;
        return true;
    }
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
    // The voice's last output goes with it: the channel has none of its own
    // left to hand over when its next note starts.
    LastLeft = 0;
    LastRight = 0;
    // Full gains now, silence at the next tick: the voice ramps out over the
    // fade ramp length and the mixer then ends it.
    Chosen->FadeoutVolume = 0;
    Active = false;
    return true;
}

bool TQuavixChannel::MoveToReserveBank(int32_t Action) {
    if (!Active || !Module || Action < 1 || Action > 3 || FinalVolume == 0) return false;
    // The first idle reserve voice; when every one sounds, the quietest.
    TQuavixChannel* Chosen = nullptr;
    for (auto& Reserve : Module->BackgroundChannels)
        if (Reserve && !Reserve->Active) {
            Chosen = Reserve.get();
            break;
        }
    if (!Chosen)
        for (auto& Reserve : Module->BackgroundChannels)
            if (Reserve && (!Chosen || Reserve->FinalVolume < Chosen->FinalVolume)) Chosen = Reserve.get();
    if (!Chosen) return false;
    if (Chosen->Active) Chosen->MoveToFadeBank();
    Chosen->Assign(*this);
    // The voice left behind takes no effects of the cells that follow.
    Chosen->CurrentNote = TQuavixPatternNote();
    LastLeft = 0;
    LastRight = 0;
    if (Action == 2) Chosen->ReleaseKey();
    if (Action == 3) Chosen->Fading = true;
    Active = false;
    return true;
}

bool TQuavixChannel::IsPortamento(const TQuavixPatternNote& Cell) {
    return Cell.Effect == TQuavixEffect::TonePortamento || Cell.Effect == TQuavixEffect::TonePortamentoVolumeSlide ||
           Cell.VolumeCommand == TQuavixVolumeCommand::TonePortamento ||
           Cell.VolumeCommand == TQuavixVolumeCommand::TonePortamentoAt || QuavixLetterPortamento(Cell);
}

namespace {

// What an instrument number names where the song has no instrument: an
// instrument without samples, as trackers take an empty slot. A note on it
// sounds nothing, while the note that sounds plays on.
TQuavixInstrument* EmptyInstrument() {
    static TQuavixInstrument Empty;
    return &Empty;
}

bool VolumeEnvelopeOn(const TQuavixInstrument* Instrument) {
    return Instrument && Instrument->VolumeEnvelope && Instrument->VolumeEnvelope->Enabled;
}

// Whether a note, with its sample's transposition (0 is C-0), can be played.
// With NoteRangeChecked only C-0..A#9 can; otherwise every note plays, its
// period held to the pitch range.
bool PlayableNote(const TQuavixModule& Module, int32_t RealNote) {
    constexpr int32_t Highest = 10 * 12 - 2;  // A#9
    return !Module.Has(TQuavixBehaviour::NoteRangeChecked) || (RealNote >= 0 && RealNote <= Highest);
}

// The sample an instrument plays for a note (1..120), or none.
TQuavixSample* NoteSample(const TQuavixInstrument& Instrument, int32_t Note) {
    return Instrument.Samples[Instrument.NoteSamples[Note - 1]].get();
}

}  // namespace

void TQuavixChannel::StartSample(bool HandedOver) {
    if (LocalFilters) FilterValid = false;
    Position = 0;
    // With NoteRestartsStepCarry the step's carried fraction starts over too,
    // at half a unit (the position is then the nearest to the exact one, not
    // the one below): voices that start together stay together. So does the
    // fine step's distance from the exact position (FineSampleSteps), at 0.
    if (Module && Module->Has(TQuavixBehaviour::NoteRestartsStepCarry)) IncrementCarry = Module->SampleRate / 2;
    FineCarry = 0;
    FineExtra = 0;
    Backwards = false;
    WasStill = false;
    if (!HandedOver) HandClickToModule();
    VolumeLeft = 0;
    VolumeRight = 0;
    RampLeft = 0;
    RampRight = 0;
    NoteFadesIn = true;
    Active = true;
}

bool TQuavixChannel::ReplayNote() {
    if (Background || !Module || !Instrument || !QuavixIsNote(LastNote)) return false;
    // The sample the instrument maps the note to now: a lone instrument
    // number since may have changed it. Slides and arpeggio end there; the
    // tone portamento keeps its target.
    TQuavixSample* Played = NoteSample(*Instrument, LastNote);
    const int32_t Key = LastNote + Instrument->NoteTransposes[LastNote - 1];
    if (!Played || !PlayableNote(*Module, Played->RelativeNote + Key - 1)) return false;
    Sample = Played;
    RealNote = Played->RelativeNote + Key - 1;
    FineTune = Played->FineTune;
    Period = Module->GetNotePeriod(RealNote, FineTune);
    SetExactPitchRatio();
    StartSample(MoveToFadeBank());
    return true;
}

bool TQuavixChannel::ReplaySample() {
    if (Background || !Module || !Instrument || !Sample || Period == 0) return false;
    // A sample waiting to swap in is the one that plays again; where it is
    // none, the voice ends.
    if (SwapPending) {
        TQuavixSample* Swapped = SwapSample;
        SwapPending = false;
        SwapSample = nullptr;
        if (!Swapped) {
            MoveToFadeBank();
            return false;
        }
        const bool HandedOver = MoveToFadeBank();
        Sample = Swapped;
        StartSample(HandedOver);
    } else {
        StartSample(MoveToFadeBank());
    }
    MoveToNoteStart();
    return true;
}

void TQuavixChannel::SwitchSample(TQuavixSample* NewSample) {
    // A released key plays the sample past its sustain loop.
    if (!VolumeEnvelope->KeyOn && NewSample->Released) NewSample = NewSample->Released.get();
    Sample = NewSample;
    Position = 0;
    Backwards = false;
}

void TQuavixChannel::SwapInSample(TQuavixSample* NewSample, bool WasSounding) {
    SwapPending = false;
    SwapSample = nullptr;
    if (NewSample == Sample) return;
    if (WasSounding) {
        SwapSample = NewSample;
        SwapPending = true;
        return;
    }
    // A stopped voice (its sample played out) starts a looped sample at once,
    // from its loop: the Amiga goes on from the loop registers, which now
    // hold the new loop. A sample without loop leaves it silent, as does a
    // channel that has played no note since the song (re)started.
    if (!NewSample || !NewSample->Loop || !Sample || Period == 0) return;
    Sample = NewSample;
    StartSample(false);
    Position = QuavixPositionOf(NewSample->LoopStart);
}

// C-1 and B-1, the ends of the lowest octave of the Amiga notes.
namespace {
constexpr int32_t AmigaLowestNote = 36;
constexpr int32_t AmigaLowestOctaveTop = AmigaLowestNote + 11;
}  // namespace

int32_t TQuavixChannel::SmallestAmigaPeriod() const {
    if (!Module->Has(TQuavixBehaviour::AmigaLimitsFollowFineTune)) return 113 * 4;
    // B-3 as the finetune's lowest octave gives it, two octaves up.
    return std::max<int32_t>(Module->GetNotePeriod(AmigaLowestOctaveTop, FineTune) >> 2, 113 * 4);
}
int32_t TQuavixChannel::LargestAmigaPeriod() const {
    if (!Module->Has(TQuavixBehaviour::AmigaLimitsFollowFineTune)) return 856 * 4;
    return Module->GetNotePeriod(AmigaLowestNote, FineTune);
}
int32_t TQuavixChannel::HeldNotePeriod(int32_t NotePeriod) const {
    if (!Module->Has(TQuavixBehaviour::AmigaLimitsFollowFineTune)) return NotePeriod;
    return std::min(std::max(NotePeriod, SmallestAmigaPeriod()), LargestAmigaPeriod());
}

void TQuavixChannel::MoveToNoteStart() {
    if (!Module || !Sample || !Module->Has(TQuavixBehaviour::OffsetMovesNoteStart)) return;
    // Past the end the note has nothing of its own to play: only its loop,
    // or silence where there is none.
    if (NoteLength > 2)
        Position = QuavixPositionOf(NoteStart);
    else if (Sample->Loop)
        Position = QuavixPositionOf(Sample->LoopStart);
    else
        Position = QuavixPositionOf(Sample->Length);
}

void TQuavixChannel::ReleaseKey() {
    NoteReleased = true;
    // A sample's sustain loop ends: it plays on from where it stands with
    // its other loop, wrapped into that loop where it stands past its end,
    // or to its end.
    if (Sample && Sample->Released) {
        Sample = Sample->Released.get();
        const int64_t Frame = Position >> QuavixFrameBits;
        const int32_t LoopEnd = Sample->LoopStart + Sample->LoopLength;
        if (Sample->Loop && Frame >= LoopEnd)
            Position = QuavixPositionOf(Sample->LoopStart + (Frame - Sample->LoopStart) % Sample->LoopLength) |
                       (Position & QuavixFrameFraction);
        if (!Sample->PingPong) Backwards = false;
    }
    VolumeEnvelope->KeyOn = false;
    PanningEnvelope->KeyOn = false;
    PitchEnvelope->KeyOn = false;
    KeyOff = true;
    // With KeyOffZeroesVolume a note without volume envelope is silenced
    // through its volume, which a later volume command brings back.
    if (Module && Module->Has(TQuavixBehaviour::KeyOffZeroesVolume) && !VolumeEnvelopeOn(Instrument)) Volume = 0;
    // With FadeStartsAtEnvelopeEnd the fade-out starts here only where the
    // volume envelope is off or loops; otherwise when it ends.
    if (Module && Module->Has(TQuavixBehaviour::FadeStartsAtEnvelopeEnd) &&
        (!VolumeEnvelopeOn(Instrument) || Instrument->VolumeEnvelope->LoopEnabled))
        Fading = true;
}

void TQuavixChannel::PressKey() {
    for (TQuavixEnvelopeHandler* Handler : {VolumeEnvelope.get(), PanningEnvelope.get(), PitchEnvelope.get()}) {
        Handler->SetPosition(0);
        Handler->KeyOn = true;
    }
    KeyOff = false;
    Fading = false;
    FadeoutVolume = QuavixFullFadeout;
    RetrigCount = 0;
    NoteFadesIn = true;
}

void TQuavixChannel::IgnoreNote(const TQuavixPatternNote& Cell, const TQuavixPatternNote& Without) {
    // The row's effects see no note either (an offset beside it moves
    // nothing).
    if (CurrentNote.Note == Cell.Note) CurrentNote.Note = Without.Note;
    TriggerNote(Without);
}

int64_t TQuavixChannel::PeriodFineFrequency(int32_t APeriod) const {
    const int64_t Exact = Module->GetFineFrequency(APeriod);
    if (Sample && Sample->C5Speed > 0 && Module->LinearSlides) return Exact * Sample->C5Speed / 8363;
    return Exact;
}

void TQuavixChannel::SoundAtWholeHertz(int64_t Hertz) {
    const int64_t OfPeriod = PeriodFineFrequency(Period);
    if (OfPeriod <= 0) return;
    // Rounded up, so that the frequency the ratio gives is not a 4096th of a
    // hertz short of the whole hertz.
    ExactPitchRatio = ((Hertz << (QuavixFrameBits + 24)) + OfPeriod - 1) / OfPeriod;
    SlidFrequency = static_cast<int32_t>(Hertz);
    SlidPeriod = Period;
}

void TQuavixChannel::SetExactPitchRatio() {
    ExactPitchRatio = 0;
    SlidFrequency = 0;
    // Where linear slides move a whole-hertz frequency (Impulse Tracker's),
    // the note itself sounds at whole hertz, as the tracker works it out:
    // the sample's C-5 speed times the 16.16 factor 2^(s/12) of the note's
    // semitone s in its octave, doubled for each octave above C-0 and
    // halved 5 times, truncated. The slides go on from there.
    if (Module->LinearSlides && Module->Has(TQuavixBehaviour::SlidesMoveFrequency) && Period > 0) {
        // The semitones above C-0 (the note index counts from C-1).
        const int32_t Semitones = RealNote + 12;
        if (!Sample || Sample->C5Speed <= 0 || Semitones < 0 || Semitones >= 120) return;
        const int64_t Whole = (static_cast<int64_t>(Sample->C5Speed) *
                               (static_cast<int64_t>(LinearSlideUpFactors[(Semitones % 12) * 16]) << (Semitones / 12))) >>
                              (16 + 5);
        if (Whole > 0 && Whole <= INT32_MAX) SoundAtWholeHertz(Whole);
        return;
    }
    if (!Module->Has(TQuavixBehaviour::ExactAmigaNotePitch) || Module->LinearSlides || Period <= 0) return;
    // The note's own frequency: its linear-slide period's at the sample's C2
    // speed (the finetune, with PeriodsFromC2Speed).
    const int64_t Speed = FineTune > 0 ? FineTune : 8363;
    const int64_t Exact = Module->GetLinearFineFrequency(7680 - RealNote * 64) * Speed / 8363;
    const int64_t OfPeriod = Module->GetFineFrequency(Period);
    // A period held far from the note's (at the pitch range's ends) keeps
    // its own frequency.
    if (Exact > 0 && OfPeriod > 0 && Exact < (OfPeriod << 1) && OfPeriod < (Exact << 1))
        ExactPitchRatio = (Exact << 24) / OfPeriod;
}

void TQuavixChannel::StartNoteVariation(int32_t Note) {
    NoteVolumeOffset = 0;
    NotePanningOffset = 0;
    // Pitch-pan separation: (note - centre) x separation / 8 of the 0..64
    // scale, four times that of this one; truncated toward 0.
    if (Instrument->PitchPanSeparation != 0)
        NotePanningOffset = ((Note - Instrument->PitchPanCentre) * Instrument->PitchPanSeparation) / 2;
    // The random variation, from the channel's own generator so that every
    // render of a song is the same: the volume by up to VolumeSwing percent
    // of the note's volume either way (a note at volume 0 stays silent), the
    // panning by up to PanningSwing steps of the 0..64 scale either way.
    const auto Random = [this](int32_t Most) {
        RandomState = RandomState * 1103515245u + 12345u;
        return static_cast<int32_t>((RandomState >> 16) % static_cast<uint32_t>(2 * Most + 1)) - Most;
    };
    if (Instrument->VolumeSwing > 0) NoteVolumeOffset = Volume * Random(Instrument->VolumeSwing) / 100;
    if (Instrument->PanningSwing > 0) NotePanningOffset += Random(Instrument->PanningSwing) * 4;
}

void TQuavixChannel::TriggerNote(const TQuavixPatternNote& Cell) {
    if (Background || !Module) return;
    // With MissingInstrumentSilencesNotes a number naming no instrument
    // leaves the sounding note as it is, but its keyboard maps every note to
    // no sample: the note beside it, and those after it without a number, are
    // not played.
    if (Module->Has(TQuavixBehaviour::MissingInstrumentSilencesNotes)) {
        const bool Named = Cell.Instrument >= 1 && Cell.Instrument <= TQuavixModule::MaxInstruments;
        if (Named) InstrumentMissing = !Module->Instruments[Cell.Instrument];
        if (InstrumentMissing && (Named || QuavixIsNote(Cell.Note))) {
            TQuavixPatternNote Without = Cell;
            Without.Instrument = 0;
            if (QuavixIsNote(Without.Note)) Without.Note = TQuavixNote::None;
            IgnoreNote(Cell, Without);
            return;
        }
    }
    const bool Portamento = IsPortamento(Cell);
    const bool HasInstrument = Cell.Instrument >= 1 && Cell.Instrument <= TQuavixModule::MaxInstruments;
    // With LoneInstrumentReplaysStoppedNote an instrument number alone on a
    // channel whose voice has stopped (its sample or envelope ended, its
    // fade-out done) plays the last note again, as if the cell held it.
    // (Once: a replayed note its keyboard ignores comes back here without
    // one, and then goes on as a lone number.)
    if (HasInstrument && Cell.Note == TQuavixNote::None && !Active && LastNoteValid && !ReplayingLastNote &&
        Module->Has(TQuavixBehaviour::LoneInstrumentReplaysStoppedNote)) {
        TQuavixPatternNote Replayed = Cell;
        Replayed.Note = LastNote;
        ReplayingLastNote = true;
        TriggerNote(Replayed);
        ReplayingLastNote = false;
        return;
    }
    const bool KeyOffNote = Cell.Note == TQuavixNote::KeyOff;
    TQuavixInstrument* NewInstrument = nullptr;
    if (HasInstrument) {
        NewInstrument = Module->Instruments[Cell.Instrument].get();
        if (!NewInstrument) NewInstrument = EmptyInstrument();
    }
    // With KeyOffZeroesVolume an instrument number beside a key-off only
    // restores the volume and panning: the instrument and its envelopes
    // stay as they are, released.
    const bool RestoreOnly = KeyOffNote && Module->Has(TQuavixBehaviour::KeyOffZeroesVolume);

    // A note outside the playable range is not played at all (see
    // PlayableNote); the instrument number beside it still acts.
    const TQuavixInstrument* Mapping = HasInstrument ? NewInstrument : Instrument;
    const TQuavixSample* NoteTakes = Mapping && QuavixIsNote(Cell.Note) ? NoteSample(*Mapping, Cell.Note) : nullptr;
    const bool HasNote =
        QuavixIsNote(Cell.Note) && !(NoteTakes && !PlayableNote(*Module, NoteTakes->RelativeNote + Cell.Note - 1 +
                                                                           Mapping->NoteTransposes[Cell.Note - 1]));
    // With NoteWithoutSampleIgnored a note the keyboard maps to no sample is
    // as if the cell had none: what sounds plays on, not even slid.
    if (HasNote && !NoteTakes && Mapping && Module->Has(TQuavixBehaviour::NoteWithoutSampleIgnored)) {
        TQuavixPatternNote Without = Cell;
        Without.Note = TQuavixNote::None;
        IgnoreNote(Cell, Without);
        return;
    }

    // A note starts its sample from the beginning unless it is a slide to
    // it. A slide starts no note (on a channel where nothing sounds it stays
    // silent), but with PortamentoStartsSilentNote where the channel has no
    // pitch yet.
    const bool Starts =
        HasNote && (!Portamento || (Module->Has(TQuavixBehaviour::PortamentoStartsSilentNote) && Period == 0) ||
                    (!Active && Module->Has(TQuavixBehaviour::PortamentoStartsStoppedNote)));

    // Only a note that starts replaces the sounding voice: the old one fades
    // out in the fade bank while the new one rises from silence. An
    // instrument number without a note, or with a slide into the note,
    // restarts the envelopes and the volume on the voice that sounds and
    // hands nothing over: a copy fading out beside it would double the voice
    // for the length of the fade.
    const TQuavixInstrument* Playing = HasInstrument ? NewInstrument : Instrument;
    const bool WasSounding = Active;
    // With NewNoteActions the note that sounds goes on by its instrument's
    // new-note action in the reserve bank.
    // Where the envelopes stand for the note that sounds, which a new note
    // of the same instrument carries on with where they carry.
    const TQuavixInstrument* CarriedFrom = Active && !NoteReleased ? Instrument : nullptr;
    const std::array<TQuavixEnvelopeState, 3> Carried = {*VolumeEnvelope, *PanningEnvelope, *PitchEnvelope};
    // Its instrument's duplicate check first ends the channel's earlier
    // notes that it names.
    if (Playing != nullptr && Starts && Module->Has(TQuavixBehaviour::NewNoteActions))
        EndDuplicates(*Playing, Cell.Note, NoteTakes);
    const bool Reserved = Playing != nullptr && Starts && Module->Has(TQuavixBehaviour::NewNoteActions) &&
                          Instrument && MoveToReserveBank(NoteAction >= 0 ? NoteAction : Instrument->NewNoteAction);
    const bool HandedOver = Reserved || (Playing != nullptr && Starts && MoveToFadeBank());

    // With LoneSampleNumberSwitchesSample a lone number starts its sample
    // from the beginning on the sounding voice, at the voice's pitch and
    // without a fade-in, or stops the voice where it names none (as it does
    // beside a slide).
    const bool SampleMissing = HasInstrument && !Starts && Active && !NewInstrument->Samples[0];
    if (HasInstrument && (Cell.Note == TQuavixNote::None || SampleMissing) && Active &&
        Module->Has(TQuavixBehaviour::LoneSampleNumberSwitchesSample)) {
        TQuavixSample* Switched = NewInstrument->Samples[0].get();
        if (!Switched || !Switched->Data || Switched->Length <= 0) {
            MoveToFadeBank();
            NoteWasCut = true;
            Sample = nullptr;
        } else if (Switched != Sample) {
            // It plays from its start.
            Sample = Switched;
            Position = 0;
        }
    }
    // With LoneInstrumentKeepsEnvelopes the number of the sounding
    // instrument that starts no note (a lone one, or one beside a slide)
    // leaves the envelopes, the fade-out and the key where they are; with
    // PortamentoInstrumentResetsEnvelopes a slide restarts them all the same.
    // Another instrument's number restarts them, unless beside a slide.
    const TQuavixInstrument* Before = Instrument;
    const bool KeepsEnvelopes = HasInstrument && !Starts && (NewInstrument == Instrument || Portamento) &&
                                Module->Has(TQuavixBehaviour::LoneInstrumentKeepsEnvelopes) &&
                                !(Portamento && Module->Has(TQuavixBehaviour::PortamentoInstrumentResetsEnvelopes));
    if (KeepsEnvelopes) {
        Instrument = NewInstrument;
        FollowInstrumentEnvelopes();
        // With EnvelopeRampsAcrossTick the volume it brings back ramps as an
        // envelope's step does.
        RampEnvelopeVolume = -1;
    } else if (HasInstrument && !RestoreOnly) {
        // With InstrumentNumberKeepsFade a note fading out goes on fading,
        // from the full volume again, unless a note starts.
        const bool KeepsFading = Fading && !Starts && Module->Has(TQuavixBehaviour::InstrumentNumberKeepsFade);
        ResetVoice();
        Instrument = NewInstrument;
        FollowInstrumentEnvelopes();
        PressKey();
        Fading = KeepsFading;
        // The multi retrig leaves the next row's first tick uncounted
        // (MultiRetrigCountsTicks).
        RetrigSkipsFirstTick = true;
        // The finetune and where notes start come with the instrument
        // number, for the notes that follow.
        const TQuavixSample* Loaded = Instrument->Samples[0].get();
        if (Loaded && Module->Has(TQuavixBehaviour::FineTuneFromInstrumentNumber)) FineTune = Loaded->FineTune;
        if (Module->Has(TQuavixBehaviour::OffsetMovesNoteStart)) {
            NoteStart = 0;
            NoteLength = !Loaded ? 0 : Loaded->Loop && Loaded->LoopStart > 0 ? Loaded->LoopStart + Loaded->LoopLength
                                                                              : Loaded->Length;
        }
    }

    // With LoneInstrumentSwitchesSample an instrument number without a note
    // brings the sample its keyboard maps the channel's last note to: the
    // volume and panning that follow are that sample's, and where the number
    // changes the instrument, the sounding voice starts it from its
    // beginning, at the pitch it plays.
    TQuavixSample* Keyed = nullptr;
    // A slide that started its note's sample over (PortamentoSwitchesSample).
    bool SampleRestarted = false;
    if (HasInstrument && !HasNote && Instrument && LastNote >= TQuavixNote::First && LastNote <= TQuavixNote::Last &&
        Module->Has(TQuavixBehaviour::LoneInstrumentSwitchesSample)) {
        Keyed = NoteSample(*Instrument, LastNote);
        if (Keyed && Instrument != Before && Cell.Note == TQuavixNote::None && WasSounding && Keyed != Sample)
            SwitchSample(Keyed);
    }

    if (Instrument && HasNote) {
        // A slide keeps the sample that sounds, and the finetune it plays
        // at; anything else takes the sample the instrument maps to the note.
        bool KeepsSample = Portamento && Sample;
        TQuavixSample* Mapped = Instrument->Samples[Instrument->NoteSamples[Cell.Note - 1]].get();
        // With PortamentoSwitchesSample a slide to a note of another sample,
        // beside an instrument number, starts that sample over, the pitch
        // sliding on from where it is.
        if (KeepsSample && HasInstrument && Mapped && !QuavixSameSample(*Mapped, *Sample) &&
            Module->Has(TQuavixBehaviour::PortamentoSwitchesSample)) {
            KeepsSample = false;
            SampleRestarted = true;
            StartSample(MoveToFadeBank());
        }
        if (!KeepsSample) Sample = Mapped;
        int32_t NotePeriod = Period;
        if (Sample) {
            // A slide keeps this semitone index too, so that arpeggio works
            // around the note being slid to.
            RealNote = Sample->RelativeNote + Cell.Note - 1 + Instrument->NoteTransposes[Cell.Note - 1];
            if (!KeepsSample && !Module->Has(TQuavixBehaviour::FineTuneFromInstrumentNumber)) FineTune = Sample->FineTune;
            NotePeriod = HeldNotePeriod(Module->GetNotePeriod(RealNote, FineTune));
            // Only a slide aims the tone portamento: a note that starts
            // leaves the target where the last slide put it.
            if (Portamento) TargetPeriod = NotePeriod;
            // With LoneInstrumentSwitchesSample the note slid to is the
            // channel's last note.
            if (Portamento && Module->Has(TQuavixBehaviour::LoneInstrumentSwitchesSample)) LastNote = Cell.Note;
        }
        if (Starts) {
            // Only an instrument number restarts the envelopes and the
            // fade-out: a note on its own plays on in the envelope where it
            // is, held or released, as trackers play it.
            Period = NotePeriod;
            SetExactPitchRatio();
            NoteReleased = false;
            LastNote = Cell.Note;
            LastNoteValid = true;
            NoteWasCut = false;
            SwapPending = false;
            SwapSample = nullptr;
            StartSample(HandedOver);
            MoveToNoteStart();
            if (Module->Has(TQuavixBehaviour::NoteRestartsEnvelopes)) {
                PressKey();
                AutoVibratoSweep = 0;
                AutoVibratoPosition = 0;
            }
            if (CarriedFrom == Instrument) CarryEnvelopes(Carried);
            StartInstrumentFilter();
            NoteAction = -1;
            VolumeEnvelopeOff = PanningEnvelopeOff = PitchEnvelopeOff = false;
            // The vibrato and tremolo start over with the note (not with an
            // instrument number alone); waveforms 4..7 keep their phase.
            if (VibratoWaveform < 4) VibratoPosition = 0;
            if (TremoloWaveform < 4) TremoloPosition = 0;
        }
        // Otherwise a slide only moves its target.
    }

    // An instrument number that starts no note swaps its sample in.
    if (HasInstrument && !Starts && Module->Has(TQuavixBehaviour::SampleSwap))
        SwapInSample(Instrument->Samples[0].get(), WasSounding);

    // The instrument number restores the volume and panning: those of the
    // sample that sounds, or with InstrumentTakesNextSample those of the
    // instrument's one sample, which the next note will play. A voice that
    // never had a pitch stays silent. A key-off that restores only is
    // released first, so that its volume comes back.
    if (RestoreOnly) ReleaseKey();
    if (HasInstrument && Sample && Period != 0) {
        // With SampleSwap a voice that had stopped stays so, unless a looped
        // sample swapped in has started it; with
        // LoneInstrumentReplaysStoppedNote one a note cut stopped.
        const bool StaysStopped = Module->Has(TQuavixBehaviour::SampleSwap) ||
                                  (NoteWasCut && Module->Has(TQuavixBehaviour::LoneInstrumentReplaysStoppedNote));
        Active = !StaysStopped || Active || WasSounding;
        const TQuavixSample* Restored =
            Module->Has(TQuavixBehaviour::InstrumentTakesNextSample) ? Instrument->Samples[0].get() : Keyed ? Keyed : Sample;
        // With NotePanningLeavesChannel only a note that starts takes the
        // sample's or instrument's panning.
        const bool Pans = Starts || SampleRestarted || !Module->Has(TQuavixBehaviour::NotePanningLeavesChannel);
        if (Restored) Volume = Restored->Volume;
        if (Restored && Pans) {
            // The sample's panning, or the instrument's where it sets one
            // (Impulse Tracker's instruments do).
            const bool OwnPanning = Restored->HasPanning || Instrument->HasPanning;
            if (Module->Has(TQuavixBehaviour::NotePanningLeavesChannel)) {
                // A panning effect since the last note's own panning set the
                // channel's anew.
                // A note's own panning turns surround off for it; the
                // channel's surround comes back with the channel's panning.
                if (RestorePanning >= 0 && Panning != NotePanning) RestorePanning = -1;
                if (OwnPanning && RestorePanning < 0) {
                    RestorePanning = Panning;
                    RestoreSurround = Surround;
                }
                if (OwnPanning) Surround = false;
                if (!OwnPanning && RestorePanning >= 0) {
                    Panning = RestorePanning;
                    Surround = RestoreSurround;
                    RestorePanning = -1;
                }
            }
            if (Restored->HasPanning)
                Panning = Restored->Panning;
            else if (Instrument->HasPanning)
                Panning = Instrument->Panning;
            NotePanning = OwnPanning ? Panning : -1;
        }
    }

    if (Starts && Instrument) StartNoteVariation(Cell.Note - 1 + Instrument->NoteTransposes[Cell.Note - 1]);

    // Key-off. With an instrument number on an instrument without volume
    // envelope the note plays on: trackers cut such a note through its
    // volume, which the instrument number restores.
    // With KeyOffFadesOut it is released all the same, to fade out; with
    // KeyOffBeforeInstrument the instrument number has pressed the key again.
    if (KeyOffNote && !RestoreOnly &&
        !(HasInstrument && !VolumeEnvelopeOn(Instrument) && !Module->Has(TQuavixBehaviour::KeyOffFadesOut)) &&
        !(HasInstrument && !KeepsEnvelopes && Module->Has(TQuavixBehaviour::KeyOffBeforeInstrument)))
        ReleaseKey();

    if (KeyOffNote || Cell.Note == TQuavixNote::NoteCut || Cell.Note == TQuavixNote::NoteFade) LastNoteValid = false;
    // A note cut stops the voice: it fades out at once and nothing sounds
    // until the next note.
    if (Cell.Note == TQuavixNote::NoteCut) {
        MoveToFadeBank();
        NoteWasCut = true;
    }
    // A note fade releases the key and fades the note out.
    if (Cell.Note == TQuavixNote::NoteFade) {
        ReleaseKey();
        Fading = true;
    }
}

void TQuavixChannel::StartInstrumentFilter() {
    // An instrument's own cutoff and resonance set the channel's filter as
    // its note starts (a slide to the note leaves it); a cutoff of 127
    // without resonance passes everything, and the filter is off.
    // Where a filter envelope played, the cutoff the filter last took was
    // the channel's own scaled by it: the note starts from the channel's own.
    if (FilterBaseCutoff >= 0) FilterCutoff = FilterBaseCutoff;
    const bool Sets = Instrument->FilterCutoff >= 0 || Instrument->FilterResonance >= 0;
    const bool Envelope = Instrument->PitchEnvelopeFilters && Instrument->PitchEnvelope->Enabled;
    if (!Sets && !Envelope) {
        FilterBaseCutoff = -1;
        if (Module->Has(TQuavixBehaviour::NoteResetsFilter)) SetupFilter(true, true);
        return;
    }
    if (Instrument->FilterCutoff >= 0) FilterCutoff = Instrument->FilterCutoff;
    if (Instrument->FilterResonance >= 0) FilterResonance = Instrument->FilterResonance;
    FilterBaseCutoff = Envelope ? FilterCutoff : -1;
    FilterModifier = 256;
    if (!Envelope && FilterCutoff >= 127 && FilterResonance <= 0)
        FilterValid = false;
    else
        SetupFilter(true, true);
}

void TQuavixChannel::EndDuplicates(const TQuavixInstrument& New, int32_t Note, const TQuavixSample* NewSample) {
    const int32_t Type = New.DuplicateCheckType;
    if (Type == 0) return;
    // A voice of the same instrument that played the same pattern note (not
    // the note the keyboard made of it), the same sample, or any.
    const auto Duplicate = [&](const TQuavixChannel& V) {
        if (!V.Active || V.Instrument != &New) return false;
        if (Type == 1) return V.LastNote == Note;
        if (Type == 2) return V.Sample == NewSample;
        return true;
    };
    const auto End = [&](TQuavixChannel& V) {
        if (New.DuplicateCheckAction == 0)
            V.MoveToFadeBank();
        else if (New.DuplicateCheckAction == 1)
            V.ReleaseKey();
        else
            V.Fading = true;
    };
    for (auto& Voice : Module->BackgroundChannels)
        if (Voice && Voice->Index == Index && Duplicate(*Voice)) End(*Voice);
    if (Duplicate(*this)) End(*this);
}

void TQuavixChannel::CarryEnvelopes(const std::array<TQuavixEnvelopeState, 3>& Carried) {
    TQuavixEnvelopeHandler* Handlers[3] = {VolumeEnvelope.get(), PanningEnvelope.get(), PitchEnvelope.get()};
    for (size_t i = 0; i < 3; ++i) {
        if (!Handlers[i]->Envelope || !Handlers[i]->Envelope->Carry) continue;
        // Where the last note stood, its key pressed again.
        static_cast<TQuavixEnvelopeState&>(*Handlers[i]) = Carried[i];
        Handlers[i]->KeyOn = true;
    }
}

void TQuavixChannel::FollowInstrumentEnvelopes() {
    VolumeEnvelope->Envelope = Instrument->VolumeEnvelope.get();
    PanningEnvelope->Envelope = Instrument->PanningEnvelope.get();
    PitchEnvelope->Envelope = Instrument->PitchEnvelope.get();
}
