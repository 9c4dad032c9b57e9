#pragma once

#include "SpectralFrame.h"

#include <cstddef>
#include <deque>

namespace sv {

// The most recent frames, oldest first: enough for the slowest cadence the
// detectors look for (a phone's six-second ring cycle, with margin).
class FrameHistory {
public:
    static constexpr double keptSeconds = 13.0;

    void push(const SpectralFrame &frame);
    size_t size() const { return m_frames.size(); }
    bool empty() const { return m_frames.empty(); }
    const SpectralFrame &operator[](size_t i) const { return m_frames[i]; }
    // Time of the newest frame's centre; 0 before the first.
    double now() const { return m_frames.empty() ? 0.0 : m_frames.back().time; }
    // Index of the first frame whose centre is at or after `time`.
    size_t indexAt(double time) const;

private:
    std::deque<SpectralFrame> m_frames;
};

} // namespace sv
