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

#include <unistd.h>

namespace {

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
        platform::sendInstanceRequest(platform::instanceSocketPath(), request))
        return 0;
    runProgram(argv);
}
