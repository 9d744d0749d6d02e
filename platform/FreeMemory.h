#pragma once

namespace platform {

// Hands the heap's free pages back to the system. Start-up builds and drops
// a good deal of temporary data (fonts, settings, layouts); without this its
// pages stay with the process for the whole idle time.
void returnFreeMemory();

} // namespace platform
