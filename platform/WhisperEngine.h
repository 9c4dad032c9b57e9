#pragma once

#include "ModelStore.h"
#include "SpeechEngine.h"

#include <string>

struct whisper_context;
struct whisper_full_params;

namespace sv {

// How whisper.cpp is run; the decoding itself follows DecodingOptions.
struct WhisperRuntime {
    int threads = 0;            // 0: whisper.cpp's default (at most 4)
    bool flashAttention = true;
    // Encode only as many frames as the audio needs (AudioContext.h); false
    // restores whisper.cpp's full 30 s window, to compare accuracy.
    bool matchAudioContext = true;
    bool warmUp = true;         // one throw-away transcription after loading
    bool gpu = false;           // CPU only

    // What Sonivane runs with; see bench/README.md for the measurements.
    static WhisperRuntime tuned();
    // whisper.cpp's own defaults, for comparison.
    static WhisperRuntime whisperDefaults();
};

// SpeechEngine on whisper.cpp. One whisper_context per engine; transcribe()
// must not be called concurrently on one engine (the captioner never does),
// while separate engines are independent.
class WhisperEngine final : public SpeechEngine {
public:
    // Loads a ggml model file; null with `error` set on failure.
    static std::shared_ptr<WhisperEngine> load(const std::string &path, const WhisperRuntime &runtime,
                                               EngineError &error);
    ~WhisperEngine() override;

    bool transcribe(const std::vector<float> &samples, const DecodingOptions &options, const std::atomic<bool> &abort,
                    std::vector<TranscriptionResult> &results, EngineError &error) override;

private:
    WhisperEngine(whisper_context *context, WhisperRuntime runtime);
    whisper_context *m_context;
    WhisperRuntime m_runtime;
};

// Creates engines for a model name through the model store (fetching the file
// once), or always from one file when a path is given (tools, tests).
class WhisperEngineFactory final : public SpeechEngineFactory {
public:
    WhisperEngineFactory(ModelStore store, WhisperRuntime runtime = {});
    static WhisperEngineFactory fromFile(std::string modelPath, WhisperRuntime runtime = {});

    std::shared_ptr<SpeechEngine> create(const std::string &modelName, const std::atomic<bool> &cancel,
                                         EngineError &error) override;

private:
    ModelStore m_store;
    std::string m_fixedPath;
    WhisperRuntime m_runtime;
};

// The decoding options mapped by meaning onto whisper.cpp's parameters
// (README.md lists each), with the runtime's thread count. Strings in the
// result point into `options`, which must outlive it.
whisper_full_params toWhisperParams(const DecodingOptions &options, const WhisperRuntime &runtime);

// Routes whisper.cpp's own log lines to the "sonivane.whisper" category (info
// and above), or drops them. Call once, before the first engine.
void routeWhisperLog(bool enabled);

} // namespace sv
