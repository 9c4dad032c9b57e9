#include "tests/modelstore/LoopbackHttpServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sv::test {

HttpReply HttpReply::full(std::string body)
{
    HttpReply r;
    r.body = std::move(body);
    return r;
}

HttpReply HttpReply::status404()
{
    HttpReply r;
    r.kind = Kind::Status;
    r.status = 404;
    r.body = "Entry not found";
    return r;
}

HttpReply HttpReply::cutAfter(std::string body, size_t sent)
{
    HttpReply r;
    r.kind = Kind::CutAfter;
    r.body = std::move(body);
    r.sentBytes = sent;
    return r;
}

HttpReply HttpReply::stallAfter(std::string body, size_t sent)
{
    HttpReply r = cutAfter(std::move(body), sent);
    r.kind = Kind::StallAfter;
    return r;
}

HttpReply HttpReply::redirect(std::string location)
{
    HttpReply r;
    r.kind = Kind::Redirect;
    r.status = 302;
    r.location = std::move(location);
    return r;
}

LoopbackHttpServer::LoopbackHttpServer()
{
    int wake[2];
    if (::pipe(wake) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];

    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listenFd, 8) != 0
        || ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error(std::string("loopback server: ") + std::strerror(errno));
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    stop();
    ::close(m_wakeRead);
    ::close(m_wakeWrite);
}

std::string LoopbackHttpServer::url() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void LoopbackHttpServer::setReply(const std::string &path, HttpReply reply)
{
    std::lock_guard lock(m_mutex);
    m_replies[path] = std::move(reply);
}

bool LoopbackHttpServer::waitUntilStalled(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_stalledChanged.wait_for(lock, timeout, [this] { return m_stalled; });
}

void LoopbackHttpServer::stop()
{
    if (!m_thread.joinable())
        return;
    const char byte = 0;
    (void)!::write(m_wakeWrite, &byte, 1);
    m_thread.join();
    ::close(m_listenFd);
    m_listenFd = -1;
}

void LoopbackHttpServer::serve()
{
    for (;;) {
        pollfd fds[2] = {{m_wakeRead, POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0)
            return;
        if (fds[1].revents & POLLIN) {
            const int client = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                answer(client);
                ::close(client);
            }
        }
    }
}

bool LoopbackHttpServer::readRequestPath(int client, std::string &path)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd fds[2] = {{m_wakeRead, POLLIN, 0}, {client, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[0].revents != 0)
            return false;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        request.append(buffer, static_cast<size_t>(n));
    }
    // "GET /path HTTP/1.1"
    const size_t start = request.find(' ');
    const size_t end = request.find(' ', start + 1);
    if (start == std::string::npos || end == std::string::npos)
        return false;
    path = request.substr(start + 1, end - start - 1);
    return true;
}

bool LoopbackHttpServer::sendAll(int client, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(client, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void LoopbackHttpServer::answer(int client)
{
    std::string path;
    if (!readRequestPath(client, path))
        return;
    ++m_requests;

    HttpReply reply = HttpReply::status404();
    {
        std::lock_guard lock(m_mutex);
        if (const auto found = m_replies.find(path); found != m_replies.end())
            reply = found->second;
    }

    const char *reason = reply.status == 200 ? "OK" : reply.status == 302 ? "Found" : "Not Found";
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason + "\r\n"
        + "Content-Length: " + std::to_string(reply.body.size()) + "\r\n"
        + "Connection: close\r\n";
    if (reply.kind == HttpReply::Kind::Redirect)
        head += "Location: " + reply.location + "\r\n";
    head += "\r\n";

    const bool partial = reply.kind == HttpReply::Kind::CutAfter || reply.kind == HttpReply::Kind::StallAfter;
    const size_t bodyBytes = partial ? std::min(reply.sentBytes, reply.body.size()) : reply.body.size();
    if (!sendAll(client, head.data(), head.size()) || !sendAll(client, reply.body.data(), bodyBytes))
        return;

    if (reply.kind == HttpReply::Kind::StallAfter) {
        {
            std::lock_guard lock(m_mutex);
            m_stalled = true;
        }
        m_stalledChanged.notify_all();
        // Hold the connection open until the client gives up or we stop.
        pollfd fds[2] = {{m_wakeRead, POLLIN, 0}, {client, POLLIN, 0}};
        while (::poll(fds, 2, -1) >= 0 && fds[0].revents == 0) {
            char sink[4096];
            if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && ::recv(client, sink, sizeof sink, 0) <= 0)
                break;
        }
    }
}

} // namespace sv::test
