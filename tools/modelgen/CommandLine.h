#pragma once

#include "ModelFileWriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sv::modelgen {

struct CommandLineOptions {
    bool help = false;
    std::string shape;
    WeightType weightType = WeightType::F16;
    uint64_t seed = 1;
    std::optional<std::string> speak;
    double secondsPerToken = 0.3;
    std::string output;
};

// Parses the arguments after the program name ("--name value" or
// "--name=value"). Empty with `error` set on anything unknown, missing or
// malformed; `help` set means nothing else was checked.
std::optional<CommandLineOptions> parseCommandLine(const std::vector<std::string> &args, std::string &error);

// The --help text.
std::string usageText();

} // namespace sv::modelgen
