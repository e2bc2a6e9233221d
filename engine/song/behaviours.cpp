#include "song/behaviours.h"

#include <cstddef>

const char* QuavixFormatName(TQuavixFormat Format) {
    switch (Format) {
        case TQuavixFormat::ExtendedModule: return "xm";
        case TQuavixFormat::PatternFormat: return "mod";
        case TQuavixFormat::ScreamTracker3: return "s3m";
        case TQuavixFormat::ImpulseTracker: return "it";
        case TQuavixFormat::None: break;
    }
    return "";
}

TQuavixBehaviours QuavixFastTracker2Behaviours() {
    using B = TQuavixBehaviour;
    return {
        B::ReplayWithoutNote,
        B::KeyOffZeroesVolume,
        B::NoteRangeChecked,
        B::RetriggerPlaysLastNote,
        B::RetriggerZeroOnFirstTick,
        B::DelayedNoteIgnoresPortamento,
        B::DelayedVolumeColumnSetsOnly,
        B::DelayedKeyOffPressesKey,
        B::EnvelopePositionNeedsSustain,
        B::MultiRetrigCountsTicks,
        B::SquareRootPanLaw,
        B::PanningSlideRightFirst,
        B::PanningSlideLeftByZeroHardLeft,
        B::PatternLoopRowCarriesOver,
        B::SongWrapKeepsBreakRow,
        B::CoarseFineTune,
        B::PeriodWrapsSlidingDown,
        B::ModulationOnFirstTick,
        B::FineVibratoSteps,
        B::ArpeggioCountsDown,
        B::ArpeggioFromNearestNote,
        B::GlissandoRoundsPitch,
        B::TonePortamentoKeepsTarget,
        B::VolumeColumnPortamentoFirst,
        B::TremorCountsDownPhases,
        B::FineTuneCommandFromLowest,
        B::VolumeRampsAcrossTick,
    };
}

TQuavixBehaviours QuavixPatternFormatBehaviours() {
    using B = TQuavixBehaviour;
    return {B::PortamentoStartsSilentNote, B::InstrumentTakesNextSample, B::RetriggerWithoutNote, B::AmigaClockChoice,
            B::SlidesWithoutMemory};
}

TQuavixBehaviours QuavixProTrackerBehaviours() {
    using B = TQuavixBehaviour;
    TQuavixBehaviours Set = QuavixPatternFormatBehaviours();
    for (B Only : {B::SampleSwap, B::FineTuneFromInstrumentNumber, B::InstrumentBeforeNoteDelay, B::OffsetMovesNoteStart,
                   B::PortamentoAmigaLimits, B::ArpeggioFromPeriodTable, B::TempoFromNextTick,
                   B::RestartKeepsSpeedAndTempo, B::FineSlidesOnRowRepeats, B::ProTrackerNotePeriods,
                   B::AmigaLimitsFollowFineTune})
        Set.Set(Only);
    return Set;
}

TQuavixBehaviours QuavixSoundtrackerBehaviours() {
    using B = TQuavixBehaviour;
    return QuavixPatternFormatBehaviours().Set(B::LoopStartInBytes).Set(B::LoopOnlySounds);
}

namespace {

// The version an "OpenMPT 1.22.07.19" tracker name gives: its four
// numbers (1, 22, 7, 19) a byte each, the first the highest, so that later
// versions are larger; 0 for a name of another tracker. Missing parts
// count as 0.
uint32_t OpenMptVersion(const std::string& Tracker) {
    static const std::string Prefix = "OpenMPT ";
    if (Tracker.compare(0, Prefix.size(), Prefix) != 0) return 0;
    uint32_t Version = 0;
    size_t i = Prefix.size();
    for (int32_t Part = 0; Part < 4; ++Part) {
        uint32_t Number = 0;
        while (i < Tracker.size() && Tracker[i] >= '0' && Tracker[i] <= '9') {
            Number = Number * 10 + static_cast<uint32_t>(Tracker[i] - '0');
            if (Number > 255) return 0;
            ++i;
        }
        Version = (Version << 8) | Number;
        if (i < Tracker.size() && Tracker[i] == '.') ++i;
    }
    return Version;
}

constexpr uint32_t Version(uint32_t A, uint32_t B, uint32_t C, uint32_t D) { return (A << 24) | (B << 16) | (C << 8) | D; }

}  // namespace

TQuavixBehaviours QuavixExtendedModuleBehaviours(const std::string& Tracker) {
    TQuavixBehaviours Behaviours = QuavixFastTracker2Behaviours();
    const uint32_t OpenMpt = OpenMptVersion(Tracker);
    // OpenMPT took finetune at full precision before 1.22.07.19.
    if (OpenMpt != 0 && OpenMpt < Version(1, 22, 7, 19)) Behaviours.Set(TQuavixBehaviour::CoarseFineTune, false);
    // Its ping-pong loops turned imprecisely before 1.30.00.54.
    if (OpenMpt != 0 && OpenMpt < Version(1, 30, 0, 54)) Behaviours.Set(TQuavixBehaviour::PingPongTurnLosesAFrame);
    // OpenMPT's songs were made hearing its own quick note ramps.
    if (OpenMpt != 0) Behaviours.Set(TQuavixBehaviour::QuickNoteRamps);
    return Behaviours;
}

TQuavixBehaviours QuavixScreamTracker3Behaviours(uint16_t TrackerVersion, uint16_t Flags) {
    using B = TQuavixBehaviour;
    TQuavixBehaviours Set = {B::PortamentoStartsSilentNote, B::FineVibratoSteps,        B::SharedEffectMemory,
                             B::OffsetRecalledWithoutInstrument, B::OffsetWrapsIntoLoop, B::FirstRowDelayCounts,
                             B::EdgeSlidesOnFirstTick,
                             B::LoopStartResetsPerPattern,  B::PeriodHeldBelow32768, B::PeriodsFromC2Speed, B::QuickRampsBothWays};
    // Files Scream Tracker 3 itself saved (its versions are 0x1xyy): later
    // trackers that write the format let Kxy and Lxy slide finely.
    if ((TrackerVersion & 0xF000) == 0x1000) Set.Set(B::CombinedSlidesSkipFirstTick);
    // Version 3.00 slid on every tick, and the header's flag 0x40 asks for it.
    if (TrackerVersion == 0x1300 || (Flags & 0x40)) Set.Set(B::FastVolumeSlides);
    // The header's flag 0x10 holds the periods within the Amiga's range.
    if (Flags & 0x10) Set.Set(B::PortamentoAmigaLimits);
    return Set;
}

TQuavixBehaviours QuavixImpulseTrackerBehaviours(uint16_t Flags) {
    using B = TQuavixBehaviour;
    TQuavixBehaviours Set = {B::PortamentoStartsSilentNote, B::FineVibratoSteps,   B::FirstRowDelayCounts,
                             B::PeriodsFromC2Speed,         B::QuickRampsBothWays, B::EnvelopeRampsAcrossTick, B::NoteRestartsStepCarry,
                             B::BreakRowInHex,
                             B::NewNoteActions,             B::OffsetWrapsIntoLoop, B::WidePanningCommand,
                             B::TempoSlides,                B::KeyOffFadesOut};
    // Gxx shares the memory of Exx and Fxx unless the header's flag 0x20
    // (compatible Gxx) gives it its own; without it a slide beside an
    // instrument number starts another sample's note and takes an offset.
    if (!(Flags & 0x20))
        Set.Set(B::LinkedPortamentoMemory).Set(B::PortamentoSwitchesSample).Set(B::PortamentoInstrumentTakesOffset);
    // Old effects (header flag 0x10) vibrate as Scream Tracker 3 did, deeper
    // and with the pitch going down first, and not on the row's first tick.
    Set.Set(B::VibratoMovesBeforePlaying).Set(B::ColumnVibratosAddUp).Set(B::SemitoneVibratoSteps);
    Set.Set(B::RetriggerCountsAcrossRows).Set(B::RetriggerNeedsSoundingVoice).Set(B::ColumnSlidesShareMemory);
    Set.Set(B::DelayedVolumeColumnWaits).Set(B::RowRepeatsStartAfresh);
    if (Flags & 0x10)
        Set.Set(B::VibratoHeldOnFirstTick);
    else
        Set.Set(B::VibratoOnFirstTick).Set(B::ShallowRisingVibrato);
    for (B Rule : {B::LoneInstrumentReplaysStoppedNote, B::FadeStartsAtEnvelopeEnd, B::NoteRestartsEnvelopes,
                   B::NotePanningLeavesChannel, B::SurroundAtCentreGains, B::EvenPanningLaw, B::PanningReachesRight,
                   B::SongWrapKeepsBreakRow, B::SampleAutoVibrato, B::ZeroRowDelayCounts,
                   B::EnvelopeLoopsIncludeEnd, B::FineEnvelopeSteps, B::InstrumentNumberKeepsFade,
                   B::PortamentoStartsStoppedNote, B::ExactAmigaNotePitch, B::HalfFilterDamping, B::FullCutoffLeavesFilter, B::NoteResetsFilter,
                   B::MacroMessages, B::FineFilterEnvelope, B::LastNoteStartsAtC0, B::LinearOctaveBelowC0,
                   B::SlidesMoveFrequency, B::VolumeSlidesRampAcrossTick, B::OutputRoundsToNearest,
                   B::ShortPingPongLoops, B::FineSampleSteps})
        Set.Set(Rule);
    // Header flag 4: the song plays instruments, not samples alone.
    if (Flags & 0x04)
        Set.Set(B::MissingInstrumentSilencesNotes).Set(B::LoneInstrumentSwitchesSample).Set(B::NoteWithoutSampleIgnored);
    else
        Set.Set(B::LoneSampleNumberSwitchesSample);
    // Header flag 0x10, old effects: an instrument number restarts the
    // envelopes as Scream Tracker 3 and Fasttracker 2 do.
    if (!(Flags & 0x10)) {
        Set.Set(B::LoneInstrumentKeepsEnvelopes);
        if (Flags & 0x20) Set.Set(B::PortamentoInstrumentResetsEnvelopes);
    } else {
        Set.Set(B::KeyOffBeforeInstrument);
    }
    return Set;
}
