// Feeds arbitrary bytes to the clipboard's HTML reader. Run:
//   fuzz_HtmlImport -jobs=1 -max_len=65536 -rss_limit_mb=2048 html-corpus/
#include "platform/HtmlImport.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Never destroyed: Qt's font cache, filled by the face look-ups, stays
    // reachable instead of being torn down after Qt's own thread storage.
    static auto *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextCharFormat base;
    base.setFontFamilies(QStringList{QStringLiteral("Liberation Serif")});
    base.setFontPointSize(12);
    QTextDocument document;
    QTextCursor(&document).insertFragment(platform::HtmlImport::fragment(bytes, base));
    // A list number is the most text one tag gives: "<li>" -> "2147483647.\t".
    if (document.characterCount() > 3 * bytes.size() + 2)
        std::abort();
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.fontFamilies().toStringList().value(0).isEmpty() || f.fontPointSize() < 1)
                std::abort();
        }
    }
    return 0;
}
