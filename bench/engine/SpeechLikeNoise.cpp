#include "SpeechLikeNoise.h"

#include <cmath>
#include <numbers>

namespace sv::bench {

std::vector<float> speechLikeNoise(double seconds, uint32_t seed)
{
    constexpr double rate = 16000.0;
    constexpr double targetRms = 0.08;
    std::vector<float> out(size_t(seconds * rate));
    uint32_t x = seed * 2654435761u + 1u;
    double low = 0.0, sumSquares = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        const double white = double(x >> 8) / double(1 << 24) - 0.5;
        low += 0.25 * (white - low); // one pole near 1 kHz
        const double phase = std::sin(2.0 * std::numbers::pi * 4.0 * double(i) / rate);
        const double envelope = phase > -0.6 ? (phase + 0.6) / 1.6 : 0.0;
        out[i] = float(low * envelope);
        sumSquares += double(out[i]) * out[i];
    }
    const double rms = out.empty() ? 0.0 : std::sqrt(sumSquares / double(out.size()));
    if (rms > 0.0)
        for (float &v : out)
            v = float(v * targetRms / rms);
    return out;
}

} // namespace sv::bench
