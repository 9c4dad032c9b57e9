#pragma once

#include "Detector.h"

namespace sv {

// Knocking: a short run of sharp, low-pitched transients (knuckles on a
// door), each rising out of a quiet background and dying within a tenth of
// a second, evenly spaced, with quiet before and after. Three to six knocks
// are claimed; two are reported below the alert floor, since two bumps are
// too common to flash the screen for.
class KnockDetector final : public Detector {
public:
    void detect(const DetectionContext &context, std::vector<SoundClassification> &claims) override;
};

} // namespace sv
