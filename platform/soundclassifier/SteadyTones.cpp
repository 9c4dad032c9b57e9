#include "SteadyTones.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sv {

namespace {

constexpr double lowestHz = 150.0;
constexpr double bucketRatio = 1.01; // 1 % steps, a sixth of a semitone
constexpr size_t bucketCount = 400;  // up to 8 kHz
constexpr float peakSalienceDb = 12.0f;
constexpr float presentSalienceDb = 10.0f;
constexpr double offBelowDb = 10.0;    // below the local maximum: off
constexpr double referenceSeconds = 0.75; // either side, for the local maximum
constexpr size_t minCandidateFrames = 5;

int bucketOf(double frequency)
{
    if (frequency < lowestHz)
        return -1;
    const int b = int(std::log(frequency / lowestHz) / std::log(bucketRatio));
    return b < int(bucketCount) ? b : -1;
}

std::vector<double> candidateFrequencies(const FrameHistory &history, size_t first, size_t maxTones)
{
    std::array<int, bucketCount> counts{};
    std::array<size_t, bucketCount> lastFrame{};
    lastFrame.fill(size_t(-1));
    for (size_t i = first; i < history.size(); ++i) {
        const SpectralFrame &f = history[i];
        for (size_t p = 0; p < f.peakCount; ++p) {
            if (f.peaks[p].salienceDb < peakSalienceDb)
                continue;
            const int b = bucketOf(f.peaks[p].frequency);
            if (b >= 0 && lastFrame[size_t(b)] != i) {
                lastFrame[size_t(b)] = i;
                ++counts[size_t(b)];
            }
        }
    }
    std::array<int, bucketCount> smoothed{};
    for (size_t b = 0; b < bucketCount; ++b)
        for (int d = -2; d <= 2; ++d) {
            const int j = int(b) + d;
            if (j >= 0 && j < int(bucketCount))
                smoothed[b] += counts[size_t(j)];
        }

    std::vector<double> result;
    std::array<bool, bucketCount> taken{};
    while (result.size() < maxTones) {
        size_t best = bucketCount;
        for (size_t b = 0; b < bucketCount; ++b)
            if (!taken[b] && smoothed[b] >= int(minCandidateFrames) && (best == bucketCount || smoothed[b] > smoothed[best]))
                best = b;
        if (best == bucketCount)
            break;
        for (int d = -4; d <= 4; ++d) {
            const int j = int(best) + d;
            if (j >= 0 && j < int(bucketCount))
                taken[size_t(j)] = true;
        }
        result.push_back(lowestHz * std::pow(bucketRatio, double(best) + 0.5));
    }
    return result;
}

// The mean frequency of the peaks near `guess`, which centres the tone's band
// on the tone rather than on the bucket.
double refine(const FrameHistory &history, size_t first, double guess)
{
    double sum = 0;
    size_t n = 0;
    const double tolerance = toneTolerance(guess);
    for (size_t i = first; i < history.size(); ++i)
        if (const TonalPeak *p = history[i].peakNear(guess, tolerance, peakSalienceDb)) {
            sum += p->frequency;
            ++n;
        }
    return n ? sum / double(n) : guess;
}

SteadyTone segmentsOf(const FrameHistory &history, size_t first, double frequency)
{
    const size_t n = history.size() - first;
    const double tolerance = toneTolerance(frequency);
    std::vector<double> level(n);
    std::vector<double> peakHz(n, 0.0);
    std::vector<double> share(n, 0.0);
    SteadyTone tone;
    tone.frequency = frequency;
    for (size_t i = 0; i < n; ++i) {
        const SpectralFrame &f = history[first + i];
        level[i] = f.bandLevelDb(frequency - 1.5 * tolerance, frequency + 1.5 * tolerance);
        share[i] = std::pow(10.0, (level[i] - f.levelDb) / 10.0);
        if (const TonalPeak *p = f.peakNear(frequency, tolerance, presentSalienceDb)) {
            peakHz[i] = p->frequency;
            ++tone.frameCount;
        }
    }

    const auto reach = size_t(std::lround(referenceSeconds / analysis::hopSeconds));
    std::vector<char> on(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (peakHz[i] <= 0)
            continue;
        double reference = level[i];
        const size_t from = i > reach ? i - reach : 0;
        const size_t to = std::min(n - 1, i + reach);
        for (size_t j = from; j <= to; ++j)
            if (peakHz[j] > 0)
                reference = std::max(reference, level[j]);
        on[i] = level[i] >= reference - offBelowDb;
    }
    // A frame lost to a click or a noise burst does not split a tone, and a
    // lone frame is not a tone.
    for (size_t i = 1; i + 1 < n; ++i)
        if (!on[i] && on[i - 1] && on[i + 1])
            on[i] = 2;
    for (size_t i = 0; i < n;) {
        if (!on[i]) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && on[j])
            ++j;
        if (j - i >= 2) {
            ToneSegment s;
            s.start = history[first + i].time;
            s.end = history[first + j - 1].time;
            double low = 1e9, high = 0, sum = 0, shareSum = 0;
            size_t matched = 0;
            for (size_t k = i; k < j; ++k) {
                s.peakLevelDb = std::max(s.peakLevelDb, level[k]);
                shareSum += share[k];
                if (peakHz[k] > 0) {
                    low = std::min(low, peakHz[k]);
                    high = std::max(high, peakHz[k]);
                    sum += peakHz[k];
                    ++matched;
                }
            }
            s.frequency = sum / double(matched);
            s.spread = (high - low) / s.frequency;
            s.purity = shareSum / double(j - i);
            tone.segments.push_back(s);
        }
        i = j;
    }
    return tone;
}

} // namespace

double toneTolerance(double frequency)
{
    return std::max(25.0, 0.025 * frequency);
}

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
    for (size_t i = history.indexAt(segment.start); i < history.size() && history[i].time <= segment.end; ++i) {
        const SpectralFrame &f = history[i];
        const TonalPeak *own = f.peakNear(segment.frequency, tolerance, presentSalienceDb);
        if (!own)
            continue;
        ++frames;
        if (f.pitchHz > 0) {
            const double ratio = segment.frequency / f.pitchHz;
            const double k = std::round(ratio);
            if (k >= 2 && std::abs(ratio - k) <= 0.04 * k) {
                ++overtone;
                continue;
            }
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

std::vector<SteadyTone> findSteadyTones(const FrameHistory &history, double fromTime, size_t maxTones)
{
    std::vector<SteadyTone> tones;
    if (history.empty())
        return tones;
    const size_t first = history.indexAt(fromTime);
    if (first >= history.size())
        return tones;
    for (double guess : candidateFrequencies(history, first, maxTones))
        tones.push_back(segmentsOf(history, first, refine(history, first, guess)));
    return tones;
}

} // namespace sv
