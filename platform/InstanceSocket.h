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

} // namespace platform
