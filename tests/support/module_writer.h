// The module writer: builds Extended Module (.xm), pattern-format (.mod) and
// Scream Tracker 3 (.s3m) files from a short description, so that tests, benchmarks, the fuzz seeds
// and the bundled song say what a file holds instead of spelling out bytes.
//
// By default every field is written as a tracker would write it. Each
// description also carries a few plain overrides (a header size, a count, a
// length) that make deliberately broken files: a loader must survive them.
//
//   quavix_test::TXmSong Song;
//   Song.Channels = 2;
//   Song.Orders = {0};
//   Song.Patterns.push_back({64, {quavix_test::At(0, 0, quavix_test::Note("C-4"), 1)}});
//   Song.Instruments.push_back(quavix_test::Instrument("lead", quavix_test::Sample8({0, 40, 80})));
//   std::vector<uint8_t> Bytes = quavix_test::WriteXm(Song);
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "song/commands.h"
#include "song/pattern.h"

namespace quavix_test {

using TBytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------
// Notes and effects in Extended Module numbering.

constexpr int32_t KeyOff = TQuavixNote::KeyOff;

// "C-4" -> 49, "F#2" -> 31, "===" or "off" -> key off. Octaves 0..7.
// Throws std::invalid_argument for anything else.
int32_t Note(const std::string& Name);

// Effect number of a command letter or digit: '0'..'9' -> 0..9, 'A'..'Z' -> 10..35.
int32_t Fx(char Command);

// One pattern cell as stored: note, instrument, volume-column byte, effect,
// parameter. All zero is the empty cell.
struct TCell {
    int32_t Note = 0;
    int32_t Instrument = 0;
    int32_t Volume = 0;
    int32_t Effect = 0;
    int32_t Parameter = 0;
};

// A cell at a row and channel; cells not listed are empty.
struct TPlacedCell {
    int32_t Row = 0;
    int32_t Channel = 0;
    TCell Cell;
};

// The same cell as the song model holds it, for checking what a loader read
// or for handing a cell to a channel. Volume is the volume-column byte as an
// Extended Module stores it.
inline TQuavixPatternNote MakeCell(int32_t Note, int32_t Instrument = 0, int32_t Volume = 0, int32_t Effect = 0,
                                   int32_t Parameter = 0) {
    TQuavixPatternNote Cell;
    Cell.Note = Note;
    Cell.Instrument = Instrument;
    const TQuavixVolumeColumn Column = QuavixXmVolumeColumn(static_cast<uint8_t>(Volume));
    Cell.VolumeCommand = Column.Command;
    Cell.VolumeParameter = Column.Parameter;
    Cell.Effect = Effect;
    Cell.EffectParameter = Parameter;
    return Cell;
}

TPlacedCell At(int32_t Row, int32_t Channel, int32_t Note, int32_t Instrument = 0,
               int32_t Volume = 0, int32_t Effect = 0, int32_t Parameter = 0);

// ---------------------------------------------------------------------------
// Extended Module description.

struct TXmPattern {
    TXmPattern() = default;
    TXmPattern(int32_t ARows, std::vector<TPlacedCell> ACells) : Rows(ARows), Cells(std::move(ACells)) {}

    int32_t Rows = 64;
    std::vector<TPlacedCell> Cells;
    // Replaces the packed cell data by these bytes (e.g. data cut short).
    std::optional<TBytes> PackedData;
    // Packed size written in the pattern header instead of the real one.
    std::optional<uint16_t> PackedSize;
    // Writes every cell as five plain bytes instead of the packed form.
    bool Unpacked = false;
};

struct TEnvelopePoint {
    int32_t Position = 0;  // ticks
    int32_t Value = 0;     // 0..64
};

struct TXmEnvelope {
    std::vector<TEnvelopePoint> Points;  // at most 12 are written
    int32_t SustainPoint = -1;           // -1: no sustain
    int32_t LoopStart = -1;              // -1: no loop
    int32_t LoopEnd = -1;
    // Type byte instead of the one derived from the above (bit 0 on when
    // there are points, bit 1 sustain, bit 2 loop).
    std::optional<uint8_t> Type;
    // Point count written instead of Points.size().
    std::optional<uint8_t> NumPoints;
};

enum class TLoop { None, Forward, PingPong };

// ADPCM delta table written with a compressed sample: sample points whose
// steps all appear in it (wrapping at 8 bits) are encoded without loss.
constexpr std::array<int8_t, 16> DefaultAdpcmTable = {0,  1,  2,  4,  8,   16,  32,  64,
                                                      -1, -2, -4, -8, -16, -32, -64, -128};

struct TXmSample {
    std::string Name;
    int32_t Bits = 8;         // 8 or 16
    int32_t NumChannels = 1;  // 1 or 2
    // Sample points: -128..127 for 8-bit, -32768..32767 for 16-bit; stereo
    // frames interleaved left, right. The writer delta-codes them.
    std::vector<int32_t> Values;
    TLoop Loop = TLoop::None;
    int32_t LoopStart = 0;  // frames
    int32_t LoopLength = 0;
    int32_t Volume = 64;
    int32_t Panning = 128;
    int32_t RelativeNote = 0;
    int32_t FineTune = 0;  // -128..127
    // 4-bit ADPCM (mono 8-bit only); packing byte 0xAD.
    bool Adpcm = false;
    std::array<int8_t, 16> AdpcmTable = DefaultAdpcmTable;
    // Raw header fields in bytes instead of the ones derived from the above;
    // the data written stays what Values give.
    std::optional<uint32_t> LengthBytes;
    std::optional<uint32_t> LoopStartBytes;
    std::optional<uint32_t> LoopLengthBytes;
    std::optional<uint8_t> Type;
};

struct TXmInstrument {
    std::string Name;
    std::vector<TXmSample> Samples;
    // Entry n - 1: the sample used by note n.
    std::array<uint8_t, 96> NoteSamples{};
    TXmEnvelope VolumeEnvelope;
    TXmEnvelope PanningEnvelope;
    int32_t FadeOut = 0;
    int32_t VibratoType = 0;
    int32_t VibratoSweep = 0;
    int32_t VibratoDepth = 0;
    int32_t VibratoRate = 0;
    // Instrument header size; by default 263 with samples, 29 without, as
    // trackers write it.
    std::optional<uint32_t> HeaderSize;
    // Sample count written instead of Samples.size() (the headers written
    // stay those of Samples).
    std::optional<uint16_t> SampleCount;
};

struct TXmChunk {
    std::string Id;  // four characters
    TBytes Payload;
    // Payload length written instead of the real one.
    std::optional<uint32_t> Length;
};

struct TXmSong {
    std::string Id = "Extended Module: ";
    std::string Title;
    std::string Tracker = "Quavix module writer";
    uint16_t Version = 0x0104;  // 0x0102 and 0x0103 use the older layouts
    uint32_t HeaderSize = 276;
    uint16_t Channels = 4;
    std::vector<uint8_t> Orders;
    std::optional<uint16_t> SongLength;  // default: Orders.size()
    uint16_t RestartPosition = 0;
    bool LinearSlides = true;
    bool ExtendedFilterRange = false;
    uint16_t Speed = 6;
    uint16_t Tempo = 125;
    std::vector<TXmPattern> Patterns;
    std::vector<TXmInstrument> Instruments;  // numbered from 1
    std::vector<TXmChunk> Chunks;            // after the song
    // Counts written instead of the sizes of Patterns and Instruments.
    std::optional<uint16_t> PatternCount;
    std::optional<uint16_t> InstrumentCount;
    // Bytes removed from the end of the file (a file cut short).
    uint32_t CutBytes = 0;
};

TBytes WriteXm(const TXmSong& Song);

// Shorthands.
TXmSample Sample8(std::vector<int32_t> Values, const std::string& Name = "");
TXmSample Sample16(std::vector<int32_t> Values, const std::string& Name = "");
// An instrument whose every note plays its first sample.
TXmInstrument Instrument(const std::string& Name, TXmSample Sample);
// A valid one-pattern song with one instrument, as a starting point.
TXmSong SmallXm();
// Patterns without notes, of these many rows each.
std::vector<TXmPattern> EmptyPatterns(std::initializer_list<int32_t> Rows);
// Three songs in one order list, as games keep them ("three tunes"): order 0
// jumps back to itself; orders 1 and 2, which nothing reaches from the
// start, jump back to order 1; order 3 stands alone, the song going on at
// its restart position, before it. 8, 16 and 4 empty rows.
TXmSong ThreeSubsongsXm();

// Extension chunks.
TXmChunk TextChunk(const std::string& Text);
// The macro table's slots (TQuavixMacroSlot) of 32 characters; slots not given
// stay zero.
TXmChunk MidiChunk(const std::vector<std::pair<int32_t, std::string>>& Macros);
TXmChunk PatternNamesChunk(const std::vector<std::string>& Names);  // "PNAM", 32 bytes each
TXmChunk ChannelNamesChunk(const std::vector<std::string>& Names);  // "CNAM", 20 bytes each
TXmChunk ChannelPluginsChunk(const std::vector<uint32_t>& Plugins);  // "CHFX"
TXmChunk OpaqueChunk(const std::string& Id, TBytes Payload);        // "EQFX", "FX07", ...

// ---------------------------------------------------------------------------
// Pattern-format (.mod) description.

struct TModCell {
    int32_t Note = 0;  // Extended Module numbering, 25..84 ("C-2".."B-6"); 0 none
    int32_t Instrument = 0;
    int32_t Effect = 0;  // 0..15
    int32_t Parameter = 0;
    // Raw Amiga period written instead of the note's period.
    std::optional<int32_t> Period;
};

struct TModPlacedCell {
    int32_t Row = 0;
    int32_t Channel = 0;
    TModCell Cell;
};

struct TModPattern {  // always 64 rows
    std::vector<TModPlacedCell> Cells;
};

struct TModSample {
    std::string Name;  // any bytes, written as they are (zeros included) up to 22
    std::vector<int32_t> Values;  // signed 8-bit points; an odd count gets a zero appended
    int32_t FineTune = 0;         // the stored nibble, 0..15 (8..15 mean -8..-1)
    int32_t Volume = 64;
    int32_t LoopStartWords = 0;  // the field as stored: bytes for the Soundtrackers
    int32_t LoopLengthWords = 1;  // 1 word: no loop
    // Data stored as "ADPCM", the delta table and 4-bit codes. The file is
    // padded at its end so its length still matches the sample lengths.
    bool Adpcm = false;
    std::array<int8_t, 16> AdpcmTable = DefaultAdpcmTable;
    // Length field written instead of the one of Values.
    std::optional<uint16_t> LengthWords;
};

struct TModSong {
    std::string Title;  // any bytes, as Name
    // Tag at byte 1080; empty: the old 15-sample form without a tag.
    std::string Tag = "M.K.";
    int32_t Channels = 4;  // channels of the pattern data written
    std::vector<uint8_t> Orders;
    // Written in full up to 128 entries: those after the song length may name
    // patterns that Patterns does not hold, as Soundtracker files do.
    std::optional<uint8_t> SongLength;  // default: Orders.size()
    // In the 15-sample form the Soundtrackers' tempo byte: Ultimate
    // Soundtracker wrote 120.
    uint8_t RestartPosition = 0;
    std::vector<TModPattern> Patterns;
    std::vector<TModSample> Samples;  // numbered from 1; up to 31 (15 without tag)
    // Bytes appended (positive) or removed (negative) at the end of the file.
    int32_t ExtraBytes = 0;
};

TBytes WriteMod(const TModSong& Song);

TModPlacedCell ModAt(int32_t Row, int32_t Channel, int32_t Note, int32_t Instrument = 0,
                     int32_t Effect = 0, int32_t Parameter = 0);
// Amiga period of a note 25..84 (finetune 0); throws outside.
int32_t ModPeriod(int32_t Note);
// A valid 4-channel "M.K." song with one pattern and one sample.
TModSong SmallMod();

// ---------------------------------------------------------------------------
// Scream Tracker 3 (.s3m) description.

// The note cut, as a cell's note.
constexpr int32_t S3mNoteCut = -1;

struct TS3mCell {
    int32_t Note = 0;  // Extended Module numbering ("C-4" is 49, octaves 0..7), 0 none, or S3mNoteCut
    int32_t Instrument = 0;
    int32_t Volume = -1;  // 0..64 (any byte is written); -1 none
    char Command = 0;     // 'A'..'Z'; 0 none
    int32_t Parameter = 0;
};

struct TS3mPlacedCell {
    int32_t Row = 0;
    int32_t Channel = 0;  // 0..31
    TS3mCell Cell;
};

struct TS3mPattern {  // always 64 rows
    TS3mPattern() = default;
    TS3mPattern(std::vector<TS3mPlacedCell> ACells) : Cells(std::move(ACells)) {}

    std::vector<TS3mPlacedCell> Cells;
    // Replaces the packed rows (after the length word) by these bytes.
    std::optional<TBytes> PackedData;
    // Written with a parapointer of 0 (no data).
    bool Missing = false;
};

// An instrument: a PCM sample (type 1), an AdLib voice (2..7, written
// without a voice) or an empty slot (0).
struct TS3mInstrument {
    int32_t Type = 1;
    std::string Name;      // up to 28 characters
    std::string FileName;  // up to 12
    int32_t Bits = 8;         // 8 or 16
    int32_t NumChannels = 1;  // 1 or 2
    // Signed points (-128..127 or -32768..32767); stereo interleaved left,
    // right. Written as the song's sample type says, all left points first.
    std::vector<int32_t> Values;
    bool Loop = false;
    int32_t LoopStart = 0;  // frames
    int32_t LoopEnd = 0;    // frames, the first after the loop
    int32_t Volume = 64;
    uint32_t C2Speed = 8363;
    // Length field in frames instead of the one of Values.
    std::optional<uint32_t> Length;
};

struct TS3mSong {
    std::string Title;
    // As stored, skip (254) and end (255) markers included.
    std::vector<uint8_t> Orders;
    // Channel settings of the first channels (the others 255, unused):
    // 0..7 left, 8..15 right, 16.. AdLib, +128 disabled.
    std::vector<uint8_t> ChannelSettings = {0, 8, 1, 9};
    // A default panning table (written with byte 0x35 at 252) of up to 32
    // entries; bit 5 set gives the channel the low nibble's position.
    std::optional<std::vector<uint8_t>> DefaultPanning;
    uint16_t TrackerVersion = 0x1320;
    bool UnsignedSamples = true;  // sample type 2; false writes 1, signed
    uint16_t Flags = 0;
    uint8_t GlobalVolume = 64;
    uint8_t Speed = 6;
    uint8_t Tempo = 125;
    uint8_t MasterVolume = 0xB0;  // bit 7: stereo
    std::vector<TS3mPattern> Patterns;
    std::vector<TS3mInstrument> Instruments;  // numbered from 1
    // Bytes removed from the end of the file (a file cut short).
    uint32_t CutBytes = 0;
};

TBytes WriteS3m(const TS3mSong& Song);

TS3mPlacedCell S3mAt(int32_t Row, int32_t Channel, int32_t Note, int32_t Instrument = 0, int32_t Volume = -1,
                     char Command = 0, int32_t Parameter = 0);
// A PCM instrument of 8-bit points.
TS3mInstrument S3mSample8(std::vector<int32_t> Values, const std::string& Name = "");
// A valid 4-channel song with one pattern and one looped sample.
TS3mSong SmallS3m();

// ---------------------------------------------------------------------------
// Impulse Tracker (.it) description.

// Special notes of a cell.
constexpr int32_t ItNoteCut = -1, ItNoteOff = -2, ItNoteFade = -3;
// A note byte written as it is (0 is Impulse Tracker's C-0, 119 its B-9):
// ItNoteAsStored + byte. For the octave below Extended Module numbering's C-0.
constexpr int32_t ItNoteAsStored = 0x1000;
// The song model's note for a cell's note: Impulse Tracker's notes count
// from its C-0, an octave below Extended Module numbering's.
constexpr int32_t ItLoadedNote(int32_t Note) { return Note + 12; }

struct TItCell {
    int32_t Note = 0;  // Extended Module numbering ("C-4" is 49, Impulse Tracker's C-5), 0 none, or a special note
    int32_t Instrument = 0;
    int32_t Volume = -1;  // the volume column's byte (0..64 a volume, see the format); -1 none
    char Command = 0;     // 'A'..'Z'; 0 none
    int32_t Parameter = 0;
};

struct TItPlacedCell {
    int32_t Row = 0;
    int32_t Channel = 0;  // 0..63
    TItCell Cell;
};

struct TItPattern {
    TItPattern() = default;
    TItPattern(std::vector<TItPlacedCell> ACells, int32_t ARows = 64) : Cells(std::move(ACells)), Rows(ARows) {}
    std::vector<TItPlacedCell> Cells;
    int32_t Rows = 64;
};

struct TItSample {
    std::string Name;
    int32_t Bits = 8;
    int32_t NumChannels = 1;
    std::vector<int32_t> Values;  // signed points, stereo interleaved
    bool Signed = true;
    bool Delta = false;           // stored as deltas
    // Compressed as Impulse Tracker 2.14 (or with DoubleDelta 2.15) saves it.
    bool Compressed = false;
    bool DoubleDelta = false;
    bool Loop = false, PingPong = false;
    int32_t LoopStart = 0, LoopEnd = 0;  // frames
    bool SustainLoop = false;
    int32_t SustainStart = 0, SustainEnd = 0;
    int32_t Volume = 64, GlobalVolume = 64;
    int32_t Panning = -1;  // 0..64, -1 none
    uint32_t C5Speed = 8363;
    // The automatic vibrato: speed, depth, sweep rate, waveform.
    int32_t VibratoSpeed = 0, VibratoDepth = 0, VibratoRate = 0, VibratoType = 0;
};

struct TItEnvelope {
    bool Enabled = false, Loop = false, Sustain = false;
    bool Filter = false;  // the pitch envelope drives the filter instead
    bool Carry = false;
    int32_t LoopStart = 0, LoopEnd = 0, SustainStart = 0, SustainEnd = 0;
    std::vector<std::pair<int32_t, int32_t>> Points;  // tick, value (-32..32 for panning)
};

struct TItInstrument {
    std::string Name;
    int32_t NewNoteAction = 0;
    int32_t DuplicateCheckType = 0, DuplicateCheckAction = 0;
    int32_t FadeOut = 0;  // 0..1024
    int32_t GlobalVolume = 128;
    int32_t Panning = -1;  // 0..64, -1 none
    // The sample (from 1) of each Impulse Tracker note 0..119; empty: all
    // notes play Sample.
    std::vector<int32_t> Keyboard;
    int32_t Sample = 1;
    // Semitones each key's note moves by (the keyboard's note column).
    int32_t Transpose = 0;
    TItEnvelope VolumeEnvelope, PanningEnvelope, PitchEnvelope;
    int32_t FilterCutoff = -1, FilterResonance = -1;  // 0..127, -1 none
    int32_t PitchPanSeparation = 0, PitchPanCentre = 60;  // -32..32, note 0..119
    int32_t VolumeSwing = 0, PanningSwing = 0;            // 0..100 %, 0..64
};

struct TItSong {
    std::string Title;
    std::vector<uint8_t> Orders = {0};  // as stored: 254 skip, 255 end
    uint16_t Flags = 0x09;              // stereo, linear slides
    uint16_t TrackerVersion = 0x0214, CompatibleVersion = 0x0214;
    uint8_t GlobalVolume = 128, MixVolume = 48, Speed = 6, Tempo = 125;
    std::vector<uint8_t> ChannelPanning = {32, 32, 32, 32};  // the others 32 | 128 (disabled)
    std::vector<uint8_t> ChannelVolume = {64, 64, 64, 64};
    std::string Message;
    std::vector<TItPattern> Patterns;
    std::vector<TItInstrument> Instruments;  // with any, the song uses instruments (flag 4)
    std::vector<TItSample> Samples;
    // The song's own MIDI macro table (special bit 3), by slot
    // (TQuavixMacroSlot); slots not given are empty. None: no table.
    std::vector<std::pair<int32_t, std::string>> Macros;
    // Sessions of the edit history (special bit 1) before the table.
    int32_t EditHistory = 0;
    uint32_t CutBytes = 0;
};

TBytes WriteIt(const TItSong& Song);
TItPlacedCell ItAt(int32_t Row, int32_t Channel, int32_t Note, int32_t Instrument = 0, int32_t Volume = -1,
                   char Command = 0, int32_t Parameter = 0);
// A valid 4-channel song in sample mode with one pattern and one looped
// sample of 64 frames (C5 speed 8363).
TItSong SmallIt();

// ---------------------------------------------------------------------------
// Encoders, exposed for the writer's own tests and for tests that need the
// exact bytes of a piece of sample data.

// Delta codes 8-bit (Bits 8) or 16-bit little-endian (Bits 16) points.
TBytes DeltaEncode(const std::vector<int32_t>& Points, int32_t Bits);
// The 16-byte table followed by (n + 1) / 2 code bytes, low nibble first.
// Decoded receives the points a decoder gets back (lossy when a step is not
// in the table).
TBytes AdpcmEncode(const std::vector<int32_t>& Points, const std::array<int8_t, 16>& Table,
                   std::vector<int32_t>* Decoded = nullptr);
// The packed pattern bytes of one pattern of Rows x Channels cells.
TBytes PackPattern(const TXmPattern& Pattern, int32_t Channels);

// ---------------------------------------------------------------------------
// Helpers around the engine and the file system.

// Loads written bytes into a TQuavixModule through LoadFromMemory and gives
// its result. (A template, so that programs that only write files need no
// loader.)
template <typename TModule>
auto LoadBytes(TModule& Module, const TBytes& Bytes) {
    return Module.LoadFromMemory(Bytes.data(), static_cast<uint32_t>(Bytes.size()));
}
void SaveBytes(const std::string& Path, const TBytes& Bytes);

}  // namespace quavix_test
