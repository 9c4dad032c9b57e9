#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace sv::test {

// What the server answers for one path. Every reply closes the connection
// afterwards, so each request is one connection.
struct HttpReply {
    enum class Kind { Full, Status, CutAfter, StallAfter, Redirect };

    Kind kind = Kind::Full;
    int status = 200;
    std::string body;
    size_t sentBytes = 0; // CutAfter, StallAfter: how much of `body` goes out
    std::string location; // Redirect

    static HttpReply full(std::string body);
    static HttpReply status404();
    // Announces the whole body's Content-Length, sends `sent` bytes, closes.
    static HttpReply cutAfter(std::string body, size_t sent);
    // As cutAfter, but keeps the connection open until the client leaves or
    // the server stops.
    static HttpReply stallAfter(std::string body, size_t sent);
    static HttpReply redirect(std::string location);
};

// A minimal HTTP/1.1 server on 127.0.0.1 with a kernel-chosen port, serving
// requests one at a time on its own thread. Unknown paths get 404. Replies may
// be changed between requests from the test thread.
class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer &) = delete;
    LoopbackHttpServer &operator=(const LoopbackHttpServer &) = delete;

    // "http://127.0.0.1:<port>", no trailing slash.
    std::string url() const;
    void setReply(const std::string &path, HttpReply reply);
    int requestCount() const { return m_requests.load(); }
    // True once a StallAfter reply has sent its part, false at the deadline.
    bool waitUntilStalled(std::chrono::milliseconds timeout);
    // Closes the listening socket: later connections are refused.
    void stop();

private:
    void serve();
    void answer(int client);
    bool readRequestPath(int client, std::string &path);
    bool sendAll(int client, const char *data, size_t size);

    int m_listenFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<int> m_requests{0};

    std::mutex m_mutex;
    std::condition_variable m_stalledChanged;
    bool m_stalled = false;
    std::map<std::string, HttpReply> m_replies;
};

} // namespace sv::test
