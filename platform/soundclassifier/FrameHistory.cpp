#include "FrameHistory.h"

#include <cmath>

namespace sv {

void FrameHistory::push(const SpectralFrame &frame)
{
    m_frames.push_back(frame);
    while (!m_frames.empty() && frame.time - m_frames.front().time > keptSeconds)
        m_frames.pop_front();
}

size_t FrameHistory::indexAt(double time) const
{
    if (m_frames.empty() || time <= m_frames.front().time)
        return 0;
    // Frames are evenly spaced, so the index follows from the time.
    const double steps = std::ceil((time - m_frames.front().time) / analysis::hopSeconds - 1e-9);
    const auto index = size_t(steps);
    return index < m_frames.size() ? index : m_frames.size();
}

} // namespace sv
