#pragma once

// The benchmark's peer for the screen grab: one bare XShmGetImage of the whole
// root window into a segment made beforehand. Returns its milliseconds, or a
// negative value when the extension cannot be used.
double bareXShmGetImageMs();
