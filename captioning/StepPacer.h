#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace sv {

// Cancellation of one loop: cancel() wakes a pause early; a cancelled loop
// never takes another step.
class LoopCancellation {
public:
    void cancel()
    {
        {
            std::lock_guard guard(m_mutex);
            m_cancelled = true;
        }
        m_wake.notify_all();
    }
    bool isCancelled() const
    {
        std::lock_guard guard(m_mutex);
        return m_cancelled;
    }
    // Waits for `duration` or until cancelled; true when the full time passed.
    bool waitFor(std::chrono::nanoseconds duration)
    {
        std::unique_lock lock(m_mutex);
        return !m_wake.wait_for(lock, duration, [this] { return m_cancelled; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_cancelled = false;
};

// The pause between transcription steps, on the loop's worker thread. Real
// time by default; a replay of a recording supplies its own.
class StepPacer {
public:
    virtual ~StepPacer() = default;
    virtual void pause(std::chrono::nanoseconds duration, LoopCancellation &cancellation) = 0;
};

class RealTimePacer final : public StepPacer {
public:
    void pause(std::chrono::nanoseconds duration, LoopCancellation &cancellation) override
    {
        cancellation.waitFor(duration);
    }
};

} // namespace sv
