#include "BeepDetector.h"

#include "Cadence.h"
#include "Harmonics.h"
#include "Identifiers.h"
#include "ToneQuality.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace sv {

namespace {

constexpr double minBeep = 0.045, maxBeep = 1.2; // seconds a beep lasts
constexpr double maxInterval = 2.0;             // onset to onset within one run
constexpr double holdSeconds = 3.0;             // a claim lasts this long after the last beep
constexpr double sameLevelDb = 6.0;
constexpr double minSustain = 0.7;
constexpr double doubtful = 0.3;

double variation(const std::vector<double> &values)
{
    if (values.size() < 2)
        return 0;
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    double sq = 0;
    for (double v : values)
        sq += (v - mean) * (v - mean);
    return std::sqrt(sq / double(values.size())) / mean;
}

// The newest run of beeps: consecutive beep-shaped segments about as loud as
// each other, no more than maxInterval apart.
bool isBeep(const ToneSegment &s)
{
    // A beep holds its level; a knock's or a pluck's ring dies at once.
    return hasToneShape(s, minBeep, maxBeep) && s.sustain >= minSustain;
}

std::vector<ToneSegment> newestRun(const SteadyTone &tone)
{
    std::vector<ToneSegment> beeps;
    double loudest = -200;
    for (const ToneSegment &s : tone.segments)
        if (isBeep(s))
            loudest = std::max(loudest, s.peakLevelDb);
    for (const ToneSegment &s : tone.segments)
        if (isBeep(s) && s.peakLevelDb >= loudest - sameLevelDb)
            beeps.push_back(s);
    size_t first = beeps.size();
    while (first > 0 && (first == beeps.size() || beeps[first].start - beeps[first - 1].start <= maxInterval))
        --first;
    return {beeps.begin() + ptrdiff_t(first), beeps.end()};
}

// Whether the run is (or may still become) a smoke or CO alarm's group,
// which that detector judges.
bool leftToAlarmCadence(const std::vector<ToneSegment> &run, double fundamental, double now)
{
    for (const CadencePattern *pattern : {&temporalThree, &temporalFour})
        if (couldBeCadence(run, *pattern)
            && (inSmokeAlarmBand(fundamental) || now < run.back().start + pattern->quietAfter))
            return true;
    return false;
}

// Beeps in equal groups with a longer pause between groups: the number of
// complete groups heard, or 0 when the run is not grouped that way.
int groupsOf(const std::vector<ToneSegment> &run)
{
    std::vector<double> intervals;
    for (size_t i = 1; i < run.size(); ++i)
        intervals.push_back(run[i].start - run[i - 1].start);
    if (intervals.size() < 3)
        return 0;
    std::vector<double> sorted = intervals;
    std::sort(sorted.begin(), sorted.end());
    double split = 0;
    double widest = 1.0;
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i] / sorted[i - 1] > widest) {
            widest = sorted[i] / sorted[i - 1];
            split = std::sqrt(sorted[i] * sorted[i - 1]);
        }
    if (widest < 1.8)
        return 0;
    std::vector<double> within, between;
    std::vector<int> sizes{1};
    for (double d : intervals) {
        if (d < split) {
            within.push_back(d);
            ++sizes.back();
        } else {
            between.push_back(d);
            sizes.push_back(1);
        }
    }
    // The groups come round at least every 2.5 s (slower is a phone's ring
    // or a CO alarm), and hold two to five beeps each.
    double period = 0;
    for (size_t g = 0; g + 1 < sizes.size(); ++g)
        period = std::max(period, between[g] + (sizes[g] - 1) * (within.empty() ? 0.0 : within.front()));
    if (variation(within) > 0.3 || variation(between) > 0.3 || period > 2.5)
        return 0;
    const int size = sizes.front();
    if (size < 2 || size > 5)
        return 0;
    int complete = 0;
    for (size_t g = 0; g < sizes.size(); ++g) {
        if (sizes[g] == size)
            ++complete;
        else if (g + 1 < sizes.size() || sizes[g] > size)
            return 0; // only the group still sounding may be short
    }
    return complete;
}

} // namespace

void BeepDetector::detect(const DetectionContext &context, std::vector<SoundClassification> &claims)
{
    double beep = 0;
    double clock = 0;
    for (const SteadyTone &tone : context.tones) {
        if (isOvertone(tone, context.tones))
            continue;
        const std::vector<ToneSegment> run = newestRun(tone);
        if (run.size() < 3 || run.back().start < context.now - holdSeconds)
            continue;
        if (leftToAlarmCadence(run, tone.frequency, context.now) || !samePitch(run))
            continue;
        std::vector<double> durations;
        for (const ToneSegment &s : run)
            durations.push_back(s.duration());
        if (variation(durations) > 0.3)
            continue;
        const double likeness = beepLikeness(context.history, run, tone, tone.frequency);
        auto weigh = [&](double claim) { return likeness * claim + (1.0 - likeness) * std::min(claim, doubtful); };

        if (const int groups = groupsOf(run); groups >= 2) {
            clock = std::max(clock, weigh(groups >= 3 ? 0.72 : 0.62));
            continue;
        }
        std::vector<double> intervals;
        for (size_t i = 1; i < run.size(); ++i)
            intervals.push_back(run[i].start - run[i - 1].start);
        // A short burst of fast beeps may be the first group of an alarm
        // clock's pattern: it counts once it has gone on, or has ended.
        const bool settled = run.back().start - run.front().start >= 1.2 || context.now - run.back().end >= 1.0;
        if (settled && variation(intervals) <= 0.2) {
            const double claim = run.size() >= 5 ? 0.68 : run.size() == 4 ? 0.62 : 0.55;
            beep = std::max(beep, weigh(claim));
        }
    }
    if (clock > 0)
        addClaim(claims, sound_label::alarmClock, clock);
    if (beep > 0)
        addClaim(claims, sound_label::beep, beep);
}

} // namespace sv
