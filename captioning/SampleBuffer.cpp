#include "SampleBuffer.h"

#include <algorithm>

namespace sv {

SampleBuffer::SampleBuffer(size_t capacity)
    : m_capacity(capacity)
{
    m_data.reserve(2 * capacity);
}

void SampleBuffer::append(const float *samples, size_t count)
{
    m_data.insert(m_data.end(), samples, samples + count);
    m_end += count;
    if (size() > m_capacity)
        m_start = m_data.size() - m_capacity;
    // Dropping the oldest samples only moves m_start; the storage is compacted
    // once the dead prefix is as large as the buffer, so the capture thread
    // pays one bounded copy per 12 s instead of one per buffer.
    if (m_start >= m_capacity) {
        m_data.erase(m_data.begin(), m_data.begin() + m_start);
        m_start = 0;
    }
}

void SampleBuffer::clear()
{
    m_data.clear();
    m_start = 0;
}

void SampleBuffer::dropBefore(uint64_t end)
{
    const uint64_t begin = m_end - size();
    if (end <= begin)
        return;
    m_start += size_t(std::min<uint64_t>(end - begin, size()));
    if (m_start == m_data.size())
        clear();
}

std::vector<float> SampleBuffer::copy() const
{
    return std::vector<float>(m_data.begin() + m_start, m_data.end());
}

} // namespace sv
