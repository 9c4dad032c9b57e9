#include "SpeechScript.h"

#include "Vocabulary.h"

#include <algorithm>
#include <cmath>

namespace sv::modelgen {

namespace {

std::vector<std::string> splitWords(std::string_view text)
{
    std::vector<std::string> words;
    std::string current;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            if (!current.empty())
                words.push_back(" " + current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        words.push_back(" " + current);
    return words;
}

// The weight of end-of-text beside the closing timestamp after the last
// word: large enough to beat every unrelated token when timestamps are
// switched off, small enough that the timestamp wins clearly otherwise.
constexpr float kEndOfTextFallback = 0.4f;

} // namespace

std::optional<SpeechScript> makeSpeechScript(std::string_view text, double secondsPerWord, std::string &error)
{
    SpeechScript script;
    script.words = splitWords(text);
    if (script.words.empty()) {
        error = "the text to speak has no words";
        return std::nullopt;
    }
    if (script.words.size() > static_cast<size_t>(kMaxSpokenWords)) {
        error = "the text to speak has " + std::to_string(script.words.size()) + " words; at most " +
                std::to_string(kMaxSpokenWords) + " fit one window";
        return std::nullopt;
    }
    if (!(secondsPerWord > 0.0) || !std::isfinite(secondsPerWord)) {
        error = "seconds per token must be a positive number";
        return std::nullopt;
    }

    const int wordCount = static_cast<int>(script.words.size());
    for (int i = 0; i < wordCount; ++i)
        script.wordTokens.push_back(tokens::kFirstWord + i);

    const int maxSteps = tokens::kLastTimestamp - tokens::kTimestampBegin;
    const double steps = std::round(wordCount * secondsPerWord / tokens::kSecondsPerTimestamp);
    script.endTimestamp = tokens::kTimestampBegin + static_cast<int32_t>(std::clamp(steps, 1.0, double(maxSteps)));

    auto &t = script.transitions;
    const int32_t firstWord = script.wordTokens.front();
    t.push_back({tokens::kStartOfTranscript, {{tokens::kEnglish, 1.0f}}});
    t.push_back({tokens::kTranscribe, {{tokens::kTimestampBegin, 1.0f}}});
    t.push_back({tokens::kTranslate, {{tokens::kTimestampBegin, 1.0f}}});
    // With timestamps off, the prompt ends in <|notimestamps|> and the text
    // starts right away.
    t.push_back({tokens::kNoTimestamps, {{firstWord, 1.0f}}});
    t.push_back({tokens::kTimestampBegin, {{firstWord, 1.0f}}});
    for (int i = 0; i + 1 < wordCount; ++i)
        t.push_back({script.wordTokens[i], {{script.wordTokens[i + 1], 1.0f}}});
    t.push_back({script.wordTokens.back(), {{script.endTimestamp, 1.0f}, {tokens::kEndOfText, kEndOfTextFallback}}});
    t.push_back({script.endTimestamp, {{tokens::kEndOfText, 1.0f}}});
    return script;
}

} // namespace sv::modelgen
