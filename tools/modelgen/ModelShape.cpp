#include "ModelShape.h"

namespace sv::modelgen {

namespace {

// Both shapes keep the multilingual vocabulary, so whisper.cpp uses the
// standard special token ids, and the 1500-frame audio context that its
// 30 s window assumes. Tiny keeps one decoder layer rather than two, as
// whisper.cpp treats two-layer decoders as distilled models and turns
// timestamps off for them.
ModelShape tinyShape()
{
    ModelShape s;
    s.name = "tiny";
    s.vocabSize = 51865;
    s.audioContext = 1500;
    s.audioState = 64;
    s.audioHeads = 2;
    s.audioLayers = 1;
    s.textContext = 448;
    s.textState = 64;
    s.textHeads = 2;
    s.textLayers = 1;
    s.mels = 80;
    return s;
}

ModelShape baseShape()
{
    ModelShape s;
    s.name = "base";
    s.vocabSize = 51865;
    s.audioContext = 1500;
    s.audioState = 512;
    s.audioHeads = 8;
    s.audioLayers = 6;
    s.textContext = 448;
    s.textState = 512;
    s.textHeads = 8;
    s.textLayers = 6;
    s.mels = 80;
    return s;
}

} // namespace

std::optional<ModelShape> findModelShape(std::string_view name)
{
    if (name == "tiny")
        return tinyShape();
    if (name == "base")
        return baseShape();
    return std::nullopt;
}

} // namespace sv::modelgen
