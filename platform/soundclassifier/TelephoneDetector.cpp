#include "TelephoneDetector.h"

#include "Cadence.h"
#include "Harmonics.h"
#include "Identifiers.h"
#include "ToneQuality.h"

#include <algorithm>
#include <cmath>

namespace sv {

namespace {

const CadencePattern doubleRing{
    .count = 2,
    .interval = 0.6, .minInterval = 0.45, .maxInterval = 0.8,
    .duration = 0.4, .minDuration = 0.25, .maxDuration = 0.6,
    .quietBefore = 1.5, .quietAfter = 1.0,
    .cycle = 3.0, .cycleTolerance = 0.4,
};

// The ring's own length bounds it; it is judged once it has sounded 1.5 s.
const CadencePattern longRing{
    .count = 1,
    .interval = 0, .minInterval = 0, .maxInterval = 0,
    .duration = 2.0, .minDuration = 1.5, .maxDuration = 2.6,
    .quietBefore = 3.0, .quietAfter = 0.0,
    .cycle = 6.0, .cycleTolerance = 0.8,
};

constexpr double holdSeconds = 4.0;
constexpr double minTrillHz = 400.0;
constexpr double doubtful = 0.3;

struct Burst {
    double start = 0, end = 0;
    double purity = 0;
};

template <typename Pulse>
bool evenPulses(const std::vector<Pulse> &pulses, size_t from, size_t to, int tone)
{
    std::vector<double> periods;
    double last = -1;
    for (size_t k = from; k < to; ++k) {
        if (pulses[k].tone != tone)
            continue;
        if (last >= 0)
            periods.push_back(pulses[k].segment->start - last);
        last = pulses[k].segment->start;
    }
    if (periods.size() < 2)
        return false;
    // Three in four periods within a factor of two of the median: a ringer
    // may group its pulses, and a pulse split in two by a noise dip does not
    // spoil the rhythm, but a melody's notes come and go as they please.
    std::vector<double> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + ptrdiff_t(sorted.size() / 2), sorted.end());
    const double median = sorted[sorted.size() / 2];
    size_t near = 0;
    for (double p : periods)
        near += p >= 0.5 * median && p <= 2.0 * median;
    return 4 * near >= 3 * periods.size();
}

// Stretches in which two tones a small interval apart both pulse, each
// segment a few tens of milliseconds long, together leaving no gap: a trill.
std::vector<Burst> trillBursts(const SteadyTone &a, const SteadyTone &b)
{
    struct Pulse {
        const ToneSegment *segment;
        int tone;
    };
    std::vector<Pulse> pulses;
    for (const ToneSegment &s : a.segments)
        pulses.push_back({&s, 0});
    for (const ToneSegment &s : b.segments)
        pulses.push_back({&s, 1});
    std::sort(pulses.begin(), pulses.end(), [](const Pulse &x, const Pulse &y) { return x.segment->start < y.segment->start; });

    std::vector<Burst> bursts;
    size_t i = 0;
    while (i < pulses.size()) {
        size_t j = i;
        double end = pulses[i].segment->end;
        double purity = 0;
        int count[2] = {0, 0};
        int switches = 0;
        while (j < pulses.size()) {
            const ToneSegment &s = *pulses[j].segment;
            if (s.duration() < 0.025 || s.duration() > 0.2 || (j > i && s.start - end > 0.07))
                break;
            end = std::max(end, s.end);
            purity += s.purity;
            ++count[pulses[j].tone];
            switches += j > i && pulses[j].tone != pulses[j - 1].tone;
            ++j;
        }
        // Mostly taking turns, each tone pulsing evenly.
        const double start = pulses[i].segment->start;
        const size_t n = j - i;
        if (count[0] >= 4 && count[1] >= 4 && end - start >= 0.8 && double(switches) >= 0.5 * double(n - 1)
            && evenPulses(pulses, i, j, 0) && evenPulses(pulses, i, j, 1))
            bursts.push_back({start, end, purity / double(n)});
        i = std::max(j, i + 1);
    }
    return bursts;
}

double purityGate(double purity)
{
    return std::clamp((purity - 0.25) / 0.25, 0.0, 1.0);
}

} // namespace

void TelephoneDetector::detect(const DetectionContext &context, std::vector<SoundClassification> &claims)
{
    double best = 0;
    const auto weigh = [](double likeness, double claim) {
        return likeness * claim + (1.0 - likeness) * std::min(claim, doubtful);
    };

    for (size_t i = 0; i < context.tones.size(); ++i) {
        for (size_t j = 0; j < context.tones.size(); ++j) {
            const SteadyTone &high = context.tones[i];
            const SteadyTone &low = context.tones[j];
            const double ratio = high.frequency / low.frequency;
            // Ringers trill between two tones a small interval apart, well
            // above a voice's or a chord's fundamentals.
            if (ratio < 1.08 || ratio > 1.6 || low.frequency < minTrillHz || isOvertone(high, context.tones)
                || isOvertone(low, context.tones))
                continue;
            const std::vector<Burst> bursts = trillBursts(high, low);
            if (bursts.empty() || bursts.back().end < context.now - holdSeconds)
                continue;
            double claim = bursts.back().end - bursts.back().start >= 1.0 ? 0.58 : 0.45;
            // Rings that come round again: the exchange's cadence.
            for (size_t k = 0; k + 1 < bursts.size(); ++k) {
                const double period = bursts[k + 1].start - bursts[k].start;
                if (period >= 2.5 && period <= 7.0)
                    claim = 0.78;
            }
            best = std::max(best, weigh(purityGate(bursts.back().purity), claim));
        }
    }

    for (const SteadyTone &tone : context.tones) {
        if (isOvertone(tone, context.tones))
            continue;
        for (const CadencePattern *pattern : {&doubleRing, &longRing}) {
            const auto m = findCadence(tone, *pattern, context.now);
            if (!m || m->lastOnset < context.now - holdSeconds - pattern->cycle)
                continue;
            const double likeness = beepLikeness(context.history, m->tones, tone, tone.frequency);
            best = std::max(best, weigh(likeness, m->repeated ? 0.68 + 0.12 * m->fit : 0.45));
        }
    }
    if (best > 0)
        addClaim(claims, sound_label::telephone, best);
}

} // namespace sv
