// A growable block of bytes in memory with a read/write position. The song
// keeps the payloads of extension chunks it stores but does not interpret
// (equalizer, extension and plug-in blocks) in these streams.
#pragma once

#include <cstdint>
#include <memory>

class TQuavixStream {
public:
    // Capacity always grows and shrinks in whole steps of this many bytes.
    static constexpr int32_t CapacityStep = 65536;

    TQuavixStream();
    virtual ~TQuavixStream();
    TQuavixStream(const TQuavixStream&) = delete;
    TQuavixStream& operator=(const TQuavixStream&) = delete;

    // Releases the memory; position, size and capacity become 0.
    virtual void Clear();
    // Copies up to Count bytes from the position on; returns the bytes read.
    virtual int32_t Read(void* Buffer, int32_t Count);
    // Seeks to Offset and reads there; reads nothing when the seek fell short.
    virtual int32_t ReadAt(int32_t Offset, void* Buffer, int32_t Count);
    // Writes Count bytes at the position, growing the stream as needed.
    virtual int32_t Write(const void* Buffer, int32_t Count);
    // Moves the position (negative offsets go to 0); seeking past the end
    // extends the stream with zero bytes. Returns the new position.
    virtual int32_t Seek(int32_t Offset);
    virtual int32_t GetPosition() const;
    virtual int32_t GetSize() const;

    void SetSize(int32_t NewSize);
    void SetCapacity(int32_t NewCapacity);

    int32_t Capacity() const { return FCapacity; }
    const uint8_t* Memory() const { return FMemory.get(); }

private:
    int32_t Position;
    int32_t Size;
    int32_t FCapacity;
    std::unique_ptr<uint8_t[]> FMemory;
};
