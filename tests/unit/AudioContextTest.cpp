#include "platform/AudioContext.h"

#include <gtest/gtest.h>

using sv::audioContextFor;

TEST(AudioContext, MatchesTheSnapshotWithAMargin)
{
    struct Case {
        size_t samples;
        int context;
    } cases[] = {
        {8000, 64},    // 0.5 s: 25 frames
        {48000, 192},  // 3 s: 150 frames
        {96000, 352},  // 6 s: 300 frames
        {191999, 640}, // just under 12 s
        {192000, 640}, // 12 s: 600 frames
        {460800, 1472},
        {480000, 1500}, // 30 s: the model's whole window
        {600000, 1500}, // never beyond it
    };
    for (const Case &c : cases)
        EXPECT_EQ(audioContextFor(c.samples), c.context) << c.samples << " samples";
}

TEST(AudioContext, NeverShorterThanTheAudio)
{
    for (size_t n = 8000; n <= 192000; n += 137) {
        const int ctx = audioContextFor(n);
        ASSERT_GE(size_t(ctx) * 320, n) << n;
        ASSERT_EQ(ctx % 32, 0) << n;
    }
}
