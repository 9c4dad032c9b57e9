#pragma once

#include "FrameHistory.h"

#include <vector>

namespace sv {

// The pitch of the most prominent tone, frame by frame, over the newest
// unbroken stretch of tonal sound: each frame takes the peak nearest the
// previous frame's (among peaks nearly as loud as the loudest), so a tone is
// followed through a sweep even when a harmonic is momentarily louder. Gaps
// of a few frames (a noise burst) are bridged. Empty when the newest frames
// hold no tone.
struct PitchTrack {
    double start = 0;           // time of the first frame
    std::vector<double> logHz;  // natural log of the frequency, one per frame
    std::vector<double> share;  // share of the frame's power in the tone's band
    double end() const { return start + double(logHz.size() - 1) * analysis::hopSeconds; }
    double duration() const { return logHz.empty() ? 0.0 : double(logHz.size()) * analysis::hopSeconds; }
};

// The track that ends within `maxAge` seconds of the newest frame, looking no
// further back than `fromTime`; frequencies between `lowHz` and `highHz`.
PitchTrack newestPitchTrack(const FrameHistory &history, double fromTime, double maxAge, double lowHz, double highHz);

} // namespace sv
