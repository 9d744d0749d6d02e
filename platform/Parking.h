#pragma once

class QWidget;

namespace platform {

// A hidden window is kept "parked": moved this far left of its place, so
// that it stays out of sight even when a window manager maps it early. A
// window whose left edge lies below ParkedThreshold counts as parked.
inline constexpr int ParkOffset = 5000;
inline constexpr int ParkedThreshold = -4000;

// Moves `window` ParkOffset pixels to the left.
void park(QWidget *window);

// Moves a parked `window` back to its place; any other window stays put.
void unpark(QWidget *window);

} // namespace platform
