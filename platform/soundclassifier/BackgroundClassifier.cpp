#include "BackgroundClassifier.h"

#include "Identifiers.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sv {

namespace {

constexpr double windowSeconds = 1.5;
constexpr double silenceDb = -55.0;
constexpr double floorConfidence = 0.05;
// Only speech stands above the weaker detectors' claims. Music, noise and
// silence name the background and never outrank an event heard in it (a
// beep over music, a knock in a quiet room, an alarm confirmed in the pause
// after it).
constexpr double speechCeiling = 0.75;
constexpr double backgroundCeiling = 0.5;

double ramp(double x, double low, double high)
{
    return std::clamp((x - low) / (high - low), 0.0, 1.0);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    const auto k = size_t(std::clamp(p, 0.0, 1.0) * double(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + ptrdiff_t(k), values.end());
    return values[k];
}

// Whether the frame sounds like a voice: periodic at a voice's pitch, with
// at least two of the frame's peaks on that pitch's harmonics (a lone tone or
// a thud is periodic too, but has no harmonic series).
bool voicedFrame(const SpectralFrame &f)
{
    if (f.periodicity < 0.6f || f.pitchHz < 70.0f || f.pitchHz > 400.0f)
        return false;
    int harmonics = 0;
    for (size_t p = 0; p < f.peakCount; ++p) {
        const double k = std::round(f.peaks[p].frequency / f.pitchHz);
        if (k >= 1 && k <= 20 && std::abs(f.peaks[p].frequency - k * f.pitchHz) <= 0.03 * k * f.pitchHz)
            ++harmonics;
    }
    return harmonics >= 2;
}

// Whether the frame's loudest peak continues one of the previous frame's
// peaks: held notes and steady tones do, syllables glide and stop.
bool continues(const SpectralFrame &previous, const SpectralFrame &frame)
{
    if (frame.peakCount == 0 || frame.peaks[0].salienceDb < 10.0f)
        return false;
    const double f = frame.peaks[0].frequency;
    return previous.peakNear(f, std::max(0.012 * f, 8.0), 10.0) != nullptr;
}

} // namespace

void BackgroundClassifier::detect(const DetectionContext &context, std::vector<SoundClassification> &claims)
{
    const FrameHistory &history = context.history;
    const size_t first = history.indexAt(context.now - windowSeconds);
    if (first >= history.size())
        return;
    std::vector<double> levels;
    for (size_t i = first; i < history.size(); ++i)
        levels.push_back(history[i].levelDb);
    const double loud = percentile(levels, 0.9);
    if (loud < silenceDb) {
        addClaim(claims, sound_label::silence, backgroundCeiling);
        return;
    }

    // Frames that carry the sound, not the pauses between words or notes.
    size_t frames = 0, voiced = 0, steady = 0;
    std::vector<double> flatness, heard;
    for (size_t i = std::max<size_t>(first, 1); i < history.size(); ++i) {
        const SpectralFrame &f = history[i];
        heard.push_back(std::max(double(f.levelDb), loud - 40.0));
        if (f.levelDb < loud - 30.0)
            continue;
        ++frames;
        voiced += voicedFrame(f);
        steady += continues(history[i - 1], f);
        flatness.push_back(f.flatness);
    }
    if (frames == 0)
        return;
    const double voicedShare = double(voiced) / double(frames);
    const double steadyShare = double(steady) / double(frames);
    const double flat = percentile(flatness, 0.5);
    double mean = 0, spread = 0;
    for (double l : heard)
        mean += l;
    mean /= double(heard.size());
    for (double l : heard)
        spread += (l - mean) * (l - mean);
    const double levelSpread = std::sqrt(spread / double(heard.size()));

    // Each score is 0 to 1; the confidences keep them apart from the
    // detectors' scale.
    const double speech = ramp(voicedShare, 0.15, 0.4) * ramp(levelSpread, 3.0, 7.0) * (1.0 - ramp(steadyShare, 0.7, 0.9));
    const double music = ramp(steadyShare, 0.35, 0.65) * (1.0 - ramp(flat, 0.2, 0.4));
    const double noise = ramp(flat, 0.1, 0.3) * (1.0 - ramp(voicedShare, 0.2, 0.5)) * (1.0 - ramp(steadyShare, 0.3, 0.6));
    const double quiet = ramp(-loud, 45.0, 55.0);

    addClaim(claims, sound_label::speech, std::max(floorConfidence, speechCeiling * speech));
    addClaim(claims, sound_label::music, std::max(floorConfidence, backgroundCeiling * music));
    addClaim(claims, sound_label::noise, std::max(floorConfidence, backgroundCeiling * noise));
    if (quiet > 0)
        addClaim(claims, sound_label::silence, backgroundCeiling * quiet);
}

} // namespace sv
