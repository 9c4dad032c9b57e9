#include "Vocabulary.h"

namespace sv::modelgen {

std::vector<std::string> buildVocabulary(const std::vector<std::string> &words)
{
    std::vector<std::string> vocabulary(tokens::kStoredCount);
    for (int32_t id = 0; id < tokens::kStoredCount; ++id) {
        if (id >= ' ' && id <= '~')
            vocabulary[id] = std::string(1, static_cast<char>(id));
        else
            vocabulary[id] = " w" + std::to_string(id);
    }
    for (size_t i = 0; i < words.size() && tokens::kFirstWord + i < vocabulary.size(); ++i)
        vocabulary[tokens::kFirstWord + i] = words[i];
    return vocabulary;
}

} // namespace sv::modelgen
