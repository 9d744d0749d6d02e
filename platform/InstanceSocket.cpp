#include "InstanceSocket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// A socket address holds the path and its terminating NUL.
constexpr std::size_t MaxPathLength = sizeof(sockaddr_un::sun_path) - 1;

bool isPlain(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
}

std::string socketName()
{
    std::string name = "quillet-" + std::to_string(getuid()) + '-';
    const char *display = std::getenv("DISPLAY");
    for (const char *c = display ? display : ""; *c; ++c)
        name += isPlain(*c) ? *c : '_';
    return name;
}

} // namespace

std::string instanceSocketPath()
{
    const std::string name = socketName();
    for (const char *variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char *folder = std::getenv(variable);
        if (!folder || folder[0] != '/')
            continue;
        std::string path = folder;
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        path += '/' + name;
        if (path.size() <= MaxPathLength)
            return path;
    }
    return "/tmp/" + name;
}

bool sendInstanceRequest(const std::string &path, const std::string &line)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() > MaxPathLength)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    // Bounds both a connect to a copy whose queue of connections is full and
    // a send to a copy that does not read.
    const timeval timeout{InstanceTimeoutMs / 1000, (InstanceTimeoutMs % 1000) * 1000};
    bool sent = setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) == 0 &&
                connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    for (std::size_t done = 0; sent && done < line.size();) {
        const ssize_t written = send(socket, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (written == 0 || errno != EINTR)
            sent = false;
    }
    close(socket);
    return sent;
}

} // namespace platform
