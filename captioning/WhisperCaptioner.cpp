#include "WhisperCaptioner.h"

#include "captioning/CaptionText.h"

#include <algorithm>
#include <cmath>

namespace sv {

WhisperCaptioner::WhisperCaptioner(CaptionerServices services)
    : m_services(std::move(services))
    , m_debugLog(m_services.debugLogPath)
{
}

WhisperCaptioner::~WhisperCaptioner()
{
    m_destroying = true;
    ++m_generation;
    endCapture();
    // Joining here is what lets worker threads use `this` freely: no task of
    // ours outlives the captioner. A model download and a transcription both
    // watch m_destroying, so this waits at most for a model to finish loading.
    for (Worker &w : m_workers)
        w.thread.join();
}

uint32_t WhisperCaptioner::outputCapacity(double inputRate, uint32_t frameLength)
{
    if (!(inputRate > 0.0) || !std::isfinite(inputRate))
        return 0;
    const double frames = double(sampleRate) / inputRate * double(frameLength);
    return uint32_t(frames) + 1024;
}

void WhisperCaptioner::start()
{
    reapFinishedThreads();
    // A start while an earlier one is loading or capturing supersedes it: the
    // earlier model load finds itself overtaken, and the running capture ends
    // here, so there is never more than one stream.
    const uint64_t generation = ++m_generation;
    endCapture();
    emit(Status::loading());
    dbg(QStringLiteral("start(): requesting mic access"));
    spawn([this, generation] { loadModel(generation); });
}

void WhisperCaptioner::stop()
{
    ++m_generation;
    endCapture();
    std::lock_guard guard(lock);
    samples.clear();
}

void WhisperCaptioner::endCapture()
{
    running = false;
    if (loop) {
        loop->cancel();
        loop.reset();
    }
    if (m_services.capture)
        m_services.capture->stop();
}

void WhisperCaptioner::loadModel(uint64_t generation)
{
    // The permission answer: on Linux, whether the default input device opens.
    const bool granted = m_services.capture && m_services.capture->checkAccess();
    dbg(QStringLiteral("mic access granted=") + (granted ? QStringLiteral("true") : QStringLiteral("false")));
    if (!isCurrent(generation))
        return;
    if (!granted) {
        emit(Status::denied());
        return;
    }

    dbg(QStringLiteral("loading speech model \"base\""));
    EngineError error;
    std::shared_ptr<SpeechEngine> engine =
        m_services.engines ? m_services.engines->create("base", m_destroying, error) : nullptr;
    if (!engine) {
        if (!m_services.engines)
            error = {"no speech engine", "no speech engine is available"};
        dbg(QStringLiteral("speech engine load error: ") + QString::fromStdString(error.description));
        if (isCurrent(generation))
            emit(Status::error(QStringLiteral("model load failed: ") +
                               QString::fromStdString(error.localizedDescription)));
        return;
    }
    dbg(QStringLiteral("speech engine ready"));
    if (!isCurrent(generation))
        return;
    recognizer.store(engine);
    std::weak_ptr<int> alive = m_alive;
    m_services.dispatcher->post([this, alive, generation] {
        if (alive.lock())
            beginAudio(generation);
    });
}

void WhisperCaptioner::beginAudio(uint64_t generation)
{
    // A stop() or a later start() since this start began: discard it, so a
    // paused captioner never starts capturing on its own.
    if (!isCurrent(generation) || m_destroying)
        return;
    running = true;
    const AudioFormat format = m_services.capture->inputFormat();
    converter = m_services.makeConverter ? m_services.makeConverter(format) : nullptr;

    std::string error;
    const bool started = m_services.capture->start(
        [this](const AudioBuffer &buffer, AudioTime time) { tapHandler(buffer, time); }, error);
    if (!started) {
        // The capture closed whatever it had opened; with running false as
        // well, the next start() begins from a clean idle state.
        running = false;
        emit(Status::error(QString::fromStdString(error)));
        return;
    }
    emit(Status::listening());
    startLoop();
}

void WhisperCaptioner::tapHandler(const AudioBuffer &buffer, AudioTime time)
{
    if (onAudioBuffer)
        onAudioBuffer(buffer, time);
    appendConverted(buffer);
}

void WhisperCaptioner::appendConverted(const AudioBuffer &buffer)
{
    if (!converter)
        return;
    const uint32_t capacity = outputCapacity(buffer.format.sampleRate, buffer.frameLength);
    if (capacity == 0)
        return;
    if (m_convertScratch.size() < capacity)
        m_convertScratch.resize(capacity);
    size_t produced = 0;
    if (!converter->convert(buffer, m_convertScratch.data(), capacity, produced))
        return;
    if (produced == 0)
        return;
    std::lock_guard guard(lock);
    samples.append(m_convertScratch.data(), produced);
}

void WhisperCaptioner::startLoop()
{
    auto cancellation = std::make_shared<LoopCancellation>();
    if (loop)
        loop->cancel();
    loop = cancellation;
    StepPacer *pacer = m_services.pacer ? m_services.pacer : &m_realTimePacer;
    spawn([this, cancellation, pacer] {
        while (!cancellation->isCancelled() && running && !m_destroying) {
            pacer->pause(stepInterval, *cancellation);
            // A cancelled loop ends here rather than stepping once more: by
            // now a new start may have set running again, and this loop must
            // not run next to the new one.
            if (cancellation->isCancelled())
                break;
            tick();
        }
    });
}

void WhisperCaptioner::tick()
{
    if (!running || transcribing)
        return;
    const std::shared_ptr<SpeechEngine> engine = recognizer.load();
    if (!engine)
        return;

    std::vector<float> snapshot;
    uint64_t snapshotEnd = 0;
    {
        std::lock_guard guard(lock);
        snapshot = samples.copy();
        snapshotEnd = samples.endPosition();
    }
    const size_t n = snapshot.size();
    if (n < minimumAudio)
        return;
    bool idle = false;
    if (!transcribing.compare_exchange_strong(idle, true))
        return; // another step won the race since the check above

    // Whisper invents sentences from silence ("Thank you.") that nobody said;
    // a snapshot without a single 100 ms frame at speech level is taken as
    // empty text with a silent tail instead of being transcribed.
    if (!anyFrameReaches(snapshot, silenceThreshold)) {
        {
            std::lock_guard guard(lock);
            samples.dropBefore(snapshotEnd);
        }
        transcribing = false;
        return;
    }

    const size_t tailStart = n > tailLength ? n - tailLength : 0;
    float sum = 0.0f;
    for (size_t i = tailStart; i < n; ++i)
        sum += snapshot[i] * snapshot[i];
    const bool silentTail = std::sqrt(sum / float(n - tailStart)) < silenceThreshold;

    std::vector<TranscriptionResult> results;
    EngineError error;
    if (!engine->transcribe(snapshot, DecodingOptions{}, m_destroying, results, error)) {
        transcribing = false;
        return;
    }
    std::string joined;
    for (const TranscriptionResult &r : results)
        joined += r.text;
    const QString text = clean(QString::fromStdString(joined));

    // When a line ends, only the audio this step transcribed is removed: what
    // the microphone added while the engine worked is the start of the next
    // line and must not be lost.
    if (!text.isEmpty()) {
        const bool isFinal = n >= fullBuffer || silentTail;
        if (isFinal) {
            std::lock_guard guard(lock);
            samples.dropBefore(snapshotEnd);
        }
        emitText(text, isFinal);
    } else if (silentTail) {
        std::lock_guard guard(lock);
        samples.dropBefore(snapshotEnd);
    }
    transcribing = false;
}

bool WhisperCaptioner::anyFrameReaches(const std::vector<float> &snapshot, float threshold)
{
    constexpr size_t frame = sampleRate / 10;
    for (size_t begin = 0; begin < snapshot.size(); begin += frame) {
        const size_t end = std::min(begin + frame, snapshot.size());
        float sum = 0.0f;
        for (size_t i = begin; i < end; ++i)
            sum += snapshot[i] * snapshot[i];
        if (std::sqrt(sum / float(end - begin)) >= threshold)
            return true;
    }
    return false;
}

void WhisperCaptioner::emitText(const QString &text, bool isFinal)
{
    std::weak_ptr<int> alive = m_alive;
    m_services.dispatcher->post([this, alive, text, isFinal] {
        if (alive.lock() && onText)
            onText(text, isFinal);
    });
}

void WhisperCaptioner::emit(const Status &status)
{
    std::weak_ptr<int> alive = m_alive;
    m_services.dispatcher->post([this, alive, status] {
        if (alive.lock() && onStatus)
            onStatus(status);
    });
}

void WhisperCaptioner::dbg(const QString &message) const
{
    m_debugLog.write(message);
}

void WhisperCaptioner::spawn(std::function<void()> work)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([work = std::move(work), done] {
        work();
        *done = true;
    });
    m_workers.push_back({std::move(thread), std::move(done)});
}

void WhisperCaptioner::reapFinishedThreads()
{
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

size_t WhisperCaptioner::sampleCount() const
{
    std::lock_guard guard(lock);
    return samples.size();
}

void WhisperCaptioner::setSamplesForTest(const std::vector<float> &s)
{
    std::lock_guard guard(lock);
    samples.clear();
    samples.append(s.data(), s.size());
}

} // namespace sv
