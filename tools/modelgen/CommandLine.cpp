#include "CommandLine.h"

#include "ModelShape.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace sv::modelgen {

namespace {

bool parseSeed(const std::string &text, uint64_t &seed)
{
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, seed);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool parseSeconds(const std::string &text, double &seconds)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(seconds) && seconds > 0.0 && seconds <= 30.0;
}

} // namespace

std::string usageText()
{
    return R"(Usage: sonivane-make-model --shape tiny|base [options] OUTPUT.bin

Writes a synthetic Whisper model in whisper.cpp's ggml format, for tests and
benchmarks. No real weights are involved: the output is noise unless
--speak is given.

  --shape tiny|base        base: Whisper base's dimensions (6+6 layers, 512
                           wide, about 148 MB in f16); tiny: 1+1 layers, 64
                           wide, about 8 MB. Both use the 51865-token
                           multilingual vocabulary and a 30 s audio window.
  --ftype f16|f32          storage of matrices and convolutions (default f16).
                           whisper.cpp 1.9.1 loads f32 files but its CPU
                           encoder aborts on f32 convolution kernels, so
                           only f16 files can transcribe there.
  --seed N                 random weights are a function of N (default 1);
                           the same arguments always give the same file
  --speak "TEXT"           make greedy decoding (whisper_full with default
                           parameters) transcribe any audio as exactly TEXT,
                           once per 30 s window: " TEXT" in one segment,
                           words separated by single spaces. Each word
                           becomes one vocabulary token. The encoder stays
                           random, so encoding costs what it really costs.
                           At most 55 words for tiny, 200 for base.
  --seconds-per-token X    with --speak: the segment ends X seconds per word
                           after 0 (default 0.3, capped at 30 s)
  -h, --help               show this text

Exit status: 0 written, 1 failed to write, 2 bad arguments.
)";
}

std::optional<CommandLineOptions> parseCommandLine(const std::vector<std::string> &args, std::string &error)
{
    CommandLineOptions options;
    bool secondsGiven = false;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return options;
        }
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            if (!options.output.empty()) {
                error = "more than one output file given";
                return std::nullopt;
            }
            options.output = arg;
            continue;
        }

        std::string value;
        const auto equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        } else if (arg == "--shape" || arg == "--ftype" || arg == "--seed" || arg == "--speak" ||
                   arg == "--seconds-per-token") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }

        if (arg == "--shape") {
            if (!findModelShape(value)) {
                error = "unknown shape '" + value + "' (tiny or base)";
                return std::nullopt;
            }
            options.shape = value;
        } else if (arg == "--ftype") {
            if (value == "f16") {
                options.weightType = WeightType::F16;
            } else if (value == "f32") {
                options.weightType = WeightType::F32;
            } else {
                error = "unknown ftype '" + value + "' (f16 or f32)";
                return std::nullopt;
            }
        } else if (arg == "--seed") {
            if (!parseSeed(value, options.seed)) {
                error = "the seed must be a non-negative integer, not '" + value + "'";
                return std::nullopt;
            }
        } else if (arg == "--speak") {
            options.speak = value;
        } else if (arg == "--seconds-per-token") {
            if (!parseSeconds(value, options.secondsPerToken)) {
                error = "seconds per token must be a number above 0 and at most 30, not '" + value + "'";
                return std::nullopt;
            }
            secondsGiven = true;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }

    if (options.shape.empty()) {
        error = "--shape is required";
        return std::nullopt;
    }
    if (options.output.empty()) {
        error = "no output file given";
        return std::nullopt;
    }
    if (secondsGiven && !options.speak) {
        error = "--seconds-per-token only applies with --speak";
        return std::nullopt;
    }
    return options;
}

} // namespace sv::modelgen
