#include "AlarmCadenceDetector.h"

#include "Cadence.h"
#include "Identifiers.h"

#include <algorithm>

namespace sv {

namespace {

// Tolerances are wider than the standard's 10 %: a room's echo lengthens the
// tones and shortens the pauses.
const CadenceSpec temporalThree{
    .count = 3,
    .interval = 1.0, .minInterval = 0.8, .maxInterval = 1.25,
    .duration = 0.5, .minDuration = 0.3, .maxDuration = 0.85,
    .quietBefore = 1.3, .quietAfter = 1.3,
    .cycle = 4.0, .cycleTolerance = 0.5,
};

const CadenceSpec temporalFour{
    .count = 4,
    .interval = 0.2, .minInterval = 0.13, .maxInterval = 0.3,
    .duration = 0.1, .minDuration = 0.04, .maxDuration = 0.22,
    .quietBefore = 0.8, .quietAfter = 0.8,
    .cycle = 5.0, .cycleTolerance = 1.5,
};

// A claim lasts one cycle and a half after the group that made it.
constexpr double temporalThreeHold = 6.0;
constexpr double temporalFourHold = 8.0;

bool inSmokeAlarmBand(double frequency)
{
    // Piezo sounders near 3 kHz, or the 520 Hz square wave (its fundamental).
    return (frequency >= 2600 && frequency <= 3900) || (frequency >= 440 && frequency <= 620);
}

double purityScore(double purity)
{
    return std::clamp((purity - 0.1) / 0.4, 0.0, 1.0);
}

} // namespace

void AlarmCadenceDetector::detect(const DetectionContext &context, std::vector<SoundClassification> &claims)
{
    for (const SteadyTone &tone : context.tones) {
        if (auto m = findCadence(tone, temporalThree, context.now); m && m->lastOnset >= context.now - temporalThreeHold) {
            const double quality = 0.6 * m->fit + 0.4 * purityScore(m->purity);
            if (inSmokeAlarmBand(tone.frequency))
                addClaim(claims, sound_label::smokeDetector, 0.72 + 0.2 * quality + (m->repeated ? 0.05 : 0.0));
            else
                addClaim(claims, sound_label::fireAlarm, 0.55 + 0.15 * quality + (m->repeated ? 0.1 : 0.0));
        }
        if (auto m = findCadence(tone, temporalFour, context.now); m && m->lastOnset >= context.now - temporalFourHold) {
            const double quality = 0.6 * m->fit + 0.4 * purityScore(m->purity);
            const double band = inSmokeAlarmBand(tone.frequency) ? 0.0 : -0.1;
            addClaim(claims, sound_label::carbonMonoxideDetector,
                     0.72 + 0.2 * quality + band + (m->repeated ? 0.05 : 0.0));
        }
    }
}

} // namespace sv
