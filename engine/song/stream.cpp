#include "song/stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

TQuavixStream::TQuavixStream() : Position(0), Size(0), FCapacity(0) {}

TQuavixStream::~TQuavixStream() { Clear(); }

void TQuavixStream::Clear() {
    FMemory.reset();
    Position = 0;
    Size = 0;
    FCapacity = 0;
}

int32_t TQuavixStream::Read(void* Buffer, int32_t Count) {
    if (Position < 0 || Count <= 0) return 0;
    int32_t Left = Size - Position;
    if (Left <= 0) return 0;
    int32_t N = std::min(Count, Left);
    std::memcpy(Buffer, FMemory.get() + Position, static_cast<size_t>(N));
    Position += N;
    return N;
}

int32_t TQuavixStream::ReadAt(int32_t Offset, void* Buffer, int32_t Count) {
    if (Seek(Offset) != Offset) return 0;
    return Read(Buffer, Count);
}

int32_t TQuavixStream::Write(const void* Buffer, int32_t Count) {
    if (Position < 0 || Count <= 0) return 0;
    // A write whose end would not fit a 32-bit size is refused rather than
    // letting the size wrap around.
    if (static_cast<int64_t>(Position) + Count > std::numeric_limits<int32_t>::max()) return 0;
    if (Position + Count > Size) SetSize(Position + Count);
    std::memcpy(FMemory.get() + Position, Buffer, static_cast<size_t>(Count));
    Position += Count;
    return Count;
}

int32_t TQuavixStream::Seek(int32_t Offset) {
    Position = Offset < 0 ? 0 : Offset;
    if (Position > Size) {
        int32_t OldSize = Size;
        SetSize(Position);
        std::memset(FMemory.get() + OldSize, 0, static_cast<size_t>(Position - OldSize));
    }
    return Position;
}

int32_t TQuavixStream::GetPosition() const { return Position; }

int32_t TQuavixStream::GetSize() const { return Size; }

namespace {
// The largest capacity step that still fits the 32-bit counter.
constexpr int32_t MaxCapacity =
    std::numeric_limits<int32_t>::max() / TQuavixStream::CapacityStep * TQuavixStream::CapacityStep;
}  // namespace

void TQuavixStream::SetSize(int32_t NewSize) {
    // A size that no capacity step can hold is an allocation failure.
    if (NewSize > MaxCapacity) throw std::bad_alloc();
    Size = NewSize < 0 ? 0 : NewSize;
    if (Size < Position) Position = Size;
    SetCapacity(Size);
}

void TQuavixStream::SetCapacity(int32_t NewCapacity) {
    int64_t Rounded = 0;
    if (NewCapacity > 0)
        Rounded = (static_cast<int64_t>(NewCapacity) + CapacityStep - 1) / CapacityStep * CapacityStep;
    Rounded = std::min<int64_t>(Rounded, MaxCapacity);
    int32_t Target = static_cast<int32_t>(Rounded);
    if (Target == FCapacity) return;
    if (Target == 0) {
        FMemory.reset();
    } else {
        std::unique_ptr<uint8_t[]> Block(new uint8_t[static_cast<size_t>(Target)]);
        int32_t Keep = std::min(Target, FCapacity);
        if (Keep > 0) std::memcpy(Block.get(), FMemory.get(), static_cast<size_t>(Keep));
        if (Target > FCapacity)
            std::memset(Block.get() + FCapacity, 0, static_cast<size_t>(Target - FCapacity));
        FMemory = std::move(Block);
    }
    FCapacity = Target;
}
