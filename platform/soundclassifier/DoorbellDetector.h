#pragma once

#include "Detector.h"

namespace sv {

// A door chime's "ding-dong": two struck tones, each starting sharply and
// dying away, the second a third or a fourth lower and a fraction of a
// second later, with nothing else starting around them. Claimed once a
// second has passed after the second tone without a third.
class DoorbellDetector final : public Detector {
public:
    void detect(const DetectionContext &context, std::vector<SoundClassification> &claims) override;
};

} // namespace sv
