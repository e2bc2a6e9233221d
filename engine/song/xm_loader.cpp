// The Extended Module reader: song header, packed patterns, instruments with
// their envelopes and sample headers.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>

#include "sequencer/channel.h"
#include "song/commands.h"
#include "song/load_cursor.h"
#include "song/loaders.h"
#include "song/module.h"
#include "song/sample_decode.h"

namespace {

constexpr char Identification[] = "Extended Module: ";
constexpr uint32_t IdentificationSize = 17;
constexpr uint32_t SongHeaderSize = 336;
constexpr uint32_t InstrumentHeaderSize = 29;
constexpr uint32_t InstrumentExtraSize = 214;
constexpr uint32_t SampleHeaderSize = 40;
constexpr int32_t EnvelopeFilePoints = 12;
constexpr int32_t MaxPatternRows = 256;
// The rows of a pattern the file names but does not hold: a tracker's new
// pattern, all of it silence.
constexpr int32_t MissingPatternRows = 64;
// The notes a cell holds: 1..96 C-0..B-7, 97 the key-off; the bytes above
// play nothing.
constexpr uint8_t HighestNote = 96;
constexpr uint8_t KeyOffNote = 97;
// The keyboard of an instrument header: one sample number per note.
constexpr int32_t KeyboardNotes = 96;
constexpr int32_t NameSize = 22;

// Layout switches by the version word.
constexpr uint16_t ShortPatternHeaderVersion = 0x0102;  // this and lower: 8-byte pattern headers
constexpr uint16_t OldLayoutVersion = 0x0103;           // this and lower: instruments before patterns

// The song model's note for a cell's note byte.
int32_t CellNote(uint8_t Byte) {
    if (Byte <= HighestNote) return Byte;
    return Byte == KeyOffNote ? TQuavixNote::KeyOff : TQuavixNote::Unplayable;
}

// The format as users know it, for the reasons a load gives.
const char* const XmKind = "Extended Module";

int32_t ClampToInt32(uint32_t Value) {
    return static_cast<int32_t>(std::min<uint32_t>(Value, std::numeric_limits<int32_t>::max()));
}

// A name field of Size bytes read through the cursor, trimmed.
template <size_t Size>
std::string ReadName(TQuavixLoadCursor& Cursor) {
    uint8_t Bytes[Size];
    Cursor.ReadBytes(Bytes, Size);
    return QuavixFieldName(Bytes, Size);
}

// The song header's fields, in file order.
struct TSongHeader {
    uint8_t Id[IdentificationSize];
    std::string Name;
    std::string Tracker;
    uint16_t Version = 0;
    uint32_t HeaderSize = 0;  // the first block starts at 60 + this
    uint16_t SongLength = 0;
    uint16_t RestartPosition = 0;
    uint16_t Channels = 0;
    uint16_t Patterns = 0;
    uint16_t Instruments = 0;
    uint16_t Flags = 0;
    uint16_t Speed = 0;
    uint16_t Tempo = 0;
    uint8_t Orders[TQuavixModule::MaxOrders];
};

// Reads the song header from the start of the block; false when the block
// is too short to hold it.
bool ReadSongHeader(TQuavixLoadCursor& Cursor, TSongHeader& Header) {
    Cursor.SetOffset(0);
    if (Cursor.Remaining() < SongHeaderSize) return false;
    Cursor.ReadBytes(Header.Id, IdentificationSize);
    Header.Name = ReadName<20>(Cursor);
    Cursor.Skip(1);  // a separator byte
    Header.Tracker = ReadName<20>(Cursor);
    Header.Version = Cursor.ReadUnsignedWord();
    Header.HeaderSize = Cursor.ReadLongWord();
    Header.SongLength = Cursor.ReadUnsignedWord();
    Header.RestartPosition = Cursor.ReadUnsignedWord();
    Header.Channels = Cursor.ReadUnsignedWord();
    Header.Patterns = Cursor.ReadUnsignedWord();
    Header.Instruments = Cursor.ReadUnsignedWord();
    Header.Flags = Cursor.ReadUnsignedWord();
    Header.Speed = Cursor.ReadUnsignedWord();
    Header.Tempo = Cursor.ReadUnsignedWord();
    Cursor.ReadBytes(Header.Orders, sizeof(Header.Orders));
    return true;
}

bool IsIdentified(const uint8_t* Bytes) { return std::memcmp(Bytes, Identification, IdentificationSize) == 0; }

// A pattern of Rows empty rows that holds no cells: every cell of it reads
// as the empty cell.
void SetEmptyRows(TQuavixPattern& Pattern, int32_t Rows, uint8_t Channels) {
    Pattern.Clear();
    Pattern.Resize(0, Channels);
    Pattern.Rows = Rows;
}

// Reads the pattern blocks. The file may end among them: a pattern whose
// header it does not hold whole, and every pattern after it, is silence;
// the result warns of them and of a pattern whose cells it cuts.
void ReadPatterns(TQuavixLoadCursor& Cursor, TQuavixModule& Module, uint16_t Version, uint32_t Count,
                  TQuavixLoadResult& Result) {
    const bool ShortHeaders = Version <= ShortPatternHeaderVersion;
    const uint32_t HeaderSize = ShortHeaders ? 8 : 9;
    const uint8_t Channels = static_cast<uint8_t>(Module.NumChannels);
    // There are 256 pattern slots; blocks numbered beyond them are passed
    // over by their packed size, so that what follows them still loads.
    const uint32_t Slots = std::min<uint32_t>(Count, TQuavixModule::MaxPatterns);
    for (uint32_t p = 0; p < Count; ++p) {
        if (Cursor.Remaining() < HeaderSize) {
            Result.Warn(static_cast<int32_t>(Count - p), "pattern", "missing");
            for (; p < Slots; ++p) SetEmptyRows(*Module.Patterns[p], MissingPatternRows, Channels);
            // Nothing after this point is in the file.
            Cursor.SetOffset(TQuavixLoadCursor::FarOffset);
            return;
        }
        Cursor.Skip(4 + 1);  // the header length (the header is taken as HeaderSize bytes) and packing type
        const int32_t Rows = ShortHeaders ? Cursor.ReadByte() + 1 : Cursor.ReadUnsignedWord();
        const uint16_t PackedSize = Cursor.ReadUnsignedWord();
        const int64_t End = Cursor.Offset() + PackedSize;
        // Cut short: the last pattern that starts in the file.
        if (Cursor.Remaining() < PackedSize) Result.Warn(1, "pattern", "cut short");
        if (p >= Slots) {
            Cursor.SetOffset(End);
            continue;
        }
        TQuavixPattern& Pattern = *Module.Patterns[p];
        if (Rows == 0 || Rows > MaxPatternRows) {
            // More rows than a pattern can have: the data is skipped and the
            // pattern keeps its row count with no cell storage (so that a
            // damaged header cannot claim tens of megabytes of cells).
            SetEmptyRows(Pattern, Rows, Channels);
            Cursor.SetOffset(End);
            continue;
        }
        Pattern.Clear();
        Pattern.Resize(Rows, Channels);
        if (PackedSize == 0) continue;
        for (int32_t r = 0; r < Rows; ++r)
            for (int32_t c = 0; c < Channels; ++c) {
                TQuavixPatternNote Cell;
                uint8_t Volume = 0;
                uint8_t b = Cursor.ReadByte();
                if ((b & 0x80) == 0) {
                    Cell.Note = b;
                    Cell.Instrument = Cursor.ReadByte();
                    Volume = Cursor.ReadByte();
                    Cell.Effect = Cursor.ReadByte();
                    Cell.EffectParameter = Cursor.ReadByte();
                } else {
                    if (b & 0x01) Cell.Note = Cursor.ReadByte();
                    if (b & 0x02) Cell.Instrument = Cursor.ReadByte();
                    if (b & 0x04) Volume = Cursor.ReadByte();
                    if (b & 0x08) Cell.Effect = Cursor.ReadByte();
                    if (b & 0x10) Cell.EffectParameter = Cursor.ReadByte();
                }
                if (Cell.Instrument == 255) Cell.Instrument = 0;
                Cell.Note = CellNote(static_cast<uint8_t>(Cell.Note));
                const TQuavixVolumeColumn Column = QuavixXmVolumeColumn(Volume);
                Cell.VolumeCommand = Column.Command;
                Cell.VolumeParameter = Column.Parameter;
                Pattern.SetNote(r, c, Cell);
            }
        Cursor.SetOffset(End);
    }
}

// One envelope as an instrument header stores it. The header keeps the two
// envelopes' fields in groups: the points of each, then the point counts,
// then the settings of each, then the types.
struct TEnvelopeFields {
    std::array<TQuavixEnvelope::TPoint, EnvelopeFilePoints> Points;
    uint8_t NumPoints = 0;
    uint8_t SustainPoint = 0;
    uint8_t LoopStart = 0;
    uint8_t LoopEnd = 0;
    uint8_t Type = 0;
};

void ReadEnvelopePoints(TQuavixLoadCursor& Cursor, TEnvelopeFields& Envelope) {
    for (TQuavixEnvelope::TPoint& Point : Envelope.Points) {
        Point.Position = Cursor.ReadUnsignedWord();
        Point.Value = Cursor.ReadUnsignedWord() & 0xFF;  // the low byte of the stored word
    }
}

void ReadEnvelopeSettings(TQuavixLoadCursor& Cursor, TEnvelopeFields& Envelope) {
    Envelope.SustainPoint = Cursor.ReadByte();
    Envelope.LoopStart = Cursor.ReadByte();
    Envelope.LoopEnd = Cursor.ReadByte();
}

void SetEnvelope(TQuavixEnvelope& Envelope, const TEnvelopeFields& Fields) {
    for (int32_t k = 0; k < EnvelopeFilePoints; ++k) {
        TQuavixEnvelope::TPoint& Point = Envelope.Points[k];
        Point = Fields.Points[k];
        // Positions that go backwards are taken as having wrapped at 8 bits.
        if (k > 0) {
            int32_t Previous = Envelope.Points[k - 1].Position;
            if (Previous > Point.Position) {
                Point.Position = (Point.Position & 0xFF) + (Previous & 0xFF00);
                if (Previous > Point.Position) Point.Position += 0x100;
            }
        }
    }
    // The file holds 12 points; a larger count would name points that were
    // never read, so the count is held to the points there are.
    Envelope.NumPoints = std::min<int32_t>(Fields.NumPoints, EnvelopeFilePoints);
    Envelope.SustainPoint = Fields.SustainPoint;
    Envelope.LoopStart = Fields.LoopStart;
    Envelope.LoopEnd = Fields.LoopEnd;
    Envelope.Enabled = (Fields.Type & 1) != 0;
    Envelope.SustainEnabled = (Fields.Type & 2) != 0;
    Envelope.LoopEnabled = (Fields.Type & 4) != 0;
    if (Envelope.NumPoints == 0) Envelope.Enabled = false;
    if (Envelope.SustainPoint > 12) Envelope.SustainEnabled = false;
    if (Envelope.LoopStart >= Envelope.LoopEnd) Envelope.LoopEnabled = false;
}

// Reads the part of an instrument header that follows the sample count.
void ReadInstrumentExtra(TQuavixLoadCursor& Cursor, TQuavixInstrument& Instrument) {
    Cursor.Skip(4);  // the sample header size: sample headers are taken as 40 bytes
    Cursor.ReadBytes(Instrument.NoteSamples.data(), KeyboardNotes);
    TEnvelopeFields Volume, Panning;
    ReadEnvelopePoints(Cursor, Volume);
    ReadEnvelopePoints(Cursor, Panning);
    Volume.NumPoints = Cursor.ReadByte();
    Panning.NumPoints = Cursor.ReadByte();
    ReadEnvelopeSettings(Cursor, Volume);
    ReadEnvelopeSettings(Cursor, Panning);
    Volume.Type = Cursor.ReadByte();
    Panning.Type = Cursor.ReadByte();
    Instrument.VibratoType = Cursor.ReadByte();
    Instrument.VibratoSweep = Cursor.ReadByte();
    Instrument.VibratoDepth = Cursor.ReadByte();
    Instrument.VibratoRate = Cursor.ReadByte();
    Instrument.FadeOut = Cursor.ReadUnsignedWord();
    Cursor.Skip(2);  // reserved
    SetEnvelope(*Instrument.VolumeEnvelope, Volume);
    SetEnvelope(*Instrument.PanningEnvelope, Panning);
}

// Reads one sample header into slot s of the instrument (when it has that
// slot) and returns where the sample's data lies.
TQuavixSampleSource ReadSampleHeader(TQuavixLoadCursor& Cursor, TQuavixInstrument& Instrument, int32_t s) {
    const uint32_t Length = Cursor.ReadLongWord();
    const uint32_t LoopStart = Cursor.ReadLongWord();
    uint32_t LoopLength = Cursor.ReadLongWord();
    const uint8_t Volume = Cursor.ReadByte();
    const int8_t FineTune = Cursor.ReadSignedByte();
    uint8_t Type = Cursor.ReadByte();
    const uint8_t Panning = Cursor.ReadByte();
    const int8_t RelativeNote = Cursor.ReadSignedByte();
    const uint8_t Packing = Cursor.ReadByte();
    std::string Name = ReadName<NameSize>(Cursor);

    if (LoopStart >= Length) Type &= ~0x03;
    // Summed wide so that no loop can wrap past the length; a loop that
    // starts at or past the end keeps no length.
    if (static_cast<uint64_t>(LoopStart) + LoopLength > Length)
        LoopLength = LoopStart < Length ? Length - LoopStart : 0;
    if (LoopLength == 0) Type &= ~0x03;
    const bool Compressed = Packing == 0xAD && (Type & 0x30) == 0;
    // An instrument has 256 sample slots; samples numbered beyond them are
    // not kept, though their data is still passed over.
    if (s >= TQuavixInstrument::MaxSamples) return {Length, Compressed};
    std::unique_ptr<TQuavixSample>& Slot = Instrument.Samples[s];
    if (!Slot) Slot.reset(new TQuavixSample());
    TQuavixSample& Sample = *Slot;
    Sample.Clear();
    Sample.Name = std::move(Name);
    // Byte counts until the data is read; 2 GiB and more cannot be held
    // (the data read is limited far below that anyway).
    Sample.Length = ClampToInt32(Length);
    Sample.LoopStart = ClampToInt32(LoopStart);
    Sample.LoopLength = ClampToInt32(LoopLength);
    Sample.Volume = Volume;
    Sample.FineTune = FineTune;
    Sample.Panning = Panning;
    Sample.RelativeNote = RelativeNote;
    Sample.HasPanning = true;
    Sample.Bits = (Type & 0x10) ? 16 : 8;
    Sample.NumChannels = (Type & 0x20) ? 2 : 1;
    Sample.Compressed = Compressed;
    Sample.Loop = (Type & 0x03) != 0;
    Sample.PingPong = (Type & 0x02) != 0;
    return {Length, Compressed};
}

// Reads the header of instrument Number and its sample headers; Sources
// gets where each sample's data lies. An instrument whose headers the file
// does not hold whole is empty (and false is returned): some trackers leave
// trailing empty instruments out of the file although its header counts
// them, and a file cut short ends in the same way.
bool ReadInstrument(TQuavixLoadCursor& Cursor, TQuavixModule& Module, int32_t Number,
                    std::vector<TQuavixSampleSource>& Sources) {
    Sources.clear();
    std::unique_ptr<TQuavixInstrument>& Slot = Module.Instruments[Number];
    if (!Slot) Slot.reset(new TQuavixInstrument());
    TQuavixInstrument& Instrument = *Slot;
    Instrument.Clear();
    if (Cursor.Remaining() < InstrumentHeaderSize) {
        Cursor.SetOffset(TQuavixLoadCursor::FarOffset);
        return false;
    }
    const int64_t Start = Cursor.Offset();
    const uint32_t HeaderSize = Cursor.ReadLongWord();
    Instrument.Name = ReadName<NameSize>(Cursor);
    Cursor.Skip(1);  // the instrument type
    const uint16_t NumSamples = Cursor.ReadUnsignedWord();
    if (NumSamples > 0) {
        if (Cursor.Remaining() < InstrumentExtraSize) {
            Cursor.SetOffset(TQuavixLoadCursor::FarOffset);
            return false;
        }
        ReadInstrumentExtra(Cursor, Instrument);
    }
    // The sample headers (or the next instrument) start where the header
    // size says the header ends.
    Cursor.SetOffset(Start + HeaderSize);
    Sources.reserve(NumSamples);
    for (int32_t s = 0; s < NumSamples; ++s) {
        if (Cursor.Remaining() < SampleHeaderSize) {
            Instrument.Clear();
            Sources.clear();
            Cursor.SetOffset(TQuavixLoadCursor::FarOffset);
            return false;
        }
        Sources.push_back(ReadSampleHeader(Cursor, Instrument, s));
    }
    return true;
}

// The instruments the cells of the song's patterns name, by number.
std::vector<bool> InstrumentsNamed(const TQuavixModule& Module, uint32_t Patterns) {
    std::vector<bool> Named(TQuavixModule::MaxInstruments + 1, false);
    TQuavixPatternNote Cell;
    for (uint32_t p = 0; p < std::min<uint32_t>(Patterns, TQuavixModule::MaxPatterns); ++p) {
        const TQuavixPattern& Pattern = *Module.Patterns[p];
        if (Pattern.Notes.empty()) continue;
        for (int32_t r = 0; r < Pattern.Rows; ++r)
            for (int32_t c = 0; c < Pattern.Channels; ++c) {
                Pattern.GetNote(Cell, r, c);
                if (Cell.Instrument > 0 && Cell.Instrument <= TQuavixModule::MaxInstruments) Named[Cell.Instrument] = true;
            }
    }
    return Named;
}

}  // namespace

bool QuavixProbeExtendedModule(const TQuavixLoadCursor& Cursor) {
    return Cursor.Length() >= IdentificationSize && IsIdentified(Cursor.Block());
}

TQuavixLoadResult TQuavixModule::LoadExtendedModule(TQuavixLoadCursor& Cursor) {
    TSongHeader Header;
    if (!ReadSongHeader(Cursor, Header)) return TQuavixLoadResult::Damaged(XmKind, "its song header is cut short");
    if (!IsIdentified(Header.Id)) return TQuavixLoadResult::NotModule();
    if (Header.Channels > 255 || Header.Instruments > MaxInstruments)
        return TQuavixLoadResult::Unsupported(
            XmKind, Header.Channels > 255 ? "more than 255 channels" : "more than 255 instruments");

    Format = TQuavixFormat::ExtendedModule;
    FormatVersion = Header.Version;
    Tracker = Header.Tracker;
    Behaviours = QuavixExtendedModuleBehaviours(Tracker);
    Rules = "Fasttracker 2";
    Name = Header.Name;
    // The song length is kept as the file gives it; the sequencer treats
    // positions past the 256 order entries as the end of the song.
    SongLength = Header.SongLength;
    RestartPosition = Header.RestartPosition;
    NumChannels = Header.Channels;
    LinearSlides = (Header.Flags & 0x0001) != 0;
    ExtendedFilterRange = (Header.Flags & 0x1000) != 0;
    // Only the low bytes count; 0 takes the usual values.
    InitialSpeed = static_cast<uint8_t>(Header.Speed) != 0 ? static_cast<uint8_t>(Header.Speed) : 6;
    InitialTempo = static_cast<uint8_t>(Header.Tempo) != 0 ? static_cast<uint8_t>(Header.Tempo) : 125;
    Speed = InitialSpeed;
    Tempo = InitialTempo;
    std::memcpy(Orders.data(), Header.Orders, MaxOrders);

    Cursor.SetOffset(60 + static_cast<int64_t>(Header.HeaderSize));
    for (int32_t c = 0; c < NumChannels; ++c) Channels[c]->DefaultPanning = 128;

    // From here on the file may end anywhere: what it holds loads, what it
    // lacks is silence, and the result warns of it. ReadSampleData reads
    // whatever data there is and always succeeds.
    TQuavixLoadResult Result;
    std::vector<TQuavixSampleSource> Sources;
    // Per instrument: its headers are all in the file; the file ends where
    // it would start.
    std::vector<bool> Whole(Header.Instruments + 1, true), Absent(Header.Instruments + 1, false);
    int32_t SamplesCutShort = 0, SamplesMissing = 0;
    if (Header.Version <= OldLayoutVersion) {
        // Instrument and sample headers first, then the patterns, then the
        // sample data of all instruments in instrument order.
        std::vector<std::vector<TQuavixSampleSource>> Remembered(Header.Instruments + 1);
        for (int32_t i = 1; i <= Header.Instruments; ++i) {
            Absent[i] = Cursor.Remaining() == 0;
            Whole[i] = ReadInstrument(Cursor, *this, i, Remembered[i]);
        }
        ReadPatterns(Cursor, *this, Header.Version, Header.Patterns, Result);
        for (int32_t i = 1; i <= Header.Instruments; ++i)
            ReadSampleData(Cursor, *Instruments[i], Remembered[i], SamplesCutShort, SamplesMissing);
    } else {
        ReadPatterns(Cursor, *this, Header.Version, Header.Patterns, Result);
        for (int32_t i = 1; i <= Header.Instruments; ++i) {
            Absent[i] = Cursor.Remaining() == 0;
            Whole[i] = ReadInstrument(Cursor, *this, i, Sources);
            // The sample data follows the sample headers directly.
            ReadSampleData(Cursor, *Instruments[i], Sources, SamplesCutShort, SamplesMissing);
        }
    }
    // Some trackers leave trailing empty instruments out of the file: where
    // nothing else is cut, only the instruments the patterns play count as
    // missing.
    bool Cut = !Result.Warnings.empty() || SamplesCutShort > 0 || SamplesMissing > 0;
    for (int32_t i = 1; i <= Header.Instruments; ++i) Cut = Cut || (!Whole[i] && !Absent[i]);
    const std::vector<bool> Named = InstrumentsNamed(*this, Header.Patterns);
    int32_t Missing = 0;
    for (int32_t i = 1; i <= Header.Instruments; ++i) Missing += !Whole[i] && (Cut || Named[i]) ? 1 : 0;
    Result.Warn(SamplesCutShort, "sample", "cut short");
    Result.Warn(SamplesMissing, "sample", "missing");
    Result.Warn(Missing, "instrument", "missing");
    Loaded = true;
    // The chunks after the song are extras: a chunk cut short ends them and
    // what was read of them stays, so the song is loaded whatever this says.
    ReadExtensionChunks(Cursor);
    return Result;
}
