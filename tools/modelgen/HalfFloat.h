#pragma once

#include <cstdint>

namespace sv::modelgen {

// IEEE 754 binary16 bits for `value`, rounded to nearest even; values beyond
// the half range become infinities, NaN stays NaN. Pure function.
uint16_t toHalf(float value);

} // namespace sv::modelgen
