#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sv::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it on destruction.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    std::filesystem::path file(const std::string &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Runs the built sonivane-make-model with `args` (each passed as one
// argument), its diagnostics discarded; returns its exit status, or -1 if
// it could not be run.
int runModelGenerator(const std::vector<std::string> &args);

// The file's bytes; empty if it cannot be read.
std::string readFile(const std::filesystem::path &path);

} // namespace sv::test
