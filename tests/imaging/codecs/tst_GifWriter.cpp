#include "SamplePictures.h"
#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/GifWriter.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <random>

using codecs::CodecError;
using codecs::GifWriter;
using samples::IndexedFrame;

namespace {

QByteArray gifBytes(const IndexedFrame &frame)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    GifWriter::write(buffer, frame.width, frame.height,
                     reinterpret_cast<const uchar *>(frame.pixels.constData()), frame.width,
                     frame.colours);
    return buffer.data();
}

IndexedFrame frameOf(int width, int height, int colours, const QList<int> &pixels)
{
    IndexedFrame frame;
    frame.width = width;
    frame.height = height;
    frame.colours = samples::distinctColours(colours);
    frame.pixels = QByteArray(qsizetype(width) * height, '\0');
    for (qsizetype i = 0; i < pixels.size() && i < frame.pixels.size(); ++i)
        frame.pixels[i] = char(pixels[i]);
    return frame;
}

// Data columns of a frame: its size, colour count and leading pixels.
void addFrameColumns()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("colours");
    QTest::addColumn<QList<int>>("pixels");
}

IndexedFrame fetchFrame()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, colours);
    QFETCH(QList<int>, pixels);
    return frameOf(width, height, colours, pixels);
}

// The codes of the image data with the width each was read at, as an LZW
// decoder reads them: the width starts at m + 1 after a clear code and grows
// when the decoder's next free table entry reaches 2^width.
struct CodeStream {
    QList<int> codes;
    QList<int> widths;
};

CodeStream readCodes(const QByteArray &gif)
{
    const int packed = uchar(gif[13 + 9]);
    qsizetype pos = 13 + 10 + 3 * (qsizetype(1) << ((packed & 7) + 1));
    const int m = gif[pos++];
    QByteArray data;
    for (int size = uchar(gif[pos++]); size > 0; size = uchar(gif[pos++])) {
        data += gif.mid(pos, size);
        pos += size;
    }
    const int clear = 1 << m;
    CodeStream stream;
    int width = m + 1, nextFree = clear + 2;
    bool first = true;
    qsizetype bit = 0;
    while (bit + width <= data.size() * 8) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= ((uchar(data[bit / 8]) >> (bit % 8)) & 1) << i;
        stream.codes.append(code);
        stream.widths.append(width);
        if (code == clear + 1)
            break;
        if (code == clear) {
            width = m + 1;
            nextFree = clear + 2;
            first = true;
        } else if (first) {
            first = false;
        } else if (nextFree < 4096 && ++nextFree == (1 << width) && width < 12) {
            ++width;
        }
    }
    return stream;
}

} // namespace

class tst_GifWriter : public QObject {
    Q_OBJECT

private slots:
    void fileBytes_data();
    void fileBytes();
    void oneColourFrame();
    void clearInterval_data();
    void clearInterval();
    void rejected_data();
    void rejected();
    void deviceErrorPropagates();
    void decoders_data();
    void decoders();

private:
    const IndexedFrame &shape(const QString &name);
    QString gifFile(const QString &name);

    QTemporaryDir m_dir;
    QHash<QString, IndexedFrame> m_shapes;
};

void tst_GifWriter::fileBytes_data()
{
    addFrameColumns();
    QTest::addColumn<QByteArray>("expected");

    // Colours i are (i, 255 - i, 37i + 11): 00ff0b, 01fe30, 02fd55.
    const QByteArray head1x1 = "474946383761"
                               "01000100";
    // Codes at 3 bits: clear 4, pixel, end 5, least significant bit first.
    QTest::newRow("1x1 of two colours") << 1 << 1 << 2 << QList<int>{1}
                                        << QByteArray::fromHex(head1x1 + "000000"
                                                                         "2c000000000100010080"
                                                                         "00ff0b"
                                                                         "01fe30"
                                                                         "02"
                                                                         "024c01"
                                                                         "00"
                                                                         "3b");
    // A table of 3 colours is padded with black to 4 entries.
    QTest::newRow("3 colours") << 1 << 1 << 3 << QList<int>{2}
                               << QByteArray::fromHex(head1x1 + "110000"
                                                                "2c000000000100010081"
                                                                "00ff0b"
                                                                "01fe30"
                                                                "02fd55"
                                                                "000000"
                                                                "02"
                                                                "025401"
                                                                "00"
                                                                "3b");
    QTest::newRow("no width") << 0 << 5 << 2 << QList<int>{}
                              << QByteArray::fromHex("474946383761"
                                                     "00000500"
                                                     "000000"
                                                     "3b");
    QTest::newRow("no height") << 300 << 0 << 256 << QList<int>{}
                               << QByteArray::fromHex("474946383761"
                                                      "2c010000"
                                                      "770000"
                                                      "3b");
}

void tst_GifWriter::fileBytes()
{
    QFETCH(QByteArray, expected);
    QCOMPARE(gifBytes(fetchFrame()).toHex(), expected.toHex());
}

void tst_GifWriter::oneColourFrame()
{
    const QByteArray gif = gifBytes(frameOf(100, 100, 1, {}));
    // One colour still gives a table of two entries, the second black; m = 2.
    QCOMPARE(gif.mid(13, 10).toHex(), QByteArray("2c000000006400640080"));
    QCOMPARE(gif.mid(23, 7).toHex(), QByteArray("00ff0b00000002"));

    // The pixel, then the codes for 2, 3, ..., 140 pixels (next free codes
    // 6 to 144), then the known code for the remaining 130 pixels; the run
    // ends past the clear threshold, so a clear code follows, then the end.
    QList<int> expected{4, 0};
    for (int k = 2; k <= 140; ++k)
        expected.append(6 + k - 2);
    expected << 6 + 130 - 2 << 4 << 5;
    const CodeStream stream = readCodes(gif);
    QCOMPARE(stream.codes, expected);
    QCOMPARE(stream.widths.mid(0, 3), (QList<int>{3, 3, 3}));
    QCOMPARE(stream.widths.mid(expected.size() - 3), (QList<int>{8, 8, 3}));
}

void tst_GifWriter::clearInterval_data()
{
    QTest::addColumn<int>("colours");
    QTest::addColumn<int>("clearEvery");
    QTest::newRow("m = 2") << 2 << 9;
    QTest::newRow("m = 3 (5 colours)") << 5 << 9;
    QTest::newRow("m = 3 (8 colours)") << 8 << 9;
    QTest::newRow("m = 4") << 9 << 14;
    QTest::newRow("m = 5") << 17 << 30;
    QTest::newRow("m = 8") << 256 << 254;
}

// Pixels that never repeat go out as plain codes, with a clear code after
// every `clearEvery` of them.
void tst_GifWriter::clearInterval()
{
    QFETCH(int, colours);
    QFETCH(int, clearEvery);
    const int count = 3 * clearEvery + 2;
    QList<int> pixels;
    for (int i = 0; i < count; ++i)
        pixels.append(i % 2 == 0 ? 0 : colours - 1);
    const int clear = 1 << std::max(2, int(std::ceil(std::log2(colours))));

    QList<int> expected{clear};
    for (int i = 0; i < count; ++i) {
        expected.append(pixels[i]);
        if ((i + 1) % clearEvery == 0)
            expected.append(clear);
    }
    expected.append(clear + 1);
    QCOMPARE(readCodes(gifBytes(frameOf(count, 1, colours, pixels))).codes, expected);
}

void tst_GifWriter::rejected_data()
{
    addFrameColumns();
    QTest::addColumn<QString>("message");
    const QString notInTable = "Color not in color table";
    QTest::newRow("last pixel = n") << 4 << 1 << 3 << QList<int>{0, 1, 2, 3} << notInTable;
    QTest::newRow("after a run") << 5 << 1 << 1 << QList<int>{0, 0, 0, 1, 1} << notInTable;
    QTest::newRow("first pixel, 255 of 255") << 1 << 2 << 255 << QList<int>{255, 0} << notInTable;
    QTest::newRow("empty table") << 1 << 1 << 0 << QList<int>{0} << notInTable;
    QTest::newRow("257 colours") << 1 << 1 << 257 << QList<int>{0} << "Color table overflow";
    QTest::newRow("width 65536") << 65536 << 1 << 2 << QList<int>{}
                                 << QString::fromUtf8("A GIF frame cannot be 65536 × 1 pixels");
}

void tst_GifWriter::rejected()
{
    QFETCH(QString, message);
    try {
        gifBytes(fetchFrame());
        QFAIL("no error");
    } catch (const CodecError &error) {
        QCOMPARE(error.message(), message);
    }
}

void tst_GifWriter::deviceErrorPropagates()
{
    QFile full("/dev/full");
    QVERIFY(full.open(QIODevice::WriteOnly));
    const IndexedFrame frame = samples::desktopFrame(640, 480, 150, 3);
    try {
        GifWriter::write(full, frame.width, frame.height,
                         reinterpret_cast<const uchar *>(frame.pixels.constData()), frame.width,
                         frame.colours);
        QFAIL("no error");
    } catch (const CodecError &error) {
        QVERIFY2(error.message().contains("space", Qt::CaseInsensitive),
                 qPrintable(error.message()));
    }
}

// Frames that exercise every branch of the run coder.
const IndexedFrame &tst_GifWriter::shape(const QString &name)
{
    auto found = m_shapes.find(name);
    if (found != m_shapes.end())
        return *found;
    std::mt19937 random(qHash(name));
    IndexedFrame frame;
    if (name == "1x1") {
        frame = frameOf(1, 1, 2, {1});
    } else if (name == "one long run") {
        frame = frameOf(640, 480, 1, {});
    } else if (name.startsWith("runs crossing MaxCodes")) {
        // One run longer than a whole table of repeat codes can hold, then
        // stripes and repeated shorter runs of the same index.
        const int colours = name.endsWith("m = 8") ? 256 : 2;
        frame = frameOf(4096, 2200, colours, {});
        for (int y = 2100; y < 2200; ++y)
            for (int x = 0; x < 4096; ++x)
                frame.at(x, y) = uchar((x / (1 + y % 97) + y) % 3 == 0 ? colours - 1 : 0);
    } else if (name == "random runs") {
        // Runs of random length and index: repeat codes reused from the
        // table, rests, clears in the middle of runs.
        frame = frameOf(1000, 1000, 4, {});
        std::geometric_distribution<int> length(0.02);
        for (qsizetype i = 0; i < frame.pixels.size();) {
            const char index = char(random() % 4);
            const qsizetype end = std::min(frame.pixels.size(), i + 1 + length(random));
            for (; i < end; ++i)
                frame.pixels[i] = index;
        }
    } else if (name == "256 colours in stripes") {
        frame = frameOf(768, 300, 256, {});
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x)
                frame.at(x, y) = uchar((x / (1 + y % 5) + y / 3) % 256);
    } else if (name == "random noise") {
        frame = frameOf(640, 480, 256, {});
        for (char &p : frame.pixels)
            p = char(random() % 256);
    } else if (name == "desktop 1920x1080") {
        frame = samples::desktopFrame(1920, 1080, 150, 1);
    } else if (name == "width 1") {
        frame = frameOf(1, 9000, 7, {});
        for (int y = 0; y < frame.height; ++y)
            frame.at(0, y) = uchar((y / (1 + y % 50)) % 7);
    } else if (name == "width 65535") {
        frame = frameOf(65535, 3, 40, {});
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x)
                frame.at(x, y) = uchar((x / (1 + x % 300 + y)) % 40);
    }
    return *m_shapes.insert(name, frame);
}

QString tst_GifWriter::gifFile(const QString &name)
{
    QString path = m_dir.filePath(QString(name).replace(' ', '_') + ".gif");
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(gifBytes(shape(name)));
    }
    return path;
}

void tst_GifWriter::decoders_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("decoder");
    const QStringList shapes{"1x1",
                             "one long run",
                             "runs crossing MaxCodes, m = 2",
                             "runs crossing MaxCodes, m = 8",
                             "random runs",
                             "256 colours in stripes",
                             "random noise",
                             "desktop 1920x1080",
                             "width 1",
                             "width 65535"};
    for (const QString &s : shapes)
        for (const char *decoder : {"Qt", "giflib", "ImageMagick", "Pillow"})
            QTest::newRow(qPrintable(s + " / " + decoder)) << s << QString(decoder);
}

// Every frame comes back pixel for pixel from independent GIF decoders.
void tst_GifWriter::decoders()
{
    QFETCH(QString, shape);
    QFETCH(QString, decoder);
    const IndexedFrame &frame = this->shape(shape);
    const QString path = gifFile(shape);
    QVERIFY(!path.isEmpty());

    QByteArray rgb;
    if (decoder == "Qt") {
        QImageReader reader(path);
        const QImage image = reader.read().convertToFormat(QImage::Format_RGB888);
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), QSize(frame.width, frame.height));
        for (int y = 0; y < image.height(); ++y)
            rgb.append(reinterpret_cast<const char *>(image.constScanLine(y)), 3 * image.width());
    } else {
        QString program;
        QStringList arguments;
        if (decoder == "giflib") {
            program = "/usr/bin/gif2rgb";
            arguments << path;
        } else if (decoder == "ImageMagick") {
            program = "/usr/bin/convert";
            arguments << path << "-depth"
                      << "8"
                      << "rgb:-";
            if (frame.width > 16384)
                QSKIP("ImageMagick's resource policy refuses pictures wider than 16K pixels");
        } else {
            program = "/usr/bin/python3";
            arguments << "-c"
                      << "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                         "sys.stdout.buffer.write(im.convert('RGB').tobytes())"
                      << path;
            if (QProcess::execute(program, {"-c", "import PIL"}) != 0)
                QSKIP("Python Pillow (python3-pil) is not installed");
        }
        if (!QFileInfo(program).isExecutable())
            QSKIP(qPrintable(program + " is not installed"));
        QProcess process;
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(120000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        rgb = process.readAllStandardOutput();
    }

    QCOMPARE(rgb.size(), 3 * qsizetype(frame.width) * frame.height);
    const uchar *data = reinterpret_cast<const uchar *>(rgb.constData());
    for (qsizetype i = 0; i < frame.pixels.size(); ++i) {
        const QRgb want = frame.colours[uchar(frame.pixels[i])];
        const QRgb got = qRgb(data[3 * i], data[3 * i + 1], data[3 * i + 2]);
        if (got != want)
            QFAIL(qPrintable(QString("pixel (%1, %2): %3 instead of %4")
                                 .arg(i % frame.width)
                                 .arg(i / frame.width)
                                 .arg(got, 6, 16)
                                 .arg(want, 6, 16)));
    }
}

QTEST_GUILESS_MAIN(tst_GifWriter)
#include "tst_GifWriter.moc"
