#include "DoorbellDetector.h"

#include "Harmonics.h"
#include "Identifiers.h"

#include <algorithm>
#include <cmath>

namespace sv {

namespace {

constexpr double minRatio = 1.15, maxRatio = 1.42; // a minor third to a fourth
constexpr double minSpacing = 0.2, maxSpacing = 1.5;
constexpr double quietBefore = 1.0, quietAfter = 1.0;
constexpr double holdSeconds = 4.0;
constexpr double doubtful = 0.3;

double levelAt(const FrameHistory &history, double time, double frequency)
{
    const size_t i = history.indexAt(time);
    if (i >= history.size())
        return -120;
    const double tolerance = toneTolerance(frequency);
    return history[i].bandLevelDb(frequency - tolerance, frequency + tolerance);
}

// Struck: the tone rises from well below its peak within a frame or two, and
// then decays gradually (a beep stops at once, an organ holds).
bool struck(const FrameHistory &history, const ToneSegment &s)
{
    const double before = levelAt(history, s.start - 0.05, s.frequency);
    const double early = levelAt(history, s.start + 0.05, s.frequency);
    const double later = levelAt(history, s.start + 0.35, s.frequency);
    const double drop = early - later;
    return early - before >= 12.0 && drop >= 2.0 && drop <= 20.0;
}

bool partOf(const ToneSegment &s, double onset)
{
    return std::abs(s.start - onset) <= 0.06;
}

} // namespace

void DoorbellDetector::detect(const DetectionContext &context, std::vector<SoundClassification> &claims)
{
    const std::vector<SteadyTone> &tones = context.tones;
    double best = 0;
    for (const SteadyTone &high : tones) {
        for (const SteadyTone &low : tones) {
            const double ratio = high.frequency / low.frequency;
            if (ratio < minRatio || ratio > maxRatio || isOvertone(high, tones) || isOvertone(low, tones))
                continue;
            for (const ToneSegment &ding : high.segments) {
                for (const ToneSegment &dong : low.segments) {
                    const double spacing = dong.start - ding.start;
                    if (spacing < minSpacing || spacing > maxSpacing || dong.start < context.now - holdSeconds
                        || context.now < dong.start + quietAfter || ding.duration() < 0.15 || dong.duration() < 0.15)
                        continue;
                    if (!struck(context.history, ding) || !struck(context.history, dong))
                        continue;
                    // Nothing else starts around the two strikes but their
                    // own partials.
                    const double loudest = std::max(ding.peakLevelDb, dong.peakLevelDb);
                    bool alone = true;
                    for (const SteadyTone &other : tones)
                        for (const ToneSegment &s : other.segments)
                            if (s.start > ding.start - quietBefore && s.start < dong.start + quietAfter
                                && !partOf(s, ding.start) && !partOf(s, dong.start) && s.peakLevelDb >= loudest - 15.0)
                                alone = false;
                    if (!alone)
                        continue;
                    const double purity = std::min(ding.purity, dong.purity);
                    const double gate = std::clamp((purity - 0.2) / 0.25, 0.0, 1.0);
                    const double claim = 0.65;
                    best = std::max(best, gate * claim + (1.0 - gate) * doubtful);
                }
            }
        }
    }
    if (best > 0)
        addClaim(claims, sound_label::doorbell, best);
}

} // namespace sv
