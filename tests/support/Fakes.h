#pragma once

// Stand-ins for the captioner's services: a main queue the test drains on its
// own thread, a microphone the test feeds by hand, and a speech engine whose
// answers (and timing) the test scripts.

#include "platform/AudioCapture.h"
#include "platform/Dispatcher.h"
#include "platform/SampleRateConverter.h"
#include "platform/SpeechEngine.h"
#include "captioning/StepPacer.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sv::test {

using namespace std::chrono_literals;

class ManualDispatcher final : public Dispatcher {
public:
    void post(std::function<void()> task) override
    {
        {
            std::lock_guard g(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_cv.notify_all();
    }
    // Runs queued tasks on the calling thread (the test's "main thread")
    // until `done` holds or the deadline passes; true when `done` held.
    bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = 5000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            drain();
            if (done())
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return done();
            // Conditions may also change on other threads without a task
            // being posted, so look again every few milliseconds.
            std::unique_lock l(m_mutex);
            m_cv.wait_until(l, std::min(deadline, std::chrono::steady_clock::now() + 5ms),
                            [this] { return !m_tasks.empty(); });
        }
    }
    void drain()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard g(m_mutex);
                if (m_tasks.empty())
                    return;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_tasks;
};

class FakeCapture final : public AudioCapture {
public:
    bool granted = true;
    int failStarts = 0; // how many of the next start() calls fail
    AudioFormat format{16000.0, 1, SampleType::Float32};
    std::atomic<int> accessChecks{0};

    bool checkAccess() override
    {
        std::unique_lock l(m_mutex);
        m_accessCv.wait(l, [this] { return !m_holdAccess; });
        ++accessChecks;
        return granted;
    }
    // While held, permission answers wait.
    void holdAccess(bool hold)
    {
        {
            std::lock_guard g(m_mutex);
            m_holdAccess = hold;
        }
        m_accessCv.notify_all();
    }
    AudioFormat inputFormat() override { return format; }
    bool start(Callback callback, std::string &error) override
    {
        std::lock_guard g(m_mutex);
        if (failStarts > 0) {
            --failStarts;
            error = "the input device is busy";
            return false;
        }
        if (m_callback) {
            doubleStart = true;
            error = "already running";
            return false;
        }
        m_callback = std::move(callback);
        ++starts;
        return true;
    }
    void stop() override
    {
        std::lock_guard g(m_mutex);
        m_callback = nullptr;
    }
    bool isRunning() const override
    {
        std::lock_guard g(m_mutex);
        return bool(m_callback);
    }
    // Delivers 16 kHz mono float samples as one captured buffer; false when
    // no stream is open (nothing delivered).
    bool feed(const std::vector<float> &samples)
    {
        std::lock_guard g(m_mutex);
        if (!m_callback)
            return false;
        AudioBuffer b;
        b.format = format;
        b.frameLength = uint32_t(samples.size());
        b.channelData = {samples.data()};
        m_callback(b, AudioTime{m_frames, format.sampleRate});
        m_frames += samples.size();
        return true;
    }

    int starts = 0;
    bool doubleStart = false;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_accessCv;
    bool m_holdAccess = false;
    Callback m_callback;
    int64_t m_frames = 0;
};

// Copies 16 kHz mono float through unchanged.
class PassThroughConverter final : public SampleRateConverter {
public:
    bool convert(const AudioBuffer &in, float *out, size_t capacity, size_t &produced) override
    {
        const float *src = in.floatChannel(0);
        produced = std::min<size_t>(in.frameLength, capacity);
        std::copy(src, src + produced, out);
        return true;
    }
};

// An engine that answers with scripted text; `hold` makes each call wait
// until the test releases it.
class FakeEngine final : public SpeechEngine {
public:
    std::string text = "hello there";
    bool fail = false;

    bool transcribe(const std::vector<float> &samples, const DecodingOptions &, const std::atomic<bool> &,
                    std::vector<TranscriptionResult> &results, EngineError &error) override
    {
        std::unique_lock l(m_mutex);
        ++calls;
        lastLength = samples.size();
        lastSamples = samples;
        inside = true;
        m_cv.notify_all();
        m_cv.wait(l, [this] { return !hold; });
        inside = false;
        if (fail) {
            error = {"fake failure", "fake failure"};
            return false;
        }
        results = {{text}};
        return true;
    }
    void setHold(bool h)
    {
        {
            std::lock_guard g(m_mutex);
            hold = h;
        }
        m_cv.notify_all();
    }
    bool waitInside(std::chrono::milliseconds timeout = 5000ms)
    {
        std::unique_lock l(m_mutex);
        return m_cv.wait_for(l, timeout, [this] { return inside; });
    }

    std::atomic<int> calls{0};
    std::atomic<size_t> lastLength{0};
    std::vector<float> lastSamples; // read after the call has returned

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool hold = false;
    bool inside = false;
};

class FakeEngineFactory final : public SpeechEngineFactory {
public:
    std::shared_ptr<FakeEngine> engine = std::make_shared<FakeEngine>();
    bool fail = false;
    std::atomic<int> creations{0};

    std::shared_ptr<SpeechEngine> create(const std::string &, const std::atomic<bool> &,
                                         EngineError &error) override
    {
        std::unique_lock l(m_mutex);
        m_cv.wait(l, [this] { return !hold; });
        ++creations;
        if (fail) {
            error = {"HTTP 404", "could not download ggml-base.bin: HTTP error 404"};
            return nullptr;
        }
        return engine;
    }
    void setHold(bool h)
    {
        {
            std::lock_guard g(m_mutex);
            hold = h;
        }
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool hold = false;
};

// Never ends a pause on its own: the loop takes no step unless the test calls
// tick() itself. Counts loops waiting in a pause at once.
class ParkedPacer final : public StepPacer {
public:
    void pause(std::chrono::nanoseconds, LoopCancellation &c) override
    {
        ++active;
        while (!c.isCancelled())
            c.waitFor(1h);
        --active;
    }
    std::atomic<int> active{0};
};

} // namespace sv::test
