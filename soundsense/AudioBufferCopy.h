#pragma once

#include "platform/AudioBuffer.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace sv {

// A captured buffer whose samples it owns, so it can wait on another thread
// after the capture callback that lent the original has returned. The view
// points into the copy's own storage; moving keeps it valid, copying is not
// allowed.
class AudioBufferCopy {
public:
    AudioBufferCopy(AudioBufferCopy &&) = default;
    AudioBufferCopy &operator=(AudioBufferCopy &&) = default;
    AudioBufferCopy(const AudioBufferCopy &) = delete;
    AudioBufferCopy &operator=(const AudioBufferCopy &) = delete;

    const AudioBuffer &buffer() const { return m_view; }

private:
    AudioBufferCopy() = default;
    friend std::optional<AudioBufferCopy> copyBuffer(const AudioBuffer &source);

    std::vector<std::byte> m_samples; // every channel, one after the other
    AudioBuffer m_view;
};

// Copies the format, the frame length and each channel's samples (32-bit
// float, 16-bit or 32-bit integer) in one allocation. A buffer with no
// channels copies as an empty buffer of that format. Nothing, and no
// exception, when the source lacks a sample array for one of its channels,
// has an unknown sample type, or memory runs out. Any thread.
std::optional<AudioBufferCopy> copyBuffer(const AudioBuffer &source);

} // namespace sv
