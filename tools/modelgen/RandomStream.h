#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

namespace sv::modelgen {

// A small deterministic generator (SplitMix64). Unlike the standard library's
// distributions its output is fixed by this code alone, so a seed names the
// same model file on every compiler and machine. Not thread-safe; cheap to
// create one per tensor.
class RandomStream {
public:
    explicit RandomStream(uint64_t seed) : m_state(seed) {}

    // A stream that depends only on `seed` and `name`, so that one tensor's
    // values do not change when another tensor is added or reordered.
    static RandomStream forName(uint64_t seed, std::string_view name)
    {
        uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
        for (const char c : name) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3ull;
        }
        RandomStream mixer(seed ^ hash);
        return RandomStream(mixer.next());
    }

    uint64_t next()
    {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    // Uniform, zero mean, with standard deviation `stddev`.
    float uniform(float stddev) { return static_cast<float>((2.0 * unit() - 1.0) * std::sqrt(3.0) * stddev); }

private:
    uint64_t m_state;
};

} // namespace sv::modelgen
