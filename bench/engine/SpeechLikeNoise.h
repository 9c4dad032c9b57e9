#pragma once

#include <cstdint>
#include <vector>

namespace sv::bench {

// `seconds` of 16 kHz mono noise shaped like speech for the captioner's
// purposes: low-passed, swelling and fading at a syllable rate (4 Hz) with
// short gaps, at a conversational level (RMS 0.08, far above the 0.006 silence
// gate). A synthetic speaking model ignores the content; what matters is that
// no step is skipped as silence and that the encoder sees non-trivial input.
std::vector<float> speechLikeNoise(double seconds, uint32_t seed = 1);

} // namespace sv::bench
