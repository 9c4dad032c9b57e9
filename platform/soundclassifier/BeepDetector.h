#pragma once

#include "Detector.h"

namespace sv {

// Appliances and alarm clocks: repeated short tones at one pitch. Evenly
// spaced beeps (three or more) are "beep"; beeps in equal groups that repeat
// (beep-beep, beep-beep...) are an alarm clock. Runs whose timing is still
// that of a smoke or CO alarm's cadence are left to that detector, and a run
// that turns out to be one is not claimed.
class BeepDetector final : public Detector {
public:
    void detect(const DetectionContext &context, std::vector<SoundClassification> &claims) override;
};

} // namespace sv
