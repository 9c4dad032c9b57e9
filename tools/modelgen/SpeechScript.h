#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv::modelgen {

// One step of the decoder's lookup: fed token `from`, it predicts `to`, a
// weighted mix where the first entry wins and later ones are fallbacks for
// when whisper.cpp's sampling rules forbid the first.
struct TokenTransition {
    int32_t from = 0;
    std::vector<std::pair<int32_t, float>> to;
};

// What a speaking model says: each word of the text as its own token (each
// occurrence a separate id, so every token has exactly one successor), and
// the transitions that make greedy decoding produce
//   <|0.00|> word... <|end|> <|endoftext|>
// after whisper.cpp's prompt (start-of-transcript, language, task), and
// English after start-of-transcript alone (language detection).
struct SpeechScript {
    std::vector<std::string> words;   // vocabulary strings, each " <word>"
    std::vector<int32_t> wordTokens;  // their ids
    int32_t endTimestamp = 0;         // token id of <|end|>
    std::vector<TokenTransition> transitions;
};

// The most words one 30 s window can carry: whisper.cpp samples at most
// 220 tokens per window, three of which are timestamps and end-of-text.
inline constexpr int kMaxSpokenWords = 200;

// A script for `text`, split at whitespace, whose closing timestamp lies
// `secondsPerWord` per word after 0 (at least one 20 ms step, at most
// 30 s). Empty with `error` set when the text has no words, more than
// kMaxSpokenWords, or secondsPerWord is not positive.
std::optional<SpeechScript> makeSpeechScript(std::string_view text, double secondsPerWord, std::string &error);

} // namespace sv::modelgen
