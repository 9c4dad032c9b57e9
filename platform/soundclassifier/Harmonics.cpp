#include "Harmonics.h"

#include <algorithm>
#include <cmath>

namespace sv {

namespace {

constexpr float presentSalienceDb = 10.0f;

// Whether `tone` lies between two other peaks of the frame, nearly as loud,
// at equal distances that a voice's or an instrument's pitch would give: one
// harmonic among its neighbours.
bool insideHarmonicComb(const SpectralFrame &frame, const TonalPeak &tone)
{
    for (size_t a = 0; a < frame.peakCount; ++a) {
        const TonalPeak &below = frame.peaks[a];
        const double down = tone.frequency - below.frequency;
        if (down < 70.0 || down > 450.0 || below.salienceDb < presentSalienceDb || below.levelDb < tone.levelDb - 12.0)
            continue;
        for (size_t b = 0; b < frame.peakCount; ++b) {
            const TonalPeak &above = frame.peaks[b];
            const double up = above.frequency - tone.frequency;
            if (above.salienceDb >= presentSalienceDb && above.levelDb >= tone.levelDb - 12.0
                && std::abs(up - down) <= std::max(0.1 * down, analysis::binHz / 2))
                return true;
        }
    }
    return false;
}

} // namespace

bool isOvertoneOf(const SteadyTone &upper, const SteadyTone &lower)
{
    if (upper.segments.empty() || lower.segments.empty() || lower.frequency >= upper.frequency)
        return false;
    const double ratio = upper.frequency / lower.frequency;
    const double harmonic = std::round(ratio);
    if (harmonic < 2 || harmonic > 5 || std::abs(ratio - harmonic) > 0.02 * harmonic)
        return false;
    // Most of the upper tone's segments start with one of the lower tone's,
    // which is at least as loud.
    size_t shared = 0;
    for (const ToneSegment &u : upper.segments)
        for (const ToneSegment &l : lower.segments)
            if (std::abs(u.start - l.start) <= 0.05 && l.peakLevelDb >= u.peakLevelDb - 3.0) {
                ++shared;
                break;
            }
    return 2 * shared > upper.segments.size();
}

bool isOvertone(const SteadyTone &tone, const std::vector<SteadyTone> &tones)
{
    for (const SteadyTone &other : tones)
        if (&other != &tone && isOvertoneOf(tone, other))
            return true;
    return false;
}

double overtoneShare(const FrameHistory &history, const ToneSegment &segment)
{
    size_t frames = 0;
    size_t overtone = 0;
    const double tolerance = toneTolerance(segment.frequency);
    // The frames at a tone's start and end hold its switching transient,
    // whose spectrum is no guide to what the tone is.
    const bool interiorOnly = segment.duration() >= 4 * analysis::hopSeconds;
    const double from = segment.start + (interiorOnly ? analysis::hopSeconds / 2 : 0.0);
    const double to = segment.end - (interiorOnly ? analysis::hopSeconds / 2 : 0.0);
    for (size_t i = history.indexAt(from); i < history.size() && history[i].time <= to; ++i) {
        const SpectralFrame &f = history[i];
        const TonalPeak *own = f.peakNear(segment.frequency, tolerance, presentSalienceDb);
        if (!own)
            continue;
        ++frames;
        if (f.pitchHz > 0) {
            const double ratio = segment.frequency / f.pitchHz;
            const double k = std::round(ratio);
            // Only low harmonics: every tone is near some high multiple.
            if (k >= 2 && k <= 4 && std::abs(ratio - k) <= 0.03 * k) {
                ++overtone;
                continue;
            }
        }
        if (insideHarmonicComb(f, *own)) {
            ++overtone;
            continue;
        }
        for (int k = 2; k <= 4; ++k) {
            const double below = segment.frequency / k;
            const TonalPeak *p = f.peakNear(below, std::max(toneTolerance(below), tolerance / k), presentSalienceDb);
            if (p && p->levelDb >= own->levelDb - 12.0) {
                ++overtone;
                break;
            }
        }
    }
    return frames ? double(overtone) / double(frames) : 0.0;
}

double harmonicShare(const FrameHistory &history, const ToneSegment &segment, double fundamental)
{
    double sum = 0;
    size_t frames = 0;
    const double tolerance = 1.5 * toneTolerance(fundamental);
    for (size_t i = history.indexAt(segment.start); i < history.size() && history[i].time <= segment.end; ++i) {
        const SpectralFrame &f = history[i];
        double power = 0;
        for (int k = 1; k <= 8 && k * fundamental + tolerance < analysis::sampleRate / 2; ++k)
            power += std::pow(10.0, f.bandLevelDb(k * fundamental - tolerance, k * fundamental + tolerance) / 10.0);
        sum += std::min(1.0, power / std::pow(10.0, f.levelDb / 10.0));
        ++frames;
    }
    return frames ? sum / double(frames) : 0.0;
}

const SteadyTone &fundamentalOf(const SteadyTone &tone, const std::vector<SteadyTone> &tones)
{
    const SteadyTone *lowest = &tone;
    for (const SteadyTone &other : tones)
        if (other.frequency < lowest->frequency && isOvertoneOf(tone, other))
            lowest = &other;
    return *lowest;
}

} // namespace sv
