// Feeds arbitrary bytes to the Jpeg reader. Run:
//   fuzz_JpegReader -jobs=1 -max_len=65536 -rss_limit_mb=2048 corpus-jpeg/
#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/JpegCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const QImage image = codecs::JpegCodec::read(bytes);
        // A picture that was read has pixels.
        if (image.isNull())
            std::abort();
    } catch (const codecs::CodecError &) {
    }
    return 0;
}
