#pragma once

#include "AudioBuffer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sv {

// One label of an analysis window: an English identifier whose words are
// joined by underscores ("smoke_detector", "doorbell", "speech") and how sure
// the classifier is, from 0 to 1.
struct SoundClassification {
    std::string identifier;
    double confidence = 0.0;
};

struct SoundAnalysisResult {
    int64_t framePosition = 0; // input frame at which the window starts
    double durationSeconds = 0.0;
    std::vector<SoundClassification> classifications; // falling confidence
};

// The environmental sound classifier: fed buffers in the microphone's own
// format with their frame position, it analyses 16 kHz mono internally and
// reports one result per analysis window. Not thread-safe: one thread feeds
// it, and the handlers run on that thread, inside analyze().
class SoundAnalyzer {
public:
    using ResultHandler = std::function<void(const SoundAnalysisResult &)>;
    using ErrorHandler = std::function<void(const std::string &message)>;

    virtual ~SoundAnalyzer() = default;
    virtual void analyze(const AudioBuffer &buffer, int64_t framePosition) = 0;
};

// Null, with `error` saying why, when buffers of `format` cannot be analysed.
std::unique_ptr<SoundAnalyzer> makeSoundAnalyzer(const AudioFormat &format, SoundAnalyzer::ResultHandler onResult,
                                                 SoundAnalyzer::ErrorHandler onError, std::string &error);

} // namespace sv
