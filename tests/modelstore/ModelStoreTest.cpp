#include "platform/ModelStore.h"
#include "tests/modelstore/LoopbackHttpServer.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <set>

namespace sv {
namespace {

namespace fs = std::filesystem;
using test::HttpReply;
using test::LoopbackHttpServer;

constexpr size_t kModelBytes = 300 * 1024;
const std::string kRepoPath = "/repo";
const std::string kFilePath = "/repo/ggml-fake.bin";

std::string generatedModelBytes()
{
    std::string bytes(kModelBytes, '\0');
    uint32_t state = 12345;
    for (char &b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string sha1Hex(const std::string &bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha1).toHex().toStdString();
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class ModelStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A proxy from the environment would swallow requests to the loopback server.
        for (const char *name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            ::unsetenv(name);
        ASSERT_TRUE(m_tmp.isValid());
        m_cacheDir = m_tmp.path().toStdString() + "/models";
        m_server.setReply(kFilePath, HttpReply::full(m_body));
    }

    bool ensure(const std::string &repositoryUrl, const std::string &cacheDir)
    {
        m_path.clear();
        m_error.clear();
        ModelStore store(repositoryUrl, cacheDir);
        return store.ensure(m_model, m_cancel, m_path, m_error);
    }
    bool ensure() { return ensure(m_server.url() + kRepoPath, m_cacheDir); }

    std::set<std::string> filesInCache() const
    {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto &entry : fs::directory_iterator(m_cacheDir, ec))
            names.insert(entry.path().filename().string());
        return names;
    }

    std::string finalPath() const { return m_cacheDir + "/ggml-fake.bin"; }

    QTemporaryDir m_tmp;
    std::string m_cacheDir;
    const std::string m_body = generatedModelBytes();
    const ModelInfo m_model{"fake", "ggml-fake.bin", static_cast<int64_t>(kModelBytes), sha1Hex(m_body)};
    LoopbackHttpServer m_server;
    std::atomic<bool> m_cancel{false};
    std::string m_path;
    std::string m_error;
};

TEST_F(ModelStoreTest, DownloadsVerifiesAndLeavesOnlyTheFinalFile)
{
    ASSERT_TRUE(ensure()) << m_error;
    EXPECT_EQ(m_path, finalPath());
    EXPECT_EQ(readFile(m_path), m_body);
    EXPECT_EQ(filesInCache(), std::set<std::string>{"ggml-fake.bin"});
}

TEST_F(ModelStoreTest, FollowsRedirectToFileStorage)
{
    m_server.setReply(kFilePath, HttpReply::redirect(m_server.url() + "/storage/abc"));
    m_server.setReply("/storage/abc", HttpReply::full(m_body));
    ASSERT_TRUE(ensure()) << m_error;
    EXPECT_EQ(readFile(m_path), m_body);
}

TEST_F(ModelStoreTest, ReusesVerifiedCopyWithoutNetwork)
{
    ASSERT_TRUE(ensure()) << m_error;
    m_server.stop();
    ASSERT_TRUE(ensure()) << m_error;
    EXPECT_EQ(m_path, finalPath());
    EXPECT_EQ(m_server.requestCount(), 1);
}

TEST_F(ModelStoreTest, ReplacesCachedCopyThatDoesNotVerify)
{
    std::string sameSizeWrongBytes = m_body;
    sameSizeWrongBytes[kModelBytes / 2] ^= 0x01;
    const std::string truncated = m_body.substr(0, kModelBytes - 1);
    fs::create_directories(m_cacheDir);
    for (const std::string &bad : {sameSizeWrongBytes, truncated}) {
        writeFile(finalPath(), bad);
        const int before = m_server.requestCount();
        ASSERT_TRUE(ensure()) << m_error;
        EXPECT_EQ(m_server.requestCount(), before + 1);
        EXPECT_EQ(readFile(finalPath()), m_body);
        EXPECT_EQ(filesInCache(), std::set<std::string>{"ggml-fake.bin"});
    }
}

struct FailedDownload {
    const char *name;
    HttpReply (*reply)(const std::string &body);
    const char *errorFragment;
};

void PrintTo(const FailedDownload &c, std::ostream *os)
{
    *os << c.name;
}

class ModelStoreFailureTest : public ModelStoreTest, public ::testing::WithParamInterface<FailedDownload> {};

TEST_P(ModelStoreFailureTest, FailsCleanlyAndALaterGoodDownloadWorks)
{
    const FailedDownload &c = GetParam();
    std::string repositoryUrl = m_server.url() + kRepoPath;
    std::unique_ptr<LoopbackHttpServer> goneServer;
    if (c.reply == nullptr) {
        goneServer = std::make_unique<LoopbackHttpServer>();
        repositoryUrl = goneServer->url() + kRepoPath;
        goneServer->stop();
    } else {
        m_server.setReply(kFilePath, c.reply(m_body));
    }

    EXPECT_FALSE(ensure(repositoryUrl, m_cacheDir));
    EXPECT_EQ(m_error.rfind("could not download ggml-fake.bin: ", 0), 0u) << m_error;
    EXPECT_NE(m_error.find(c.errorFragment), std::string::npos) << m_error;
    EXPECT_TRUE(filesInCache().empty());

    m_server.setReply(kFilePath, HttpReply::full(m_body));
    ASSERT_TRUE(ensure()) << m_error;
    EXPECT_EQ(readFile(m_path), m_body);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelStoreFailureTest,
    ::testing::Values(
        FailedDownload{"NotFound", [](const std::string &) { return HttpReply::status404(); },
                       "HTTP error 404 from http://127.0.0.1:"},
        FailedDownload{"ServerGone", nullptr, "Failed to connect"},
        FailedDownload{"ConnectionCutMidBody",
                       [](const std::string &body) { return HttpReply::cutAfter(body, kModelBytes / 2); },
                       "the downloaded file is incomplete (153600 of 307200 bytes)"},
        FailedDownload{"ServerFileShorter",
                       [](const std::string &body) { return HttpReply::full(body.substr(0, kModelBytes - 10)); },
                       "the downloaded file is incomplete (307190 of 307200 bytes)"},
        FailedDownload{"ServerFileLonger", [](const std::string &body) { return HttpReply::full(body + "extra"); },
                       "the server sent more than the expected 307200 bytes"},
        FailedDownload{"WrongChecksum",
                       [](const std::string &body) {
                           std::string wrong = body;
                           wrong[0] ^= 0x01;
                           return HttpReply::full(wrong);
                       },
                       "the downloaded file is corrupt (checksum mismatch)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ModelStoreTest, CancelStopsAStalledDownload)
{
    m_server.setReply(kFilePath, HttpReply::stallAfter(m_body, 1000));
    auto result = std::async(std::launch::async, [this] { return ensure(); });
    ASSERT_TRUE(m_server.waitUntilStalled(std::chrono::seconds(10)));
    m_cancel = true;
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_EQ(m_error, "download cancelled");
    EXPECT_TRUE(filesInCache().empty());
}

TEST_F(ModelStoreTest, CacheFolderThatCannotBeCreatedGivesClearError)
{
    // A regular file in the path stops creation even for root, unlike chmod.
    const std::string blocker = m_tmp.path().toStdString() + "/afile";
    writeFile(blocker, "x");
    const std::string cacheDir = blocker + "/models";
    EXPECT_FALSE(ensure(m_server.url() + kRepoPath, cacheDir));
    EXPECT_EQ(m_error, "could not download ggml-fake.bin: cannot create the folder " + cacheDir + ": Not a directory");
    EXPECT_EQ(m_server.requestCount(), 0);
}

TEST_F(ModelStoreTest, RemovesOnlyStaleTemporaryFilesOfEarlierRuns)
{
    fs::create_directories(m_cacheDir);
    const std::string stale = m_cacheDir + "/ggml-fake.bin.part-OLD123";
    const std::string recent = m_cacheDir + "/ggml-fake.bin.part-NEW123";
    writeFile(stale, "left by a crash");
    writeFile(recent, "another download in progress");
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));

    ASSERT_TRUE(ensure()) << m_error;
    EXPECT_EQ(filesInCache(), (std::set<std::string>{"ggml-fake.bin", "ggml-fake.bin.part-NEW123"}));
}

TEST(ModelStoreDefaults, CacheDirFollowsXdgCacheHomeOnlyWhenAbsolute)
{
    const std::string home = "/home/someone";
    ::setenv("HOME", home.c_str(), 1);
    struct Case {
        const char *xdg;
        std::string expected;
    };
    for (const Case &c : {Case{"/var/cache/me", "/var/cache/me/sonivane/models"},
                          Case{"relative/cache", home + "/.cache/sonivane/models"},
                          Case{nullptr, home + "/.cache/sonivane/models"}}) {
        if (c.xdg != nullptr)
            ::setenv("XDG_CACHE_HOME", c.xdg, 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
        EXPECT_EQ(ModelStore::defaultCacheDir(), c.expected) << (c.xdg ? c.xdg : "(unset)");
    }
}

} // namespace
} // namespace sv
