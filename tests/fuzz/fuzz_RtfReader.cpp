// Feeds arbitrary bytes behind an RTF header to the RTF reader. Run:
//   fuzz_RtfReader -jobs=1 -max_len=65536 -rss_limit_mb=2048 corpus/
#include "platform/rtf/RtfReader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    platform::rtf::RtfReader::read(bytes, document);
    // Text never outgrows its source.
    if (document.characterCount() > bytes.size() + 1)
        std::abort();
    return 0;
}
