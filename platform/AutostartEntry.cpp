#include "AutostartEntry.h"

#include "AppTitle.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

QString AutostartEntry::path()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Desktops treat a relative or empty XDG_CONFIG_HOME as unset and fall
    // back to ~/.config, so the entry goes where they look for it.
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/quillet.desktop");
}

QString AutostartEntry::quotedCommand(const QString &executable)
{
    // Inside double quotes the command line escapes ", `, $ and \ with a
    // backslash; "%" starts a field code and is doubled. The value as a whole
    // is then a desktop-entry string, whose own escape doubles each backslash.
    QString quoted;
    for (const QChar c : executable) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted = u'"' + quoted + u'"';
    QString value;
    for (const QChar c : quoted) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QByteArray AutostartEntry::contents(const QString &executable, bool enabled)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=%1\n"
                                  "Comment=Print, save or edit the selection from the tray\n"
                                  "Exec=%2\n"
                                  "Terminal=false\n"
                                  "Hidden=%3\n")
                       .arg(appTitle(), quotedCommand(executable),
                            enabled ? QStringLiteral("false") : QStringLiteral("true"));
    return text.toUtf8();
}

bool AutostartEntry::write(const QString &executable, bool enabled)
{
    const QString file = path();
    if (!QDir().mkpath(QFileInfo(file).path()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(contents(executable, enabled));
    return out.commit();
}

} // namespace platform
