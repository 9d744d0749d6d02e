// Opening and saving pictures by name and filter: which writer runs, that
// independent programs read what it wrote, and that a failed save leaves no
// new file and an old file unchanged.
#include "SamplePictures.h"

#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/ColorReduction.h"
#include "imaging/codecs/PictureFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using codecs::PictureFiles;

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// Pillow's view of a file: format, mode, size, palette entries, and the
// pixels as 24-bit colour saved to png.
QString pillow(const QString &file, const QString &png)
{
    return run(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"),
                QStringLiteral("import sys; from PIL import Image; im=Image.open(sys.argv[1]); "
                               "p=im.getpalette(); "
                               "print(im.format, im.mode, '%dx%d' % im.size, "
                               "len(p)//3 if p else 0); im.convert('RGB').save(sys.argv[2])"),
                file, png});
}

QImage flatPicture()
{
    return samples::toImage(samples::desktopFrame(96, 64, 150, 3));
}

QImage reduced(const QImage &picture)
{
    return codecs::RemapToPalette(picture, codecs::BuildOptimizedPalette({picture}, 256, 8));
}

QString errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const codecs::CodecError &error) {
        return error.message();
    }
    return {};
}

} // namespace

class tst_PictureFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void savesByNameAndFilter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("filter");
        // Pillow's format, mode, size and palette entries (the GIF table has
        // the picture's colours, rounded up to a power of two).
        QTest::addColumn<QString>("pillowView");
        QTest::addColumn<QString>("pixels"); // "same", "reduced" or "none"

        QTest::newRow("bmp, all colours") << "a.bmp" << 3 << "BMP RGB 96x64 0"
                                          << "same";
        QTest::newRow("bmp, 256 colours") << "a.bmp" << 2 << "BMP P 96x64 256"
                                          << "reduced";
        QTest::newRow("bmp, all files") << "a.bmp" << 1 << "BMP P 96x64 256"
                                        << "reduced";
        QTest::newRow("bmp, gif filter") << "a.bmp" << 4 << "BMP P 96x64 256"
                                         << "reduced";
        QTest::newRow("BMP upper case") << "a.BMP" << 3 << "BMP RGB 96x64 0"
                                        << "same";
        QTest::newRow("gif, bmp filter") << "a.gif" << 3 << "GIF P 96x64 64"
                                         << "same";
        QTest::newRow("gif, jpg filter") << "a.gif" << 5 << "GIF P 96x64 64"
                                         << "same";
        QTest::newRow("png") << "a.png" << 3 << "PNG RGB 96x64 0"
                             << "same";
        QTest::newRow("jpeg") << "a.jpeg" << 5 << "JPEG RGB 96x64 0"
                              << "none";
        QTest::newRow("jpg, bmp filter") << "a.jpg" << 3 << "JPEG RGB 96x64 0"
                                         << "none";
        QTest::newRow("dot in the folder only") << "dir.x/name" << 3 << ""
                                                << "none";
        QTest::newRow("tiff") << "a.tiff" << 3 << ""
                              << "none";
    }

    void savesByNameAndFilter()
    {
        QFETCH(QString, name);
        QFETCH(int, filter);
        QFETCH(QString, pillowView);
        QFETCH(QString, pixels);
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(QFileInfo(folder + "/" + name).path()));
        const QString file = folder + "/" + name;
        const QImage picture = flatPicture();

        const QString error = errorOf([&] { PictureFiles::save(picture, file, filter); });
        if (pillowView.isEmpty()) {
            QVERIFY2(error.contains(".bmp, .gif, .jpg, .jpeg or .png"), qPrintable(error));
            QVERIFY(!QFile::exists(file));
            return;
        }
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QString png = folder + "/pillow.png";
        QCOMPARE(pillow(file, png), pillowView);
        const QString format = pillowView.section(' ', 0, 0);
        const QString identified = run("/usr/bin/identify", {"-format", "%m %wx%h", file});
        QVERIFY2(identified.startsWith(format) && identified.endsWith(" 96x64"),
                 qPrintable(identified));
        if (pixels == "none")
            return;
        const QImage expected = pixels == "same" ? picture : reduced(picture);
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32),
                 expected.convertToFormat(QImage::Format_RGB32));
    }

    // JPEG quality 90 from the same pixels is as close to them as cjpeg's.
    void jpegMatchesCjpeg()
    {
        const QImage picture = samples::desktopPicture(320, 200, 5);
        const QString ours = m_dir.filePath("ours.jpg");
        const QString ppm = m_dir.filePath("source.ppm");
        QVERIFY(picture.convertToFormat(QImage::Format_RGB888).save(ppm, "PPM"));
        PictureFiles::save(picture, ours, PictureFiles::JpgFilter);
        QVERIFY(QProcess::execute("/bin/sh", {"-c", QStringLiteral("cjpeg -quality 90 '%1' > '%2'")
                                                        .arg(ppm, m_dir.filePath("cjpeg.jpg"))}) ==
                0);
        const QString psnr =
            QStringLiteral("/usr/bin/compare -metric PSNR '%1' '%2' null: 2>&1 >/dev/null; echo");
        const double oursDb = run("/bin/sh", {"-c", psnr.arg(ours, ppm)}).toDouble();
        const double cjpegDb =
            run("/bin/sh", {"-c", psnr.arg(m_dir.filePath("cjpeg.jpg"), ppm)}).toDouble();
        QVERIFY2(cjpegDb > 25 && oursDb >= cjpegDb - 0.01,
                 qPrintable(QStringLiteral("%1 dB, cjpeg %2 dB").arg(oursDb).arg(cjpegDb)));
        QCOMPARE(run("/usr/bin/identify", {"-format", "%m %wx%h %Q %[interlace]", ours}),
                 QStringLiteral("JPEG 320x200 90 None"));
    }

    // More than 256 colours cannot go into a GIF: no file is made, and a file
    // that was there keeps its bytes.
    void gifOverflowWritesNothing()
    {
        const QImage picture = samples::desktopPicture(64, 64, 9);
        const QString fresh = m_dir.filePath("fresh.gif");
        const QString old = m_dir.filePath("old.gif");
        QFile oldFile(old);
        QVERIFY(oldFile.open(QIODevice::WriteOnly));
        oldFile.write("old bytes");
        oldFile.close();
        for (const QString &file : {fresh, old})
            QCOMPARE(errorOf([&] { PictureFiles::save(picture, file, PictureFiles::GifFilter); }),
                     QStringLiteral("Color table overflow"));
        QVERIFY(!QFile::exists(fresh));
        QVERIFY(oldFile.open(QIODevice::ReadOnly));
        QCOMPARE(oldFile.readAll(), QByteArray("old bytes"));
        QCOMPARE(QDir(m_dir.path()).entryList({"*.gif*"}, QDir::Files), QStringList{"old.gif"});
    }

    void openByName_data()
    {
        QTest::addColumn<QString>("saveAs"); // made by our writers ("" for none)
        QTest::addColumn<QString>("openAs"); // the name it is opened under
        QTest::addColumn<QString>("result"); // "picture" or the message (a pattern)

        QTest::newRow("bmp") << "a.bmp"
                             << "a.bmp"
                             << "picture";
        QTest::newRow("BMP") << "b.bmp"
                             << "b.BMP"
                             << "picture";
        QTest::newRow("GIF") << "a.gif"
                             << "a.GIF"
                             << "picture";
        QTest::newRow("JPG") << "a.jpg"
                             << "a.JPG"
                             << "picture";
        QTest::newRow("jpeg") << "b.jpeg"
                              << "b.jpeg"
                              << "picture";
        QTest::newRow("png") << "a.png"
                             << "a.png"
                             << "picture";
        QTest::newRow("jpeg data named bmp") << "c.jpg"
                                             << "c.bmp"
                                             << "^Bitmap image is not valid$";
        QTest::newRow("bmp data named jpg") << "d.bmp"
                                            << "d.jpg"
                                            << "^JPEG error #[0-9]+$";
        QTest::newRow("bmp data named gif") << "e.bmp"
                                            << "e.gif"
                                            << "^Invalid GIF data$";
        QTest::newRow("unknown extension") << "f.bmp"
                                           << "f.xyz"
                                           << "^Unknown picture file extension \\(\\.xyz\\)$";
        QTest::newRow("no extension") << "g.bmp"
                                      << "g"
                                      << "^Unknown picture file extension \\(\\.\\)$";
        QTest::newRow("metafile") << "h.bmp"
                                  << "h.wmf"
                                  << "cannot show \\.wmf pictures";
        QTest::newRow("missing bmp") << ""
                                     << "missing.bmp"
                                     << "^Cannot open file .*missing\\.bmp$";
        QTest::newRow("missing jpg") << ""
                                     << "missing.jpg"
                                     << "^Cannot open file .*missing\\.jpg$";
        QTest::newRow("missing png") << ""
                                     << "missing.png"
                                     << "^Cannot open file .*missing\\.png$";
    }

    void openByName()
    {
        QFETCH(QString, saveAs);
        QFETCH(QString, openAs);
        QFETCH(QString, result);
        const QString folder =
            m_dir.filePath("open-" + QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QImage picture = flatPicture();
        if (!saveAs.isEmpty()) {
            PictureFiles::save(picture, folder + "/" + saveAs, PictureFiles::AllColoursBmp);
            QVERIFY(QFile::rename(folder + "/" + saveAs, folder + "/" + openAs) ||
                    saveAs == openAs);
        }
        QImage opened;
        const QString error = errorOf([&] { opened = PictureFiles::open(folder + "/" + openAs); });
        if (result != "picture") {
            QVERIFY2(QRegularExpression(result).match(error).hasMatch(), qPrintable(error));
            return;
        }
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(opened.size(), picture.size());
        // Lossless formats give the pixels back exactly.
        if (!openAs.endsWith("jpg", Qt::CaseInsensitive) && !openAs.endsWith("jpeg"))
            QCOMPARE(opened.convertToFormat(QImage::Format_RGB32), picture);
    }

    // A 256-colour BMP opens as the same picture: 8 bits with the palette.
    void colours256RoundTrip()
    {
        const QImage picture = samples::desktopPicture(200, 120, 4);
        const QString file = m_dir.filePath("round.bmp");
        PictureFiles::save(picture, file, PictureFiles::Colours256Bmp);
        const QImage opened = PictureFiles::open(file);
        const QImage expected = reduced(picture);
        QCOMPARE(opened.format(), QImage::Format_Indexed8);
        QCOMPARE(opened.colorTable(), expected.colorTable());
        QCOMPARE(opened, expected);
    }

    void cannotCreate()
    {
        const QString file = m_dir.filePath("no such folder/a.bmp");
        QCOMPARE(errorOf([&] { PictureFiles::save(flatPicture(), file, 3); }),
                 QStringLiteral("Cannot create file ") + file);
    }
};

QTEST_GUILESS_MAIN(tst_PictureFiles)
#include "tst_PictureFiles.moc"
