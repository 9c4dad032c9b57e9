#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace sv {

// In-place radix-2 complex FFT of one fixed power-of-two size. Twiddles and
// the bit-reversal order are computed once in the constructor, so transform()
// allocates nothing. Not thread-safe only in the sense that one instance holds
// no per-call state: concurrent calls on separate data are fine.
class Fft {
public:
    explicit Fft(size_t size); // size must be a power of two, at least 2
    size_t size() const { return m_size; }
    // Forward transform (e^{-i...}); `inverse` computes the unscaled inverse.
    void transform(std::vector<std::complex<float>> &data, bool inverse = false) const;

private:
    size_t m_size;
    std::vector<std::complex<float>> m_twiddles; // e^{-2 pi i k / size}, k < size / 2
    std::vector<size_t> m_reversed;              // bit-reversed index of each position
};

} // namespace sv
