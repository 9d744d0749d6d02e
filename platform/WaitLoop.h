#pragma once

#include <functional>

namespace platform {

// Waits until more than `milliseconds` have passed on a monotonic millisecond
// clock, handling the program's events meanwhile so that it stays responsive
// (tray clicks, menus and clipboard traffic go on). Between batches of events
// it sleeps in the event loop instead of spinning. The wait ends at the first
// check after the limit; a wait of 0 still lasts until the clock has advanced.
void waitMs(int milliseconds);

// Waits, handling events as waitMs() does, until `done` returns true (asked
// at once and then every `pollMs`) or `milliseconds` have passed. Returns
// whether `done` became true.
bool waitUntil(int milliseconds, const std::function<bool()> &done, int pollMs);

} // namespace platform
