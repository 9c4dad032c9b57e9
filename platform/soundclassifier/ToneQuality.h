#pragma once

#include "FrameHistory.h"
#include "SteadyTones.h"

#include <vector>

namespace sv {

// How much louder the whole spectrum is while `tones` sound than in the
// pauses between them, in dB. A beeping device leaves its pauses to the
// background; a melody that returns to one note fills them with others.
double pauseContrastDb(const FrameHistory &history, const std::vector<ToneSegment> &tones);

// How much a group of tone segments sounds like a device's beeps rather than
// notes of music or a voice's harmonics, from 0 to 1: the sound of one pitch
// (`fundamental`, with its harmonics) fills the spectrum while it sounds,
// the pauses are quieter and no other tone takes them over, and the tone is
// no harmonic of a lower voice.
// `tone` is the steady tone the segments belong to.
double beepLikeness(const FrameHistory &history, const std::vector<ToneSegment> &segments, const SteadyTone &tone,
                    double fundamental);

} // namespace sv
