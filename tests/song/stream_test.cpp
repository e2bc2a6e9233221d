#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "song/stream.h"

namespace {

std::vector<uint8_t> Bytes(int32_t Count, uint8_t Start = 1) {
    std::vector<uint8_t> B(static_cast<size_t>(Count));
    for (int32_t i = 0; i < Count; ++i) B[static_cast<size_t>(i)] = static_cast<uint8_t>(Start + i);
    return B;
}

TEST(Stream, WriteGrowsInWholeCapacitySteps) {
    TQuavixStream S;
    auto Data = Bytes(10);
    EXPECT_EQ(S.Write(Data.data(), 10), 10);
    EXPECT_EQ(S.GetSize(), 10);
    EXPECT_EQ(S.GetPosition(), 10);
    EXPECT_EQ(S.Capacity(), 65536);

    // Past one step the capacity takes a second whole step; shrinking back
    // below the boundary releases it again.
    S.SetSize(65537);
    EXPECT_EQ(S.Capacity(), 131072);
    S.SetSize(10);
    EXPECT_EQ(S.Capacity(), 65536);
    EXPECT_EQ(S.GetPosition(), 10);
    EXPECT_EQ(std::memcmp(S.Memory(), Data.data(), 10), 0);
    S.SetSize(0);
    EXPECT_EQ(S.Capacity(), 0);
    EXPECT_EQ(S.Memory(), nullptr);
}

TEST(Stream, GrowthAndSeekingZeroFill) {
    TQuavixStream S;
    auto Data = Bytes(10, 0xA0);
    S.Write(Data.data(), 10);
    EXPECT_EQ(S.Seek(100), 100);
    EXPECT_EQ(S.GetSize(), 100);
    for (int32_t i = 10; i < 100; ++i) EXPECT_EQ(S.Memory()[i], 0) << i;

    // The whole reserved block beyond the content is zero.
    for (int32_t i = 100; i < S.Capacity(); i += 997) EXPECT_EQ(S.Memory()[i], 0) << i;

    // Seeking back inside and past the end again zero-fills what lies
    // between the old end and the new position.
    S.SetSize(5);
    EXPECT_EQ(S.GetPosition(), 5) << "the position follows a shrinking size";
    EXPECT_EQ(S.Seek(12), 12);
    for (int32_t i = 5; i < 12; ++i) EXPECT_EQ(S.Memory()[i], 0) << i;
    for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(S.Memory()[i], Data[static_cast<size_t>(i)]) << i;
}

TEST(Stream, NegativeSeekGoesToStart) {
    TQuavixStream S;
    auto Data = Bytes(4);
    S.Write(Data.data(), 4);
    EXPECT_EQ(S.Seek(-5), 0);
    EXPECT_EQ(S.GetPosition(), 0);
    EXPECT_EQ(S.GetSize(), 4);
}

TEST(Stream, ReadStopsAtTheEndAndRefusesBadCounts) {
    TQuavixStream S;
    auto Data = Bytes(6);
    S.Write(Data.data(), 6);
    uint8_t Out[16] = {};
    EXPECT_EQ(S.Read(Out, 4), 0) << "at the end nothing is left";
    EXPECT_EQ(S.GetPosition(), 6);

    S.Seek(2);
    EXPECT_EQ(S.Read(Out, 16), 4);
    EXPECT_EQ(std::memcmp(Out, Data.data() + 2, 4), 0);
    EXPECT_EQ(S.GetPosition(), 6);

    S.Seek(0);
    EXPECT_EQ(S.Read(Out, 0), 0);
    EXPECT_EQ(S.Read(Out, -3), 0);
    EXPECT_EQ(S.Write(Data.data(), 0), 0);
    EXPECT_EQ(S.Write(Data.data(), -1), 0);
    EXPECT_EQ(S.GetPosition(), 0);
    EXPECT_EQ(S.GetSize(), 6);
}

TEST(Stream, ReadAtExtendsAShortStreamAndReadsNothing) {
    TQuavixStream S;
    auto Data = Bytes(2);
    S.Write(Data.data(), 2);
    uint8_t Out[4] = {9, 9, 9, 9};
    EXPECT_EQ(S.ReadAt(4, Out, 4), 0);
    EXPECT_EQ(S.GetSize(), 4);
    EXPECT_EQ(S.Memory()[2], 0);
    EXPECT_EQ(S.Memory()[3], 0);

    EXPECT_EQ(S.ReadAt(1, Out, 2), 2);
    EXPECT_EQ(Out[0], Data[1]);
    EXPECT_EQ(Out[1], 0);
    // A negative offset lands at 0, not at the offset asked for.
    EXPECT_EQ(S.ReadAt(-1, Out, 2), 0);
}

TEST(Stream, WriteInsideKeepsSizeAndOverwrites) {
    TQuavixStream S;
    auto Data = Bytes(8);
    S.Write(Data.data(), 8);
    S.Seek(2);
    uint8_t Patch[3] = {0xFF, 0xFE, 0xFD};
    EXPECT_EQ(S.Write(Patch, 3), 3);
    EXPECT_EQ(S.GetSize(), 8);
    EXPECT_EQ(S.GetPosition(), 5);
    EXPECT_EQ(S.Memory()[1], Data[1]);
    EXPECT_EQ(S.Memory()[2], 0xFF);
    EXPECT_EQ(S.Memory()[4], 0xFD);
    EXPECT_EQ(S.Memory()[5], Data[5]);
}

TEST(Stream, PiecewiseCopyKeepsEveryByte) {
    // A chunk copied in pieces across several capacity steps arrives intact.
    TQuavixStream S;
    std::vector<uint8_t> All;
    for (int32_t Piece = 0; Piece < 50; ++Piece) {
        auto Data = Bytes(4001, static_cast<uint8_t>(Piece * 7));
        S.Write(Data.data(), static_cast<int32_t>(Data.size()));
        All.insert(All.end(), Data.begin(), Data.end());
    }
    ASSERT_EQ(S.GetSize(), static_cast<int32_t>(All.size()));
    EXPECT_EQ(S.Capacity(), 262144);
    EXPECT_EQ(std::memcmp(S.Memory(), All.data(), All.size()), 0);
}

TEST(Stream, ClearReleasesEverything) {
    TQuavixStream S;
    auto Data = Bytes(3);
    S.Write(Data.data(), 3);
    S.Clear();
    EXPECT_EQ(S.GetSize(), 0);
    EXPECT_EQ(S.GetPosition(), 0);
    EXPECT_EQ(S.Capacity(), 0);
    EXPECT_EQ(S.Memory(), nullptr);
    uint8_t Out[3];
    EXPECT_EQ(S.Read(Out, 3), 0);
}

TEST(Stream, SizeBeyondTheLargestStepIsAnAllocationFailure) {
    TQuavixStream S;
    uint8_t Byte = 1;
    S.Write(&Byte, 1);
    EXPECT_THROW(S.SetSize(0x7FFFFFFF), std::bad_alloc);
    EXPECT_EQ(S.GetSize(), 1);
    EXPECT_EQ(S.Capacity(), 65536);
}

}  // namespace
