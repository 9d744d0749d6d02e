#include "SettingsKeys.h"

namespace settings {

namespace {
QString text(const char *latin1)
{
    return QString::fromLatin1(latin1);
}
} // namespace

QString read(const IniFile &ini, const StringKey &key)
{
    return ini.readString(text(key.section), text(key.name), text(key.defaultValue));
}

int read(const IniFile &ini, const IntegerKey &key)
{
    return ini.readInteger(text(key.section), text(key.name), key.defaultValue);
}

bool read(const IniFile &ini, const BoolKey &key)
{
    return ini.readBool(text(key.section), text(key.name), key.defaultValue);
}

QString read(const IniFile &ini, const FlagKey &key)
{
    return ini.readString(text(key.section), text(key.name), {});
}

bool holdsWord(const IniFile &ini, const FlagKey &key)
{
    return read(ini, key) == QLatin1String(key.word);
}

void write(const IniFile &ini, const StringKey &key, const QString &value)
{
    ini.writeString(text(key.section), text(key.name), value);
}

void write(const IniFile &ini, const IntegerKey &key, int value)
{
    ini.writeInteger(text(key.section), text(key.name), value);
}

void write(const IniFile &ini, const BoolKey &key, bool value)
{
    ini.writeBool(text(key.section), text(key.name), value);
}

void write(const IniFile &ini, const FlagKey &key, bool word)
{
    ini.writeString(text(key.section), text(key.name), word ? text(key.word) : QString());
}

} // namespace settings
