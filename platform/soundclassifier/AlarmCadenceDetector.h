#pragma once

#include "Detector.h"

namespace sv {

// Smoke and carbon-monoxide alarms by their standard cadences at one pitch:
// temporal-three (three 0.5 s tones 0.5 s apart, then 1.5 s off) is a smoke
// alarm when the tone lies where smoke alarms sound (the 3 kHz piezo band, or
// the 520 Hz low-frequency kind) and a fire alarm elsewhere; temporal-four
// (four 0.1 s beeps 0.1 s apart, a group every few seconds) is a CO alarm.
// A group is claimed once the pause after it has begun, so that steady
// beeping at the same rate is not mistaken for it; the claim lasts while the
// groups keep coming.
class AlarmCadenceDetector final : public Detector {
public:
    void detect(const DetectionContext &context, std::vector<SoundClassification> &claims) override;
};

} // namespace sv
