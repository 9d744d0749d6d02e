#include "CopyMethod.h"

#include <QRegularExpression>

namespace {

// The terminal emulators known by their window class. xterm and the rxvt
// family have no copy key by default; the others copy with Ctrl+Shift+C.
const struct {
    const char *windowClass;
    CopyMethod method;
} KnownTerminals[] = {
    {"xterm", CopyMethod::Primary},
    {"uxterm", CopyMethod::Primary},
    {"rxvt", CopyMethod::Primary},
    {"urxvt", CopyMethod::Primary},
    {"rxvt-unicode", CopyMethod::Primary},
    {"gnome-terminal", CopyMethod::CtrlShiftC},
    {"gnome-terminal-server", CopyMethod::CtrlShiftC},
    {"konsole", CopyMethod::CtrlShiftC},
    {"xfce4-terminal", CopyMethod::CtrlShiftC},
    {"lxterminal", CopyMethod::CtrlShiftC},
    {"mate-terminal", CopyMethod::CtrlShiftC},
    {"qterminal", CopyMethod::CtrlShiftC},
    {"terminator", CopyMethod::CtrlShiftC},
    {"tilix", CopyMethod::CtrlShiftC},
    {"kitty", CopyMethod::CtrlShiftC},
    {"alacritty", CopyMethod::CtrlShiftC},
    {"st", CopyMethod::CtrlShiftC},
    {"st-256color", CopyMethod::CtrlShiftC},
    {"wezterm", CopyMethod::CtrlShiftC},
    {"org.wezfurlong.wezterm", CopyMethod::CtrlShiftC},
    {"foot", CopyMethod::CtrlShiftC},
    {"footclient", CopyMethod::CtrlShiftC},
};

bool matches(const QStringList &windowClass, const QString &name)
{
    return !name.isEmpty() && windowClass.contains(name, Qt::CaseInsensitive);
}

} // namespace

CopyMethod copyMethodFor(const QStringList &windowClass, const QString &extraTerminals)
{
    // The user's entries come first: they may also say how a known terminal
    // copies (an xterm given a copy key, say).
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    for (const QString &entry : extraTerminals.split(separators, Qt::SkipEmptyParts)) {
        const qsizetype colon = entry.indexOf(u':');
        const QString name = entry.left(colon);
        const bool primary = colon >= 0 && entry.mid(colon + 1).compare(QLatin1String("primary"),
                                                                        Qt::CaseInsensitive) == 0;
        if (matches(windowClass, name))
            return primary ? CopyMethod::Primary : CopyMethod::CtrlShiftC;
    }
    for (const auto &terminal : KnownTerminals) {
        if (matches(windowClass, QLatin1String(terminal.windowClass)))
            return terminal.method;
    }
    return CopyMethod::CtrlC;
}
