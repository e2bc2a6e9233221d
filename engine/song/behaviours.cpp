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

TQuavixBehaviours QuavixProTrackerBehaviours() {
    using B = TQuavixBehaviour;
    return {B::PortamentoStartsSilentNote, B::InstrumentTakesNextSample, B::AmigaClockChoice};
}

TQuavixBehaviours QuavixSoundtrackerBehaviours() {
    using B = TQuavixBehaviour;
    return QuavixProTrackerBehaviours().Set(B::LoopStartInBytes).Set(B::LoopOnlySounds);
}
