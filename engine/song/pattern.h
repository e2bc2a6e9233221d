// Patterns: a grid of cells, one row after another, each row holding one cell
// per channel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One pattern cell. All zero is the empty cell. Each value in the width it
// needs, eight bytes a cell: a long song's patterns are the larger part of
// what it holds besides its samples.
struct TQuavixPatternNote {
    uint16_t Note = 0;            // 0 none, 1..120 C-0..B-9, 121 key off, up to 258 (TQuavixNote)
    uint8_t Instrument = 0;       // 0 none, 1..255
    uint8_t VolumeCommand = 0;    // the volume column, decoded (TQuavixVolumeCommand), 0 none
    uint8_t VolumeParameter = 0;  // 0..64 for a volume, else 0..15 (a tone portamento's speed up to 255)
    uint8_t Effect = 0;           // Extended Module numbering (TQuavixEffect), letters from 64 (TQuavixLetterEffect)
    uint8_t EffectParameter = 0;  // 0..255

    bool IsEmpty() const { return *this == TQuavixPatternNote{}; }
    bool operator==(const TQuavixPatternNote& Other) const {
        return Note == Other.Note && Instrument == Other.Instrument && VolumeCommand == Other.VolumeCommand &&
               VolumeParameter == Other.VolumeParameter && Effect == Other.Effect &&
               EffectParameter == Other.EffectParameter;
    }
    bool operator!=(const TQuavixPatternNote& Other) const { return !(*this == Other); }
};

static_assert(sizeof(TQuavixPatternNote) == 8, "a cell is eight bytes");

using TQuavixPatternNotes = std::vector<TQuavixPatternNote>;

class TQuavixPattern {
public:
    std::string Name;
    TQuavixPatternNotes Notes;  // cell of row r, channel c at r * Channels + c
    int32_t Rows = 0;
    uint8_t Channels = 0;

    TQuavixPattern();
    ~TQuavixPattern();
    TQuavixPattern(const TQuavixPattern&) = delete;
    TQuavixPattern& operator=(const TQuavixPattern&) = delete;

    // Empties the name and the cells; Rows and Channels keep their values, and
    // every read is bounded by the cells, so a cleared pattern reads empty.
    void Clear();
    // Copies out the cell at (Row, Channel), or the empty cell outside the cells.
    void GetNote(TQuavixPatternNote& Cell, int32_t Row, int32_t Channel) const;
    // Stores the cell at (Row, Channel); outside the cells nothing happens.
    void SetNote(int32_t Row, int32_t Channel, const TQuavixPatternNote& Cell);
    // Changes the size, keeping every cell that lies within both the old and
    // the new size; the new cells are empty.
    void Resize(int32_t NewRows, int32_t NewChannels);

private:
    // Index of (Row, Channel) within Notes, or -1 when outside.
    int64_t CellIndex(int32_t Row, int32_t Channel) const;
};
