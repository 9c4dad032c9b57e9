#pragma once

#include "platform/AudioBuffer.h"
#include "platform/Dispatcher.h"
#include "platform/SoundClassifier.h"
#include "soundsense/AudioBufferCopy.h"
#include "soundsense/MonotonicClock.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace sv {

// Watches the microphone for environmental sounds and turns the classifier's
// results into alert events: the top classification of each result, if at
// least minConfidence sure, not an ignored label and mapped to a category,
// raises one alert unless that category raised one less than repeatWindow
// seconds ago.
//
// Threads: analyze() runs on the capture thread and never waits for the
// classifier. The classifier runs on one worker thread that SoundSense owns
// and joins on destruction; buffers reach it in capture order through a
// queue holding at most maxQueuedSeconds of audio, the oldest dropped first
// when classification falls behind. onAlert is set on the main thread before
// the first buffer and is invoked there only, through the dispatcher.
// Destroy on the main thread once the feed has stopped: alerts still posted
// then are dropped.
//
// Failures go to the system log: "SoundSense setup failed: ..." when no
// classifier can be made for the input format (tried again with the next
// buffer), "SoundSense error: ..." when the classifier reports one.
class SoundSense {
public:
    using AnalyzerFactory = std::function<std::unique_ptr<SoundAnalyzer>(
        const AudioFormat &format, SoundAnalyzer::ResultHandler onResult, SoundAnalyzer::ErrorHandler onError,
        std::string &error)>;

    static constexpr double minConfidence = 0.5;
    static constexpr double repeatWindow = 12.0;    // seconds, per category
    static constexpr double maxQueuedSeconds = 8.0; // audio waiting for the classifier

    std::function<void(const QString &label, double confidence, bool high)> onAlert;

    // `dispatcher` and `clock` are the caller's and outlive this object; a
    // null clock is the steady clock. No classifier is made until the first
    // buffer arrives.
    explicit SoundSense(Dispatcher &dispatcher, AnalyzerFactory makeAnalyzer = makeSoundAnalyzer,
                        const MonotonicClock *clock = nullptr);
    ~SoundSense();
    SoundSense(const SoundSense &) = delete;
    SoundSense &operator=(const SoundSense &) = delete;

    // Copies `buffer` and queues it for classification at `time`'s frame
    // position; the first call (and each after a failed one) first makes the
    // classifier for the buffer's format. A buffer that cannot be copied is
    // skipped. Capture thread, one call at a time.
    void analyze(const AudioBuffer &buffer, AudioTime time);

    // Blocks until every buffer handed over so far has been classified or
    // dropped, and its alerts posted. For tools and tests; not on the
    // capture thread.
    void waitUntilIdle();

    // Buffers dropped unclassified because the queue was full. Any thread.
    uint64_t droppedBuffers() const { return m_dropped.load(); }
    // Whether the classifier has been made. Any thread.
    bool hasAnalyzer() const { return m_analyzer.load() != nullptr; }

    // The category text for a classifier label, or nothing. Pure.
    static std::optional<QString> category(const QString &label);
    // Categories whose alerts are high priority.
    static const QSet<QString> &highPriority();

private:
    struct Pending {
        AudioBufferCopy copy;
        int64_t framePosition;
    };

    void prepare(const AudioFormat &format);
    SoundAnalyzer *rebuild(const AudioFormat &format);
    static bool sameFormat(const AudioFormat &a, const AudioFormat &b);
    void work();
    void handleResult(const SoundAnalysisResult &result); // worker thread
    void handleError(const std::string &message);         // worker thread

    Dispatcher &m_dispatcher;
    AnalyzerFactory m_makeAnalyzer;
    SteadyClock m_steadyClock;
    const MonotonicClock *m_clock;

    // Made on the capture thread, never replaced; the worker reads the
    // pointer, and only destruction (after the join) releases it.
    std::unique_ptr<SoundAnalyzer> m_analyzerOwner;
    // Written before the analyzer is published, then only by the worker.
    AudioFormat m_analyzerFormat;
    std::atomic<SoundAnalyzer *> m_analyzer{nullptr};

    QHash<QString, double> m_lastFired; // worker thread only

    std::mutex m_mutex; // guards the queue and the worker's state below
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Pending> m_queue;
    uint64_t m_queuedFrames = 0;
    bool m_busy = false;
    bool m_stopping = false;
    std::atomic<uint64_t> m_dropped{0};

    // Posted deliveries check this so nothing reaches a SoundSense that is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    std::thread m_worker; // last: starts once everything above exists
};

} // namespace sv
