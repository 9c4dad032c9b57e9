#include "ClassificationEngine.h"

#include "AlarmCadenceDetector.h"
#include "BackgroundClassifier.h"
#include "BeepDetector.h"
#include "DoorbellDetector.h"
#include "KnockDetector.h"
#include "SirenDetector.h"
#include "SteadyTones.h"
#include "TelephoneDetector.h"

#include <algorithm>
#include <cmath>

namespace sv {

namespace {

const auto windowSamples = int64_t(ClassificationEngine::windowSeconds * analysis::sampleRate);
const auto stepSamples = int64_t(ClassificationEngine::windowStep * analysis::sampleRate);

// Cadences are judged over the last ten seconds: two cycles of the slowest
// alarm pattern.
constexpr double toneSeconds = 10.0;
constexpr size_t maxTones = 6;
// Claims this unsure are noise in the list; they are not reported.
constexpr double reportFloor = 0.05;

} // namespace

ClassificationEngine::ClassificationEngine(WindowHandler onWindow)
    : m_onWindow(std::move(onWindow))
    , m_nextReport(windowSamples)
{
    m_detectors.push_back(std::make_unique<AlarmCadenceDetector>());
    m_detectors.push_back(std::make_unique<SirenDetector>());
    m_detectors.push_back(std::make_unique<BeepDetector>());
    m_detectors.push_back(std::make_unique<TelephoneDetector>());
    m_detectors.push_back(std::make_unique<DoorbellDetector>());
    m_detectors.push_back(std::make_unique<KnockDetector>());
    m_detectors.push_back(std::make_unique<BackgroundClassifier>());
}

ClassificationEngine::~ClassificationEngine() = default;

void ClassificationEngine::feed(const float *samples, size_t count)
{
    m_pending.insert(m_pending.end(), samples, samples + count);
    analyzeFrames();
}

void ClassificationEngine::analyzeFrames()
{
    const auto frameLength = int64_t(analysis::frameSize);
    while (m_nextFrame + frameLength <= m_pendingStart + int64_t(m_pending.size())) {
        const float *start = m_pending.data() + (m_nextFrame - m_pendingStart);
        const double centre = (double(m_nextFrame) + double(frameLength) / 2.0) / analysis::sampleRate;
        m_analyzer.analyze(start, centre, m_frame);
        m_history.push(m_frame);
        m_nextFrame += int64_t(analysis::hopSize);
        if (m_nextFrame + frameLength / 2 >= m_nextReport) {
            reportWindow(m_nextReport);
            m_nextReport += stepSamples;
        }
    }
    // Drop what no later frame needs.
    const int64_t keepFrom = m_nextFrame;
    const auto drop = size_t(std::clamp<int64_t>(keepFrom - m_pendingStart, 0, int64_t(m_pending.size())));
    m_pending.erase(m_pending.begin(), m_pending.begin() + ptrdiff_t(drop));
    m_pendingStart += int64_t(drop);
}

void ClassificationEngine::reportWindow(int64_t endSample)
{
    const double now = m_history.now();
    const std::vector<SteadyTone> tones = findSteadyTones(m_history, now - toneSeconds, maxTones);
    const DetectionContext context{m_history, tones, now};
    Window window;
    window.startSample = endSample - windowSamples;
    std::vector<SoundClassification> claims;
    for (auto &detector : m_detectors)
        detector->detect(context, claims);
    for (const SoundClassification &c : claims)
        if (c.confidence >= reportFloor)
            window.classifications.push_back(c);
    std::stable_sort(window.classifications.begin(), window.classifications.end(),
                     [](const SoundClassification &a, const SoundClassification &b) { return a.confidence > b.confidence; });
    m_onWindow(window);
}

} // namespace sv
