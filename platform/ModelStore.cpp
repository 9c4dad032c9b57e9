#include "platform/ModelStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <curl/curl.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace sv {

namespace {

namespace fs = std::filesystem;

constexpr long kConnectTimeoutSeconds = 30;
// A transfer slower than this for this long is treated as dead, so a stalled
// connection ends in an error the user sees instead of an endless "loading".
constexpr long kLowSpeedBytesPerSecond = 1024;
constexpr long kLowSpeedSeconds = 60;
// Temporary files older than this cannot belong to a live download: a live
// one writes at least every kLowSpeedSeconds or is aborted.
constexpr auto kStalePartAge = std::chrono::hours(1);
constexpr qint64 kHashChunkBytes = 1 << 20;

bool curlReady()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

std::string lowerCase(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string mebibytes(int64_t bytes)
{
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB";
}

// True when the file at `path` has the expected size (if known) and SHA-1 (if
// known). Reads in chunks so a model of hundreds of MiB never sits in memory.
bool fileMatches(const std::string &path, const ModelInfo &model)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (model.size != 0 && file.size() != model.size)
        return false;
    if (model.sha1.empty())
        return true;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(kHashChunkBytes);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            return false;
        hash.addData(chunk);
    }
    return hash.result().toHex().toStdString() == lowerCase(model.sha1);
}

bool isDiskFull(int err)
{
    return err == ENOSPC || err == EDQUOT;
}

// Leftovers of downloads killed mid-way (crash, power loss) would otherwise
// keep a model's worth of disk each, forever.
void removeStaleParts(const fs::path &dir, const std::string &partPrefix)
{
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (const auto &entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(partPrefix, 0) != 0)
            continue;
        std::error_code timeEc;
        const auto modified = entry.last_write_time(timeEc);
        if (!timeEc && now - modified > kStalePartAge)
            fs::remove(entry.path(), timeEc);
    }
}

// Owns the temporary download file: closes it and removes it unless the
// download made it to its final name.
class PartFile {
public:
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    explicit PartFile(std::string pattern) : m_path(std::move(pattern))
    {
        m_fd = ::mkstemp(m_path.data());
        m_openErrno = m_fd < 0 ? errno : 0;
    }

    ~PartFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_kept && m_openErrno == 0)
            ::unlink(m_path.c_str());
    }

    int fd() const { return m_fd; }
    int openErrno() const { return m_openErrno; }
    const std::string &path() const { return m_path; }

    // Returns 0 or the errno of the first failure; close() errors matter
    // because some file systems only report a full disk there.
    int syncAndClose()
    {
        int err = ::fsync(m_fd) == 0 ? 0 : errno;
        const int closed = ::close(m_fd);
        if (closed != 0 && err == 0)
            err = errno;
        m_fd = -1;
        return err;
    }

    void keep() { m_kept = true; }

private:
    std::string m_path;
    int m_fd = -1;
    int m_openErrno = 0;
    bool m_kept = false;
};

struct Transfer {
    int fd = -1;
    int64_t expectedSize = 0; // 0 when unknown
    const std::atomic<bool> *cancel = nullptr;
    int64_t received = 0;
    int writeErrno = 0;
    bool tooLarge = false;
};

size_t writeBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t total = size * count;
    // A server sending more than the model's size is not sending the model;
    // stop before it fills the disk.
    if (t->expectedSize != 0 && t->received + static_cast<int64_t>(total) > t->expectedSize) {
        t->tooLarge = true;
        return 0;
    }
    size_t done = 0;
    while (done < total) {
        const ssize_t n = ::write(t->fd, data + done, total - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            t->writeErrno = errno;
            return 0;
        }
        done += static_cast<size_t>(n);
    }
    t->received += static_cast<int64_t>(total);
    return total;
}

// libcurl calls this at least once a second even on an idle connection, so a
// cancel takes effect promptly while the transfer is stalled too.
int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *t = static_cast<const Transfer *>(user);
    return t->cancel->load() ? 1 : 0;
}

void syncDirectory(const std::string &dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

ModelInfo ModelInfo::base()
{
    return ModelInfo{"base", "ggml-base.bin", 147951465, "465707469ff3a37a2b9b8d8f89f2f99de7299dac"};
}

ModelStore::ModelStore(std::string repositoryUrl, std::string cacheDir)
    : m_repositoryUrl(std::move(repositoryUrl)), m_cacheDir(std::move(cacheDir))
{
    while (!m_repositoryUrl.empty() && m_repositoryUrl.back() == '/')
        m_repositoryUrl.pop_back();
}

std::string ModelStore::defaultRepositoryUrl()
{
    return "https://huggingface.co/ggerganov/whisper.cpp/resolve/main";
}

std::string ModelStore::defaultCacheDir()
{
    // Relative values are invalid per the XDG base directory rules and ignored.
    const char *xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return std::string(xdg) + "/sonivane/models";
    return QDir::homePath().toStdString() + "/.cache/sonivane/models";
}

bool ModelStore::ensure(const ModelInfo &model, const std::atomic<bool> &cancel, std::string &path,
                        std::string &error)
{
    const std::string finalPath = (fs::path(m_cacheDir) / model.fileName).string();
    if (fileMatches(finalPath, model)) {
        path = finalPath;
        return true;
    }

    const std::string failed = "could not download " + model.fileName + ": ";
    const std::string diskFull = failed + "not enough disk space in " + m_cacheDir
        + (model.size != 0 ? " (" + mebibytes(model.size) + " needed)" : std::string());
    const auto writeFailure = [&](int err) {
        return isDiskFull(err) ? diskFull : failed + "cannot write to " + m_cacheDir + ": " + std::strerror(err);
    };

    if (cancel.load()) {
        error = "download cancelled";
        return false;
    }

    std::error_code dirError;
    fs::create_directories(m_cacheDir, dirError);
    if (dirError) {
        error = failed + "cannot create the folder " + m_cacheDir + ": " + dirError.message();
        return false;
    }

    const std::string partPrefix = model.fileName + ".part-";
    removeStaleParts(m_cacheDir, partPrefix);
    PartFile part((fs::path(m_cacheDir) / (partPrefix + "XXXXXX")).string());
    if (part.fd() < 0) {
        error = writeFailure(part.openErrno());
        return false;
    }

    if (!curlReady()) {
        error = failed + "the network library could not be initialised";
        return false;
    }
    CURL *curl = curl_easy_init();
    if (curl == nullptr) {
        error = failed + "the network library could not be initialised";
        return false;
    }

    const std::string url = m_repositoryUrl + "/" + model.fileName;
    Transfer transfer;
    transfer.fd = part.fd();
    transfer.expectedSize = model.size;
    transfer.cancel = &cancel;
    char curlMessage[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, curlMessage);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // The model repository answers with a redirect to its file storage.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    // Signals for name-resolution timeouts are unsafe in a threaded program.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "sonivane");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode result = curl_easy_perform(curl);
    long httpStatus = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &httpStatus);
    curl_off_t announcedSize = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announcedSize);
    curl_easy_cleanup(curl);

    const int64_t expected = model.size != 0 ? model.size : static_cast<int64_t>(announcedSize);
    const auto incomplete = [&] {
        const std::string of = expected > 0 ? " of " + std::to_string(expected) : std::string();
        return failed + "the downloaded file is incomplete (" + std::to_string(transfer.received) + of + " bytes)";
    };
    const auto wrongSize = [&] {
        return failed + "the server sent more than the expected " + std::to_string(expected) + " bytes";
    };

    if (transfer.writeErrno != 0) {
        error = writeFailure(transfer.writeErrno);
        return false;
    }
    if (transfer.tooLarge) {
        error = wrongSize();
        return false;
    }
    if (result != CURLE_OK) {
        if (result == CURLE_ABORTED_BY_CALLBACK)
            error = "download cancelled";
        else if (result == CURLE_HTTP_RETURNED_ERROR)
            error = failed + "HTTP error " + std::to_string(httpStatus) + " from " + url;
        else if (result == CURLE_PARTIAL_FILE)
            error = incomplete();
        else
            error = failed + (curlMessage[0] != '\0' ? curlMessage : curl_easy_strerror(result));
        return false;
    }
    if (expected > 0 && transfer.received < expected) {
        error = incomplete();
        return false;
    }

    if (const int err = part.syncAndClose(); err != 0) {
        error = writeFailure(err);
        return false;
    }
    // Checks the bytes as they lie on disk, not as they passed through memory.
    if (!fileMatches(part.path(), model)) {
        error = failed + "the downloaded file is corrupt (checksum mismatch)";
        return false;
    }
    if (::rename(part.path().c_str(), finalPath.c_str()) != 0) {
        error = writeFailure(errno);
        return false;
    }
    part.keep();
    syncDirectory(m_cacheDir);
    path = finalPath;
    return true;
}

} // namespace sv
