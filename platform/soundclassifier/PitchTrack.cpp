#include "PitchTrack.h"

#include <algorithm>
#include <cmath>

namespace sv {

namespace {

constexpr float minSalienceDb = 10.0f;
constexpr float withinLoudestDb = 10.0f;
constexpr double followRatio = 0.15; // ln: the nearest peak within 16 % continues the tone (a yelp moves that fast)
constexpr float continueWithinDb = 6.0f;
constexpr size_t maxGapFrames = 3;

} // namespace

PitchTrack newestPitchTrack(const FrameHistory &history, double fromTime, double maxAge, double lowHz, double highHz)
{
    PitchTrack track;
    if (history.empty())
        return track;
    const size_t first = history.indexAt(fromTime);
    const double now = history.now();

    // Walk forward, keeping the current run; a longer gap starts a new one.
    std::vector<double> logHz, share;
    double runStart = 0;
    size_t gap = 0;
    double previous = 0;
    for (size_t i = first; i < history.size(); ++i) {
        const SpectralFrame &f = history[i];
        float loudest = -200;
        for (size_t p = 0; p < f.peakCount; ++p)
            if (f.peaks[p].salienceDb >= minSalienceDb && f.peaks[p].frequency >= lowHz && f.peaks[p].frequency <= highHz)
                loudest = std::max(loudest, f.peaks[p].levelDb);
        // The nearest peak that continues the previous pitch, else the loudest.
        const TonalPeak *chosen = nullptr;
        const TonalPeak *loudestPeak = nullptr;
        double nearest = followRatio;
        for (size_t p = 0; p < f.peakCount; ++p) {
            const TonalPeak &peak = f.peaks[p];
            if (peak.salienceDb < minSalienceDb || peak.frequency < lowHz || peak.frequency > highHz
                || peak.levelDb < loudest - withinLoudestDb)
                continue;
            if (!loudestPeak || peak.levelDb > loudestPeak->levelDb)
                loudestPeak = &peak;
            const double distance = std::abs(std::log(peak.frequency) - previous);
            // An echo of the previous pitch, much quieter than the new one,
            // does not hold the track.
            if (previous > 0 && distance <= nearest && peak.levelDb >= loudest - continueWithinDb) {
                nearest = distance;
                chosen = &peak;
            }
        }
        if (!chosen)
            chosen = loudestPeak;
        if (!chosen) {
            if (!logHz.empty() && ++gap <= maxGapFrames) {
                logHz.push_back(logHz.back());
                share.push_back(0.0);
                continue;
            }
            if (!logHz.empty()) {
                // The run ended; drop the bridged frames at its end.
                logHz.resize(logHz.size() - std::min(gap - 1, logHz.size()));
                share.resize(logHz.size());
                track = {runStart, logHz, share};
            }
            logHz.clear();
            share.clear();
            previous = 0;
            gap = 0;
            continue;
        }
        if (logHz.empty())
            runStart = f.time;
        gap = 0;
        previous = std::log(chosen->frequency);
        logHz.push_back(previous);
        const double tolerance = std::max(40.0, 0.04 * chosen->frequency);
        share.push_back(std::min(1.0, std::pow(10.0, (f.bandLevelDb(chosen->frequency - tolerance, chosen->frequency + tolerance)
                                                      - f.levelDb) / 10.0)));
    }
    if (!logHz.empty()) {
        logHz.resize(logHz.size() - std::min(gap, logHz.size()));
        share.resize(logHz.size());
        track = {runStart, logHz, share};
    }
    if (track.logHz.empty() || now - track.end() > maxAge)
        return {};
    return track;
}

} // namespace sv
