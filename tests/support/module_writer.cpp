#include "module_writer.h"

#include "song/module.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>


namespace quavix_test {

namespace {

// A little-endian byte sink.
class TWriter {
public:
    TBytes Bytes;

    void U8(uint32_t Value) { Bytes.push_back(static_cast<uint8_t>(Value)); }
    void U16(uint32_t Value) {
        U8(Value);
        U8(Value >> 8);
    }
    void U16BigEndian(uint32_t Value) {
        U8(Value >> 8);
        U8(Value);
    }
    void U32(uint32_t Value) {
        U16(Value);
        U16(Value >> 16);
    }
    // Text in a field of Size bytes, zero-padded or cut.
    void Text(const std::string& Value, size_t Size) {
        for (size_t i = 0; i < Size; ++i) U8(i < Value.size() ? static_cast<uint8_t>(Value[i]) : 0);
    }
    void Append(const TBytes& More) { Bytes.insert(Bytes.end(), More.begin(), More.end()); }
    // Pads with zeros, or cuts, so that Size bytes follow Start.
    void EndAt(size_t Start, size_t Size) { Bytes.resize(Start + Size, 0); }
    size_t Size() const { return Bytes.size(); }
};

// Amiga periods of notes 25..84 ("C-2".."B-6").
constexpr int32_t AmigaPeriods[60] = {
    1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960, 906,
    856,  808,  762,  720,  678,  640,  604,  570,  538,  508,  480, 453,
    428,  404,  381,  360,  339,  320,  302,  285,  269,  254,  240, 226,
    214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120, 113,
    107,  101,  95,   90,   85,   80,   75,   71,   67,   63,   60,  56};

int32_t BytesPerPoint(const TXmSample& Sample) { return Sample.Bits == 16 ? 2 : 1; }

int32_t Frames(const TXmSample& Sample) {
    int32_t Channels = Sample.NumChannels == 2 ? 2 : 1;
    return static_cast<int32_t>(Sample.Values.size()) / Channels;
}

// One channel of a stereo sample (0 left, 1 right), or the whole of a mono one.
std::vector<int32_t> ChannelPoints(const TXmSample& Sample, int32_t Channel) {
    if (Sample.NumChannels != 2) return Sample.Values;
    std::vector<int32_t> Points;
    for (int32_t f = 0; f < Frames(Sample); ++f) Points.push_back(Sample.Values[2 * f + Channel]);
    return Points;
}

TBytes SampleData(const TXmSample& Sample) {
    if (Sample.Adpcm) return AdpcmEncode(Sample.Values, Sample.AdpcmTable);
    if (Sample.NumChannels != 2) return DeltaEncode(Sample.Values, Sample.Bits);
    // Stereo: all left deltas, then all right deltas, each channel from 0.
    TBytes Data = DeltaEncode(ChannelPoints(Sample, 0), Sample.Bits);
    TBytes Right = DeltaEncode(ChannelPoints(Sample, 1), Sample.Bits);
    Data.insert(Data.end(), Right.begin(), Right.end());
    return Data;
}

void WriteSampleHeader(TWriter& Out, const TXmSample& Sample) {
    // Byte counts: frames times channels times bytes per point.
    uint32_t Scale = static_cast<uint32_t>(BytesPerPoint(Sample) * (Sample.NumChannels == 2 ? 2 : 1));
    uint32_t Length = Sample.Adpcm ? static_cast<uint32_t>(Sample.Values.size())
                                   : static_cast<uint32_t>(Frames(Sample)) * Scale;
    uint32_t LoopStart = Sample.Loop == TLoop::None ? 0 : static_cast<uint32_t>(Sample.LoopStart) * Scale;
    uint32_t LoopLength = Sample.Loop == TLoop::None ? 0 : static_cast<uint32_t>(Sample.LoopLength) * Scale;
    uint8_t Type = Sample.Loop == TLoop::Forward ? 1 : Sample.Loop == TLoop::PingPong ? 2 : 0;
    if (Sample.Bits == 16) Type |= 0x10;
    if (Sample.NumChannels == 2) Type |= 0x20;
    Out.U32(Sample.LengthBytes.value_or(Length));
    Out.U32(Sample.LoopStartBytes.value_or(LoopStart));
    Out.U32(Sample.LoopLengthBytes.value_or(LoopLength));
    Out.U8(static_cast<uint32_t>(Sample.Volume));
    Out.U8(static_cast<uint32_t>(Sample.FineTune));
    Out.U8(Sample.Type.value_or(Type));
    Out.U8(static_cast<uint32_t>(Sample.Panning));
    Out.U8(static_cast<uint32_t>(Sample.RelativeNote));
    Out.U8(Sample.Adpcm ? 0xAD : 0);
    Out.Text(Sample.Name, 22);
}

uint8_t EnvelopeType(const TXmEnvelope& Envelope) {
    if (Envelope.Type) return *Envelope.Type;
    uint8_t Type = Envelope.Points.empty() ? 0 : 1;
    if (Envelope.SustainPoint >= 0) Type |= 2;
    if (Envelope.LoopStart >= 0) Type |= 4;
    return Type;
}

void WriteEnvelopePoints(TWriter& Out, const TXmEnvelope& Envelope) {
    for (size_t k = 0; k < 12; ++k) {
        TEnvelopePoint Point = k < Envelope.Points.size() ? Envelope.Points[k] : TEnvelopePoint{};
        Out.U16(static_cast<uint32_t>(Point.Position));
        Out.U16(static_cast<uint32_t>(Point.Value));
    }
}

uint8_t EnvelopePointCount(const TXmEnvelope& Envelope) {
    return Envelope.NumPoints.value_or(static_cast<uint8_t>(std::min<size_t>(Envelope.Points.size(), 12)));
}

uint8_t Index(int32_t Value) { return Value < 0 ? 0 : static_cast<uint8_t>(Value); }

// Instrument header and its sample headers.
void WriteInstrumentHeaders(TWriter& Out, const TXmInstrument& Instrument) {
    size_t Start = Out.Size();
    bool HasSamples = !Instrument.Samples.empty();
    uint32_t HeaderSize = Instrument.HeaderSize.value_or(HasSamples ? 263 : 29);
    Out.U32(HeaderSize);
    Out.Text(Instrument.Name, 22);
    Out.U8(0);
    Out.U16(Instrument.SampleCount.value_or(static_cast<uint16_t>(Instrument.Samples.size())));
    if (HasSamples) {
        Out.U32(40);
        for (uint8_t Entry : Instrument.NoteSamples) Out.U8(Entry);
        WriteEnvelopePoints(Out, Instrument.VolumeEnvelope);
        WriteEnvelopePoints(Out, Instrument.PanningEnvelope);
        const TXmEnvelope& Volume = Instrument.VolumeEnvelope;
        const TXmEnvelope& Panning = Instrument.PanningEnvelope;
        Out.U8(EnvelopePointCount(Volume));
        Out.U8(EnvelopePointCount(Panning));
        Out.U8(Index(Volume.SustainPoint));
        Out.U8(Index(Volume.LoopStart));
        Out.U8(Index(Volume.LoopEnd));
        Out.U8(Index(Panning.SustainPoint));
        Out.U8(Index(Panning.LoopStart));
        Out.U8(Index(Panning.LoopEnd));
        Out.U8(EnvelopeType(Volume));
        Out.U8(EnvelopeType(Panning));
        Out.U8(static_cast<uint32_t>(Instrument.VibratoType));
        Out.U8(static_cast<uint32_t>(Instrument.VibratoSweep));
        Out.U8(static_cast<uint32_t>(Instrument.VibratoDepth));
        Out.U8(static_cast<uint32_t>(Instrument.VibratoRate));
        Out.U16(static_cast<uint32_t>(Instrument.FadeOut));
        Out.U16(0);
    }
    // The sample headers start where the header size says the header ends.
    Out.EndAt(Start, HeaderSize);
    for (const TXmSample& Sample : Instrument.Samples) WriteSampleHeader(Out, Sample);
}

void WriteInstrumentData(TWriter& Out, const TXmInstrument& Instrument) {
    for (const TXmSample& Sample : Instrument.Samples) Out.Append(SampleData(Sample));
}

void WritePattern(TWriter& Out, const TXmPattern& Pattern, const TXmSong& Song) {
    TBytes Data = Pattern.PackedData ? *Pattern.PackedData : PackPattern(Pattern, Song.Channels);
    if (Song.Version <= 0x0102) {
        Out.U32(8);
        Out.U8(0);
        Out.U8(static_cast<uint32_t>(Pattern.Rows - 1));
    } else {
        Out.U32(9);
        Out.U8(0);
        Out.U16(static_cast<uint32_t>(Pattern.Rows));
    }
    Out.U16(Pattern.PackedSize.value_or(static_cast<uint16_t>(Data.size())));
    Out.Append(Data);
}

TBytes NamesChunkPayload(const std::vector<std::string>& Names, size_t Size) {
    TWriter Out;
    for (const std::string& Name : Names) Out.Text(Name, Size);
    return Out.Bytes;
}

}  // namespace

// ---------------------------------------------------------------------------

int32_t Note(const std::string& Name) {
    if (Name == "===" || Name == "off") return KeyOff;
    static const int32_t Semitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (Name.size() == 3 && Name[0] >= 'A' && Name[0] <= 'G' && (Name[1] == '-' || Name[1] == '#') &&
        Name[2] >= '0' && Name[2] <= '7') {
        int32_t Semitone = Semitones[Name[0] - 'A'] + (Name[1] == '#' ? 1 : 0);
        if (Semitone < 12) return (Name[2] - '0') * 12 + Semitone + 1;
    }
    throw std::invalid_argument("not a note name: " + Name);
}

int32_t Fx(char Command) {
    if (Command >= '0' && Command <= '9') return Command - '0';
    if (Command >= 'A' && Command <= 'Z') return Command - 'A' + 10;
    throw std::invalid_argument(std::string("not an effect command: ") + Command);
}

TPlacedCell At(int32_t Row, int32_t Channel, int32_t Note, int32_t Instrument, int32_t Volume,
               int32_t Effect, int32_t Parameter) {
    return {Row, Channel, {Note, Instrument, Volume, Effect, Parameter}};
}

TBytes DeltaEncode(const std::vector<int32_t>& Points, int32_t Bits) {
    TWriter Out;
    int32_t Previous = 0;
    for (int32_t Point : Points) {
        // The difference wraps at the point width, like the decoder's sum.
        uint32_t Delta = static_cast<uint32_t>(Point) - static_cast<uint32_t>(Previous);
        if (Bits == 16)
            Out.U16(Delta);
        else
            Out.U8(Delta);
        Previous = Point;
    }
    return Out.Bytes;
}

TBytes AdpcmEncode(const std::vector<int32_t>& Points, const std::array<int8_t, 16>& Table,
                   std::vector<int32_t>* Decoded) {
    TWriter Out;
    for (int8_t Delta : Table) Out.U8(static_cast<uint8_t>(Delta));
    int8_t Accumulator = 0;
    std::vector<int32_t> Result;
    uint8_t Pending = 0;
    for (size_t k = 0; k < Points.size(); ++k) {
        // Picks the code that lands nearest the wanted point.
        int32_t Target = static_cast<int8_t>(static_cast<uint8_t>(Points[k]));
        int32_t Best = 0;
        int32_t BestError = 1 << 30;
        for (int32_t Code = 0; Code < 16; ++Code) {
            int8_t Next = static_cast<int8_t>(static_cast<uint8_t>(Accumulator + Table[Code]));
            int32_t Error = std::abs(Next - Target);
            if (Error < BestError) {
                Best = Code;
                BestError = Error;
            }
        }
        Accumulator = static_cast<int8_t>(static_cast<uint8_t>(Accumulator + Table[Best]));
        Result.push_back(Accumulator);
        if (k % 2 == 0) {
            Pending = static_cast<uint8_t>(Best);
        } else {
            Out.U8(Pending | (Best << 4));
            Pending = 0;
        }
    }
    if (Points.size() % 2 == 1) Out.U8(Pending);
    if (Decoded) *Decoded = Result;
    return Out.Bytes;
}

TBytes PackPattern(const TXmPattern& Pattern, int32_t Channels) {
    std::vector<TCell> Grid(static_cast<size_t>(std::max(Pattern.Rows, 0)) * std::max(Channels, 0));
    for (const TPlacedCell& Placed : Pattern.Cells) {
        if (Placed.Row < 0 || Placed.Row >= Pattern.Rows || Placed.Channel < 0 || Placed.Channel >= Channels)
            throw std::invalid_argument("pattern cell outside the pattern");
        Grid[static_cast<size_t>(Placed.Row) * Channels + Placed.Channel] = Placed.Cell;
    }
    TWriter Out;
    for (const TCell& Cell : Grid) {
        // The key-off is byte 97 in the file.
        const int32_t NoteByte = Cell.Note == KeyOff ? 97 : Cell.Note;
        const int32_t Fields[5] = {NoteByte, Cell.Instrument, Cell.Volume, Cell.Effect, Cell.Parameter};
        uint8_t Mask = 0;
        for (int32_t i = 0; i < 5; ++i)
            if (Fields[i] != 0) Mask |= 1 << i;
        // A full cell is as short written plainly; everything else is packed:
        // a byte with bit 7 set whose bits 0..4 tell which fields follow.
        bool Plain = Pattern.Unpacked || Mask == 0x1F;
        if (!Plain) Out.U8(0x80 | Mask);
        for (int32_t i = 0; i < 5; ++i)
            if (Plain || (Mask & (1 << i))) Out.U8(static_cast<uint32_t>(Fields[i]));
    }
    return Out.Bytes;
}

TBytes WriteXm(const TXmSong& Song) {
    TWriter Out;
    Out.Text(Song.Id, 17);
    Out.Text(Song.Title, 20);
    Out.U8(0x1A);
    Out.Text(Song.Tracker, 20);
    Out.U16(Song.Version);
    Out.U32(Song.HeaderSize);
    Out.U16(Song.SongLength.value_or(static_cast<uint16_t>(Song.Orders.size())));
    Out.U16(Song.RestartPosition);
    Out.U16(Song.Channels);
    Out.U16(Song.PatternCount.value_or(static_cast<uint16_t>(Song.Patterns.size())));
    Out.U16(Song.InstrumentCount.value_or(static_cast<uint16_t>(Song.Instruments.size())));
    Out.U16((Song.LinearSlides ? 0x0001 : 0) | (Song.ExtendedFilterRange ? 0x1000 : 0));
    Out.U16(Song.Speed);
    Out.U16(Song.Tempo);
    for (size_t i = 0; i < 256; ++i) Out.U8(i < Song.Orders.size() ? Song.Orders[i] : 0);
    // The first block starts where the header size says the header ends.
    Out.EndAt(60, Song.HeaderSize);

    if (Song.Version >= 0x0104) {
        for (const TXmPattern& Pattern : Song.Patterns) WritePattern(Out, Pattern, Song);
        for (const TXmInstrument& Instrument : Song.Instruments) {
            WriteInstrumentHeaders(Out, Instrument);
            WriteInstrumentData(Out, Instrument);
        }
    } else {
        // Older layout: all instrument headers, the patterns, then all sample data.
        for (const TXmInstrument& Instrument : Song.Instruments) WriteInstrumentHeaders(Out, Instrument);
        for (const TXmPattern& Pattern : Song.Patterns) WritePattern(Out, Pattern, Song);
        for (const TXmInstrument& Instrument : Song.Instruments) WriteInstrumentData(Out, Instrument);
    }

    for (const TXmChunk& Chunk : Song.Chunks) {
        Out.Text(Chunk.Id, 4);
        Out.U32(Chunk.Length.value_or(static_cast<uint32_t>(Chunk.Payload.size())));
        Out.Append(Chunk.Payload);
    }
    Out.Bytes.resize(Out.Size() - std::min<size_t>(Song.CutBytes, Out.Size()));
    return Out.Bytes;
}

TXmSample Sample8(std::vector<int32_t> Values, const std::string& Name) {
    TXmSample Sample;
    Sample.Name = Name;
    Sample.Values = std::move(Values);
    return Sample;
}

TXmSample Sample16(std::vector<int32_t> Values, const std::string& Name) {
    TXmSample Sample = Sample8(std::move(Values), Name);
    Sample.Bits = 16;
    return Sample;
}

TXmInstrument Instrument(const std::string& Name, TXmSample Sample) {
    TXmInstrument Result;
    Result.Name = Name;
    Result.Samples.push_back(std::move(Sample));
    return Result;
}

TXmSong SmallXm() {
    TXmSong Song;
    Song.Title = "small song";
    Song.Channels = 2;
    Song.Orders = {0};
    Song.Patterns.push_back({64, {At(0, 0, Note("C-4"), 1), At(32, 1, Note("G-4"), 1, 0x30)}});
    std::vector<int32_t> Square;
    for (int32_t i = 0; i < 32; ++i) Square.push_back(i < 16 ? 60 : -60);
    TXmSample Sample = Sample8(Square, "square");
    Sample.Loop = TLoop::Forward;
    Sample.LoopLength = 32;
    Song.Instruments.push_back(Instrument("square", Sample));
    return Song;
}

std::vector<TXmPattern> EmptyPatterns(std::initializer_list<int32_t> Rows) {
    std::vector<TXmPattern> Patterns;
    for (int32_t Count : Rows) Patterns.push_back(TXmPattern(Count, {}));
    return Patterns;
}

TXmSong ThreeSubsongsXm() {
    TXmSong Song = SmallXm();
    Song.Title = "three tunes";
    Song.Orders = {0, 1, 2, 3};
    Song.Patterns = EmptyPatterns({8, 8, 8, 4});
    Song.Patterns[0].Cells.push_back(At(7, 1, 0, 0, 0, Fx('B'), 0));
    Song.Patterns[2].Cells.push_back(At(7, 1, 0, 0, 0, Fx('B'), 1));
    return Song;
}

TXmChunk TextChunk(const std::string& Text) { return {"text", TBytes(Text.begin(), Text.end()), {}}; }

TXmChunk MidiChunk(const std::vector<std::pair<int32_t, std::string>>& Macros) {
    TBytes Table(TQuavixModule::MidiMacroSlots * TQuavixModule::MidiMacroLength, 0);
    for (const auto& Macro : Macros)
        for (size_t i = 0; i < Macro.second.size() && i < 32; ++i)
            Table.at(static_cast<size_t>(Macro.first) * 32 + i) = static_cast<uint8_t>(Macro.second[i]);
    return {"MIDI", Table, {}};
}

TXmChunk PatternNamesChunk(const std::vector<std::string>& Names) {
    return {"PNAM", NamesChunkPayload(Names, 32), {}};
}

TXmChunk ChannelNamesChunk(const std::vector<std::string>& Names) {
    return {"CNAM", NamesChunkPayload(Names, 20), {}};
}

TXmChunk ChannelPluginsChunk(const std::vector<uint32_t>& Plugins) {
    TWriter Out;
    for (uint32_t Plugin : Plugins) Out.U32(Plugin);
    return {"CHFX", Out.Bytes, {}};
}

TXmChunk OpaqueChunk(const std::string& Id, TBytes Payload) { return {Id, std::move(Payload), {}}; }

// ---------------------------------------------------------------------------

int32_t ModPeriod(int32_t Note) {
    if (Note < 25 || Note > 84) throw std::invalid_argument("note outside the Amiga period table");
    return AmigaPeriods[Note - 25];
}

TModPlacedCell ModAt(int32_t Row, int32_t Channel, int32_t Note, int32_t Instrument, int32_t Effect,
                     int32_t Parameter) {
    return {Row, Channel, {Note, Instrument, Effect, Parameter, {}}};
}

TBytes WriteMod(const TModSong& Song) {
    const bool Tagged = !Song.Tag.empty();
    const size_t SampleSlots = Tagged ? 31 : 15;
    if (Song.Samples.size() > SampleSlots) throw std::invalid_argument("too many samples for the form");

    TWriter Out;
    Out.Text(Song.Title, 20);
    uint32_t ExpectedSampleBytes = 0;  // what the headers announce
    for (size_t i = 0; i < SampleSlots; ++i) {
        if (i >= Song.Samples.size()) {
            Out.Text("", 22);
            Out.U16BigEndian(0);
            Out.U8(0);
            Out.U8(0);
            Out.U16BigEndian(0);
            Out.U16BigEndian(1);
            continue;
        }
        const TModSample& Sample = Song.Samples[i];
        uint16_t Words = Sample.LengthWords.value_or(static_cast<uint16_t>((Sample.Values.size() + 1) / 2));
        ExpectedSampleBytes += 2u * Words;
        Out.Text(Sample.Name, 22);
        Out.U16BigEndian(Words);
        Out.U8(static_cast<uint32_t>(Sample.FineTune));
        Out.U8(static_cast<uint32_t>(Sample.Volume));
        Out.U16BigEndian(static_cast<uint32_t>(Sample.LoopStartWords));
        Out.U16BigEndian(static_cast<uint32_t>(Sample.LoopLengthWords));
    }
    Out.U8(Song.SongLength.value_or(static_cast<uint8_t>(Song.Orders.size())));
    Out.U8(Song.RestartPosition);
    for (size_t i = 0; i < 128; ++i) Out.U8(i < Song.Orders.size() ? Song.Orders[i] : 0);
    if (Tagged) Out.Text(Song.Tag, 4);

    for (const TModPattern& Pattern : Song.Patterns) {
        std::vector<TModCell> Grid(64 * static_cast<size_t>(Song.Channels));
        for (const TModPlacedCell& Placed : Pattern.Cells) {
            if (Placed.Row < 0 || Placed.Row >= 64 || Placed.Channel < 0 || Placed.Channel >= Song.Channels)
                throw std::invalid_argument("pattern cell outside the pattern");
            Grid[static_cast<size_t>(Placed.Row) * Song.Channels + Placed.Channel] = Placed.Cell;
        }
        for (const TModCell& Cell : Grid) {
            int32_t Period = Cell.Period ? *Cell.Period : Cell.Note ? ModPeriod(Cell.Note) : 0;
            Out.U8((Cell.Instrument & 0xF0) | ((Period >> 8) & 0x0F));
            Out.U8(Period & 0xFF);
            Out.U8(((Cell.Instrument & 0x0F) << 4) | (Cell.Effect & 0x0F));
            Out.U8(static_cast<uint32_t>(Cell.Parameter));
        }
    }

    bool AnyAdpcm = false;
    size_t DataStart = Out.Size();
    for (const TModSample& Sample : Song.Samples) {
        if (Sample.Adpcm) {
            AnyAdpcm = true;
            Out.Text("ADPCM", 5);
            Out.Append(AdpcmEncode(Sample.Values, Sample.AdpcmTable));
            continue;
        }
        for (int32_t Value : Sample.Values) Out.U8(static_cast<uint32_t>(Value));
        if (Sample.Values.size() % 2 == 1) Out.U8(0);
    }
    // Compressed data is shorter than the lengths announce; the file is
    // padded at its end so that its length matches them.
    if (AnyAdpcm && Out.Size() < DataStart + ExpectedSampleBytes) Out.EndAt(DataStart, ExpectedSampleBytes);

    if (Song.ExtraBytes >= 0)
        Out.Bytes.resize(Out.Size() + static_cast<size_t>(Song.ExtraBytes), 0);
    else
        Out.Bytes.resize(Out.Size() - std::min<size_t>(static_cast<size_t>(-Song.ExtraBytes), Out.Size()));
    return Out.Bytes;
}

TModSong SmallMod() {
    TModSong Song;
    Song.Title = "small mod";
    Song.Orders = {0};
    Song.Patterns.push_back({{ModAt(0, 0, Note("C-3"), 1), ModAt(16, 3, Note("E-3"), 1, 0xC, 0x20)}});
    TModSample Sample;
    Sample.Name = "saw";
    for (int32_t i = 0; i < 64; ++i) Sample.Values.push_back(i * 4 - 128);
    Sample.LoopStartWords = 0;
    Sample.LoopLengthWords = 32;
    Song.Samples.push_back(Sample);
    return Song;
}

namespace {

// Pads with zeros to the next paragraph (16 bytes), where parapointers point.
void PadToParagraph(TWriter& Out) {
    while (Out.Size() % 16 != 0) Out.U8(0);
}

void PatchWord(TWriter& Out, size_t At, uint32_t Value) {
    Out.Bytes[At] = static_cast<uint8_t>(Value);
    Out.Bytes[At + 1] = static_cast<uint8_t>(Value >> 8);
}

TBytes PackS3mRows(const TS3mPattern& Pattern) {
    std::vector<std::vector<TS3mPlacedCell>> Rows(64);
    for (const TS3mPlacedCell& Placed : Pattern.Cells) {
        if (Placed.Row < 0 || Placed.Row >= 64 || Placed.Channel < 0 || Placed.Channel >= 32)
            throw std::invalid_argument("pattern cell outside the pattern");
        Rows[static_cast<size_t>(Placed.Row)].push_back(Placed);
    }
    TWriter Out;
    for (const std::vector<TS3mPlacedCell>& Row : Rows) {
        for (const TS3mPlacedCell& Placed : Row) {
            const TS3mCell& Cell = Placed.Cell;
            const bool NoteField = Cell.Note != 0 || Cell.Instrument != 0;
            const uint8_t What = static_cast<uint8_t>(Placed.Channel | (NoteField ? 0x20 : 0) |
                                                      (Cell.Volume >= 0 ? 0x40 : 0) | (Cell.Command ? 0x80 : 0));
            Out.U8(What);
            if (NoteField) {
                if (Cell.Note == S3mNoteCut)
                    Out.U8(254);
                else if (Cell.Note == 0)
                    Out.U8(255);
                else
                    Out.U8((((Cell.Note - 1) / 12) << 4) | ((Cell.Note - 1) % 12));
                Out.U8(static_cast<uint32_t>(Cell.Instrument));
            }
            if (Cell.Volume >= 0) Out.U8(static_cast<uint32_t>(Cell.Volume));
            if (Cell.Command) {
                Out.U8(static_cast<uint32_t>(Cell.Command - 'A' + 1));
                Out.U8(static_cast<uint32_t>(Cell.Parameter));
            }
        }
        Out.U8(0);
    }
    return Out.Bytes;
}

void WriteS3mPoint(TWriter& Out, int32_t Value, int32_t Bits, bool Unsigned) {
    if (Bits == 16)
        Out.U16(static_cast<uint32_t>(Value) ^ (Unsigned ? 0x8000u : 0u));
    else
        Out.U8(static_cast<uint32_t>(Value) ^ (Unsigned ? 0x80u : 0u));
}

}  // namespace

TBytes WriteS3m(const TS3mSong& Song) {
    TWriter Out;
    Out.Text(Song.Title, 28);
    Out.U8(0x1A);
    Out.U8(16);
    Out.U16(0);
    Out.U16(static_cast<uint32_t>(Song.Orders.size()));
    Out.U16(static_cast<uint32_t>(Song.Instruments.size()));
    Out.U16(static_cast<uint32_t>(Song.Patterns.size()));
    Out.U16(Song.Flags);
    Out.U16(Song.TrackerVersion);
    Out.U16(Song.UnsignedSamples ? 2 : 1);
    Out.Text("SCRM", 4);
    Out.U8(Song.GlobalVolume);
    Out.U8(Song.Speed);
    Out.U8(Song.Tempo);
    Out.U8(Song.MasterVolume);
    Out.U8(0);  // ultra click removal
    Out.U8(Song.DefaultPanning ? 252 : 0);
    Out.EndAt(0, 0x40);
    for (size_t c = 0; c < 32; ++c) Out.U8(c < Song.ChannelSettings.size() ? Song.ChannelSettings[c] : 255);
    for (uint8_t Order : Song.Orders) Out.U8(Order);
    const size_t InstrumentPointers = Out.Size();
    for (size_t i = 0; i < Song.Instruments.size(); ++i) Out.U16(0);
    const size_t PatternPointers = Out.Size();
    for (size_t i = 0; i < Song.Patterns.size(); ++i) Out.U16(0);
    if (Song.DefaultPanning)
        for (size_t c = 0; c < 32; ++c) Out.U8(c < Song.DefaultPanning->size() ? (*Song.DefaultPanning)[c] : 0);

    // Instrument headers, then the patterns, then the sample data.
    std::vector<size_t> DataPointers;
    for (size_t i = 0; i < Song.Instruments.size(); ++i) {
        const TS3mInstrument& Instrument = Song.Instruments[i];
        PadToParagraph(Out);
        PatchWord(Out, InstrumentPointers + 2 * i, static_cast<uint32_t>(Out.Size() / 16));
        const size_t Start = Out.Size();
        const int32_t Frames = static_cast<int32_t>(Instrument.Values.size()) / (Instrument.NumChannels == 2 ? 2 : 1);
        Out.U8(static_cast<uint32_t>(Instrument.Type));
        Out.Text(Instrument.FileName, 12);
        DataPointers.push_back(Out.Size());
        Out.U8(0);
        Out.U16(0);
        Out.U32(Instrument.Length.value_or(static_cast<uint32_t>(Frames)));
        Out.U32(static_cast<uint32_t>(Instrument.LoopStart));
        Out.U32(static_cast<uint32_t>(Instrument.LoopEnd));
        Out.U8(static_cast<uint32_t>(Instrument.Volume));
        Out.U8(0);
        Out.U8(0);  // packing: none
        Out.U8((Instrument.Loop ? 1 : 0) | (Instrument.NumChannels == 2 ? 2 : 0) | (Instrument.Bits == 16 ? 4 : 0));
        Out.U32(Instrument.C2Speed);
        Out.EndAt(Start, 0x30);
        Out.Text(Instrument.Name, 28);
        Out.Text(Instrument.Type == 1 ? "SCRS" : Instrument.Type >= 2 ? "SCRI" : "", 4);
    }
    for (size_t p = 0; p < Song.Patterns.size(); ++p) {
        const TS3mPattern& Pattern = Song.Patterns[p];
        if (Pattern.Missing) continue;
        PadToParagraph(Out);
        PatchWord(Out, PatternPointers + 2 * p, static_cast<uint32_t>(Out.Size() / 16));
        const TBytes Rows = Pattern.PackedData ? *Pattern.PackedData : PackS3mRows(Pattern);
        Out.U16(static_cast<uint32_t>(Rows.size() + 2));
        Out.Append(Rows);
    }
    for (size_t i = 0; i < Song.Instruments.size(); ++i) {
        const TS3mInstrument& Instrument = Song.Instruments[i];
        if (Instrument.Type != 1) continue;
        PadToParagraph(Out);
        const uint32_t Pointer = static_cast<uint32_t>(Out.Size() / 16);
        Out.Bytes[DataPointers[i]] = static_cast<uint8_t>(Pointer >> 16);
        PatchWord(Out, DataPointers[i] + 1, Pointer);
        const size_t Channels = Instrument.NumChannels == 2 ? 2 : 1;
        for (size_t Channel = 0; Channel < Channels; ++Channel)
            for (size_t k = Channel; k < Instrument.Values.size(); k += Channels)
                WriteS3mPoint(Out, Instrument.Values[k], Instrument.Bits, Song.UnsignedSamples);
    }
    Out.Bytes.resize(Out.Size() - std::min<size_t>(Song.CutBytes, Out.Size()));
    return Out.Bytes;
}

// ---------------------------------------------------------------------------
// Impulse Tracker

namespace {

void PatchLong(TWriter& Out, size_t At, uint32_t Value) {
    for (int32_t i = 0; i < 4; ++i) Out.Bytes[At + i] = static_cast<uint8_t>(Value >> (8 * i));
}

// Writes bits from the low end of each byte up.
class TBitWriter {
public:
    TBytes Bytes;
    void Write(uint32_t Value, int32_t Count) {
        for (int32_t i = 0; i < Count; ++i) {
            if (Bit == 0) Bytes.push_back(0);
            Bytes.back() |= static_cast<uint8_t>(((Value >> i) & 1) << Bit);
            Bit = (Bit + 1) & 7;
        }
    }

private:
    int32_t Bit = 0;
};

// The compressed form in its widest width only (9 or 17 bits a value, which
// carry any delta without changing width), in blocks of 0x8000 bytes of data.
void WriteCompressedChannel(TWriter& Out, const std::vector<int32_t>& Points, int32_t Bits, bool DoubleDelta) {
    const size_t BlockPoints = Bits == 16 ? 0x4000 : 0x8000;
    for (size_t Start = 0; Start < Points.size(); Start += BlockPoints) {
        TBitWriter Block;
        int32_t Previous = 0, PreviousDelta = 0;
        for (size_t k = Start; k < std::min(Points.size(), Start + BlockPoints); ++k) {
            const int32_t Delta = Points[k] - Previous;
            Previous = Points[k];
            const int32_t Sent = DoubleDelta ? Delta - PreviousDelta : Delta;
            PreviousDelta = Delta;
            Block.Write(static_cast<uint32_t>(Sent) & (Bits == 16 ? 0xFFFF : 0xFF), Bits == 16 ? 17 : 9);
        }
        Out.U16(static_cast<uint32_t>(Block.Bytes.size()));
        Out.Append(Block.Bytes);
    }
}

void WriteItEnvelope(TWriter& Out, const TItEnvelope& E) {
    const size_t Start = Out.Size();
    Out.U8((E.Enabled ? 1 : 0) | (E.Loop ? 2 : 0) | (E.Sustain ? 4 : 0) | (E.Carry ? 8 : 0) | (E.Filter ? 0x80 : 0));
    Out.U8(static_cast<uint32_t>(E.Points.size()));
    Out.U8(static_cast<uint32_t>(E.LoopStart));
    Out.U8(static_cast<uint32_t>(E.LoopEnd));
    Out.U8(static_cast<uint32_t>(E.SustainStart));
    Out.U8(static_cast<uint32_t>(E.SustainEnd));
    for (const auto& [Tick, Value] : E.Points) {
        Out.U8(static_cast<uint32_t>(Value));
        Out.U16(static_cast<uint32_t>(Tick));
    }
    Out.EndAt(Start, 82);
}

uint8_t ItNoteByte(int32_t Note) {
    if (Note == ItNoteCut) return 254;
    if (Note == ItNoteOff) return 255;
    if (Note == ItNoteFade) return 246;
    if (Note >= ItNoteAsStored) return static_cast<uint8_t>(Note - ItNoteAsStored);
    return static_cast<uint8_t>(Note + 11);
}

}  // namespace

TBytes WriteIt(const TItSong& Song) {
    TWriter Out;
    const bool Instruments = !Song.Instruments.empty();
    Out.Text("IMPM", 4);
    Out.Text(Song.Title, 26);
    Out.U16(0x1004);
    Out.U16(static_cast<uint32_t>(Song.Orders.size()));
    Out.U16(static_cast<uint32_t>(Song.Instruments.size()));
    Out.U16(static_cast<uint32_t>(Song.Samples.size()));
    Out.U16(static_cast<uint32_t>(Song.Patterns.size()));
    Out.U16(Song.TrackerVersion);
    Out.U16(Song.CompatibleVersion);
    Out.U16(static_cast<uint32_t>(Song.Flags | (Instruments ? 4 : 0)));
    Out.U16((Song.Message.empty() ? 0 : 1) | (Song.EditHistory > 0 ? 2 : 0) | (Song.Macros.empty() ? 0 : 8));
    Out.U8(Song.GlobalVolume);
    Out.U8(Song.MixVolume);
    Out.U8(Song.Speed);
    Out.U8(Song.Tempo);
    Out.U8(128);  // separation
    Out.U8(0);
    const size_t MessageField = Out.Size();
    Out.U16(static_cast<uint32_t>(Song.Message.size()));
    Out.U32(0);
    Out.U32(0);
    for (size_t c = 0; c < 64; ++c) Out.U8(c < Song.ChannelPanning.size() ? Song.ChannelPanning[c] : 32 | 128);
    for (size_t c = 0; c < 64; ++c) Out.U8(c < Song.ChannelVolume.size() ? Song.ChannelVolume[c] : 64);
    for (uint8_t Order : Song.Orders) Out.U8(Order);
    const size_t InstrumentOffsets = Out.Size();
    for (size_t i = 0; i < Song.Instruments.size(); ++i) Out.U32(0);
    const size_t SampleOffsets = Out.Size();
    for (size_t i = 0; i < Song.Samples.size(); ++i) Out.U32(0);
    const size_t PatternOffsets = Out.Size();
    for (size_t i = 0; i < Song.Patterns.size(); ++i) Out.U32(0);
    if (Song.EditHistory > 0) {
        Out.U16(static_cast<uint32_t>(Song.EditHistory));
        for (int32_t i = 0; i < Song.EditHistory; ++i) Out.Text("session", 8);
    }
    if (!Song.Macros.empty()) {
        std::vector<std::string> Table(153);
        for (const auto& [Slot, Text] : Song.Macros) Table.at(static_cast<size_t>(Slot)) = Text;
        for (const std::string& Text : Table) Out.Text(Text, 32);
    }
    if (!Song.Message.empty()) {
        PatchLong(Out, MessageField + 2, static_cast<uint32_t>(Out.Size()));
        Out.Text(Song.Message, Song.Message.size());
    }
    for (size_t i = 0; i < Song.Instruments.size(); ++i) {
        const TItInstrument& I = Song.Instruments[i];
        PatchLong(Out, InstrumentOffsets + 4 * i, static_cast<uint32_t>(Out.Size()));
        const size_t Start = Out.Size();
        Out.Text("IMPI", 4);
        Out.Text("", 12);
        Out.U8(0);
        Out.U8(static_cast<uint32_t>(I.NewNoteAction));
        Out.U8(static_cast<uint32_t>(I.DuplicateCheckType));
        Out.U8(static_cast<uint32_t>(I.DuplicateCheckAction));
        Out.U16(static_cast<uint32_t>(I.FadeOut));
        Out.U8(static_cast<uint8_t>(I.PitchPanSeparation));
        Out.U8(static_cast<uint32_t>(I.PitchPanCentre));
        Out.U8(static_cast<uint32_t>(I.GlobalVolume));
        Out.U8(I.Panning < 0 ? 0x80 | 32 : static_cast<uint32_t>(I.Panning));
        Out.U8(static_cast<uint32_t>(I.VolumeSwing));
        Out.U8(static_cast<uint32_t>(I.PanningSwing));
        Out.U16(0);
        Out.U8(0);
        Out.U8(0);
        Out.Text(I.Name, 26);
        Out.U8(I.FilterCutoff < 0 ? 0 : 0x80 | static_cast<uint32_t>(I.FilterCutoff));
        Out.U8(I.FilterResonance < 0 ? 0 : 0x80 | static_cast<uint32_t>(I.FilterResonance));
        Out.EndAt(Start, 0x40);
        for (int32_t Note = 0; Note < 120; ++Note) {
            Out.U8(static_cast<uint32_t>(std::clamp(Note + I.Transpose, 0, 119)));
            const size_t k = static_cast<size_t>(Note);
            Out.U8(static_cast<uint32_t>(I.Keyboard.empty() ? I.Sample : k < I.Keyboard.size() ? I.Keyboard[k] : 0));
        }
        WriteItEnvelope(Out, I.VolumeEnvelope);
        WriteItEnvelope(Out, I.PanningEnvelope);
        WriteItEnvelope(Out, I.PitchEnvelope);
        Out.EndAt(Start, 0x226);
    }
    std::vector<size_t> DataFields;
    for (size_t i = 0; i < Song.Samples.size(); ++i) {
        const TItSample& S = Song.Samples[i];
        PatchLong(Out, SampleOffsets + 4 * i, static_cast<uint32_t>(Out.Size()));
        const size_t Start = Out.Size();
        const int32_t Frames = static_cast<int32_t>(S.Values.size()) / (S.NumChannels == 2 ? 2 : 1);
        Out.Text("IMPS", 4);
        Out.Text("", 12);
        Out.U8(0);
        Out.U8(static_cast<uint32_t>(S.GlobalVolume));
        Out.U8((Frames > 0 ? 1 : 0) | (S.Bits == 16 ? 2 : 0) | (S.NumChannels == 2 ? 4 : 0) | (S.Compressed ? 8 : 0) |
               (S.Loop ? 16 : 0) | (S.SustainLoop ? 32 : 0) | (S.PingPong ? 64 : 0));
        Out.U8(static_cast<uint32_t>(S.Volume));
        Out.Text(S.Name, 26);
        Out.U8((S.Signed ? 1 : 0) | (S.Delta || S.DoubleDelta ? 4 : 0));
        Out.U8(S.Panning < 0 ? 32 : 0x80 | static_cast<uint32_t>(S.Panning));
        Out.U32(static_cast<uint32_t>(Frames));
        Out.U32(static_cast<uint32_t>(S.LoopStart));
        Out.U32(static_cast<uint32_t>(S.LoopEnd));
        Out.U32(S.C5Speed);
        Out.U32(static_cast<uint32_t>(S.SustainStart));
        Out.U32(static_cast<uint32_t>(S.SustainEnd));
        DataFields.push_back(Out.Size());
        Out.U32(0);
        for (int32_t Value : {S.VibratoSpeed, S.VibratoDepth, S.VibratoRate, S.VibratoType})
            Out.U8(static_cast<uint32_t>(Value));
        Out.EndAt(Start, 0x50);
    }
    for (size_t p = 0; p < Song.Patterns.size(); ++p) {
        const TItPattern& Pattern = Song.Patterns[p];
        PatchLong(Out, PatternOffsets + 4 * p, static_cast<uint32_t>(Out.Size()));
        std::vector<std::vector<TItPlacedCell>> Rows(static_cast<size_t>(Pattern.Rows));
        for (const TItPlacedCell& Placed : Pattern.Cells) Rows.at(static_cast<size_t>(Placed.Row)).push_back(Placed);
        TWriter Packed;
        for (const auto& Row : Rows) {
            for (const TItPlacedCell& Placed : Row) {
                const TItCell& C = Placed.Cell;
                const uint8_t Mask = static_cast<uint8_t>((C.Note != 0 ? 1 : 0) | (C.Instrument != 0 ? 2 : 0) |
                                                          (C.Volume >= 0 ? 4 : 0) | (C.Command ? 8 : 0));
                Packed.U8(static_cast<uint32_t>((Placed.Channel + 1) | 0x80));
                Packed.U8(Mask);
                if (Mask & 1) Packed.U8(ItNoteByte(C.Note));
                if (Mask & 2) Packed.U8(static_cast<uint32_t>(C.Instrument));
                if (Mask & 4) Packed.U8(static_cast<uint32_t>(C.Volume));
                if (Mask & 8) {
                    Packed.U8(static_cast<uint32_t>(C.Command - 'A' + 1));
                    Packed.U8(static_cast<uint32_t>(C.Parameter));
                }
            }
            Packed.U8(0);
        }
        Out.U16(static_cast<uint32_t>(Packed.Size()));
        Out.U16(static_cast<uint32_t>(Pattern.Rows));
        Out.U32(0);
        Out.Append(Packed.Bytes);
    }
    for (size_t i = 0; i < Song.Samples.size(); ++i) {
        const TItSample& S = Song.Samples[i];
        PatchLong(Out, DataFields[i], static_cast<uint32_t>(Out.Size()));
        const size_t Channels = S.NumChannels == 2 ? 2 : 1;
        for (size_t Channel = 0; Channel < Channels; ++Channel) {
            std::vector<int32_t> Points;
            for (size_t k = Channel; k < S.Values.size(); k += Channels) Points.push_back(S.Values[k]);
            if (S.Compressed) {
                WriteCompressedChannel(Out, Points, S.Bits, S.DoubleDelta);
                continue;
            }
            int32_t Previous = 0;
            for (int32_t Point : Points) {
                int32_t Value = S.Delta ? Point - Previous : Point;
                Previous = Point;
                if (!S.Signed) Value += S.Bits == 16 ? 32768 : 128;
                if (S.Bits == 16)
                    Out.U16(static_cast<uint32_t>(Value) & 0xFFFF);
                else
                    Out.U8(static_cast<uint32_t>(Value) & 0xFF);
            }
        }
    }
    Out.Bytes.resize(Out.Size() - std::min<size_t>(Song.CutBytes, Out.Size()));
    return Out.Bytes;
}

TItPlacedCell ItAt(int32_t Row, int32_t Channel, int32_t Note, int32_t Instrument, int32_t Volume, char Command,
                   int32_t Parameter) {
    TItPlacedCell Placed;
    Placed.Row = Row;
    Placed.Channel = Channel;
    Placed.Cell = {Note, Instrument, Volume, Command, Parameter};
    return Placed;
}

TItSong SmallIt() {
    TItSong Song;
    Song.Title = "small";
    TItSample Square;
    Square.Name = "square";
    for (int32_t i = 0; i < 64; ++i) Square.Values.push_back(i < 32 ? 100 : -100);
    Square.Loop = true;
    Square.LoopEnd = 64;
    Song.Samples.push_back(Square);
    Song.Patterns.push_back(TItPattern());
    return Song;
}

TS3mPlacedCell S3mAt(int32_t Row, int32_t Channel, int32_t Note, int32_t Instrument, int32_t Volume, char Command,
                     int32_t Parameter) {
    return {Row, Channel, {Note, Instrument, Volume, Command, Parameter}};
}

TS3mInstrument S3mSample8(std::vector<int32_t> Values, const std::string& Name) {
    TS3mInstrument Instrument;
    Instrument.Name = Name;
    Instrument.Values = std::move(Values);
    return Instrument;
}

TS3mSong SmallS3m() {
    TS3mSong Song;
    Song.Title = "small s3m";
    Song.Orders = {0, 255};
    Song.Patterns.push_back({{S3mAt(0, 0, Note("C-4"), 1), S3mAt(16, 3, Note("E-4"), 1, 32)}});
    std::vector<int32_t> Saw;
    for (int32_t i = 0; i < 64; ++i) Saw.push_back(i * 4 - 128);
    TS3mInstrument Sample = S3mSample8(Saw, "saw");
    Sample.Loop = true;
    Sample.LoopEnd = 64;
    Song.Instruments.push_back(Sample);
    return Song;
}

void SaveBytes(const std::string& Path, const TBytes& Bytes) {
    std::ofstream File(Path, std::ios::binary | std::ios::trunc);
    if (!File) throw std::runtime_error("cannot write " + Path);
    File.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    if (!File) throw std::runtime_error("cannot write " + Path);
}

}  // namespace quavix_test
