#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sv::modelgen {

// The hyper-parameters whisper.cpp reads from a model file's header, in the
// file's order.
struct ModelShape {
    std::string name;
    int32_t vocabSize = 0;
    int32_t audioContext = 0;
    int32_t audioState = 0;
    int32_t audioHeads = 0;
    int32_t audioLayers = 0;
    int32_t textContext = 0;
    int32_t textState = 0;
    int32_t textHeads = 0;
    int32_t textLayers = 0;
    int32_t mels = 0;
};

// The named shapes: "base" (Whisper base's exact dimensions) and "tiny" (a
// few MB, for unit tests). Empty for any other name.
std::optional<ModelShape> findModelShape(std::string_view name);

} // namespace sv::modelgen
