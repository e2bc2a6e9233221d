// Sample data: decoding the stored forms into 16-bit values (8-bit points
// scaled up by 256), byte lengths to frames, and the guard frames around the data.
#include "song/sample_decode.h"

#include <algorithm>
#include <limits>

#include "sequencer/tables.h"
#include "song/instrument.h"
#include "song/load_cursor.h"
#include "song/module.h"

namespace {

// Sums wrap at the width of the stored points, as the trackers' own decoders do.
inline int8_t Wrap8(int32_t Value) { return static_cast<int8_t>(static_cast<uint8_t>(Value)); }
inline int16_t Wrap16(int32_t Value) { return static_cast<int16_t>(static_cast<uint16_t>(Value)); }

// Decodes Deltas 8-bit deltas into every Stride-th value from First on.
void Delta8Channel(TQuavixLoadCursor& Cursor, int32_t Deltas, int16_t* First, int32_t Stride) {
    uint32_t Available = 0;
    const uint8_t* Bytes = Cursor.Take(static_cast<uint32_t>(Deltas), Available);
    int8_t Accumulator = 0;
    for (uint32_t k = 0; k < Available; ++k) {
        Accumulator = Wrap8(Accumulator + static_cast<int8_t>(Bytes[k]));
        First[static_cast<size_t>(k) * Stride] = static_cast<int16_t>(Accumulator * 256);
    }
    // What the end of the file cut off is silence, as other players play it
    // (a level held on would be a step of up to full scale where it ends).
    for (int32_t k = static_cast<int32_t>(Available); k < Deltas; ++k) First[static_cast<size_t>(k) * Stride] = 0;
}

// Decodes Deltas 16-bit little-endian deltas into every Stride-th value.
void Delta16Channel(TQuavixLoadCursor& Cursor, int32_t Deltas, int16_t* First, int32_t Stride) {
    uint32_t Available = 0;
    const uint8_t* Bytes = Cursor.Take(2 * static_cast<uint32_t>(Deltas), Available);
    int16_t Accumulator = 0;
    for (int32_t k = 0; k < Deltas; ++k) {
        uint32_t Low = 2 * static_cast<uint32_t>(k);
        // Past the end of the file: silence, as above.
        if (Low >= Available) {
            First[static_cast<size_t>(k) * Stride] = 0;
            continue;
        }
        // A word cut by the end of the file keeps the byte that is there.
        uint32_t Word = Bytes[Low];
        if (Low + 1 < Available) Word |= static_cast<uint32_t>(Bytes[Low + 1]) << 8;
        Accumulator = Wrap16(Accumulator + static_cast<int16_t>(static_cast<uint16_t>(Word)));
        First[static_cast<size_t>(k) * Stride] = Accumulator;
    }
}

}  // namespace

void DecodeDelta8(TQuavixLoadCursor& Cursor, int32_t Count, uint32_t StoredBytes, TQuavixSample& Sample) {
    Sample.AllocateData(Count);
    if (!Sample.Data) return;
    if (Sample.NumChannels == 2) {
        // The right deltas start after all the left ones stored, also after
        // those cut off by the size limit.
        const int64_t Start = Cursor.Offset();
        Delta8Channel(Cursor, Count / 2, Sample.Data, 2);
        Cursor.SetOffset(Start + StoredBytes / 2);
        Delta8Channel(Cursor, Count / 2, Sample.Data + 1, 2);
    } else {
        Delta8Channel(Cursor, Count, Sample.Data, 1);
    }
}

void DecodeDelta16(TQuavixLoadCursor& Cursor, int32_t Count, uint32_t StoredBytes, TQuavixSample& Sample) {
    Sample.AllocateData(Count / 2);
    if (!Sample.Data) return;
    if (Sample.NumChannels == 2) {
        const int64_t Start = Cursor.Offset();
        Delta16Channel(Cursor, Count / 4, Sample.Data, 2);
        Cursor.SetOffset(Start + 2 * static_cast<int64_t>(StoredBytes / 4));
        Delta16Channel(Cursor, Count / 4, Sample.Data + 1, 2);
    } else {
        Delta16Channel(Cursor, Count / 2, Sample.Data, 1);
    }
}

void DecodeAdpcm(TQuavixLoadCursor& Cursor, int32_t Count, TQuavixSample& Sample) {
    uint8_t Table[16];
    Cursor.ReadBytes(Table, sizeof(Table));
    Sample.AllocateData(Count);
    if (!Sample.Data) return;
    uint32_t CodeBytes = (static_cast<uint32_t>(Count) + 1) / 2;
    uint32_t Available = 0;
    const uint8_t* Codes = Cursor.Take(CodeBytes, Available);
    int8_t Accumulator = 0;
    // Points whose codes the end of the file cut off are silence, as above.
    for (uint32_t i = 0; i < CodeBytes; ++i) {
        int32_t k = static_cast<int32_t>(2 * i);
        if (i >= Available) {
            Sample.Data[k] = 0;
            if (k + 1 < Count) Sample.Data[k + 1] = 0;
            continue;
        }
        uint8_t Code = Codes[i];
        Accumulator = Wrap8(Accumulator + static_cast<int8_t>(Table[Code & 0x0F]));
        Sample.Data[k] = static_cast<int16_t>(Accumulator * 256);
        // With an odd count the last high nibble gives no point.
        if (k + 1 < Count) {
            Accumulator = Wrap8(Accumulator + static_cast<int8_t>(Table[Code >> 4]));
            Sample.Data[k + 1] = static_cast<int16_t>(Accumulator * 256);
        }
    }
}

bool TQuavixModule::ReadSampleData(TQuavixLoadCursor& Cursor, TQuavixInstrument& Instrument,
                                   const std::vector<TQuavixSampleSource>& Sources, int32_t& CutShort,
                                   int32_t& Missing) {
    for (size_t s = 0; s < Sources.size(); ++s) {
        const TQuavixSampleSource& Source = Sources[s];
        int64_t End = Cursor.Offset() + Source.ByteLength;
        if (Source.Compressed) {
            // ADPCM data takes its 16-byte table and one byte per two points,
            // and the next sample's data starts right after it: that is how
            // the trackers that write this form lay out their files. (An empty
            // sample stores no table.)
            End = Source.ByteLength == 0 ? Cursor.Offset()
                                         : Cursor.Offset() + 16 + (static_cast<int64_t>(Source.ByteLength) + 1) / 2;
        }
        // Samples past the last slot an instrument has are skipped by their data.
        TQuavixSample* Sample = s < Instrument.Samples.size() ? Instrument.Samples[s].get() : nullptr;
        if (Sample && Source.ByteLength > 0 && Cursor.Remaining() == 0)
            ++Missing;
        else if (Sample && Cursor.Offset() + Cursor.Remaining() < End)
            ++CutShort;
        if (Sample && Cursor.Remaining() == 0) {
            // Not one byte of this sample is in the file: it gets no data
            // rather than a block of silence as long as its header claims, so
            // that a small damaged file cannot make the player reserve
            // gigabytes of zeros. A sample cut short keeps its full length.
            Sample->AllocateData(0);
            Sample->Length = 0;
            Sample->Loop = false;
            Sample->LoopStart = 0;
            Sample->LoopLength = 0;
        } else if (Sample) {
            Sample->Length = static_cast<int32_t>(std::min(Source.ByteLength, QuavixMaxSampleBytes));
            if (Source.ByteLength > QuavixMaxSampleBytes) {
                if (Sample->LoopStart > Sample->Length) {
                    Sample->LoopStart = 0;
                    Sample->Loop = false;
                }
                // The cut may leave the loop's end past the data: the loop then
                // ends with the data, and a loop left with no length is off.
                if (static_cast<int64_t>(Sample->LoopStart) + Sample->LoopLength > Sample->Length) {
                    Sample->LoopLength = Sample->Length - Sample->LoopStart;
                    if (Sample->LoopLength == 0) Sample->Loop = false;
                }
            }
            if (Sample->Length > 0) {
                if (Sample->Compressed) {
                    DecodeAdpcm(Cursor, Sample->Length, *Sample);
                } else if (Sample->Bits == 16) {
                    DecodeDelta16(Cursor, Sample->Length, Source.ByteLength, *Sample);
                    Sample->Length /= 2;
                    Sample->LoopStart /= 2;
                    Sample->LoopLength /= 2;
                } else {
                    DecodeDelta8(Cursor, Sample->Length, Source.ByteLength, *Sample);
                }
                if (Sample->NumChannels == 2) {
                    Sample->Length /= 2;
                    Sample->LoopStart /= 2;
                    Sample->LoopLength /= 2;
                }
                // A loop shorter than one frame (an odd byte count of 16-bit or
                // stereo data) has nothing to repeat: the sample plays through.
                if (Sample->LoopLength <= 0) Sample->Loop = false;
                Sample->PrepareData();
            }
        }
        Cursor.SetOffset(End);
    }
    return true;
}

void TQuavixSample::PrepareData() {
    if (!Data || Length <= 0 || (NumChannels != 1 && NumChannels != 2)) return;
    const int32_t C = NumChannels;
    // The frames must lie within the values the block holds; the guard values
    // around them then take the copies.
    if (static_cast<int64_t>(Length) * C > FDataCount) return;
    auto CopyFrame = [this, C](int64_t To, int64_t From) {
        for (int32_t c = 0; c < C; ++c) Data[To * C + c] = Data[From * C + c];
    };
    for (int64_t f = -4; f < 0; ++f) CopyFrame(f, 0);
    for (int64_t f = Length; f < Length + 4; ++f) CopyFrame(f, Length - 1);
    // A loop from the first frame comes back to it from the loop's end (or,
    // ping-pong, from the frames after it): the frames before the first one,
    // which only the cubic and sinc loops read, are those, so that the frames
    // around the wrap are the frames the voice plays.
    if (Loop && LoopStart == 0 && LoopLength > 0 && LoopLength <= Length)
        for (int64_t i = 1; i <= 4; ++i)
            CopyFrame(-i, PingPong ? std::min<int64_t>(i, LoopLength - 1) : LoopLength - 1 - (i - 1) % LoopLength);
    if (Loop && !PingPong) {
        // The frames after a forward loop's end repeat its first frames, so
        // the interpolation at the loop's end reads the frames it wraps to,
        // wherever the loop starts: a loop from frame 0 (a single-cycle
        // waveform looped whole) slides into its first frame too. Frame by
        // frame, so that a loop shorter than four frames repeats itself.
        int64_t LoopEnd = static_cast<int64_t>(LoopStart) + LoopLength;
        if (LoopStart >= 0 && LoopLength > 0 && LoopEnd <= Length)
            for (int64_t i = 0; i < 4; ++i) CopyFrame(LoopEnd + i, LoopStart + i);
    } else if (Loop) {
        // A ping-pong loop turns at its end: the frames after it mirror its
        // last frames (and a loop shorter than four frames mirrors on back
        // and forth), so that the interpolation up to the turn and from it
        // reads the frames the voice plays, not the data past the loop.
        const int64_t Start = LoopStart, Frames = LoopLength, LoopEnd = Start + Frames;
        if (Start >= 0 && Frames > 0 && LoopEnd <= Length)
            for (int64_t i = 0; i < 4; ++i) {
                const int64_t Turn = i % (2 * Frames);
                CopyFrame(LoopEnd + i, Turn < Frames ? LoopEnd - 1 - Turn : Start + (Turn - Frames));
            }
    }
}

void QuavixSetPitchFromC2Speed(TQuavixSample& Sample, uint32_t C2Speed, bool AmigaPeriods) {
    if (C2Speed == 0) C2Speed = 8363;
    if (AmigaPeriods) {
        Sample.RelativeNote = 0;
        Sample.FineTune = static_cast<int32_t>(std::min<uint32_t>(C2Speed, 65535));
        return;
    }
    C2Speed = std::min<uint32_t>(C2Speed, 1u << 20);
    // Octaves first: Wanted / Octave lies in (1/2, 1].
    uint64_t Wanted = static_cast<uint64_t>(C2Speed) * 64;
    uint64_t Octave = LinearFrequencies[0];
    int32_t Octaves = 0;
    while (Wanted > Octave) {
        Octave <<= 1;
        ++Octaves;
    }
    while (Wanted * 2 <= Octave) {
        Wanted <<= 1;
        --Octaves;
    }
    const uint32_t Shift = static_cast<uint32_t>(Octave / LinearFrequencies[0]);
    // The table falls from the octave's top; the entry nearest the wanted
    // frequency (step 768 being the octave below).
    int32_t Best = 768;
    uint64_t BestDistance = Wanted - Octave / 2;
    for (int32_t i = 0; i < 768; ++i) {
        const uint64_t Entry = static_cast<uint64_t>(LinearFrequencies[i]) * Shift;
        const uint64_t Distance = Entry > Wanted ? Entry - Wanted : Wanted - Entry;
        if (Distance < BestDistance) {
            Best = i;
            BestDistance = Distance;
        }
    }
    const int32_t Steps = Octaves * 768 - Best;  // 64ths of a semitone from 8363 Hz
    const int32_t Semitones = Steps >= 0 ? Steps / 64 : -((-Steps + 63) / 64);
    Sample.RelativeNote = Semitones;
    Sample.FineTune = (Steps - Semitones * 64) * 2;
}

void QuavixDecodePcm(const uint8_t* Bytes, int32_t Frames, bool SixteenBit, bool Signed, bool Delta, int16_t* Out,
                     int32_t Stride) {
    int32_t Sum = 0;
    for (int32_t k = 0; k < Frames; ++k) {
        int32_t Value;
        if (SixteenBit) {
            uint16_t Word = static_cast<uint16_t>(Bytes[2 * k] | (Bytes[2 * k + 1] << 8));
            if (!Signed) Word ^= 0x8000;
            Value = static_cast<int16_t>(Word);
            if (Delta) Value = Sum = static_cast<int16_t>(Sum + Value);
        } else {
            uint8_t Byte = Bytes[k];
            if (!Signed) Byte ^= 0x80;
            Value = static_cast<int8_t>(Byte);
            if (Delta) Value = Sum = static_cast<int8_t>(Sum + Value);
            Value *= 256;
        }
        Out[static_cast<size_t>(k) * Stride] = static_cast<int16_t>(Value);
    }
}
