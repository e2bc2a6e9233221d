// One voice: the sequencer's per-channel memory (note, instrument, sample,
// period, volume, panning, effect memories, modulation phases) together with
// the state the mixer reads and advances (position, gains, ramps, filter).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "sequencer/envelope_handler.h"
#include "song/pattern.h"
#include "song/units.h"

class TQuavixModule;
class TQuavixSample;
class TQuavixInstrument;

// Everything a voice hands over when it moves to the fade bank: the whole
// state of a channel except its bank flags and its envelope handlers (which
// keep their identity and copy their own state). It is one plain value, so
// the hand-over is a single copy and a field added here cannot be missed.
struct TQuavixChannelState {
    // Channel name; shared, so that handing a voice over copies no text while
    // the song plays.
    std::shared_ptr<const std::string> Name;
    bool Active = false;
    TQuavixModule* Module = nullptr;
    int32_t Index = 0;
    int32_t PluginIndex = 0;
    TQuavixSample* Sample = nullptr;
    TQuavixInstrument* Instrument = nullptr;
    int32_t Increment = 0;  // frames per output frame, 20.12 fixed point
    // What the 20.12 Increment of the ticks so far fell short of the exact
    // step, in SampleRate-ths of its last unit (0 .. SampleRate - 1).
    int32_t IncrementCarry = 0;
    // With FineSampleSteps: the part of the exact step that Increment falls
    // short of, in SampleRate-ths of a unit; how far the position stands from
    // its exact one, in the same units; and the unit the current chunk of
    // frames adds to each step (0 or 1).
    int32_t IncrementFraction = 0;
    int64_t FineCarry = 0;
    int32_t FineExtra = 0;
    int32_t Step = 0;       // signed step of the mixing loops
    int64_t Position = 0;   // sample position, in QuavixFrameUnit to the frame
    bool Backwards = false;
    int32_t FinalVolume = 0;   // 0..4096
    int32_t FinalPanning = 0;  // 0..256
    int32_t Frequency = 0;     // Hz
    int32_t EnvelopeVolume = 64;
    // The volume envelope's value in 256ths (0..16384), which
    // FineEnvelopeSteps plays.
    int32_t FineEnvelopeVolume = 64 << 8;
    int32_t EnvelopePanning = 32;
    TQuavixPatternNote CurrentNote;
    int32_t CurrentTick = 0;
    int32_t VibratoWaveform = 0;
    int32_t VibratoSpeed = 0;
    int32_t VibratoDepth = 0;
    int32_t VibratoPosition = 0;
    int32_t TremoloSpeed = 0;
    int32_t TremoloDepth = 0;
    int32_t TremoloPosition = 0;
    int32_t TremorCounter = 0;
    int32_t TremorOnTime = 0;
    int32_t TremorOffTime = 0;
    // The tremor silenced the voice on the last tick it counted; the voice
    // stays silent, over the next row's first tick and past the tremor rows,
    // until the tremor counts a sounding tick or an instrument number resets it.
    bool TremorSilent = false;
    int32_t AutoVibratoSweep = 0;
    int32_t AutoVibratoPosition = 0;
    int32_t RetrigVolumeChange = 0;
    int32_t RetrigInterval = 0;
    int32_t Period = 0;
    std::array<int32_t, 3> ArpeggioOffsets{};
    int32_t PeriodOffset = 0;
    int32_t TargetPeriod = 0;
    int32_t Volume = 0;
    int32_t DefaultPanning = 128;
    int32_t Panning = 128;
    // What the note that sounds adds to the volume (0..64) and the panning
    // (0..256) for as long as it sounds: its instrument's random variation
    // and pitch-pan separation (StartNoteVariation).
    int32_t NoteVolumeOffset = 0;
    int32_t NotePanningOffset = 0;
    int32_t FadeoutVolume = QuavixFullFadeout;
    int32_t VolumeSlide = 0;
    int32_t GlobalVolumeSlide = 0;
    int32_t PortamentoSpeed = 0;
    int32_t PortamentoUp = 0;
    int32_t PortamentoDown = 0;
    int32_t FinePortamentoUp = 0;
    int32_t FinePortamentoDown = 0;
    int32_t ExtraFinePortamentoUp = 0;
    int32_t ExtraFinePortamentoDown = 0;
    int32_t FineVolumeSlideUp = 0;
    int32_t FineVolumeSlideDown = 0;
    int32_t PanningSlide = 0;
    // 9xx memory: the last offset given, in units of 256 frames.
    int32_t SampleOffsetMemory = 0;
    int32_t VolumeOffset = 0;
    bool Glissando = false;
    int32_t TremoloWaveform = 0;
    int32_t FineTune = 0;
    bool KeyOff = false;
    int32_t PatternLoopRow = 0;
    int32_t PatternLoopCount = 0;
    bool PatternLoopActive = false;
    int32_t LastLeft = 0;
    int32_t LastRight = 0;
    int32_t VolumeLeft = 0;
    int32_t VolumeRight = 0;
    int32_t RampLeft = 0;
    int32_t RampRight = 0;
    int32_t RampTargetLeft = 0;
    int32_t RampTargetRight = 0;
    int32_t RampStepLeft = 0;
    int32_t RampStepRight = 0;
    int32_t RampLength = 0;
    // The volume envelope's value (in 256ths) the last ramp was set for.
    int32_t RampEnvelopeVolume = 64 << 8;
    // A volume slide moved the volume on this tick (VolumeSlidesRampAcrossTick).
    bool VolumeSlid = false;
    int32_t RealNote = 0;
    int32_t FilterCutoff = 127;
    int32_t FilterResonance = 0;
    int32_t ActiveMacro = 0;
    bool FilterValid = false;
    int32_t FilterMode = 0;  // 0 low-pass, 1 high-pass
    std::array<int32_t, 3> FilterCoefficients{};
    std::array<int32_t, 4> FilterHistory{};
    float SmoothStart = 0.0f;
    float SmoothStep = 0.0f;
    bool Surround = false;
    bool LocalFilters = false;
    // The note (1..120) the channel last started, which a retrigger or a
    // delay without a note of its own plays again; 0 before the first.
    int32_t LastNote = 0;
    // Rxy with MultiRetrigCountsTicks: the ticks counted since the last
    // retrigger, and whether the next row's first tick is left uncounted
    // (after an instrument number).
    int32_t RetrigCount = 0;
    bool RetrigSkipsFirstTick = false;
    // The sample an instrument number chose without starting a note
    // (SampleSwap), waiting to take over where the sounding sample or its
    // loop ends; where it is none or has no loop the voice ends there.
    TQuavixSample* SwapSample = nullptr;
    bool SwapPending = false;
    // Where the channel's notes start in the instrument's sample, and the
    // frames from there to its end or loop end (OffsetMovesNoteStart): an
    // instrument number sets both, 9xx moves them.
    int32_t NoteStart = 0;
    int32_t NoteLength = 0;
    // With TonePortamentoKeepsTarget: the tone portamento has reached its
    // target from below in pitch since a note last aimed it.
    bool TonePortamentoArrivedFromBelow = false;
    // With TremorCountsDownPhases: the phase TremorCounter counts down, on
    // (sounding) or off.
    bool TremorOn = false;
    // A sample started since the gains last ramped: the next ramp fades the
    // note in (VolumeRampsAcrossTick).
    bool NoteFadesIn = false;
    // The tick plays period 0 (ArpeggioFromPeriodTable past the table's top):
    // no pitch, the voice stands still on the value it reached. The mixer
    // moves it on by the smallest step, which the next tick takes back: the
    // voice goes on from where its first tick without pitch found it.
    bool StillTick = false;
    bool WasStill = false;
    int64_t StillPosition = 0;
    // The letter effects' shared memory: the last nonzero parameter of any
    // letter cell (SharedEffectMemory).
    int32_t LetterParameter = 0;
    // The vibrato is a fine one (Uxy): a quarter of the pitch swing.
    bool FineVibrato = false;
    // A note cut stopped the voice; the next note starts it again.
    bool NoteWasCut = false;
    // Panbrello (Yxy): speed, depth, waveform (S5y) and the wave's position
    // in 256ths of its cycle; the tick's swing of the panning.
    int32_t PanbrelloSpeed = 0;
    int32_t PanbrelloDepth = 0;
    int32_t PanbrelloWaveform = 0;
    int32_t PanbrelloPosition = 0;
    int32_t PanningOffset = 0;
    // Per-letter memories where the letters keep their own (without
    // SharedEffectMemory), indexed by the letter (A is 1).
    std::array<uint8_t, 27> LetterMemory{};
    // The channel's volume (0..64, Mxx) and where it and the surround start
    // on a song's start (the song's channel settings).
    int32_t ChannelVolume = 64;
    int32_t DefaultChannelVolume = 64;
    bool DefaultSurround = false;
    // The song file turns the channel off (Impulse Tracker's disabled
    // channels): its notes and effects play on unheard, and so do the voices
    // they leave behind.
    bool Disabled = false;
    // Nxy channel volume slide and Pxy panning slide steps, Txy tempo slide,
    // Wxy global volume slide (per tick, signed).
    int32_t ChannelVolumeSlide = 0;
    int32_t TempoSlide = 0;
    // SAy: the offset's high part (Oxx counts from y * 65536 frames).
    int32_t HighOffset = 0;
    // The voice fades out by its instrument's fade-out, its key held or not
    // (a new-note action's or a note fade's).
    bool Fading = false;
    // LastNote may be played again by an instrument number alone
    // (LoneInstrumentReplaysStoppedNote): a key-off, note cut or note fade
    // since it started leaves nothing to play.
    bool LastNoteValid = false;
    // With MissingInstrumentSilencesNotes: the last instrument number named
    // no instrument, whose keyboard maps every note to no sample.
    bool InstrumentMissing = false;
    // TriggerNote is playing LastNote again for a lone instrument number.
    bool ReplayingLastNote = false;
    // The key was released since the note started (an envelope carries into
    // the next note only from a note still held).
    bool NoteReleased = false;
    // With ExactAmigaNotePitch: the exact frequency of the last note over
    // the frequency of its period, 1 << 24 for one (0 none); it scales every
    // frequency the channel's periods give until the next note.
    int64_t ExactPitchRatio = 0;
    // With SlidesMoveFrequency: the whole-hertz frequency the last pitch
    // slide left, while the period is still the one it left (SlidPeriod);
    // 0 none. The next slide goes on from it.
    int32_t SlidFrequency = 0;
    int32_t SlidPeriod = 0;
    // With NotePanningLeavesChannel: the channel's panning to return to once
    // a note without panning of its own follows (-1 none), and the panning
    // the last note's sample or instrument gave; the channel's surround,
    // which such a note turns off.
    int32_t RestorePanning = -1;
    int32_t NotePanning = -1;
    bool RestoreSurround = false;
    // The filter's own cutoff (Zxx's or the instrument's) while a filter
    // envelope scales the one the filter plays (FilterCutoff); -1 without.
    int32_t FilterBaseCutoff = -1;
    // The filter envelope's slope for that cutoff: -256 none of it, 256 the
    // whole (TQuavix::CutoffToFrequency).
    int32_t FilterModifier = 256;
    // The state of the channel's random waves (a plain linear congruential
    // generator, the same on every machine).
    uint32_t RandomState = 1;
    // S73..S76: the sounding note's own new-note action (-1 its
    // instrument's); S77..S7C: envelopes switched off for the note.
    int32_t NoteAction = -1;
    bool VolumeEnvelopeOff = false;
    bool PanningEnvelopeOff = false;
    bool PitchEnvelopeOff = false;
};

// The one empty channel name every channel starts with and returns to, so
// that replacing a name on the audio thread never frees a string there.
const std::shared_ptr<const std::string>& QuavixEmptyChannelName();

class TQuavixChannel : public TQuavixChannelState {
public:
    bool Background;  // the two extra banks: never triggers notes itself
    bool FadeBank;    // the fade bank: ends the voice when its ramp reaches 0
    std::unique_ptr<TQuavixEnvelopeHandler> VolumeEnvelope;
    std::unique_ptr<TQuavixEnvelopeHandler> PanningEnvelope;
    std::unique_ptr<TQuavixEnvelopeHandler> PitchEnvelope;

    TQuavixChannel(TQuavixModule* AModule, int32_t AIndex, bool ABackground, bool AFadeBank);
    ~TQuavixChannel();
    TQuavixChannel(const TQuavixChannel&) = delete;
    TQuavixChannel& operator=(const TQuavixChannel&) = delete;

    // Full reset: song start, full restart, clearing the song.
    void Reset();
    // Silences the voice and restarts the per-note state.
    void ResetVoice();
    // Copies another channel's state; this channel keeps its bank flags and
    // its own envelope handlers, which copy the source's handlers.
    void Assign(const TQuavixChannel& Source);
    // Moves the voice's last output level into the module's click removal,
    // where it decays instead of dropping to 0 at once.
    void HandClickToModule();
    // Hands the sounding voice to the fade bank; true when a fade channel took it.
    bool MoveToFadeBank();
    // With NewNoteActions: hands the sounding voice to the reserve bank,
    // where it plays on by its instrument's new-note action (1 on, 2 its key
    // released, 3 fading out) and takes no further effects; true when a
    // reserve voice took it. A cut (0) or a silent voice hands nothing over.
    bool MoveToReserveBank(int32_t Action);
    // Plays Without in place of Cell, a note the cell holds and that is not
    // to be played.
    void IgnoreNote(const TQuavixPatternNote& Cell, const TQuavixPatternNote& Without);
    // Applies the note and instrument of a cell.
    // ExactPitchRatio for the note that starts (RealNote at Period).
    void SetExactPitchRatio();
    // Period sounds at Hertz, a whole frequency that pitch slides go on
    // from (TQuavixBehaviour::SlidesMoveFrequency).
    void SoundAtWholeHertz(int64_t Hertz);
    // The frequency, in 4096ths of a hertz, a period gives this channel's
    // sample before ExactPitchRatio scales it.
    int64_t PeriodFineFrequency(int32_t APeriod) const;
    void TriggerNote(const TQuavixPatternNote& Cell);
    // Whether a cell slides to its note (3xx, 5xy or a volume-column Fx)
    // rather than starting it.
    static bool IsPortamento(const TQuavixPatternNote& Cell);
    // Plays the channel's last note again from the start of its sample, on
    // the instrument the channel has now and at the note's own pitch, for a
    // retrigger or a delayed cell that has no note of its own; false where
    // there is no note to play.
    bool ReplayNote();
    // With RetriggerWithoutNote (E9x): plays the channel's sample again from
    // where its notes start, at the pitch that sounds; a sample waiting to
    // swap in is the one that plays. False where nothing has played yet.
    bool ReplaySample();
    // Where SampleSwap is in play: an instrument number that starts no note
    // hands its sample to the voice. A sounding voice takes it where its
    // sample or loop ends; a stopped one starts it at once if it loops.
    // Starts another sample from its beginning on the sounding voice.
    void SwitchSample(TQuavixSample* NewSample);
    void SwapInSample(TQuavixSample* NewSample, bool WasSounding);
    // The Amiga limits (PortamentoAmigaLimits) as quarter periods: the
    // smallest period, the highest pitch, and the largest. With
    // AmigaLimitsFollowFineTune they are the ends of the channel's finetune
    // table: B-3 as a quarter of B-1 (never below 113), and C-1; else 113
    // and 856.
    int32_t SmallestAmigaPeriod() const;
    int32_t LargestAmigaPeriod() const;
    // A note's period as it plays: with AmigaLimitsFollowFineTune held
    // within the Amiga limits, else as it is.
    int32_t HeldNotePeriod(int32_t NotePeriod) const;
    // With OffsetMovesNoteStart, a note just started moves to where the
    // channel's notes start: NoteStart, or its loop where 9xx went past the end.
    void MoveToNoteStart();
    // Presses the key again: both envelopes from their start, the fade-out
    // at full volume, the multi retrig's count from 0.
    void PressKey();
    // Releases the key (a key-off note, Kxx): the envelopes leave their
    // sustain, the fade-out starts and the instrument vibrato stops growing.
    void ReleaseKey();
    // Once per tick: advances both envelopes and the fade-out, giving
    // EnvelopeVolume and EnvelopePanning.
    void UpdateEnvelopes();
    // Once per tick: adds the instrument vibrato to PeriodOffset.
    void UpdateAutoVibrato();
    // Starts the sample from its beginning at the current period, rising
    // from silence; the old voice's last level goes to click removal unless
    // it was handed to the fade bank.
    void StartSample(bool HandedOver);
    // Loads the coefficients for the current cutoff, resonance and mode from
    // the player's table (clamping cutoff and resonance to 0..127) and turns
    // the filter on; ResetHistory clears the four history values. BesideNote:
    // the settings come with a note that starts (FullCutoffLeavesFilter).
    void SetupFilter(bool ResetHistory, bool BesideNote = false);
    // The instrument's filter settings, at the start of its note.
    void StartInstrumentFilter();
    // Sets the note offsets of a note that starts, Note being the note its
    // instrument's keyboard plays (0 = C-0).
    void StartNoteVariation(int32_t Note);
    // The pitch envelope's value of this tick (0..64): the pitch's or the
    // filter cutoff's move.
    void UpdatePitchEnvelope(int32_t Value);
    // Ends the channel's voices (its own and those it left in the reserve
    // bank) that the new note's instrument's duplicate check names.
    void EndDuplicates(const TQuavixInstrument& New, int32_t Note, const TQuavixSample* NewSample);
    // The envelope handlers follow the instrument's three envelopes.
    void FollowInstrumentEnvelopes();
    // Puts the envelopes that carry back where the note before stood.
    void CarryEnvelopes(const std::array<TQuavixEnvelopeState, 3>& Carried);
    // SampleAutoVibrato: the playing sample's vibrato for this tick.
    void UpdateSampleVibrato();

    // Effects. ProcessRow handles CurrentNote on the row's first tick (and on
    // its note-delay tick), ProcessTickEffects on every other tick of the row.
    void ProcessRow();
    void ProcessTickEffects();
    // Step routines shared by the first and the other ticks. The Play
    // routines give the tick's vibrato or tremolo where the wave stands; the
    // Do routines play it and move the wave on.
    void DoArpeggio(int32_t x, int32_t y);
    void PlayVibrato();
    void DoVibrato();
    void PlayTremolo();
    void DoTremolo();
    // Panbrello: swings the tick's panning by the wave and moves it on.
    void DoPanbrello();
    void DoTremor();
    void DoTonePortamento();
    void DoVolumeSlide();
    // MIDI macros: Zxx (Effect 35) and the smooth macro (Effect 37) run the
    // macro the parameter selects; ParseMacro carries out its filter command.
    void RunMacro(int32_t Effect, int32_t Parameter);
    void ParseMacro(const std::array<char, 32>& Macro, int32_t Value, bool Smooth);

    // Once per tick, after the tick's effects: clamps, final volume and
    // panning, the volume ramp and the mixer increment.
    void UpdateVoice();
    // Gains from FinalVolume and FinalPanning, and the ramp toward them.
    void UpdateVolumeRamp();
    // Narrows or widens the stereo gains by the module's separation (percent).
    void WidenGains(int32_t Percent);
};

// Visits every sounding voice of a reserve or fade bank, in bank order. The
// voices that sound stand before InUse, but for those handed over since the
// last visit: a voice handed over takes the first idle voice of the bank
// (MoveToFadeBank), so these stand right after, one after another. The idle
// rest of the bank is not looked at. Afterwards InUse ends right after the
// last voice still sounding once visited. The tick and the mixer both walk
// the banks this way.
template <size_t Size, typename TVisit>
void QuavixVisitVoicesInUse(std::array<std::unique_ptr<TQuavixChannel>, Size>& Bank, int32_t& InUse,
                            TVisit&& Visit) {
    constexpr int32_t Count = static_cast<int32_t>(Size);
    int32_t Reach = InUse < 0 ? 0 : InUse > Count ? Count : InUse;
    while (Reach < Count && Bank[Reach]->Active) ++Reach;
    InUse = 0;
    for (int32_t i = 0; i < Reach; ++i) {
        TQuavixChannel& Voice = *Bank[i];
        if (!Voice.Active) continue;
        Visit(Voice);
        if (Voice.Active) InUse = i + 1;
    }
}
