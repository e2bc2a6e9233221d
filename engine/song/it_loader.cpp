// Impulse Tracker modules (.it): "IMPM" at byte 0, then the song header with
// its order list and the file offsets of the instruments, samples and
// patterns. Samples come plain (8 or 16 bit, signed or unsigned, mono or
// stereo) or in the two compressed forms of Impulse Tracker 2.14 and 2.15.
// Instruments map each note to a sample and carry the envelopes; a song
// without instruments plays its samples as instruments of one sample each.
//
// A file cut short loads what it holds whole; what is missing is silent, and
// the load result says so.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sequencer/channel.h"
#include "sequencer/tables.h"
#include "song/commands.h"
#include "song/load_cursor.h"
#include "song/loaders.h"
#include "song/module.h"
#include "song/sample_decode.h"

namespace {

// The longest sample that plays, in frames.
constexpr uint64_t MaxImpulseSampleFrames = uint64_t(1) << 24;

constexpr const char* ItKind = "Impulse Tracker";
constexpr uint32_t HeaderSize = 0xC0;
constexpr int32_t FileChannels = 64;
constexpr uint32_t SampleHeaderSize = 0x50;
constexpr uint32_t InstrumentHeaderSize = 0x226;
// The old form (before Impulse Tracker 2.0) ends with 25 points of two
// bytes at 0x1F8.
constexpr uint32_t OldInstrumentHeaderSize = 0x1F8 + 50;
constexpr int32_t MaxPatternRows = 200;
// Notes: 0..119 are C-0..B-9, 254 the note cut, 255 the note off; anything
// between is the note fade, which a song without instruments ignores.
constexpr uint8_t ItNoteCut = 254, ItNoteOff = 255;

struct THeader {
    std::string Name;
    uint16_t OrderCount = 0, InstrumentCount = 0, SampleCount = 0, PatternCount = 0;
    uint16_t TrackerVersion = 0, CompatibleVersion = 0, Flags = 0, Special = 0;
    uint8_t GlobalVolume = 128, MixVolume = 48, Speed = 6, Tempo = 125, Separation = 128;
    uint16_t MessageLength = 0;
    uint32_t MessageOffset = 0;
    std::array<uint8_t, FileChannels> Panning{};
    std::array<uint8_t, FileChannels> Volume{};
    std::vector<uint8_t> Orders;
    std::vector<uint32_t> InstrumentOffsets, SampleOffsets, PatternOffsets;
    // The song's own MIDI macro table (special bit 3), empty without one.
    std::vector<uint8_t> Macros;
};

bool ReadHeader(TQuavixLoadCursor& Cursor, THeader& H) {
    uint8_t Bytes[HeaderSize];
    Cursor.SetOffset(0);
    if (!Cursor.ReadExact(Bytes, HeaderSize)) return false;
    H.Name = QuavixFieldText(Bytes + 0x04, 26);
    H.OrderCount = QuavixGetWord(Bytes + 0x20);
    H.InstrumentCount = QuavixGetWord(Bytes + 0x22);
    H.SampleCount = QuavixGetWord(Bytes + 0x24);
    H.PatternCount = QuavixGetWord(Bytes + 0x26);
    H.TrackerVersion = QuavixGetWord(Bytes + 0x28);
    H.CompatibleVersion = QuavixGetWord(Bytes + 0x2A);
    H.Flags = QuavixGetWord(Bytes + 0x2C);
    H.Special = QuavixGetWord(Bytes + 0x2E);
    H.GlobalVolume = Bytes[0x30];
    H.MixVolume = Bytes[0x31];
    H.Speed = Bytes[0x32];
    H.Tempo = Bytes[0x33];
    H.Separation = Bytes[0x34];
    H.MessageLength = QuavixGetWord(Bytes + 0x36);
    H.MessageOffset = QuavixGetLongWord(Bytes + 0x38);
    std::memcpy(H.Panning.data(), Bytes + 0x40, FileChannels);
    std::memcpy(H.Volume.data(), Bytes + 0x80, FileChannels);
    // The lists that follow; a file cut inside them is cut inside its header.
    H.Orders.resize(H.OrderCount);
    if (!Cursor.ReadExact(H.Orders.data(), H.OrderCount)) return false;
    for (auto* List : {&H.InstrumentOffsets, &H.SampleOffsets, &H.PatternOffsets}) {
        const uint16_t Count = List == &H.InstrumentOffsets ? H.InstrumentCount
                               : List == &H.SampleOffsets   ? H.SampleCount
                                                            : H.PatternCount;
        List->resize(Count);
        for (uint32_t& Offset : *List) {
            if (Cursor.Remaining() < 4) return false;
            Offset = Cursor.ReadLongWord();
        }
    }
    // The edit history (special bit 1: a count, then 8 bytes a session), and
    // after it the MIDI macro table (special bit 3): the 9 global macros, the
    // 16 parameterised ones and the 128 fixed ones, 32 characters each. A
    // table cut short is left out: the song plays the default one.
    if (H.Special & 0x02) {
        if (Cursor.Remaining() < 2) return true;
        Cursor.Skip(static_cast<int64_t>(Cursor.ReadUnsignedWord()) * 8);
    }
    if (H.Special & 0x08) {
        H.Macros.resize(TQuavixModule::MidiMacroSlots * TQuavixModule::MidiMacroLength);
        if (!Cursor.ReadExact(H.Macros.data(), H.Macros.size())) H.Macros.clear();
    }
    return true;
}

// "Impulse Tracker 2.14", "Schism Tracker", "OpenMPT" by the version word
// that wrote the file; empty for one the file does not make clear.
std::string TrackerName(uint16_t Version) {
    char Number[16];
    std::snprintf(Number, sizeof(Number), "%x.%02x", (Version >> 8) & 0xF, Version & 0xFF);
    if (Version == 0x1020 || (Version >> 12) == 0x4) return "Schism Tracker";
    if ((Version >> 12) == 0x5) return "OpenMPT";
    if ((Version >> 12) == 0x0) return std::string("Impulse Tracker ") + Number;
    return "";
}

// ---------------------------------------------------------------------------
// Samples.

// One sample's header fields.
struct TSampleHeader {
    std::string FileName, Name;
    uint8_t GlobalVolume = 64, Flags = 0, Volume = 64, Convert = 0, Panning = 0;
    uint32_t Length = 0, LoopStart = 0, LoopEnd = 0, C5Speed = 8363, SustainStart = 0, SustainEnd = 0, DataOffset = 0;
    uint8_t VibratoSpeed = 0, VibratoDepth = 0, VibratoRate = 0, VibratoType = 0;
};

bool ReadSampleHeader(TQuavixLoadCursor& Cursor, uint32_t Offset, TSampleHeader& S) {
    uint8_t Bytes[SampleHeaderSize];
    Cursor.SetOffset(Offset);
    if (!Cursor.ReadExact(Bytes, SampleHeaderSize)) return false;
    S.FileName = QuavixFieldName(Bytes + 0x04, 12);
    S.GlobalVolume = std::min<uint8_t>(Bytes[0x11], 64);
    S.Flags = Bytes[0x12];
    S.Volume = std::min<uint8_t>(Bytes[0x13], 64);
    S.Name = QuavixFieldName(Bytes + 0x14, 26);
    S.Convert = Bytes[0x2E];
    S.Panning = Bytes[0x2F];
    S.Length = QuavixGetLongWord(Bytes + 0x30);
    S.LoopStart = QuavixGetLongWord(Bytes + 0x34);
    S.LoopEnd = QuavixGetLongWord(Bytes + 0x38);
    S.C5Speed = QuavixGetLongWord(Bytes + 0x3C);
    S.SustainStart = QuavixGetLongWord(Bytes + 0x40);
    S.SustainEnd = QuavixGetLongWord(Bytes + 0x44);
    S.DataOffset = QuavixGetLongWord(Bytes + 0x48);
    S.VibratoSpeed = Bytes[0x4C];
    S.VibratoDepth = Bytes[0x4D];
    S.VibratoRate = Bytes[0x4E];
    S.VibratoType = Bytes[0x4F];
    return true;
}

// Reads bits from the low end of each byte up, within the bytes given.
class TBitReader {
public:
    TBitReader(const uint8_t* AData, uint32_t ASize) : Data(AData), Size(ASize) {}
    // Count bits (1..17), or false where the block ends first.
    bool Read(int32_t Count, uint32_t& Value) {
        Value = 0;
        for (int32_t i = 0; i < Count; ++i) {
            if (Byte >= Size) return false;
            Value |= static_cast<uint32_t>((Data[Byte] >> Bit) & 1) << i;
            if (++Bit == 8) {
                Bit = 0;
                ++Byte;
            }
        }
        return true;
    }

private:
    const uint8_t* Data;
    uint32_t Size;
    uint32_t Byte = 0;
    int32_t Bit = 0;
};

// The compressed forms: blocks of up to 0x8000 bytes of sample data each, a
// length word before each block. Every value is sent in a width of bits
// that the stream itself changes; the values are deltas (and with
// DoubleDelta, as Impulse Tracker 2.15 saves, deltas of deltas). Writes at
// most Frames values on the 16-bit scale to Out, every Stride-th, and
// returns how many it got: a stream that ends or lies stops there.
int32_t DecompressChannel(TQuavixLoadCursor& Cursor, int32_t Frames, bool SixteenBit, bool DoubleDelta, int16_t* Out,
                          int32_t Stride) {
    const int32_t BlockFrames = SixteenBit ? 0x4000 : 0x8000;
    const int32_t TopWidth = SixteenBit ? 17 : 9;
    int32_t Done = 0;
    while (Done < Frames) {
        if (Cursor.Remaining() < 2) break;
        const uint16_t Packed = Cursor.ReadUnsignedWord();
        uint32_t Delivered = 0;
        const uint8_t* Block = Cursor.Take(Packed, Delivered);
        TBitReader Bits(Block, Delivered);
        const int32_t Count = std::min(BlockFrames, Frames - Done);
        int32_t Width = TopWidth;
        int32_t Delta = 0, Delta2 = 0;
        int32_t k = 0;
        while (k < Count) {
            uint32_t V;
            if (!Bits.Read(Width, V)) break;
            if (Width < 7) {
                // A value of 1 followed by the width's top bit: a new width.
                if (V == (1u << (Width - 1))) {
                    uint32_t New;
                    if (!Bits.Read(SixteenBit ? 4 : 3, New)) break;
                    ++New;
                    Width = static_cast<int32_t>(New) < Width ? static_cast<int32_t>(New) : static_cast<int32_t>(New) + 1;
                    continue;
                }
            } else if (Width < TopWidth) {
                // Values in a band just under the width's top: a new width.
                const uint32_t Border = ((SixteenBit ? 0xFFFFu : 0xFFu) >> (TopWidth - Width)) - (SixteenBit ? 8 : 4);
                if (V > Border && V <= Border + (SixteenBit ? 16 : 8)) {
                    const int32_t New = static_cast<int32_t>(V - Border);
                    Width = New < Width ? New : New + 1;
                    continue;
                }
            } else {
                // The widest: the top bit set carries a new width.
                if (V & (1u << (TopWidth - 1))) {
                    Width = static_cast<int32_t>((V + 1) & 0xFF);
                    if (Width < 1 || Width > TopWidth) break;
                    continue;
                }
            }
            // A value of Width bits, sign-extended to the sample's width.
            const int32_t ValueBits = SixteenBit ? 16 : 8;
            int32_t Value = static_cast<int32_t>(V);
            if (Width < ValueBits + 1) {
                const int32_t Shift = 32 - Width;
                Value = static_cast<int32_t>(static_cast<uint32_t>(Value) << Shift) >> Shift;
            }
            // The sums wrap at the sample's width, as the tracker's did.
            const auto Wrap = [SixteenBit](int32_t V) {
                return SixteenBit ? static_cast<int32_t>(static_cast<int16_t>(V & 0xFFFF))
                                  : static_cast<int32_t>(static_cast<int8_t>(V & 0xFF));
            };
            Delta = Wrap(Delta + Value);
            Delta2 = Wrap(Delta2 + Delta);
            const int32_t Point = DoubleDelta ? Delta2 : Delta;
            Out[static_cast<size_t>(Done + k) * Stride] = static_cast<int16_t>(SixteenBit ? Point : Point * 256);
            ++k;
        }
        // The block's points come whole or the stream lied: stop where it did.
        Done += k;
        if (k < Count) break;
    }
    return Done;
}

// Reads sample Number (from 1) into Sample; returns whether its data is
// whole (a sample without data is whole).
std::unique_ptr<TQuavixSample> CopySample(const TQuavixSample& From);

// Sets a sample's loop from Start to End (frames), or none where it is off
// or empty.
void SetLoop(TQuavixSample& Sample, uint32_t Start, uint32_t End, bool On, bool PingPong) {
    Sample.Loop = On && Start < End;
    Sample.PingPong = Sample.Loop && PingPong;
    Sample.LoopStart = Sample.Loop ? static_cast<int32_t>(Start) : 0;
    Sample.LoopLength = Sample.Loop ? static_cast<int32_t>(End - Start) : 0;
}

bool ReadSample(TQuavixLoadCursor& Cursor, const TSampleHeader& H, bool LinearSlides, TQuavixSample& Sample) {
    Sample.Clear();
    Sample.Name = H.Name;
    Sample.Volume = H.Volume;
    Sample.GlobalVolume = H.GlobalVolume;
    Sample.HasPanning = (H.Panning & 0x80) != 0;
    Sample.Panning = std::min<int32_t>((H.Panning & 0x7F) * 4, 256);
    Sample.Bits = (H.Flags & 0x02) ? 16 : 8;
    Sample.NumChannels = (H.Flags & 0x04) ? 2 : 1;
    if (LinearSlides) {
        Sample.RelativeNote = 0;
        Sample.FineTune = 0;
        Sample.C5Speed = static_cast<int32_t>(std::min<uint32_t>(H.C5Speed == 0 ? 8363 : H.C5Speed, 9999999));
    } else {
        QuavixSetPitchFromC2Speed(Sample, H.C5Speed, true);
    }
    // The notes count from Impulse Tracker's C-0, an octave below the
    // period system's note index 0: C-5 (note 61) plays at the C-5 speed.
    Sample.RelativeNote = -12;
    Sample.VibratoType = H.VibratoType & 3;
    Sample.VibratoSpeed = H.VibratoSpeed;
    Sample.VibratoDepth = H.VibratoDepth;
    Sample.VibratoRate = H.VibratoRate;
    if (!(H.Flags & 0x01) || H.Length == 0) return true;

    const bool SixteenBit = Sample.Bits == 16;
    const int32_t Channels = Sample.NumChannels;
    // Impulse Tracker samples can be long (a whole recorded part of a song):
    // up to 2^24 frames play, and never more than the file's bytes after the
    // data offset can hold, so that a header that lies about the length
    // allocates no more than the file could fill. (Compressed data takes a
    // bit per frame at the least.)
    Cursor.SetOffset(H.DataOffset);
    const uint64_t Bytes = Cursor.Remaining();
    const uint64_t Fits = (H.Flags & 0x08) ? Bytes * 8 : Bytes / ((SixteenBit ? 2 : 1) * Channels);
    const int32_t Frames =
        static_cast<int32_t>(std::min<uint64_t>({H.Length, MaxImpulseSampleFrames, std::max<uint64_t>(Fits, 1)}));
    const int32_t Whole = static_cast<int32_t>(std::min<uint64_t>(H.Length, MaxImpulseSampleFrames));
    Sample.AllocateData(Frames * Channels);
    int32_t Got = Frames;
    if (H.Flags & 0x08) {
        for (int32_t c = 0; c < Channels; ++c)
            Got = std::min(Got, DecompressChannel(Cursor, Frames, SixteenBit, (H.Convert & 0x04) != 0, Sample.Data + c,
                                                  Channels));
    } else {
        const uint32_t PointBytes = SixteenBit ? 2 : 1;
        const uint32_t Wanted = static_cast<uint32_t>(Frames) * PointBytes;
        uint32_t Available = 0;
        const uint8_t* Data = Cursor.Take(Wanted * Channels, Available);
        for (int32_t c = 0; c < Channels && Got > 0; ++c) {
            const uint32_t Here = Available > Wanted * c ? std::min(Available - Wanted * c, Wanted) : 0;
            Got = std::min<int32_t>(Got, static_cast<int32_t>(Here / PointBytes));
            QuavixDecodePcm(Data + Wanted * c, Got, SixteenBit, (H.Convert & 0x01) != 0, (H.Convert & 0x04) != 0,
                        Sample.Data + c, Channels);
        }
    }
    Sample.Length = Got;
    // The loop; a sustain loop plays while the key is held, and a copy with
    // the loop (or none) takes over once it is released.
    const uint32_t Played = static_cast<uint32_t>(Got);
    SetLoop(Sample, H.LoopStart, std::min(H.LoopEnd, Played), (H.Flags & 0x10) != 0, (H.Flags & 0x40) != 0);
    if (Got > 0) Sample.PrepareData();
    if ((H.Flags & 0x20) && H.SustainStart < std::min(H.SustainEnd, Played) && Got > 0) {
        Sample.Released = CopySample(Sample);
        SetLoop(Sample, H.SustainStart, std::min(H.SustainEnd, Played), true, (H.Flags & 0x80) != 0);
        Sample.PrepareData();
    }
    return Got == Whole;
}

// A copy of a loaded sample for an instrument that plays it (each instrument
// holds its own samples).
std::unique_ptr<TQuavixSample> CopySample(const TQuavixSample& From) {
    std::unique_ptr<TQuavixSample> To(new TQuavixSample());
    To->Name = From.Name;
    To->Bits = From.Bits;
    To->NumChannels = From.NumChannels;
    To->Loop = From.Loop;
    To->PingPong = From.PingPong;
    To->LoopStart = From.LoopStart;
    To->LoopLength = From.LoopLength;
    To->Volume = From.Volume;
    To->GlobalVolume = From.GlobalVolume;
    To->HasPanning = From.HasPanning;
    To->Panning = From.Panning;
    To->RelativeNote = From.RelativeNote;
    To->FineTune = From.FineTune;
    To->C5Speed = From.C5Speed;
    To->VibratoType = From.VibratoType;
    To->VibratoSpeed = From.VibratoSpeed;
    To->VibratoDepth = From.VibratoDepth;
    To->VibratoRate = From.VibratoRate;
    To->Length = From.Length;
    To->Number = From.Number;
    if (From.Data && From.Length > 0) {
        To->AllocateData(From.Length * From.NumChannels);
        std::copy(From.Data, From.Data + static_cast<size_t>(From.Length) * From.NumChannels, To->Data);
        To->PrepareData();
    }
    if (From.Released) To->Released = CopySample(*From.Released);
    return To;
}

// ---------------------------------------------------------------------------
// Instruments.

// An envelope of the new instrument form: flags, point count, loop and
// sustain loop points, 25 points of a value (signed for panning) and a tick.
// Panning and pitch values -32..32 become 0..64, as the engine's panning
// envelope.
void ReadEnvelope(const uint8_t* Bytes, bool Panning, TQuavixEnvelope& E) {
    E.Clear();
    const uint8_t Flags = Bytes[0];
    E.NumPoints = std::min<int32_t>(Bytes[1], TQuavixEnvelope::MaxPoints);
    E.Enabled = (Flags & 0x01) != 0 && E.NumPoints > 0;
    E.LoopEnabled = (Flags & 0x02) != 0;
    E.Carry = (Flags & 0x08) != 0;
    E.SustainEnabled = (Flags & 0x04) != 0;
    E.LoopStart = Bytes[2];
    E.LoopEnd = Bytes[3];
    E.SustainLoopStart = Bytes[4];
    E.SustainPoint = Bytes[5];
    for (int32_t i = 0; i < E.NumPoints; ++i) {
        const uint8_t* P = Bytes + 6 + 3 * i;
        const int32_t Value = Panning ? static_cast<int8_t>(P[0]) + 32 : P[0];
        E.Points[i].Value = std::clamp<int32_t>(Value, 0, 64);
        E.Points[i].Position = QuavixGetWord(P + 1);
    }
    // Loops that name points the envelope lacks are left out.
    if (E.LoopStart > E.LoopEnd || E.LoopEnd >= E.NumPoints) E.LoopEnabled = false;
    if (E.SustainLoopStart > E.SustainPoint || E.SustainPoint >= E.NumPoints) E.SustainEnabled = false;
}

// The channels the patterns write to: one past the highest (files keep all
// 64 channels enabled, most of them never used).
int32_t ChannelsWritten(TQuavixLoadCursor& Cursor, const THeader& H) {
    int32_t Highest = 0;
    for (uint32_t Offset : H.PatternOffsets) {
        if (Offset == 0) continue;
        Cursor.SetOffset(Offset);
        if (Cursor.Remaining() < 8) continue;
        Cursor.Skip(2);
        const int32_t Rows = Cursor.ReadUnsignedWord();
        Cursor.Skip(4);
        std::array<uint8_t, FileChannels> Mask{};
        for (int32_t Row = 0; Row < Rows && Cursor.Remaining() > 0;) {
            const uint8_t What = Cursor.ReadByte();
            if (What == 0) {
                ++Row;
                continue;
            }
            const int32_t Channel = (What - 1) & 63;
            if ((What & 0x80) && Cursor.Remaining() > 0) Mask[Channel] = Cursor.ReadByte();
            const uint8_t M = Mask[Channel];
            Cursor.Skip(((M & 1) ? 1 : 0) + ((M & 2) ? 1 : 0) + ((M & 4) ? 1 : 0) + ((M & 8) ? 2 : 0));
            if (M != 0) Highest = std::max(Highest, Channel + 1);
        }
    }
    return Highest;
}

}  // namespace

bool QuavixProbeImpulseTracker(const TQuavixLoadCursor& Cursor) {
    return Cursor.Length() >= 4 && std::memcmp(Cursor.Block(), "IMPM", 4) == 0;
}

TQuavixLoadResult TQuavixModule::LoadImpulseTracker(TQuavixLoadCursor& Cursor) {
    THeader Header;
    if (!ReadHeader(Cursor, Header)) return TQuavixLoadResult::Damaged(ItKind, "its song header is cut short");

    Format = TQuavixFormat::ImpulseTracker;
    FormatVersion = Header.TrackerVersion;
    Tracker = TrackerName(Header.TrackerVersion);
    const bool UseInstruments = (Header.Flags & 0x04) != 0;
    Behaviours = QuavixImpulseTrackerBehaviours(Header.Flags);
    Rules = "Impulse Tracker";
    Name = Header.Name;
    LinearSlides = (Header.Flags & 0x08) != 0;
    InitialSpeed = Header.Speed != 0 ? Header.Speed : 6;
    InitialTempo = Header.Tempo >= 32 ? Header.Tempo : 125;
    Speed = InitialSpeed;
    Tempo = InitialTempo;
    GlobalVolumeRange = 128;
    InitialGlobalVolume = std::min<int32_t>(Header.GlobalVolume, 128);
    GlobalVolume = InitialGlobalVolume;
    // The mix volume sets the level (0..128; 48 the level Scream Tracker 3
    // songs have at their usual setting).
    MixLevel = std::min<int32_t>(Header.MixVolume, 128) * 2;
    const bool Stereo = (Header.Flags & 0x01) != 0;

    // The song message, carriage returns as line ends.
    if ((Header.Special & 0x01) && Header.MessageLength > 0) {
        std::vector<uint8_t> Text(Header.MessageLength);
        Cursor.SetOffset(Header.MessageOffset);
        Text.resize(Cursor.ReadBytes(Text.data(), Header.MessageLength));
        for (uint8_t& c : Text)
            if (c == '\r') c = '\n';
        Comment = QuavixFieldText(Text.data(), Text.size());
    }

    if (!Header.Macros.empty()) {
        static_assert(sizeof(MidiMacros) == MidiMacroSlots * MidiMacroLength, "packed macro table");
        std::memcpy(MidiMacros.data(), Header.Macros.data(), sizeof(MidiMacros));
        MidiMacrosEmbedded = true;
    }

    // The order list without its skip markers (254), up to the end (255).
    std::array<uint8_t, 256> OrderMap{};
    int32_t Length = 0;
    bool Ended = false;
    for (uint32_t i = 0; i < Header.Orders.size() && i < 256; ++i) {
        OrderMap[i] = static_cast<uint8_t>(std::min(Length, 255));
        const uint8_t Order = Header.Orders[i];
        if (Ended || Order == 254) continue;
        if (Order == 255) {
            Ended = true;
            continue;
        }
        if (Length < MaxOrders && Order < MaxPatterns) Orders[Length++] = Order;
    }
    SongLength = Length;
    RestartPosition = 0;

    // Channels: panning 0..64 (100 surround), +128 disabled; volume 0..64.
    // The song has the channels its patterns write to.
    NumChannels = std::max<int32_t>(std::min<int32_t>(ChannelsWritten(Cursor, Header), MaxChannels), 1);
    for (int32_t c = 0; c < NumChannels; ++c) {
        const uint8_t Pan = Header.Panning[c] & 0x7F;
        Channels[c]->DefaultPanning = !Stereo ? 128 : Pan == 100 ? 128 : std::min<int32_t>(Pan * 4, 256);
        Channels[c]->DefaultSurround = Stereo && Pan == 100;
        Channels[c]->DefaultChannelVolume = std::min<int32_t>(Header.Volume[c], 64);
        Channels[c]->Disabled = (Header.Panning[c] & 0x80) != 0;
    }

    // From here on the file may end anywhere: what it holds loads.
    int32_t SamplesCutShort = 0, SamplesMissing = 0, InstrumentsMissing = 0, PatternsCutShort = 0;
    std::vector<std::unique_ptr<TQuavixSample>> Samples(Header.SampleCount);
    for (uint32_t i = 0; i < Header.SampleCount; ++i) {
        TSampleHeader SampleHeader;
        Samples[i].reset(new TQuavixSample());
        if (!ReadSampleHeader(Cursor, Header.SampleOffsets[i], SampleHeader)) {
            ++SamplesMissing;
            continue;
        }
        if (!ReadSample(Cursor, SampleHeader, LinearSlides, *Samples[i])) ++SamplesCutShort;
        Samples[i]->Number = static_cast<int32_t>(i) + 1;
        if (Samples[i]->Released) Samples[i]->Released->Number = Samples[i]->Number;
        if (!UseInstruments && i + 1 <= static_cast<uint32_t>(MaxInstruments)) {
            // Without instruments each sample plays as an instrument of its own.
            std::unique_ptr<TQuavixInstrument>& Slot = Instruments[i + 1];
            Slot.reset(new TQuavixInstrument());
            Slot->Name = SampleHeader.Name;
            Slot->Samples[0] = std::move(Samples[i]);
        }
    }
    // Each instrument holds its own copy of the samples its keyboard plays.
    // The copies are made once all keyboards are read, so that a sample's
    // last user (for most, its only one) takes the loaded sample itself: the
    // song then holds each sample once, and loading copies nothing.
    std::vector<std::pair<std::unique_ptr<TQuavixSample>*, int32_t>> Uses;
    if (UseInstruments) {
        const bool OldForm = Header.CompatibleVersion < 0x200;
        for (uint32_t i = 0; i < Header.InstrumentCount && i + 1 <= static_cast<uint32_t>(MaxInstruments); ++i) {
            uint8_t Bytes[std::max(InstrumentHeaderSize, OldInstrumentHeaderSize)];
            Cursor.SetOffset(Header.InstrumentOffsets[i]);
            std::unique_ptr<TQuavixInstrument>& Slot = Instruments[i + 1];
            Slot.reset(new TQuavixInstrument());
            TQuavixInstrument& Instrument = *Slot;
            const uint32_t Size = OldForm ? OldInstrumentHeaderSize : InstrumentHeaderSize;
            if (!Cursor.ReadExact(Bytes, Size)) {
                ++InstrumentsMissing;
                continue;
            }
            Instrument.Name = QuavixFieldName(Bytes + 0x20, 26);
            if (OldForm) {
                Instrument.FadeOut = QuavixGetWord(Bytes + 0x18) * 64;
                Instrument.NewNoteAction = Bytes[0x1A] & 3;
                TQuavixEnvelope& E = *Instrument.VolumeEnvelope;
                E.Clear();
                int32_t Points = 0;
                while (Points < 25 && Bytes[0x1F8 + 2 * Points] != 0xFF) {
                    E.Points[Points].Position = Bytes[0x1F8 + 2 * Points];
                    E.Points[Points].Value = std::min<int32_t>(Bytes[0x1F9 + 2 * Points], 64);
                    ++Points;
                }
                E.NumPoints = Points;
                E.Enabled = (Bytes[0x11] & 0x01) && Points > 0;
                E.LoopEnabled = (Bytes[0x11] & 0x02) && Bytes[0x12] <= Bytes[0x13] && Bytes[0x13] < Points;
                E.LoopStart = Bytes[0x12];
                E.LoopEnd = Bytes[0x13];
                E.SustainEnabled = (Bytes[0x11] & 0x04) && Bytes[0x14] <= Bytes[0x15] && Bytes[0x15] < Points;
                E.SustainLoopStart = Bytes[0x14];
                E.SustainPoint = Bytes[0x15];
            } else {
                Instrument.NewNoteAction = Bytes[0x11] & 3;
                Instrument.DuplicateCheckType = Bytes[0x12] & 3;
                Instrument.DuplicateCheckAction = std::min<int32_t>(Bytes[0x13], 2);
                // Fade-out 0..1024 of the full volume per tick.
                Instrument.FadeOut = std::min<int32_t>(QuavixGetWord(Bytes + 0x14), 1024) * 32;
                Instrument.GlobalVolume = std::min<int32_t>(Bytes[0x18], 128);
                Instrument.HasPanning = !(Bytes[0x19] & 0x80);
                Instrument.Panning = std::min<int32_t>((Bytes[0x19] & 0x7F) * 4, 256);
                Instrument.PitchPanSeparation = std::clamp<int32_t>(static_cast<int8_t>(Bytes[0x16]), -32, 32);
                Instrument.PitchPanCentre = std::min<int32_t>(Bytes[0x17], 119);
                Instrument.VolumeSwing = std::min<int32_t>(Bytes[0x1A], 100);
                Instrument.PanningSwing = std::min<int32_t>(Bytes[0x1B], 64);
                ReadEnvelope(Bytes + 0x130, false, *Instrument.VolumeEnvelope);
                ReadEnvelope(Bytes + 0x182, true, *Instrument.PanningEnvelope);
                ReadEnvelope(Bytes + 0x1D4, true, *Instrument.PitchEnvelope);
                Instrument.PitchEnvelopeFilters = (Bytes[0x1D4] & 0x80) != 0;
                // The initial filter cutoff and resonance, each where its
                // top bit is set.
                if (Bytes[0x3A] & 0x80) Instrument.FilterCutoff = Bytes[0x3A] & 0x7F;
                if (Bytes[0x3B] & 0x80) Instrument.FilterResonance = Bytes[0x3B] & 0x7F;
            }
            // The keyboard: each note's sample (from 1, 0 none), for all of
            // Impulse Tracker's C-0..B-9.
            std::array<int32_t, 256> Slots;
            Slots.fill(-1);
            int32_t Next = 0;
            for (int32_t Note = 0; Note < TQuavixInstrument::NoteCount; ++Note) {
                const uint8_t Number = Bytes[0x40 + 2 * Note + 1];
                int32_t Index = TQuavixInstrument::MaxSamples - 1;  // an empty slot: no sound
                if (Number >= 1 && Number <= Header.SampleCount && Samples[Number - 1]) {
                    if (Slots[Number] < 0 && Next < TQuavixInstrument::MaxSamples - 1) {
                        Slots[Number] = Next;
                        Uses.push_back({&Instrument.Samples[Next++], Number - 1});
                    }
                    if (Slots[Number] >= 0) Index = Slots[Number];
                }
                Instrument.NoteSamples[Note] = static_cast<uint8_t>(Index);
                // The note the key plays (0..119; a damaged byte beyond
                // plays the key's own).
                const uint8_t Played = Bytes[0x40 + 2 * Note];
                if (Played < 120) Instrument.NoteTransposes[Note] = static_cast<int8_t>(Played - Note);
            }
        }
    }

    std::vector<int32_t> UsesLeft(Samples.size(), 0);
    for (const auto& Use : Uses) ++UsesLeft[static_cast<size_t>(Use.second)];
    for (const auto& [Slot, Index] : Uses) {
        std::unique_ptr<TQuavixSample>& Loaded = Samples[static_cast<size_t>(Index)];
        *Slot = --UsesLeft[static_cast<size_t>(Index)] == 0 ? std::move(Loaded) : CopySample(*Loaded);
    }

    // Patterns: rows of packed cells, each channel's last mask and values
    // remembered for the cells that repeat them.
    const uint32_t PatternCount = std::min<uint32_t>(Header.PatternCount, MaxPatterns);
    for (uint32_t p = 0; p < PatternCount; ++p) {
        TQuavixPattern& Pattern = *Patterns[p];
        Pattern.Clear();
        const uint32_t Offset = Header.PatternOffsets[p];
        if (Offset == 0) {
            Pattern.Resize(64, static_cast<uint8_t>(NumChannels));
            continue;
        }
        Cursor.SetOffset(Offset);
        if (Cursor.Remaining() < 8) {
            Pattern.Resize(64, static_cast<uint8_t>(NumChannels));
            ++PatternsCutShort;
            continue;
        }
        Cursor.Skip(2);
        const int32_t Rows = std::clamp<int32_t>(Cursor.ReadUnsignedWord(), 1, MaxPatternRows);
        Cursor.Skip(4);
        Pattern.Resize(Rows, static_cast<uint8_t>(NumChannels));
        std::array<uint8_t, FileChannels> Mask{};
        std::array<TQuavixPatternNote, FileChannels> Last{};
        bool Whole = true;
        for (int32_t Row = 0; Row < Rows && Whole; ++Row) {
            for (;;) {
                if (Cursor.Remaining() == 0) {
                    Whole = false;
                    break;
                }
                const uint8_t What = Cursor.ReadByte();
                if (What == 0) break;
                const int32_t Channel = (What - 1) & 63;
                if (What & 0x80) {
                    if (Cursor.Remaining() == 0) {
                        Whole = false;
                        break;
                    }
                    Mask[Channel] = Cursor.ReadByte();
                }
                const uint8_t M = Mask[Channel];
                const uint32_t Needed = ((M & 1) ? 1 : 0) + ((M & 2) ? 1 : 0) + ((M & 4) ? 1 : 0) + ((M & 8) ? 2 : 0);
                if (Cursor.Remaining() < Needed) {
                    Whole = false;
                    break;
                }
                TQuavixPatternNote& Remembered = Last[Channel];
                TQuavixPatternNote Cell;
                Cell.Effect = TQuavixLetterEffect::Base;
                if (M & 1) {
                    const uint8_t Note = Cursor.ReadByte();
                    Remembered.Note = Note == ItNoteCut    ? TQuavixNote::NoteCut
                                      : Note == ItNoteOff  ? TQuavixNote::KeyOff
                                      : Note >= 120        ? (UseInstruments ? TQuavixNote::NoteFade : TQuavixNote::None)
                                      : Note + 1;
                }
                if (M & 2) Remembered.Instrument = Cursor.ReadByte();
                if (M & 4) {
                    const TQuavixVolumeColumn Column = QuavixItVolumeColumn(Cursor.ReadByte());
                    Remembered.VolumeCommand = Column.Command;
                    Remembered.VolumeParameter = Column.Parameter;
                }
                if (M & 8) {
                    const uint8_t Command = Cursor.ReadByte();
                    const uint8_t Parameter = Cursor.ReadByte();
                    Remembered.Effect = Command <= 26 ? TQuavixLetterEffect::Base + Command : TQuavixLetterEffect::Base;
                    Remembered.EffectParameter = Command == 2 ? OrderMap[Parameter] : Parameter;
                }
                if (M & (1 | 16)) Cell.Note = Remembered.Note;
                if (M & (2 | 32)) Cell.Instrument = Remembered.Instrument;
                if (M & (4 | 64)) {
                    Cell.VolumeCommand = Remembered.VolumeCommand;
                    Cell.VolumeParameter = Remembered.VolumeParameter;
                }
                if (M & (8 | 128)) {
                    Cell.Effect = Remembered.Effect;
                    Cell.EffectParameter = Remembered.EffectParameter;
                }
                if (Channel < NumChannels) Pattern.SetNote(Row, Channel, Cell);
            }
        }
        if (!Whole) ++PatternsCutShort;
    }
    // Patterns the order list names beyond those in the file are empty.
    for (int32_t i = 0; i < SongLength; ++i) {
        TQuavixPattern& Pattern = *Patterns[Orders[i]];
        if (Pattern.Rows == 0) Pattern.Resize(64, static_cast<uint8_t>(NumChannels));
    }
    TQuavixLoadResult Result;
    Result.Warn(SamplesCutShort, "sample", "cut short");
    Result.Warn(SamplesMissing, "sample", "missing");
    Result.Warn(InstrumentsMissing, "instrument", "missing");
    Result.Warn(PatternsCutShort, "pattern", "cut short");
    return Result;
}
