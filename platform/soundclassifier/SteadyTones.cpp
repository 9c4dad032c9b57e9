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
        for (int d = -6; d <= 6; ++d) {
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
        if (const TonalPeak *p = f.peakNear(frequency, tolerance, presentSalienceDb))
            peakHz[i] = p->frequency;
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
            size_t held = 0;
            for (size_t k = i; k < j; ++k)
                held += level[k] >= s.peakLevelDb - 4.0;
            s.sustain = double(held) / double(j - i);
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

std::vector<SteadyTone> findSteadyTones(const FrameHistory &history, double fromTime, size_t maxTones)
{
    std::vector<SteadyTone> tones;
    if (history.empty())
        return tones;
    const size_t first = history.indexAt(fromTime);
    if (first >= history.size())
        return tones;
    std::vector<double> accepted;
    for (double guess : candidateFrequencies(history, first, maxTones)) {
        const double frequency = refine(history, first, guess);
        // One tone seen through a room's echo can look like two close ones.
        bool duplicate = false;
        for (double a : accepted)
            duplicate = duplicate || std::abs(frequency - a) <= std::max(2.0 * toneTolerance(a), 0.05 * a);
        if (duplicate)
            continue;
        accepted.push_back(frequency);
        tones.push_back(segmentsOf(history, first, frequency));
    }
    return tones;
}

} // namespace sv
