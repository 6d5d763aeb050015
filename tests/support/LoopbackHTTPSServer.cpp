#include "support/LoopbackHTTPSServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

constexpr int startupMilliseconds = 20'000;

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The first line the server prints, within the time limit.
std::string readLine(int fd, int milliseconds) {
    std::string line;
    const double deadline = monotonicSeconds() + milliseconds / 1000.0;
    while (line.find('\n') == std::string::npos) {
        const int left = static_cast<int>((deadline - monotonicSeconds()) * 1000);
        if (left <= 0)
            return {};
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, left) <= 0)
            continue;
        char buffer[256];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0)
            return {};
        line.append(buffer, static_cast<std::size_t>(count));
    }
    return line.substr(0, line.find('\n'));
}

} // namespace

std::unique_ptr<LoopbackHTTPSServer> LoopbackHTTPSServer::start() {
    std::unique_ptr<LoopbackHTTPSServer> server(new LoopbackHTTPSServer());
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        return nullptr;
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const std::string script =
        std::string(PULSEDECK_SOURCE_DIR) + "/tests/support/LoopbackHTTPSServer.py";
    const std::string workdir = server->directory_.path().string();
    char* arguments[] = {const_cast<char*>("python3"), const_cast<char*>(script.c_str()),
                         const_cast<char*>(workdir.c_str()), nullptr};
    const int spawned =
        posix_spawnp(&server->pid_, "python3", &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(input[0]);
    close(output[1]);
    server->input_ = input[1];
    if (spawned != 0) {
        server->pid_ = -1;
        close(output[0]);
        return nullptr;
    }
    const std::string ready = readLine(output[0], startupMilliseconds);
    close(output[0]);
    if (std::sscanf(ready.c_str(), "READY %d %d", &server->port_, &server->untrustedPort_) != 2)
        return nullptr;
    return server;
}

LoopbackHTTPSServer::~LoopbackHTTPSServer() {
    if (input_ >= 0)
        close(input_);
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

std::string LoopbackHTTPSServer::url(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string LoopbackHTTPSServer::untrustedURL(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(untrustedPort_) + std::string(path);
}

std::filesystem::path LoopbackHTTPSServer::trustedCertificate() const {
    return directory_.path() / "trusted.pem";
}

void LoopbackHTTPSServer::serve(std::string_view name, std::string_view content) const {
    std::filesystem::create_directories(directory_.path() / "files");
    std::ofstream file(directory_.path() / "files" / std::string(name), std::ios::binary);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
}

} // namespace testsupport
