#pragma once

#include "FrameHistory.h"

#include <cstddef>
#include <vector>

namespace sv {

// One stretch of time in which a steady tone sounds: its peak is present and
// within 10 dB of the loudest moment around it, so a room's reverberation
// tail or a dip between beeps does not join two beeps into one.
struct ToneSegment {
    double start = 0; // centre of the first frame, seconds
    double end = 0;   // centre of the last frame
    double frequency = 0;
    double spread = 0;      // (highest - lowest) / mean of the peak's frequency in the segment
    double peakLevelDb = -120;
    double purity = 0;      // mean share of the frame's power that lies in the tone's band
    double sustain = 0;     // share of its frames within 4 dB of its peak: 1 for a held tone, low for a struck one

    double duration() const { return end - start + analysis::hopSeconds; }
};

// A frequency that carries tonal peaks repeatedly, with the segments in which
// it sounds, oldest first.
struct SteadyTone {
    double frequency = 0;
    std::vector<ToneSegment> segments;
};

// The frequencies whose peaks recur most often in the frames from `fromTime`
// on, most frames first, at most `maxTones`, each with its on/off segments.
std::vector<SteadyTone> findSteadyTones(const FrameHistory &history, double fromTime, size_t maxTones);

// Half-width of the band that counts as "this tone": 2.5 % of the frequency,
// and at least 25 Hz, a bin's width of the frame's resolution.
double toneTolerance(double frequency);

} // namespace sv
