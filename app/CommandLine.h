#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for. A plain start runs the program; the
// action commands run a tray menu item in the running copy (starting one
// first when none runs), for desktop hotkeys.
enum class Command { Run, Print, Save, Edit, View, Options, Help, Version };

struct CommandLine {
    Command command = Command::Run;
    // Set when the arguments are not understood; the command is then Run.
    QString error;
};

// Reads the arguments that follow the program name.
CommandLine parseCommandLine(const QStringList &arguments);

// The usage and the list of commands, as `--help` prints it.
QString usageText();

// The program's name and version, as `--version` prints it.
QString versionText();

// The word that names an action command in the request sent to the running
// copy ("print", "save", "edit", "view", "options"); empty for the others.
QByteArray requestName(Command command);
// The action command a request names; nothing for an unknown request.
std::optional<Command> commandFromRequest(const QByteArray &request);
