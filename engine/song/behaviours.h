// The formats the loaders read, and the playback behaviours by which the
// trackers that wrote them differ. A loader chooses the set for its file
// (and, where it matters, for the tracker that wrote it); the sequencer asks
// for a behaviour by name wherever trackers part ways, never for the format.
//
// Each behaviour is one line: what it changes, and which tracker plays so.
// A song without the behaviour plays the other way, which the line implies.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

// What the last load recognised.
enum class TQuavixFormat : uint8_t {
    None,            // nothing loaded
    ExtendedModule,  // .xm, "Extended Module: "
    PatternFormat,   // .mod, tagged or the 15-sample form
    ScreamTracker3,  // .s3m, "SCRM" at byte 44
    ImpulseTracker,  // .it, "IMPM" at byte 0
};

// The short name users see ("xm", "mod", "s3m"); empty for None.
const char* QuavixFormatName(TQuavixFormat Format);

enum class TQuavixBehaviour : uint8_t {
    // Notes and instruments
    PortamentoStartsSilentNote,   // a tone portamento on a channel with no pitch yet starts its note (ProTracker)
    InstrumentTakesNextSample,    // an instrument number gives the volume of the sample its next note plays, not the sounding one's (ProTracker)
    ReplayWithoutNote,            // EDx on a cell without a note plays the channel's last note again from its start, pressing the key again (Fasttracker 2)
    KeyOffZeroesVolume,           // a key-off sets the volume of an instrument without volume envelope to 0 (a later volume brings it back) and starts the fade-out with or without envelope; an instrument number beside it restores the volume only (Fasttracker 2)
    KeyOffFadesOut,               // a released note without volume envelope fades out by its instrument's fade-out, not silent at once (Impulse Tracker)
    NoteRangeChecked,             // a note that its sample's transposition takes outside C-0..A#9 is not played; the instrument number beside it still acts (Fasttracker 2)
    RetriggerPlaysLastNote,       // E9x and Rxy play the channel's last note again at its own pitch, the cell's instrument number not applied again; E9x restarts the envelopes too (Fasttracker 2)
    RetriggerZeroOnFirstTick,     // E90 plays the last note again on the row's first tick where the cell has no note (Fasttracker 2)
    DelayedNoteIgnoresPortamento, // a delayed note starts its sample even beside a tone portamento (Fasttracker 2)
    DelayedVolumeColumnSetsOnly,  // beside a note delay the volume column only sets its volume or panning, on the delayed tick; its slides run from the row's second tick, before the delayed note (Fasttracker 2)
    DelayedKeyOffPressesKey,      // a delayed key-off releases the key and presses it again: the envelopes restart, no fade-out runs (Fasttracker 2)
    EnvelopePositionNeedsSustain, // Lxx moves the panning envelope only where the volume envelope has its sustain on, the volume envelope only where it is on (Fasttracker 2)
    MultiRetrigCountsTicks,       // Rxy counts ticks across rows, from the last retrigger or instrument number; a row's first tick counts beside an empty volume column only, and not first after an instrument number (Fasttracker 2)
    SampleSwap,                   // an instrument number that starts no note swaps in its sample's loop where the sounding sample (or its loop) ends, at once on a stopped voice; a sample without loop leaves silence (ProTracker)
    FineTuneFromInstrumentNumber, // the finetune is the channel's: an instrument number or E5x sets it and the notes after play by it (ProTracker)
    InstrumentBeforeNoteDelay,    // a delayed cell's instrument number takes effect on the row's first tick, its note on the EDx tick (ProTracker)
    RetriggerWithoutNote,         // E9x on a cell without a note plays the channel's sample again, from the row's first tick on; EDx does not (ProTracker)
    OffsetMovesNoteStart,         // 9xx moves where the channel's notes start until the next instrument number, twice beside a note; past the end a note plays the loop only (ProTracker)
    LoneInstrumentKeepsEnvelopes, // the sounding instrument's number without a note leaves the note's envelopes, fade-out and key as they are; another instrument's restarts them, unless beside a tone portamento (Impulse Tracker without old effects)
    PortamentoInstrumentResetsEnvelopes, // with LoneInstrumentKeepsEnvelopes, an instrument number beside a tone portamento restarts the envelopes all the same (Impulse Tracker with compatible Gxx)
    LoneInstrumentReplaysStoppedNote, // an instrument number without a note on a channel whose voice has stopped plays the channel's last note again; a key-off, note cut or note fade since leaves nothing to play (Impulse Tracker)
    MissingInstrumentSilencesNotes, // an instrument number that names no instrument leaves the sounding note as it is, but no note plays beside it or after it without a number until a number names an instrument (Impulse Tracker with instruments)
    LoneSampleNumberSwitchesSample, // an instrument number without a note switches the sounding voice to its sample at once, where it stands; a number that names no sample stops the voice (Impulse Tracker without instruments)
    LoneInstrumentSwitchesSample, // an instrument number without a note brings the sample its keyboard maps the last note (played or slid to) to: its volume and panning, and, where the number changes the instrument, the sounding voice starts it from its beginning, at its pitch (Impulse Tracker with instruments)
    NoteWithoutSampleIgnored,     // a note that the keyboard maps to no sample is ignored, slide and all: what sounds plays on (Impulse Tracker with instruments)
    KeyOffBeforeInstrument,       // a key-off beside an instrument number that restarts the envelopes comes first: the number presses the key again and the note plays on (Impulse Tracker with old effects)
    InstrumentNumberKeepsFade,    // an instrument number that restarts the envelopes where no note starts leaves a fading note fading, from its full volume again (Impulse Tracker)
    NoteRestartsEnvelopes,        // every note that starts restarts the envelopes, the fade-out and the instrument vibrato, with or without an instrument number beside it (Impulse Tracker)
    NotePanningLeavesChannel,     // a sample's or instrument's own panning pans its notes only: a later note of one without gets the channel's panning back, as it stood before or as an effect set it since; an instrument number without a note leaves the panning (Impulse Tracker)
    SampleAutoVibrato,            // the automatic vibrato is the playing sample's: none at speed 0, its depth grows by the sweep rate in 256ths each tick, in 64ths of a semitone divided toward 0, with sine, ramp down, square and random waves (Impulse Tracker)
    FadeStartsAtEnvelopeEnd,      // a released note fades out only where its volume envelope is off or loops, else once the envelope has ended; an envelope that ends at 0 ends the note (Impulse Tracker)
    EnvelopeLoopsIncludeEnd,      // an envelope's loops play their end point before running back, and run back or not as they leave it, with the key as it is then: a note-off on that tick leaves the sustain loop one more round (Impulse Tracker)
    FineEnvelopeSteps,            // the volume envelope's value between its points keeps 256ths of a step, and so does the pitch envelope's under linear slides: a slow slope moves smoothly, not in whole steps (Impulse Tracker, as OpenMPT plays it)
    DelayedVolumeColumnWaits,     // beside a note delay the volume column acts from the delayed tick: its first-tick part there, its slides, vibrato and tone portamento on the ticks after it only (Impulse Tracker)
    LastNoteStartsAtC0,           // with LoneInstrumentReplaysStoppedNote every channel's last note is C-0 before its first note: a first lone instrument number plays C-0 (Impulse Tracker)
    // Periods
    AmigaClockChoice,             // Amiga periods follow the PAL or NTSC clock the player is set to, not always NTSC (ProTracker)
    PortamentoAmigaLimits,        // 1xx, 2xx, E1x and E2x stop at the Amiga limits, periods 113 and 856 (or the finetune's own, AmigaLimitsFollowFineTune) (ProTracker)
    ArpeggioFromPeriodTable,      // arpeggio finds its notes in the finetune's period table from the current period; past the top it reads period 0 (the voice stands still), then the same table again from its lowest note (ProTracker)
    CoarseFineTune,               // finetune counts in sixteenths of a semitone: its three low bits are dropped (Fasttracker 2)
    PeriodWrapsSlidingDown,       // slides up stop at period 1, slides down wrap at 16 bits, and a linear period past the lowest note wraps its octave (Fasttracker 2)
    ProTrackerNotePeriods,        // notes C-1..B-3 take ProTracker's periods: its own table's at finetune 0, at other finetunes their table's C-1..B-1 halved per octave to the quarter period (ProTracker)
    PeriodsFromC2Speed,           // a sample's finetune is its C2 speed in Hz, and a note's period 8363 x 16 x its Amiga period in octave 0 (in quarter units, shifted down by its octave) / that speed, truncated (Scream Tracker 3)
    PeriodHeldBelow32768,         // no period passes 32767 in quarter units, a low note's or a slide's: the pitch goes no lower (Scream Tracker 3)
    AmigaLimitsFollowFineTune,    // the Amiga limits are the ends of the finetune's period table (B-3 as a quarter of B-1, no higher than period 113, and C-1), and a note or tone portamento beyond them plays at them (ProTracker)
    SlidesMoveFrequency,          // pitch slides (E, F and the volume column's) move the note's frequency in whole hertz at each step: linear ones multiply it by 2^(n/192) or 2^(n/768) in 16.16, rounded to the nearest, Amiga ones give 1712 x 8363 x f / (1712 x 8363 + n x f), truncated; the period follows along for the other effects (Impulse Tracker)
    LinearOctaveBelowC0,          // linear periods reach an octave below note index 0, down to 7680 + 768 (Impulse Tracker's C-0..B-0), where other notes below it play at note index 1 (Impulse Tracker)
    // Samples
    LoopStartInBytes,             // a sample header's loop start counts bytes, not words (Soundtracker)
    LoopOnlySounds,               // a looped sample sounds its loop alone, from the loop start; what lies before it is never heard (Soundtracker)
    PingPongTurnLosesAFrame,      // a ping-pong loop overshooting its end by a frame or more turns one frame nearer the end than the mirror of the overshoot (OpenMPT before 1.30.00.54)
    FineSampleSteps,              // a voice's step keeps the fraction below a 4096th of a frame: in chunks of 256 frames from each tick's start it moves by the step or one unit more, whichever keeps it nearer its exact position, so that it never strays by more than 128 units (the step's fraction carried per tick strays by up to a tick's worth of units) (Impulse Tracker's mixer and OpenMPT count finer)
    ShortPingPongLoops,           // a ping-pong loop turns at its end a frame lower than the mirror of the overshoot: the way back is a frame short (Impulse Tracker's software mixer, as OpenMPT plays it)
    // Effects
    UltimateSoundtrackerEffects,  // effect 1xy is an arpeggio and 2xy a pitch bend, up by y or else down by x, in songs whose effects are these two alone and whose tempo byte is 120 (Ultimate Soundtracker)
    SlidesWithoutMemory,          // 1xx, 2xx, Axy, the slide of 5xy and 6xy, E1x, E2x, EAx and EBx slide by their own parameter: 00 slides by nothing (ProTracker)
    TempoFromNextTick,            // a tempo change lasts from the tick after the one that sets it (ProTracker)
    RestartKeepsSpeedAndTempo,    // the song's end goes on at its first order at the speed and tempo it has, not the song's own (ProTracker)
    FineSlidesOnRowRepeats,       // E1x, E2x, EAx and EBx act again on the first tick of each repetition of their row (EEx) (ProTracker)
    ModulationOnFirstTick,        // the row's first tick plays vibrato and tremolo where they stand, not the plain pitch and volume (Fasttracker 2)
    FineVibratoSteps,             // vibrato moves the period by (wave x depth) / 32, four times finer than whole Amiga periods (Fasttracker 2)
    ArpeggioCountsDown,           // the arpeggio note follows the ticks left in the row, not the ticks gone (Fasttracker 2)
    ArpeggioFromNearestNote,      // arpeggio notes count from the note nearest the pitch, slid or not, up to note 96 (Fasttracker 2)
    GlissandoRoundsPitch,         // with glissando the tone portamento slides on smoothly and plays the nearest note (Fasttracker 2)
    TonePortamentoKeepsTarget,    // a tone portamento keeps its target once there; arrived from below, it puts a lower pitch back at once (Fasttracker 2)
    VolumeColumnPortamentoFirst,  // a volume-column tone portamento beside 3xx or 5xy gives the speed, and both slide (Fasttracker 2)
    TremorCountsDownPhases,       // tremor counts each phase down from its length, read as the phase starts (Fasttracker 2)
    FineTuneCommandFromLowest,    // E5x sets finetune (x - 8) x 16 for the note beside it only (Fasttracker 2)
    EdgeSlidesOnFirstTick,        // D0F and DF0 slide on the row's first tick too, so on every tick (Scream Tracker 3)
    LinkedPortamentoMemory,       // Gxx keeps its speed in the memory Exx and Fxx share (Impulse Tracker, where the header asks)
    PortamentoSwitchesSample,     // a tone portamento beside an instrument number to a note of another sample starts that sample from its beginning, the pitch sliding on from where it is (Impulse Tracker without compatible Gxx)
    PortamentoInstrumentTakesOffset, // Oxx beside a tone portamento and an instrument number moves the sounding sample to the offset (Impulse Tracker without compatible Gxx)
    PortamentoStartsStoppedNote,  // a tone portamento on a channel whose voice has stopped (played out, cut, faded) starts its note as a note without one would (Impulse Tracker)
    ExactAmigaNotePitch,          // under Amiga slides a note plays at its exact frequency (its sample's C-5 speed moved by equal semitones), not its whole period's; slides move it by the ratio they move the period (Impulse Tracker)
    WidePanningCommand,           // Xxx pans 0x00..0xFF left to right, not 0x00..0x80 with XA4 surround (Impulse Tracker)
    TempoSlides,                  // T0x and T1x slide the tempo down and up by x on the row's later ticks (Impulse Tracker)
    BreakRowInHex,                // Cxx breaks to row xx read as hexadecimal, not as two decimal digits (Impulse Tracker)
    SharedEffectMemory,           // a letter effect's parameter 0 takes the channel's last nonzero parameter, whichever letter (or none) gave it, for D, E, F, I, J, K, L, Q, R and S (Scream Tracker 3)
    FastVolumeSlides,             // volume slides other than the fine ones act on the row's first tick too (Scream Tracker 3.00, and files that ask for it)
    CombinedSlidesSkipFirstTick,  // Kxy and Lxy slide the volume on the row's later ticks only, so that their fine slides do nothing (Scream Tracker 3)
    OffsetRecalledWithoutInstrument, // a note without instrument number starts at the offset the channel's last note started at; with one it starts from the beginning, unless Oxx moves it (Scream Tracker 3)
    OffsetWrapsIntoLoop,          // an offset past a looped sample's loop end wraps into the loop, not past the sample's end (Scream Tracker 3 on the Gravis UltraSound)
    VibratoMovesBeforePlaying,    // each tick of a vibrato moves its wave on before it plays it, not after (Impulse Tracker)
    VibratoOnFirstTick,           // the row's first tick moves and plays a vibrato (H, U, K, the volume column's) as the later ticks do (Impulse Tracker without old effects)
    VibratoHeldOnFirstTick,       // the row's first tick of a vibrato plays its wave where it stands: the pitch of the tick before (Impulse Tracker with old effects)
    SemitoneVibratoSteps,         // with linear slides vibrato moves the pitch by (wave x depth) / 32 in 64ths of a semitone, the wave peaking at 64 (the instrument vibrato's sine), H's depth counting 4 y and U's y; from 16 on in whole sixteenths (Impulse Tracker)
    ShallowRisingVibrato,         // vibrato raises the pitch over its wave's first half, and half as far: (wave x depth) / 64 with SemitoneVibratoSteps, / 64 of FineVibratoSteps' / 32 (Impulse Tracker without old effects)
    ColumnVibratosAddUp,          // a vibrato in the volume column and one in the effect column each move the wave and their pitches add up; a nonzero depth of the volume column's is the one both use (Impulse Tracker)
    RetriggerCountsAcrossRows,    // Qxy counts ticks across rows, the row's first tick too, from the cell's note or the last retrigger, and starts the sample again on the y-th (Impulse Tracker)
    RetriggerNeedsSoundingVoice,  // Qxy starts nothing again where the sample has played to its end (Impulse Tracker)
    ColumnSlidesShareMemory,      // the volume column's pitch slides share E's and F's memory (x stores 4 x there, 0 slides by what it holds) and its tone portamento G's (with LinkedPortamentoMemory E's too), each sliding at its own step beside the effect's (Impulse Tracker)
    // Panning
    SquareRootPanLaw,             // a voice's gains follow the square root of its panning, not the panning itself: 0.707 of the volume on each side at the centre (Fasttracker 2)
    PanningSlideRightFirst,       // Pxy slides right by x, or left by y only where x is 0, not by x - y (Fasttracker 2)
    PanningSlideLeftByZeroHardLeft,  // a volume-column panning slide left by 0 pans hard left on the row's later ticks (Fasttracker 2)
    EvenPanningLaw,               // a voice's gains are its volume x (256 - panning) / 256 and x panning / 256: the centre gives each side exactly half (Impulse Tracker, as OpenMPT plays it)
    SurroundAtCentreGains,        // a surround voice takes a centred voice's gains, its right side inverted, not its whole volume on both sides; the right side's gain is the panning law's of the inverted volume, a unit further out than the left's where the product is not whole (Impulse Tracker, as OpenMPT plays it)
    PanningReachesRight,          // the panning runs 0..256, the file's 0..64 times 4, so that a voice panned hard right sounds on the right side alone, not 1/256 of it on the left (Impulse Tracker)
    // Rows and orders
    PatternLoopRowCarriesOver,    // a pattern loop's jump leaves its row to start the next order at when this one ends, even past that pattern's rows (Fasttracker 2)
    NewNoteActions,               // a new note leaves the note it replaces to its instrument's new-note action: cut, played on, released or faded in the reserve bank (Impulse Tracker)
    SongWrapKeepsBreakRow,        // a break on the last order goes on at its row of the restart order, not at row 0 (Fasttracker 2, Impulse Tracker)
    FirstRowDelayCounts,          // of several row delays (SEx) in one row, the first that delays counts, not the last (Scream Tracker 3)
    ZeroRowDelayCounts,           // with FirstRowDelayCounts an SE0 counts as the row's first row delay too, so that those after it do nothing (Impulse Tracker)
    LoopStartResetsPerPattern,    // the pattern loop's start goes back to row 0 whenever a new pattern starts (Scream Tracker 3)
    RowRepeatsStartAfresh,        // each repetition of a row (SEx) starts with a first tick for the volume column too: its slides and portamentos rest there (Impulse Tracker)
    // Mixing
    VolumeRampsAcrossTick,        // a voice's gains ramp to each tick's volume and panning across the whole tick; a starting note fades in, and a voice a new note cuts fades out, over 5 ms (Fasttracker 2)
    QuickRampsBothWays,           // every gain change ramps over 16 frames at 44100 Hz (0.36 ms) where it rises and 42 (0.95 ms) where it falls, a voice the fade bank ends too (OpenMPT, playing Scream Tracker 3 files)
    EnvelopeRampsAcrossTick,      // with QuickRampsBothWays, a step of the volume envelope, and the volume an instrument number that keeps the envelopes brings back, ramp across the whole tick, unless they rise from silence or fall to it (OpenMPT, playing Impulse Tracker files)
    VolumeSlidesRampAcrossTick,   // with QuickRampsBothWays, a step of a volume slide (D, K, L and the volume column's, fine or not) ramps across the tick, over at most 2048 frames, unless it rises from silence or falls to it (OpenMPT, playing Impulse Tracker files)
    NoteRestartsStepCarry,        // a sample that starts starts the fraction its step carries from tick to tick over, at half a unit, so that voices starting together at one pitch stay in step, each at the position nearest its exact one (OpenMPT, playing Impulse Tracker files)
    QuickNoteRamps,               // with VolumeRampsAcrossTick a starting note, and a gain change of a quarter of the full gain or more, ramp over 16 frames at 44100 Hz (0.36 ms), and a voice a new note cuts, or one falling to silence, fades out over 42 (0.95 ms), not 5 ms or the tick (OpenMPT)
    HalfFilterDamping,            // the resonant filter is designed with half the damping at each resonance step, from the ratio of the output rate to the cutoff: resonance 0 keeps the cutoff's own level instead of rolling off below it (Impulse Tracker, as OpenMPT plays it)
    FullCutoffLeavesFilter,       // a cutoff at its top (under a filter envelope, one scaled to it) without resonance neither turns the filter on nor changes it; beside a note that starts without tone portamento it turns the filter off (Impulse Tracker)
    NoteResetsFilter,             // every note that starts sets the channel's filter up again from its cutoff and resonance, with its history cleared, whether or not the instrument has settings of its own (Impulse Tracker)
    MacroMessages,                // a Zxx macro is MIDI bytes (hexadecimal pairs and letters: z the parameter, a fixed macro's too; u the volume the voice plays at, the global volume with it, and v its volume, never 0; h the channel, o the last offset, m the loop direction), sent on the row's first tick only: every F0 F0 00/01 vv in it sets the cutoff or resonance, and FA, FC or FF sets every channel's back to none (Impulse Tracker)
    OutputRoundsToNearest,        // the mix becomes 16-bit output rounded to the nearest, halves up, not floored (OpenMPT, playing Impulse Tracker files)
    FineFilterEnvelope,           // the filter envelope moves the slope of the cutoff's frequency in 256ths of its steps, from none at its bottom to the whole at its top, not the cutoff in whole steps (Impulse Tracker, as OpenMPT plays it)

    Count
};

// A set of behaviours, one bit each.
class TQuavixBehaviours {
public:
    constexpr TQuavixBehaviours() = default;
    constexpr TQuavixBehaviours(std::initializer_list<TQuavixBehaviour> List) {
        for (TQuavixBehaviour B : List) Set(B);
    }

    constexpr bool Has(TQuavixBehaviour B) const {
        const uint32_t i = static_cast<uint32_t>(B);
        return (FBits[i / 64] >> (i % 64)) & 1;
    }
    constexpr TQuavixBehaviours& Set(TQuavixBehaviour B, bool On = true) {
        const uint32_t i = static_cast<uint32_t>(B);
        const uint64_t Bit = uint64_t(1) << (i % 64);
        FBits[i / 64] = On ? (FBits[i / 64] | Bit) : (FBits[i / 64] & ~Bit);
        return *this;
    }
    constexpr bool operator==(const TQuavixBehaviours& Other) const {
        for (uint32_t w = 0; w < Words; ++w)
            if (FBits[w] != Other.FBits[w]) return false;
        return true;
    }
    constexpr bool operator!=(const TQuavixBehaviours& Other) const { return !(*this == Other); }

private:
    static constexpr uint32_t Words = (static_cast<uint32_t>(TQuavixBehaviour::Count) + 63) / 64;
    uint64_t FBits[Words] = {};
};

// The behaviours of each tracker, as its loader starts from them. Pattern-
// format files that ProTracker cannot have written (other trackers wrote
// them) play by the rules the format's players share; ProTracker's files add
// its own.
TQuavixBehaviours QuavixFastTracker2Behaviours();
TQuavixBehaviours QuavixPatternFormatBehaviours();
TQuavixBehaviours QuavixProTrackerBehaviours();
// The 15-sample form: the format's shared set and the Soundtrackers' samples.
TQuavixBehaviours QuavixSoundtrackerBehaviours();

// The behaviours of an Extended Module by the tracker that wrote it, as its
// header names it: those of Fasttracker 2, less the ones OpenMPT did not yet
// play when an older version of it wrote the file, and with the ways that
// version played otherwise (its songs were made to sound as it played them).
TQuavixBehaviours QuavixExtendedModuleBehaviours(const std::string& Tracker);

// The behaviours of a Scream Tracker 3 module, by the tracker version and
// the flags of its header. Its periods are Amiga periods by the NTSC clock
// (C-4 at the sample's C2 speed), whatever the player's Amiga clock; a tone
// portamento on a silent channel starts its note, and vibrato moves the
// period in quarter periods, as ST3 keeps its periods.
TQuavixBehaviours QuavixScreamTracker3Behaviours(uint16_t TrackerVersion, uint16_t Flags);

// The behaviours of an Impulse Tracker module, by the flags of its header
// (old effects, Gxx memory linked with Exx and Fxx).
TQuavixBehaviours QuavixImpulseTrackerBehaviours(uint16_t Flags);
