#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sv {

// The rolling buffer of 16 kHz samples, oldest first, keeping at most
// `capacity` of the newest. Each sample has a position: the count of samples
// appended before it since construction. Positions let a consumer remove
// exactly what it took a snapshot of, whatever was appended or dropped since.
// Not synchronised: the owner guards it with its lock.
class SampleBuffer {
public:
    explicit SampleBuffer(size_t capacity);

    void append(const float *samples, size_t count);
    void clear();
    // Removes every sample whose position is below `end`.
    void dropBefore(uint64_t end);

    size_t size() const { return m_data.size() - m_start; }
    size_t capacity() const { return m_capacity; }
    // Position one past the newest sample.
    uint64_t endPosition() const { return m_end; }
    std::vector<float> copy() const;

private:
    std::vector<float> m_data;
    size_t m_start = 0; // index in m_data of the oldest kept sample
    uint64_t m_end = 0;
    size_t m_capacity;
};

} // namespace sv
