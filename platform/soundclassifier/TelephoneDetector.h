#pragma once

#include "Detector.h"

namespace sv {

// Telephones by their ring: bursts of an electronic trill (two tones
// alternating several times a second), and the ring cadences of the
// exchanges (0.4 s on, 0.2 s off, 0.4 s on, 2 s off; or 2 s on, 4 s off).
// A lone trill burst of a second or more is a ring; a cadence counts once it
// has come round a second time.
class TelephoneDetector final : public Detector {
public:
    void detect(const DetectionContext &context, std::vector<SoundClassification> &claims) override;
};

} // namespace sv
