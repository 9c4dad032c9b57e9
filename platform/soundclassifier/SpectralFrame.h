#pragma once

#include <array>
#include <cstddef>

namespace sv {

// Short-time analysis at the classifier's own rate: 32 ms Hann frames every
// 16 ms, which resolves 31 Hz in frequency and the 0.1 s beeps of the
// shortest alarm cadence in time.
namespace analysis {
constexpr double sampleRate = 16000.0;
constexpr size_t frameSize = 512;
constexpr size_t hopSize = 256;
constexpr size_t binCount = frameSize / 2 + 1;
constexpr double binHz = sampleRate / double(frameSize);
constexpr double hopSeconds = double(hopSize) / sampleRate;
constexpr size_t maxPeaks = 6;
} // namespace analysis

// A narrow spectral peak that stands out from its neighbourhood.
struct TonalPeak {
    float frequency = 0;  // Hz, interpolated between bins
    float levelDb = -120; // power of the peak's main lobe, dB re full-scale mean square
    float salienceDb = 0; // main lobe over the median of the bins around it
};

// Features of one frame. Levels are dB of mean square, so a full-scale sine
// reads -3 dB.
struct SpectralFrame {
    double time = 0; // seconds from the start of the stream to the frame's centre
    float levelDb = -120;
    float lowLevelDb = -120; // 60 Hz to 1 kHz, where knocks and voices have their weight
    float flatness = 0;      // geometric over arithmetic mean power, 190 Hz to 7.5 kHz
    float periodicity = 0;   // normalised autocorrelation at the best lag of a 70-400 Hz pitch
    float pitchHz = 0;       // the frequency of that lag; 0 when none is plausible
    size_t peakCount = 0;
    std::array<TonalPeak, analysis::maxPeaks> peaks{}; // loudest first
    std::array<float, analysis::binCount> power{};     // per bin; the bins sum to the mean square

    // The loudest peak within `tolerance` Hz of `frequency` whose salience is
    // at least `minSalienceDb`, or null.
    const TonalPeak *peakNear(double frequency, double tolerance, double minSalienceDb) const;
    // Power summed over the bins that cover [low, high] Hz, in dB.
    double bandLevelDb(double low, double high) const;
};

} // namespace sv
