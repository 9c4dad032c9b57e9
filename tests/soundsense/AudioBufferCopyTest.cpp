#include "soundsense/AudioBufferCopy.h"

#include <gtest/gtest.h>

#include <cstring>

namespace sv {
namespace {

template <typename Sample>
void expectOwnedCopy(SampleType type)
{
    std::vector<Sample> left = {Sample(1), Sample(2), Sample(3)};
    std::vector<Sample> right = {Sample(-4), Sample(5), Sample(-6)};
    AudioBuffer source;
    source.format = {44100.0, 2, type};
    source.frameLength = 3;
    source.channelData = {left.data(), right.data()};

    std::optional<AudioBufferCopy> copy = copyBuffer(source);
    ASSERT_TRUE(copy);
    // The copy goes through a queue, so it has to survive being moved and
    // the source's arrays being reused.
    AudioBufferCopy moved = std::move(*copy);
    left.assign(3, Sample(0));
    right.assign(3, Sample(0));

    const AudioBuffer &b = moved.buffer();
    EXPECT_EQ(b.format.sampleRate, 44100.0);
    EXPECT_EQ(b.format.channels, 2);
    EXPECT_EQ(b.format.sampleType, type);
    EXPECT_EQ(b.frameLength, 3u);
    ASSERT_EQ(b.channelData.size(), 2u);
    const Sample expectedLeft[] = {Sample(1), Sample(2), Sample(3)};
    const Sample expectedRight[] = {Sample(-4), Sample(5), Sample(-6)};
    EXPECT_EQ(std::memcmp(b.channelData[0], expectedLeft, sizeof expectedLeft), 0);
    EXPECT_EQ(std::memcmp(b.channelData[1], expectedRight, sizeof expectedRight), 0);
}

TEST(AudioBufferCopy, CopiesEverySampleType)
{
    expectOwnedCopy<float>(SampleType::Float32);
    expectOwnedCopy<int16_t>(SampleType::Int16);
    expectOwnedCopy<int32_t>(SampleType::Int32);
}

TEST(AudioBufferCopy, NoChannelsGivesAnEmptyCopy)
{
    AudioBuffer source;
    source.format = {48000.0, 0, SampleType::Float32};
    source.frameLength = 4096;

    std::optional<AudioBufferCopy> copy = copyBuffer(source);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->buffer().format.channels, 0);
    EXPECT_EQ(copy->buffer().frameLength, 4096u);
    EXPECT_TRUE(copy->buffer().channelData.empty());
}

TEST(AudioBufferCopy, MissingSampleArrayGivesNoCopy)
{
    const std::vector<float> left(8, 0.5f);
    AudioBuffer source;
    source.format = {48000.0, 2, SampleType::Float32};
    source.frameLength = 8;
    source.channelData = {left.data()};
    EXPECT_FALSE(copyBuffer(source));
    source.channelData = {left.data(), nullptr};
    EXPECT_FALSE(copyBuffer(source));
}

} // namespace
} // namespace sv
