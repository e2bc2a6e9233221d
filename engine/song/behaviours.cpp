#include "song/behaviours.h"

const char* QuavixFormatName(TQuavixFormat Format) {
    switch (Format) {
        case TQuavixFormat::ExtendedModule: return "xm";
        case TQuavixFormat::PatternFormat: return "mod";
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
                   B::RestartKeepsSpeedAndTempo, B::FineSlidesOnRowRepeats})
        Set.Set(Only);
    return Set;
}

TQuavixBehaviours QuavixSoundtrackerBehaviours() {
    using B = TQuavixBehaviour;
    return QuavixPatternFormatBehaviours().Set(B::LoopStartInBytes).Set(B::LoopOnlySounds);
}
