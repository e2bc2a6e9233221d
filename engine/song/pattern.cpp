#include "song/pattern.h"

TQuavixPattern::TQuavixPattern() { Clear(); }

TQuavixPattern::~TQuavixPattern() { Clear(); }

void TQuavixPattern::Clear() {
    Name.clear();
    TQuavixPatternNotes().swap(Notes);
}

int64_t TQuavixPattern::CellIndex(int32_t Row, int32_t Channel) const {
    // Computed wide so that no row or channel number can wrap the index.
    int64_t Index = static_cast<int64_t>(Channels) * Row + Channel;
    if (Index < 0 || Index >= static_cast<int64_t>(Notes.size())) return -1;
    return Index;
}

void TQuavixPattern::GetNote(TQuavixPatternNote& Cell, int32_t Row, int32_t Channel) const {
    int64_t Index = CellIndex(Row, Channel);
    Cell = Index < 0 ? TQuavixPatternNote() : Notes[static_cast<size_t>(Index)];
}

void TQuavixPattern::SetNote(int32_t Row, int32_t Channel, const TQuavixPatternNote& Cell) {
    int64_t Index = CellIndex(Row, Channel);
    if (Index >= 0) Notes[static_cast<size_t>(Index)] = Cell;
}

void TQuavixPattern::Resize(int32_t NewRows, int32_t NewChannels) {
    int32_t OldRows = Rows;
    int32_t OldChannels = Channels;
    Rows = NewRows;
    Channels = static_cast<uint8_t>(NewChannels);
    if (Rows <= 0 || Channels == 0) {
        TQuavixPatternNotes().swap(Notes);
        return;
    }
    TQuavixPatternNotes Old;
    Old.swap(Notes);
    Notes.assign(static_cast<size_t>(Rows) * Channels, TQuavixPatternNote());
    for (int32_t r = 0; r < Rows && r < OldRows; ++r)
        for (int32_t c = 0; c < Channels && c < OldChannels; ++c) {
            size_t OldIndex = static_cast<size_t>(OldChannels) * static_cast<size_t>(r) + static_cast<size_t>(c);
            if (OldIndex < Old.size()) Notes[static_cast<size_t>(r) * Channels + c] = Old[OldIndex];
        }
}
