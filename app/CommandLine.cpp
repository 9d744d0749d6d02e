#include "CommandLine.h"

namespace {

struct Option {
    const char *name;
    const char *shortName;
    Command command;
    const char *help;
};

constexpr Option Options[] = {
    {"print", nullptr, Command::Print, "print the selection now (\"Quillet!\")"},
    {"save", nullptr, Command::Save, "save the selection now (\"Save this now!\")"},
    {"edit", nullptr, Command::Edit, "open the selection in the editor (\"Edit this now!\")"},
    {"view", nullptr, Command::View, "show the editor (\"View Editor\")"},
    {"options", nullptr, Command::Options, "show the options dialog"},
    {"help", "h", Command::Help, "print this help and exit"},
    {"version", "V", Command::Version, "print the version and exit"},
};

const Option *findOption(const QString &argument)
{
    for (const Option &option : Options) {
        if (argument == QLatin1String("--") + QLatin1String(option.name) ||
            (option.shortName && argument == QLatin1String("-") + QLatin1String(option.shortName)))
            return &option;
    }
    return nullptr;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    bool chosen = false;
    for (const QString &argument : arguments) {
        const Option *option = findOption(argument);
        if (!option) {
            line.error = argument.startsWith(u'-')
                             ? QStringLiteral("unknown option '%1'").arg(argument)
                             : QStringLiteral("unexpected argument '%1'").arg(argument);
            break;
        }
        if (chosen && option->command != line.command) {
            line.error = QStringLiteral("only one command at a time ('%1')").arg(argument);
            break;
        }
        chosen = true;
        line.command = option->command;
    }
    if (!line.error.isEmpty())
        line.command = Command::Run;
    return line;
}

QString usageText()
{
    QString text = QStringLiteral(
        "Usage: quillet [COMMAND]\n"
        "Quillet! lives in the notification area and prints, saves or edits what is\n"
        "selected in another program. Without a command it starts (or brings the\n"
        "running copy forward). A command runs the tray menu item in the running\n"
        "copy, starting Quillet! first when none runs; bind it to a key in your\n"
        "desktop's keyboard settings.\n"
        "\n"
        "Commands:\n");
    for (const Option &option : Options) {
        QString names = QStringLiteral("--") + QLatin1String(option.name);
        if (option.shortName)
            names = QStringLiteral("-") + QLatin1String(option.shortName) + QStringLiteral(", ") +
                    names;
        text += QStringLiteral("  %1%2\n").arg(names, -15).arg(QLatin1String(option.help));
    }
    return text;
}

QString versionText()
{
    return QStringLiteral("quillet " QUILLET_VERSION "\n");
}

QByteArray requestName(Command command)
{
    switch (command) {
    case Command::Print:
    case Command::Save:
    case Command::Edit:
    case Command::View:
    case Command::Options:
        for (const Option &option : Options) {
            if (option.command == command)
                return option.name;
        }
        break;
    case Command::Run:
    case Command::Help:
    case Command::Version:
        break;
    }
    return {};
}

std::optional<Command> commandFromRequest(const QByteArray &request)
{
    for (const Option &option : Options) {
        if (request == option.name && !requestName(option.command).isEmpty())
            return option.command;
    }
    return std::nullopt;
}
