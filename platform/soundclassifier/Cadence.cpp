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
std::vector<size_t> groupFrom(const std::vector<ToneSegment> &segments, size_t first, const CadenceSpec &spec)
{
    std::vector<size_t> group{first};
    const double level = segments[first].peakLevelDb;
    for (size_t j = first + 1; j < segments.size() && int(group.size()) < spec.count; ++j)
        if (segments[j].peakLevelDb >= level - sameLevelDb && segments[j].duration() >= 0.6 * spec.minDuration)
            group.push_back(j);
    return group;
}

bool shapeFits(const ToneSegment &s, const CadenceSpec &spec)
{
    // Low tones are measured to a bin or so, whatever their pitch.
    const double spreadLimit = std::max(maxSpread, 1.2 * analysis::binHz / s.frequency);
    return inRange(s.duration(), spec.minDuration, spec.maxDuration) && s.spread <= spreadLimit;
}

} // namespace

namespace {

// The group of `spec` that starts with segment `first`, when its tones have
// the right shape and follow each other at the right intervals.
struct TimedGroup {
    std::vector<size_t> members;
    double deviations = 0; // summed, each 0 to 1
    double purity = 0;
    double weakest = 0; // peak level of the quietest member
};

std::optional<TimedGroup> timedGroup(const std::vector<ToneSegment> &segments, size_t first, const CadenceSpec &spec)
{
    TimedGroup group;
    group.members = groupFrom(segments, first, spec);
    if (group.members.size() < size_t(spec.count))
        return std::nullopt;
    for (size_t g = 0; g < group.members.size(); ++g) {
        const ToneSegment &s = segments[group.members[g]];
        if (!shapeFits(s, spec))
            return std::nullopt;
        group.deviations += std::min(1.0, deviation(s.duration(), spec.duration, spec.minDuration, spec.maxDuration));
        group.purity += s.purity;
        group.weakest = g == 0 ? s.peakLevelDb : std::min(group.weakest, s.peakLevelDb);
        if (g > 0) {
            const ToneSegment &previous = segments[group.members[g - 1]];
            const double interval = s.start - previous.start;
            if (!inRange(interval, spec.minInterval, spec.maxInterval) || s.start <= previous.end)
                return std::nullopt;
            group.deviations += std::min(1.0, deviation(interval, spec.interval, spec.minInterval, spec.maxInterval));
        }
    }
    return group;
}

} // namespace

std::optional<CadenceMatch> findCadence(const SteadyTone &tone, const CadenceSpec &spec, double now)
{
    const std::vector<ToneSegment> &segments = tone.segments;
    const auto count = size_t(spec.count);
    if (segments.size() < count)
        return std::nullopt;
    for (size_t i = segments.size() - count + 1; i-- > 0;) {
        const std::optional<TimedGroup> group = timedGroup(segments, i, spec);
        if (!group)
            continue;
        const std::vector<size_t> &members = group->members;
        const double firstOnset = segments[members.front()].start;
        const double lastOnset = segments[members.back()].start;
        if (now < lastOnset + spec.quietAfter)
            continue;
        bool quiet = true;
        for (size_t j = 0; j < segments.size() && quiet; ++j) {
            const ToneSegment &s = segments[j];
            if (std::find(members.begin(), members.end(), j) != members.end()
                || s.peakLevelDb < group->weakest - interruptingDb || s.duration() < 0.6 * spec.minDuration)
                continue;
            if (s.start < firstOnset && s.start > firstOnset - spec.quietBefore)
                quiet = false;
            if (s.start > firstOnset && s.start < lastOnset + spec.quietAfter)
                quiet = false;
        }
        if (!quiet)
            continue;

        CadenceMatch match;
        match.fit = std::clamp(1.0 - group->deviations / double(2 * count - 1), 0.0, 1.0);
        match.purity = group->purity / double(count);
        match.firstOnset = firstOnset;
        match.lastOnset = lastOnset;
        // The group before, a cycle earlier, with the same timing.
        for (size_t j = 0; j < i && spec.cycle > 0 && !match.repeated; ++j)
            match.repeated = std::abs(firstOnset - spec.cycle - segments[j].start) <= spec.cycleTolerance
                             && timedGroup(segments, j, spec).has_value();
        for (size_t g : members)
            match.tones.push_back(segments[g]);
        return match;
    }
    return std::nullopt;
}

double pauseContrastDb(const FrameHistory &history, const CadenceMatch &match)
{
    // Frames near a tone's edges hold part of the tone (or its echo).
    constexpr double margin = 0.04;
    double tonePower = 0, pausePower = 0;
    size_t toneFrames = 0, pauseFrames = 0;
    if (match.tones.empty())
        return 0;
    const double from = match.tones.front().start;
    const double to = match.tones.back().end;
    for (size_t i = history.indexAt(from); i < history.size() && history[i].time <= to; ++i) {
        const double t = history[i].time;
        const double power = std::pow(10.0, history[i].levelDb / 10.0);
        bool inTone = false;
        bool nearEdge = false;
        for (const ToneSegment &s : match.tones) {
            inTone = inTone || (t >= s.start && t <= s.end);
            nearEdge = nearEdge || (t > s.end && t < s.end + margin) || (t < s.start && t > s.start - margin);
        }
        if (inTone) {
            tonePower += power;
            ++toneFrames;
        } else if (!nearEdge) {
            pausePower += power;
            ++pauseFrames;
        }
    }
    if (!toneFrames || !pauseFrames)
        return 99.0;
    return 10.0 * std::log10((tonePower / double(toneFrames)) / (pausePower / double(pauseFrames) + 1e-15));
}

bool couldBeCadence(const SteadyTone &tone, size_t first, size_t count, const CadenceSpec &spec)
{
    if (count > size_t(spec.count) || first + count > tone.segments.size())
        return false;
    for (size_t g = 0; g < count; ++g) {
        const ToneSegment &s = tone.segments[first + g];
        const bool last = g + 1 == count;
        // The newest tone may still be sounding: only its start is known.
        if (s.duration() > spec.maxDuration || (!last && s.duration() < spec.minDuration))
            return false;
        if (g > 0 && !inRange(s.start - tone.segments[first + g - 1].start, spec.minInterval, spec.maxInterval))
            return false;
    }
    return true;
}

} // namespace sv
