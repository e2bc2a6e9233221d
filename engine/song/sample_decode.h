// Sample data decoders: delta-coded 8-bit and 16-bit data (mono, or stereo as
// all left deltas followed by all right deltas) and 4-bit ADPCM. Each decoder
// allocates the sample's data for Count source bytes (ADPCM: Count points)
// and fills it with values on the 16-bit scale; points whose bytes the end of
// the file cut off are silence (0).
#pragma once

#include <cstdint>

class TQuavixLoadCursor;
class TQuavixSample;

// Where a sample's data lies in an Extended Module file, as its header gives
// it: the byte length before any limit, and whether the data is ADPCM.
struct TQuavixSampleSource {
    uint32_t ByteLength = 0;
    bool Compressed = false;
};

// Source data beyond this many bytes per sample is skipped.
constexpr uint32_t QuavixMaxSampleBytes = 524288;

// Count bytes, one signed 8-bit delta each. Stereo data stores all left
// deltas, then all right ones, in StoredBytes bytes (at least Count; more when
// the data is cut by the size limit): each channel keeps its first deltas.
void DecodeDelta8(TQuavixLoadCursor& Cursor, int32_t Count, uint32_t StoredBytes, TQuavixSample& Sample);
inline void DecodeDelta8(TQuavixLoadCursor& Cursor, int32_t Count, TQuavixSample& Sample) {
    DecodeDelta8(Cursor, Count, static_cast<uint32_t>(Count), Sample);
}
// Count bytes of signed 16-bit little-endian deltas; stereo as above.
void DecodeDelta16(TQuavixLoadCursor& Cursor, int32_t Count, uint32_t StoredBytes, TQuavixSample& Sample);
inline void DecodeDelta16(TQuavixLoadCursor& Cursor, int32_t Count, TQuavixSample& Sample) {
    DecodeDelta16(Cursor, Count, static_cast<uint32_t>(Count), Sample);
}
// A table of 16 signed 8-bit deltas, then (Count + 1) / 2 bytes of two 4-bit
// codes each, low nibble first; Count points, mono.
void DecodeAdpcm(TQuavixLoadCursor& Cursor, int32_t Count, TQuavixSample& Sample);

// A sample's pitch from the speed at which its C plays (the C2 speed of
// Scream Tracker 3, the C5 speed of Impulse Tracker; 0 plays at 8363 Hz).
// For Amiga periods formed from it (PeriodsFromC2Speed) the finetune holds
// the speed itself, held below 65536 Hz; for linear periods it becomes a
// transposition in semitones and a finetune in 128ths of one, to the
// nearest 64th of a semitone.
void QuavixSetPitchFromC2Speed(TQuavixSample& Sample, uint32_t C2Speed, bool AmigaPeriods);

// Plain PCM: Frames points of one channel from Bytes (8-bit, or 16-bit
// little-endian) into every Stride-th value from Out on, on the 16-bit
// scale. Unsigned data has its top bit flipped; delta data adds up, wrapping
// at its width. The caller holds Frames points of Bytes.
void QuavixDecodePcm(const uint8_t* Bytes, int32_t Frames, bool SixteenBit, bool Signed, bool Delta, int16_t* Out,
                     int32_t Stride);
