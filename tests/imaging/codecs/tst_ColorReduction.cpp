#include "ReferenceColorReduction.h"
#include "SamplePictures.h"
#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/ColorReduction.h"

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QtTest>

#include <random>

using codecs::CodecError;

namespace {

QImage rowOf(const QList<QRgb> &pixels)
{
    QImage image(int(pixels.size()), 1, QImage::Format_RGB32);
    for (int x = 0; x < pixels.size(); ++x)
        image.setPixel(x, 0, pixels[x]);
    return image;
}

QVector<QRgb> paletteOf(const QList<QRgb> &colours, int size)
{
    QVector<QRgb> palette(colours.begin(), colours.end());
    palette.resize(size, qRgb(0, 0, 0));
    return palette;
}

// A random picture in a random format: few colours (runs, repeats, cache
// hits) or many (reductions on every pixel), sometimes with alpha.
QImage randomPicture(std::mt19937 &random)
{
    const int width = 1 + int(random() % 48), height = 1 + int(random() % 48);
    const int colours = random() % 2 ? 1 + int(random() % 12) : 1 << 24;
    std::vector<QRgb> ink;
    for (int i = 0; i < std::min(colours, 12); ++i)
        ink.push_back(random() | 0xff000000u);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, colours <= 12 ? ink[random() % ink.size()] : random());
    static const QImage::Format formats[] = {QImage::Format_RGB32, QImage::Format_ARGB32,
                                             QImage::Format_RGB888, QImage::Format_RGB16,
                                             QImage::Format_Indexed8};
    const QImage::Format format = formats[random() % 5];
    if (format == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(format);
}

// One of ImageMagick's built-in pictures, or a null image without ImageMagick.
QImage magickPicture(const QString &name)
{
    QProcess process;
    process.start("/usr/bin/convert", {name, "ppm:-"});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QImage::fromData(process.readAllStandardOutput(), "PPM");
}

double meanOf(const QImage &image, int component)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            sum += rgb.constScanLine(y)[3 * x + component];
    return sum / (double(rgb.width()) * rgb.height());
}

} // namespace

class tst_ColorReduction : public QObject {
    Q_OBJECT

private slots:
    void handComputedPalettes_data();
    void handComputedPalettes();
    void invalidArguments();
    void equalsReference_data();
    void equalsReference();
    void manyColoursComeOutDithered();
};

void tst_ColorReduction::handComputedPalettes_data()
{
    QTest::addColumn<QList<QRgb>>("pixels");
    QTest::addColumn<int>("colours");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QVector<QRgb>>("expected");

    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
               white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    // The top bits pick the root's children: blue 1, green 2, red 4, white 7.
    QTest::newRow("fewer colours than K are kept, in tree order")
        << QList<QRgb>{red, white, green, red, blue} << 8 << 8
        << paletteOf({blue, green, red, white}, 8);
    // (0,0,0)/(1,0,0) and (254,0,0)/(255,0,0) part only at the last level;
    // the pair met last is merged (truncated average 254).
    QTest::newRow("K + 1 colours merge the most recent deepest node")
        << QList<QRgb>{qRgb(0, 0, 0), qRgb(1, 0, 0), qRgb(254, 0, 0), qRgb(255, 0, 0)} << 3 << 8
        << paletteOf({qRgb(0, 0, 0), qRgb(1, 0, 0), qRgb(254, 0, 0)}, 3);
    QTest::newRow("a merged leaf keeps counting")
        << QList<QRgb>{qRgb(0, 0, 0),   qRgb(1, 0, 0),   qRgb(254, 0, 0),
                       qRgb(255, 0, 0), qRgb(255, 0, 0), qRgb(255, 0, 0)}
        << 3 << 8 << paletteOf({qRgb(0, 0, 0), qRgb(1, 0, 0), qRgb(254, 0, 0)}, 3);
    // Depth 2: both level-1 nodes merge their single child without freeing a
    // leaf, then the root takes both: (255 / 2) each.
    QTest::newRow("the root is reduced last")
        << QList<QRgb>{black, white} << 1 << 2 << paletteOf({qRgb(127, 127, 127)}, 1);
    QTest::newRow("no pixels give black") << QList<QRgb>{} << 4 << 8 << paletteOf({}, 4);
}

void tst_ColorReduction::handComputedPalettes()
{
    QFETCH(QList<QRgb>, pixels);
    QFETCH(int, colours);
    QFETCH(int, bits);
    QFETCH(QVector<QRgb>, expected);
    const QList<QImage> images{pixels.isEmpty() ? QImage() : rowOf(pixels)};
    QCOMPARE(codecs::BuildOptimizedPalette(images, colours, bits), expected);
    QCOMPARE(reference::BuildOptimizedPalette(images, colours, bits), expected);
}

void tst_ColorReduction::invalidArguments()
{
    auto messageOf = [](auto call) {
        try {
            call();
        } catch (const CodecError &error) {
            return error.message();
        }
        return QString("no error");
    };
    const QImage picture = rowOf({qRgb(1, 2, 3)});
    QCOMPARE(messageOf([] { codecs::BuildOptimizedPalette({}, 256, 8); }),
             QString("Invalid bitmap list"));
    QVERIFY(messageOf([&] {
                codecs::BuildOptimizedPalette({picture}, 0, 8);
            }).startsWith("Invalid palette size"));
    QVERIFY(messageOf([&] {
                codecs::BuildOptimizedPalette({picture}, 256, 9);
            }).startsWith("Invalid palette size"));
    QVERIFY(messageOf([&] { codecs::RemapToPalette(picture, {}); }).startsWith("Invalid palette"));
    QVERIFY(messageOf([&] {
                codecs::RemapToPalette(picture, QVector<QRgb>(257));
            }).startsWith("Invalid palette"));
}

void tst_ColorReduction::equalsReference_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("200 random pictures") << "random";
    QTest::newRow("photograph (ImageMagick rose:, 4x)") << "rose:";
    QTest::newRow("drawing (ImageMagick wizard:)") << "wizard:";
    QTest::newRow("desktop 800x600") << "desktop";
}

// Palette and remapping equal the literal versions, for palettes of every
// size and depth; the remapped picture uses exactly the palette given.
void tst_ColorReduction::equalsReference()
{
    QFETCH(QString, source);
    std::mt19937 random(14);
    QList<QList<QImage>> lists;
    if (source == "random") {
        for (int i = 0; i < 200; ++i) {
            QList<QImage> list{randomPicture(random)};
            if (i % 10 == 0)
                list.append(randomPicture(random));
            lists.append(list);
        }
    } else if (source == "desktop") {
        lists.append({samples::desktopPicture(800, 600, 7)});
    } else {
        if (!QFileInfo("/usr/bin/convert").isExecutable())
            QSKIP("ImageMagick (/usr/bin/convert) is not installed");
        QImage picture = magickPicture(source);
        QVERIFY(!picture.isNull());
        if (source == "rose:")
            picture =
                picture.scaled(picture.size() * 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        lists.append({picture});
    }

    for (int i = 0; i < lists.size(); ++i) {
        const QList<QImage> &list = lists[i];
        const int colours = lists.size() > 1 ? 1 + int(random() % 256) : 256;
        const int bits = lists.size() > 1 ? 1 + int(random() % 8) : 8;
        const QString what =
            QString("picture %1, %2 colours, %3 bits").arg(i).arg(colours).arg(bits);

        const QVector<QRgb> palette = codecs::BuildOptimizedPalette(list, colours, bits);
        QVERIFY2(palette == reference::BuildOptimizedPalette(list, colours, bits),
                 qPrintable(what));

        const QImage remapped = codecs::RemapToPalette(list.first(), palette);
        const QImage expected = reference::RemapToPalette(list.first(), palette);
        QCOMPARE(remapped.format(), QImage::Format_Indexed8);
        QCOMPARE(remapped.size(), list.first().size());
        QCOMPARE(remapped.colorTable(), palette);
        for (int y = 0; y < remapped.height(); ++y) {
            const uchar *row = remapped.constScanLine(y);
            QVERIFY2(memcmp(row, expected.constScanLine(y), size_t(remapped.width())) == 0,
                     qPrintable(what + QString(", row %1").arg(y)));
            for (int x = 0; x < remapped.width(); ++x)
                QVERIFY2(row[x] < palette.size(), qPrintable(what));
        }
    }
}

// A picture of many thousands of colours comes out in at most 256, dithered:
// the palette's few colours are mixed so that the average colour stays.
void tst_ColorReduction::manyColoursComeOutDithered()
{
    const QImage picture = samples::desktopPicture(640, 480, 5);
    QSet<QRgb> before;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            before.insert(picture.pixel(x, y));
    QVERIFY(before.size() > 1000);

    const QImage reduced =
        codecs::RemapToPalette(picture, codecs::BuildOptimizedPalette({picture}, 256, 8));
    const QImage shown = reduced.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> after;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            after.insert(shown.pixel(x, y));
    QVERIFY(after.size() <= 256);

    // A grey ramp onto black and white: only dithering keeps its mean grey.
    QImage ramp(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < ramp.width(); ++x)
            ramp.setPixel(x, y, qRgb(x, x, x));
    const QImage dithered = codecs::RemapToPalette(ramp, {qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int component = 0; component < 3; ++component)
        QVERIFY(std::abs(meanOf(dithered, component) - meanOf(ramp, component)) < 2.0);
    for (int x0 : {32, 128, 200}) {
        const QImage column = dithered.copy(x0, 0, 16, 64);
        const double want = x0 + 7.5;
        QVERIFY2(std::abs(meanOf(column, 0) - want) < 16.0,
                 qPrintable(QString("columns %1+: %2").arg(x0).arg(meanOf(column, 0))));
    }
    for (int component = 0; component < 3; ++component)
        QVERIFY(std::abs(meanOf(shown, component) - meanOf(picture, component)) < 2.0);
}

QTEST_GUILESS_MAIN(tst_ColorReduction)
#include "tst_ColorReduction.moc"
