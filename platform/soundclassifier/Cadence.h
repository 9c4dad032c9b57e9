#pragma once

#include "SteadyTones.h"

#include <optional>
#include <vector>

namespace sv {

// A group of equal tones at one pitch with fixed timing, such as the
// temporal-three pattern of a smoke alarm: `count` tones whose onsets follow
// each other after `interval`, each lasting about `duration`, with no tone of
// similar strength for `quietBefore` before the first onset or `quietAfter`
// after the last one.
struct CadencePattern {
    int count = 1;
    double interval = 0, minInterval = 0, maxInterval = 0;
    double duration = 0, minDuration = 0, maxDuration = 0;
    double quietBefore = 0;
    double quietAfter = 0;
    double cycle = 0; // onset of one group to the next, for a repeated group
    double cycleTolerance = 0;
};

// Temporal-three (ISO 8201), the smoke alarm's and the evacuation signal's
// cadence, and temporal-four, the CO alarm's. Tolerances are wider than the
// standard's 10 %: a room's echo lengthens the tones and shortens the pauses.
inline constexpr CadencePattern temporalThree{
    .count = 3,
    .interval = 1.0, .minInterval = 0.8, .maxInterval = 1.25,
    .duration = 0.5, .minDuration = 0.3, .maxDuration = 0.85,
    .quietBefore = 1.3, .quietAfter = 1.3,
    .cycle = 4.0, .cycleTolerance = 0.5,
};
inline constexpr CadencePattern temporalFour{
    .count = 4,
    .interval = 0.2, .minInterval = 0.13, .maxInterval = 0.3,
    .duration = 0.1, .minDuration = 0.04, .maxDuration = 0.22,
    .quietBefore = 0.8, .quietAfter = 0.8,
    .cycle = 5.0, .cycleTolerance = 1.5,
};

// Where smoke and CO alarms sound: piezo sounders near 3 kHz, or the
// low-frequency kind's 520 Hz square wave (its fundamental).
bool inSmokeAlarmBand(double frequency);

struct CadenceMatch {
    double fit = 0; // 1 for nominal timing, falling to 0 at the tolerances
    double lastOnset = 0;
    bool repeated = false; // an earlier group came one cycle before
    std::vector<ToneSegment> tones; // the group's own tones
};

// The newest group of `tone` that matches `pattern` and whose quiet time after it
// has been heard by `now`; none when no group fits.
std::optional<CadenceMatch> findCadence(const SteadyTone &tone, const CadencePattern &pattern, double now);

// Whether `segments` (consecutive tones of one pitch) could be the start of a
// group of `pattern` that is still being heard: the same timing so far, and no
// more tones than the group has.
bool couldBeCadence(const std::vector<ToneSegment> &segments, const CadencePattern &pattern);

// Whether the segments were all sounded at one pitch, as a device does: their
// frequencies agree to 1.5 % (or 6 Hz for low tones).
bool samePitch(const std::vector<ToneSegment> &segments);

// Whether a segment has a beep's shape: its length within [minDuration,
// maxDuration] and its pitch held.
bool hasToneShape(const ToneSegment &segment, double minDuration, double maxDuration);

} // namespace sv
