#pragma once

#include <string>

namespace platform {

// The path of the local socket on which the running copy for the current
// user and X display listens, and to which later copies and the launcher
// send their requests:
//
//   <folder>/quillet-<uid>-<DISPLAY>
//
// with every character of DISPLAY outside [A-Za-z0-9_.-] replaced by '_',
// and <folder> the first of $XDG_RUNTIME_DIR, $TMPDIR and /tmp that is an
// absolute path and leaves the whole path short enough for a socket address.
// Plain C++ without Qt, so that the launcher computes the same path.
std::string instanceSocketPath();

// How long a later copy waits for the running copy to accept its request.
inline constexpr int InstanceTimeoutMs = 1000;

// Sends `line` (a request with its line break) to the copy listening on
// `path`. False when nobody listens, nobody accepts within the time-out, or
// the line did not go out whole.
bool sendInstanceRequest(const std::string &path, const std::string &line);

} // namespace platform
