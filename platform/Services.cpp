#include "Services.h"

#include "x11/X11Services.h"

#include <QHash>
#include <QString>
#include <QtGlobal>

namespace platform {

namespace {

QHash<QString, ServicesFactory> &backends()
{
    static QHash<QString, ServicesFactory> registered;
    return registered;
}

std::unique_ptr<Services> loadServices()
{
    const QString name = qEnvironmentVariable("QUILLET_SERVICES");
    if (!name.isEmpty()) {
        const auto found = backends().constFind(name);
        if (found != backends().constEnd())
            return (*found)();
        qWarning("Unknown desktop services \"%s\"; using the X11 desktop", qPrintable(name));
    }
    // The program runs on X11 desktops; this is the one place that says so.
    return std::make_unique<X11Services>();
}

} // namespace

Services &services()
{
    static const std::unique_ptr<Services> instance = loadServices();
    return *instance;
}

void registerServicesBackend(const QString &name, ServicesFactory factory)
{
    backends().insert(name, std::move(factory));
}

} // namespace platform
