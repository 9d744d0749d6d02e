// Feeds arbitrary bytes to the settings file's reader and writer: read a key,
// write one, read back. Run:
//   fuzz_IniFile -max_len=65536 -rss_limit_mb=2048 -timeout=10 ini-corpus/
#include "settings/IniFile.h"
#include "tests/support/ByteDiff.h"

#include <QByteArrayList>
#include <QStringDecoder>

#include <array>
#include <cstdint>
#include <cstdlib>

namespace {

struct Name {
    const char *section;
    const char *key;
};

// Keys of the program and a few spellings the file may hold.
constexpr std::array<Name, 6> Names = {{{"Settings", "lc"},
                                        {"settings", "WAIT"},
                                        {"storage", "screencap"},
                                        {"Marlo*Venn", "Tname"},
                                        {"Tamsel", "el"},
                                        {"S", "k"}}};

bool equalNames(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks the key, the next up to 64 bytes are the value.
    const Name name = Names[data[0] % Names.size()];
    const std::size_t valueLength = std::min<std::size_t>(size - 1, data[1] % 65);
    const QString section = QString::fromLatin1(name.section);
    const QString key = QString::fromLatin1(name.key);
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString value = utf8.decode(QByteArrayView(reinterpret_cast<const char *>(data) + 2,
                                                     qsizetype(std::min(valueLength, size - 2))));
    const std::size_t skip = std::min(size, 2 + valueLength);
    const QByteArray before(reinterpret_cast<const char *>(data) + skip, qsizetype(size - skip));

    const QByteArray after = IniFile::withValue(before, section, key, value);

    // The key reads back as written (line breaks stored as blanks).
    QString expected = value;
    expected.replace(u'\r', u' ').replace(u'\n', u' ');
    if (IniFile::valueIn(after, section, key) != expected)
        std::abort();

    // Every other byte is unchanged: what differs lies within one line.
    if (!changedWithinOneLine(before, after))
        std::abort();

    // Every other key reads as before.
    QString current;
    for (const QByteArray &raw : before.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[') && line.contains(u']')) {
            current = line.mid(1, line.indexOf(u']') - 1).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString other = line.left(eq).trimmed();
        if (equalNames(current, section) && equalNames(other, key))
            continue;
        if (IniFile::valueIn(before, current, other) != IniFile::valueIn(after, current, other))
            std::abort();
    }
    return 0;
}
