#pragma once

#include <vector>

namespace sv::modelgen {

// Whisper's FFT geometry: 400-sample frames at 16 kHz, hence 201 bins.
inline constexpr int kFftBins = 201;

// Triangular mel filters on the Slaney mel scale with Slaney area
// normalisation (the filterbank Whisper was trained with), covering 0 Hz to
// the 8 kHz Nyquist frequency. Row-major: filter m's weight for FFT bin k is
// at [m * kFftBins + k]. Pure function.
std::vector<float> slaneyMelFilterbank(int melCount);

} // namespace sv::modelgen
