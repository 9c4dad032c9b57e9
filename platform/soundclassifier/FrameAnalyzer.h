#pragma once

#include "Fft.h"
#include "SpectralFrame.h"

#include <complex>
#include <vector>

namespace sv {

// Turns one frame of 16 kHz mono samples (analysis::frameSize of them) into
// its features: spectrum, level, tonal peaks, flatness and pitch periodicity.
// Holds scratch buffers only; one instance per thread.
class FrameAnalyzer {
public:
    FrameAnalyzer();
    void analyze(const float *samples, double centreTime, SpectralFrame &out);

private:
    void findPeaks(SpectralFrame &frame);
    void measurePeriodicity(SpectralFrame &frame);

    Fft m_fft; // twice the frame: zero padding makes the autocorrelation linear
    std::vector<float> m_window;
    std::vector<float> m_windowCorrelation; // the window's own autocorrelation, normalised
    std::vector<std::complex<float>> m_buffer;
    std::vector<float> m_scratch;
    float m_powerScale = 0;
};

} // namespace sv
