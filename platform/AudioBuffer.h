#pragma once

#include <cstdint>
#include <vector>

// A captured block of audio in the device's own format, one sample array per
// channel. The arrays are borrowed: they are valid only during the callback
// that hands the buffer over, so a consumer that keeps audio copies it.

namespace sv {

enum class SampleType { Float32, Int16, Int32 };

struct AudioFormat {
    double sampleRate = 0.0;
    int channels = 0;
    SampleType sampleType = SampleType::Float32;
};

struct AudioBuffer {
    AudioFormat format;
    uint32_t frameLength = 0;
    std::vector<const void *> channelData; // format.channels entries

    const float *floatChannel(int c) const
    {
        return format.sampleType == SampleType::Float32 && c >= 0 && c < int(channelData.size())
                   ? static_cast<const float *>(channelData[c])
                   : nullptr;
    }
};

// Position of a buffer's first frame: the running count of captured frames.
struct AudioTime {
    int64_t sampleTime = 0;
    double sampleRate = 0.0;
};

} // namespace sv
