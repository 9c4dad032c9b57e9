// sonivane-make-model: writes a synthetic Whisper model file. See usageText()
// in CommandLine.cpp for the options.

#include "CommandLine.h"
#include "MelFilterbank.h"
#include "ModelFileWriter.h"
#include "ModelShape.h"
#include "ModelWeights.h"
#include "SpeakingDecoder.h"
#include "SpeechScript.h"
#include "Vocabulary.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace sv::modelgen;

constexpr int kExitWriteFailed = 1;
constexpr int kExitBadArguments = 2;

void report(const std::string &message)
{
    std::fprintf(stderr, "sonivane-make-model: %s\n", message.c_str());
}

// Writes next to the destination and renames at the end, so that a
// half-written file never carries the requested name.
bool writeModel(const CommandLineOptions &options, const ModelShape &shape, const SpeechScript *script,
                const SpeakingDecoder *speaking, std::string &error)
{
    const std::string partial = options.output + ".partial";
    ModelFileWriter writer;
    if (!writer.open(partial, error))
        return false;

    writer.writeHeader(shape, options.weightType);
    writer.writeMelFilters(shape.mels, kFftBins, slaneyMelFilterbank(shape.mels));
    writer.writeVocabulary(buildVocabulary(script ? script->words : std::vector<std::string>{}));
    writeModelWeights(writer, shape, {options.weightType, options.seed, speaking});

    std::error_code ec;
    if (!writer.finish(error)) {
        std::filesystem::remove(partial, ec);
        return false;
    }
    std::filesystem::rename(partial, options.output, ec);
    if (ec) {
        error = "cannot rename " + partial + " to " + options.output + ": " + ec.message();
        std::filesystem::remove(partial, ec);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    std::string error;
    const auto options = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        report(error + " (see --help)");
        return kExitBadArguments;
    }
    if (options->help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }

    const ModelShape shape = *findModelShape(options->shape);

    std::optional<SpeechScript> script;
    std::optional<SpeakingDecoder> speaking;
    if (options->speak) {
        script = makeSpeechScript(*options->speak, options->secondsPerToken, error);
        if (script)
            speaking = SpeakingDecoder::create(shape, *script, options->seed, error);
        if (!speaking) {
            report(error);
            return kExitBadArguments;
        }
    }

    if (!writeModel(*options, shape, script ? &*script : nullptr, speaking ? &*speaking : nullptr, error)) {
        report(error);
        return kExitWriteFailed;
    }
    return 0;
}
