#pragma once

#include "Detector.h"
#include "FrameAnalyzer.h"
#include "FrameHistory.h"
#include "platform/SoundClassifier.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace sv {

// The classifier proper, on 16 kHz mono samples: frames them, keeps the
// recent frames, and every windowStep seconds asks each detector about the
// window of windowSeconds that has just ended. Emits one result per window
// through the handler, its classifications by falling confidence; window
// positions count samples at 16 kHz from the first one fed. Single-threaded:
// the handler runs inside feed().
class ClassificationEngine {
public:
    static constexpr double windowSeconds = 1.0;
    static constexpr double windowStep = 0.5;

    struct Window {
        int64_t startSample = 0; // at 16 kHz
        std::vector<SoundClassification> classifications;
    };
    using WindowHandler = std::function<void(const Window &)>;

    explicit ClassificationEngine(WindowHandler onWindow);
    ~ClassificationEngine();

    void feed(const float *samples, size_t count);

private:
    void analyzeFrames();
    void reportWindow(int64_t endSample);

    WindowHandler m_onWindow;
    FrameAnalyzer m_analyzer;
    FrameHistory m_history;
    SpectralFrame m_frame;
    std::vector<std::unique_ptr<Detector>> m_detectors;
    std::vector<float> m_pending; // samples from m_pendingStart on, not yet framed
    int64_t m_pendingStart = 0;
    int64_t m_nextFrame = 0;  // first sample of the next frame
    int64_t m_nextReport = 0; // window end of the next report
};

} // namespace sv
