#include "serial/RxBuffer.h"

#include <gtest/gtest.h>
#include <numeric>
#include <vector>

using norva::CRxBuffer;

namespace {

std::vector<uint8_t> Bytes(int n, int first = 0) {
    std::vector<uint8_t> v(static_cast<size_t>(n));
    std::iota(v.begin(), v.end(), static_cast<uint8_t>(first));
    return v;
}

} // namespace

TEST(RxBufferLimits, HoldsAtMost1023BytesAndTakesChunksWhole) {
    CRxBuffer ring;
    uint8_t one = 0;
    EXPECT_EQ(ring.GetCount(), 0);
    EXPECT_EQ(ring.Read(&one, 1), 0);

    EXPECT_EQ(ring.Write(Bytes(1024).data(), 1024), -1);
    EXPECT_EQ(ring.GetCount(), 0);

    EXPECT_EQ(ring.Write(Bytes(1023).data(), 1023), 1023);
    EXPECT_EQ(ring.Write(&one, 1), -1);
    EXPECT_EQ(ring.GetCount(), 1023);
}

TEST(RxBufferLimits, RefusesEmptyNullAndNegativeRequests) {
    CRxBuffer ring;
    uint8_t b[4] = {1, 2, 3, 4};
    EXPECT_EQ(ring.Write(b, 0), -1);
    EXPECT_EQ(ring.Write(nullptr, 4), -1);
    EXPECT_EQ(ring.Write(b, -5), -1);
    ASSERT_EQ(ring.Write(b, 4), 4);
    EXPECT_EQ(ring.Read(b, 0), 0);
    EXPECT_EQ(ring.Read(nullptr, 2), 0);
    EXPECT_EQ(ring.Read(b, -1), 0);
    EXPECT_EQ(ring.GetCount(), 4);
}

TEST(RxBufferReads, AreAllOrNothingAndInOrder) {
    CRxBuffer ring;
    const auto in = Bytes(5, 10);
    ASSERT_EQ(ring.Write(in.data(), 5), 5);
    uint8_t out[6] = {};
    EXPECT_EQ(ring.Read(out, 6), 0);
    EXPECT_EQ(ring.GetCount(), 5);
    EXPECT_EQ(ring.Read(out, 5), 5);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), in);
    EXPECT_EQ(ring.GetCount(), 0);
}

TEST(RxBufferReads, KeepZeroBytesLikeAnyOther) {
    CRxBuffer ring;
    const uint8_t in[3] = {0, 'A', 0};
    ASSERT_EQ(ring.Write(in, 3), 3);
    uint8_t out[3] = {9, 9, 9};
    ASSERT_EQ(ring.Read(out, 3), 3);
    EXPECT_EQ(0, memcmp(in, out, 3));
}

TEST(RxBufferWrap, SplitsAcrossTheEndOfTheArray) {
    CRxBuffer ring;
    std::vector<uint8_t> sink(1000);
    ASSERT_EQ(ring.Write(Bytes(1000).data(), 1000), 1000);
    ASSERT_EQ(ring.Read(sink.data(), 1000), 1000);

    const auto in = Bytes(100, 7);
    ASSERT_EQ(ring.Write(in.data(), 100), 100);
    // 23 bytes went to slots 1001..1023 and 77 to slots 0..76.
    EXPECT_EQ(ring.WritePos(), 76);
    std::vector<uint8_t> out(100);
    ASSERT_EQ(ring.Read(out.data(), 100), 100);
    EXPECT_EQ(out, in);
    EXPECT_EQ(ring.ReadPos(), 76);
}

TEST(RxBufferClear, EmptiesAndRestartsAtSlotOne) {
    CRxBuffer ring;
    uint8_t b[10] = {};
    ring.Write(b, 10);
    ring.Read(b, 3);
    ring.Clear();
    EXPECT_EQ(ring.GetCount(), 0);
    EXPECT_EQ(ring.WritePos(), 0);
    ring.Write(b, 1);
    EXPECT_EQ(ring.WritePos(), 1);
}
