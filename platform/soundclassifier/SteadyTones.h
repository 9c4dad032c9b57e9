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

    double duration() const { return end - start + analysis::hopSeconds; }
};

// A frequency that carries tonal peaks repeatedly, with the segments in which
// it sounds, oldest first.
struct SteadyTone {
    double frequency = 0;
    size_t frameCount = 0; // frames in which its peak was found
    std::vector<ToneSegment> segments;
};

// The frequencies whose peaks recur most often in the frames from `fromTime`
// on, most frames first, at most `maxTones`, each with its on/off segments.
std::vector<SteadyTone> findSteadyTones(const FrameHistory &history, double fromTime, size_t maxTones);

// Whether `upper` is an overtone of a louder `lower` (a harmonic of the same
// sound: 2, 3, 4 or 5 times its frequency, sounding in the same segments), so
// that a pattern is judged at the sound's fundamental.
bool isOvertoneOf(const SteadyTone &upper, const SteadyTone &lower);
bool isOvertone(const SteadyTone &tone, const std::vector<SteadyTone> &tones);

// The share of a segment's frames in which a peak at a half, a third or a
// quarter of its frequency sounds nearly as loud, or whose pitch is a
// fraction of it: such a tone is a harmonic of a lower voice or note, not a
// tone of its own.
double overtoneShare(const FrameHistory &history, const ToneSegment &segment);

// The mean share of the frames' power, over a segment, that lies at
// `fundamental` and its harmonics: near 1 for a sound made of that one pitch.
double harmonicShare(const FrameHistory &history, const ToneSegment &segment, double fundamental);

// The lowest of `tones` that `tone` is an overtone of, or `tone` itself.
const SteadyTone &fundamentalOf(const SteadyTone &tone, const std::vector<SteadyTone> &tones);

// Half-width of the band that counts as "this tone": 2.5 % of the frequency,
// and at least 25 Hz, a bin's width of the frame's resolution.
double toneTolerance(double frequency);

} // namespace sv
