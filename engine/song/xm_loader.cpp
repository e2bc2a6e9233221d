// Loading a song: reading a file into memory, telling the two formats apart,
// and the Extended Module reader (song header, packed patterns, instruments
// with their envelopes and sample headers).
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ios>
#include <limits>

#include "sequencer/channel.h"
#include "song/load_cursor.h"
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

// Layout switches by the version word.
constexpr uint16_t ShortPatternHeaderVersion = 0x0102;  // this and lower: 8-byte pattern headers
constexpr uint16_t OldLayoutVersion = 0x0103;           // this and lower: instruments before patterns

int32_t ClampToInt32(uint32_t Value) {
    return static_cast<int32_t>(std::min<uint32_t>(Value, std::numeric_limits<int32_t>::max()));
}

// Reads the pattern blocks. Fails (leaving the module to be cleared) when a
// pattern header comes short.
bool ReadPatterns(TQuavixLoadCursor& Cursor, TQuavixModule& Module, uint16_t Version, uint32_t Count) {
    const uint32_t HeaderSize = Version <= ShortPatternHeaderVersion ? 8 : 9;
    const uint8_t Channels = static_cast<uint8_t>(Module.NumChannels);
    for (uint32_t p = 0; p < Count; ++p) {
        uint8_t Header[9];
        if (!Cursor.ReadExact(Header, HeaderSize)) return false;
        int32_t Rows;
        uint16_t PackedSize;
        if (HeaderSize == 8) {
            Rows = Header[5] + 1;
            PackedSize = QuavixGetWord(Header + 6);
        } else {
            Rows = QuavixGetWord(Header + 5);
            PackedSize = QuavixGetWord(Header + 7);
        }
        const int64_t End = Cursor.Offset() + PackedSize;
        // There are 256 pattern slots; blocks numbered beyond them are passed
        // over by their packed size, so that what follows them still loads.
        if (p >= static_cast<uint32_t>(TQuavixModule::MaxPatterns)) {
            Cursor.SetOffset(End);
            continue;
        }
        TQuavixPattern& Pattern = *Module.Patterns[p];
        Pattern.Clear();
        if (Rows == 0 || Rows > MaxPatternRows) {
            // More rows than a pattern can have: the data is skipped and the
            // pattern keeps its row count with no cell storage, which reads
            // as empty cells everywhere (and a damaged header cannot claim
            // tens of megabytes of cells).
            Pattern.Resize(0, Channels);
            Pattern.Rows = Rows;
            Cursor.SetOffset(End);
            continue;
        }
        Pattern.Resize(Rows, Channels);
        if (PackedSize == 0) continue;
        for (int32_t r = 0; r < Rows; ++r)
            for (int32_t c = 0; c < Channels; ++c) {
                TQuavixPatternNote Cell;
                uint8_t b = Cursor.ReadByte();
                if ((b & 0x80) == 0) {
                    Cell.Note = b;
                    Cell.Instrument = Cursor.ReadByte();
                    Cell.Volume = Cursor.ReadByte();
                    Cell.Effect = Cursor.ReadByte();
                    Cell.EffectParameter = Cursor.ReadByte();
                } else {
                    if (b & 0x01) Cell.Note = Cursor.ReadByte();
                    if (b & 0x02) Cell.Instrument = Cursor.ReadByte();
                    if (b & 0x04) Cell.Volume = Cursor.ReadByte();
                    if (b & 0x08) Cell.Effect = Cursor.ReadByte();
                    if (b & 0x10) Cell.EffectParameter = Cursor.ReadByte();
                }
                if (Cell.Instrument == 255) Cell.Instrument = 0;
                Pattern.SetNote(r, c, Cell);
            }
        Cursor.SetOffset(End);
    }
    return true;
}

void ReadEnvelopePoints(TQuavixEnvelope& Envelope, const uint8_t* Points) {
    for (int32_t k = 0; k < EnvelopeFilePoints; ++k) {
        TQuavixEnvelope::TPoint& Point = Envelope.Points[k];
        Point.Position = QuavixGetWord(Points + 4 * k);
        Point.Value = Points[4 * k + 2];
        // Positions that go backwards are taken as having wrapped at 8 bits.
        if (k > 0) {
            int32_t Previous = Envelope.Points[k - 1].Position;
            if (Previous > Point.Position) {
                Point.Position = (Point.Position & 0xFF) + (Previous & 0xFF00);
                if (Previous > Point.Position) Point.Position += 0x100;
            }
        }
    }
}

void ReadEnvelopeSettings(TQuavixEnvelope& Envelope, uint8_t NumPoints, uint8_t Sustain, uint8_t LoopStart,
                          uint8_t LoopEnd, uint8_t Type) {
    // The file holds 12 points; a larger count would name points that were
    // never read, so the count is held to the points there are.
    Envelope.NumPoints = std::min<int32_t>(NumPoints, EnvelopeFilePoints);
    Envelope.SustainPoint = Sustain;
    Envelope.LoopStart = LoopStart;
    Envelope.LoopEnd = LoopEnd;
    Envelope.Enabled = (Type & 1) != 0;
    Envelope.SustainEnabled = (Type & 2) != 0;
    Envelope.LoopEnabled = (Type & 4) != 0;
    if (Envelope.NumPoints == 0) Envelope.Enabled = false;
    if (Envelope.SustainPoint > 12) Envelope.SustainEnabled = false;
    if (Envelope.LoopStart >= Envelope.LoopEnd) Envelope.LoopEnabled = false;
}

// Reads the header of instrument Number and its sample headers; Sources gets
// where each sample's data lies. Fails when a header comes short.
bool ReadInstrument(TQuavixLoadCursor& Cursor, TQuavixModule& Module, int32_t Number,
                    std::vector<TQuavixSampleSource>& Sources) {
    Sources.clear();
    uint8_t First[InstrumentHeaderSize];
    if (!Cursor.ReadExact(First, sizeof(First))) return false;
    const uint32_t HeaderSize = QuavixGetLongWord(First);
    std::unique_ptr<TQuavixInstrument>& Slot = Module.Instruments[Number];
    if (!Slot) Slot.reset(new TQuavixInstrument());
    TQuavixInstrument& Instrument = *Slot;
    Instrument.Clear();
    Instrument.Name = QuavixFieldName(First + 4, 22);
    const uint16_t NumSamples = QuavixGetWord(First + 27);
    if (NumSamples == 0) {
        Cursor.Skip(static_cast<int64_t>(HeaderSize) - InstrumentHeaderSize);
        return true;
    }

    uint8_t Extra[InstrumentExtraSize];
    if (!Cursor.ReadExact(Extra, sizeof(Extra))) return false;
    // The sample headers start where the header size says the header ends.
    Cursor.Skip(static_cast<int64_t>(HeaderSize) - InstrumentHeaderSize - InstrumentExtraSize);
    Instrument.FadeOut = QuavixGetWord(Extra + 210);
    std::memcpy(Instrument.NoteSamples.data(), Extra + 4, TQuavixInstrument::NoteCount);
    ReadEnvelopePoints(*Instrument.VolumeEnvelope, Extra + 100);
    ReadEnvelopePoints(*Instrument.PanningEnvelope, Extra + 148);
    ReadEnvelopeSettings(*Instrument.VolumeEnvelope, Extra[196], Extra[198], Extra[199], Extra[200], Extra[204]);
    ReadEnvelopeSettings(*Instrument.PanningEnvelope, Extra[197], Extra[201], Extra[202], Extra[203], Extra[205]);
    Instrument.VibratoType = Extra[206];
    Instrument.VibratoSweep = Extra[207];
    Instrument.VibratoDepth = Extra[208];
    Instrument.VibratoRate = Extra[209];

    Sources.reserve(NumSamples);
    for (int32_t s = 0; s < NumSamples; ++s) {
        uint8_t Header[SampleHeaderSize];
        if (!Cursor.ReadExact(Header, sizeof(Header))) return false;
        const uint32_t Length = QuavixGetLongWord(Header);
        const uint32_t LoopStart = QuavixGetLongWord(Header + 4);
        uint32_t LoopLength = QuavixGetLongWord(Header + 8);
        uint8_t Type = Header[14];
        const uint8_t Packing = Header[17];
        if (LoopStart >= Length) Type &= ~0x03;
        // Summed wide so that no loop can wrap past the length; a loop that
        // starts at or past the end keeps no length.
        if (static_cast<uint64_t>(LoopStart) + LoopLength > Length)
            LoopLength = LoopStart < Length ? Length - LoopStart : 0;
        if (LoopLength == 0) Type &= ~0x03;
        const bool Compressed = Packing == 0xAD && (Type & 0x30) == 0;
        Sources.push_back({Length, Compressed});
        // An instrument has 256 sample slots; samples numbered beyond them
        // are not kept, though their data is still passed over.
        if (s >= TQuavixInstrument::MaxSamples) continue;
        std::unique_ptr<TQuavixSample>& SampleSlot = Instrument.Samples[s];
        if (!SampleSlot) SampleSlot.reset(new TQuavixSample());
        TQuavixSample& Sample = *SampleSlot;
        Sample.Clear();
        Sample.Name = QuavixFieldName(Header + 18, 22);
        // Byte counts until the data is read; 2 GiB and more cannot be held
        // (the data read is limited far below that anyway).
        Sample.Length = ClampToInt32(Length);
        Sample.LoopStart = ClampToInt32(LoopStart);
        Sample.LoopLength = ClampToInt32(LoopLength);
        Sample.Volume = Header[12];
        Sample.FineTune = static_cast<int8_t>(Header[13]);
        Sample.Panning = Header[15];
        Sample.RelativeNote = static_cast<int8_t>(Header[16]);
        Sample.HasPanning = true;
        Sample.Bits = (Type & 0x10) ? 16 : 8;
        Sample.NumChannels = (Type & 0x20) ? 2 : 1;
        Sample.Compressed = Compressed;
        Sample.Loop = (Type & 0x03) != 0;
        Sample.PingPong = (Type & 0x02) != 0;
    }
    return true;
}

}  // namespace

bool TQuavixModule::LoadFromFile(const std::string& FileName) {
    // Only a regular file can hold a song; anything else counts as a file
    // that cannot be opened. A failed attempt leaves the song cleared, as a
    // failed load of the data does.
    std::error_code Error;
    if (!std::filesystem::is_regular_file(FileName, Error)) {
        Clear();
        return false;
    }
    std::ifstream File(FileName, std::ios::binary);
    if (!File.is_open()) {
        Clear();
        return false;
    }
    File.exceptions(std::ios::badbit);
    File.seekg(0, std::ios::end);
    const std::streamoff Size = File.tellg();
    File.seekg(0, std::ios::beg);
    // The block length is a 32-bit count; a larger file is no song.
    if (Size < 0 || static_cast<uint64_t>(Size) > std::numeric_limits<uint32_t>::max()) {
        Clear();
        return false;
    }
    std::vector<uint8_t> Block(static_cast<size_t>(Size));
    if (!Block.empty()) {
        File.read(reinterpret_cast<char*>(Block.data()), static_cast<std::streamsize>(Block.size()));
        if (File.gcount() != static_cast<std::streamsize>(Block.size()))
            throw std::ios_base::failure("cannot read " + FileName);
    }
    File.close();
    return LoadFromMemory(Block.data(), static_cast<uint32_t>(Block.size()));
}

bool TQuavixModule::LoadFromMemory(const uint8_t* Block, uint32_t Size) {
    Clear();
    TQuavixLoadCursor Cursor(Block, Size);
    return LoadExtendedModule(Cursor);
}

bool TQuavixModule::LoadExtendedModule(TQuavixLoadCursor& Cursor) {
    Cursor.SetOffset(0);
    uint8_t Header[SongHeaderSize];
    if (!Cursor.ReadExact(Header, sizeof(Header))) {
        Clear();
        return false;
    }
    const uint16_t Version = QuavixGetWord(Header + 58);
    const uint32_t HeaderSize = QuavixGetLongWord(Header + 60);
    const uint16_t ChannelCount = QuavixGetWord(Header + 68);
    const uint16_t PatternCount = QuavixGetWord(Header + 70);
    const uint16_t InstrumentCount = QuavixGetWord(Header + 72);
    const uint16_t Flags = QuavixGetWord(Header + 74);
    if (std::memcmp(Header, Identification, IdentificationSize) != 0 || ChannelCount > 255 ||
        InstrumentCount > MaxInstruments) {
        Clear();
        return LoadPatternFormat(Cursor);
    }

    FormatName = "xm";
    FormatVersion = Version;
    Name = QuavixFieldName(Header + 17, 20);
    // The song length is kept as the file gives it; the sequencer treats
    // positions past the 256 order entries as the end of the song.
    SongLength = QuavixGetWord(Header + 64);
    RestartPosition = QuavixGetWord(Header + 66);
    NumChannels = ChannelCount;
    LinearSlides = (Flags & 0x0001) != 0;
    ExtendedFilterRange = (Flags & 0x1000) != 0;
    InitialSpeed = Header[76] != 0 ? Header[76] : 6;
    InitialTempo = Header[78] != 0 ? Header[78] : 125;
    Speed = InitialSpeed;
    Tempo = InitialTempo;
    std::memcpy(Orders.data(), Header + 80, MaxOrders);

    Cursor.SetOffset(60 + static_cast<int64_t>(HeaderSize));
    for (int32_t c = 0; c < NumChannels; ++c) Channels[c]->DefaultPanning = 128;

    bool Success;
    std::vector<TQuavixSampleSource> Sources;
    if (Version <= OldLayoutVersion) {
        // Instrument and sample headers first, then the patterns, then the
        // sample data of all instruments in instrument order.
        std::vector<std::vector<TQuavixSampleSource>> Remembered(InstrumentCount + 1);
        Success = true;
        for (int32_t i = 1; Success && i <= InstrumentCount; ++i) {
            Success = ReadInstrument(Cursor, *this, i, Sources);
            Remembered[i].swap(Sources);
        }
        Success = Success && ReadPatterns(Cursor, *this, Version, PatternCount);
        for (int32_t i = 1; Success && i <= InstrumentCount; ++i)
            Success = ReadSampleData(Cursor, *Instruments[i], Remembered[i]);
    } else {
        Success = ReadPatterns(Cursor, *this, Version, PatternCount);
        for (int32_t i = 1; Success && i <= InstrumentCount; ++i) {
            Success = ReadInstrument(Cursor, *this, i, Sources);
            // The sample data follows the sample headers directly.
            if (Success) Success = ReadSampleData(Cursor, *Instruments[i], Sources);
        }
    }
    if (!Success) {
        Clear();
        return false;
    }
    Loaded = true;
    ReadExtensionChunks(Cursor);
    return true;
}
