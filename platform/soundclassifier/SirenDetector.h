#pragma once

#include "Detector.h"

namespace sv {

// Sirens by the motion of one dominant tone that sounds without a break: a
// wail sweeps up and down over seconds (10 to 30 cycles a minute), a yelp a
// few times a second (150 to 250 a minute), and a hi-lo alternates between
// two steady pitches. A single sweep (a kettle, a glide) is not enough: the
// claim needs the sweep to turn, or the alternation to repeat.
class SirenDetector final : public Detector {
public:
    void detect(const DetectionContext &context, std::vector<SoundClassification> &claims) override;
};

} // namespace sv
