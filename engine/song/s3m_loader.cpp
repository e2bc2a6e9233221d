// The Scream Tracker 3 module reader: song header, order list, channel
// settings and default panning, instruments (PCM samples and AdLib voices)
// and packed patterns. Its effects become the engine's own where the engine
// has the same meaning, or the nearest where it does not.
//
// Offsets within the file are parapointers: 16-bit counts of 16-byte
// paragraphs from the start of the file (a sample's data has a 24-bit one).
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "sequencer/channel.h"
#include "sequencer/tables.h"
#include "song/commands.h"
#include "song/load_cursor.h"
#include "song/loaders.h"
#include "song/module.h"
#include "song/sample_decode.h"

namespace {

const char* const S3mKind = "Scream Tracker 3 module";

constexpr uint32_t SignatureOffset = 0x2C;
constexpr uint32_t HeaderSize = 0x60;
constexpr uint32_t FileChannels = 32;
constexpr uint32_t InstrumentHeaderSize = 0x50;
constexpr int32_t PatternRows = 64;
// The order list's markers.
constexpr uint8_t SkipOrder = 254;
constexpr uint8_t EndOrder = 255;
// A pattern cell's special notes.
constexpr uint8_t NoteCut = 254;
constexpr uint8_t NoNote = 255;
// The notes a cell plays: C-0..B-7 (octaves 0..7).
constexpr int32_t NoteCount = 96;
// The byte at 0x35 that says a default panning table follows the pointers.
constexpr uint8_t DefaultPanningPresent = 252;
// Channel settings: 0..7 left, 8..15 right, 16 and on AdLib; bit 7 disabled.
constexpr uint8_t FirstAdLibChannel = 16;
constexpr uint8_t ChannelDisabled = 0x80;
// The C2 speed at which a sample plays C-4 at its own rate.
constexpr uint32_t BaseC2Speed = 8363;
// The master volume ST3 saves by default.
constexpr int32_t DefaultMixVolume = 48;

// The song header's fields, in file order.
struct THeader {
    std::string Name;
    uint16_t OrderCount = 0;
    uint16_t InstrumentCount = 0;
    uint16_t PatternCount = 0;
    uint16_t Flags = 0;
    uint16_t TrackerVersion = 0;
    uint16_t SampleType = 0;  // 1 signed samples, 2 unsigned
    uint8_t GlobalVolume = 64;
    uint8_t Speed = 6;
    uint8_t Tempo = 125;
    uint8_t MasterVolume = 0;  // bit 7: stereo
    uint8_t DefaultPanning = 0;
    std::array<uint8_t, FileChannels> ChannelSettings{};
    std::vector<uint8_t> Orders;
    std::vector<uint16_t> InstrumentPointers;
    std::vector<uint16_t> PatternPointers;
};

// Reads the header and the tables after it; false when the file ends
// within them.
bool ReadHeader(TQuavixLoadCursor& Cursor, THeader& Header) {
    Cursor.SetOffset(0);
    uint8_t Bytes[HeaderSize];
    if (!Cursor.ReadExact(Bytes, HeaderSize)) return false;
    Header.Name = QuavixFieldName(Bytes, 28);
    Header.OrderCount = QuavixGetWord(Bytes + 0x20);
    Header.InstrumentCount = QuavixGetWord(Bytes + 0x22);
    Header.PatternCount = QuavixGetWord(Bytes + 0x24);
    Header.Flags = QuavixGetWord(Bytes + 0x26);
    Header.TrackerVersion = QuavixGetWord(Bytes + 0x28);
    Header.SampleType = QuavixGetWord(Bytes + 0x2A);
    Header.GlobalVolume = Bytes[0x30];
    Header.Speed = Bytes[0x31];
    Header.Tempo = Bytes[0x32];
    Header.MasterVolume = Bytes[0x33];
    Header.DefaultPanning = Bytes[0x35];
    std::memcpy(Header.ChannelSettings.data(), Bytes + 0x40, FileChannels);
    const uint32_t Tables = Header.OrderCount + 2u * Header.InstrumentCount + 2u * Header.PatternCount;
    if (Cursor.Remaining() < Tables) return false;
    Header.Orders.resize(Header.OrderCount);
    Cursor.ReadBytes(Header.Orders.data(), Header.OrderCount);
    Header.InstrumentPointers.resize(Header.InstrumentCount);
    for (uint16_t& Pointer : Header.InstrumentPointers) Pointer = Cursor.ReadUnsignedWord();
    Header.PatternPointers.resize(Header.PatternCount);
    for (uint16_t& Pointer : Header.PatternPointers) Pointer = Cursor.ReadUnsignedWord();
    return true;
}

// The tracker the version word names: 0x1xyy Scream Tracker x.yy, and the
// later trackers that write the format by the high nibble.
std::string TrackerName(uint16_t Version) {
    char Number[8];
    std::snprintf(Number, sizeof(Number), "%x.%02x", (Version >> 8) & 0xF, Version & 0xFF);
    switch (Version >> 12) {
        case 0x1: return std::string("Scream Tracker ") + Number;
        case 0x2: return std::string("Imago Orpheus ") + Number;
        case 0x3: return std::string("Impulse Tracker ") + Number;
        case 0x4: return "Schism Tracker";
        case 0x5: return std::string("OpenMPT ") + Number;
        default: return "";
    }
}

// Reads instrument Number from its header at Offset, and returns whether
// its sample holds an address in a Gravis UltraSound's memory (the file was
// saved by a tracker playing through that card). PCM samples (type 1)
// become one-sample instruments; AdLib voices (2 and on) and empty slots
// keep their name and sound nothing. A header or data the file does not
// hold whole loads what is there, and counts in CutShort.
bool ReadInstrument(TQuavixLoadCursor& Cursor, TQuavixModule& Module, int32_t Number, int64_t Offset,
                    bool UnsignedSamples, int32_t& CutShort) {
    std::unique_ptr<TQuavixInstrument>& Slot = Module.Instruments[Number];
    if (!Slot) Slot.reset(new TQuavixInstrument());
    TQuavixInstrument& Instrument = *Slot;
    Instrument.Clear();
    Cursor.SetOffset(Offset);
    uint8_t Bytes[InstrumentHeaderSize];
    if (!Cursor.ReadExact(Bytes, InstrumentHeaderSize)) return false;
    Instrument.Name = QuavixFieldName(Bytes + 0x30, 28);
    // The AdLib voices of ST3's FM chip (types 2..7) are not synthesised.
    static const char* const AdLibKinds[] = {"AdLib melody", "AdLib bass drum", "AdLib snare", "AdLib tom",
                                              "AdLib cymbal", "AdLib hi-hat"};
    if (Bytes[0] >= 2 && Bytes[0] <= 7) Instrument.Kind = AdLibKinds[Bytes[0] - 2];
    if (Bytes[0] != 1) return false;
    const bool GravisAddress = QuavixGetWord(Bytes + 0x28) != 0;

    std::unique_ptr<TQuavixSample>& SampleSlot = Instrument.Samples[0];
    SampleSlot.reset(new TQuavixSample());
    TQuavixSample& Sample = *SampleSlot;
    Sample.Name = QuavixFieldName(Bytes + 0x01, 12);
    const int64_t DataOffset = ((static_cast<int64_t>(Bytes[0x0D]) << 16) | QuavixGetWord(Bytes + 0x0E)) * 16;
    uint32_t Length = QuavixGetLongWord(Bytes + 0x10);
    const uint32_t LoopStart = QuavixGetLongWord(Bytes + 0x14);
    const uint32_t LoopEnd = QuavixGetLongWord(Bytes + 0x18);
    const uint8_t Flags = Bytes[0x1F];
    Sample.Volume = std::min<int32_t>(Bytes[0x1C], 64);
    Sample.HasPanning = false;
    Sample.Bits = (Flags & 0x04) ? 16 : 8;
    Sample.NumChannels = (Flags & 0x02) ? 2 : 1;
    QuavixSetPitchFromC2Speed(Sample, QuavixGetLongWord(Bytes + 0x20), true);

    // Stereo data holds all left points, then all right ones.
    const uint32_t PointBytes = Sample.Bits / 8;
    const uint32_t ChannelBytesWanted = std::min(Length, QuavixMaxSampleBytes) * PointBytes;
    Cursor.SetOffset(DataOffset);
    uint32_t Available = 0;
    const uint8_t* Data = Cursor.Take(ChannelBytesWanted * Sample.NumChannels, Available);
    // Only the frames the file holds whole (on every channel) are kept.
    uint32_t Frames = std::min(Length, QuavixMaxSampleBytes);
    if (Sample.NumChannels == 2) {
        const uint32_t RightFrames =
            Available > ChannelBytesWanted ? (Available - ChannelBytesWanted) / PointBytes : 0;
        Frames = std::min(Frames, RightFrames);
    } else {
        Frames = std::min(Frames, Available / PointBytes);
    }
    if (Frames < std::min(Length, QuavixMaxSampleBytes)) ++CutShort;
    Length = Frames;
    Sample.Length = static_cast<int32_t>(Length);
    if (Length > 0) {
        Sample.AllocateData(static_cast<int32_t>(Length * Sample.NumChannels));
        const int32_t Count = static_cast<int32_t>(Length);
        QuavixDecodePcm(Data, Count, Sample.Bits == 16, !UnsignedSamples, false, Sample.Data, Sample.NumChannels);
        if (Sample.NumChannels == 2)
            QuavixDecodePcm(Data + ChannelBytesWanted, Count, Sample.Bits == 16, !UnsignedSamples, false,
                            Sample.Data + 1, 2);
    }
    // The loop runs from its start up to (not including) its end. It is set
    // before the data is prepared: the frames after its end repeat its start.
    const uint32_t End = std::min(LoopEnd, Length);
    if ((Flags & 0x01) && LoopStart < End) {
        Sample.Loop = true;
        Sample.LoopStart = static_cast<int32_t>(LoopStart);
        Sample.LoopLength = static_cast<int32_t>(End - LoopStart);
        // What follows the loop never plays (an offset past it wraps into
        // the loop): the sample ends with its loop.
        Sample.Length = static_cast<int32_t>(End);
    }
    if (Length > 0) Sample.PrepareData();
    return GravisAddress;
}

// An effect letter ('A' is 1) and its parameter as the cell holds it: the
// letter effects play them as Scream Tracker 3 did. A parameter without a
// letter is kept too, since ST3 remembers it (see SharedEffectMemory). Bxx
// names a position of the file's order list, which becomes the engine's
// (the skip markers dropped; OrderMap).
void SetEffect(TQuavixPatternNote& Cell, uint8_t Command, uint8_t P, const std::array<uint8_t, 256>& OrderMap) {
    if (Command > 26) return;
    Cell.Effect = TQuavixLetterEffect::Base + Command;
    Cell.EffectParameter = Command + 'A' - 1 == 'B' ? OrderMap[P] : P;
}

// Reads the pattern at Offset into Pattern: 64 rows of packed cells. Cells
// of channels not in use are passed over; a pattern the file cuts keeps the
// cells it holds whole, and false is returned.
bool ReadPattern(TQuavixLoadCursor& Cursor, TQuavixPattern& Pattern, int64_t Offset, int32_t Channels,
                 const std::array<bool, FileChannels>& InUse, const std::array<uint8_t, 256>& OrderMap) {
    Pattern.Clear();
    Pattern.Resize(PatternRows, static_cast<uint8_t>(Channels));
    Cursor.SetOffset(Offset);
    Cursor.Skip(2);  // the packed length: the rows end the pattern
    for (int32_t Row = 0; Row < PatternRows; ++Row) {
        for (;;) {
            if (Cursor.Remaining() == 0) return false;
            const uint8_t What = Cursor.ReadByte();
            if (What == 0) break;
            const uint32_t Needed = ((What & 0x20) ? 2 : 0) + ((What & 0x40) ? 1 : 0) + ((What & 0x80) ? 2 : 0);
            if (Cursor.Remaining() < Needed) return false;
            // Every cell plays by the letter effects, those without a letter too.
            TQuavixPatternNote Cell;
            Cell.Effect = TQuavixLetterEffect::Base;
            if (What & 0x20) {
                const uint8_t Note = Cursor.ReadByte();
                Cell.Instrument = Cursor.ReadByte();
                const int32_t Octave = Note >> 4, Semitone = Note & 0x0F;
                if (Note == NoteCut)
                    Cell.Note = TQuavixNote::NoteCut;
                else if (Note != NoNote && Semitone < 12 && Octave * 12 + Semitone < NoteCount)
                    Cell.Note = Octave * 12 + Semitone + 1;
            }
            if (What & 0x40) {
                Cell.VolumeCommand = TQuavixVolumeCommand::SetVolume;
                Cell.VolumeParameter = std::min<uint8_t>(Cursor.ReadByte(), 64);
            }
            if (What & 0x80) {
                const uint8_t Command = Cursor.ReadByte();
                const uint8_t Parameter = Cursor.ReadByte();
                SetEffect(Cell, Command, Parameter, OrderMap);
            }
            const uint32_t Channel = What & 0x1F;
            if (InUse[Channel] && static_cast<int32_t>(Channel) < Channels) Pattern.SetNote(Row, Channel, Cell);
        }
    }
    return true;
}

}  // namespace

bool QuavixProbeScreamTracker3(const TQuavixLoadCursor& Cursor) {
    return Cursor.Length() >= SignatureOffset + 4 && std::memcmp(Cursor.Block() + SignatureOffset, "SCRM", 4) == 0;
}

TQuavixLoadResult TQuavixModule::LoadScreamTracker3(TQuavixLoadCursor& Cursor) {
    THeader Header;
    if (!ReadHeader(Cursor, Header)) return TQuavixLoadResult::Damaged(S3mKind, "its song header is cut short");
    if (Header.InstrumentCount > MaxInstruments)
        return TQuavixLoadResult::Unsupported(S3mKind, "more than 255 instruments");

    Format = TQuavixFormat::ScreamTracker3;
    FormatVersion = Header.TrackerVersion;
    Tracker = TrackerName(Header.TrackerVersion);
    Behaviours = QuavixScreamTracker3Behaviours(Header.TrackerVersion, Header.Flags);
    Rules = "Scream Tracker 3";
    Name = Header.Name;
    LinearSlides = false;
    InitialSpeed = Header.Speed != 0 && Header.Speed != 255 ? Header.Speed : 6;
    InitialTempo = Header.Tempo >= 33 ? Header.Tempo : 125;
    Speed = InitialSpeed;
    Tempo = InitialTempo;
    InitialGlobalVolume = std::min<int32_t>(Header.GlobalVolume, 64);
    GlobalVolume = InitialGlobalVolume;
    // The master volume's low seven bits set the mix level (16..127, 64 the
    // level of the other formats, 0 taken as ST3's usual 48); bit 7 is the
    // stereo bit.
    const bool Stereo = (Header.MasterVolume & 0x80) != 0;
    const int32_t MixVolume = Header.MasterVolume & 0x7F;
    MixLevel = (MixVolume == 0 ? DefaultMixVolume : std::max<int32_t>(MixVolume, 16)) * 2;

    // The order list without its skip markers, up to the end marker; a jump
    // to a file position goes to the entry that stands for it.
    std::array<uint8_t, 256> OrderMap{};
    int32_t Length = 0;
    bool Ended = false;
    for (uint32_t i = 0; i < Header.Orders.size() && i < 256; ++i) {
        OrderMap[i] = static_cast<uint8_t>(std::min(Length, 255));
        const uint8_t Entry = Header.Orders[i];
        if (Ended || Entry == SkipOrder) continue;
        if (Entry == EndOrder) {
            Ended = true;
            continue;
        }
        if (Length < MaxOrders) Orders[Length++] = Entry;
    }
    for (uint32_t i = static_cast<uint32_t>(std::min<size_t>(Header.Orders.size(), 256)); i < 256; ++i)
        OrderMap[i] = static_cast<uint8_t>(std::min(Length, 255));
    SongLength = Length;
    RestartPosition = 0;

    // The channels in use: PCM channels that are not disabled. AdLib
    // channels play nothing here.
    std::array<bool, FileChannels> InUse{};
    NumChannels = 0;
    for (uint32_t c = 0; c < FileChannels; ++c) {
        const uint8_t Setting = Header.ChannelSettings[c];
        InUse[c] = (Setting & ChannelDisabled) == 0 && Setting < FirstAdLibChannel;
        if (InUse[c]) NumChannels = static_cast<int32_t>(c) + 1;
    }
    // Left channels at 3, right ones at 12 of 0..15, or all in the middle in
    // mono; a default panning table (after the pointers) sets the channels
    // whose entry has bit 5 set.
    std::array<uint8_t, FileChannels> Panning{};
    if (Header.DefaultPanning == DefaultPanningPresent) Cursor.ReadBytes(Panning.data(), FileChannels);
    for (int32_t c = 0; c < NumChannels; ++c) {
        const uint8_t Setting = Header.ChannelSettings[c] & 0x7F;
        int32_t Position = Setting < 8 ? 0x3 : 0xC;
        if (Panning[c] & 0x20) Position = Panning[c] & 0x0F;
        Channels[c]->DefaultPanning = Stereo ? Position * 16 + 8 : 128;
    }

    // From here on the file may end anywhere: what it holds loads, and the
    // result warns of what it cuts.
    const bool Unsigned = Header.SampleType == 2;
    int32_t SamplesCutShort = 0, PatternsCutShort = 0;
    bool Gravis = false;
    for (int32_t i = 1; i <= Header.InstrumentCount; ++i)
        Gravis |= ReadInstrument(Cursor, *this, i, static_cast<int64_t>(Header.InstrumentPointers[i - 1]) * 16,
                                 Unsigned, SamplesCutShort);
    // Through the Gravis UltraSound ST3 plays at the usual level, whatever
    // the master volume.
    if (Gravis) MixLevel = DefaultMixVolume * 2;
    const uint32_t PatternCount = std::min<uint32_t>(Header.PatternCount, MaxPatterns);
    for (uint32_t p = 0; p < PatternCount; ++p) {
        const uint16_t Pointer = Header.PatternPointers[p];
        TQuavixPattern& Pattern = *Patterns[p];
        if (Pointer == 0) {
            // No data: an empty pattern.
            Pattern.Clear();
            Pattern.Resize(PatternRows, static_cast<uint8_t>(NumChannels));
            continue;
        }
        if (!ReadPattern(Cursor, Pattern, static_cast<int64_t>(Pointer) * 16, NumChannels, InUse, OrderMap))
            ++PatternsCutShort;
    }
    // Patterns the order list names beyond those in the file are empty.
    for (int32_t i = 0; i < SongLength; ++i) {
        TQuavixPattern& Pattern = *Patterns[Orders[i]];
        if (Pattern.Rows == 0) Pattern.Resize(PatternRows, static_cast<uint8_t>(NumChannels));
    }
    Loaded = true;
    TQuavixLoadResult Result;
    Result.Warn(SamplesCutShort, "sample", "cut short");
    Result.Warn(PatternsCutShort, "pattern", "cut short");
    return Result;
}
