#include "app/CommandLine.h"
#include "app/DesktopSession.h"
#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "platform/SingleInstance.h"

#include <cstdio>

int main(int argc, char **argv)
{
    // The command line is read before the application object exists, so
    // that help, the version and errors need no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = parseCommandLine(arguments);
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "quillet: %s\n%s", qPrintable(line.error), qPrintable(usageText()));
        return 2;
    }
    if (line.command == Command::Help) {
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    }
    if (line.command == Command::Version) {
        std::fputs(qPrintable(versionText()), stdout);
        return 0;
    }
    if (!chooseX11Platform())
        return 1;
    // A command for the copy that runs already is handed over at once,
    // before the application object costs its start-up time.
    if (const QByteArray request = requestName(line.command);
        !request.isEmpty() &&
        platform::SingleInstance::pass(platform::SingleInstance::defaultKey(), request))
        return 0;

    QuilletApplication app(argc, argv);
    if (const int code = createForms(line.command); code >= 0)
        return code;
    const int result = app.exec();
    destroyForms();
    return result;
}
