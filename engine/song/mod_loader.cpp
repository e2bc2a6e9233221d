// The pattern-format reader: 31 sample headers with a four-character tag
// that names the channel count, or the older tagless form with 15 samples.
// Every sample becomes an instrument of its own, Amiga periods become note
// numbers, and the 8-bit sample data is scaled to the 16-bit range.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "sequencer/channel.h"
#include "song/load_cursor.h"
#include "song/loaders.h"
#include "song/module.h"
#include "song/sample_decode.h"
#include "song/units.h"

namespace {

constexpr uint32_t TaggedHeaderSize = 1084;
constexpr uint32_t OldHeaderSize = 600;
constexpr uint32_t TagOffset = 1080;
constexpr int32_t TaggedSampleCount = 31;
constexpr int32_t OldSampleCount = 15;
constexpr uint32_t RowsPerPattern = 64;
constexpr uint32_t CellSize = 4;
constexpr uint32_t MaxPatternCount = 128;
constexpr uint32_t OrderCount = 128;
constexpr uint32_t SongNameSize = 20;
constexpr uint32_t SampleNameSize = 22;

// The two forms as users know them, for the reasons a load gives.
const char* const TaggedKind = "pattern-format";
const char* const OldKind = "15-sample pattern-format";

// The periods pattern cells store for notes 25 ("C-2") to 84 ("B-6"),
// falling. A period gives the first note whose period is not above it.
constexpr int32_t CellPeriods[60] = {
    1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960, 906,
    856,  808,  762,  720,  678,  640,  604,  570,  538,  508,  480, 453,
    428,  404,  381,  360,  339,  320,  302,  285,  269,  254,  240, 226,
    214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120, 113,
    107,  101,  95,   90,   85,   80,   75,   71,   67,   63,   60,  56};

// A decimal digit's value; -1 for any other character.
int32_t DigitValue(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }
// The value of two decimal digits; -1 unless both are digits.
int32_t TwoDigitValue(char High, char Low) {
    return DigitValue(High) < 0 || DigitValue(Low) < 0 ? -1 : 10 * DigitValue(High) + DigitValue(Low);
}

// The channel count a tag names; 0 or less for no known tag. The count in a
// numeric tag is made of decimal digits: any other character there makes it
// no tag (pattern data of the tagless form may spell "EXAM" or "ARCH").
int32_t TagChannels(const std::string& Tag) {
    if (Tag == "M.K." || Tag == "M!K!" || Tag == "M&K!" || Tag == "N.T.") return 4;
    if (Tag == "OCTA" || Tag == "OKTA" || Tag == "CD81" || Tag == "WOW!") return 8;
    if (Tag.size() != 4) return 0;
    if (Tag.compare(0, 3, "TDZ") == 0 || Tag.compare(0, 3, "FLT") == 0 || Tag.compare(0, 3, "EXO") == 0)
        return DigitValue(Tag[3]);
    if (Tag.compare(1, 3, "CHN") == 0) return DigitValue(Tag[0]);
    if (Tag.compare(2, 2, "CN") == 0 || Tag.compare(2, 2, "CH") == 0) return TwoDigitValue(Tag[0], Tag[1]);
    if (Tag.compare(0, 2, "EX") == 0) return TwoDigitValue(Tag[2], Tag[3]);
    return 0;
}

struct TModSampleHeader {
    uint8_t Name[SampleNameSize];
    uint16_t LengthWords = 0;
    uint8_t FineTune = 0;
    uint8_t Volume = 0;
    uint16_t LoopStart = 0;  // in words, or in bytes (LoopStartInBytes)
    uint16_t LoopLengthWords = 0;
};

// The header of either form: what the tag says, then the fields in file order.
struct TModHeader {
    std::string Tag;  // empty for the 15-sample form
    int32_t Channels = 0;
    int32_t SampleCount = 0;
    uint32_t Size = 0;  // bytes before the first pattern
    uint8_t Name[SongNameSize];
    std::array<TModSampleHeader, TaggedSampleCount> Samples;
    uint8_t SongLength = 0;
    uint8_t RestartPosition = 0;
    std::array<uint8_t, OrderCount> Orders{};

    // Bytes of sample data the headers announce, all of them or those before
    // the last sample that has any.
    uint32_t SampleBytes() const { return SampleBytesBefore(SampleCount); }
    uint32_t SampleBytesBeforeLast() const {
        int32_t Last = SampleCount;
        while (Last > 0 && Samples[Last - 1].LengthWords == 0) --Last;
        return SampleBytesBefore(Last > 0 ? Last - 1 : 0);
    }
    uint32_t SampleBytesBefore(int32_t Count) const {
        uint32_t Total = 0;
        for (int32_t i = 0; i < Count; ++i) Total += 2u * Samples[i].LengthWords;
        return Total;
    }
};

// The tag at byte 1080, which names the channel count of the 31-sample
// form; empty when the file is too short to hold one.
std::string TagOf(const TQuavixLoadCursor& Cursor) {
    if (Cursor.Length() < TaggedHeaderSize) return {};
    return QuavixFieldText(Cursor.Block() + TagOffset, 4);
}

bool IsPowerPackerTag(const std::string& Tag) { return Tag.size() >= 2 && Tag[0] == 'P' && Tag[1] == 'P'; }

// The channel count of a tag the 31-sample form carries; 0 for none.
// Characters other than digits in a numeric tag give counts no song has;
// such a tag counts as no tag at all (the file may be the tagless 15-sample
// form, whose bytes there are pattern data).
int32_t TaggedChannels(const std::string& Tag) {
    const int32_t Channels = TagChannels(Tag);
    return Channels >= 1 && Channels <= 255 ? Channels : 0;
}

// Step: the form of the file. The tagged form takes its channel count from
// the tag; the 15-sample form has 4 channels.
TQuavixLoadResult ReadTag(TQuavixLoadCursor& Cursor, bool Tagged, TModHeader& Header) {
    if (!Tagged) {
        Header.Channels = 4;
        Header.SampleCount = OldSampleCount;
        Header.Size = OldHeaderSize;
        return {};
    }
    Header.Tag = TagOf(Cursor);
    if (IsPowerPackerTag(Header.Tag)) return TQuavixLoadResult::Unsupported(TaggedKind, "its tag starts with \"PP\"");
    Header.Channels = TaggedChannels(Header.Tag);
    if (Header.Channels == 0) return TQuavixLoadResult::NotModule();
    Header.SampleCount = TaggedSampleCount;
    Header.Size = TaggedHeaderSize;
    return {};
}

// Step: the song name, the sample headers, the song length and the order list.
void ReadHeader(TQuavixLoadCursor& Cursor, TModHeader& Header) {
    Cursor.SetOffset(0);
    Cursor.ReadBytes(Header.Name, SongNameSize);
    for (int32_t i = 0; i < Header.SampleCount; ++i) {
        TModSampleHeader& Sample = Header.Samples[i];
        Cursor.ReadBytes(Sample.Name, SampleNameSize);
        Sample.LengthWords = Cursor.ReadBigEndianWord();
        Sample.FineTune = Cursor.ReadByte();
        Sample.Volume = Cursor.ReadByte();
        Sample.LoopStart = Cursor.ReadBigEndianWord();
        Sample.LoopLengthWords = Cursor.ReadBigEndianWord();
    }
    Header.SongLength = Cursor.ReadByte();
    Header.RestartPosition = Cursor.ReadByte();
    Cursor.ReadBytes(Header.Orders.data(), OrderCount);
}

// The highest pattern the first Count order entries name, plus one (at
// least 1). Entries above 127 name none.
uint32_t PatternsNamed(const TModHeader& Header, uint32_t Count) {
    uint32_t Named = 1;
    for (uint32_t i = 0; i < Count && i < OrderCount; ++i)
        if (Header.Orders[i] <= 127) Named = std::max<uint32_t>(Named, Header.Orders[i] + 1u);
    return Named;
}

// Step, for the 15-sample form, which has no tag: the header must read as
// one the Soundtrackers wrote, which other data (text, pictures, programs,
// noise) does not. Only fields a tracker kept within their ranges are
// judged: the names are not, since these trackers saved whatever bytes lay
// in memory there. These trackers had no finetune: the byte is the high
// byte of the volume word, always 0. On random bytes the finetunes alone
// pass once in 10^36; a file of one byte repeated fails its finetunes, and
// one of zeros its song length. A loop that runs past the sample's end is
// not judged: real files have them, and the loop is cut at the end.
bool IsFifteenSampleHeader(const TModHeader& Header, uint32_t FileLength) {
    if (FileLength < OldHeaderSize) return false;
    // A song plays 1 to 128 positions, each naming one of at most 128
    // patterns; the entries after the song length are not played and may
    // hold anything.
    if (Header.SongLength < 1 || Header.SongLength > OrderCount) return false;
    for (int32_t i = 0; i < Header.SongLength; ++i)
        if (Header.Orders[i] >= MaxPatternCount) return false;
    bool AnyData = false;
    for (int32_t i = 0; i < OldSampleCount; ++i) {
        const TModSampleHeader& Sample = Header.Samples[i];
        // Volumes run 0..64, the finetune byte is 0, and no sample or loop
        // of theirs reached 64 KiB.
        if (Sample.Volume > 64 || Sample.FineTune != 0 || Sample.LengthWords > 32768 ||
            Sample.LoopLengthWords > 32768)
            return false;
        AnyData = AnyData || Sample.LengthWords > 0;
    }
    // A song without a sample would play nothing.
    return AnyData;
}

// Step: how many patterns the file holds, and whether its 4 channels are 8.
uint32_t CountPatterns(TModHeader& Header, uint32_t FileLength) {
    const bool Tagged = Header.SampleCount == TaggedSampleCount;
    // Trackers save the patterns up to the highest one the order list names,
    // whether or not every one of them plays.
    uint32_t Named = PatternsNamed(Header, OrderCount);
    // All but the patterns: the header and the sample data.
    const uint64_t OtherBytes = static_cast<uint64_t>(Header.Size) + Header.SampleBytes();
    // The bytes of one pattern at the channel count as it stands.
    auto PatternBytes = [&Header]() { return static_cast<uint64_t>(Header.Channels) * RowsPerPattern * CellSize; };
    // The Soundtrackers left the entries after the song length as they were
    // in memory, naming patterns the file may not hold: where the file is too
    // short for all of them, the played entries say how many there are.
    if (!Tagged && FileLength < Header.Size + Named * PatternBytes() + Header.SampleBytesBeforeLast())
        Named = PatternsNamed(Header, Header.SongLength);
    // Some trackers saved 8-channel songs under a 4-channel tag. The length
    // tells: it holds exactly the named patterns as 8-channel ones, which
    // as 4-channel ones would be twice the patterns the order list names.
    // The Soundtrackers had 4 channels and no more.
    if (Tagged && Header.Channels == 4 && OtherBytes + Named * 8ull * RowsPerPattern * CellSize == FileLength)
        Header.Channels = 8;
    uint32_t Count = Named;
    // ProTracker holds at most 64 patterns and tags songs with more "M!K!".
    // Under any other tag an order list that names more than 64 is believed
    // only as far as the file has room for the patterns; its other entries
    // are taken for junk. (A file shorter than its header and samples tells
    // no room at all, and the order list stands.)
    if (Tagged && Named > 64 && Header.Tag != "M!K!" && FileLength >= OtherBytes) {
        const uint64_t Room = (FileLength - OtherBytes) / PatternBytes();
        if (Room < Named) Count = static_cast<uint32_t>(Room);
    }
    // The order entries that name patterns reach 127.
    return std::min(Count, MaxPatternCount);
}

// Step, for the 15-sample form, whose length is part of what it is: the
// file must hold all its patterns and the data of every sample but the last;
// more bytes, or a last sample cut short, are what real files have.
TQuavixLoadResult CheckFifteenSampleLength(const TModHeader& Header, uint32_t Patterns, uint32_t FileLength) {
    const uint64_t PatternsEnd =
        Header.Size + static_cast<uint64_t>(Header.Channels) * Patterns * RowsPerPattern * CellSize;
    if (FileLength < PatternsEnd) return TQuavixLoadResult::Damaged(OldKind, "its patterns are cut short");
    if (FileLength < PatternsEnd + Header.SampleBytesBeforeLast())
        return TQuavixLoadResult::Damaged(OldKind, "it ends before its last sample");
    return {};
}

// Step: song settings and one instrument per sample from the header.
void StoreHeader(TQuavixModule& Module, const TModHeader& Header) {
    Module.Name = QuavixFieldText(Header.Name, SongNameSize);
    Module.SongLength = Header.SongLength;
    Module.RestartPosition = Header.RestartPosition;
    std::memcpy(Module.Orders.data(), Header.Orders.data(), OrderCount);
    if (Module.RestartPosition > Module.SongLength) Module.RestartPosition = 0;
    for (int32_t i = 1; i <= Header.SampleCount; ++i) {
        const TModSampleHeader& Stored = Header.Samples[i - 1];
        std::unique_ptr<TQuavixInstrument>& Slot = Module.Instruments[i];
        if (!Slot) Slot.reset(new TQuavixInstrument());
        TQuavixInstrument& Instrument = *Slot;
        Instrument.Clear();
        // A released key (which these songs cannot give) would silence the
        // note within one tick.
        Instrument.FadeOut = QuavixFullFadeout;
        Instrument.VolumeEnvelope->Enabled = false;
        Instrument.PanningEnvelope->Enabled = false;
        Instrument.VibratoRate = 0;
        // Its note map stays 0: every note plays sample slot 0.
        std::unique_ptr<TQuavixSample>& SampleSlot = Instrument.Samples[0];
        if (!SampleSlot) SampleSlot.reset(new TQuavixSample());
        TQuavixSample& Sample = *SampleSlot;
        Sample.Clear();
        // The file names its samples, not its instruments, so the name goes
        // with the sample. Composers wrote the song's message into these
        // names a line each, laid out with leading spaces: only the padding
        // at the end goes.
        Sample.Name = QuavixFieldText(Stored.Name, SampleNameSize);
        while (!Sample.Name.empty() && static_cast<unsigned char>(Sample.Name.back()) <= ' ') Sample.Name.pop_back();
        Sample.Bits = 8;
        Sample.NumChannels = 1;
        Sample.Length = 2 * Stored.LengthWords;
        Sample.LoopStart = Module.Has(TQuavixBehaviour::LoopStartInBytes) ? Stored.LoopStart : 2 * Stored.LoopStart;
        Sample.LoopLength = 2 * Stored.LoopLengthWords;
        Sample.Loop = false;
        Sample.FineTune = TQuavixModule::ConvertFineTune(Stored.FineTune);
        Sample.Volume = Stored.Volume;
        Sample.Panning = 128;
        Sample.HasPanning = false;
    }
}

// Step: Count patterns of 64 rows, each row one cell per channel, from the
// end of the header on. Cells past the end of the file are empty, and the
// result warns of the patterns they belong to.
void ReadPatterns(TQuavixLoadCursor& Cursor, TQuavixModule& Module, const TModHeader& Header, uint32_t Count,
                  TQuavixLoadResult& Result) {
    Cursor.SetOffset(Header.Size);
    const uint32_t PatternBytes = static_cast<uint32_t>(Header.Channels) * RowsPerPattern * CellSize;
    int32_t CutShort = 0, Missing = 0;
    for (uint32_t p = 0; p < Count; ++p) {
        if (Cursor.Remaining() == 0)
            ++Missing;
        else if (Cursor.Remaining() < PatternBytes)
            ++CutShort;
        TQuavixPattern& Pattern = *Module.Patterns[p];
        Pattern.Resize(RowsPerPattern, Header.Channels);
        for (uint32_t r = 0; r < RowsPerPattern; ++r)
            for (int32_t c = 0; c < Header.Channels; ++c) {
                uint8_t b[CellSize];
                Cursor.ReadBytes(b, CellSize);
                TQuavixPatternNote Cell;
                Cell.Note = TQuavixModule::PeriodToNote((b[0] & 0x0F) * 256 + b[1]);
                Cell.Instrument = (b[0] & 0xF0) + (b[2] >> 4);
                // Effects 0..F are the Extended Module effects of the same
                // numbers (TQuavixEffect).
                Cell.Effect = b[2] & 0x0F;
                Cell.EffectParameter = b[3];
                Pattern.SetNote(static_cast<int32_t>(r), c, Cell);
            }
    }
    Result.Warn(CutShort, "pattern", "cut short");
    Result.Warn(Missing, "pattern", "missing");
}

// A looped sample that sounds its loop alone (LoopOnlySounds) keeps only
// the loop's points: what lies before or after it is never heard.
void KeepLoopOnly(TQuavixSample& Sample) {
    if (Sample.LoopStart == 0 && Sample.LoopLength == Sample.Length) return;
    std::memmove(Sample.Data, Sample.Data + Sample.LoopStart, static_cast<size_t>(Sample.LoopLength) * sizeof(int16_t));
    Sample.AllocateData(Sample.LoopLength);
    Sample.Length = Sample.LoopLength;
    Sample.LoopStart = 0;
}

// Step: the sample data, in sample order after the patterns: signed 8-bit
// points, or "ADPCM" and the 4-bit form. Data cut short by the end of the
// file is read as far as it goes; the rest of the sample is silence, and
// the result warns of it.
void ReadSamples(TQuavixLoadCursor& Cursor, TQuavixModule& Module, int32_t SampleCount, TQuavixLoadResult& Result) {
    int32_t CutShort = 0, Missing = 0;
    for (int32_t i = 1; i <= SampleCount; ++i) {
        TQuavixSample& Sample = *Module.Instruments[i]->Samples[0];
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
        // The bytes the sample's data takes: its points, or after the mark
        // a table of 16 and a byte for every two points.
        uint32_t Needed = static_cast<uint32_t>(Sample.Length);
        char Mark[5];
        Cursor.ReadBytes(Mark, sizeof(Mark));
        if (std::memcmp(Mark, "ADPCM", sizeof(Mark)) == 0) {
            Needed = static_cast<uint32_t>(sizeof(Mark) + 16 + (Sample.Length + 1) / 2);
            DecodeAdpcm(Cursor, Sample.Length, Sample);
        } else {
            // Plain signed 8-bit data from where the mark was looked for
            // (from there even when the file ended within the mark).
            Cursor.SetOffset(DataStart);
            Sample.AllocateData(Sample.Length);
            uint32_t Available = 0;
            const uint8_t* Bytes = Cursor.Take(static_cast<uint32_t>(Sample.Length), Available);
            for (uint32_t k = 0; k < Available; ++k) Sample.Data[k] = static_cast<int16_t>(static_cast<int8_t>(Bytes[k]) * 256);
        }
        const int64_t Held = std::max<int64_t>(0, static_cast<int64_t>(Cursor.Length()) - DataStart);
        if (Held == 0)
            ++Missing;
        else if (Held < Needed)
            ++CutShort;
        if (Sample.Loop && Module.Has(TQuavixBehaviour::LoopOnlySounds)) KeepLoopOnly(Sample);
        Sample.PrepareData();
    }
    Result.Warn(CutShort, "sample", "cut short");
    Result.Warn(Missing, "sample", "missing");
}

// Step, for songs of Ultimate Soundtracker, the first of the trackers: it
// had two effects, 1xy and 2xy, and wrote 120 in the tempo byte where later
// Soundtrackers put other values. A song whose cells use these two effects
// and no other, with that byte, is taken for one of its songs.
bool IsUltimateSoundtrackerSong(const TQuavixModule& Module, const TModHeader& Header, uint32_t Patterns) {
    if (Header.RestartPosition != 120) return false;
    for (uint32_t p = 0; p < Patterns; ++p) {
        const TQuavixPattern& Pattern = *Module.Patterns[p];
        for (int32_t r = 0; r < Pattern.Rows; ++r)
            for (int32_t c = 0; c < Pattern.Channels; ++c) {
                TQuavixPatternNote Cell;
                Pattern.GetNote(Cell, r, c);
                const bool NoEffect = Cell.Effect == TQuavixEffect::Arpeggio && Cell.EffectParameter == 0;
                if (!NoEffect && Cell.Effect != 1 && Cell.Effect != 2) return false;
            }
    }
    return true;
}

// Ultimate Soundtracker's effects as the engine's: 1xy is the arpeggio
// (0xy), 2xy bends the pitch up by y period units a tick or, where y is 0,
// down by x (a portamento 1 0y or 2 0x, which plays the same without a
// memory to use: its parameter is never 0).
TQuavixPatternNote UltimateSoundtrackerCell(TQuavixPatternNote Cell) {
    if (Cell.Effect == 1) {
        Cell.Effect = TQuavixEffect::Arpeggio;
    } else if (Cell.Effect == 2) {
        const int32_t Up = Cell.EffectParameter & 0x0F, Down = (Cell.EffectParameter >> 4) & 0x0F;
        Cell.Effect = Up != 0 ? TQuavixEffect::PortamentoUp : Down != 0 ? TQuavixEffect::PortamentoDown : TQuavixEffect::Arpeggio;
        Cell.EffectParameter = Up != 0 ? Up : Down;
    }
    return Cell;
}

void ConvertUltimateSoundtrackerEffects(TQuavixModule& Module, uint32_t Patterns) {
    for (uint32_t p = 0; p < Patterns; ++p) {
        TQuavixPattern& Pattern = *Module.Patterns[p];
        for (int32_t r = 0; r < Pattern.Rows; ++r)
            for (int32_t c = 0; c < Pattern.Channels; ++c) {
                TQuavixPatternNote Cell;
                Pattern.GetNote(Cell, r, c);
                Pattern.SetNote(r, c, UltimateSoundtrackerCell(Cell));
            }
    }
}

// Whether ProTracker can have written the file, which then plays by its
// rules: four channels, no sample whose data has a loop length of no words
// (ProTracker writes at least one), and no note beyond its three octaves
// (C-1 to B-3, periods 856 to 113). Other trackers wrote the rest, and their
// players play them by the rules the pattern format's players share.
bool ProTrackerCanHaveWritten(const TModHeader& Header, const TQuavixModule& Module, uint32_t Patterns) {
    constexpr int32_t LowestNote = 37, HighestNote = 72;  // C-1 and B-3 as cells hold them
    if (Header.Channels != 4) return false;
    for (int32_t i = 0; i < Header.SampleCount; ++i)
        if (Header.Samples[i].LengthWords > 0 && Header.Samples[i].LoopLengthWords == 0) return false;
    TQuavixPatternNote Cell;
    for (uint32_t p = 0; p < Patterns; ++p)
        for (int32_t r = 0; r < Module.Patterns[p]->Rows; ++r)
            for (int32_t c = 0; c < Header.Channels; ++c) {
                Module.Patterns[p]->GetNote(Cell, r, c);
                if (Cell.Note != 0 && (Cell.Note < LowestNote || Cell.Note > HighestNote)) return false;
            }
    return true;
}

}  // namespace

int32_t TQuavixModule::PeriodToNote(int32_t Period) {
    if (Period == 0) return 0;
    for (int32_t j = 0; j < 60; ++j)
        if (CellPeriods[j] <= Period) return j + 25;
    return 0;
}

int32_t TQuavixModule::ConvertFineTune(int32_t Value) {
    Value = std::max(0, std::min(Value, 15));
    if (Value >= 8) Value -= 16;
    return Value * 16;
}

bool QuavixProbeTaggedPatternFormat(const TQuavixLoadCursor& Cursor) {
    const std::string Tag = TagOf(Cursor);
    return IsPowerPackerTag(Tag) || TaggedChannels(Tag) != 0;
}

// Any data may be a 15-sample file: its header is judged when it loads.
bool QuavixProbeFifteenSampleFormat(const TQuavixLoadCursor&) { return true; }

TQuavixLoadResult TQuavixModule::LoadTaggedPatternFormat(TQuavixLoadCursor& Cursor) {
    return LoadPatternFormat(Cursor, true);
}

TQuavixLoadResult TQuavixModule::LoadFifteenSampleFormat(TQuavixLoadCursor& Cursor) {
    return LoadPatternFormat(Cursor, false);
}

TQuavixLoadResult TQuavixModule::LoadPatternFormat(TQuavixLoadCursor& Cursor, bool Tagged) {
    const uint32_t FileLength = Cursor.Length();
    TModHeader Header;
    TQuavixLoadResult Result = ReadTag(Cursor, Tagged, Header);
    if (!Result) return Result;
    ReadHeader(Cursor, Header);
    // A tag says what the file is, whatever its length; the 15-sample form
    // has to show it.
    if (!Tagged && !IsFifteenSampleHeader(Header, FileLength)) return TQuavixLoadResult::NotModule();
    const uint32_t Patterns = CountPatterns(Header, FileLength);
    if (!Tagged) {
        Result = CheckFifteenSampleLength(Header, Patterns, FileLength);
        if (!Result) return Result;
    }

    // The tracker's behaviours first: some of them say how to read the file.
    Behaviours = Tagged ? QuavixProTrackerBehaviours() : QuavixSoundtrackerBehaviours();
    StoreHeader(*this, Header);
    // Amiga stereo: left, right, right, left in every complete group of four.
    static constexpr int32_t GroupPanning[4] = {0, 255, 255, 0};
    for (int32_t c = 0; c < Header.Channels / 4 * 4; ++c) Channels[c]->DefaultPanning = GroupPanning[c % 4];
    ReadPatterns(Cursor, *this, Header, Patterns, Result);
    Rules = Tagged ? "ProTracker" : "Soundtracker";
    if (Tagged && !ProTrackerCanHaveWritten(Header, *this, Patterns)) {
        Behaviours = QuavixPatternFormatBehaviours();
        Rules = "pattern format";
    }
    if (!Tagged && IsUltimateSoundtrackerSong(*this, Header, Patterns)) {
        Behaviours.Set(TQuavixBehaviour::UltimateSoundtrackerEffects);
        Rules = "Ultimate Soundtracker";
        ConvertUltimateSoundtrackerEffects(*this, Patterns);
    }
    ReadSamples(Cursor, *this, Header.SampleCount, Result);

    NumChannels = Header.Channels;
    LinearSlides = false;
    Format = TQuavixFormat::PatternFormat;
    FormatTag = Header.Tag;
    Loaded = true;
    return Result;
}
