// Extension chunks after the song data of an Extended Module: the song
// message, an embedded MIDI macro table, pattern and channel names, and the
// plug-in blocks the player keeps without interpreting them.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "sequencer/channel.h"
#include "song/load_cursor.h"
#include "song/module.h"

namespace {

constexpr uint32_t ChunkHeaderSize = 8;
constexpr uint32_t PatternNameSize = 32;
constexpr uint32_t MaxPatternNamesSize = 8160;  // 255 names
constexpr uint32_t ChannelNameSize = 20;
// A stream holds at most this many bytes (its size is a 32-bit count that
// grows in whole capacity steps).
constexpr uint32_t MaxStoredPayload = 0x7FFF0000;
// Stored payloads are copied in pieces of this size.
constexpr uint32_t CopyPiece = 1 << 20;

bool SameId(const uint8_t* Id, const char* Text) { return std::memcmp(Id, Text, 4) == 0; }

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Copies min(Length, bytes left) payload bytes into Stream and rewinds it.
void StorePayload(TQuavixLoadCursor& Cursor, TQuavixStream& Stream, uint32_t Length) {
    Stream.Clear();
    uint32_t Left = std::min(std::min(Length, Cursor.Remaining()), MaxStoredPayload);
    while (Left > 0) {
        uint32_t Delivered = 0;
        const uint8_t* Bytes = Cursor.Take(std::min(Left, CopyPiece), Delivered);
        Stream.Write(Bytes, static_cast<int32_t>(Delivered));
        Left -= Delivered;
    }
    Stream.Seek(0);
}

}  // namespace

bool TQuavixModule::ReadExtensionChunks(TQuavixLoadCursor& Cursor) {
    const int64_t Start = Cursor.Offset();
    bool Complete = true;
    while (Complete && Cursor.Offset() + ChunkHeaderSize < Cursor.Length()) {
        const int64_t ChunkStart = Cursor.Offset();
        uint8_t Id[4];
        if (!Cursor.ReadExact(Id, sizeof(Id))) {
            Complete = false;
            break;
        }
        uint8_t LengthBytes[4];
        if (!Cursor.ReadExact(LengthBytes, sizeof(LengthBytes))) {
            Complete = false;
            break;
        }
        const uint32_t Length = QuavixGetLongWord(LengthBytes);

        if (SameId(Id, "text")) {
            Comment.clear();
            uint32_t Delivered = 0;
            const uint8_t* Text = Cursor.Take(Length, Delivered);
            Comment.reserve(Delivered);
            for (uint32_t i = 0; i < Delivered; ++i) {
                Comment.push_back(static_cast<char>(Text[i]));
                // Line ends become carriage return and line feed.
                if (Text[i] == 13) Comment.push_back(static_cast<char>(10));
            }
            if (Delivered < Length) Complete = false;
        } else if (SameId(Id, "MIDI")) {
            if (Length == MidiMacroSlots * MidiMacroLength) {
                static_assert(sizeof(MidiMacros) == MidiMacroSlots * MidiMacroLength, "packed macro table");
                if (Cursor.ReadExact(MidiMacros.data(), sizeof(MidiMacros))) {
                    MidiMacrosEmbedded = true;
                } else {
                    // A table cut short is no table: every macro is left empty.
                    for (auto& Macro : MidiMacros) Macro.fill(0);
                    Complete = false;
                }
            }
        } else if (SameId(Id, "PNAM")) {
            if (Length >= PatternNameSize && Length <= MaxPatternNamesSize) {
                for (uint32_t i = 0; Complete && i < Length / PatternNameSize; ++i) {
                    uint8_t Text[PatternNameSize];
                    if (Cursor.ReadExact(Text, sizeof(Text)))
                        Patterns[i]->Name = QuavixFieldName(Text, sizeof(Text));
                    else
                        Complete = false;
                }
            }
        } else if (SameId(Id, "CNAM")) {
            if (Length >= ChannelNameSize && Length <= static_cast<uint32_t>(NumChannels) * ChannelNameSize) {
                for (uint32_t i = 0; Complete && i < Length / ChannelNameSize; ++i) {
                    uint8_t Text[ChannelNameSize];
                    if (Cursor.ReadExact(Text, sizeof(Text)))
                        Channels[i]->Name = std::make_shared<const std::string>(QuavixFieldName(Text, sizeof(Text)));
                    else
                        Complete = false;
                }
            }
        } else if (SameId(Id, "CHFX")) {
            for (int32_t i = 0; Complete && i < NumChannels && 4 * static_cast<uint32_t>(i) < Length; ++i) {
                uint8_t Value[4];
                if (Cursor.ReadExact(Value, sizeof(Value)))
                    Channels[i]->PluginIndex = static_cast<int32_t>(QuavixGetLongWord(Value));
                else
                    Complete = false;
            }
        } else if (SameId(Id, "EQFX")) {
            StorePayload(Cursor, *EqualizerData, Length);
        } else if (SameId(Id, "MODU")) {
            StorePayload(Cursor, *ExtensionData, Length);
        } else if (Id[0] == 'F' && Id[1] == 'X' && IsDigit(Id[2]) && IsDigit(Id[3])) {
            StorePayload(Cursor, *PluginData[(Id[2] - '0') * 10 + (Id[3] - '0')], Length);
        }
        // Chunks of other kinds are passed over by their length.
        if (Complete) Cursor.SetOffset(ChunkStart + ChunkHeaderSize + Length);
    }
    Cursor.SetOffset(Start);
    return Complete;
}
