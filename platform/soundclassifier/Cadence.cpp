#include "Cadence.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sv {

namespace {

constexpr double maxSpread = 0.03;     // a beep holds its pitch
constexpr double sameLevelDb = 5.0;    // the tones of one group are equally loud
// What breaks a pause: a tone nearly as loud as the group's (the room's echo
// of a tone is quieter) and long enough to be a tone.
constexpr double interruptingDb = 6.0;
constexpr double echoSeconds = 0.2;
constexpr double echoBelowDb = 4.0;

// 0 at the nominal value, 1 at either limit.
double deviation(double value, double nominal, double low, double high)
{
    if (value >= nominal)
        return high > nominal ? (value - nominal) / (high - nominal) : 0.0;
    return nominal > low ? (nominal - value) / (nominal - low) : 0.0;
}

bool inRange(double value, double low, double high)
{
    return value >= low && value <= high;
}

// Indices of the segments of one group starting at `first`: the next ones
// that are about as loud, skipping quieter ones.
std::vector<size_t> groupFrom(const std::vector<ToneSegment> &segments, size_t first, const CadencePattern &pattern)
{
    std::vector<size_t> group{first};
    const double level = segments[first].peakLevelDb;
    for (size_t j = first + 1; j < segments.size() && int(group.size()) < pattern.count; ++j)
        if (segments[j].peakLevelDb >= level - sameLevelDb && segments[j].duration() >= 0.6 * pattern.minDuration)
            group.push_back(j);
    return group;
}

bool shapeFits(const ToneSegment &s, const CadencePattern &pattern)
{
    return hasToneShape(s, pattern.minDuration, pattern.maxDuration);
}

// The group of `pattern` that starts with segment `first`, when its tones have
// the right shape and follow each other at the right intervals.
struct TimedGroup {
    std::vector<size_t> members;
    double deviations = 0; // summed, each 0 to 1
    double weakest = 0; // peak level of the quietest member
};

std::optional<TimedGroup> timedGroup(const std::vector<ToneSegment> &segments, size_t first, const CadencePattern &pattern)
{
    TimedGroup group;
    group.members = groupFrom(segments, first, pattern);
    if (group.members.size() < size_t(pattern.count))
        return std::nullopt;
    for (size_t g = 0; g < group.members.size(); ++g) {
        const ToneSegment &s = segments[group.members[g]];
        if (!shapeFits(s, pattern))
            return std::nullopt;
        group.deviations += std::min(1.0, deviation(s.duration(), pattern.duration, pattern.minDuration, pattern.maxDuration));
        group.weakest = g == 0 ? s.peakLevelDb : std::min(group.weakest, s.peakLevelDb);
        if (g > 0) {
            const ToneSegment &previous = segments[group.members[g - 1]];
            const double interval = s.start - previous.start;
            if (!inRange(interval, pattern.minInterval, pattern.maxInterval) || s.start <= previous.end)
                return std::nullopt;
            group.deviations += std::min(1.0, deviation(interval, pattern.interval, pattern.minInterval, pattern.maxInterval));
        }
    }
    std::vector<ToneSegment> tones;
    for (size_t g : group.members)
        tones.push_back(segments[g]);
    if (!samePitch(tones))
        return std::nullopt;
    return group;
}

} // namespace

std::optional<CadenceMatch> findCadence(const SteadyTone &tone, const CadencePattern &pattern, double now)
{
    const std::vector<ToneSegment> &segments = tone.segments;
    const auto count = size_t(pattern.count);
    if (segments.size() < count)
        return std::nullopt;
    for (size_t i = segments.size() - count + 1; i-- > 0;) {
        const std::optional<TimedGroup> group = timedGroup(segments, i, pattern);
        if (!group)
            continue;
        const std::vector<size_t> &members = group->members;
        const double firstOnset = segments[members.front()].start;
        const double lastOnset = segments[members.back()].start;
        if (now < lastOnset + pattern.quietAfter)
            continue;
        bool quiet = true;
        for (size_t j = 0; j < segments.size() && quiet; ++j) {
            const ToneSegment &s = segments[j];
            if (std::find(members.begin(), members.end(), j) != members.end()
                || s.peakLevelDb < group->weakest - interruptingDb || s.duration() < 0.6 * pattern.minDuration)
                continue;
            // The room's echo of the tone just before: quieter, and starting
            // as that tone ends.
            if (j > 0 && s.start - segments[j - 1].end <= echoSeconds && s.peakLevelDb <= segments[j - 1].peakLevelDb - echoBelowDb)
                continue;
            if (s.start < firstOnset && s.start > firstOnset - pattern.quietBefore)
                quiet = false;
            if (s.start > firstOnset && s.start < lastOnset + pattern.quietAfter)
                quiet = false;
        }
        if (!quiet)
            continue;

        CadenceMatch match;
        match.fit = std::clamp(1.0 - group->deviations / double(2 * count - 1), 0.0, 1.0);
        match.lastOnset = lastOnset;
        // The group before, a cycle earlier, with the same timing.
        for (size_t j = 0; j < i && pattern.cycle > 0 && !match.repeated; ++j)
            match.repeated = std::abs(firstOnset - pattern.cycle - segments[j].start) <= pattern.cycleTolerance
                             && timedGroup(segments, j, pattern).has_value();
        for (size_t g : members)
            match.tones.push_back(segments[g]);
        return match;
    }
    return std::nullopt;
}

bool couldBeCadence(const std::vector<ToneSegment> &segments, const CadencePattern &pattern)
{
    if (segments.empty() || segments.size() > size_t(pattern.count))
        return false;
    for (size_t g = 0; g < segments.size(); ++g) {
        const ToneSegment &s = segments[g];
        // The newest tone may still be sounding: only its start is known.
        if (s.duration() > pattern.maxDuration || (g + 1 < segments.size() && s.duration() < pattern.minDuration))
            return false;
        if (g > 0 && !inRange(s.start - segments[g - 1].start, pattern.minInterval, pattern.maxInterval))
            return false;
    }
    return true;
}

bool inSmokeAlarmBand(double frequency)
{
    return (frequency >= 2600 && frequency <= 3900) || (frequency >= 440 && frequency <= 620);
}

bool samePitch(const std::vector<ToneSegment> &segments)
{
    if (segments.empty())
        return true;
    std::vector<double> f;
    for (const ToneSegment &s : segments)
        f.push_back(s.frequency);
    std::nth_element(f.begin(), f.begin() + ptrdiff_t(f.size() / 2), f.end());
    const double median = f[f.size() / 2];
    const double limit = std::max(0.015 * median, 6.0);
    for (const ToneSegment &s : segments)
        if (std::abs(s.frequency - median) > limit)
            return false;
    return true;
}

bool hasToneShape(const ToneSegment &segment, double minDuration, double maxDuration)
{
    // Low tones are measured to a bin or so, whatever their pitch.
    const double spreadLimit = std::max(maxSpread, 1.2 * analysis::binHz / segment.frequency);
    return inRange(segment.duration(), minDuration, maxDuration) && segment.spread <= spreadLimit;
}

} // namespace sv
