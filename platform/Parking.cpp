#include "Parking.h"

#include <QWidget>

namespace platform {

void park(QWidget *window)
{
    window->move(window->x() - ParkOffset, window->y());
}

void unpark(QWidget *window)
{
    if (window->x() < ParkedThreshold)
        window->move(window->x() + ParkOffset, window->y());
}

} // namespace platform
