#include "ClipRunner.h"

#include "platform/Dispatcher.h"
#include "platform/SoundClassifier.h"
#include "soundsense/MonotonicClock.h"
#include "soundsense/SoundSense.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace sv {

namespace {

constexpr uint32_t bufferFrames = 4096;

// Audio time: set to the end of each analysis window just before SoundSense
// sees the window's result, so the repeat window measures audio seconds.
class AudioClock final : public MonotonicClock {
public:
    double now() const override { return m_now.load(); }
    void set(double seconds) { m_now.store(seconds); }

private:
    std::atomic<double> m_now{0.0};
};

// Keeps posted deliveries until the clip is done, stamped with the audio time
// at which they were posted (the moment the alert was decided).
class CollectingDispatcher final : public Dispatcher {
public:
    explicit CollectingDispatcher(const AudioClock &clock) : m_clock(clock) {}
    void post(std::function<void()> task) override
    {
        std::lock_guard guard(m_mutex);
        m_tasks.push_back({m_clock.now(), std::move(task)});
    }
    void runAll(double &stamp)
    {
        std::vector<std::pair<double, std::function<void()>>> tasks;
        {
            std::lock_guard guard(m_mutex);
            tasks.swap(m_tasks);
        }
        for (auto &[at, task] : tasks) {
            stamp = at;
            task();
        }
    }

private:
    const AudioClock &m_clock;
    std::mutex m_mutex;
    std::vector<std::pair<double, std::function<void()>>> m_tasks;
};

} // namespace

ClipRun runClip(const WavFile &clip, double trailingSilence)
{
    ClipRun run;
    AudioClock clock;
    CollectingDispatcher dispatcher(clock);
    std::mutex windowsMutex;

    const double rate = clip.sampleRate;
    auto factory = [&](const AudioFormat &format, SoundAnalyzer::ResultHandler onResult,
                       SoundAnalyzer::ErrorHandler onError, std::string &error) {
        return makeSoundAnalyzer(
            format,
            [&, onResult](const SoundAnalysisResult &result) {
                const double end = double(result.framePosition) / rate + result.durationSeconds;
                clock.set(end);
                EvalWindow window{end, {}};
                for (size_t i = 0; i < result.classifications.size() && i < 3; ++i)
                    window.top.emplace_back(result.classifications[i].identifier, result.classifications[i].confidence);
                {
                    std::lock_guard guard(windowsMutex);
                    run.windows.push_back(std::move(window));
                }
                onResult(result);
            },
            [&, onError](const std::string &message) {
                if (run.error.empty())
                    run.error = message;
                onError(message);
            },
            error);
    };

    double stamp = 0;
    {
        SoundSense sense(dispatcher, factory, &clock);
        sense.onAlert = [&](const QString &label, double confidence, bool high) {
            run.alerts.push_back({label.toStdString(), confidence, high, stamp});
        };

        const int channels = int(clip.channels.size());
        const AudioFormat format{rate, channels, SampleType::Float32};
        std::vector<std::vector<float>> padded = clip.channels;
        for (auto &samples : padded)
            samples.resize(samples.size() + size_t(trailingSilence * rate), 0.0f);
        const size_t total = padded.empty() ? 0 : padded[0].size();
        for (size_t at = 0; at < total; at += bufferFrames) {
            AudioBuffer buffer{format, uint32_t(std::min<size_t>(bufferFrames, total - at)), {}};
            for (const auto &samples : padded)
                buffer.channelData.push_back(samples.data() + at);
            sense.analyze(buffer, {int64_t(at), rate});
            // One buffer at a time: the eval runs faster than real time, and
            // SoundSense would otherwise drop what it cannot keep up with.
            sense.waitUntilIdle();
        }
        sense.waitUntilIdle();
        run.droppedBuffers = sense.droppedBuffers();
        dispatcher.runAll(stamp);
    }
    dispatcher.runAll(stamp);
    return run;
}

} // namespace sv
