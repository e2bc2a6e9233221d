// Loading a voice's filter coefficients from the player's table.
#include "mixer/resonant_filter.h"

#include "player/quavix.h"
#include "sequencer/channel.h"
#include "song/module.h"

void TQuavixChannel::SetupFilter(bool ResetHistory, bool BesideNote) {
    if (FilterCutoff < 0) FilterCutoff = 0;
    if (FilterCutoff > 127) FilterCutoff = 127;
    if (FilterResonance < 0) FilterResonance = 0;
    if (FilterResonance > 127) FilterResonance = 127;
    if (Module && Module->Has(TQuavixBehaviour::FullCutoffLeavesFilter) && FilterCutoff >= 127 &&
        FilterResonance == 0) {
        // Nothing to filter: the filter stays as it is, unless a note starts
        // with these settings.
        if (BesideNote) FilterValid = false;
        return;
    }
    // A song loaded into a module of its own, with no player around it, has
    // no table: its voices get the entry that passes the signal unchanged.
    static const TQuavix::TFilterCoefficients PassThrough = {FilterUnit, 0, 0};
    const TQuavix* Player = Module ? Module->Owner : nullptr;
    const bool HalfDamped = Player && Module->Has(TQuavixBehaviour::HalfFilterDamping);
    // The table's entries are 12-bit (4096 = 1.0): 12 bits more make them the
    // filter's own fixed point, the same values.
    TQuavix::TFilterCoefficients Entry = PassThrough;
    if (HalfDamped) {
        // Under a filter envelope the envelope's modifier shapes the cutoff.
        Entry = FilterBaseCutoff >= 0 && FilterModifier != 256
                    ? Player->HalfDampedFilter(FilterBaseCutoff, FilterModifier, FilterResonance)
                    : Player->HalfDampedFilter(FilterCutoff, 256, FilterResonance);
    } else if (Player) {
        for (size_t i = 0; i < Entry.size(); ++i)
            Entry[i] = Player->FilterTable[FilterResonance][FilterCutoff][i] * (FilterUnit / 4096);
    }
    FilterCoefficients = Entry;
    // The high-pass is the complement of the low-pass: input minus low-passed input.
    if (FilterMode == 1) FilterCoefficients[0] = FilterUnit - Entry[0];
    if (ResetHistory) FilterHistory.fill(0);
    FilterValid = true;
}
