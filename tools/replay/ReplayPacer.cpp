#include "ReplayPacer.h"

namespace sv {

ReplayPacer::ReplayPacer(ReplayCapture &capture, bool fast, std::function<void()> onFinished)
    : m_capture(capture)
    , m_fast(fast)
    , m_onFinished(std::move(onFinished))
{
}

void ReplayPacer::pause(std::chrono::nanoseconds interval, LoopCancellation &cancellation)
{
    using namespace std::chrono;
    const auto now = steady_clock::now();
    if (m_capture.finished()) {
        // The step that just ran saw the whole recording.
        if (m_finishedBefore && m_onFinished) {
            m_onFinished();
            m_onFinished = nullptr;
        }
        m_finishedBefore = true;
    }
    if (!m_fast) {
        cancellation.waitFor(interval);
        return;
    }
    const double stepSeconds = m_hasReturned ? duration_cast<duration<double>>(now - m_lastReturn).count() : 0.0;
    m_capture.feed(duration_cast<duration<double>>(interval).count() + stepSeconds);
    m_hasReturned = true;
    m_lastReturn = steady_clock::now();
}

} // namespace sv
