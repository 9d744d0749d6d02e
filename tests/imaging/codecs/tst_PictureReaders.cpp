// The BMP, GIF and JPEG readers against files other programs write, with the
// pixels those programs decode as the reference; and damaged files.
#include "imaging/codecs/BmpReader.h"
#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/GifReader.h"
#include "imaging/codecs/JpegCodec.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

QImage (*readerFor(const QString &name))(const QByteArray &)
{
    if (name.endsWith(QLatin1String(".bmp")))
        return codecs::BmpReader::read;
    if (name.endsWith(QLatin1String(".gif")))
        return codecs::GifReader::read;
    return codecs::JpegCodec::read;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The largest difference of any component (alpha included) between two
// pictures of the same size; -1 for different sizes.
int largestDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            largest = std::max({largest, std::abs(qRed(p[col]) - qRed(q[col])),
                                std::abs(qGreen(p[col]) - qGreen(q[col])),
                                std::abs(qBlue(p[col]) - qBlue(q[col])),
                                std::abs(qAlpha(p[col]) - qAlpha(q[col]))});
        }
    }
    return largest;
}

} // namespace

class tst_PictureReaders : public QObject {
    Q_OBJECT

private:
    // Runs a shell command with $B (a photograph-like picture), $F (a flat
    // picture of few colours), $O (the file to make) and $R (the reference
    // picture to make) set.
    void shell(const QString &command, const QString &out, const QString &reference)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("B"), m_dir.filePath(QStringLiteral("base.ppm")));
        env.insert(QStringLiteral("F"), m_dir.filePath(QStringLiteral("flat.ppm")));
        env.insert(QStringLiteral("O"), out);
        env.insert(QStringLiteral("R"), reference);
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-ec"), command});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0,
                 qPrintable(command + "\n" + process.readAllStandardError()));
    }

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        shell(QStringLiteral("convert -size 37x23 -seed 7 plasma:fractal \"$O\"; "
                             "convert -size 40x9 xc:red -fill blue -draw 'rectangle 5,2 30,6' "
                             "-fill lime -draw 'point 39,8' \"$R\""),
              m_dir.filePath(QStringLiteral("base.ppm")),
              m_dir.filePath(QStringLiteral("flat.ppm")));
    }

    void readsWhatOthersWrite_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("command"); // makes $O and the reference $R
        QTest::addColumn<int>("tolerance");
        QTest::addColumn<int>("format");

        const QString im = QStringLiteral("convert \"$O\" PNG32:\"$R\"");
        auto row = [&](const char *tag, const char *name, const QString &make, int tolerance,
                       QImage::Format format, const QString &reference) {
            QTest::newRow(tag) << QString::fromLatin1(name) << make + "; " + reference << tolerance
                               << int(format);
        };
        // BMP: ImageMagick decodes the reference.
        row("bmp 24 (ImageMagick)", "a.bmp", "convert $B -type truecolor BMP3:$O", 0,
            QImage::Format_RGB32, im);
        row("bmp 24 core header", "a.bmp", "convert $B -type truecolor BMP2:$O", 0,
            QImage::Format_RGB32, im);
        row("bmp 8 (ImageMagick)", "a.bmp", "convert $B -colors 200 -type palette BMP3:$O", 0,
            QImage::Format_Indexed8, im);
        row("bmp 8 core header", "a.bmp", "convert $B -colors 100 -type palette BMP2:$O", 0,
            QImage::Format_Indexed8, im);
        row("bmp 4 (ImageMagick)", "a.bmp", "convert $B -colors 12 -type palette BMP3:$O", 0,
            QImage::Format_Indexed8, im);
        row("bmp 1 (ImageMagick)", "a.bmp", "convert $B -monochrome BMP3:$O", 0,
            QImage::Format_Mono, im);
        row("bmp rle8", "a.bmp", "convert $F -type palette -compress RLE BMP3:$O", 0,
            QImage::Format_Indexed8, im);
        row("bmp 32 alpha masks", "a.bmp", "convert $B -alpha set -channel A -fx 'i/w' BMP:$O", 0,
            QImage::Format_ARGB32, im);
        row("bmp 16 565 masks", "a.bmp", "convert $B -define bmp:subtype=RGB565 BMP:$O", 1,
            QImage::Format_RGB16, im);
        row("bmp 16 555", "a.bmp", "convert $B -define bmp:subtype=RGB555 BMP:$O", 1,
            QImage::Format_RGB555, im);
        row("bmp 24 (Pillow)", "a.bmp",
            "python3 -c \"from PIL import Image; Image.open('$B').save('$O')\"", 0,
            QImage::Format_RGB32, im);
        row("bmp 8 (Pillow)", "a.bmp",
            "python3 -c \"from PIL import Image; Image.open('$B').convert('P').save('$O')\"", 0,
            QImage::Format_Indexed8, im);
        row("bmp 1 (Pillow)", "a.bmp",
            "python3 -c \"from PIL import Image; Image.open('$B').convert('1').save('$O')\"", 0,
            QImage::Format_Mono, im);
        row("bmp 32 (Pillow)", "a.bmp",
            "python3 -c \"from PIL import Image; Image.open('$B').convert('RGBA').save('$O')\"", 0,
            QImage::Format_RGB32, im);
        // Top-down: Pillow's file with the height negated (and so the rows
        // read in the other order).
        row("bmp 24 top-down", "a.bmp",
            "python3 -c \"import struct; from PIL import Image; Image.open('$B').save('$O'); "
            "d=bytearray(open('$O','rb').read()); h=struct.unpack_from('<i',d,22)[0]; "
            "struct.pack_into('<i',d,22,-h); open('$O','wb').write(d)\"",
            0, QImage::Format_RGB32, im);
        // RLE4: no tool here writes it; runs of odd and even length, literal
        // runs (one padded), both end codes, hand-coded.
        row("bmp rle4", "a.bmp",
            "python3 -c \"import struct; "
            "data=bytes([4,0x12,3,0x34,1,0x50,0,0,0,4,0x56,0x78,2,0xaa,2,0x9b,0,0,8,0xf0,0,0,"
            "0,5,0x12,0x34,0x50,0,3,0xee,0,1]); "
            "pal=b''.join(bytes([i*16,255-i*16,i*8,0]) for i in range(16)); off=14+40+len(pal); "
            "open('$O','wb').write(b'BM'+struct.pack('<IHHI',off+len(data),0,0,off)+"
            "struct.pack('<IiiHHIIiiII',40,8,4,1,4,2,len(data),0,0,16,0)+pal+data)\"",
            0, QImage::Format_Indexed8, im);
        // GIF: ImageMagick decodes the first frame.
        const QString first = QStringLiteral("convert \"$O[0]\" PNG32:\"$R\"");
        row("gif 87a", "a.gif", "convert $B -colors 16 GIF87:$O", 0, QImage::Format_Indexed8,
            first);
        row("gif 89a interlaced", "a.gif", "convert $B -colors 100 -interlace GIF $O", 0,
            QImage::Format_Indexed8, first);
        row("gif 2 colours", "a.gif", "convert $B -monochrome $O", 0, QImage::Format_Indexed8,
            first);
        row("gif animated", "a.gif",
            "convert -size 9x5 xc:red -size 9x5 xc:blue -delay 10 -loop 0 $O", 0,
            QImage::Format_Indexed8, first);
        // gifsicle's interlaced file with its global table moved behind the
        // image descriptor as a local one.
        row("gif local table interlaced", "a.gif",
            "convert $B -colors 64 $O.in.gif; gifsicle --interlace $O.in.gif -o $O.gs.gif; "
            "python3 -c \"d=open('$O.gs.gif','rb').read(); n=3*(2<<(d[10]&7)); "
            "t=d[13:13+n]; i=13+n; assert d[i]==0x2c; "
            "open('$O','wb').write(d[:10]+bytes([d[10]&0x70])+d[11:13]+d[i:i+9]+"
            "bytes([d[i+9]|0x80|(d[10]&7)])+t+d[i+10:])\"",
            0, QImage::Format_Indexed8, first);
        row("gif gifsicle 256 colours", "a.gif",
            "convert $B -colors 256 $O.in.gif; gifsicle -O2 $O.in.gif -o $O", 0,
            QImage::Format_Indexed8, first);
        // Enough different strings to fill the code table: 12-bit codes and
        // clear codes in the data.
        row("gif 12-bit codes", "a.gif",
            "convert -size 400x300 -seed 3 plasma:fractal -colors 256 $O", 0,
            QImage::Format_Indexed8, first);
        row("gif Pillow", "a.gif",
            "python3 -c \"from PIL import Image; Image.open('$B').save('$O')\"", 0,
            QImage::Format_Indexed8, first);
        // JPEG: djpeg (the same library) decodes the reference exactly.
        const QString djpeg = QStringLiteral("djpeg -pnm \"$O\" > \"$R\"");
        row("jpeg baseline", "a.jpg", "cjpeg -quality 75 $B > $O", 0, QImage::Format_RGB32, djpeg);
        row("jpeg progressive", "a.jpg", "cjpeg -progressive $B > $O", 0, QImage::Format_RGB32,
            djpeg);
        row("jpeg greyscale", "a.jpg", "cjpeg -grayscale $B > $O", 0, QImage::Format_RGB32, djpeg);
        row("jpeg arithmetic, 4:4:4", "a.jpg", "cjpeg -arithmetic -sample 1x1 $B > $O", 0,
            QImage::Format_RGB32, djpeg);
        row("jpeg CMYK (ImageMagick)", "a.jpg", "convert $B -colorspace CMYK -quality 95 $O", 2,
            QImage::Format_RGB32, "convert $O -colorspace sRGB PNG32:$R");
    }

    void readsWhatOthersWrite()
    {
        QFETCH(QString, name);
        QFETCH(QString, command);
        QFETCH(int, tolerance);
        QFETCH(int, format);
        const QString out = m_dir.filePath(name);
        const QString reference = m_dir.filePath(QStringLiteral("reference.pnm"));
        QFile::remove(out);
        QFile::remove(reference);
        shell(command, out, reference);

        const QImage expected(reference);
        QVERIFY(!expected.isNull());
        QImage picture;
        try {
            picture = readerFor(name)(readFile(out));
        } catch (const codecs::CodecError &error) {
            QFAIL(error.what());
        }
        QCOMPARE(int(picture.format()), format);
        QCOMPARE(picture.size(), expected.size());
        QCOMPARE(largestDifference(picture, expected) <= tolerance, true);
    }

    // A first image smaller than the logical screen is drawn at its place over
    // the background colour; the screen keeps the global colours.
    void smallerFirstGifFrame()
    {
        const QString out = m_dir.filePath(QStringLiteral("small.gif"));
        shell(QStringLiteral("convert -size 5x3 xc:lime -fill blue -draw 'point 0,0' "
                             "-repage 20x10+4+2 \"$O\""),
              out, QString());
        const QByteArray file = readFile(out);
        const QImage picture = codecs::GifReader::read(file);
        QCOMPARE(picture.size(), QSize(20, 10));
        const QRgb background = picture.color(uchar(file[11]));
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= 4 && x < 9 && y >= 2 && y < 5;
                const QRgb want = !inside              ? background
                                  : (x == 4 && y == 2) ? qRgb(0, 0, 255)
                                                       : qRgb(0, 255, 0);
                QCOMPARE(picture.pixel(x, y), want);
            }
    }

    void refusesDamagedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("message"); // a regular expression

        const QString bmp = QStringLiteral("Bitmap image is not valid");
        QTest::newRow("bmp empty") << "a.bmp"
                                   << ": > $O" << bmp;
        QTest::newRow("bmp cut in the header")
            << "a.bmp"
            << "convert $B BMP3:$O.in; head -c 30 $O.in > $O" << bmp;
        QTest::newRow("bmp cut in the pixels")
            << "a.bmp"
            << "convert $B BMP3:$O.in; head -c 2000 $O.in > $O" << bmp;
        QTest::newRow("bmp pixels offset past the end")
            << "a.bmp"
            << "convert $B BMP3:$O; printf '\\377\\377\\377\\177' | "
               "dd of=$O bs=1 seek=10 conv=notrunc 2>/dev/null"
            << bmp;
        QTest::newRow("bmp width 0")
            << "a.bmp"
            << "convert $B BMP3:$O; printf '\\0\\0\\0\\0' | dd of=$O bs=1 seek=18 conv=notrunc "
               "2>/dev/null"
            << bmp;
        QTest::newRow("bmp 2 billion rows")
            << "a.bmp"
            << "convert $B BMP3:$O; printf '\\0\\0\\0\\200' | dd of=$O bs=1 seek=22 conv=notrunc "
               "2>/dev/null"
            << bmp;
        QTest::newRow("bmp rle with 24 bits")
            << "a.bmp"
            << "convert $B BMP3:$O; printf '\\1' | dd of=$O bs=1 seek=30 conv=notrunc 2>/dev/null"
            << bmp;
        QTest::newRow("bmp not a bmp") << "a.bmp"
                                       << "cjpeg $B > $O" << bmp;
        const QString gif = QStringLiteral("Invalid GIF data");
        QTest::newRow("gif signature") << "a.gif"
                                       << "printf 'GIF90a\\1\\0\\1\\0\\0\\0\\0;' > $O" << gif;
        QTest::newRow("gif no image") << "a.gif"
                                      << "printf 'GIF89a\\1\\0\\1\\0\\0\\0\\0;' > $O" << gif;
        QTest::newRow("gif cut in the colour table")
            << "a.gif"
            << "convert $B -colors 64 $O.in; head -c 100 $O.in > $O" << gif;
        // The first code after the clear code is 7, which is not defined yet.
        QTest::newRow("gif undefined code")
            << "a.gif"
            << "printf 'GIF89a\\2\\0\\1\\0\\200\\0\\0\\0\\0\\0\\377\\377\\377"
               "\\54\\0\\0\\0\\0\\2\\0\\1\\0\\0\\2\\2\\174\\1\\0;' > $O"
            << gif;
        QTest::newRow("gif code size 12")
            << "a.gif"
            << "printf 'GIF89a\\1\\0\\1\\0\\0\\0\\0\\54\\0\\0\\0\\0\\1\\0\\1\\0\\0\\14\\0;' > $O"
            << gif;
        const QString jpeg = QStringLiteral("^JPEG error #[1-9][0-9]*$");
        QTest::newRow("jpeg empty") << "a.jpg"
                                    << ": > $O" << jpeg;
        QTest::newRow("jpeg cut in the header")
            << "a.jpg"
            << "cjpeg $B > $O.in; head -c 150 $O.in > $O" << jpeg;
        QTest::newRow("jpeg not a jpeg") << "a.jpg"
                                         << "convert $B BMP3:$O" << jpeg;
    }

    void refusesDamagedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, command);
        QFETCH(QString, message);
        const QString out = m_dir.filePath(name);
        QFile::remove(out);
        shell(command, out, QString());
        try {
            const QImage picture = readerFor(name)(readFile(out));
            QFAIL(qPrintable(QStringLiteral("read a %1 × %2 picture")
                                 .arg(picture.width())
                                 .arg(picture.height())));
        } catch (const codecs::CodecError &error) {
            QVERIFY2(QRegularExpression(message).match(error.message()).hasMatch(), error.what());
        }
    }

    // A file that ends inside the image data gives the rows decoded so far;
    // the rest shows the background.
    void truncatedGifKeepsDecodedRows()
    {
        const QString out = m_dir.filePath(QStringLiteral("whole.gif"));
        shell(QStringLiteral("convert -size 64x64 gradient:red-blue -colors 64 \"$O\""), out,
              QString());
        const QByteArray whole = readFile(out);
        const QImage full = codecs::GifReader::read(whole);
        const QImage cut = codecs::GifReader::read(whole.left(whole.size() / 2));
        QCOMPARE(cut.size(), full.size());
        int sameRows = 0;
        while (sameRows < 64 && cut.copy(0, sameRows, 64, 1) == full.copy(0, sameRows, 64, 1))
            ++sameRows;
        QVERIFY2(sameRows > 5 && sameRows < 64, qPrintable(QString::number(sameRows)));
    }
};

QTEST_GUILESS_MAIN(tst_PictureReaders)
#include "tst_PictureReaders.moc"
