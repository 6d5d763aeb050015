#pragma once

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {

// A service on a Unix socket for tests: answers each framed request (4-byte big-endian length,
// then the bytes) with whatever `answer` returns. Nothing closes the connection without a reply;
// `rawReply` sends those bytes unframed instead.
class FakeServicePeer {
public:
    struct Answer {
        std::optional<std::string> reply{};
        std::optional<std::string> rawReply{};
        std::chrono::milliseconds delay{0};
    };
    using Handler = std::function<Answer(const std::string& request)>;

    FakeServicePeer(std::filesystem::path path, Handler handler)
        : path_(std::move(path)), handler_(std::move(handler)) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        std::filesystem::remove(path_);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0) {
            throw std::runtime_error("cannot listen on " + path_.string());
        }
        thread_ = std::thread([this] { serve(); });
    }

    ~FakeServicePeer() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
        std::filesystem::remove(path_);
    }

    int requests() const { return requests_; }
    std::vector<std::string> received() const {
        std::lock_guard guard(mutex_);
        return received_;
    }

private:
    static bool readAll(int fd, char* data, std::size_t size) {
        while (size > 0) {
            ssize_t got = ::recv(fd, data, size, 0);
            if (got <= 0)
                return false;
            data += got;
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    static void writeFrame(int fd, const std::string& bytes) {
        auto n = static_cast<std::uint32_t>(bytes.size());
        char header[4] = {static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                          static_cast<char>(n >> 8), static_cast<char>(n)};
        ::send(fd, header, 4, MSG_NOSIGNAL);
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    void serve() {
        for (;;) {
            int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            unsigned char header[4];
            std::string request;
            if (readAll(client, reinterpret_cast<char*>(header), 4)) {
                std::size_t size = (std::size_t{header[0]} << 24) | (std::size_t{header[1]} << 16) |
                                   (std::size_t{header[2]} << 8) | header[3];
                request.resize(size);
                readAll(client, request.data(), size);
            }
            ++requests_;
            {
                std::lock_guard guard(mutex_);
                received_.push_back(request);
            }
            Answer answer = handler_(request);
            std::this_thread::sleep_for(answer.delay);
            if (answer.reply)
                writeFrame(client, *answer.reply);
            if (answer.rawReply) {
                ::send(client, answer.rawReply->data(), answer.rawReply->size(), MSG_NOSIGNAL);
            }
            ::close(client);
        }
    }

    std::filesystem::path path_;
    Handler handler_;
    int listener_ = -1;
    std::thread thread_;
    std::atomic<int> requests_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
};

} // namespace testsupport
