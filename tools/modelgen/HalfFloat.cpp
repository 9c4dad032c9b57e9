#include "HalfFloat.h"

#include <bit>

namespace sv::modelgen {

uint16_t toHalf(float value)
{
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
    const uint32_t magnitude = bits & 0x7fffffffu;

    if (magnitude > 0x7f800000u)
        return sign | 0x7e00u;
    if (magnitude >= 0x477ff000u) // rounds past 65504
        return sign | 0x7c00u;
    if (magnitude < 0x33000000u) // below half of the smallest subnormal
        return sign;

    const int exponent = static_cast<int>(magnitude >> 23) - 127;
    uint32_t mantissa = (magnitude & 0x7fffffu) | 0x800000u; // implicit one made explicit

    // Normal halves keep 10 fraction bits; subnormals lose more, one per step
    // below the smallest normal exponent.
    const int shift = exponent >= -14 ? 13 : 13 + (-14 - exponent);
    const uint32_t halfway = 1u << (shift - 1);
    const uint32_t remainder = mantissa & ((1u << shift) - 1);
    mantissa >>= shift;
    if (remainder > halfway || (remainder == halfway && (mantissa & 1u)))
        ++mantissa;

    if (exponent >= -14) {
        // A carry out of the mantissa lands in the exponent, which is the
        // correct result (up to infinity, excluded above).
        const uint32_t half = (static_cast<uint32_t>(exponent + 15) << 10) + (mantissa - 0x400u);
        return sign | static_cast<uint16_t>(half);
    }
    return sign | static_cast<uint16_t>(mantissa);
}

} // namespace sv::modelgen
