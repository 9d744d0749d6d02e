// The `quillet` command on the PATH. A desktop hotkey runs `quillet --edit`
// and the like; handing such a command to the running copy needs only the
// single-instance socket, so this small executable does it without loading
// the program and its libraries. Everything else (no copy answering, a plain
// start, help, version, bad options) runs the program itself with the same
// arguments, which then behaves exactly as when started directly.
#include "platform/InstanceSocket.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// As long as the program itself waits for the running copy.
constexpr int TimeoutMs = 1000;

// The request line for a command line that is one command for the running
// copy; empty for any other command line, which the program handles.
std::string requestFor(int argc, char **argv)
{
    if (argc != 2)
        return {};
    const std::string_view argument = argv[1];
    for (const std::string_view command : {"print", "save", "edit", "view", "options"}) {
        if (argument.starts_with("--") && argument.substr(2) == command)
            return "run " + std::string(command) + '\n';
    }
    return {};
}

// Sends `request` to the copy listening on `path`. False when nobody listens,
// nobody accepts within the time-out, or the line did not go out whole.
bool handOver(const std::string &path, const std::string &request)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    // Bounds both a connect to a copy whose queue of connections is full and
    // a send to a copy that does not read.
    const timeval timeout{TimeoutMs / 1000, (TimeoutMs % 1000) * 1000};
    bool sent = setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) == 0 &&
                connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    for (std::size_t done = 0; sent && done < request.size();) {
        const ssize_t written =
            send(socket, request.data() + done, request.size() - done, MSG_NOSIGNAL);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (written == 0 || errno != EINTR)
            sent = false;
    }
    close(socket);
    return sent;
}

// Replaces this process by the program, which lives at a fixed place
// relative to this executable's own (real) location.
[[noreturn]] void runProgram(char **argv)
{
    std::string program = QUILLET_PROGRAM;
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof self) {
        const std::string_view path(self, static_cast<std::size_t>(length));
        program = std::string(path.substr(0, path.rfind('/') + 1)) + program;
        execv(program.c_str(), argv);
    } else {
        errno = length < 0 ? errno : ENAMETOOLONG;
    }
    std::fprintf(stderr, "quillet: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    std::exit(127);
}

} // namespace

int main(int argc, char **argv)
{
    // Without a display the program reports the error itself.
    const char *display = std::getenv("DISPLAY");
    if (const std::string request = requestFor(argc, argv);
        !request.empty() && display && *display &&
        handOver(platform::instanceSocketPath(), request))
        return 0;
    runProgram(argv);
}
