// Models written by sonivane-make-model, loaded and run by whisper.cpp with
// the default greedy parameters.

#include "ModelGenerator.h"

#include <gtest/gtest.h>
#include <whisper.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace sv::test {

namespace {

void dropLog(ggml_log_level, const char *, void *) {}

struct ContextDeleter {
    void operator()(whisper_context *context) const { whisper_free(context); }
};
using Context = std::unique_ptr<whisper_context, ContextDeleter>;

Context loadModel(const std::filesystem::path &path)
{
    whisper_log_set(dropLog, nullptr);
    whisper_context_params params = whisper_context_default_params();
    params.use_gpu = false;
    return Context(whisper_init_from_file_with_params(path.c_str(), params));
}

std::vector<float> noise(double seconds)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<float> sample(-0.3f, 0.3f);
    std::vector<float> audio(static_cast<size_t>(seconds * WHISPER_SAMPLE_RATE));
    for (float &s : audio)
        s = sample(random);
    return audio;
}

std::string trimmed(std::string s)
{
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
    s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
    return s;
}

struct Transcript {
    int status = -1;
    std::string text; // segments joined, trimmed
    int language = -1;
};

Transcript transcribe(whisper_context *context, const std::vector<float> &audio, const char *language,
                      bool timestamps = true)
{
    whisper_full_params params = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    params.language = language;
    params.no_timestamps = !timestamps;
    Transcript t;
    t.status = whisper_full(context, params, audio.data(), static_cast<int>(audio.size()));
    for (int i = 0; i < whisper_full_n_segments(context); ++i)
        t.text += whisper_full_get_segment_text(context, i);
    t.text = trimmed(t.text);
    t.language = whisper_full_lang_id(context);
    return t;
}

std::string repeated(const std::string &text, int times)
{
    std::string result;
    for (int i = 0; i < times; ++i)
        result += (i ? " " : "") + text;
    return result;
}

const std::string kGreeting = "Hello world, this is a test.";

// 55 words, the most the tiny shape speaks, with words recurring.
const std::string kLongestTinyText = repeated("the cat and the dog ran to the park at noon.", 5);

// --- random models --------------------------------------------------------

struct RandomCase {
    const char *ftype;
    int32_t expectedFtype;
    // whisper.cpp 1.9.1 keeps an f32 file's convolution kernels in f32, and
    // its CPU im2col then aborts on them: such files load but cannot run.
    bool runnable;
};

class RandomTinyModel : public testing::TestWithParam<RandomCase> {};

TEST_P(RandomTinyModel, LoadsAndTranscribesNoise)
{
    ScratchDirectory dir;
    const auto path = dir.file("tiny.bin");
    ASSERT_EQ(runModelGenerator({"--shape", "tiny", "--ftype", GetParam().ftype, path.string()}), 0);

    const Context context = loadModel(path);
    ASSERT_TRUE(context);
    EXPECT_EQ(whisper_model_n_vocab(context.get()), 51865);
    EXPECT_TRUE(whisper_is_multilingual(context.get()));
    EXPECT_EQ(whisper_model_n_audio_ctx(context.get()), 1500);
    EXPECT_EQ(whisper_model_n_audio_state(context.get()), 64);
    EXPECT_EQ(whisper_model_n_text_layer(context.get()), 1);
    EXPECT_EQ(whisper_model_n_mels(context.get()), 80);
    EXPECT_EQ(whisper_model_ftype(context.get()), GetParam().expectedFtype);

    if (GetParam().runnable) {
        EXPECT_EQ(transcribe(context.get(), noise(2.0), "en").status, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Ftypes, RandomTinyModel,
                         testing::Values(RandomCase{"f16", 1, true}, RandomCase{"f32", 0, false}),
                         [](const auto &info) { return std::string(info.param.ftype); });

// --- speaking models ------------------------------------------------------

struct SpeakCase {
    const char *name;
    const std::string *text;
    double seconds;
    const char *language;
    bool timestamps;
    int windows; // the text comes once per 30 s window
};

class SpeakingTinyModel : public testing::TestWithParam<SpeakCase> {
protected:
    static void TearDownTestSuite()
    {
        s_models.clear();
        s_dir.reset();
    }

    // One generated model per text, shared by the cases.
    static std::filesystem::path modelFor(const std::string &text)
    {
        if (!s_dir)
            s_dir = std::make_unique<ScratchDirectory>();
        auto it = s_models.find(text);
        if (it == s_models.end()) {
            const auto path = s_dir->file("speak" + std::to_string(s_models.size()) + ".bin");
            if (runModelGenerator({"--shape", "tiny", "--speak", text, path.string()}) != 0)
                return {};
            it = s_models.emplace(text, path).first;
        }
        return it->second;
    }

    static inline std::unique_ptr<ScratchDirectory> s_dir;
    static inline std::map<std::string, std::filesystem::path> s_models;
};

TEST_P(SpeakingTinyModel, TranscribesAnyAudioAsTheText)
{
    const SpeakCase &c = GetParam();
    const auto path = modelFor(*c.text);
    ASSERT_FALSE(path.empty());
    const Context context = loadModel(path);
    ASSERT_TRUE(context);

    const Transcript t = transcribe(context.get(), noise(c.seconds), c.language, c.timestamps);
    EXPECT_EQ(t.status, 0);
    EXPECT_EQ(t.text, repeated(*c.text, c.windows));
    EXPECT_EQ(t.language, whisper_lang_id("en"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpeakingTinyModel,
    testing::Values(SpeakCase{"OneSecond", &kGreeting, 1.0, "en", true, 1},
                    SpeakCase{"TenSeconds", &kGreeting, 10.0, "en", true, 1},
                    SpeakCase{"DetectedLanguage", &kGreeting, 10.0, "auto", true, 1},
                    SpeakCase{"WithoutTimestamps", &kGreeting, 10.0, "en", false, 1},
                    // The second window's prompt carries the first one's text.
                    SpeakCase{"TwoWindows", &kGreeting, 40.0, "en", true, 2},
                    SpeakCase{"LongestText", &kLongestTinyText, 3.0, "en", true, 1}),
    [](const auto &info) { return std::string(info.param.name); });

// The base shape is the only one with several layers per stack.
TEST(SpeakingBaseModel, HasWhisperBaseDimensionsAndSpeaks)
{
    ScratchDirectory dir;
    const auto path = dir.file("base.bin");
    ASSERT_EQ(runModelGenerator({"--shape", "base", "--speak", kGreeting, path.string()}), 0);

    const Context context = loadModel(path);
    ASSERT_TRUE(context);
    EXPECT_EQ(whisper_model_n_vocab(context.get()), 51865);
    EXPECT_EQ(whisper_model_n_audio_ctx(context.get()), 1500);
    EXPECT_EQ(whisper_model_n_audio_state(context.get()), 512);
    EXPECT_EQ(whisper_model_n_audio_head(context.get()), 8);
    EXPECT_EQ(whisper_model_n_audio_layer(context.get()), 6);
    EXPECT_EQ(whisper_model_n_text_ctx(context.get()), 448);
    EXPECT_EQ(whisper_model_n_text_state(context.get()), 512);
    EXPECT_EQ(whisper_model_n_text_head(context.get()), 8);
    EXPECT_EQ(whisper_model_n_text_layer(context.get()), 6);
    EXPECT_EQ(whisper_model_ftype(context.get()), 1);
    EXPECT_EQ(std::string(whisper_model_type_readable(context.get())), "base");

    EXPECT_EQ(transcribe(context.get(), noise(1.0), "en").text, kGreeting);
}

// --- the tool's contract --------------------------------------------------

TEST(ModelGeneratorTool, SameArgumentsGiveTheSameFileAndTheSeedChangesIt)
{
    ScratchDirectory dir;
    const auto first = dir.file("a.bin"), again = dir.file("b.bin"), reseeded = dir.file("c.bin");
    ASSERT_EQ(runModelGenerator({"--shape", "tiny", "--seed", "7", first.string()}), 0);
    ASSERT_EQ(runModelGenerator({"--shape", "tiny", "--seed=7", again.string()}), 0);
    ASSERT_EQ(runModelGenerator({"--shape", "tiny", "--seed", "8", reseeded.string()}), 0);

    const std::string bytes = readFile(first);
    EXPECT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes == readFile(again));
    EXPECT_EQ(bytes.size(), readFile(reseeded).size());
    EXPECT_FALSE(bytes == readFile(reseeded));
}

TEST(ModelGeneratorTool, RejectsBadArgumentsWithoutWritingAFile)
{
    ScratchDirectory dir;
    const std::string out = dir.file("model.bin").string();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--shape", "tiny"},
        {out},
        {"--shape", "huge", out},
        {"--shape", "tiny", "--ftype", "q8_0", out},
        {"--shape", "tiny", "--seed", "-3", out},
        {"--shape", "tiny", "--bogus", out},
        {"--shape", "tiny", out, out + "2"},
        {"--shape", "tiny", "--seconds-per-token", "0.5", out},
        {"--shape", "tiny", "--speak", " \t ", out},
        {"--shape", "tiny", "--speak", "hi", "--seconds-per-token", "0", out},
        {"--shape", "tiny", "--speak", kLongestTinyText + " one more", out},
        {"--shape", "base", "--speak", repeated("word", 201), out},
    };
    for (const auto &args : cases) {
        std::string joined;
        for (const auto &a : args)
            joined += " [" + a + "]";
        EXPECT_EQ(runModelGenerator(args), 2) << joined;
        EXPECT_FALSE(std::filesystem::exists(out)) << joined;
        EXPECT_FALSE(std::filesystem::exists(out + ".partial")) << joined;
    }
}

} // namespace

} // namespace sv::test
