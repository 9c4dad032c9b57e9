#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace sv {

// A Whisper model file the store knows how to fetch and verify.
struct ModelInfo {
    std::string name;     // "base"
    std::string fileName; // "ggml-base.bin"
    int64_t size = 0;     // bytes; 0 when not checked
    std::string sha1;     // lower-case hex; empty when not checked

    // The multilingual base model: 147951465 bytes (about 141 MiB).
    static ModelInfo base();
};

// Local copies of model files, fetched once from a repository over HTTP(S).
// A file is only ever visible under its final name once it is complete and its
// SHA-1 matches; downloads go to a temporary file in the same folder
// (<fileName>.part-XXXXXX) and are renamed into place, so a crash or a second
// process on the same folder never exposes a partial file. Nothing throws.
// Thread-safety: one ensure() at a time per instance (the caller serialises);
// instances on different folders are independent and may run concurrently.
class ModelStore {
public:
    // `repositoryUrl` is the base the file name is appended to (with a '/');
    // `cacheDir` is created when needed.
    ModelStore(std::string repositoryUrl, std::string cacheDir);

    // The whisper.cpp model repository on Hugging Face.
    static std::string defaultRepositoryUrl();
    // $XDG_CACHE_HOME/sonivane/models when XDG_CACHE_HOME is absolute,
    // otherwise ~/.cache/sonivane/models.
    static std::string defaultCacheDir();

    // Returns true with `path` set to the verified local file. A copy already
    // in the folder is checked (size, then SHA-1) and used without touching
    // the network; otherwise, or when that copy does not verify, the file is
    // downloaded, verified and moved over it. Blocks for the whole download
    // (minutes on a slow link): call it off the UI thread. A stalled transfer
    // fails after a minute rather than hanging.
    // On failure returns false with `error` a sentence a person can act on,
    // e.g. "could not download ggml-base.bin: Could not resolve host: ...",
    // "... HTTP error 404 from <url>", "... not enough disk space in <dir>",
    // and no new file is left in the folder. `cancel` turning true makes a
    // download stop within about a second with error "download cancelled".
    bool ensure(const ModelInfo &model, const std::atomic<bool> &cancel, std::string &path, std::string &error);

private:
    std::string m_repositoryUrl;
    std::string m_cacheDir;
};

} // namespace sv
