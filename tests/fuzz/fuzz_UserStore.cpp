// Feeds arbitrary bytes to the user store's reader, then writes a value into
// what it read. Run:
//   fuzz_UserStore -max_len=65536 -rss_limit_mb=2048 -timeout=10 store-corpus/
#include "platform/StoreDocument.h"
#include "platform/UserStore.h"

#include <cstdint>
#include <cstdlib>

using platform::StoreError;
using platform::store::Document;
using platform::store::Entry;

namespace {

const QString Path = QStringLiteral("user.reg");

bool sameEntry(const Entry &a, const Entry &b)
{
    return a.name == b.name && a.kind == b.kind && a.text == b.text && a.data == b.data &&
           a.raw == b.raw;
}

// Every value of `before` reads the same in `after`, except `skip` in `skipKey`.
void checkKept(const Document &before, const Document &after, const QString &skipKey,
               const QString &skip)
{
    for (const platform::store::Key &key : before.keys()) {
        const platform::store::Key *found = after.find(key.path);
        if (!found)
            std::abort();
        for (const Entry &e : key.values) {
            const bool written = key.path.compare(skipKey, Qt::CaseInsensitive) == 0 &&
                                 e.name.compare(skip, Qt::CaseInsensitive) == 0;
            const Entry *other = found->find(e.name);
            if (!other || (!written && !sameEntry(e, *other)))
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    Document doc;
    try {
        doc = Document::parse(Path, bytes);
    } catch (const StoreError &e) {
        // A refusal is fine; any other error or a crash is a finding.
        if (e.kind() != StoreError::Kind::Damaged && e.kind() != StoreError::Kind::TooLarge)
            std::abort();
        return 0;
    }
    // What was read is written and read back unchanged, without growing
    // beyond what its values need.
    const QByteArray written = doc.serialize();
    if (written.size() > 8 * bytes.size() + 200)
        std::abort();
    const Document again = Document::parse(Path, written);
    checkKept(doc, again, {}, {});
    if (again.serialize() != written)
        std::abort();

    // A value the program writes lands, and everything else stays.
    const QString key = QStringLiteral("RichPrint.Settings\\MargesQLT");
    Document changed = Document::parse(Path, written);
    Entry margin;
    margin.name = QStringLiteral("MarginLeft");
    margin.kind = Entry::Binary;
    margin.data = QByteArray("\0\0\0\0\0\0\xf0\x3f", 8);
    changed.create(key).set(margin);
    const QByteArray out = changed.serialize();
    if (out.size() > written.size() + 200)
        std::abort();
    const Document read = Document::parse(Path, out);
    checkKept(doc, read, key, margin.name);
    const platform::store::Key *k = read.find(key);
    if (!k || !k->find(margin.name) || k->find(margin.name)->data != margin.data)
        std::abort();
    return 0;
}
