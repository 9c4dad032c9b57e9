#pragma once

#include "ReplayCapture.h"
#include "captioning/StepPacer.h"

#include <chrono>
#include <functional>

namespace sv {

// The pause between steps during a replay. Fast: instead of waiting, feed
// the audio that would have arrived during the pause and during the previous
// step (its measured engine time), so the timeline is that of a real-time
// run. Either way, once the whole recording has been fed and one more step
// has run, `onFinished` is called (on the loop's thread).
class ReplayPacer final : public StepPacer {
public:
    ReplayPacer(ReplayCapture &capture, bool fast, std::function<void()> onFinished);
    void pause(std::chrono::nanoseconds duration, LoopCancellation &cancellation) override;

private:
    ReplayCapture &m_capture;
    bool m_fast;
    std::function<void()> m_onFinished;
    bool m_finishedBefore = false;
    bool m_hasReturned = false;
    std::chrono::steady_clock::time_point m_lastReturn;
};

} // namespace sv
