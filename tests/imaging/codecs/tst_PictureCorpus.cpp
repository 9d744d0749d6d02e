// Replays the fuzzers' picture corpora with the normal build: every input is
// read or refused with a CodecError, and a picture that was read has a colour
// for every pixel.
#include "imaging/codecs/BmpReader.h"
#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/GifReader.h"
#include "imaging/codecs/JpegCodec.h"

#include <QDir>
#include <QFile>
#include <QTest>

class tst_PictureCorpus : public QObject {
    Q_OBJECT

private slots:
    void replay_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("bmp") << QStringLiteral(CORPUS "-bmp");
        QTest::newRow("gif") << QStringLiteral(CORPUS "-gif");
        QTest::newRow("jpeg") << QStringLiteral(CORPUS "-jpeg");
    }

    void replay()
    {
        QFETCH(QString, folder);
        const QString kind = QString::fromLatin1(QTest::currentDataTag());
        QImage (*read)(const QByteArray &) = kind == "bmp"   ? codecs::BmpReader::read
                                             : kind == "gif" ? codecs::GifReader::read
                                                             : codecs::JpegCodec::read;
        const QStringList names = QDir(folder).entryList(QDir::Files);
        QVERIFY(names.size() >= 4);
        int pictures = 0;
        for (const QString &name : names) {
            QFile file(folder + "/" + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QImage picture;
            try {
                picture = read(file.readAll());
            } catch (const codecs::CodecError &) {
                continue;
            }
            ++pictures;
            QVERIFY2(!picture.isNull(), qPrintable(name));
            if (picture.format() != QImage::Format_Indexed8)
                continue;
            for (int y = 0; y < picture.height(); ++y) {
                const uchar *row = picture.constScanLine(y);
                for (int x = 0; x < picture.width(); ++x)
                    QVERIFY2(row[x] < picture.colorCount(), qPrintable(name));
            }
        }
        // The seeds at least are pictures.
        QVERIFY(pictures >= 4);
    }
};

QTEST_GUILESS_MAIN(tst_PictureCorpus)
#include "tst_PictureCorpus.moc"
