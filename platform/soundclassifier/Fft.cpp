#include "Fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace sv {

Fft::Fft(size_t size) : m_size(size), m_twiddles(size / 2), m_reversed(size)
{
    for (size_t k = 0; k < size / 2; ++k) {
        const double angle = -2.0 * std::numbers::pi * double(k) / double(size);
        m_twiddles[k] = {float(std::cos(angle)), float(std::sin(angle))};
    }
    size_t bits = 0;
    while ((size_t(1) << bits) < size)
        ++bits;
    for (size_t i = 0; i < size; ++i) {
        size_t r = 0;
        for (size_t b = 0; b < bits; ++b)
            if (i & (size_t(1) << b))
                r |= size_t(1) << (bits - 1 - b);
        m_reversed[i] = r;
    }
}

void Fft::transform(std::vector<std::complex<float>> &data, bool inverse) const
{
    if (data.size() != m_size)
        return;
    for (size_t i = 0; i < m_size; ++i)
        if (i < m_reversed[i])
            std::swap(data[i], data[m_reversed[i]]);
    for (size_t half = 1; half < m_size; half *= 2) {
        const size_t stride = m_size / (2 * half);
        for (size_t start = 0; start < m_size; start += 2 * half) {
            for (size_t k = 0; k < half; ++k) {
                std::complex<float> w = m_twiddles[k * stride];
                if (inverse)
                    w = std::conj(w);
                const std::complex<float> odd = w * data[start + k + half];
                data[start + k + half] = data[start + k] - odd;
                data[start + k] += odd;
            }
        }
    }
}

} // namespace sv
