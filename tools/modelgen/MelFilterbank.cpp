#include "MelFilterbank.h"

#include <algorithm>
#include <cmath>

namespace sv::modelgen {

namespace {

constexpr double kSampleRate = 16000.0;
constexpr int kFrameSize = 400;

// Linear below 1 kHz, logarithmic above.
constexpr double kLinearHzPerMel = 200.0 / 3.0;
constexpr double kLogStartHz = 1000.0;
constexpr double kLogStartMel = kLogStartHz / kLinearHzPerMel;
const double kLogStep = std::log(6.4) / 27.0;

double hzToMel(double hz)
{
    if (hz < kLogStartHz)
        return hz / kLinearHzPerMel;
    return kLogStartMel + std::log(hz / kLogStartHz) / kLogStep;
}

double melToHz(double mel)
{
    if (mel < kLogStartMel)
        return mel * kLinearHzPerMel;
    return kLogStartHz * std::exp(kLogStep * (mel - kLogStartMel));
}

} // namespace

std::vector<float> slaneyMelFilterbank(int melCount)
{
    std::vector<float> filters(static_cast<size_t>(melCount) * kFftBins, 0.0f);
    if (melCount <= 0)
        return filters;

    // melCount + 2 edges, evenly spaced in mel: filter m rises from edge m to
    // edge m + 1 and falls to edge m + 2.
    const double melTop = hzToMel(kSampleRate / 2.0);
    std::vector<double> edges(melCount + 2);
    for (int i = 0; i < melCount + 2; ++i)
        edges[i] = melToHz(melTop * i / (melCount + 1));

    for (int m = 0; m < melCount; ++m) {
        const double lower = edges[m], centre = edges[m + 1], upper = edges[m + 2];
        const double areaNorm = 2.0 / (upper - lower);
        for (int k = 0; k < kFftBins; ++k) {
            const double hz = k * kSampleRate / kFrameSize;
            const double rising = (hz - lower) / (centre - lower);
            const double falling = (upper - hz) / (upper - centre);
            const double weight = std::max(0.0, std::min(rising, falling));
            filters[static_cast<size_t>(m) * kFftBins + k] = static_cast<float>(weight * areaNorm);
        }
    }
    return filters;
}

} // namespace sv::modelgen
