#include "song/load_cursor.h"

#include <cstring>

#include "song/song_text.h"

uint32_t TQuavixLoadCursor::ReadBytes(void* Destination, uint32_t Count) {
    uint32_t Delivered = 0;
    const uint8_t* Source = Take(Count, Delivered);
    if (Delivered < Count) std::memset(Destination, 0, Count);
    if (Delivered > 0) std::memcpy(Destination, Source, Delivered);
    return Delivered;
}

const uint8_t* TQuavixLoadCursor::Take(uint32_t Count, uint32_t& Delivered) {
    uint32_t Left = Remaining();
    Delivered = Count < Left ? Count : Left;
    if (Delivered == 0) return nullptr;
    const uint8_t* Source = FBlock + FOffset;
    FOffset += Delivered;
    return Source;
}

uint8_t TQuavixLoadCursor::ReadByte() {
    uint8_t Value = 0;
    ReadBytes(&Value, 1);
    return Value;
}

int16_t TQuavixLoadCursor::ReadWord() {
    uint8_t Bytes[2];
    ReadBytes(Bytes, 2);
    return static_cast<int16_t>(QuavixGetWord(Bytes));
}

uint16_t TQuavixLoadCursor::ReadBigEndianWord() {
    uint8_t Bytes[2];
    ReadBytes(Bytes, 2);
    return static_cast<uint16_t>((Bytes[0] << 8) | Bytes[1]);
}

uint32_t TQuavixLoadCursor::ReadLongWord() {
    uint8_t Bytes[4];
    ReadBytes(Bytes, 4);
    return QuavixGetLongWord(Bytes);
}

std::string QuavixFieldText(const uint8_t* Bytes, size_t Size) {
    size_t Length = 0;
    while (Length < Size && Bytes[Length] != 0) ++Length;
    return std::string(reinterpret_cast<const char*>(Bytes), Length);
}

std::string QuavixFieldName(const uint8_t* Bytes, size_t Size) {
    return QuavixTrimBlanks(QuavixFieldText(Bytes, Size));
}
