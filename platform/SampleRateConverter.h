#pragma once

#include "AudioBuffer.h"

#include <cstddef>
#include <memory>

namespace sv {

// Streaming conversion of captured buffers to 16 kHz mono float. The
// resampler's state is kept from one buffer to the next. Used from the
// capture thread only.
class SampleRateConverter {
public:
    virtual ~SampleRateConverter() = default;
    // Converts one buffer into `out` (room for `capacity` frames). Returns
    // false on a conversion error; `produced` is the number of frames written.
    // Output beyond `capacity` is kept and comes first on the next call. The
    // resampler holds back its filter delay (a few hundred output frames), so
    // a stream's output trails its input by that much.
    virtual bool convert(const AudioBuffer &in, float *out, size_t capacity, size_t &produced) = 0;
};

// None when the input or output rate is not a finite positive number, or the
// input has no channels. Equal rates only mix down, without delay.
std::unique_ptr<SampleRateConverter> makeSampleRateConverter(const AudioFormat &input, double outputRate);

} // namespace sv
