#pragma once

#include "ModelFileWriter.h"
#include "ModelShape.h"

#include <cstdint>

namespace sv::modelgen {

class SpeakingDecoder;

struct WeightOptions {
    WeightType matrixType = WeightType::F16; // matrices and convolutions; the rest is always f32
    uint64_t seed = 1;
    const SpeakingDecoder *speaking = nullptr; // null: a random decoder
};

// Writes every tensor whisper.cpp expects for `shape`, under its names and
// in its shapes. Weights are random, uniform, scaled by 1/sqrt(fan-in) so
// activations stay near unit size; layer norms start as identity and the
// encoder's positional embedding is Whisper's sinusoid. With a speaking
// decoder, every decoder block's attention, cross-attention and MLP output
// projection is zero except the lookup it installs; everything else,
// including the whole encoder, stays random so it costs what it would.
// Values depend only on the seed and each tensor's name.
void writeModelWeights(ModelFileWriter &writer, const ModelShape &shape, const WeightOptions &options);

} // namespace sv::modelgen
