#pragma once

#include "FrameHistory.h"
#include "SteadyTones.h"

#include <vector>

namespace sv {

// Whether a tone is a sound of its own or a harmonic of another: a device's
// beep is a pitch with its overtones, a voice or an instrument is a harmonic
// series whose members each look like a tone.

// Whether `upper` is an overtone of a louder `lower` (a harmonic of the same
// sound: 2, 3, 4 or 5 times its frequency, sounding in the same segments), so
// that a pattern is judged at the sound's fundamental.
bool isOvertoneOf(const SteadyTone &upper, const SteadyTone &lower);
bool isOvertone(const SteadyTone &tone, const std::vector<SteadyTone> &tones);

// The lowest of `tones` that `tone` is an overtone of, or `tone` itself.
const SteadyTone &fundamentalOf(const SteadyTone &tone, const std::vector<SteadyTone> &tones);

// The share of a segment's frames in which the tone looks like one harmonic
// of a lower voice or note rather than a tone of its own: a peak at a half, a
// third or a quarter of its frequency sounds nearly as loud, or the frame's
// pitch is a fraction of it, or it sits between two other harmonics at equal
// distances.
double overtoneShare(const FrameHistory &history, const ToneSegment &segment);

// The mean share of the frames' power, over a segment, that lies at
// `fundamental` and its harmonics: near 1 for a sound made of that one pitch.
double harmonicShare(const FrameHistory &history, const ToneSegment &segment, double fundamental);

} // namespace sv
