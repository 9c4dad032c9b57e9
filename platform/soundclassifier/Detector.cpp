#include "Detector.h"

#include <algorithm>

namespace sv {

void addClaim(std::vector<SoundClassification> &claims, const char *label, double confidence)
{
    confidence = std::clamp(confidence, 0.0, 1.0);
    for (SoundClassification &c : claims)
        if (c.identifier == label) {
            c.confidence = std::max(c.confidence, confidence);
            return;
        }
    claims.push_back({label, confidence});
}

} // namespace sv
