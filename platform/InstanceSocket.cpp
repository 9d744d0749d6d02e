#include "InstanceSocket.h"

#include <cstdlib>

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

} // namespace platform
