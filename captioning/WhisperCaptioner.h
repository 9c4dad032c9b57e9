#pragma once

#include "captioning/DebugLog.h"
#include "captioning/SampleBuffer.h"
#include "captioning/StepPacer.h"
#include "platform/AudioCapture.h"
#include "platform/Dispatcher.h"
#include "platform/SampleRateConverter.h"
#include "platform/SpeechEngine.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sv {

// The services the captioner runs on, owned by the caller and outliving it.
struct CaptionerServices {
    Dispatcher *dispatcher = nullptr;     // main-thread delivery
    AudioCapture *capture = nullptr;      // the microphone
    SpeechEngineFactory *engines = nullptr;
    std::function<std::unique_ptr<SampleRateConverter>(const AudioFormat &)> makeConverter;
    StepPacer *pacer = nullptr;           // null: real time
    QString debugLogPath;                 // empty: no debug log
};

// Live captioning: captures the microphone, keeps the newest 12 s of 16 kHz
// mono audio and re-transcribes it every 1.3 s, delivering live and final
// lines and statuses on the main thread in the order they were produced.
//
// Threads: start()/stop() and the callbacks run on the main thread;
// onAudioBuffer runs on the capture thread; model loading, the loop and its
// steps run on worker threads the captioner owns and joins on destruction.
// Set the callbacks before the first start().
class WhisperCaptioner {
public:
    struct Status {
        enum class Kind { Loading, Listening, Denied, Error };
        Kind kind = Kind::Loading;
        QString message; // Error only

        static Status loading() { return {Kind::Loading, {}}; }
        static Status listening() { return {Kind::Listening, {}}; }
        static Status denied() { return {Kind::Denied, {}}; }
        static Status error(QString m) { return {Kind::Error, std::move(m)}; }
        bool operator==(const Status &) const = default;
    };

    static constexpr int sampleRate = 16000;
    static constexpr int maxSeconds = 12;
    static constexpr size_t fullBuffer = size_t(sampleRate) * maxSeconds; // 192000
    static constexpr size_t minimumAudio = 8000;
    static constexpr size_t tailLength = 11200;
    static constexpr float silenceThreshold = 0.006f;
    static constexpr std::chrono::nanoseconds stepInterval{1'300'000'000};
    static constexpr uint32_t framesPerBuffer = 4096;

    std::function<void(const QString &text, bool isFinal)> onText;
    std::function<void(const Status &status)> onStatus;
    std::function<void(const AudioBuffer &buffer, AudioTime time)> onAudioBuffer;

    explicit WhisperCaptioner(CaptionerServices services);
    ~WhisperCaptioner();
    WhisperCaptioner(const WhisperCaptioner &) = delete;
    WhisperCaptioner &operator=(const WhisperCaptioner &) = delete;

    void start();
    void stop();

    // The output capacity for one captured buffer: the rate ratio times the
    // frame count, truncated, plus 1024 frames of slack; 0 when the input
    // rate is unusable.
    static uint32_t outputCapacity(double inputRate, uint32_t frameLength);
    // Whether any 100 ms frame of the audio has a root mean square at or
    // above `threshold` (the last frame may be shorter).
    static bool anyFrameReaches(const std::vector<float> &samples, float threshold);

    // Visible for tests and the replay tool.
    void tick();
    void appendConverted(const AudioBuffer &buffer);
    void tapHandler(const AudioBuffer &buffer, AudioTime time);
    bool isRunning() const { return running.load(); }
    bool isTranscribing() const { return transcribing.load(); }
    bool hasRecognizer() const { return recognizer.load() != nullptr; }
    size_t sampleCount() const;
    // Replaces the buffer's content, as if captured (tests).
    void setSamplesForTest(const std::vector<float> &s);

private:
    void beginAudio(uint64_t generation);
    void startLoop();
    void loadModel(uint64_t generation);
    void endCapture();
    void emitText(const QString &text, bool isFinal);
    void emit(const Status &status);
    void dbg(const QString &message) const;
    bool isCurrent(uint64_t generation) const { return m_generation.load() == generation; }
    void spawn(std::function<void()> work);
    void reapFinishedThreads();

    CaptionerServices m_services;
    RealTimePacer m_realTimePacer;
    DebugLog m_debugLog;

    std::atomic<std::shared_ptr<SpeechEngine>> recognizer;
    std::unique_ptr<SampleRateConverter> converter; // replaced only while no stream runs
    std::vector<float> m_convertScratch;           // capture thread only

    mutable std::mutex lock; // guards samples, and nothing else
    SampleBuffer samples{fullBuffer};

    std::atomic<bool> running{false};
    std::atomic<bool> transcribing{false};
    std::shared_ptr<LoopCancellation> loop; // main thread

    // Every start() and stop() moves to a new generation; work begun for an
    // older one (a model load, a loop) finds itself overtaken and ends
    // without touching capture or reporting anything.
    std::atomic<uint64_t> m_generation{0};
    std::atomic<bool> m_destroying{false};
    // Delivered tasks check this so nothing reaches a captioner that is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> m_workers; // main thread
};

} // namespace sv
