#pragma once

#include "WhisperTimings.h"
#include "platform/WhisperEngine.h"

#include <memory>
#include <string>
#include <vector>

struct whisper_context;

namespace sv::bench {

// A whisper.cpp context driven directly with the parameters WhisperEngine
// passes for the captioner's steps (DecodingOptions{}), so that whisper.cpp's
// own per-step timings can be read, and so that settings WhisperEngine does
// not expose (the audio-context margin) can be tried. The engine bench runs
// both paths side by side, which shows whether the two stay in step.
class DirectStep {
public:
    // Null when the model does not load.
    static std::unique_ptr<DirectStep> load(const std::string &path, const WhisperRuntime &runtime);
    ~DirectStep();
    DirectStep(const DirectStep &) = delete;
    DirectStep &operator=(const DirectStep &) = delete;

    struct Result {
        bool ok = false;
        double ms = 0; // wall time of whisper_full
        std::string text;
        StepTimings timings;
    };
    // One step over `audio`. `margin` is the audio-context margin in encoder
    // frames, used when the runtime matches the context to the audio;
    // `threads` 0 keeps the runtime's; a non-empty `language` imposes one,
    // which skips whisper.cpp's language detection.
    Result run(const std::vector<float> &audio, int margin, int threads, const std::string &language = {}) const;

    // The encoder frames a step passes as audio_ctx (0: the full window).
    int audioContext(size_t samples, int margin) const;
    // The threads a step uses when `threads` is 0 (the runtime's own).
    int threadsFor(int threads) const;

private:
    DirectStep(whisper_context *context, WhisperRuntime runtime);
    whisper_context *m_context;
    WhisperRuntime m_runtime;
};

} // namespace sv::bench
