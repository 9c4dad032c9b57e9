#include "AudioBufferCopy.h"

#include <cstring>
#include <new>

namespace sv {

namespace {

size_t bytesPerSample(SampleType type)
{
    switch (type) {
    case SampleType::Float32:
        return sizeof(float);
    case SampleType::Int16:
        return sizeof(int16_t);
    case SampleType::Int32:
        return sizeof(int32_t);
    }
    return 0;
}

} // namespace

std::optional<AudioBufferCopy> copyBuffer(const AudioBuffer &source)
{
    const size_t sampleSize = bytesPerSample(source.format.sampleType);
    const int channels = source.format.channels;
    if (sampleSize == 0 || channels < 0 || source.channelData.size() < size_t(channels))
        return std::nullopt;
    const size_t channelBytes = size_t(source.frameLength) * sampleSize;
    for (int c = 0; c < channels; ++c) {
        if (channelBytes > 0 && !source.channelData[c])
            return std::nullopt;
    }

    // Called on the capture thread, where an exception would end the process.
    try {
        AudioBufferCopy copy;
        copy.m_samples.resize(channelBytes * size_t(channels));
        copy.m_view.format = source.format;
        copy.m_view.frameLength = source.frameLength;
        copy.m_view.channelData.resize(size_t(channels));
        for (int c = 0; c < channels; ++c) {
            std::byte *target = copy.m_samples.data() + size_t(c) * channelBytes;
            if (channelBytes > 0)
                std::memcpy(target, source.channelData[c], channelBytes);
            copy.m_view.channelData[c] = target;
        }
        return copy;
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

} // namespace sv
