#pragma once

#include "Detector.h"

namespace sv {

// The everyday background: speech, music, noise or silence, judged over the
// last second and a half, always reported (each label with its own
// confidence) so that ordinary sound is named as what it is. Speech is
// voiced (periodic at a voice's pitch) in part of its frames, its loudness
// rises and falls with the syllables; music holds steady pitches and a more
// even loudness; noise has a flat spectrum without pitch; silence is below
// -55 dB. Speech is reported up to 0.8, above the weaker detectors' claims,
// so that talk is not mistaken for a knock or a beep.
class BackgroundClassifier final : public Detector {
public:
    void detect(const DetectionContext &context, std::vector<SoundClassification> &claims) override;
};

} // namespace sv
