#include "SoundSense.h"

#include "soundsense/AlertRules.h"

#include <cmath>
#include <pthread.h>
#include <syslog.h>

namespace sv {

namespace {

void logError(const std::string &line)
{
    syslog(LOG_ERR, "%s", line.c_str());
}

} // namespace

SoundSense::SoundSense(Dispatcher &dispatcher, AnalyzerFactory makeAnalyzer, const MonotonicClock *clock)
    : m_dispatcher(dispatcher)
    , m_makeAnalyzer(std::move(makeAnalyzer))
    , m_clock(clock ? clock : &m_steadyClock)
    , m_worker([this] { work(); })
{
}

SoundSense::~SoundSense()
{
    {
        std::lock_guard guard(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    // The buffer being classified finishes; those still waiting are dropped.
    m_worker.join();
    m_alive.reset();
}

std::optional<QString> SoundSense::category(const QString &label)
{
    return alertCategory(label);
}

const QSet<QString> &SoundSense::highPriority()
{
    return highPriorityCategories();
}

void SoundSense::analyze(const AudioBuffer &buffer, AudioTime time)
{
    if (!m_analyzer.load())
        prepare(buffer.format);

    std::optional<AudioBufferCopy> copy = copyBuffer(buffer);
    if (!copy)
        return;

    const double rate = buffer.format.sampleRate;
    const uint64_t limit = std::isfinite(rate) && rate > 0.0 ? uint64_t(maxQueuedSeconds * rate) : 0;
    const uint64_t frames = buffer.frameLength;
    {
        std::lock_guard guard(m_mutex);
        // Dropping from the front keeps the newest sound, which is what an
        // alert should be about; the newest buffer itself always stays.
        while (!m_queue.empty() && m_queuedFrames + frames > limit) {
            m_queuedFrames -= m_queue.front().copy.buffer().frameLength;
            m_queue.pop_front();
            ++m_dropped;
        }
        m_queue.push_back(Pending{std::move(*copy), time.sampleTime});
        m_queuedFrames += frames;
    }
    m_wake.notify_one();
}

void SoundSense::prepare(const AudioFormat &format)
{
    std::string error;
    std::unique_ptr<SoundAnalyzer> analyzer;
    if (m_makeAnalyzer) {
        analyzer = m_makeAnalyzer(
            format, [this](const SoundAnalysisResult &result) { handleResult(result); },
            [this](const std::string &message) { handleError(message); }, error);
    } else {
        error = "no sound classifier is available";
    }
    if (!analyzer) {
        logError("SoundSense setup failed: " + (error.empty() ? std::string("the classifier could not be made") : error));
        return;
    }
    m_analyzerFormat = format;
    m_analyzerOwner = std::move(analyzer);
    m_analyzer.store(m_analyzerOwner.get());
}

bool SoundSense::sameFormat(const AudioFormat &a, const AudioFormat &b)
{
    return a.sampleRate == b.sampleRate && a.channels == b.channels && a.sampleType == b.sampleType;
}

SoundAnalyzer *SoundSense::rebuild(const AudioFormat &format)
{
    // The microphone's format changed (another device after a restart). An
    // analyzer keeps the format it was made for, and one that can no longer
    // read its input would leave every alarm unheard, so it is made anew
    // here, on the only thread that uses it. Should that fail, the old one
    // stays and reports each buffer it cannot read.
    std::string error;
    std::unique_ptr<SoundAnalyzer> analyzer;
    if (m_makeAnalyzer)
        analyzer = m_makeAnalyzer(
            format, [this](const SoundAnalysisResult &result) { handleResult(result); },
            [this](const std::string &message) { handleError(message); }, error);
    if (!analyzer) {
        logError("SoundSense setup failed: " + (error.empty() ? std::string("the classifier could not be made") : error));
        m_analyzerFormat = format; // one log line per change, not per buffer
        return m_analyzer.load();
    }
    m_analyzerFormat = format;
    m_analyzerOwner = std::move(analyzer);
    m_analyzer.store(m_analyzerOwner.get());
    return m_analyzerOwner.get();
}

void SoundSense::waitUntilIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_stopping || (m_queue.empty() && !m_busy); });
}

void SoundSense::work()
{
    pthread_setname_np(pthread_self(), "sv.soundsense");
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            break;
        Pending item = std::move(m_queue.front());
        m_queue.pop_front();
        m_queuedFrames -= item.copy.buffer().frameLength;
        m_busy = true;
        lock.unlock();

        // Buffers handed over while setup kept failing wait for nothing.
        SoundAnalyzer *analyzer = m_analyzer.load();
        if (analyzer && !sameFormat(item.copy.buffer().format, m_analyzerFormat))
            analyzer = rebuild(item.copy.buffer().format);
        if (analyzer)
            analyzer->analyze(item.copy.buffer(), item.framePosition);

        lock.lock();
        m_busy = false;
        const bool idle = m_queue.empty();
        lock.unlock();
        if (idle)
            m_idle.notify_all();
    }
    {
        std::lock_guard guard(m_mutex);
        m_queue.clear();
        m_queuedFrames = 0;
    }
    m_idle.notify_all();
}

void SoundSense::handleResult(const SoundAnalysisResult &result)
{
    // Only the top classification counts: a lower-ranked label is the
    // classifier's second guess about the same sound.
    if (result.classifications.empty())
        return;
    const SoundClassification &top = result.classifications.front();
    if (top.confidence < minConfidence)
        return;
    const std::optional<QString> found = category(QString::fromStdString(top.identifier));
    if (!found)
        return;

    // The window runs from the last alert raised, not the last detection, so
    // a sound that goes on is announced again every repeatWindow seconds.
    // A clock that stepped back reads as inside the window.
    const double now = m_clock->now();
    const auto last = m_lastFired.constFind(*found);
    if (last != m_lastFired.constEnd() && now - *last < repeatWindow)
        return;
    m_lastFired.insert(*found, now);

    const bool high = highPriority().contains(*found);
    const double confidence = top.confidence;
    std::weak_ptr<int> alive = m_alive;
    m_dispatcher.post([this, alive, label = *found, confidence, high] {
        if (alive.lock() && onAlert)
            onAlert(label, confidence, high);
    });
}

void SoundSense::handleError(const std::string &message)
{
    logError("SoundSense error: " + message);
}

} // namespace sv
