#include "platform/rtf/RtfCommon.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform::rtf {

namespace {

// Windows-1252 at 0x80..0x9F; the five unassigned bytes map to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void decodeCp1252Bytes(const QByteArray &bytes, QString &out)
{
    out.resize(bytes.size());
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        d[i] = decodeCp1252(static_cast<unsigned char>(bytes[i]));
}

const char *codecName(int codePage)
{
    switch (codePage) {
    case 437:
        return "IBM437";
    case 850:
        return "IBM850";
    case 866:
        return "IBM866";
    case 874:
        return "windows-874";
    case 932:
        return "Shift_JIS";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    case 1250:
        return "windows-1250";
    case 1251:
        return "windows-1251";
    case 1253:
        return "windows-1253";
    case 1254:
        return "windows-1254";
    case 1255:
        return "windows-1255";
    case 1256:
        return "windows-1256";
    case 1257:
        return "windows-1257";
    case 1258:
        return "windows-1258";
    case 10000:
        return "macintosh";
    case 20866:
        return "KOI8-R";
    default:
        return nullptr;
    }
}

} // namespace

char16_t decodeCp1252(unsigned char byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : char16_t(byte);
}

int encodeCp1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    // The characters above U+00FF that the code page holds, sorted, with their bytes.
    static const auto byCharacter = [] {
        std::array<std::pair<char16_t, unsigned char>, 32> table{};
        std::size_t n = 0;
        for (int i = 0; i < 32; ++i) {
            if (kCp1252High[i] > 0xFF)
                table[n++] = {kCp1252High[i], static_cast<unsigned char>(0x80 + i)};
        }
        std::sort(table.begin(), table.begin() + n);
        return std::pair(table, n);
    }();
    const auto &[table, n] = byCharacter;
    const auto end = table.begin() + n;
    const auto it = std::lower_bound(table.begin(), end, c,
                                     [](const auto &entry, char16_t v) { return entry.first < v; });
    return it != end && it->first == c ? it->second : -1;
}

int codePageForCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    default:
        return 0; // ANSI, default, symbol and the rest: the document's code page
    }
}

QString CodePageDecoder::decode(const QByteArray &bytes, int codePage)
{
    QString out;
    decode(bytes, codePage, out);
    return out;
}

void CodePageDecoder::decode(const QByteArray &bytes, int codePage, QString &out)
{
    switch (codePage) {
    case 1252:
    case 0:
        decodeCp1252Bytes(bytes, out);
        return;
    case 28591:
        out.resize(0);
        out.append(QLatin1StringView(bytes));
        return;
    case 65001:
        out = QString::fromUtf8(bytes);
        return;
    default:
        break;
    }
    auto it = m_decoders.find(codePage);
    if (it == m_decoders.end()) {
        std::shared_ptr<QStringDecoder> decoder;
        if (const char *name = codecName(codePage)) {
            decoder = std::make_shared<QStringDecoder>(name);
            if (!decoder->isValid())
                decoder.reset();
        }
        it = m_decoders.insert(codePage, decoder);
    }
    if (!it.value()) {
        decodeCp1252Bytes(bytes, out);
        return;
    }
    it.value()->resetState();
    out = it.value()->decode(bytes);
}

} // namespace platform::rtf
