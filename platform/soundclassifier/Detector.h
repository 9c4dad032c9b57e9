#pragma once

#include "FrameHistory.h"
#include "SteadyTones.h"
#include "platform/SoundClassifier.h"

#include <vector>

namespace sv {

// What every detector sees at one analysis moment: the recent frames and the
// steady tones found in them.
struct DetectionContext {
    const FrameHistory &history;
    const std::vector<SteadyTone> &tones;
    double now = 0; // seconds, the newest frame's centre
};

// One kind of sound recognised from its structure. detect() is called once
// per analysis window, in time order, on the analyzer's thread; it appends a
// claim for each label whose pattern it finds in the recent past, with a
// confidence of 0.5 or more only when the whole pattern fits.
class Detector {
public:
    virtual ~Detector() = default;
    virtual void detect(const DetectionContext &context, std::vector<SoundClassification> &claims) = 0;
};

// Adds `label` to `claims`, or raises its confidence when it is already there.
void addClaim(std::vector<SoundClassification> &claims, const char *label, double confidence);

} // namespace sv
