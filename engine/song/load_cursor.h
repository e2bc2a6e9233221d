// The read cursor of a load: the whole file in memory, its length and the
// offset the next read starts at. Every read is bounded by the block; what
// lies beyond its end reads as zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class TQuavixLoadCursor {
public:
    // Offsets never go below 0 and never beyond this far point. Every read at
    // or past the end of the block delivers nothing, so an offset held at
    // this point behaves exactly like any larger one, and sums of an offset
    // and a 32-bit size can never overflow.
    static constexpr int64_t FarOffset = int64_t(1) << 48;

    TQuavixLoadCursor(const uint8_t* ABlock, uint32_t ALength) : FBlock(ABlock), FLength(ABlock ? ALength : 0) {}

    const uint8_t* Block() const { return FBlock; }
    uint32_t Length() const { return FLength; }
    int64_t Offset() const { return FOffset; }
    // Bytes between the offset and the end of the block; 0 at or past it.
    uint32_t Remaining() const {
        return FOffset < static_cast<int64_t>(FLength) ? static_cast<uint32_t>(FLength - FOffset) : 0;
    }

    // Moves the offset; it may lie past the end of the block.
    void SetOffset(int64_t NewOffset) {
        FOffset = NewOffset < 0 ? 0 : NewOffset > FarOffset ? FarOffset : NewOffset;
    }
    void Skip(int64_t Count) { SetOffset(FOffset + Count); }

    // Delivers min(Count, bytes left) bytes and advances by that many. When
    // fewer than Count bytes are left, the whole destination is set to zero
    // first, so the missing bytes read as zeros.
    uint32_t ReadBytes(void* Destination, uint32_t Count);
    // ReadBytes that tells whether all Count bytes were there.
    bool ReadExact(void* Destination, uint32_t Count) { return ReadBytes(Destination, Count) == Count; }
    // Hands out the bytes of the block from the offset on, at most Count of
    // them, and advances past them; Delivered tells how many there are.
    const uint8_t* Take(uint32_t Count, uint32_t& Delivered);

    // Numbers, little-endian, built on ReadBytes: bytes past the end of the
    // block count as zeros.
    uint8_t ReadByte();
    int8_t ReadSignedByte() { return static_cast<int8_t>(ReadByte()); }
    int16_t ReadWord();
    uint16_t ReadUnsignedWord() { return static_cast<uint16_t>(ReadWord()); }
    uint32_t ReadLongWord();
    // A 16-bit number stored high byte first, as the pattern format stores them.
    uint16_t ReadBigEndianWord();

private:
    const uint8_t* FBlock;
    uint32_t FLength;
    int64_t FOffset = 0;
};

// Little-endian numbers within a header already read into memory.
inline uint16_t QuavixGetWord(const uint8_t* Bytes) {
    return static_cast<uint16_t>(Bytes[0] | (Bytes[1] << 8));
}
inline uint32_t QuavixGetLongWord(const uint8_t* Bytes) {
    return static_cast<uint32_t>(Bytes[0]) | (static_cast<uint32_t>(Bytes[1]) << 8) |
           (static_cast<uint32_t>(Bytes[2]) << 16) | (static_cast<uint32_t>(Bytes[3]) << 24);
}

// A fixed-width text field: its bytes up to the first zero byte.
std::string QuavixFieldText(const uint8_t* Bytes, size_t Size);
// A name field: the text without its leading and trailing blanks
// (QuavixTrimBlanks).
std::string QuavixFieldName(const uint8_t* Bytes, size_t Size);
