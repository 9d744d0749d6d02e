#include "PdfImageUpdate.h"

#include "Printer.h"

#include <zlib.h>

#include <climits>
#include <cstring>
#include <optional>

namespace platform::PdfImageUpdate {

namespace {

[[noreturn]] void fail(const char *what)
{
    throw PrinterError(
        QStringLiteral("Unable to add the picture to the print job: %1").arg(QLatin1String(what)));
}

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Ends a token: white space, a delimiter or the end of the data.
bool endsToken(const QByteArray &data, qsizetype at)
{
    if (at >= data.size())
        return true;
    const char c = data.at(at);
    return isSpace(c) || std::strchr("()<>[]{}/%", c) != nullptr;
}

qsizetype skipSpace(const QByteArray &data, qsizetype at)
{
    while (at < data.size() && isSpace(data.at(at)))
        ++at;
    return at;
}

// The unsigned number starting at `at` (after white space); `at` moves past it.
std::optional<qint64> readNumber(const QByteArray &data, qsizetype &at)
{
    at = skipSpace(data, at);
    const qsizetype start = at;
    qint64 value = 0;
    while (at < data.size() && isDigit(data.at(at)) && at - start < 15)
        value = value * 10 + (data.at(at++) - '0');
    if (at == start || !endsToken(data, at))
        return std::nullopt;
    return value;
}

// The number of the object whose "N G obj" header comes last before `before`.
std::optional<int> objectBefore(const QByteArray &pdf, qsizetype before)
{
    for (qsizetype at = pdf.lastIndexOf("obj", before); at > 0;
         at = pdf.lastIndexOf("obj", at - 1)) {
        if (!isSpace(pdf.at(at - 1)) || !endsToken(pdf, at + 3))
            continue; // "endobj" or part of a longer word
        // Back over the generation, then over the number.
        qsizetype q = at;
        qsizetype numberStart = -1;
        for (int field = 0; field < 2; ++field) {
            while (q > 0 && isSpace(pdf.at(q - 1)))
                --q;
            const qsizetype end = q;
            while (q > 0 && isDigit(pdf.at(q - 1)))
                --q;
            if (q == end)
                break;
            if (field == 1)
                numberStart = q;
        }
        if (numberStart < 0)
            continue;
        if (const auto number = readNumber(pdf, numberStart); number && *number < INT_MAX)
            return int(*number);
    }
    return std::nullopt;
}

// The file's last cross-reference table and its trailer.
struct Tail {
    qint64 xrefOffset = 0;
    QByteArray xref;    // the table's text, from "xref" to "trailer"
    QByteArray trailer; // the trailer dictionary's entries, without << >>
    qint64 size = 0;    // its /Size
};

Tail readTail(const QByteArray &pdf)
{
    Tail tail;
    const qsizetype startxref = pdf.lastIndexOf("startxref");
    if (startxref < 0)
        fail("the PDF has no cross-reference table");
    qsizetype at = startxref + 9;
    const auto offset = readNumber(pdf, at);
    if (!offset || *offset >= startxref)
        fail("the PDF's cross-reference offset is wrong");
    tail.xrefOffset = *offset;
    if (!pdf.mid(*offset).startsWith("xref"))
        fail("the PDF's cross-reference table is compressed or missing");
    const qsizetype trailer = pdf.indexOf("trailer", *offset);
    if (trailer < 0 || trailer > startxref)
        fail("the PDF has no trailer");
    tail.xref = pdf.mid(*offset + 4, trailer - *offset - 4);
    const qsizetype open = pdf.indexOf("<<", trailer);
    const qsizetype close = pdf.lastIndexOf(">>", startxref);
    if (open < 0 || close < open)
        fail("the PDF's trailer cannot be read");
    tail.trailer = pdf.mid(open + 2, close - open - 2);

    // The new trailer names this table as the previous one instead.
    if (const qsizetype prev = tail.trailer.indexOf("/Prev"); prev >= 0) {
        qsizetype end = prev + 5;
        if (!readNumber(tail.trailer, end))
            fail("the PDF's trailer cannot be read");
        tail.trailer.remove(prev, end - prev);
    }
    const qsizetype size = tail.trailer.indexOf("/Size");
    qsizetype end = size + 5;
    const auto value = size >= 0 ? readNumber(tail.trailer, end) : std::nullopt;
    if (!value)
        fail("the PDF's trailer has no size");
    tail.size = *value;
    return tail;
}

// The generation of `object` in the cross-reference table; fails when the
// table does not list it as in use.
int generationOf(const Tail &tail, int object)
{
    qsizetype at = 0;
    for (;;) {
        const auto first = readNumber(tail.xref, at);
        const auto count = readNumber(tail.xref, at);
        if (!first || !count)
            break;
        at = skipSpace(tail.xref, at);
        if (object >= *first && object < *first + *count) {
            const qsizetype entry = at + (object - *first) * 20;
            const QByteArray line = tail.xref.mid(entry, 18);
            if (line.size() < 18 || line.at(17) != 'n')
                break;
            qsizetype p = 10;
            const auto generation = readNumber(line, p);
            if (!generation || *generation > 65535)
                break;
            return int(*generation);
        }
        at += *count * 20;
    }
    fail("the picture's place in the PDF is not in its cross-reference table");
}

// The picture's index bytes, row after row, deflated.
QByteArray deflateRows(const QImage &indexed, int level)
{
    z_stream z{};
    if (deflateInit(&z, level) != Z_OK)
        fail("the compressor cannot start");
    const qsizetype width = indexed.width();
    QByteArray out;
    out.resize(qsizetype(deflateBound(&z, uLong(width * indexed.height()))) + 64);
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    int result = Z_OK;
    for (int y = 0; y < indexed.height() && result == Z_OK; ++y) {
        z.next_in = const_cast<Bytef *>(indexed.constScanLine(y));
        z.avail_in = uInt(width);
        const bool last = y + 1 == indexed.height();
        result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (!last && z.avail_in != 0)
            result = Z_BUF_ERROR;
    }
    const qsizetype written = qsizetype(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END)
        fail("the picture cannot be compressed");
    out.truncate(written);
    return out;
}

} // namespace

int lastImageObject(const QByteArray &pdf)
{
    qsizetype at = pdf.size();
    while ((at = pdf.lastIndexOf("/Subtype", at)) >= 0) {
        const qsizetype name = skipSpace(pdf, at + 8);
        if (pdf.mid(name, 6) == "/Image" && endsToken(pdf, name + 6)) {
            if (const auto object = objectBefore(pdf, at))
                return *object;
            break;
        }
        if (--at < 0)
            break;
    }
    fail("the PDF holds no image");
}

QByteArray indexedImage(const QByteArray &pdf, int object, const QImage &indexed, int level)
{
    if (indexed.format() != QImage::Format_Indexed8 || indexed.isNull() ||
        indexed.colorCount() < 1 || indexed.colorCount() > 256)
        fail("the picture is not an indexed picture");
    const Tail tail = readTail(pdf);
    if (object <= 0 || object >= tail.size)
        fail("the picture's place in the PDF is not one of its objects");
    const int generation = generationOf(tail, object);
    const QByteArray data = deflateRows(indexed, level);

    QByteArray palette;
    palette.reserve(indexed.colorCount() * 6);
    for (const QRgb colour : indexed.colorTable()) {
        const char rgb[3] = {char(qRed(colour)), char(qGreen(colour)), char(qBlue(colour))};
        palette += QByteArray(rgb, 3).toHex();
    }

    QByteArray update;
    update.reserve(data.size() + palette.size() + 1024);
    // Whatever ends the file, the update starts on a line of its own.
    update += '\n';
    const qint64 objectOffset = pdf.size() + update.size();
    update += QByteArray::number(object) + ' ' + QByteArray::number(generation) + " obj\n";
    update += "<<\n/Type /XObject\n/Subtype /Image\n/Width " + QByteArray::number(indexed.width()) +
              "\n/Height " + QByteArray::number(indexed.height()) +
              "\n/BitsPerComponent 8\n/ColorSpace [/Indexed /DeviceRGB " +
              QByteArray::number(indexed.colorCount() - 1) + " <" + palette +
              ">]\n/Filter /FlateDecode\n/Length " + QByteArray::number(data.size()) +
              "\n>>\nstream\n";
    update += data;
    update += "\nendstream\nendobj\n";

    const qint64 xrefOffset = pdf.size() + update.size();
    update += "xref\n" + QByteArray::number(object) + " 1\n";
    update += QByteArray::number(objectOffset).rightJustified(10, '0') + ' ' +
              QByteArray::number(generation).rightJustified(5, '0') + " n \n";
    update += "trailer\n<<" + tail.trailer.trimmed() + "\n/Prev " +
              QByteArray::number(tail.xrefOffset) + "\n>>\nstartxref\n" +
              QByteArray::number(xrefOffset) + "\n%%EOF\n";
    return update;
}

} // namespace platform::PdfImageUpdate
