#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sv::modelgen {

// Token ids whisper.cpp derives for a multilingual (51865-token) vocabulary.
// Ids above kTimestampBegin are timestamps, 20 ms apart: kTimestampBegin + n
// stands for n * 0.02 s.
namespace tokens {
inline constexpr int32_t kEndOfText = 50257;
inline constexpr int32_t kStartOfTranscript = 50258;
inline constexpr int32_t kEnglish = 50259; // first of 99 language tokens
inline constexpr int32_t kTranslate = 50358;
inline constexpr int32_t kTranscribe = 50359;
inline constexpr int32_t kNoTimestamps = 50363;
inline constexpr int32_t kTimestampBegin = 50364; // <|0.00|>
inline constexpr int32_t kLastTimestamp = 51864;  // <|30.00|>
inline constexpr double kSecondsPerTimestamp = 0.02;

// The ids stored in the file: the ordinary tokens. whisper.cpp names the
// special tokens after them itself, as it does for converted models.
inline constexpr int32_t kStoredCount = 50257;

// Where the words of a spoken text go; below are single characters.
inline constexpr int32_t kFirstWord = 256;
} // namespace tokens

// The stored vocabulary: printable ASCII characters at their own byte value
// (so any ASCII prompt can be tokenised, and " " exists, which whisper.cpp
// looks up when suppressing blanks), made-up words " w<id>" elsewhere, and
// `words` at kFirstWord onwards. Every entry is non-empty. Words beyond the
// stored range are ignored; callers keep within it.
std::vector<std::string> buildVocabulary(const std::vector<std::string> &words);

} // namespace sv::modelgen
