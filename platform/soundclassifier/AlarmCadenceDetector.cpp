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
// What a pattern that fits in time but not in sound is worth: below the
// alert floor.
constexpr double doubtfulConfidence = 0.3;

bool inSmokeAlarmBand(double frequency)
{
    // Piezo sounders near 3 kHz, or the 520 Hz square wave (its fundamental).
    return (frequency >= 2600 && frequency <= 3900) || (frequency >= 440 && frequency <= 620);
}

// 1 for an alarm-like sound: one pitch (with its harmonics) that dominates
// the spectrum while it sounds, leaves the pauses quieter and keeps time
// well, and is not the harmonic of a voice or a note; 0 for a note among
// others. `fundamental` is the pitch of the sound whose harmonic `tone` is
// (the tone itself when it is one).
double soundFit(const FrameHistory &history, const CadenceMatch &m, const SteadyTone &tone, double fundamental)
{
    double purity = 0;
    double overtone = 0;
    for (const ToneSegment &s : m.tones) {
        purity += harmonicShare(history, s, fundamental);
        overtone += overtoneShare(history, s);
    }
    purity /= double(m.tones.size());
    overtone /= double(m.tones.size());
    // An overtone of a tone we track is accounted for by its fundamental.
    if (fundamental < tone.frequency)
        overtone = 0;
    const double pure = std::clamp((purity - 0.25) / 0.25, 0.0, 1.0);
    const double contrast = std::clamp((pauseContrastDb(history, m) - 2.0) / 3.0, 0.0, 1.0);
    const double timing = std::clamp((m.fit - 0.4) / 0.3, 0.0, 1.0);
    const double own = std::clamp(1.0 - 2.0 * overtone, 0.0, 1.0);
    return std::min({pure, contrast, timing, own});
}

double confidence(double fit, double base, double range, const CadenceMatch &m, double repeatBonus)
{
    const double claim = base + range * m.fit + (m.repeated ? repeatBonus : 0.0);
    return fit * claim + (1.0 - fit) * doubtfulConfidence;
}

} // namespace

void AlarmCadenceDetector::detect(const DetectionContext &context, std::vector<SoundClassification> &claims)
{
    for (const SteadyTone &tone : context.tones) {
        const double fundamental = fundamentalOf(tone, context.tones).frequency;
        const bool smokeBand = inSmokeAlarmBand(fundamental);
        if (auto m = findCadence(tone, temporalThree, context.now); m && m->lastOnset >= context.now - temporalThreeHold) {
            const double fit = soundFit(context.history, *m, tone, fundamental);
            if (smokeBand)
                addClaim(claims, sound_label::smokeDetector, confidence(fit, 0.72, 0.2, *m, 0.05));
            else if (m->repeated)
                // The same evacuation signal at another pitch: a building's
                // fire alarm, claimed once it has come round a second time.
                addClaim(claims, sound_label::fireAlarm, confidence(fit, 0.6, 0.15, *m, 0.0));
            else
                addClaim(claims, sound_label::fireAlarm, std::min(0.45, confidence(fit, 0.6, 0.15, *m, 0.0)));
        }
        if (auto m = findCadence(tone, temporalFour, context.now); m && m->lastOnset >= context.now - temporalFourHold) {
            const double fit = soundFit(context.history, *m, tone, fundamental);
            // Outside the alarm bands only a second group makes it a claim.
            const double claim = confidence(fit, smokeBand ? 0.72 : 0.62, 0.2, *m, 0.05);
            addClaim(claims, sound_label::carbonMonoxideDetector, smokeBand || m->repeated ? claim : std::min(0.45, claim));
        }
    }
}

} // namespace sv
