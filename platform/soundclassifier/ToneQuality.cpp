#include "ToneQuality.h"

#include "Harmonics.h"

#include <algorithm>
#include <cmath>

namespace sv {

double pauseContrastDb(const FrameHistory &history, const std::vector<ToneSegment> &tones)
{
    if (tones.empty())
        return 0;
    double tonePower = 0, pausePower = 0;
    size_t toneFrames = 0, pauseFrames = 0;
    for (size_t i = history.indexAt(tones.front().start); i < history.size() && history[i].time <= tones.back().end; ++i) {
        const double t = history[i].time;
        const double power = std::pow(10.0, history[i].levelDb / 10.0);
        for (size_t k = 0; k < tones.size(); ++k) {
            if (t >= tones[k].start && t <= tones[k].end) {
                tonePower += power;
                ++toneFrames;
                break;
            }
            // The middle of the pause after tone k: its edges hold part of
            // the tone, or its echo.
            if (k + 1 < tones.size() && t > tones[k].end && t < tones[k + 1].start) {
                const double margin = std::min(0.04, (tones[k + 1].start - tones[k].end) / 4.0);
                if (t >= tones[k].end + margin && t <= tones[k + 1].start - margin) {
                    pausePower += power;
                    ++pauseFrames;
                }
                break;
            }
        }
    }
    if (!toneFrames || !pauseFrames)
        return 99.0;
    return 10.0 * std::log10((tonePower / double(toneFrames)) / (pausePower / double(pauseFrames) + 1e-15));
}

namespace {

// The share of the pauses between `tones` in which another tone, nearly as
// loud, sounds instead: a melody or a two-tone siren, not beeping.
double pauseFilledShare(const FrameHistory &history, const std::vector<ToneSegment> &tones, double fundamental)
{
    // The sound's own harmonics (and their echo) do not fill its pauses.
    const auto ownHarmonic = [fundamental](double f) {
        const double k = std::max(1.0, std::round(f / fundamental));
        return std::abs(f - k * fundamental) <= toneTolerance(k * fundamental);
    };
    size_t pauseFrames = 0, filled = 0;
    for (size_t k = 0; k + 1 < tones.size(); ++k) {
        const double level = std::min(tones[k].peakLevelDb, tones[k + 1].peakLevelDb);
        const double frequency = tones[k].frequency;
        const double margin = std::min(0.04, (tones[k + 1].start - tones[k].end) / 4.0);
        for (size_t i = history.indexAt(tones[k].end + margin); i < history.size() && history[i].time <= tones[k + 1].start - margin; ++i) {
            const SpectralFrame &f = history[i];
            ++pauseFrames;
            for (size_t p = 0; p < f.peakCount; ++p)
                if (f.peaks[p].salienceDb >= 10.0f && f.peaks[p].levelDb >= level - 6.0
                    && std::abs(f.peaks[p].frequency - frequency) > toneTolerance(frequency)
                    && !ownHarmonic(f.peaks[p].frequency)) {
                    ++filled;
                    break;
                }
        }
    }
    return pauseFrames ? double(filled) / double(pauseFrames) : 0.0;
}

} // namespace

double beepLikeness(const FrameHistory &history, const std::vector<ToneSegment> &segments, const SteadyTone &tone,
                    double fundamental)
{
    if (segments.empty())
        return 0;
    double purity = 0;
    double overtone = 0;
    for (const ToneSegment &s : segments) {
        purity += harmonicShare(history, s, fundamental);
        overtone += overtoneShare(history, s);
    }
    purity /= double(segments.size());
    overtone /= double(segments.size());
    // An overtone of a tone we track is accounted for by its fundamental.
    if (fundamental < tone.frequency)
        overtone = 0;
    const double pure = std::clamp((purity - 0.25) / 0.25, 0.0, 1.0);
    const double contrast = std::clamp((pauseContrastDb(history, segments) - 2.0) / 3.0, 0.0, 1.0);
    const double own = std::clamp(1.0 - 2.0 * overtone, 0.0, 1.0);
    const double alone = std::clamp(1.0 - 2.0 * pauseFilledShare(history, segments, fundamental), 0.0, 1.0);
    return std::min({pure, contrast, own, alone});
}

} // namespace sv
