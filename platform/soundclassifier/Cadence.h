#pragma once

#include "FrameHistory.h"
#include "SteadyTones.h"

#include <optional>
#include <vector>

namespace sv {

// A group of equal tones at one pitch with fixed timing, such as the
// temporal-three pattern of a smoke alarm: `count` tones whose onsets follow
// each other after `interval`, each lasting about `duration`, with no tone of
// similar strength for `quietBefore` before the first onset or `quietAfter`
// after the last one.
struct CadenceSpec {
    int count = 1;
    double interval = 0, minInterval = 0, maxInterval = 0;
    double duration = 0, minDuration = 0, maxDuration = 0;
    double quietBefore = 0;
    double quietAfter = 0;
    double cycle = 0; // onset of one group to the next, for a repeated group
    double cycleTolerance = 0;
};

struct CadenceMatch {
    double fit = 0;       // 1 for nominal timing, falling to 0 at the tolerances
    double purity = 0;    // mean share of the frames' power in the tone
    double firstOnset = 0;
    double lastOnset = 0;
    bool repeated = false; // an earlier group came one cycle before
    std::vector<ToneSegment> tones; // the group's own tones
};

// The newest group of `tone` that matches `spec` and whose quiet time after it
// has been heard by `now`; none when no group fits.
std::optional<CadenceMatch> findCadence(const SteadyTone &tone, const CadenceSpec &spec, double now);

// Whether segments [first, first + count) of `tone` could be the start of a
// group of `spec` that is still being heard: the same timing so far, and no
// more tones than the group has.
bool couldBeCadence(const SteadyTone &tone, size_t first, size_t count, const CadenceSpec &spec);

// How much louder the whole spectrum is while the group's tones sound than in
// the pauses between them, in dB. A beeping alarm leaves its pauses to the
// background; a melody that returns to one note fills them with others.
double pauseContrastDb(const FrameHistory &history, const CadenceMatch &match);

} // namespace sv
