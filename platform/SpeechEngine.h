#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

// The speech-recognition engine boundary. An engine is created once per start
// of the captioner and then used by one transcription at a time; different
// engines may run concurrently. Failures are returned as values.

namespace sv {

struct EngineError {
    std::string description;          // technical text form, for logs
    std::string localizedDescription; // what a person is shown
};

// Whisper decoding options; the defaults are the values every step uses.
struct DecodingOptions {
    bool verbose = false;
    bool translate = false;                 // task: transcribe
    std::string language;                   // empty: not imposed
    bool detectLanguage = false;
    float temperature = 0.0f;
    float temperatureIncrementOnFallback = 0.2f;
    int temperatureFallbackCount = 5;
    int sampleLength = 224;
    int topK = 5;
    bool usePrefillPrompt = true;
    bool usePrefillCache = true;
    bool skipSpecialTokens = false;
    bool withoutTimestamps = false;
    bool wordTimestamps = false;
    float windowClipTime = 1.0f;
    bool suppressBlank = false;
    float compressionRatioThreshold = 2.4f;
    float logProbThreshold = -1.0f;
    float firstTokenLogProbThreshold = -1.5f;
    float noSpeechThreshold = 0.6f;
};

struct TranscriptionResult {
    std::string text; // the whole array's text, special tokens left out, trimmed
};

class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    // 16 kHz mono samples. Returns false and fills `error` on failure.
    // `abort` turning true ends the work early, as a failure.
    virtual bool transcribe(const std::vector<float> &samples, const DecodingOptions &options,
                            const std::atomic<bool> &abort, std::vector<TranscriptionResult> &results,
                            EngineError &error) = 0;
};

class SpeechEngineFactory {
public:
    virtual ~SpeechEngineFactory() = default;
    // Blocking; runs on a worker thread. Loads (fetching once if needed) the
    // named model. `cancel` turning true asks a download to give up early.
    virtual std::shared_ptr<SpeechEngine> create(const std::string &modelName, const std::atomic<bool> &cancel,
                                                 EngineError &error) = 0;
};

} // namespace sv
