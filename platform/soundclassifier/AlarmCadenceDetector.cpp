#include "AlarmCadenceDetector.h"

#include "Cadence.h"
#include "Harmonics.h"
#include "Identifiers.h"
#include "ToneQuality.h"

#include <algorithm>

namespace sv {

namespace {

// A claim lasts one cycle and a half after the group that made it.
constexpr double temporalThreeHold = 6.0;
constexpr double temporalFourHold = 8.0;
// What a pattern that fits in time but not in sound is worth: below the
// alert floor.
constexpr double doubtfulConfidence = 0.3;

// 1 for an alarm-like sound that also keeps time well. The cadence itself is
// distinctive, so half the beep likeness suffices: it is there to turn away a
// melody's note or a voice's harmonic, whose likeness is near 0.
double soundFit(const FrameHistory &history, const CadenceMatch &m, const SteadyTone &tone, double fundamental)
{
    const double timing = std::clamp((m.fit - 0.4) / 0.3, 0.0, 1.0);
    return std::min(timing, std::clamp(2.0 * beepLikeness(history, m.tones, tone, fundamental), 0.0, 1.0));
}

// The claim of a pattern: `base` to `base + range` by how well it keeps time,
// weighed by how well it sounds like an alarm (`gate`, 0 to 1).
double confidence(double gate, double base, double range, const CadenceMatch &m, double repeatBonus)
{
    const double claim = base + range * m.fit + (m.repeated ? repeatBonus : 0.0);
    return gate * claim + (1.0 - gate) * doubtfulConfidence;
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
                addClaim(claims, sound_label::smokeDetector, confidence(fit, 0.8, 0.15, *m, 0.03));
            else if (m->repeated)
                // The same evacuation signal at another pitch: a building's
                // fire alarm, claimed once it has come round a second time.
                addClaim(claims, sound_label::fireAlarm, confidence(fit, 0.65, 0.15, *m, 0.0));
            else
                addClaim(claims, sound_label::fireAlarm, std::min(0.45, confidence(fit, 0.65, 0.15, *m, 0.0)));
        }
        if (auto m = findCadence(tone, temporalFour, context.now); m && m->lastOnset >= context.now - temporalFourHold) {
            const double fit = soundFit(context.history, *m, tone, fundamental);
            // Outside the alarm bands only a second group makes it a claim.
            const double claim = confidence(fit, smokeBand ? 0.8 : 0.65, 0.15, *m, 0.03);
            addClaim(claims, sound_label::carbonMonoxideDetector, smokeBand || m->repeated ? claim : std::min(0.45, claim));
        }
    }
}

} // namespace sv
