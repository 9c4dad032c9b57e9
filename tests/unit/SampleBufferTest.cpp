#include "captioning/SampleBuffer.h"

#include <gtest/gtest.h>

#include <numeric>

using sv::SampleBuffer;

TEST(SampleBuffer, KeepsTheNewestAcrossManyAppends)
{
    SampleBuffer b(1000);
    std::vector<float> block(300);
    float next = 0;
    for (int i = 0; i < 40; ++i) {
        for (float &v : block)
            v = next++;
        b.append(block.data(), block.size());
        ASSERT_LE(b.size(), 1000u);
    }
    const std::vector<float> kept = b.copy();
    ASSERT_EQ(kept.size(), 1000u);
    EXPECT_EQ(kept.front(), next - 1000);
    EXPECT_EQ(kept.back(), next - 1);
}

TEST(SampleBuffer, DropBeforeRemovesOnlyWhatWasSnapshotted)
{
    SampleBuffer b(100);
    std::vector<float> s(60);
    std::iota(s.begin(), s.end(), 0.0f);
    b.append(s.data(), 60);
    const uint64_t snapshotEnd = b.endPosition();
    b.append(s.data(), 60); // overflows: 20 of the snapshot's samples are gone already
    b.dropBefore(snapshotEnd);
    EXPECT_EQ(b.size(), 60u);
    b.dropBefore(snapshotEnd); // again: nothing more
    EXPECT_EQ(b.size(), 60u);
    b.clear();
    b.dropBefore(b.endPosition());
    EXPECT_EQ(b.size(), 0u);
}
