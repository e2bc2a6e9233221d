// The pattern-format reader: 31 sample headers with a four-character tag
// that names the channel count, or the older tagless form with 15 samples.
// Every sample becomes an instrument of its own, Amiga periods become note
// numbers, and the 8-bit sample data is scaled to the 16-bit range.
#include <algorithm>
#include <cstring>
#include <string>

#include "sequencer/channel.h"
#include "song/load_cursor.h"
#include "song/module.h"
#include "song/sample_decode.h"

namespace {

constexpr uint32_t TaggedHeaderSize = 1084;
constexpr uint32_t OldHeaderSize = 600;
constexpr uint32_t TagOffset = 1080;
constexpr uint32_t SampleHeaderSize = 30;
constexpr uint32_t RowsPerPattern = 64;
constexpr uint32_t MaxPatternCount = 128;
constexpr uint32_t OrderCount = 128;

// Amiga periods of notes 25 ("C-2") to 84 ("B-6"), falling.
constexpr int32_t AmigaPeriods[60] = {
    1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960, 906,
    856,  808,  762,  720,  678,  640,  604,  570,  538,  508,  480, 453,
    428,  404,  381,  360,  339,  320,  302,  285,  269,  254,  240, 226,
    214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120, 113,
    107,  101,  95,   90,   85,   80,   75,   71,   67,   63,   60,  56};

int32_t DigitValue(char c) { return static_cast<int32_t>(static_cast<unsigned char>(c)) - '0'; }

// The channel count a tag names; 0 for no known tag.
int32_t TagChannels(const std::string& Tag) {
    if (Tag == "M.K." || Tag == "M!K!" || Tag == "M&K!" || Tag == "N.T.") return 4;
    if (Tag == "OCTA" || Tag == "OKTA" || Tag == "CD81" || Tag == "WOW!") return 8;
    if (Tag.size() != 4) return 0;
    if (Tag.compare(0, 3, "TDZ") == 0) return DigitValue(Tag[3]);
    if (Tag.compare(0, 3, "FLT") == 0 || Tag.compare(0, 3, "EXO") == 0) {
        int32_t Count = DigitValue(Tag[3]);
        return Count >= -9 && Count <= -2 ? 0 : Count;
    }
    if (Tag.compare(1, 3, "CHN") == 0) return DigitValue(Tag[0]);
    if (Tag.compare(2, 2, "CN") == 0 || Tag.compare(2, 2, "CH") == 0)
        return 10 * DigitValue(Tag[0]) + DigitValue(Tag[1]);
    if (Tag.compare(0, 2, "EX") == 0) return 10 * DigitValue(Tag[2]) + DigitValue(Tag[3]);
    return 0;
}

uint32_t BigEndianWord(const uint8_t* Bytes) { return (static_cast<uint32_t>(Bytes[0]) << 8) | Bytes[1]; }

}  // namespace

int32_t TQuavixModule::PeriodToNote(int32_t Period) {
    if (Period == 0) return 0;
    for (int32_t j = 0; j < 60; ++j)
        if (AmigaPeriods[j] <= Period) return j + 25;
    return 0;
}

int32_t TQuavixModule::ConvertFineTune(int32_t Value) {
    Value = std::max(0, std::min(Value, 15));
    if (Value >= 8) Value -= 16;
    return Value * 16;
}

bool TQuavixModule::LoadPatternFormat(TQuavixLoadCursor& Cursor) {
    Name.clear();
    Cursor.SetOffset(0);
    uint8_t Header[TaggedHeaderSize];
    Cursor.ReadBytes(Header, TaggedHeaderSize);
    if (Header[TagOffset] == 'P' && Header[TagOffset + 1] == 'P') return false;

    const std::string Tag = QuavixFieldText(Header + TagOffset, 4);
    int32_t ChannelCount = TagChannels(Tag);
    // Characters other than digits in a numeric tag give counts no song has;
    // such a tag counts as no tag at all, so the file is tried as the
    // tagless 15-sample form (whose bytes here are song data) and, like any
    // file, loads only when its length matches what it holds.
    if (ChannelCount < 1 || ChannelCount > 255) ChannelCount = 0;
    int32_t SampleCount = 31;
    uint32_t HeaderSize = TaggedHeaderSize;
    if (ChannelCount == 0) {
        SampleCount = 15;
        ChannelCount = 4;
        HeaderSize = OldHeaderSize;
        Cursor.SetOffset(0);
        Cursor.ReadBytes(Header, OldHeaderSize);
    }

    const uint8_t* SongInfo = Header + 20 + SampleCount * SampleHeaderSize;
    Name = QuavixFieldText(Header, 20);
    SongLength = SongInfo[0];
    RestartPosition = SongInfo[1];
    std::memcpy(Orders.data(), SongInfo + 2, OrderCount);
    if (RestartPosition > SongLength) RestartPosition = 0;

    uint32_t TotalSampleBytes = 0;
    for (int32_t i = 1; i <= SampleCount; ++i) {
        const uint8_t* SampleHeader = Header + 20 + (i - 1) * SampleHeaderSize;
        std::unique_ptr<TQuavixInstrument>& Slot = Instruments[i];
        if (!Slot) Slot.reset(new TQuavixInstrument());
        TQuavixInstrument& Instrument = *Slot;
        Instrument.Clear();
        Instrument.FadeOut = 65536;
        Instrument.VolumeEnvelope->Enabled = false;
        Instrument.PanningEnvelope->Enabled = false;
        Instrument.VibratoRate = 0;
        std::unique_ptr<TQuavixSample>& SampleSlot = Instrument.Samples[0];
        if (!SampleSlot) SampleSlot.reset(new TQuavixSample());
        TQuavixSample& Sample = *SampleSlot;
        Sample.Clear();
        Sample.Bits = 8;
        Sample.NumChannels = 1;
        Sample.Length = static_cast<int32_t>(2 * BigEndianWord(SampleHeader + 22));
        Sample.LoopStart = static_cast<int32_t>(2 * BigEndianWord(SampleHeader + 26));
        Sample.LoopLength = static_cast<int32_t>(2 * BigEndianWord(SampleHeader + 28));
        Sample.Loop = false;
        Sample.FineTune = ConvertFineTune(SampleHeader[24]);
        Sample.Volume = SampleHeader[25];
        Sample.Panning = 128;
        Sample.HasPanning = false;
        TotalSampleBytes += static_cast<uint32_t>(Sample.Length);
    }

    // The pattern count: one more than the highest pattern the order list
    // names, checked against what the file length leaves room for.
    uint32_t P = 1;
    for (uint32_t i = 0; i < OrderCount; ++i)
        if (Orders[i] <= 127) P = std::max<uint32_t>(P, Orders[i] + 1u);
    const uint32_t BlockLength = Cursor.Length();
    if (ChannelCount == 4 &&
        HeaderSize + static_cast<uint64_t>(P) * 2048 + TotalSampleBytes == static_cast<uint64_t>(BlockLength))
        ChannelCount = 8;
    // Unsigned, as the file length may fall short of the header and samples
    // (the length check below then rejects the file whatever the count).
    uint32_t Q = (BlockLength - HeaderSize - TotalSampleBytes) / (static_cast<uint32_t>(ChannelCount) * 256);
    if (SampleCount == 15)
        Q = P;
    else if (Q > 64 && P <= 64)
        Q = P;
    uint32_t N;
    if (Q == P)
        N = Q;
    else if (P < Q)
        N = P;
    else if (P <= 64)
        N = P;
    else
        N = Tag == "M!K!" ? P : Q;
    N = std::min(N, MaxPatternCount);

    // The file must hold exactly the header, the patterns and the samples.
    if (HeaderSize + static_cast<uint64_t>(ChannelCount) * N * 256 + TotalSampleBytes !=
        static_cast<uint64_t>(BlockLength)) {
        Clear();
        return false;
    }

    // Amiga stereo: left, right, right, left in every complete group of four.
    static constexpr int32_t GroupPanning[4] = {0, 255, 255, 0};
    for (int32_t c = 0; c < ChannelCount / 4 * 4; ++c) Channels[c]->DefaultPanning = GroupPanning[c % 4];

    for (uint32_t p = 0; p < N; ++p) {
        TQuavixPattern& Pattern = *Patterns[p];
        Pattern.Resize(RowsPerPattern, ChannelCount);
        for (uint32_t r = 0; r < RowsPerPattern; ++r)
            for (int32_t c = 0; c < ChannelCount; ++c) {
                uint8_t b[4];
                Cursor.ReadBytes(b, 4);
                TQuavixPatternNote Cell;
                Cell.Note = PeriodToNote((b[0] & 0x0F) * 256 + b[1]);
                Cell.Instrument = (b[0] & 0xF0) + (b[2] >> 4);
                Cell.Volume = 0;
                Cell.Effect = b[2] & 0x0F;
                Cell.EffectParameter = b[3];
                Pattern.SetNote(static_cast<int32_t>(r), c, Cell);
            }
    }

    for (int32_t i = 1; i <= SampleCount; ++i) {
        TQuavixSample& Sample = *Instruments[i]->Samples[0];
        // A sample of no length takes no bytes.
        if (Sample.Length <= 1) continue;
        if (Sample.LoopStart > Sample.Length) {
            Sample.LoopStart = 0;
            Sample.LoopLength = 0;
        }
        if (Sample.LoopStart + Sample.LoopLength > Sample.Length) Sample.LoopLength = Sample.Length - Sample.LoopStart;
        // The usual loop of one word means no loop.
        if (Sample.LoopLength < 2) Sample.LoopLength = 2;
        Sample.Loop = Sample.LoopLength > 2;
        const int64_t DataStart = Cursor.Offset();
        char Mark[5];
        Cursor.ReadBytes(Mark, sizeof(Mark));
        if (std::memcmp(Mark, "ADPCM", sizeof(Mark)) == 0) {
            DecodeAdpcm(Cursor, Sample.Length, Sample);
        } else {
            // Plain signed 8-bit data from where the mark was looked for
            // (from there even when the file ended within the mark).
            Cursor.SetOffset(DataStart);
            Sample.AllocateData(Sample.Length);
            uint32_t Available = 0;
            const uint8_t* Bytes = Cursor.Take(static_cast<uint32_t>(Sample.Length), Available);
            for (uint32_t k = 0; k < Available; ++k) Sample.Data[k] = static_cast<int8_t>(Bytes[k]) * 256;
        }
        Sample.PrepareData();
    }

    NumChannels = ChannelCount;
    LinearSlides = false;
    FormatName = "mod";
    FormatTag = SampleCount == 31 ? Tag : std::string();
    Loaded = true;
    return true;
}
